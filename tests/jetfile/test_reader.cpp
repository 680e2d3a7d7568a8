// The real Jet file reader: structure and rows of Access-made files (read
// from the shared fixture folder, skipped when it is absent), files written
// by the test writer, damaged copies, and the engine over them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "AccessMadeFiles.h"
#include "JetDamage.h"
#include "JetFile.h"
#include "JetFileEngine.h"
#include "JetHeader.h"
#include "JetValues.h"
#include "JetModel.h"
#include "JetWriter.h"
#include "MdbAdapter.h"
#include "TableDefPages.h"
#include "TextCodec.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;
using namespace dex;
using namespace dex::jetfile;
using namespace dex::test;

namespace {

const fs::path kFixtures = DEX_JET_FIXTURES;

#define REQUIRE_FIXTURES()                                                                           \
    if (!fs::is_directory(kFixtures))                                                                \
    GTEST_SKIP() << "the Access fixture folder " << kFixtures << " is absent; these tests read the " \
                 << "real files there"

class TempFolder {
public:
    TempFolder() : path_(dex::test::makeUniqueFolder("dex-jetreader")) {}
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path file(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// A writable copy of a fixture in the test's own folder.
std::string copyFixture(const TempFolder& dir, const std::string& name) {
    const fs::path to = dir.file(name);
    fs::copy_file(kFixtures / name, to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to.string();
}

void patch(const std::string& path, std::streamoff offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good());
}

std::string readBytes(const std::string& path, std::streamoff offset, size_t n) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(offset);
    std::string s(n, '\0');
    f.read(s.data(), static_cast<std::streamsize>(n));
    return s;
}

DbError openError(const std::string& path, const std::string& password = "") {
    try {
        openJetFile(path, password);
    } catch (const DbError& e) {
        return e;
    }
    ADD_FAILURE() << path << " opened";
    return DbError(0, "");
}

const JetTable& tableOf(const JetSchema& s, const std::string& name) {
    for (const auto& t : s.tables)
        if (t.name == name) return t;
    throw std::runtime_error("no table " + name);
}

const JetColumn& columnOf(const JetTable& t, const std::string& name) {
    for (const auto& c : t.columns)
        if (c.name == name) return c;
    throw std::runtime_error("no column " + name);
}

std::vector<std::string> columnNames(const JetTable& t) {
    std::vector<std::string> out;
    for (const auto& c : t.columns) out.push_back(c.name);
    return out;
}

std::vector<std::string> indexNames(const JetTable& t) {
    std::vector<std::string> out;
    for (const auto& i : t.indexes) out.push_back(i.name);
    return out;
}

const JetIndex& indexOf(const JetTable& t, const std::string& name) {
    for (const auto& i : t.indexes)
        if (i.name == name) return i;
    throw std::runtime_error("no index " + name);
}

std::vector<std::vector<Value>> rowsOf(JetFile& f, const std::string& table) {
    std::vector<std::vector<Value>> rows;
    f.readRows(table, [&](const std::vector<Value>& r) { return rows.push_back(r), true; });
    return rows;
}

std::vector<std::string> userTables(const JetSchema& s) {
    std::vector<std::string> out;
    for (const auto& t : s.tables)
        if (!t.system) out.push_back(t.name);
    return out;
}

const std::string kReadOnly = "Cannot update.  Database or object is read-only.";

// ---------------------------------------------------------------------------
// Value forms

TEST(JetValues, DatesAreRoundedToTheSecondAlsoBefore1899) {
    EXPECT_EQ(formatJetDate(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(formatJetDate(1.5), "1899-12-31 12:00:00");
    // Negative values: the day counts back, the fraction still counts forwards.
    EXPECT_EQ(formatJetDate(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(formatJetDate(-0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(formatJetDate(-657434.0), "0100-01-01 00:00:00");
    EXPECT_EQ(formatJetDate(2958465.0 + 86399.0 / 86400.0), "9999-12-31 23:59:59");
    EXPECT_EQ(formatJetDate(36526.0 + 86399.6 / 86400.0), "2000-01-02 00:00:00");  // rounds into the next day
    EXPECT_EQ(formatJetDate(32533.5 + 0.4 / 86400.0), "1989-01-25 12:00:00");
    EXPECT_FALSE(formatJetDate(std::nan("")));
}

TEST(JetValues, DecimalGuidAndSingle) {
    uint8_t dec[17] = {0x80};
    dec[13] = 0x39, dec[14] = 0x30;  // 12345 in the least significant word
    EXPECT_EQ(formatJetDecimal(dec, 2), "-123.45");
    EXPECT_EQ(formatJetDecimal(dec, 6), "-0.012345");
    // As many digits as the scale, one more, one fewer: the leading 0 stays.
    EXPECT_EQ(formatJetDecimal(dec, 5), "-0.12345");
    EXPECT_EQ(formatJetDecimal(dec, 4), "-1.2345");
    EXPECT_EQ(formatJetDecimal(dec, 0), "-12345");
    uint8_t zero[17] = {0x80};
    EXPECT_EQ(formatJetDecimal(zero, 2), "0.00");
    dec[0] = 0;
    dec[1] = 0x01;  // 2^96 in the most significant word
    EXPECT_EQ(formatJetDecimal(dec, 0), "79228162514264337593543962681");
    const uint8_t guid[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                              0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    EXPECT_EQ(formatJetGuid(guid), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
    EXPECT_EQ(singleToDouble(1.1f), 1.1);
}

TEST(JetText, Jet4CompressedAndPlainUcs2AndCodePages) {
    const uint8_t compressed[] = {0xFF, 0xFE, 'A', 'b', 0x00, 0x20, 0x5F, 0x09, 0x4E, 0x00, '!'};
    EXPECT_EQ(jet4TextToUtf8(compressed, sizeof compressed), "Ab张三!");
    const uint8_t plain[] = {0x37, 0x75, 'x', 0x00};
    EXPECT_EQ(jet4TextToUtf8(plain, sizeof plain), "男x");
    // Into a string that held a longer text; surrogate pairs, lone
    // surrogates (U+FFFD), an odd byte at the end of a two-byte run.
    std::string reused(100, 'z');
    jet4TextToUtf8Into(reused, compressed, sizeof compressed);
    EXPECT_EQ(reused, "Ab张三!");
    const uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE, 'a', 0x00, 0x3D, 0xD8};
    jet4TextToUtf8Into(reused, pair, sizeof pair);
    EXPECT_EQ(reused, "\xF0\x9F\x98\x80" "a\xEF\xBF\xBD");
    EXPECT_EQ(jet4TextToUtf8(pair, sizeof pair), reused);
    const uint8_t odd[] = {0xFF, 0xFE, 'x', 0x00, 0x01, 0xDC, 0x41};
    jet4TextToUtf8Into(reused, odd, sizeof odd);
    EXPECT_EQ(reused, "x\xEF\xBF\xBD");
    EXPECT_EQ(jet4TextToUtf8(odd, sizeof odd), reused);
    CodePageDecoder cp949(949);
    const uint8_t hangul[] = {0xC7, 0xD1, 0xB1, 0xDB};
    EXPECT_EQ(cp949.toUtf8(hangul, sizeof hangul), "한글");
    EXPECT_EQ(utf8ToUtf16le("가"), std::string("\x00\xAC", 2));
}

TEST(JetHeaderParse, OnlyJetSignaturesAreHeaders) {
    std::string page(4096, '\0');
    EXPECT_FALSE(parseJetHeader(reinterpret_cast<const uint8_t*>(page.data()), page.size()));
    page.replace(4, 15, "Standard Jet DB");
    page[0x14] = 1;
    auto h = parseJetHeader(reinterpret_cast<const uint8_t*>(page.data()), page.size());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->format, JetFormat::Jet4);
    EXPECT_FALSE(parseJetHeader(reinterpret_cast<const uint8_t*>(page.data()), 0x18 + 100));  // cut short
    page.replace(4, 15, "Standard ACE DB");
    EXPECT_EQ(parseJetHeader(reinterpret_cast<const uint8_t*>(page.data()), page.size())->format, JetFormat::Ace);
}

// ---------------------------------------------------------------------------
// Access-made files (cross-checked once with mdb-schema, mdb-prop, mdb-export)

TEST(JetFileFixtures, IndexTestStructureWithForeignKeysOnTheReferencingTable) {
    REQUIRE_FIXTURES();
    auto f = openJetFile((kFixtures / "jackcess_indexTestV2000.mdb").string(), "");
    const JetSchema& s = f->schema();
    EXPECT_EQ(s.version, 1);
    EXPECT_EQ(s.codePage, 1252);
    EXPECT_EQ(userTables(s), (std::vector<std::string>{"Table1", "Table2", "Table3"}));

    const JetTable& t1 = tableOf(s, "Table1");
    EXPECT_EQ(columnNames(t1), (std::vector<std::string>{"id", "otherfk1", "otherfk2", "data", "otherfk3"}));
    EXPECT_EQ(columnOf(t1, "id").type, coltype::Long);
    EXPECT_EQ(columnOf(t1, "id").size, 4);
    EXPECT_EQ(columnOf(t1, "id").defaultValue, "0");
    EXPECT_EQ(columnOf(t1, "data").type, coltype::Text);
    EXPECT_EQ(columnOf(t1, "data").size, 50);
    EXPECT_TRUE(columnOf(t1, "data").allowZeroLength);
    EXPECT_FALSE(columnOf(t1, "data").required);

    EXPECT_EQ(indexNames(t1), (std::vector<std::string>{"id", "PrimaryKey", "Table2Table1", "Table3Table1"}));
    const JetIndex& pk = indexOf(t1, "PrimaryKey");
    EXPECT_EQ(pk.kind, JetIndex::Kind::Primary);
    EXPECT_TRUE(pk.unique);
    EXPECT_EQ(pk.columns, std::vector<std::string>{"id"});
    EXPECT_EQ(indexOf(t1, "id").kind, JetIndex::Kind::Normal);
    EXPECT_FALSE(indexOf(t1, "id").unique);
    const JetIndex& fk1 = indexOf(t1, "Table2Table1");
    EXPECT_EQ(fk1.kind, JetIndex::Kind::Foreign);
    EXPECT_EQ(fk1.columns, std::vector<std::string>{"otherfk1"});
    EXPECT_EQ(fk1.referencedTable, "Table2");
    EXPECT_EQ(fk1.referencedColumns, std::vector<std::string>{"id"});
    EXPECT_EQ(indexOf(t1, "Table3Table1").columns, std::vector<std::string>{"otherfk2"});

    // The referenced tables keep their own indexes; their ".rC" counterparts are left out.
    EXPECT_EQ(indexNames(tableOf(s, "Table2")), (std::vector<std::string>{"id", "PrimaryKey"}));
    EXPECT_EQ(indexNames(tableOf(s, "Table3")), (std::vector<std::string>{"id", "PrimaryKey"}));

    std::map<std::string, JetRelationship> rels;
    for (const auto& r : s.relationships) rels[r.name] = r;
    ASSERT_EQ(rels.count("Table2Table1"), 1u);
    EXPECT_EQ(rels["Table2Table1"].table, "Table1");
    EXPECT_EQ(rels["Table2Table1"].refTable, "Table2");
    EXPECT_EQ(rels["Table2Table1"].columns, std::vector<std::string>{"otherfk1"});
    EXPECT_TRUE(rels["Table2Table1"].enforced);
    EXPECT_TRUE(rels["Table2Table1"].cascadeDelete);  // grbit 4096
    EXPECT_FALSE(rels["Table2Table1"].cascadeUpdate);
    EXPECT_TRUE(rels["Table3Table1"].cascadeUpdate);  // grbit 256
    EXPECT_FALSE(rels["Table3Table1"].cascadeDelete);
}

TEST(JetFileFixtures, FruitOneToOneRelationshipsAndSortedTables) {
    REQUIRE_FIXTURES();
    auto f = openJetFile((kFixtures / "npm-mdb_fruit.mdb").string(), "");
    const JetSchema& s = f->schema();
    EXPECT_EQ(userTables(s),
              (std::vector<std::string>{"Dried", "Fruit", "Fruit Salad", "Muffin/Bread", "Veggie Salad"}));
    std::vector<std::string> all;
    for (const auto& t : s.tables) all.push_back(t.name);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](std::string a, std::string b) {
        for (auto& c : a) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (auto& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return a < b;
    }));
    EXPECT_TRUE(tableOf(s, "MSysObjects").system);
    EXPECT_TRUE(tableOf(s, "MSysAccessObjects").system);
    EXPECT_EQ(columnOf(tableOf(s, "MSysAccessObjects"), "Data").type, coltype::FixedBinary);

    EXPECT_EQ(indexNames(tableOf(s, "Fruit")), (std::vector<std::string>{"Fruit", "PrimaryKey"}));
    const JetTable& salad = tableOf(s, "Fruit Salad");
    EXPECT_EQ(indexNames(salad), (std::vector<std::string>{"FruitFruit Salad", "IDNum", "PrimaryKey"}));
    const JetIndex& fk = indexOf(salad, "FruitFruit Salad");
    EXPECT_EQ(fk.kind, JetIndex::Kind::Foreign);
    EXPECT_TRUE(fk.unique);  // one-to-one
    EXPECT_EQ(fk.columns, std::vector<std::string>{"Fruit"});
    EXPECT_EQ(fk.referencedTable, "Fruit");
    EXPECT_EQ(indexOf(tableOf(s, "Muffin/Bread"), "FruitMuffin/Bread").columns, std::vector<std::string>{"fruit"});

    ASSERT_EQ(s.relationships.size(), 4u);
    for (const auto& r : s.relationships) {
        EXPECT_EQ(r.refTable, "Fruit") << r.name;  // grbit 16781569 on every one
        EXPECT_TRUE(r.enforced && r.cascadeUpdate && r.cascadeDelete) << r.name;
    }
    EXPECT_EQ(columnOf(tableOf(s, "Fruit"), "Vit B6").defaultValue, "0");
}

TEST(JetFileFixtures, UsersPropertiesAndChineseRows) {
    REQUIRE_FIXTURES();
    auto f = openJetFile((kFixtures / "npm-node-adodb.mdb").string(), "");
    EXPECT_EQ(f->schema().codePage, 936);
    const JetTable& users = tableOf(f->schema(), "Users");
    EXPECT_TRUE(columnOf(users, "UserId").autonumber);
    EXPECT_TRUE(columnOf(users, "UserName").required);  // mdb-prop: "Required: yes"
    EXPECT_FALSE(columnOf(users, "UserName").allowZeroLength);
    EXPECT_TRUE(columnOf(users, "UserSex").allowZeroLength);
    EXPECT_EQ(columnOf(users, "UserSex").size, 255);
    EXPECT_EQ(columnOf(users, "UserBirthday").type, coltype::DateTime);
    EXPECT_EQ(columnOf(users, "UserMarried").type, coltype::Bool);
    EXPECT_EQ(columnOf(users, "UserMarried").defaultValue, "0");
    EXPECT_FALSE(columnOf(users, "UserMarried").required);

    const auto rows = rowsOf(*f, "Users");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<Value>{int64_t{1}, std::string("Nuintun"), std::string("Male"),
                                           std::string("1989-01-25 00:00:00"), int64_t{-1}}));
    EXPECT_EQ(rows[1][4], Value{int64_t{0}});
    EXPECT_EQ(rows[2][1], Value{std::string("张三")});
    EXPECT_EQ(rows[2][2], Value{std::string("男")});
    EXPECT_EQ(rows[2][3], Value{std::string("1986-12-18 00:00:00")});
}

TEST(JetFileFixtures, RowCountsAndValuesAsMdbExportShowsThem) {
    REQUIRE_FIXTURES();
    auto fruit = openJetFile((kFixtures / "npm-mdb_fruit.mdb").string(), "");
    const std::map<std::string, size_t> counts{
        {"Fruit", 37}, {"Fruit Salad", 18}, {"Dried", 12}, {"Muffin/Bread", 13}, {"Veggie Salad", 4}};
    for (const auto& [table, n] : counts) EXPECT_EQ(rowsOf(*fruit, table).size(), n) << table;
    const auto apricot = rowsOf(*fruit, "Fruit")[1];
    EXPECT_EQ(apricot[0], Value{std::string("Apricot")});
    EXPECT_EQ(apricot[5], Value{int64_t{420}});

    auto index = openJetFile((kFixtures / "jackcess_indexTestV2000.mdb").string(), "");
    const auto t1 = rowsOf(*index, "Table1");
    ASSERT_EQ(t1.size(), 4u);
    EXPECT_EQ(t1[3], (std::vector<Value>{int64_t{3}, int64_t{2}, int64_t{13}, std::string("baz13"), int64_t{0}}));
    EXPECT_EQ(rowsOf(*index, "Table3").back()[1], Value{std::string("bar13")});
    // A row moved to another page (an overflow row) comes back in its place.
    const auto groups = rowsOf(*index, "MSysNavPaneGroupCategories");
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[1][0], Value{int64_t{2}});
    EXPECT_EQ(groups[1][4], Value{std::string("Tables")});

    int stopped = 0;
    fruit->readRows("Fruit", [&](const std::vector<Value>&) { return ++stopped < 2; });
    EXPECT_EQ(stopped, 2);
    try {
        fruit->readRows("NoSuchTable", [](const std::vector<Value>&) { return true; });
        ADD_FAILURE() << "read a missing table";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), -2147217865);
    }
}

// Every Access-made file, every table (system and hidden ones too): our rows
// are libmdb's rows, value for value (libmdb's forms: currency as a double,
// dates rounded to the second).
std::vector<fs::path> accessMadeFiles() { return test::accessMadeFiles(kFixtures); }

std::string passwordOf(const fs::path& f) { return fixturePassword(f); }

Value libmdbForm(const JetValue& v) {
    if (auto* d = std::get_if<JetDateTime>(&v)) {
        auto t = formatJetDate(d->days);
        return t ? Value{*t} : Value{};
    }
    if (auto* m = std::get_if<JetCurrency>(&v)) return static_cast<double>(m->units) / 10000.0;
    return engineValue(v);
}

TEST(JetFileFixtures, EveryTableReadsAsLibmdbReadsIt) {
    REQUIRE_FIXTURES();
    for (const fs::path& file : accessMadeFiles()) {
        SCOPED_TRACE(file.filename().string());
        const auto model = JetModel::open(file.string(), passwordOf(file));
        MdbAdapter mdb(file.string(), model->header(), model->pages().count());
        mdb.readCatalog(model->table("MSysObjects")->def);
        size_t tables = 0, rows = 0;
        for (const JetModelTable& t : model->tables()) {
            std::vector<std::vector<Value>> ours, theirs;
            model->readRows(t, [&](const RowPlace&, std::vector<JetValue>& r) {
                std::vector<Value> row;
                for (const auto& v : r) row.push_back(libmdbForm(v));
                return ours.push_back(std::move(row)), true;
            });
            mdb.readRows(t.catalogIndex, t.def, t.name, [&](std::vector<Value>& r) { return theirs.push_back(r), true; });
            EXPECT_EQ(ours, theirs) << t.name;
            ++tables;
            rows += ours.size();
        }
        EXPECT_GE(tables, 4u);
        EXPECT_EQ(model->table("MSysObjects")->system, true);
    }
}

// Hidden and system-flagged tables are part of the model, with their flags.
TEST(JetFileFixtures, HiddenAndSystemTablesAreInTheModel) {
    REQUIRE_FIXTURES();
    const auto model = JetModel::open((kFixtures / "jackcess_indexTestV2000.mdb").string(), "");
    const JetModelTable* nav = model->table("MSysNavPaneGroups");
    ASSERT_NE(nav, nullptr);
    EXPECT_TRUE(nav->hidden);
    EXPECT_TRUE(nav->system);
    EXPECT_EQ(model->catalog()[nav->catalogIndex].flags, 10);
    const JetModelTable* objects = model->table("MSysAccessObjects");
    ASSERT_NE(objects, nullptr);
    EXPECT_FALSE(objects->hidden);
    EXPECT_TRUE(objects->system);  // flag 0x2
    EXPECT_EQ(model->header().sortOrder, 0x409);
    EXPECT_EQ(model->table("Table1")->def.columns.size(), 5u);
    EXPECT_EQ(model->table("Table1")->def.columns[3].sortOrder, 0x409);
    EXPECT_EQ(JetModel::open((kFixtures / "npm-node-adodb.mdb").string(), "")->header().sortOrder, 0x804);

    // The catalog's raw blobs, the queries, permissions and relationships as stored.
    const JetCatalogEntry& t1 = model->catalog()[model->table("Table1")->catalogIndex];
    EXPECT_EQ(t1.lvProp.substr(0, 4), std::string("MR2\0", 4));
    EXPECT_EQ(t1.page(), 24u);
    const JetPropertyBlob blob = model->properties(t1);
    const JetPropertyMap* data = blob.map("data");
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->find("AllowZeroLength"), nullptr);
    EXPECT_TRUE(propertyIsTrue(*data->find("AllowZeroLength")));
    EXPECT_EQ(model->relationshipRows().rows.size(), 4u);  // as mdb-export lists them
    EXPECT_FALSE(model->permissions().rows.empty());
    const auto queries = JetModel::open((kFixtures / "jackcess_queryTestV2000.mdb").string(), "")->queries();
    EXPECT_EQ(queries.rows.size(), 90u);
    EXPECT_GE(queries.column("Expression"), 0);
}

