#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include "FakeEngine.h"
#include "MigrationEngine.h"
#include "ProductCatalogues.h"
#include "modDBsub.h"

using namespace dex;
using namespace dex::migration;
using namespace dex::migration::build;
using dex::test::FakeAnswer;
using FakeEngine = dex::test::RecordingEngine;

namespace {

class EngineTest : public ::testing::Test {
protected:
    FakeEngine engine;
    RecordingDialogs dialogs;
    DbSession session{engine, dialogs};
    const std::filesystem::path folder = dex::test::makeUniqueFolder("dexmira-engine-test");
    MigrationLog log{folder};
    MigrationContext ctx{session, log};
    Catalogue cat;

    void SetUp() override {
        modDBsub::DBOpen(session, "/data/db.mdb", "kt5316");
        cat.productCode = "test";
        cat.target = 20;
        cat.ladderHandler = true;
        cat.steps = {
            step(5, {execute("S5")}),
            step(12, {execute("S12")}),
            elseIfStep(13, {execute("S13")}),
            step(14, {execute("S14")}),
            rangeStep(15, 10, 14, {execute("S15")}),
            step(20, {call("Proc")}),
        };
        cat.procedures["Proc"] = SubProcedure{{execute("P1"), execute("P2")}, {}, false};
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    void storedVersion(Value v) {
        engine.state->on(kVersionQuery, FakeAnswer::Rows({{std::move(v)}}));
    }
    std::vector<std::string> statementsAfterRead() const {
        const auto& s = engine.state->statements;
        return std::vector<std::string>(s.begin() + 1, s.end());
    }
};

TEST_F(EngineTest, VersionReadEdgeValues) {
    struct Case {
        Value stored;
        int16_t expected;
    };
    const std::vector<Case> cases = {
        {Value{std::string()}, 0},          {Value{}, 0},
        {Value{std::string("12abc")}, 12}, {Value{std::string("abc")}, 0},
        {Value{int64_t{141}}, 141},         {Value{std::string("12.5")}, 12},
        {Value{13.5}, 14},
    };
    for (const auto& c : cases) {
        engine.state->exact.clear();
        storedVersion(c.stored);
        EXPECT_EQ(ReadStoredVersion(session), c.expected) << valueToText(c.stored);
    }
    engine.state->exact.clear();
    engine.state->on(kVersionQuery, FakeAnswer::Rows({}));
    EXPECT_EQ(ReadStoredVersion(session), 0);
}

TEST_F(EngineTest, OverflowIsReportedByTheEntry) {
    storedVersion(Value{std::string("40000")});
    EXPECT_FALSE(ChkDBpatch(ctx, cat));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error 6 (Overflow) in procedure ChkDBpatch of Module modMain_dbPatch");
    EXPECT_EQ(engine.state->statements.size(), 1u);
}

TEST_F(EngineTest, AtTargetNothingRuns) {
    storedVersion(Value{int64_t{20}});
    EXPECT_TRUE(ChkDBpatch(ctx, cat));
    EXPECT_TRUE(statementsAfterRead().empty());
}

TEST_F(EngineTest, AboveTargetLowersTheRecord) {
    storedVersion(Value{int64_t{25}});
    EXPECT_TRUE(ChkDBpatch(ctx, cat));
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"UPDATE dbversion SET ver = 20 WHERE dbid = 'main'"}));
}

TEST_F(EngineTest, StepConditionsAgainstTheOneStoredVersion) {
    auto run = [&](int64_t v) {
        engine.state->statements.clear();
        engine.state->exact.clear();
        storedVersion(Value{v});
        EXPECT_TRUE(ChkDBpatch(ctx, cat));
        return statementsAfterRead();
    };
    const std::string w = "UPDATE dbversion SET ver = 20 WHERE dbid = 'main'";
    using V = std::vector<std::string>;
    EXPECT_EQ(run(0), (V{"S5", "S12", "S14", "P1", "P2", w}));
    EXPECT_EQ(run(9), (V{"S12", "S14", "P1", "P2", w}));
    EXPECT_EQ(run(10), (V{"S12", "S14", "S15", "P1", "P2", w}));
    EXPECT_EQ(run(12), (V{"S13", "S14", "S15", "P1", "P2", w}));
    EXPECT_EQ(run(13), (V{"S14", "S15", "P1", "P2", w}));
    EXPECT_EQ(run(14), (V{"S15", "P1", "P2", w}));
    EXPECT_EQ(run(15), (V{"P1", "P2", w}));
}

