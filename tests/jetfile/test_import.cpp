// The import of real Jet files into stores: the fixture files and written
// files read back with the same structure and rows, values survive exactly,
// autonumbers go on, and a failed import leaves nothing behind.
#include <cmath>

#include "JetFile.h"
#include "JetImport.h"
#include "JetModel.h"
#include "JetValues.h"
#include "JetTestSupport.h"
#include "JetWriter.h"

namespace dex::test {
namespace {

using namespace dex::test;
namespace ct = dex::jetfile::coltype;

// The store's value of a Jet value, compared exactly: a Currency's units, a
// Date/Time's double to the bit.
void expectExact(const jetfile::JetValue& jet, const Value& store, const std::string& where) {
    if (auto* m = std::get_if<jetfile::JetCurrency>(&jet)) {
        int64_t units = 0;
        if (auto* d = std::get_if<double>(&store)) units = std::llround(*d * 10000.0);
        else if (auto* i = std::get_if<int64_t>(&store)) units = *i * 10000;
        else ADD_FAILURE() << where << ": currency stored as " << valueToText(store);
        EXPECT_EQ(units, m->units) << where;
    } else if (auto* t = std::get_if<jetfile::JetDateTime>(&jet)) {
        std::optional<double> back;
        if (auto* s = std::get_if<std::string>(&store)) back = jetfile::parseJetDateText(*s);
        else if (auto* d = std::get_if<double>(&store)) back = *d;
        ASSERT_TRUE(back) << where << ": " << valueToText(store);
        EXPECT_TRUE(jetfile::JetDateTime{*back} == *t) << where << ": " << valueToText(store);
    }
}

// Every Currency and Date/Time of every user table, exactly as stored.
void expectExactCurrencyAndDates(const std::string& jetPath, const std::string& storePath, const std::string& password) {
    auto model = jetfile::JetModel::open(jetPath, password);
    auto engine = makeDatabaseEngine();
    for (const auto& t : model->tables()) {
        if (t.system) continue;
        std::vector<std::vector<jetfile::JetValue>> rows;
        model->readRows(t, [&](const jetfile::RowPlace&, std::vector<jetfile::JetValue>& r) { return rows.push_back(r), true; });
        const auto stored = allRows(*engine, storePath, password, t.name);
        ASSERT_EQ(rows.size(), stored.size()) << t.name;
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                expectExact(rows[r][c], stored[r][c], t.name + " row " + std::to_string(r) + " column " + t.columnNames[c]);
    }
}


TEST(Import, FixtureFilesReadBackTheSame) {
    const char* const files[][2] = {{"jackcess_indexTestV2000.mdb", ""},
                                    {"mdbreader_V2003_with-password.mdb", "password"},
                                    {"npm-mdb_fruit.mdb", ""},
                                    {"npm-node-adodb.mdb", ""},
                                    {"jackcess_bigIndexTestV2000.mdb", ""},
                                    {"jackcess_compIndexTestV2000.mdb", ""},
                                    {"jackcess_delColTestV2000.mdb", ""},
                                    {"jackcess_delTestV2000.mdb", ""},
                                    {"jackcess_fixedNumericTestV2000.mdb", ""},
                                    {"jackcess_overflowTestV2000.mdb", ""},
                                    {"jackcess_queryTestV2000.mdb", ""},
                                    {"../templates/jackcess_empty2000.mdb", ""},
                                    {"../templates/jackcess_empty2003.mdb", ""}};
    if (fixture(files[0][0]).empty()) GTEST_SKIP() << "the Jet fixture folder " DEX_JET_FIXTURES " is not there";
    for (const auto& [name, password] : files) {
        SCOPED_TRACE(name);
        TempFolder tmp;
        const std::string store = tmp / "imported.mdb";
        std::vector<std::string> seen;
        ImportJetFile(fixture(name), store, password, [&](const ImportProgress& p) { seen.push_back(p.table); });
        EXPECT_EQ(seen.empty(), std::string(name).find("templates") != std::string::npos);  // they hold no user table
        expectImportInvariant(fixture(name), store, password);
        expectExactCurrencyAndDates(fixture(name), store, password);
    }
}

TEST(Import, CurrencyAndDatesAreKeptExactly) {
    WTable t{"exact", {{"no", ct::Long, 4}, {"amount", ct::Money, 8}, {"at", ct::DateTime, 8}}, {}, {}};
    const std::vector<std::pair<Value, Value>> values{
        {std::string("0.0001"), std::string("2024-03-15 09:30:00")},
        {std::string("-0.0001"), 45366.5 + 0.5 / 86400},                  // half a second
        {std::string("123456789012.3456"), 45366.123456789012},           // a double no second holds
        {std::string("922337203685477.0000"), std::string("1850-06-01 13:45:10")},
        {std::string("-922337203685477.0000"), -657434.0 - 0.25 / 86400},  // before 1899, a quarter second
        {std::string("12.3400"), 0.0}};
    int64_t no = 0;
    for (const auto& [amount, at] : values) t.rows.push_back({++no, amount, at});
    WDatabase db;
    db.tables = {t};
    TempFolder tmp;
    writeJetFile(tmp / "exact.mdb", db);
    ImportJetFile(tmp / "exact.mdb", tmp / "exact-store.mdb", "");
    expectImportInvariant(tmp / "exact.mdb", tmp / "exact-store.mdb", "");
    expectExactCurrencyAndDates(tmp / "exact.mdb", tmp / "exact-store.mdb", "");
    auto engine = makeDatabaseEngine();
    const auto rows = allRows(*engine, tmp / "exact-store.mdb", "", "exact");
    EXPECT_EQ(valueToText(rows[0][2]), "2024-03-15 09:30:00");
    EXPECT_EQ(valueToText(rows[1][2]), "2024-03-15 12:00:00.5");

    // An amount with decimals beyond what a double holds ends the import: no rounded copy.
    WDatabase huge;
    huge.tables = {WTable{"money", {{"amount", ct::Money, 8}}, {}, {{std::string("922337203685477.5807")}}}};
    writeJetFile(tmp / "huge.mdb", huge);
    try {
        ImportJetFile(tmp / "huge.mdb", tmp / "huge-store.mdb", "");
        ADD_FAILURE() << "imported with a rounded amount";
    } catch (const DbError& e) {
        EXPECT_NE(e.description().find("Table 'money', column 'amount': the currency 922337203685477.5807 cannot be kept exactly"),
                  std::string::npos) << e.description();
    }
    EXPECT_FALSE(fs::exists(tmp / "huge-store.mdb"));
}

TEST(Import, JetPasswordBecomesTheStorePassword) {
    DEX_REQUIRE_FIXTURE(file, "mdbreader_V2003_with-password.mdb");
    TempFolder tmp;
    try {
        ImportJetFile(file, tmp / "wrong.mdb", "nope");
        ADD_FAILURE() << "a wrong password opened the file";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3031);
        EXPECT_EQ(e.description(), "Not a valid password for '" + file + "'.");
    }
    EXPECT_FALSE(fs::exists(tmp / "wrong.mdb"));

