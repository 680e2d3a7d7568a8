// dexmira migrate --trace-sql on each product's sample.
#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

class CliMigrateProductsTest : public ::testing::Test {
protected:
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    fs::path dir = dex::test::makeUniqueFolder("dexmira-cli-migrate-products");

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path sample(const std::string& code) {
        fs::path db = dir / (code + ".mdb");
        dex::test::BuildStore(*engine, db, dex::test::ReadScript(dex::test::BaseScript(code)));
        return db;
    }
    // The trace of `dexmira migrate DB --product NAME --trace-sql`; fails the
    // test on a message or a non-zero exit.
    std::vector<std::string> traceOf(const fs::path& db, const std::string& product) {
        std::ostringstream out, err;
        int status = runMigrate(*engine, {db.string(), "--product", product, "--trace-sql"}, out, err);
        EXPECT_EQ(status, 0) << err.str();
        EXPECT_EQ(err.str(), "");
        return lines(out.str());
    }
};

bool contains(const std::vector<std::string>& trace, const std::string& sql) {
    return std::find(trace.begin(), trace.end(), sql) != trace.end();
}

long at(const std::vector<std::string>& trace, const std::string& sql) {
    auto it = std::find(trace.begin(), trace.end(), sql);
    return it == trace.end() ? -1 : static_cast<long>(it - trace.begin());
}

TEST_F(CliMigrateProductsTest, QuensaIITraceFollowsTheFornIICatalogue) {
    std::vector<std::string> trace = traceOf(sample("FornII"), "QuensaII");
    ASSERT_GT(trace.size(), 900u);
    EXPECT_EQ(trace.front(), "SELECT ver FROM dbversion WHERE dbid='main'");
    // Step 2 is vardoII's step 4.
    EXPECT_EQ(trace[1], "SELECT backsign FROM billnote");
    EXPECT_EQ(trace[2], "ALTER TABLE `billnote`  ADD COLUMN `backsign` VARCHAR(20) DEFAULT \"\" NOT NULL");
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 135 WHERE dbid = 'main'");
    long makelist = at(trace, "SELECT makeno FROM makelist_m");
    long stockuseup = at(trace, "ALTER TABLE `product_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL");
    long makeplan = -1;
    for (size_t i = 0; i < trace.size(); ++i)
        if (trace[i].rfind("CREATE TABLE `makeplan_m`", 0) == 0) makeplan = static_cast<long>(i);
    ASSERT_GT(makelist, 0);
    EXPECT_LT(makelist, makeplan);
    EXPECT_LT(makeplan, stockuseup);
    EXPECT_EQ(trace[stockuseup + 1], "UPDATE `product_m` SET `stockuseup` = 0 WHERE `stockuseup`  IS NULL");
    EXPECT_TRUE(contains(trace, "CREATE INDEX idx_serial_ocode ON serial(ocode)"));
    EXPECT_FALSE(contains(trace, "CREATE INDEX idx_serial_serial ON serial(serial)"));
}

TEST_F(CliMigrateProductsTest, QuensaProTraceFollowsTheFornProCatalogue) {
    std::vector<std::string> trace = traceOf(sample("FornPro"), "QuensaPro");
    EXPECT_EQ(trace.front(), "SELECT ver FROM dbversion WHERE dbid='main'");
    EXPECT_EQ(trace[1], "SELECT billpriceedit FROM customer");
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 70 WHERE dbid = 'main'");
    long makemode = at(trace, "ALTER TABLE `makeord_m`  ADD COLUMN `makemode` SMALLINT DEFAULT 1 NOT NULL");
    long stockuseup = at(trace, "ALTER TABLE `product_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL");
    ASSERT_GT(makemode, 0);
    EXPECT_LT(makemode, stockuseup);
    EXPECT_TRUE(contains(trace, "CREATE INDEX idx_serial_serial ON serial(serial)"));
    EXPECT_TRUE(contains(trace, "CREATE UNIQUE INDEX idx_custprodinterest_pcode ON custprodinterest(pcode)"));
}

TEST_F(CliMigrateProductsTest, TallyvoIITraceIsTheLiteralSequence) {
    std::vector<std::string> trace = traceOf(sample("quickbilII"), "TallyvoII");
    ASSERT_EQ(trace.size(), 46u);
    EXPECT_EQ(trace.front(), "SELECT ver FROM dbversion WHERE dbid='main'");
    EXPECT_EQ(trace[1], "ALTER TABLE taxlist_m ADD COLUMN etax   LONG    DEFAULT 0   NOT NULL");
    EXPECT_EQ(trace[3], "ALTER TABLE office ADD COLUMN email     TEXT(50)   DEFAULT \"\"    NOT NULL");
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 14 WHERE dbid = 'main'");
    EXPECT_TRUE(contains(trace, "ALTER TABLE `taxlist_m`  ALTER COLUMN `bigo` VARCHAR(150) DEFAULT \"\" NOT NULL"));
    EXPECT_TRUE(contains(trace, "ALTER TABLE `sale_m` ADD COLUMN `maildate` VARCHAR(10)  DEFAULT \"\" NOT NULL"));
    EXPECT_LT(at(trace, "ALTER TABLE taxlist_m ADD COLUMN userok BYTE DEFAULT 0 NOT NULL"),
              at(trace, "CREATE INDEX idx_recv_dealdate ON receive(dealdate)"));
}

TEST_F(CliMigrateProductsTest, VelmoraIIAndVelmoraLiteRunTheSameCatalogue) {
    std::vector<std::string> velmora = traceOf(sample("vardoII"), "VelmoraII");
    std::vector<std::string> lite = traceOf(sample("vardoII"), "VelmoraLite");
    ASSERT_GT(velmora.size(), 1000u);
    EXPECT_EQ(velmora, lite);
}

}  // namespace