TEST(JetFileFixtures, DatabasePassword) {
    REQUIRE_FIXTURES();
    const std::string locked = (kFixtures / "mdbreader_V2003_with-password.mdb").string();
    auto f = openJetFile(locked, "password");
    const auto rows = rowsOf(*f, "Table1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][1], Value{std::string("Three")});
    for (const std::string wrong : {"", "Password", "password1"}) {
        const DbError e = openError(locked, wrong);
        EXPECT_EQ(e.number(), 3031) << wrong;
        EXPECT_EQ(e.description(), "Not a valid password for '" + locked + "'.");
    }
    // A password given for a file without one is ignored, as Jet does.
    EXPECT_NO_THROW(openJetFile((kFixtures / "npm-node-adodb.mdb").string(), "anything"));
}

// ---------------------------------------------------------------------------
// Files that are missing, not Jet, or damaged

TEST(JetFileErrors, MissingNonJetAndAceFiles) {
    REQUIRE_FIXTURES();
    TempFolder dir;
    const std::string missing = dir.file("none.mdb").string();
    DbError e = openError(missing);
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), "Could not find file '" + missing + "'.");

    const std::string text = dir.file("text.mdb").string();
    std::ofstream(text) << "just some text that is long enough to be anything but a database\n";
    e = openError(text);
    EXPECT_EQ(e.number(), 3343);
    EXPECT_EQ(e.description(), "Unrecognized database format '" + text + "'.");

    const std::string ace = copyFixture(dir, "npm-node-adodb.mdb");
    patch(ace, 0x14, std::string(1, '\x02'));
    e = openError(ace);
    EXPECT_EQ(e.number(), 3343);
    EXPECT_NE(e.description().find("ACE"), std::string::npos) << e.description();
}