    ImportJetFile(file, tmp / "right.mdb", "password");
    auto engine = makeDatabaseEngine();
    EXPECT_NO_THROW(engine->openDatabase(tmp / "right.mdb", 0, true, ";pwd=password"));
    try {
        engine->openDatabase(tmp / "right.mdb", 0, true, "");
        ADD_FAILURE() << "the store opened without the Jet file's password";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3031);
    }

    // A password given for a file without one is ignored, and the store gets none.
    DEX_REQUIRE_FIXTURE(open, "npm-node-adodb.mdb");
    ImportJetFile(open, tmp / "open.mdb", "whatever");
    EXPECT_NO_THROW(engine->openDatabase(tmp / "open.mdb", 0, true, ""));
}

// One table with a column of every Jet type, Nulls, long memos and OLE
// values, Korean text, dates before 1899, and rows over many pages.
WDatabase everyType() {
    WTable t;
    t.name = "every";
    t.columns = {{"id", ct::Long, 4, true},
                 {"flag", ct::Bool, 1},
                 {"small", ct::Byte, 1},
                 {"short", ct::Int, 2},
                 {"money", ct::Money, 8},
                 {"single", ct::Float, 4},
                 {"double", ct::Double, 8},
                 {"stamp", ct::DateTime, 8},
                 {"bytes", ct::Binary, 16},
                 {"name", ct::Text, 40, false, "\"없음\"", false, false},
                 {"picture", ct::Ole, 0},
                 {"note", ct::Memo, 0, false, "", false, true},
                 {"guid", ct::RepId, 16},
                 {"amount", ct::Numeric, 16, false, "0", false, false, 18, 4}};
    t.indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"name", false, false, {"name", "stamp"}, {false, true}}};
    const std::string longMemo(9000, 'm');
    std::string picture;
    for (int i = 0; i < 7000; ++i) picture += static_cast<char>(i % 251);
    t.rows.push_back({int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{-32768}, 922337.5807, 1.5, 2.0 / 3.0,
                      std::string("1899-12-29 06:00:00"), std::string("\x00\x01\xfe\xff", 4), std::string("한글 이름"),
                      picture, longMemo + "끝", std::string("{6A8D2F40-1C3B-4E5F-9A7B-0123456789AB}"),
                      std::string("-12345.6789")});
    t.rows.push_back({int64_t{2}, int64_t{0}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
                      std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
                      std::monostate{}, std::monostate{}, std::monostate{}});
    for (int i = 3; i <= 1500; ++i)
        t.rows.push_back({int64_t{i}, int64_t{i % 2 ? -1 : 0}, int64_t{i % 256}, int64_t{i}, i * 0.25, 0.5, i * 1.5,
                          std::string("2024-02-29 23:59:59"), std::monostate{}, std::string("row ") + std::to_string(i),
                          std::monostate{}, std::string("memo ") + std::to_string(i), std::monostate{},
                          std::to_string(i) + ".5000"});
    WDatabase db;
    db.tables.push_back(std::move(t));
    return db;
}

