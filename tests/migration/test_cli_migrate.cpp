// dexmira migrate on a sample store.
#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "CliMigrate.h"
#include "JetStore.h"
#include "StoreSample.h"

using namespace dex;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

class CliMigrateTest : public ::testing::Test {
protected:
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    fs::path dir = dex::test::makeUniqueFolder("dexmira-cli-migrate");
    fs::path db = dir / "vardo.mdb";
    std::ostringstream out, err;

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void build(const std::vector<std::string>& extra = {}) {
        dex::test::BuildStore(*engine, db, dex::test::ReadScript(dex::test::VardoBaseScript()), extra);
    }
    int run(std::vector<std::string> args) { return runMigrate(*engine, args, out, err); }
};

TEST_F(CliMigrateTest, MigratesTheSampleSilentlyAndTracesEveryStatement) {
    build();
    EXPECT_EQ(run({db.string(), "--product", "VelmoraII", "--trace-sql"}), 0);
    EXPECT_EQ(err.str(), "");
    std::vector<std::string> trace = lines(out.str());
    ASSERT_GT(trace.size(), 1000u);
    EXPECT_EQ(trace.front(), "SELECT ver FROM dbversion WHERE dbid='main'");
    EXPECT_EQ(trace[1], "SELECT boxqnt FROM sale");
    EXPECT_EQ(trace[2], "ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    EXPECT_EQ(trace[3], "UPDATE sale SET boxqnt = 0");
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 141 WHERE dbid = 'main'");

    // At the target: only the version read, by product code this time.
    out.str("");
    EXPECT_EQ(run({db.string(), "--product", "vardoII", "--trace-sql"}), 0);
    EXPECT_EQ(lines(out.str()), (std::vector<std::string>{"SELECT ver FROM dbversion WHERE dbid='main'"}));
}

TEST_F(CliMigrateTest, WithoutTraceNothingIsPrinted) {
    build();
    EXPECT_EQ(run({db.string(), "--product", "VelmoraLite"}), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CliMigrateTest, FailingLadderPrintsItsMessageAndExits2) {
    build({"DROP TABLE `estimate_d`"});
    EXPECT_EQ(run({db.string(), "--product", "VelmoraII"}), 2);
    std::vector<std::string> msgs = lines(err.str());
    ASSERT_EQ(msgs.size(), 2u) << err.str();
    EXPECT_EQ(msgs[0].rfind("Error -2147217865 (", 0), 0u);
    EXPECT_NE(msgs[0].find("in procedure ChkDBpatch_SUB of Module FrmDBUpdate"), std::string::npos);
    EXPECT_EQ(msgs[1], "the migration of '" + db.string() + "' did not finish; the file was left unchanged");
}

TEST_F(CliMigrateTest, BadInputsAreNamed) {
    build();
    EXPECT_EQ(run({db.string()}), 2);
    EXPECT_NE(err.str().find("usage: dexmira migrate FILE --product NAME"), std::string::npos);
    err.str("");
    EXPECT_EQ(run({db.string(), "--product", "Nosuch"}), 2);
    EXPECT_NE(err.str().find("unknown product 'Nosuch'"), std::string::npos);
    err.str("");
    EXPECT_EQ(run({(dir / "missing.mdb").string(), "--product", "VelmoraII"}), 2);
    EXPECT_NE(err.str().find("file not found"), std::string::npos);
    err.str("");
    EXPECT_EQ(run({db.string(), "--product", "VelmoraII", "--bogus"}), 2);
    EXPECT_NE(err.str().find("unknown option --bogus"), std::string::npos);
}

TEST_F(CliMigrateTest, WrongPasswordStoreFailsAtOpen) {
    fs::remove(db);
    createStore(db.string(), "other");
    EXPECT_EQ(run({db.string(), "--product", "VelmoraII"}), 2);
    EXPECT_NE(err.str().find("Error 3031 ("), std::string::npos) << err.str();
}

}  // namespace