TEST(JetFileDamage, TruncatedFiles) {
    REQUIRE_FIXTURES();
    TempFolder dir;
    const std::string half = copyFixture(dir, "npm-node-adodb.mdb");
    fs::resize_file(half, 24 * 4096);
    DbError e = openError(half);
    EXPECT_EQ(e.number(), 3343);
    EXPECT_NE(e.description().find("the file is damaged"), std::string::npos) << e.description();

    fs::resize_file(half, 24 * 4096 + 100);
    EXPECT_NE(openError(half).description().find("ends inside page 24"), std::string::npos);
    fs::resize_file(half, 3000);
    EXPECT_EQ(openError(half).number(), 3343);
}

// Users' table definition is page 25 of npm-node-adodb.mdb (MSysObjects.Id).
constexpr std::streamoff kUsersTdef = 25 * 4096;

TEST(JetFileDamage, TableDefinitionPages) {
    REQUIRE_FIXTURES();
    TempFolder dir;
    struct Case {
        const char* what;
        std::vector<std::pair<std::streamoff, std::string>> patches;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"zeroed", {{kUsersTdef, std::string(4096, '\0')}}, "is not a table definition page"},
        {"data page type", {{kUsersTdef, std::string("\x01", 1)}}, "is not a table definition page"},
        {"next page is itself", {{kUsersTdef + 4, std::string("\x19\x00\x00\x00", 4)}}, "comes back to page 25"},
        {"next page beyond the file", {{kUsersTdef + 4, std::string("\x00\x10\x00\x00", 4)}}, "does not have"},
        {"column count", {{kUsersTdef + 45, std::string("\xFF\x7F", 2)}}, "run past the end"},
        {"logical index count", {{kUsersTdef + 47, std::string("\x00\x00\x01\x00", 4)}}, "run past the end"},
        // The page map (at 55) moved to row 1 of page 27, whose start is made
        // equal to row 0's: a row of no bytes.
        {"empty page map",
         {{kUsersTdef + 55, std::string("\x01\x1B\x00\x00", 4)}, {27 * 4096 + 16, std::string("\xDA\x0F", 2)}},
         "page map is empty"},
    };
    for (const auto& c : cases) {
        const std::string path = copyFixture(dir, "npm-node-adodb.mdb");
        for (const auto& [offset, bytes] : c.patches) patch(path, offset, bytes);
        const DbError e = openError(path);
        EXPECT_EQ(e.number(), 3343) << c.what;
        EXPECT_NE(e.description().find("the file is damaged"), std::string::npos) << c.what;
        EXPECT_NE(e.description().find(c.expected), std::string::npos) << c.what << ": " << e.description();
        EXPECT_NE(e.description().find("in table 'Users'"), std::string::npos) << c.what << ": " << e.description();
        fs::remove(path);
    }
}