TEST(Import, EveryColumnTypeRoundTripsAndTheAutonumberGoesOn) {
    TempFolder tmp;
    const std::string jet = tmp / "every.mdb", store = tmp / "every-store.mdb";
    writeJetFile(jet, everyType());
    ImportJetFile(jet, store, "");
    expectImportInvariant(jet, store, "");

    auto engine = makeDatabaseEngine();
    const auto tables = userTables(*engine, store, "");
    ASSERT_EQ(tables.size(), 1u);
    std::vector<int> types, sizes;
    for (const auto& f : tables[0].fields) {
        types.push_back(f.type);
        sizes.push_back(f.size);
    }
    EXPECT_EQ(types, (std::vector<int>{4, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 15, 20}));
    EXPECT_EQ(sizes, (std::vector<int>{4, 1, 1, 2, 8, 4, 8, 8, 16, 40, 0, 0, 16, 16}));
    EXPECT_EQ(tables[0].fields[9].defaultValue, "\"없음\"");
    EXPECT_FALSE(tables[0].fields[9].allowZeroLength);

    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + store);
    auto first = conn->query("SELECT name, note, picture, stamp FROM every WHERE id = 1");
    ASSERT_FALSE(first->eof());
    EXPECT_EQ(valueToText(first->field(0)), "한글 이름");
    EXPECT_EQ(valueToText(first->field(1)), std::string(9000, 'm') + "끝");
    EXPECT_EQ(std::get<std::string>(first->field(2)).size(), 7000u);
    EXPECT_EQ(valueToText(first->field(3)), "1899-12-29 06:00:00");
    conn->execute("INSERT INTO every (name) VALUES ('next')");
    EXPECT_EQ(valueToText(conn->query("SELECT id FROM every WHERE name = 'next'")->field(0)), "1501");
}

TEST(Import, RelationshipsBecomeNamedForeignKeys) {
    WDatabase db;
    WTable parent{"parent", {{"id", ct::Long, 4}, {"label", ct::Text, 10}}, {{"PrimaryKey", true, true, {"id"}, {}}}, {}};
    WTable child{"child",
                 {{"no", ct::Long, 4}, {"parent_id", ct::Long, 4}, {"other", ct::Long, 4}},
                 {{"PrimaryKey", true, true, {"no"}, {}}},
                 {}};
    for (int i = 1; i <= 3; ++i) parent.rows.push_back({int64_t{i}, std::string("p") + std::to_string(i)});
    for (int i = 1; i <= 6; ++i) child.rows.push_back({int64_t{i}, int64_t{1 + i % 3}, int64_t{i}});
    db.tables = {parent, child};
    db.relationships = {{"parentchild", "child", "parent", {"parent_id"}, {"id"}, true, false, true},
                        {"loose", "child", "parent", {"other"}, {"id"}, false, false, false}};
    TempFolder tmp;
    writeJetFile(tmp / "rel.mdb", db);
    ImportJetFile(tmp / "rel.mdb", tmp / "rel-store.mdb", "");
    expectImportInvariant(tmp / "rel.mdb", tmp / "rel-store.mdb", "");

    auto engine = makeDatabaseEngine();
    const auto tables = userTables(*engine, tmp / "rel-store.mdb", "");
    ASSERT_EQ(tables.size(), 2u);
    const TableDef& c = tables[0];
    ASSERT_EQ(c.name, "child");
    ASSERT_EQ(c.indexes.size(), 2u) << "the enforced relationship only, on the referencing table";
    EXPECT_EQ(c.indexes[1].name, "parentchild");
    EXPECT_TRUE(c.indexes[1].foreign);
    EXPECT_EQ(c.indexes[1].fields, std::vector<std::string>{"parent_id"});
    EXPECT_EQ(tables[1].indexes.size(), 1u) << "the referenced side's internal index is not listed";
    // The cascade came along: deleting a parent removes its children in the store.
    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + tmp / "rel-store.mdb");
    conn->execute("DELETE FROM parent WHERE id = 2");
    EXPECT_EQ(valueToText(conn->query("SELECT COUNT(*) FROM child")->field(0)), "4");
}

TEST(Import, AValueThatCannotBeImportedLeavesNoStore) {
    // A hostile file: a Required column holding Null in its 2,000th row.
    WDatabase db;
    WTable t{"orders", {{"id", ct::Long, 4}, {"code", ct::Text, 8, false, "", true, false}}, {}, {}};
    for (int i = 1; i <= 2000; ++i)
        t.rows.push_back({int64_t{i}, i == 2000 ? Value{} : Value{std::string("c") + std::to_string(i)}});
    db.tables = {WTable{"aaa_first", {{"x", ct::Long, 4}}, {}, {{int64_t{1}}}}, t};
    TempFolder tmp;
    writeJetFile(tmp / "bad.mdb", db);
    try {
        ImportJetFile(tmp / "bad.mdb", tmp / "bad-store.mdb", "");
        ADD_FAILURE() << "the Null was imported into a required field";
    } catch (const DbError& e) {
        EXPECT_NE(e.description().find("orders"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("code"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(fs::exists(tmp / "bad-store.mdb"));
    EXPECT_FALSE(fs::exists(tmp / "bad-store.mdb-journal"));
}

}  // namespace
}  // namespace dex::test
