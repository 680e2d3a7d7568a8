// The vardoII catalogue's shape and the statements of its sub-procedures
// with their own code, on the recording engine.
#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "FakeEngine.h"
#include "modDBPatch_VARDO.h"
#include "modDBsub.h"

using namespace dex;
using namespace dex::migration;
using dex::test::FakeAnswer;
using FakeEngine = dex::test::RecordingEngine;

namespace {

std::vector<std::string> calledProcedures(const Catalogue& c) {
    std::vector<std::string> out;
    for (const Step& s : c.steps)
        for (const Operation& op : s.ops)
            if (auto* call = std::get_if<CallOp>(&op)) out.push_back(call->procedure);
    return out;
}

TEST(VardoCatalogue, StepsAndSubProcedures) {
    const Catalogue& c = modDBPatch_VARDO::Catalogue();
    EXPECT_EQ(c.target, 141);
    EXPECT_TRUE(c.ladderHandler);
    ASSERT_EQ(c.steps.size(), 138u);
    std::vector<int> expected;
    for (int n = 2; n <= 135; ++n) expected.push_back(n);
    for (int n = 138; n <= 141; ++n) expected.push_back(n);
    std::vector<int> numbers;
    for (const Step& s : c.steps) numbers.push_back(s.number);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(c.step(13)->kind, StepKind::ElseIf);
    EXPECT_EQ(c.step(15)->kind, StepKind::Range);
    EXPECT_EQ(c.step(15)->lo, 10);
    EXPECT_EQ(c.step(15)->hi, 14);

    // 48 sub-procedures, each called from exactly one step.
    EXPECT_EQ(c.procedures.size(), 48u);
    std::vector<std::string> calls = calledProcedures(c);
    EXPECT_EQ(calls.size(), 48u);
    std::set<std::string> unique(calls.begin(), calls.end());
    EXPECT_EQ(unique.size(), 48u);
    for (const auto& name : calls) EXPECT_NE(c.procedure(name), nullptr) << name;
    for (const char* own : {"CreateTBL_holiday1", "BillNoteSubRtn", "LoginPwdUpdate"})
        EXPECT_TRUE(c.procedure(own)->ownHandler) << own;
    size_t handled = 0;
    for (const auto& [name, p] : c.procedures) handled += p.ownHandler;
    EXPECT_EQ(handled, 3u);
}

class VardoFakeTest : public ::testing::Test {
protected:
    FakeEngine engine;
    RecordingDialogs dialogs;
    DbSession session{engine, dialogs};
    std::filesystem::path folder = dex::test::makeUniqueFolder("dexmira-vardo-fake");
    MigrationLog log{folder};
    MigrationContext ctx{session, log};