// Users' first row fills 0xFDA..0xFFF of data page 27 of npm-node-adodb.mdb.
constexpr std::streamoff kUsersRow = 27 * 4096 + 0xFDA;

void expectUsersRowsDamaged(const std::string& path) {
    auto f = openJetFile(path, "");  // the structure is intact
    testing::internal::CaptureStderr();
    try {
        rowsOf(*f, "Users");
        ADD_FAILURE() << "a damaged row was read";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3343);
        EXPECT_NE(e.description().find("in table 'Users'"), std::string::npos) << e.description();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // libmdb's own warnings stay off stderr
}

TEST(JetFileDamage, RowsThatDoNotFitTheirPlace) {
    REQUIRE_FIXTURES();
    TempFolder dir;
    // Four bytes before the row's end lies the offset of its first
    // variable-length value (14): make it point past the row.
    const std::string pastRow = copyFixture(dir, "npm-node-adodb.mdb");
    ASSERT_EQ(readBytes(pastRow, kUsersRow + 0x21, 2), std::string("\x0E\x00", 2));
    patch(pastRow, kUsersRow + 0x21, std::string("\xF0\x0F", 2));
    expectUsersRowsDamaged(pastRow);
    fs::remove(pastRow);

    // A row claiming 65535 columns: its null mask would be larger than the page.
    const std::string manyColumns = copyFixture(dir, "npm-node-adodb.mdb");
    ASSERT_EQ(readBytes(manyColumns, kUsersRow, 2), std::string("\x05\x00", 2));
    patch(manyColumns, kUsersRow, std::string("\xFF\xFF", 2));
    expectUsersRowsDamaged(manyColumns);
}

