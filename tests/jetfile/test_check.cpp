// The checker of Jet files: every Access-made file sound, and files damaged
// on purpose reported with the table and page concerned.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "JetCheck.h"
#include "JetDamage.h"
#include "JetWriteEncoding.h"
#include "JetFile.h"
#include "JetModel.h"
#include "JetWriter.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;
using namespace dex;
using namespace dex::jetfile;

namespace {

const fs::path kFixtures = DEX_JET_FIXTURES;

class TempFolder {
public:
    TempFolder() : path_(dex::test::makeUniqueFolder("dex-jetcheck")) {}
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

JetCheckReport check(const std::string& path, const std::string& password = "") {
    return checkJetFile(*JetModel::open(path, password));
}

std::string problems(const JetCheckReport& r) {
    std::string out;
    for (const auto& p : r.problems) out += p.text() + "\n";
    return out;
}

TEST(JetCheck, EveryAccessMadeFileIsSound) {
    std::vector<fs::path> files;
    for (const fs::path dir : {kFixtures, kFixtures.parent_path() / "templates"})
        if (fs::is_directory(dir))
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().extension() == ".mdb") files.push_back(e.path());
    if (files.empty()) GTEST_SKIP() << "the Access fixture folders under " << kFixtures.parent_path() << " are absent";
    size_t rows = 0;
    for (const auto& f : files) {
        const bool locked = f.filename().string().find("with-password") != std::string::npos;
        const JetCheckReport r = check(f.string(), locked ? "password" : "");
        EXPECT_TRUE(r.sound()) << f.filename() << ":\n" << problems(r);
        EXPECT_GE(r.tables, 5u) << f.filename();
        rows += r.rows;
    }
    EXPECT_GT(rows, 2000u);
}

// A written file: "orders" (id Long, note Memo) of 400 rows over several
// data pages, and "other" with one row.
std::string writeOrders(const TempFolder& dir, const std::string& name) {
    dex::test::WDatabase db;
    db.tables = {dex::test::memoTable("orders", 400, 9000, 40), dex::test::memoTable("other", 1, 1)};
    const std::string path = dir.file(name);
    dex::test::writeJetFile(path, db);
    return path;
}

void patch32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(JetCheck, DamageIsReportedWithItsTableAndPage) {
    TempFolder dir;
    const std::string good = writeOrders(dir, "good.mdb");
    const JetCheckReport sound = check(good);
    EXPECT_TRUE(sound.sound()) << problems(sound);
    const auto model = JetModel::open(good, "");
    const JetModelTable& orders = *model->table("orders");
    ASSERT_GE(orders.dataPages.size(), 2u);

    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string table;
        uint32_t page;
        std::string what;
    };
    const uint32_t tdef = orders.page, second = orders.dataPages[1];
    const std::vector<Case> cases{
        {"a wrong row count", [&](std::string& b) { patch32(b, tdef * 4096 + 16, 399); }, "orders", tdef,
         "the definition counts 399 rows, its pages hold 400"},
        {"a data page left out of the usage map",
         [&](std::string& b) {
             // The inline map's bitmap: clear the bit of the second data page.
             const uint32_t map = orders.def.usageMap;
             const size_t page = (map >> 8) * 4096, row = map & 0xFF;
             const size_t start = (static_cast<uint8_t>(b[page + 14 + 2 * row]) | (static_cast<uint8_t>(b[page + 15 + 2 * row]) << 8)) & 0x1FFF;
             const uint32_t first = static_cast<uint8_t>(b[page + start + 1]) | (static_cast<uint8_t>(b[page + start + 2]) << 8);
             const uint32_t bit = second - first;
             b[page + start + 5 + bit / 8] = static_cast<char>(b[page + start + 5 + bit / 8] & ~(1 << (bit % 8)));
         },
         "orders", second, "the page holds the table's rows but its usage map does not list it"},
        {"a data page handed to another table", [&](std::string& b) { patch32(b, second * 4096 + 4, model->table("other")->page); },
         "orders", second, "not one of the table's data pages"},
        {"a long-value chain cut", [&](std::string& b) {
             bool first = true;
             dex::test::forEachStoredRow(b, tdef, [&](size_t, size_t start, size_t) {
                 if (!first) return;
                 first = false;
                 const uint32_t pointer = static_cast<uint8_t>(b[start + 10]) | (static_cast<uint8_t>(b[start + 11]) << 8) |
                                          (static_cast<uint8_t>(b[start + 12]) << 16);
                 const size_t lval = (pointer >> 8) * 4096 + ((static_cast<uint8_t>(b[(pointer >> 8) * 4096 + 14 + 2 * (pointer & 0xFF)]) |
                                                               (static_cast<uint8_t>(b[(pointer >> 8) * 4096 + 15 + 2 * (pointer & 0xFF)]) << 8)) & 0x1FFF);
                 patch32(b, lval, 0);  // the chain ends after its first part
             });
         },
         "orders", 0, "long value chain of column number 1 ends after"},
        {"two rows sharing one long value", [&](std::string& b) {
             // The second row's memo field made a copy of the first row's (its 9,000-byte chain).
             std::string first;
             int row = 0;
             dex::test::forEachStoredRow(b, tdef, [&](size_t, size_t start, size_t) {
                 if (row == 0) first = b.substr(start + 6, 12);
                 if (row++ == 1) b.replace(start + 6, 12, first);
             });
         },
         "orders", 0, "of this long-value page belongs to the values of row 0 of page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".mdb");
        std::string bytes = dex::test::readFileBytes(good);
        c.damage(bytes);
        dex::test::writeFileBytes(path, bytes);
        const JetCheckReport r = check(path);
        ASSERT_FALSE(r.sound());
        bool found = false;
        for (const auto& p : r.problems)
            found = found || (p.table == c.table && (p.page == c.page || c.page == 0) && p.what.find(c.what) != std::string::npos);
        EXPECT_TRUE(found) << problems(r);
    }
}

// A table whose text index spans many leaves under a node page.
TEST(JetCheck, IndexDamageIsReportedWithItsTableAndIndex) {
    TempFolder dir;
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("labels", 3000)};
    db.tables[0].indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"label", false, false, {"label"}, {}}};
    const std::string good = dir.file("labels.mdb");
    dex::test::writeJetFile(good, db);
    const JetCheckReport clean = check(good);
    ASSERT_TRUE(clean.sound()) << problems(clean);
    // The label index's leaves, in chain order (its root is a node page).
    const auto model = JetModel::open(good, "");
    const JetModelTable& t = *model->table("labels");
    const std::string bytes = dex::test::readFileBytes(good);
    std::vector<uint32_t> leaves;
    for (uint32_t p : readUsageMap(model->pages(), t.def.physicalIndexes[1].usageMap, false))
        if (bytes[p * 4096] == 0x04) leaves.push_back(p);
    ASSERT_GE(leaves.size(), 3u);
    uint32_t first = leaves[0];
    for (uint32_t p : leaves)
        if (jetfile::jetwrite::get32(bytes, p * 4096 + 12) == 0) first = p;
    const uint32_t second = jetfile::jetwrite::get32(bytes, first * 4096 + 16);
    const uint32_t third = jetfile::jetwrite::get32(bytes, second * 4096 + 16);

    struct Case {
        const char* name;
        std::function<void(const std::string&)> damage;
        std::string what;
    };
    const std::vector<Case> cases{
        {"a flipped key byte",
         [&](const std::string& path) {
             std::string b = dex::test::readFileBytes(path);
             b[second * 4096 + 0x1E2] = static_cast<char>(b[second * 4096 + 0x1E2] ^ 0x01);
             dex::test::writeFileBytes(path, b);
         },
         ""},
        {"a leaf dropped from the chain",
         [&](const std::string& path) {
             std::string b = dex::test::readFileBytes(path);
             jetfile::jetwrite::set32(b, first * 4096 + 16, third);
             jetfile::jetwrite::set32(b, third * 4096 + 12, first);
             dex::test::writeFileBytes(path, b);
         },
         "page " + std::to_string(first)},
        {"a row missing from the index", [](const std::string& path) { dex::test::copyFirstRow(path, "labels"); },
         "has no entry"},
        {"an entry for a deleted row", [](const std::string& path) { dex::test::deleteFirstRow(path, "labels"); },
         "which is no live row of the table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".mdb");
        fs::copy_file(good, path);
        c.damage(path);
        const JetCheckReport r = check(path);
        bool found = false;
        for (const auto& p : r.problems)
            found = found || (p.table == "labels" && p.index == "label" && p.what.find(c.what) != std::string::npos);
        EXPECT_TRUE(found) << problems(r);
    }
}