    void SetUp() override {
        std::filesystem::remove_all(folder);
        modDBsub::DBOpen(session, "/data/db.mdb", "kt5316");
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string logText() {
        std::ifstream f(log.filePath(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
};

TEST_F(VardoFakeTest, RunFrom140TouchesOnlySteps141) {
    engine.state->on(kVersionQuery, FakeAnswer::Rows({{Value{int64_t{140}}}}));
    engine.state->onPrefix("SELECT ", FakeAnswer::Fail(dberr::MissingColumn, "No value given"));
    EXPECT_TRUE(modDBPatch_VARDO::ChkDBpatch(ctx));
    const auto& s = engine.state->statements;
    EXPECT_EQ(std::vector<std::string>(s.begin() + 1, s.end()),
              (std::vector<std::string>{
                  "SELECT salepriceauto FROM product_d",
                  "ALTER TABLE `product_d`  ADD COLUMN `salepriceauto` SMALLINT DEFAULT 0 NOT NULL",
                  "UPDATE `product_d` SET `salepriceauto` = 0 WHERE `salepriceauto` IS NULL",
                  "SELECT buypriceauto FROM product_d",
                  "ALTER TABLE `product_d`  ADD COLUMN `buypriceauto` SMALLINT DEFAULT 0 NOT NULL",
                  "UPDATE `product_d` SET `buypriceauto` = 0 WHERE `buypriceauto` IS NULL",
                  "UPDATE dbversion SET ver = 141 WHERE dbid = 'main'",
              }));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(VardoFakeTest, BillNoteSubRtnDoublesApostrophesAndLogsEachChangedNote) {
    engine.state->onPrefix("SELECT b.code, p.dealdate, c.compalias",
                           FakeAnswer::Rows({{Value{std::string("R1")}, Value{std::string("2024-02-01")},
                                              Value{std::string("O'Neil")}},
                                             {Value{std::string("R1")}, Value{std::string("2024-02-03")},
                                              Value{std::string("Kim")}}}));
    engine.state->onPrefix("SELECT b.code FROM", FakeAnswer::Rows({{Value{std::string("P'1")}}}));
    engine.state->onPrefix("UPDATE billnote", FakeAnswer::Affected(1));
    modDBPatch_VARDO::BillNoteSubRtn(ctx);
    const auto& s = engine.state->statements;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0],
              "SELECT b.code, p.dealdate, c.compalias FROM billnote AS b, payment AS p, customer AS c WHERE "
              "p.subcode = b.code AND p.ccode = c.code AND b.part = 1 AND b.outtype = 0");
    EXPECT_EQ(s[1], "UPDATE billnote SET outtype = 2,outdate = '2024-02-01',outbigo = 'O''Neil' WHERE code = 'R1'");
    EXPECT_EQ(s[2], "UPDATE billnote SET outtype = 2,outdate = '2024-02-03',outbigo = 'Kim' WHERE code = 'R1'");
    EXPECT_EQ(s[3], "SELECT b.code FROM billnote AS b, payment AS p WHERE p.subcode = b.code AND b.part = 0 AND "
                    "b.outtype = 0");
    EXPECT_EQ(s[4], "UPDATE billnote SET outtype = 2 WHERE code = 'P''1'");
    EXPECT_TRUE(dialogs.shown.empty());

    std::string text = logText();
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "[받을어음update ]");
    EXPECT_EQ(lines[2].rfind("시작: ", 0), 0u);
    EXPECT_EQ(lines[3], "R1");
    EXPECT_EQ(lines[4], "R1");
    EXPECT_EQ(lines[5].rfind("완료: ", 0), 0u);
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "[지급어음update ]");
    EXPECT_EQ(lines[8].rfind("시작: ", 0), 0u);
    EXPECT_EQ(lines[9], "P'1");
    EXPECT_EQ(lines[10].rfind("완료: ", 0), 0u);
}

TEST_F(VardoFakeTest, BillNoteSubRtnWritesNothingWithoutRowsAndSkipsUnchangedNotes) {
    engine.state->onPrefix("SELECT b.code, p.dealdate", FakeAnswer::Rows({}));
    engine.state->onPrefix("SELECT b.code FROM", FakeAnswer::Rows({{Value{std::string("P1")}}}));
    engine.state->onPrefix("UPDATE billnote", FakeAnswer::Affected(0));
    modDBPatch_VARDO::BillNoteSubRtn(ctx);
    std::string text = logText();
    EXPECT_EQ(text.find("[받을어음update ]"), std::string::npos);
    EXPECT_NE(text.find("[지급어음update ]"), std::string::npos);
    EXPECT_EQ(text.find("P1"), std::string::npos);
}

TEST_F(VardoFakeTest, CreateTblOfficeStoreFillsPairsOnlyWhenEmpty) {
    engine.state->on("SELECT COUNT(*) FROM office_store", FakeAnswer::Rows({{Value{int64_t{0}}}}));
    engine.state->on("select o.code, s.code from office AS o, storehouse AS s",
                     FakeAnswer::Rows({{Value{int64_t{1}}, Value{int64_t{1}}}, {Value{int64_t{2}}, Value{int64_t{1}}}}));
    modDBPatch_VARDO::CreateTBL_office_store(ctx);
    const auto& s = engine.state->statements;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].rfind("CREATE TABLE `office_store` (", 0), 0u);
    EXPECT_EQ(s[3], "insert into office_store (ocode, scode) VALUES (1,1)");
    EXPECT_EQ(s[4], "insert into office_store (ocode, scode) VALUES (2,1)");
}

TEST_F(VardoFakeTest, LoginPwdUpdateOnlyOpensAndClosesItsQuery) {
    modDBPatch_VARDO::LoginPwdUpdate(ctx);
    EXPECT_EQ(engine.state->statements,
              (std::vector<std::string>{"SELECT l.code, l.loginpwd FROM local_user AS l WHERE l.loginid <> ''"}));
}

TEST(MigrationLogFormat, AmPmTime) {
    std::tm t{};
    t.tm_hour = 15, t.tm_min = 7, t.tm_sec = 9;
    EXPECT_EQ(AmPmTime(t, "오전", "오후"), "오후 03:07:09");
    t.tm_hour = 0, t.tm_min = 5, t.tm_sec = 0;
    EXPECT_EQ(AmPmTime(t, "AM", "PM"), "AM 12:05:00");
    t.tm_hour = 12;
    EXPECT_EQ(AmPmTime(t, "AM", "PM"), "PM 12:05:00");
}

TEST(MigrationLogFormat, SectionWithoutFinishHasNoClosingLine) {
    auto folder = dex::test::makeUniqueFolder("dexmira-log-test");
    std::filesystem::remove_all(folder);
    MigrationLog log(folder / "sub");  // created on first use
    std::tm fixed{};
    fixed.tm_hour = 9, fixed.tm_min = 30, fixed.tm_sec = 1;
    log.setClock([fixed] { return fixed; });
    {
        auto section = log.openSection("[T ]");
        section.line("A");
    }
    std::ifstream f(log.filePath(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    std::string text = ss.str();
    EXPECT_NE(text.find("\r\n[T ]\r\n시작: "), std::string::npos);
    EXPECT_NE(text.find(" 09:30:01\r\nA\r\n"), std::string::npos);
    EXPECT_EQ(text.find("완료"), std::string::npos);
    std::filesystem::remove_all(folder);
}

}  // namespace