dex::test::WColumn col(const std::string& name, int type, int size = 0) {
    dex::test::WColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

// A written file with one table "t" (id Long, note Memo) of three rows,
// the first with a memo long enough for a chain of LVAL rows, the last Null.
std::string writeNotes(const TempFolder& dir, const std::string& name) {
    dex::test::WDatabase db;
    db.tables = {dex::test::memoTable("t", 3, 20000, 1)};
    db.tables[0].rows[2][1] = std::monostate{};
    const std::string path = dir.file(name).string();
    dex::test::writeJetFile(path, db);
    return path;
}

TableDefinition definitionOf(const std::string& path, const std::string& table, uint32_t& page) {
    const std::string bytes = dex::test::readFileBytes(path);
    page = dex::test::tableDefPageOf(bytes, table);
    return readTableDefinition(page, false, 4096, [&](uint32_t p) {
        return std::vector<uint8_t>(bytes.begin() + p * 4096, bytes.begin() + (p + 1) * 4096);
    }, table);
}

DbError rowsError(const std::string& path, const std::string& table) {
    try {
        auto f = openJetFile(path, "");
        rowsOf(*f, table);
    } catch (const DbError& e) {
        return e;
    }
    ADD_FAILURE() << path << ": the rows of " << table << " were read";
    return DbError(0, "");
}

void expectDamaged(const DbError& e, const std::string& path, const std::string& table, const std::string& cause) {
    EXPECT_EQ(e.number(), 3343) << e.description();
    EXPECT_EQ(e.description().rfind("Unrecognized database format '" + path + "': the file is damaged: ", 0), 0u)
        << e.description();
    EXPECT_NE(e.description().find("in table '" + table + "'"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find(cause), std::string::npos) << e.description();
}

// Every page a definition, a usage map, a long value or an overflow row names
// is checked against the file's size: nothing past the end is ever read as
// an empty page.
TEST(JetFileDamage, PageReferencesPastTheEndAreDamage) {
    TempFolder dir;
    const std::string good = writeNotes(dir, "good.mdb");
    ASSERT_EQ(rowsOf(*openJetFile(good, ""), "t").size(), 3u);
    uint32_t tdef = 0;
    const TableDefinition def = definitionOf(good, "t", tdef);
    const uint32_t pages = static_cast<uint32_t>(fs::file_size(good) / 4096);
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };

    // The usage map as row 0 of the page just past the end, and of the last page.
    for (const uint32_t at : {pages, pages + 1000}) {
        const std::string path = dir.file("map" + std::to_string(at) + ".mdb").string();
        fs::copy_file(good, path);
        patch(path, tdef * 4096 + 55, le32(at << 8));
        expectDamaged(openError(path), path, "t", "page " + std::to_string(at) + ", beyond the end of the file");
    }
    // The inline map's first page moved so that its pages lie past the end.
    {
        const std::string path = dir.file("mappages.mdb").string();
        fs::copy_file(good, path);
        const size_t mapPage = def.usageMap >> 8, mapRow = def.usageMap & 0xFF;
        const std::string page = readBytes(path, static_cast<std::streamoff>(mapPage * 4096), 4096);
        const size_t start = (static_cast<uint8_t>(page[14 + 2 * mapRow]) | (static_cast<uint8_t>(page[15 + 2 * mapRow]) << 8)) & 0x1FFF;
        patch(path, static_cast<std::streamoff>(mapPage * 4096 + start + 1), le32(pages));
        expectDamaged(openError(path), path, "t", "usage map lists page " + std::to_string(pages));
    }
    // The first row's memo continues on a page past the end.
    {
        const std::string path = dir.file("memo.mdb").string();
        fs::copy_file(good, path);
        std::string bytes = dex::test::readFileBytes(path);
        bool first = true;
        dex::test::forEachStoredRow(bytes, tdef, [&](size_t, size_t start, size_t) {
            if (first) bytes.replace(start + 6 + 4, 4, le32(pages << 8));
            first = false;
        });
        dex::test::writeFileBytes(path, bytes);
        expectDamaged(rowsError(path, "t"), path, "t", "refers to page " + std::to_string(pages));
    }
}

TEST(JetFileDamage, AFileCutShortEndsInAMessage) {
    REQUIRE_FIXTURES();
    TempFolder dir;
    const std::string path = copyFixture(dir, "jackcess_indexTestV2000.mdb");
    ASSERT_EQ(fs::file_size(path), 72u * 4096);
    fs::resize_file(path, 6 * 4096);
    const DbError e = openError(path);
    EXPECT_EQ(e.number(), 3343);
    EXPECT_EQ(e.description().rfind("Unrecognized database format '" + path + "': the file is damaged: ", 0), 0u)
        << e.description();
    EXPECT_NE(e.description().find("beyond the end of the file (6 pages)"), std::string::npos) << e.description();
}

// Long values: a chain that comes back to itself, and many rows sharing one
// chain, end in a message instead of memory and disk.
TEST(JetFileDamage, LongValueChainsThatLoopOrAreShared) {
    TempFolder dir;
    const std::string loop = writeNotes(dir, "loop.mdb");
    dex::test::loopFirstLongValue(loop, "t", 6);
    expectDamaged(rowsError(loop, "t"), loop, "t", "claims 500000000 bytes, more than the file holds");

    // The same loop with an honest length: the chain's second visit to its row is the damage.
    const std::string loop2 = writeNotes(dir, "loop2.mdb");
    dex::test::loopFirstLongValue(loop2, "t", 6);
    std::string bytes = dex::test::readFileBytes(loop2);
    uint32_t tdef = dex::test::tableDefPageOf(bytes, "t");
    bool first = true;
    dex::test::forEachStoredRow(bytes, tdef, [&](size_t, size_t start, size_t) {
        if (first) bytes.replace(start + 6, 4, std::string("\x20\x4E\x00\x00", 4));  // 20000 bytes
        first = false;
    });
    dex::test::writeFileBytes(loop2, bytes);
    expectDamaged(rowsError(loop2, "t"), loop2, "t", "comes back to row");

    // 3,000 rows whose memos all point at one chain of 64 KB: 190 MB from a 300 KB file.
    dex::test::WDatabase db;
    db.tables = {dex::test::memoTable("notes", 3000, 65536, 1)};
    const std::string shared = dir.file("shared.mdb").string();
    dex::test::writeJetFile(shared, db);
    ASSERT_EQ(rowsOf(*openJetFile(shared, ""), "notes").size(), 3000u);
    dex::test::shareFirstLongValue(shared, "notes", 6);
    expectDamaged(rowsError(shared, "notes"), shared, "notes", "more than a file of ");
}

// A logical index may use physical entries 0 .. N-1 of N, not N.
TEST(JetFileDamage, LogicalIndexNamingPhysicalEntryNofN) {
    TempFolder dir;
    dex::test::WDatabase db;
    dex::test::WTable t{"Users", {col("ID", coltype::Long), col("Name", coltype::Text, 20)}, {}, {}};
    t.indexes = {{"PrimaryKey", true, true, {"ID"}, {}}, {"Name", false, false, {"Name"}, {}}};
    db.tables = {t};
    const std::string path = dir.file("users.mdb").string();
    dex::test::writeJetFile(path, db);
    uint32_t tdef = 0;
    const TableDefinition def = definitionOf(path, "Users", tdef);
    ASSERT_EQ(def.physicalIndexes.size(), 2u);
    const std::string joined(def.bytes.begin(), def.bytes.end());
    const size_t at = joined.find(def.logicalIndexes[1].raw);
    ASSERT_NE(at, std::string::npos);
    for (const auto& [physical, fine] : std::vector<std::pair<char, bool>>{{1, true}, {2, false}, {'\xFF', false}}) {
        patch(path, static_cast<std::streamoff>(tdef * 4096 + at + 8),
              physical == '\xFF' ? std::string(4, '\xFF') : std::string{physical, 0, 0, 0});
        if (fine) {
            EXPECT_NO_THROW(openJetFile(path, ""));
            continue;
        }
        const DbError e = openError(path);
        EXPECT_EQ(e.number(), 3343);
        EXPECT_NE(e.description().find("logical index 1 uses index entry " + std::string(physical == 2 ? "2" : "-1") + " of 2 in table 'Users'"),
                  std::string::npos) << e.description();
    }
}

// ---------------------------------------------------------------------------
// The engine

TEST(JetFileEngineDao, TableDefsInDaoTerms) {
    REQUIRE_FIXTURES();
    auto engine = makeJetFileEngine();
    auto db = engine->openDatabase((kFixtures / "jackcess_indexTestV2000.mdb").string(), 0, true, "");
    const auto defs = db->tableDefs();
    auto it = std::find_if(defs.begin(), defs.end(), [](const TableDef& t) { return t.name == "Table1"; });
    ASSERT_NE(it, defs.end());
    ASSERT_EQ(it->fields.size(), 5u);
    EXPECT_EQ(it->fields[3].name, "data");
    EXPECT_EQ(it->fields[3].type, 10);
    EXPECT_EQ(it->fields[3].size, 50);
    EXPECT_TRUE(it->fields[3].allowZeroLength);
    EXPECT_EQ(it->fields[0].type, 4);
    EXPECT_EQ(it->fields[0].defaultValue, "0");
    const IndexDef& fk = it->indexes[2];
    EXPECT_EQ(fk.name, "Table2Table1");
    EXPECT_TRUE(fk.foreign);
    EXPECT_FALSE(fk.primary);
    EXPECT_EQ(fk.fields, std::vector<std::string>{"otherfk1"});
    EXPECT_EQ(fk.referencedTable, "Table2");
    EXPECT_EQ(fk.referencedFields, std::vector<std::string>{"id"});
    EXPECT_TRUE(it->indexes[1].primary && it->indexes[1].unique);
    db->close();
    EXPECT_THROW(db->tableDefs(), DbError);

    const std::string locked = (kFixtures / "mdbreader_V2003_with-password.mdb").string();
    EXPECT_NO_THROW(engine->openDatabase(locked, 0, true, ";pwd=password"));
    try {
        engine->openDatabase(locked, 0, true, ";pwd=nope");
        ADD_FAILURE();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3031);
        EXPECT_EQ(e.description(), "Not a valid password for '" + locked + "'.");
    }
}

