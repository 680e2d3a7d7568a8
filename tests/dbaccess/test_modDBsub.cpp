#include <gtest/gtest.h>

#include "ConnectionText.h"
#include "FakeEngine.h"
#include "modDBsub.h"

using namespace dex;
using dex::test::FakeAnswer;
using FakeEngine = dex::test::RecordingEngine;

namespace {

class ModDBsubTest : public ::testing::Test {
protected:
    FakeEngine engine;
    RecordingDialogs dialogs;
    DbSession session{engine, dialogs};
    std::vector<std::string> traced;

    void SetUp() override {
        session.setTrace([this](const std::string& s) { traced.push_back(s); });
        modDBsub::DBOpen(session, "/data/db.mdb", "kt5316");
    }
    std::vector<std::string>& sent() { return engine.state->statements; }
};

TEST_F(ModDBsubTest, DBOpenBuildsConnectionStringAndReplacesTheConnection) {
    ASSERT_EQ(engine.state->connectionStrings.size(), 1u);
    EXPECT_EQ(engine.state->connectionStrings[0],
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/db.mdb;Jet OLEDB:Database Password=kt5316");
    EXPECT_TRUE(modDBsub::DBOpen(session, "/data/other.mdb", ""));
    EXPECT_EQ(engine.state->connectionStrings[1], "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/other.mdb");
    EXPECT_EQ(engine.state->connectionsClosed, 1);  // the first one was released
    session.closeConnection();
    EXPECT_EQ(engine.state->connectionsClosed, 2);
    std::string sql = "DELETE FROM x";
    EXPECT_THROW(modDBsub::DBExecute(session, sql), DbError);
}

// A path or password that holds a connection text's syntax is quoted, so
// that it never adds or replaces a key; the engines read it back whole.
TEST(ConnectionTextTest, PathsAndPasswordsNeverBecomeKeys) {
    EXPECT_EQ(modDBsub::ConnectionString("/d/a;Data Source=victim.db;x.mdb", "p;w"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/d/a;Data Source=victim.db;x.mdb\";"
              "Jet OLEDB:Database Password=\"p;w\"");
    EXPECT_EQ(modDBsub::ConnectionString("/d/say \"hi\".mdb", ""),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/d/say \"\"hi\"\".mdb\"");
    EXPECT_EQ(daoConnectText("kt5316"), ";pwd=kt5316");
    EXPECT_EQ(daoConnectText("a;pwd=b"), ";pwd=\"a;pwd=b\"");
    const std::vector<std::string> nasty = {
        "a;Data Source=victim.db;x.mdb", "b'; Data Source = 'victim.db';y.mdb", "c\";Data Source=\"victim.db\";z.mdb",
        " leading and trailing blanks ", "'quoted'", "\"", "x=y=z", "semi;", ";", "", "Provider=SQLOLEDB"};
    for (const auto& path : nasty)
        for (const std::string& password : {std::string(), std::string("pw;Data Source=victim.db"), path}) {
            SCOPED_TRACE(path + " / " + password);
            const auto settings = parseConnectionText(modDBsub::ConnectionString(path, password));
            EXPECT_EQ(connectionSetting(settings, "DATA SOURCE"), path);
            EXPECT_EQ(connectionSetting(settings, "PROVIDER"), "Microsoft.Jet.OLEDB.4.0");
            EXPECT_EQ(connectionSetting(settings, "JET OLEDB:DATABASE PASSWORD"), password);
            EXPECT_EQ(settings.size(), password.empty() ? 2u : 3u);
            EXPECT_EQ(connectionSetting(parseConnectionText(daoConnectText(password)), "PWD"), password);
        }
    // Texts written by hand read as before: blanks and quotes around values.
    const auto manual = parseConnectionText(" Provider = X ; Data Source='/d/a b.mdb' ;pwd=\"p\"\"q\";junk");
    EXPECT_EQ(connectionSetting(manual, "PROVIDER"), "X");
    EXPECT_EQ(connectionSetting(manual, "DATA SOURCE"), "/d/a b.mdb");
    EXPECT_EQ(connectionSetting(manual, "PWD"), "p\"q");
    EXPECT_EQ(manual.size(), 3u);
}

TEST_F(ModDBsubTest, FailedOpenLeavesNoUsableConnection) {
    engine.state->openError = DbError(3031, "Not a valid password.");
    EXPECT_THROW(modDBsub::DBOpen(session, "/data/db.mdb", "bad"), DbError);
    EXPECT_EQ(session.DBConn(), nullptr);
    std::string sql = "DELETE FROM x";
    EXPECT_THROW(modDBsub::DBExecute(session, sql), DbError);
}

TEST(ModDBsubNoOpen, OperationsBeforeAnyOpenFailWithNoConnection) {
    FakeEngine engine;
    RecordingDialogs dialogs;
    DbSession session(engine, dialogs);
    try {
        modDBsub::DBQuery(session, "SELECT 1");
        FAIL() << "expected an error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), dberr::NoConnection);
    }
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(modDBsub::DBOpenRS(session, rs, "SELECT * FROM t"), -1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "MDB 오류");
    EXPECT_EQ(dialogs.shown[0].text, "Data Base MDB가 선언되지 않았습니다.\rSELECT * FROM t");
}

TEST_F(ModDBsubTest, DBQueryGivesEmptyTextForNoRowAndNull) {
    engine.state->on("SELECT a FROM none", FakeAnswer::Rows({}));
    engine.state->on("SELECT a FROM nulls", FakeAnswer::Rows({{Value{}}}));
    engine.state->on("SELECT a FROM nums", FakeAnswer::Rows({{Value{int64_t{42}}}, {Value{int64_t{7}}}}));
    EXPECT_EQ(modDBsub::DBQuery(session, "SELECT a FROM none"), Value{std::string()});
    EXPECT_EQ(modDBsub::DBQuery(session, "SELECT a FROM nulls"), Value{std::string()});
    EXPECT_EQ(modDBsub::DBQuery(session, "SELECT a FROM nums"), Value{int64_t{42}});
    EXPECT_EQ(modDBsub::FieldText(Value{}), "");
    EXPECT_EQ(modDBsub::FieldText(Value{int64_t{141}}), "141");
}

TEST_F(ModDBsubTest, DBExecuteRewritesTruncateInTheCallersText) {
    engine.state->on("DELETE FROM customer_h_sync", FakeAnswer::Affected(3));
    std::string sql = "TRUNCATE customer_h_sync";
    EXPECT_EQ(modDBsub::DBExecute(session, sql), 3);
    EXPECT_EQ(sql, "DELETE FROM customer_h_sync");
    EXPECT_EQ(sent().back(), "DELETE FROM customer_h_sync");

    std::string lower = "truncate customer_h_sync";
    modDBsub::DBExecute(session, lower);
    EXPECT_EQ(lower, "truncate customer_h_sync");
    EXPECT_EQ(sent().back(), "truncate customer_h_sync");

    std::string withTable = "TRUNCATE TABLE x";
    modDBsub::DBExecute(session, withTable);
    EXPECT_EQ(withTable, "DELETE FROM TABLE x");
}

TEST_F(ModDBsubTest, NextCodeQueryAndEdgeValues) {
    const std::string q = "SELECT MAX(code) FROM pclass WHERE LEN(code) = 4 AND ISNUMERIC(code)";
    engine.state->on(q, FakeAnswer::Rows({{Value{}}}));
    EXPECT_EQ(modDBsub::NextCode(session, "pclass", "code", 4, "", false), "0001");
    EXPECT_EQ(sent().back(), q);

    engine.state->exact.clear();
    engine.state->on(q, FakeAnswer::Rows({{Value{std::string("0099")}}}));
    EXPECT_EQ(modDBsub::NextCode(session, "pclass", "code", 4, "", false), "0100");

    engine.state->exact.clear();
    engine.state->on(q, FakeAnswer::Rows({{Value{std::string("9999")}}}));
    EXPECT_EQ(modDBsub::NextCode(session, "pclass", "code", 4, "", false), "10000");
}

TEST_F(ModDBsubTest, NextCodePrefixModeAndCondition) {
    const std::string q =
        "SELECT MAX(LEFT(code, 4)) FROM product_m WHERE LEN(code) = 5 AND ISNUMERIC(code) AND ocode = 1";
    engine.state->on(q, FakeAnswer::Rows({{Value{std::string("0041")}}}));
    std::string code = modDBsub::NextCode(session, "product_m", "code", 5, "ocode = 1", true);
    EXPECT_EQ(sent().back(), q);
    EXPECT_EQ(code, "0042");
}

TEST_F(ModDBsubTest, DBOpenRSCountsRowsWithoutMessage) {
    engine.state->on("SELECT * FROM empty", FakeAnswer::Rows({}));
    engine.state->on("SELECT * FROM two", FakeAnswer::Rows({{Value{int64_t{1}}}, {Value{int64_t{2}}}}));
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(modDBsub::DBOpenRS(session, rs, "SELECT * FROM empty", 0, 1, 1), 0);
    EXPECT_EQ(modDBsub::DBOpenRS(session, rs, "SELECT * FROM two", 0, 1, 1), 2);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->state(), Recordset::StateOpen);
    modDBsub::DBCloseRS(rs);
    EXPECT_FALSE(rs);
    EXPECT_TRUE(dialogs.shown.empty());
}

struct OpenRsCase {
    int32_t number;
    std::string title, text;
};

TEST_F(ModDBsubTest, DBOpenRSMessagesForEachErrorNumber) {
    const std::string sql = "SELECT * FROM missing";
    const std::vector<OpenRsCase> cases = {
        {3011, "Query", "Jet Data Base Engine의 식을 확인하세요.\r" + sql},
        {3261, "MDB 오류", "Table 'missing' is exclusively locked.\r" + sql},
        {-2147217900, "Error",
         "입력된 DB 데이터 중 특수문자 또는 지원하지 않는 언어(일본어, 기타 외국어 등)가 존재하거나, 기타 실행오류 입니다. "},
        {-2147217865, "ERROR", "Table 'missing' is exclusively locked.\r" + sql},
    };
    for (const auto& c : cases) {
        engine.state->exact.clear();
        engine.state->on(sql, FakeAnswer::Fail(c.number, "Table 'missing' is exclusively locked."));
        dialogs.shown.clear();
        std::unique_ptr<Recordset> rs;
        EXPECT_EQ(modDBsub::DBOpenRS(session, rs, sql, 0, 1, 1), -1) << c.number;
        ASSERT_EQ(dialogs.shown.size(), 1u) << c.number;
        EXPECT_EQ(dialogs.shown[0].title, c.title) << c.number;
        EXPECT_EQ(dialogs.shown[0].text, c.text) << c.number;
        EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
        // The reference holds a row set that is not open; reading it fails.
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->state(), Recordset::StateClosed);
        EXPECT_THROW(rs->eof(), DbError);
    }
}

TEST_F(ModDBsubTest, DBCountBuildsItsQuery) {
    engine.state->on("SELECT COUNT(*) FROM office_store", FakeAnswer::Rows({{Value{int64_t{0}}}}));
    engine.state->on("SELECT COUNT(*) FROM sale WHERE ocode = 2", FakeAnswer::Rows({{Value{int64_t{17}}}}));
    EXPECT_EQ(modDBsub::DBCount(session, "office_store", ""), 0);
    EXPECT_EQ(modDBsub::DBCount(session, "sale", "ocode = 2"), 17);
}

TEST_F(ModDBsubTest, DBChkExistenceNotFoundErrorsGiveFalseSilently) {
    for (int32_t n : {-2147217904, -2147217865, -2147217900}) {
        engine.state->exact.clear();
        engine.state->on("SELECT gcode FROM office", FakeAnswer::Fail(n, "not found"));
        EXPECT_FALSE(modDBsub::DBChkExistence(session, 2, "office", "gcode")) << n;
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(sent().back(), "SELECT gcode FROM office");
    engine.state->exact.clear();
    EXPECT_TRUE(modDBsub::DBChkExistence(session, 1, "office", ""));
    EXPECT_EQ(sent().back(), "SELECT * FROM office");
}

TEST_F(ModDBsubTest, DBChkExistenceOtherErrorIsShownAndCountsAsExisting) {
    engine.state->on("SELECT * FROM office", FakeAnswer::Fail(3261, "Table 'office' is exclusively locked."));
    EXPECT_TRUE(modDBsub::DBChkExistence(session, 1, "office", ""));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Error 3261 (Table 'office' is exclusively locked.) in procedure DBChkExistence of Module "
              "modDBUpdate_ADO");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
}

TEST_F(ModDBsubTest, TraceSeesEveryStatementInOrder) {
    std::string sql = "TRUNCATE t";
    modDBsub::DBExecute(session, sql);
    modDBsub::DBChkExistence(session, 2, "t", "c");
    std::unique_ptr<Recordset> rs;
    modDBsub::DBOpenRS(session, rs, "SELECT x FROM t");
    EXPECT_EQ(traced, (std::vector<std::string>{"DELETE FROM t", "SELECT c FROM t", "SELECT x FROM t"}));
    EXPECT_EQ(traced, sent());
}

}  // namespace