TEST_F(EngineTest, LadderHandlerStopsTheLadderAndKeepsTheVersion) {
    storedVersion(Value{int64_t{0}});
    engine.state->on("S12", FakeAnswer::Fail(dberr::MissingTable, "The Microsoft Jet database engine cannot find the input table or query 'aslist'."));
    EXPECT_FALSE(ChkDBpatch(ctx, cat));
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"S5", "S12"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Error -2147217865 (The Microsoft Jet database engine cannot find the input table or query "
              "'aslist'.) in procedure ChkDBpatch_SUB of Module FrmDBUpdate");
}

TEST_F(EngineTest, WithoutLadderHandlerTheEntryReports) {
    cat.ladderHandler = false;
    storedVersion(Value{int64_t{0}});
    engine.state->on("S12", FakeAnswer::Fail(-2147217900, "Syntax error"));
    EXPECT_FALSE(ChkDBpatch(ctx, cat));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error -2147217900 (Syntax error) in procedure ChkDBpatch of Module modMain_dbPatch");
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"S5", "S12"}));
}

TEST_F(EngineTest, MissingVersionTableFailsBeforeAnyStep) {
    engine.state->on(kVersionQuery, FakeAnswer::Fail(dberr::MissingTable, "Table 'dbversion' not found."));
    EXPECT_FALSE(ChkDBpatch(ctx, cat));
    EXPECT_TRUE(statementsAfterRead().empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("in procedure ChkDBpatch of Module modMain_dbPatch"), std::string::npos);
}

TEST_F(EngineTest, OwnHandlerEndsTheSubProcedureAndTheStepGoesOn) {
    cat.procedures["Proc"].ownHandler = true;
    cat.steps.back().ops.push_back(execute("AFTER"));
    storedVersion(Value{int64_t{19}});
    engine.state->on("P1", FakeAnswer::Fail(-2147217900, "Table 'x' already exists."));
    EXPECT_TRUE(ChkDBpatch(ctx, cat));
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"P1", "AFTER", "UPDATE dbversion SET ver = 20 WHERE dbid = 'main'"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error -2147217900 (Table 'x' already exists.) in procedure Proc of Module modMain_dbPatch");
}

TEST_F(EngineTest, SeedIfEmptyRunsOnlyOnAnEmptyTable) {
    cat.procedures["Proc"].ops = {SeedIfEmptyOp{"h", {"I1", "I2"}}};
    storedVersion(Value{int64_t{19}});
    engine.state->on("SELECT COUNT(*) FROM h", FakeAnswer::Rows({{Value{int64_t{0}}}}));
    ChkDBpatch(ctx, cat);
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"SELECT COUNT(*) FROM h", "I1", "I2",
                                                               "UPDATE dbversion SET ver = 20 WHERE dbid = 'main'"}));
    engine.state->statements.clear();
    engine.state->exact.clear();
    storedVersion(Value{int64_t{19}});
    engine.state->on("SELECT COUNT(*) FROM h", FakeAnswer::Rows({{Value{int64_t{3}}}}));
    ChkDBpatch(ctx, cat);
    EXPECT_EQ(statementsAfterRead(), (std::vector<std::string>{"SELECT COUNT(*) FROM h",
                                                               "UPDATE dbversion SET ver = 20 WHERE dbid = 'main'"}));
}

TEST(ProductCatalogues, NamesAndCodes) {
    EXPECT_EQ(ProductCodeFor("VelmoraII"), "vardoII");
    EXPECT_EQ(ProductCodeFor("VelmoraLite"), "vardoII");
    EXPECT_EQ(ProductCodeFor("vardoII"), "vardoII");
    EXPECT_EQ(ProductCodeFor("QuensaPro"), "FornPro");
    EXPECT_EQ(ProductCodeFor("velmoraii"), "");
    ASSERT_NE(CatalogueFor("vardoII"), nullptr);
    EXPECT_EQ(CatalogueFor("vardoII")->target, 141);
    EXPECT_EQ(CatalogueFor("nosuch"), nullptr);
}

}  // namespace