TEST(JetFileEngineAdo, SimpleQueriesAnswered) {
    REQUIRE_FIXTURES();
    auto engine = makeJetFileEngine();
    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                       (kFixtures / "mdbreader_V2003_with-password.mdb").string() +
                                       ";Jet OLEDB:Database Password=password");
    auto all = conn->query("SELECT * FROM [Table1]");
    EXPECT_EQ(all->recordCount(), 3);
    EXPECT_EQ(all->fieldCount(), 2);
    EXPECT_EQ(all->field(1), Value{std::string("One")});
    all->moveNext();
    all->moveNext();
    all->moveNext();
    EXPECT_TRUE(all->eof());
    EXPECT_THROW(all->field(0), DbError);

    auto some = conn->query("select data, id from table1;");
    EXPECT_EQ(some->fieldCount(), 2);
    EXPECT_EQ(some->field(0), Value{std::string("One")});
    EXPECT_EQ(some->field(1), Value{int64_t{1}});
    EXPECT_EQ(conn->query("SELECT COUNT(*) FROM Table1")->field(0), Value{int64_t{3}});
    EXPECT_EQ(conn->query("SELECT MAX([ID]) FROM [Table1]")->field(0), Value{int64_t{3}});
    EXPECT_EQ(conn->query("SELECT MAX(Data) FROM Table1")->field(0), Value{std::string("Two")});

    auto number = [&](const std::string& sql) {
        try {
            conn->query(sql);
        } catch (const DbError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number("SELECT * FROM Nowhere"), -2147217865);
    EXPECT_EQ(number("SELECT Nothing FROM Table1"), -2147217904);
    EXPECT_EQ(number("SELECT ID FROM Table1 WHERE ID = 1"), -2147217900);
    conn->close();
    EXPECT_EQ(number("SELECT * FROM Table1"), 91);
}

