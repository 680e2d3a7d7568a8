// Tokenizer, dialect rewriting, the Jet functions and the password hash.
#include <gtest/gtest.h>

#include "JetDialect.h"
#include "Sha256.h"
#include "StoreFunctions.h"
#include "DbError.h"

using namespace dex::jetstore;

TEST(Tokenizer, JoiningTokensGivesTheInputBack) {
    std::string sql = "  CREATE TABLE `priv_menu`(  `menuid` LONG DEFAULT 0 NOT NULL, x TEXT DEFAULT \"a\"\"b\" /*c*/ -- d\n)";
    std::string joined;
    for (const auto& t : tokenize(sql)) joined += t.text;
    EXPECT_EQ(joined, sql);
}

TEST(Tokenizer, KindsAndQuotedValues) {
    auto t = tokenize("`a``b` [c d] \"x\"\"y\" 'it''s' 12.5e3 <> ||");
    std::vector<Token> sig;
    for (auto& x : t)
        if (isSignificant(x)) sig.push_back(x);
    ASSERT_EQ(sig.size(), 7u);
    EXPECT_EQ(identValue(sig[0]), "a`b");
    EXPECT_EQ(identValue(sig[1]), "c d");
    EXPECT_EQ(sig[2].kind, TokKind::DqString);
    EXPECT_EQ(stringValue(sig[2]), "x\"y");
    EXPECT_EQ(stringValue(sig[3]), "it's");
    EXPECT_EQ(sig[4].kind, TokKind::Number);
    EXPECT_EQ(sig[5].text, "<>");
    EXPECT_EQ(sig[6].text, "||");
}

TEST(Tokenizer, UnterminatedStringIsASyntaxError) {
    try {
        tokenize("SELECT 'abc");
        FAIL();
    } catch (const dex::DbError& e) {
        EXPECT_EQ(e.number(), dex::dberr::SyntaxError);
    }
}

TEST(Dialect, RewritesJetConstructsOnly) {
    EXPECT_EQ(rewriteJetSql("UPDATE pclass SET fullpath = '0101' & code"),
              "UPDATE pclass SET fullpath = '0101' || code");
    EXPECT_EQ(rewriteJetSql("DELETE * FROM t WHERE c = '1'"), "DELETE FROM t WHERE c = '1'");
    EXPECT_EQ(rewriteJetSql("delete  *  from t"), "delete  from t");
    EXPECT_EQ(rewriteJetSql("SELECT \"it's\" & \"\""), "SELECT 'it''s' || ''");
    EXPECT_EQ(rewriteJetSql("SELECT MAX(LEFT(code, 3)), right (x,1) FROM a LEFT JOIN b ON a.x = b.x"),
              "SELECT MAX(JET_LEFT(code, 3)), JET_RIGHT (x,1) FROM a LEFT JOIN b ON a.x = b.x");
    // Text inside literals and names is never touched.
    EXPECT_EQ(rewriteJetSql("SELECT 'a & b', `left` FROM `delete`"), "SELECT 'a & b', `left` FROM `delete`");
}

TEST(Dialect, ClassifiesDdl) {
    EXPECT_EQ(classify(tokenize("  CREATE TABLE `x`(a LONG)")), StatementKind::CreateTable);
    EXPECT_EQ(classify(tokenize("create unique index i on t(a)")), StatementKind::CreateIndex);
    EXPECT_EQ(classify(tokenize("alter table t  add column c LONG")), StatementKind::AlterTable);
    EXPECT_EQ(classify(tokenize("DROP TABLE `t`")), StatementKind::DropTable);
    EXPECT_EQ(classify(tokenize("SELECT * FROM t")), StatementKind::Other);
}

TEST(Functions, NumericTextLikeJet) {
    for (auto s : {"0001", " 12 ", "-3.5", "1e3", "+.5"}) EXPECT_TRUE(looksNumeric(s)) << s;
    for (auto s : {"", "12a", "a12", "1.2.3", "-", "1e"}) EXPECT_FALSE(looksNumeric(s)) << s;
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(std::string(1000, 'a')).substr(0, 16), "41edece42d63e8d9");
}
