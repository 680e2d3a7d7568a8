// Each product's sample, brought to the product's last version by
// `dexmira migrate`, lists exactly the structure kept in tests/golden: every
// table, field, type, size, default, Required and AllowZeroLength setting and
// key mark that the whole ladder leaves. A step that creates or alters a
// column differently shows up as a changed line.
#include <gtest/gtest.h>

#include "RunProgram.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;

namespace dex::test {
namespace {

struct Product {
    std::string sample;  // the folder under samples/ with its base.sql
    std::string name;    // the --product entry
};

void PrintTo(const Product& p, std::ostream* os) { *os << p.name; }

class GoldenStructure : public ::testing::TestWithParam<Product> {
protected:
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir = makeUniqueFolder("dex_golden");
};

TEST_P(GoldenStructure, AfterTheWholeLadder) {
    const Product& p = GetParam();
    // The store as samples/make-samples.sh makes it.
    const std::string file = (dir / (p.sample + ".mdb")).string();
    auto created = runProgram(DEXMIRA_BIN, {"create", file, "--password", "kt5316"});
    ASSERT_EQ(created.status, 0) << created.err;
    auto filled = runProgram(DEXMIRA_BIN, {"exec", file, "--password", "kt5316"},
                             readWhole(fs::path(DEX_SAMPLES_DIR) / p.sample / "base.sql"));
    ASSERT_EQ(filled.status, 0) << filled.err;

    auto migrated = runProgram(DEXMIRA_BIN, {"migrate", file, "--product", p.name});
    ASSERT_EQ(migrated.status, 0) << migrated.err;
    EXPECT_EQ(migrated.err, "");
    auto structure = runProgram(DEXMIRA_BIN, {"structure", file, "--password", "kt5316"});
    ASSERT_EQ(structure.status, 0) << structure.err;
    const fs::path golden = fs::path(DEX_GOLDEN_DIR) / (p.name + ".structure.txt");
    ASSERT_TRUE(fs::exists(golden)) << golden;
    EXPECT_EQ(structure.out, readWhole(golden)) << "the migrated " << p.sample << " sample no longer lists as "
                                                << golden;
}

INSTANTIATE_TEST_SUITE_P(Products, GoldenStructure,
                         ::testing::Values(Product{"vardoII", "VelmoraII"}, Product{"FornII", "QuensaII"},
                                           Product{"FornPro", "QuensaPro"}, Product{"quickbilII", "TallyvoII"}),
                         [](const ::testing::TestParamInfo<Product>& info) { return info.param.name; });

}  // namespace
}  // namespace dex::test