// A unique index whose rows repeat a key: the definition of a file written
// with a plain index over the labels is marked unique afterwards.
TEST(JetCheck, AUniqueIndexHoldingAKeyTwiceIsReported) {
    TempFolder dir;
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("labels", 3000)};
    db.tables[0].rows[2500][1] = std::string("label 10");  // "label 10" twice, far apart in the rows
    db.tables[0].rows[40][1] = dex::Value{};                // and two Nulls, which a unique index allows
    db.tables[0].rows[41][1] = dex::Value{};
    db.tables[0].indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"label", false, false, {"label"}, {}}};
    const std::string path = dir.file("labels.mdb");
    dex::test::writeJetFile(path, db);
    const JetCheckReport plain = check(path);
    ASSERT_TRUE(plain.sound()) << "a plain index may repeat its keys:\n" << problems(plain);

    dex::test::makeIndexUnique(path, "labels", 1);
    const JetCheckReport r = check(path);
    ASSERT_EQ(r.problems.size(), 1u) << "one repeated key, the Nulls not counted:\n" << problems(r);
    const JetFinding& f = r.problems[0];
    EXPECT_EQ(f.table, "labels");
    EXPECT_EQ(f.index, "label");
    EXPECT_NE(f.page, 0u) << "the leaf holding the second entry is named";
    EXPECT_EQ(f.text().rfind("table 'labels', index 'label', page " + std::to_string(f.page) + ": row ", 0), 0u) << f.text();
    EXPECT_NE(f.what.find(" have the same label (key "), std::string::npos) << f.what;
    EXPECT_NE(f.what.find("which the unique index does not allow"), std::string::npos) << f.what;
    // The leaf named is one of the index's own pages.
    const auto model = JetModel::open(path, "");
    const auto leaves = readUsageMap(model->pages(), model->table("labels")->def.physicalIndexes[1].usageMap, false);
    EXPECT_NE(std::find(leaves.begin(), leaves.end(), f.page), leaves.end()) << f.page;
}

}  // namespace