TEST(JetFileEngineAdo, WritesAndCompactAreRefused) {
    REQUIRE_FIXTURES();
    auto engine = makeJetFileEngine();
    const std::string path = (kFixtures / "npm-node-adodb.mdb").string();
    const auto before = fs::last_write_time(path);
    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    for (const std::string sql :
         {"INSERT INTO Users (UserName) VALUES ('x')", "UPDATE Users SET UserSex = 'x'", "DELETE * FROM Users",
          "CREATE TABLE t (a INTEGER)", "ALTER TABLE Users ADD COLUMN c TEXT(5)", "DROP TABLE Users",
          "SELECT * INTO Copy FROM Users"}) {
        try {
            conn->execute(sql);
            ADD_FAILURE() << sql;
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3027) << sql;
            EXPECT_EQ(e.description(), kReadOnly);
        }
    }
    EXPECT_EQ(conn->execute("SELECT COUNT(*) FROM Users"), 0);
    TempFolder dir;
    try {
        engine->compactDatabase(path, dir.file("out.mdb").string(), "");
        ADD_FAILURE() << "compacted";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3027);
    }
    EXPECT_FALSE(fs::exists(dir.file("out.mdb")));
    EXPECT_EQ(fs::last_write_time(path), before);
    try {
        engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir.file("none.mdb").string());
        ADD_FAILURE();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), -2147467259);
    }
}

// ---------------------------------------------------------------------------
// Files from the test writer

TEST(JetFileWritten, EveryColumnTypeAndLongValues) {
    TempFolder dir;
    dex::test::WDatabase db;
    dex::test::WTable t;
    t.name = "AllTypes";
    t.columns = {col("b", coltype::Bool),    col("y", coltype::Byte),       col("i", coltype::Int),
                 col("l", coltype::Long),    col("m", coltype::Money),      col("f", coltype::Float),
                 col("d", coltype::Double),  col("t", coltype::DateTime),   col("bin", coltype::Binary, 10),
                 col("txt", coltype::Text, 20), col("ole", coltype::Ole),   col("memo", coltype::Memo),
                 col("g", coltype::RepId),   col("n", coltype::Numeric)};
    t.columns[13].precision = 18;
    t.columns[13].scale = 4;
    t.columns[9].allowZeroLength = true;
    t.columns[9].defaultValue = "\"none\"";
    t.columns[3].required = true;
    const std::string blob = std::string("\x01\x02\x00\x03", 4);
    std::string ole(10000, '\0');
    for (size_t i = 0; i < ole.size(); ++i) ole[i] = static_cast<char>(i * 7);
    std::string memo;
    for (int i = 0; i < 1500; ++i) memo += "줄 " + std::to_string(i) + "\n";
    t.rows.push_back({int64_t{-1}, int64_t{255}, int64_t{-32768}, int64_t{2147483647}, 12.3456, 1.1, -3.14159e100,
                      std::string("1850-06-01 13:45:10"), blob, std::string("héllo 한국"), ole, memo,
                      std::string("{12345678-9ABC-DEF0-1234-56789ABCDEF0}"), std::string("-123.4500")});
    t.rows.push_back({int64_t{0}, std::monostate{}, std::monostate{}, int64_t{-2}, std::monostate{},
                      std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::string(""),
                      std::monostate{}, std::string(""), std::monostate{}, std::monostate{}});
    db.tables.push_back(t);
    const std::string path = dir.file("types.mdb").string();
    dex::test::writeJetFile(path, db);

    auto f = openJetFile(path, "");
    const JetTable& table = tableOf(f->schema(), "AllTypes");
    const std::vector<int> sizes{1, 1, 2, 4, 8, 4, 8, 8, 10, 20, 0, 0, 16, 16};
    for (size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(table.columns[i].size, sizes[i]) << table.columns[i].name;
    EXPECT_EQ(columnOf(table, "n").precision, 18);
    EXPECT_EQ(columnOf(table, "n").scale, 4);
    EXPECT_EQ(columnOf(table, "txt").defaultValue, "\"none\"");
    EXPECT_TRUE(columnOf(table, "txt").allowZeroLength);
    EXPECT_TRUE(columnOf(table, "l").required);

    const auto rows = rowsOf(*f, "AllTypes");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<Value>{int64_t{-1}, int64_t{255}, int64_t{-32768}, int64_t{2147483647}, 12.3456,
                                           1.1, -3.14159e100, std::string("1850-06-01 13:45:10"), blob,
                                           std::string("héllo 한국"), ole, memo,
                                           std::string("{12345678-9ABC-DEF0-1234-56789ABCDEF0}"),
                                           std::string("-123.4500")}));
    // Null and the empty text are told apart; a Boolean is never Null.
    EXPECT_EQ(rows[1][0], Value{int64_t{0}});
    EXPECT_TRUE(isNull(rows[1][1]));
    EXPECT_EQ(rows[1][9], Value{std::string()});
    EXPECT_EQ(rows[1][11], Value{std::string()});
    EXPECT_TRUE(isNull(rows[1][10]));
}

TEST(JetFileWritten, LogicalAndPhysicalIndexNumbersDiffer) {
    TempFolder dir;
    dex::test::WDatabase db;
    db.physicalIndexGap = true;
    dex::test::WTable parent{"Parent", {col("id", coltype::Long), col("code", coltype::Text, 6)}, {}, {}};
    parent.indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"code", false, true, {"code"}, {}}};
    dex::test::WTable child{"Child", {col("id", coltype::Long), col("parent", coltype::Long), col("note", coltype::Text, 10)},
                          {}, {}};
    child.indexes = {{"PrimaryKey", true, true, {"id"}, {}},
                     {"byParent", false, false, {"parent"}, {}},
                     {"NoteDown", false, false, {"note", "id"}, {true, false}}};
    db.tables = {parent, child};
    dex::test::WRelationship rel;
    rel.table = "Child";
    rel.refTable = "Parent";
    rel.columns = {"parent"};
    rel.refColumns = {"id"};
    rel.cascadeDelete = true;
    db.relationships = {rel};
    const std::string path = dir.file("gap.mdb").string();
    dex::test::writeJetFile(path, db);

    auto f = openJetFile(path, "");
    const JetTable& c = tableOf(f->schema(), "Child");
    EXPECT_EQ(indexOf(c, "PrimaryKey").columns, std::vector<std::string>{"id"});
    EXPECT_EQ(indexOf(c, "byParent").columns, std::vector<std::string>{"parent"});
    const JetIndex& down = indexOf(c, "NoteDown");
    EXPECT_EQ(down.columns, (std::vector<std::string>{"note", "id"}));
    EXPECT_EQ(down.descending, (std::vector<bool>{true, false}));
    const JetIndex& fk = indexOf(c, "ParentChild");
    EXPECT_EQ(fk.kind, JetIndex::Kind::Foreign);
    EXPECT_EQ(fk.columns, std::vector<std::string>{"parent"});
    EXPECT_EQ(fk.referencedTable, "Parent");
    EXPECT_EQ(fk.referencedColumns, std::vector<std::string>{"id"});
    const JetTable& p = tableOf(f->schema(), "Parent");
    EXPECT_EQ(indexNames(p), (std::vector<std::string>{"code", "PrimaryKey"}));
    EXPECT_EQ(indexOf(p, "code").columns, std::vector<std::string>{"code"});
    EXPECT_TRUE(indexOf(p, "code").unique);
    ASSERT_EQ(f->schema().relationships.size(), 1u);
    EXPECT_TRUE(f->schema().relationships[0].cascadeDelete);
}

TEST(JetFileWritten, Jet3KoreanCodePageAndPassword) {
    TempFolder dir;
    dex::test::WDatabase db;
    db.version = 0;
    db.codePage = 949;
    db.password = "비밀";
    dex::test::WTable t{"거래처", {col("코드", coltype::Text, 6), col("이름", coltype::Text, 30), col("메모", coltype::Memo)},
                      {}, {}};
    t.columns[1].defaultValue = "\"없음\"";
    t.indexes = {{"PrimaryKey", true, true, {"코드"}, {}}};
    t.rows = {{std::string("A01"), std::string("한국상사"), std::string(3000, 'k') + "끝"},
              {std::string("B02"), std::string("대한"), std::monostate{}}};
    db.tables = {t};
    const std::string path = dir.file("jet3.mdb").string();
    dex::test::writeJetFile(path, db);

    EXPECT_EQ(openError(path, "").number(), 3031);
    EXPECT_EQ(openError(path, "비밀번호").description(), "Not a valid password for '" + path + "'.");
    auto f = openJetFile(path, "비밀");
    EXPECT_EQ(f->schema().version, 0);
    EXPECT_EQ(f->schema().codePage, 949);
    const JetTable& table = tableOf(f->schema(), "거래처");
    EXPECT_EQ(columnNames(table), (std::vector<std::string>{"코드", "이름", "메모"}));
    EXPECT_EQ(columnOf(table, "이름").size, 30);  // Jet 3 stores characters' bytes, one per size unit
    EXPECT_EQ(columnOf(table, "이름").defaultValue, "\"없음\"");
    EXPECT_EQ(indexOf(table, "PrimaryKey").columns, std::vector<std::string>{"코드"});
    const auto rows = rowsOf(*f, "거래처");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], Value{std::string("한국상사")});
    EXPECT_EQ(rows[0][2], Value{std::string(3000, 'k') + "끝"});
    EXPECT_TRUE(isNull(rows[1][2]));
}

TEST(JetFileWritten, DefinitionSpanningSeveralPages) {
    TempFolder dir;
    dex::test::WDatabase db;
    dex::test::WTable wide{"Wide", {}, {}, {}};
    std::vector<Value> row;
    for (int i = 0; i < 200; ++i) {
        wide.columns.push_back(col("column number " + std::to_string(i), coltype::Long));
        row.emplace_back(std::in_place_type<int64_t>, i * 3);
    }
    wide.indexes = {{"PrimaryKey", true, true, {"column number 199"}, {}}};
    wide.rows = {row};
    db.tables = {wide};
    const std::string path = dir.file("wide.mdb").string();
    dex::test::writeJetFile(path, db);
    auto f = openJetFile(path, "");
    const JetTable& t = tableOf(f->schema(), "Wide");
    ASSERT_EQ(t.columns.size(), 200u);
    EXPECT_EQ(t.columns[199].name, "column number 199");
    EXPECT_EQ(indexOf(t, "PrimaryKey").columns, std::vector<std::string>{"column number 199"});
    EXPECT_EQ(rowsOf(*f, "Wide").at(0).at(199), Value{int64_t{597}});
}


// The error numbers of the reader and its engine, on a written file, so that
// they are checked where the Access fixtures are absent too.
TEST(JetFileWritten, WritesAreRefusedWith3027AndForeignOrCutFilesWith3343) {
    TempFolder dir;
    dex::test::WDatabase db;
    dex::test::WTable t{"Users", {col("ID", coltype::Long), col("UserName", coltype::Text, 20)}, {}, {}};
    t.indexes = {{"PrimaryKey", true, true, {"ID"}, {}}};
    t.rows = {{Value{int64_t{1}}, Value{std::string("kim")}}};
    db.tables = {t};
    const std::string path = dir.file("users.mdb").string();
    dex::test::writeJetFile(path, db);

    auto engine = makeJetFileEngine();
    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    for (const std::string sql : {"INSERT INTO Users (ID, UserName) VALUES (2, 'lee')", "UPDATE Users SET UserName = ''",
                                  "DELETE FROM Users", "CREATE TABLE t (a LONG)", "DROP TABLE Users"}) {
        for (const bool asQuery : {false, true}) {
            try {
                asQuery ? static_cast<void>(conn->query(sql)) : static_cast<void>(conn->execute(sql));
                ADD_FAILURE() << "written: " << sql;
            } catch (const DbError& e) {
                EXPECT_EQ(e.number(), 3027) << sql;
                EXPECT_EQ(e.description(), "Cannot update.  Database or object is read-only.") << sql;
            }
        }
    }
    try {
        engine->compactDatabase(path, dir.file("compacted.mdb").string(), "");
        ADD_FAILURE() << "compacted";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3027);
    }

    const std::string text = dir.file("notes.mdb").string();
    std::ofstream(text) << "a shopping list, long enough to be taken for anything but a database\n";
    EXPECT_EQ(openError(text).number(), 3343);
    EXPECT_EQ(openError(text).description(), "Unrecognized database format '" + text + "'.");
    fs::resize_file(path, fs::file_size(path) - 100);
    const DbError cut = openError(path);
    EXPECT_EQ(cut.number(), 3343);
    EXPECT_EQ(cut.description().rfind("Unrecognized database format '" + path + "': the file is damaged: it ends inside page ", 0), 0u)
        << cut.description();
}

}  // namespace
