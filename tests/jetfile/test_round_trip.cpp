// Files the product writes, read back by every reader we have: the
// Access-made fixtures rewritten from their model (Jet -> model -> Jet) and
// stores exported (store -> Jet -> store), each written file held against
// its source through our reader, check, mdbtools and mdb-reader.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <fstream>
#include <thread>

#include "AccessMadeFiles.h"
#include "JetCheck.h"
#include "JetDescribe.h"
#include "JetExport.h"
#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetImport.h"
#include "JetModel.h"
#include "AnyEngine.h"
#include "JetStore.h"
#include "OtherReaders.h"
#include "RunProgram.h"
#include "StoreSample.h"
#include "UniqueFolder.h"

namespace dex::test {

namespace fs = std::filesystem;
using namespace dex::jetfile;

namespace {

const fs::path kFixtures = DEX_JET_FIXTURES;
const fs::path kMdbReader = DEX_MDB_READER_DIR;

struct Folder : test::UniqueFolder {
    Folder() : UniqueFolder("dex-roundtrip") {}
};

bool have(const std::string& tool) { return haveTool(tool); }

std::string passwordFor(const fs::path& f) { return fixturePassword(f); }

std::vector<fs::path> accessMadeFiles() { return test::accessMadeFiles(kFixtures); }

// The structure as our reader declares it, one line per column and index.
std::string schemaText(const JetSchema& s) {
    std::string out;
    for (const JetTable& t : s.tables) {
        out += "table " + t.name + (t.system ? " system" : "") + "\n";
        for (const JetColumn& c : t.columns)
            out += "  " + c.name + " " + std::to_string(c.type) + "/" + std::to_string(c.size) + (c.autonumber ? " auto" : "") +
                   " " + std::to_string(c.precision) + "," + std::to_string(c.scale) + " default[" + c.defaultValue + "]" +
                   (c.required ? " required" : "") + (c.allowZeroLength ? " zero-length" : "") + "\n";
        std::vector<std::string> indexes;
        for (const JetIndex& i : t.indexes) {
            std::string x = "  index " + i.name + " " + std::to_string(static_cast<int>(i.kind)) + (i.unique ? " unique" : "") +
                            (i.ignoreNulls ? " ignore-nulls" : "") + " (";
            for (size_t k = 0; k < i.columns.size(); ++k) x += i.columns[k] + (i.descending[k] ? " desc," : ",");
            x += ") -> " + i.referencedTable;
            for (const auto& c : i.referencedColumns) x += " " + c;
            indexes.push_back(x + "\n");
        }
        std::sort(indexes.begin(), indexes.end());
        for (const auto& x : indexes) out += x;
    }
    for (const JetRelationship& r : s.relationships) {
        out += "relationship " + r.name + " " + r.table + " -> " + r.refTable + (r.enforced ? " enforced" : "") +
               (r.cascadeUpdate ? " cascade-update" : "") + (r.cascadeDelete ? " cascade-delete" : "");
        for (size_t k = 0; k < r.columns.size(); ++k) out += " " + r.columns[k] + "=" + r.refColumns[k];
        out += "\n";
    }
    return out;
}

// A table's rows; catalogue ids in the navigation tables given back their
// old values through `oldIds`.
std::vector<std::vector<JetValue>> rowsOf(const JetModel& m, const std::string& table,
                                          const std::map<int64_t, int64_t>& oldIds = {}) {
    JetRowSet set = m.rowSet(table);
    for (const auto& [idTable, column] : JetWriteDatabase().idColumns) {
        const int at = set.column(column);
        if (at < 0 || idTable != table) continue;
        for (auto& row : set.rows)
            if (auto* n = std::get_if<int64_t>(&row[static_cast<size_t>(at)]))
                if (auto it = oldIds.find(*n); it != oldIds.end()) *n = it->second;
    }
    return set.rows;
}

// Catalogue objects that are not tables, by type and name, with every value
// (ParentId given back its old id through `oldIds`).
std::map<std::string, std::vector<JetValue>> objectsOf(const JetModel& m, const std::map<int64_t, int64_t>& oldIds) {
    std::map<std::string, std::vector<JetValue>> out;
    const int parent = [&] {
        for (size_t i = 0; i < m.catalogColumns().size(); ++i)
            if (m.catalogColumns()[i] == "ParentId") return static_cast<int>(i);
        return -1;
    }();
    for (const JetCatalogEntry& e : m.catalog()) {
        if (e.type == kLocalTableType) continue;
        std::vector<JetValue> values = e.values;
        if (parent >= 0)
            if (auto* p = std::get_if<int64_t>(&values[static_cast<size_t>(parent)]))
                if (auto it = oldIds.find(*p); it != oldIds.end()) *p = it->second;
        out[std::to_string(e.type) + " " + e.name] = values;
    }
    return out;
}

// The permission rows as a sorted list of texts, ids given back their old values.
std::vector<std::string> acesOf(const JetModel& m, const std::map<int64_t, int64_t>& oldIds) {
    std::vector<std::string> out;
    const JetRowSet set = m.permissions();
    const int objectId = set.column("ObjectId"), sid = set.column("SID"), acm = set.column("ACM");
    for (const auto& row : set.rows) {
        int64_t id = std::get<int64_t>(row[static_cast<size_t>(objectId)]);
        if (auto it = oldIds.find(id); it != oldIds.end()) id = it->second;
        out.push_back(std::to_string(id) + " " + std::get<JetBytes>(row[static_cast<size_t>(sid)]).bytes + " " +
                      std::to_string(std::get<int64_t>(row[static_cast<size_t>(acm)])));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string mdbReaderDump(const std::string& file, const std::string& password) {
    return test::mdbReaderDump(kMdbReader, file, password);
}

// A double as JavaScript's Number#toString writes it (JSON.stringify).
std::string jsNumber(double d) {
    if (d == 0) return "0";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string sci(buf, r.ptr);  // "-1.2345e+02"
    const bool negative = sci[0] == '-';
    if (negative) sci.erase(0, 1);
    const size_t e = sci.find('e');
    std::string digits = sci.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int n = std::stoi(sci.substr(e + 1)) + 1, k = static_cast<int>(digits.size());
    std::string out;
    if (k <= n && n <= 21) out = digits + std::string(static_cast<size_t>(n - k), '0');
    else if (0 < n && n <= 21) out = digits.substr(0, static_cast<size_t>(n)) + "." + digits.substr(static_cast<size_t>(n));
    else if (-6 < n && n <= 0) out = "0." + std::string(static_cast<size_t>(-n), '0') + digits;
    else {
        out = digits.substr(0, 1) + (k > 1 ? "." + digits.substr(1) : "") + "e" + (n - 1 >= 0 ? "+" : "-") +
              std::to_string(std::abs(n - 1));
    }
    return (negative ? "-" : "") + out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char u[8];
                std::snprintf(u, sizeof u, "\\u%04x", c);
                out += u;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += std::string{digits[c >> 4], digits[c & 15]};
    return out;
}

// A Date/Time as mdb-reader gives it: the milliseconds since 1970, rounded,
// in ISO form.
std::string jsDate(double days) {
    const double ms = std::floor((days - 25569) * 86400 * 1000 + 0.5);
    const auto total = static_cast<int64_t>(ms);
    int64_t day = total >= 0 ? total / 86400000 : -((-total + 86399999) / 86400000);
    int64_t rest = total - day * 86400000;
    // Civil date from days since 1970-01-01.
    day += 719468;
    const int64_t era = (day >= 0 ? day : day - 146096) / 146097;
    const int64_t doe = day - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600000),
                  static_cast<long long>(rest / 60000 % 60), static_cast<long long>(rest / 1000 % 60),
                  static_cast<long long>(rest % 1000));
    return buf;
}

// A value in the JSON that tests/jetfile/mdb-reader-dump.mjs prints.
std::string mdbReaderJson(const JetValue& v) {
    struct Visitor {
        std::string operator()(const std::monostate&) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(int64_t n) const { return std::to_string(n); }
        std::string operator()(const JetCurrency& c) const { return jsonString(currencyText(c.units)); }
        std::string operator()(float f) const { return jsNumber(f); }
        std::string operator()(double d) const { return jsNumber(d); }
        std::string operator()(const JetDateTime& d) const { return jsonString(jsDate(d.days)); }
        std::string operator()(const std::string& s) const { return jsonString(s); }
        std::string operator()(const JetBytes& b) const { return jsonString(hexOf(b.bytes)); }
        std::string operator()(const JetGuid& g) const {
            std::string text = formatJetGuid(g.bytes.data());  // "{XXXXXXXX-...}"; mdb-reader: lower case, no braces
            std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
            return jsonString(text.substr(1, text.size() - 2));
        }
        std::string operator()(const JetDecimal& d) const { return jsonString(formatJetDecimal(d.bytes.data(), d.scale)); }
    };
    return std::visit(Visitor{}, v);
}

// Every user table of a file through our reader, in the lines that
// mdb-reader-dump.mjs prints: the columns (name, type, stored size), then
// each row.
std::string ourDump(const std::string& file, const std::string& password) {
    static const std::map<int, std::string> kTypes = {
        {1, "boolean"}, {2, "byte"},  {3, "integer"}, {4, "long"},  {5, "currency"}, {6, "float"},  {7, "double"},
        {8, "datetime"}, {9, "binary"}, {10, "text"},   {11, "ole"}, {12, "memo"},    {15, "repid"}, {16, "numeric"}};
    const auto model = JetModel::open(file, password);
    std::string out;
    for (const JetModelTable& t : model->tables()) {
        if (t.system) continue;
        std::vector<TdefColumn> columns = t.def.columns;
        std::sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
        std::string header;
        for (size_t i = 0; i < columns.size(); ++i) {
            const auto type = kTypes.find(columns[i].type);
            header += std::string(i ? "," : "") + "[" + jsonString(t.columnNames[i]) + "," +
                      jsonString(type == kTypes.end() ? "?" : type->second) + "," +
                      std::to_string(columns[i].type == 1 ? 0 : columns[i].length) + "]";
        }
        out += t.name + "\t[" + header + "]\n";
        model->readRows(t, [&](const RowPlace&, std::vector<JetValue>& row) {
            std::string line;
            for (size_t i = 0; i < row.size(); ++i) line += (i ? "," : "") + mdbReaderJson(row[i]);
            out += t.name + "\t[" + line + "]\n";
            return true;
        });
    }
    return sortedLines(out);
}

bool haveMdbReader() { return fs::exists(kMdbReader / "node_modules" / "mdb-reader" / "package.json") && have("node"); }

}  // namespace

TEST(JetRoundTrip, AccessMadeFilesRewrittenFromTheirModelKeepEverything) {
    const auto files = accessMadeFiles();
    if (files.empty()) GTEST_SKIP() << "the Access fixture folders under " << kFixtures.parent_path() << " are absent";
    const bool mdbtools = have("mdb-export");
    const bool mdbReader = haveMdbReader();
    Folder dir;
    int rewritten = 0;
    for (const fs::path& source : files) {
        SCOPED_TRACE(source.filename().string());
        const std::string password = passwordFor(source);
        const auto before = openJetFile(source.string(), password);
        const std::string out = dir.file(source.filename().string());
        JetWriteResult written;
        try {
            written = writeJetFile(out, describeJetFile(*before));
        } catch (const JetWriteError& e) {
            // A text index in a sort order other than General: its keys are
            // not computed here, and nothing is left behind.
            EXPECT_NE(before->model().header().sortOrder, 0x409) << e.what();
            EXPECT_NE(std::string(e.what()).find("its keys cannot be computed"), std::string::npos) << e.what();
            EXPECT_FALSE(e.index().empty());
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ++rewritten;
        std::map<int64_t, int64_t> oldIds;
        for (const auto& [from, to] : written.tableIds) oldIds[to] = from;
        const auto after = openJetFile(out, password);
        const JetModel& a = before->model();
        const JetModel& b = after->model();
        EXPECT_EQ(b.header().sortOrder, a.header().sortOrder);
        EXPECT_EQ(b.header().codePage, a.header().codePage);
        EXPECT_EQ(b.header().password, a.header().password);
        EXPECT_EQ(schemaText(after->schema()), schemaText(before->schema()));
        ASSERT_EQ(b.tables().size(), a.tables().size());
        for (const JetModelTable& t : a.tables()) {
            const JetModelTable* u = b.table(t.name);
            ASSERT_NE(u, nullptr) << t.name;
            const JetCatalogEntry& x = a.catalog()[t.catalogIndex];
            const JetCatalogEntry& y = b.catalog()[u->catalogIndex];
            EXPECT_EQ(y.lvProp, x.lvProp) << t.name;  // the raw property blob, verbatim
            EXPECT_EQ(y.flags, x.flags) << t.name;
            if (t.name == "MSysObjects" || t.name == "MSysACEs") continue;  // compared below, ids remapped
            EXPECT_TRUE(rowsOf(b, t.name, oldIds) == rowsOf(a, t.name)) << t.name;
        }
        EXPECT_TRUE(objectsOf(b, oldIds) == objectsOf(a, {})) << "the catalogue's other objects";
        {
            const auto x = acesOf(b, oldIds), y = acesOf(a, {});
            std::vector<std::string> onlyNew, onlyOld;
            std::set_difference(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(onlyNew));
            std::set_difference(y.begin(), y.end(), x.begin(), x.end(), std::back_inserter(onlyOld));
            EXPECT_TRUE(onlyNew.empty() && onlyOld.empty())
                << "permissions only in the new file: " << (onlyNew.empty() ? "" : onlyNew[0]) << " (" << onlyNew.size()
                << "), only in the old: " << (onlyOld.empty() ? "" : onlyOld[0]) << " (" << onlyOld.size() << ")";
        }
        const JetCheckReport report = checkJetFile(b);
        EXPECT_TRUE(report.sound()) << (report.problems.empty() ? "" : report.problems.front().text());
        if (mdbtools) EXPECT_EQ(mdbExportAll(out), mdbExportAll(source.string()));
        if (mdbReader) EXPECT_EQ(mdbReaderDump(out, password), mdbReaderDump(source.string(), password));
    }
    EXPECT_GE(rewritten, 10);
    if (!mdbtools) GTEST_SKIP() << "mdbtools (mdb-export) not installed: the rewritten files were not read by it";
    if (!mdbReader) GTEST_SKIP() << "node or the npm package mdb-reader (scripts/install-mdb-reader.sh) is missing";
}

namespace {

const std::string kDexmira = DEXMIRA_BIN;
const std::string kProductPassword = "kt5316";

// Every user table's rows in the engines' form, through an engine.
std::map<std::string, std::vector<std::vector<Value>>> engineRows(const std::string& path, const std::string& password) {
    auto engine = makeJetStoreEngine();
    std::map<std::string, std::vector<std::vector<Value>>> out;
    auto db = openJetFile(path, password);
    for (const JetTable& t : db->schema().tables) {
        if (t.system) continue;
        auto& rows = out[t.name];
        db->readRows(t.name, [&](const std::vector<Value>& row) { return rows.push_back(row), true; });
    }
    return out;
}

std::map<std::string, std::vector<std::vector<Value>>> storeRows(const std::string& store) {
    auto engine = makeJetStoreEngine();
    auto db = engine->openDatabase(store, 0, true, ";pwd=" + kProductPassword);
    auto conn = engine->openConnection("Data Source=" + store + ";Jet OLEDB:Database Password=" + kProductPassword);
    std::map<std::string, std::vector<std::vector<Value>>> out;
    for (const TableDef& t : db->tableDefs()) {
        if (t.name.rfind("MSys", 0) == 0) continue;
        auto& rows = out[t.name];
        for (auto rs = conn->query("SELECT * FROM [" + t.name + "]"); !rs->eof(); rs->moveNext()) {
            std::vector<Value> row;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                Value v = rs->field(i);
                const int type = t.fields[static_cast<size_t>(i)].type;
                const bool textual = type == daotype::Text || type == daotype::Memo || type == daotype::Binary ||
                                     type == daotype::LongBinary;
                // A Jet file has no empty text in a number or date column, nor a Null Yes/No.
                if (!textual && v == Value{std::string()}) v = std::monostate{};
                if (type == daotype::Boolean && isNull(v)) v = int64_t{0};
                row.push_back(std::move(v));
            }
            rows.push_back(std::move(row));
        }
    }
    return out;
}

std::string structureText(const std::string& path, const std::string& password) {
    auto engine = makeDatabaseEngine();
    std::string out;
    for (const TableDef& t : engine->openDatabase(path, 0, true, ";pwd=" + password)->tableDefs()) {
        if (t.name.rfind("MSys", 0) == 0) continue;
        out += t.name + ":";
        for (const FieldDef& f : t.fields)
            out += " " + f.name + "/" + std::to_string(f.type) + "/" + std::to_string(f.size) + "/" + f.defaultValue +
                   (f.required ? "/R" : "") + (f.allowZeroLength ? "/Z" : "");
        std::vector<std::string> ix;
        for (const IndexDef& i : t.indexes) {
            std::string x = " [" + i.name + (i.primary ? " P" : "") + (i.foreign ? " F" : "") + (i.unique ? " U" : "");
            for (const auto& f : i.fields) x += " " + f;
            x += " -> " + i.referencedTable;
            ix.push_back(x + "]");
        }
        std::sort(ix.begin(), ix.end());
        for (const auto& x : ix) out += x;
        out += "\n";
    }
    return out;
}

// The vardoII base schema at version 1 with Korean names in its indexed
// text columns, and `extra` more rows in customer, product_m and sale.
void vardoStore(const std::string& path, int extra) {
    auto engine = makeJetStoreEngine();
    dex::test::BuildStore(*engine, path, dex::test::ReadScript(dex::test::VardoBaseScript()));
    auto conn = engine->openConnection("Data Source=" + path + ";Jet OLEDB:Database Password=" + kProductPassword);
    conn->execute("CREATE INDEX ix_compname ON customer (compname)");
    for (int i = 0; i < extra; ++i) {
        const std::string n = std::to_string(100000 + i);
        conn->execute("INSERT INTO customer (code, compname, ceoname) VALUES ('c" + n.substr(1) + "', '가나다상사 " + n +
                      "', '홍길동')");
    }
}

}  // namespace

TEST(JetExport, StoresBecomeJetFilesThatEveryReaderReadsAlike) {
    Folder dir;
    std::vector<std::pair<std::string, std::string>> stores;  // product code, store
    const std::string vardo = dir.file("vardo.mdb");
    vardoStore(vardo, 300);
    stores.push_back({"vardoII", vardo});
    // The four products' samples, migrated to their latest version.
    for (const std::string code : {"vardoII", "FornII", "FornPro", "quickbilII"}) {
        const std::string store = dir.file(code + "-migrated.mdb");
        auto engine = makeJetStoreEngine();
        dex::test::BuildStore(*engine, store, dex::test::ReadScript(dex::test::BaseScript(code)));
        const auto m = test::runProgram(kDexmira, {"migrate", store, "--product", code});
        ASSERT_EQ(m.status, 0) << code << ": " << m.err;
        stores.push_back({code, store});
    }
    const bool mdbtools = have("mdb-export"), mdbReader = haveMdbReader();
    for (const auto& [code, store] : stores) {
        SCOPED_TRACE(store);
        const std::string out = store + ".jet.mdb";
        const auto r = test::runProgram(kDexmira, {"export", store, out, "--password", kProductPassword});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("read back and checked"), std::string::npos);
        // The store's password is the database password.
        EXPECT_THROW(openJetFile(out, ""), DbError);
        EXPECT_EQ(structureText(out, kProductPassword), structureText(store, kProductPassword));
        EXPECT_TRUE(engineRows(out, kProductPassword) == storeRows(store));
        const auto check = test::runProgram(kDexmira, {"check", out, "--password", kProductPassword});
        EXPECT_EQ(check.status, 0) << check.out;
        // Store -> Jet -> store: the same structure and rows (the migrated
        // samples' Nulls in Required columns added to rows that existed included).
        const std::string again = store + ".again.mdb";
        ImportJetFile(out, again, kProductPassword);
        EXPECT_EQ(structureText(again, kProductPassword), structureText(store, kProductPassword));
        EXPECT_TRUE(storeRows(again) == storeRows(store));
        // mdbtools and mdb-reader see the same tables, columns and rows as our reader.
        const auto ours = engineRows(out, kProductPassword);
        if (mdbtools) {
            for (const auto& [table, rows] : ours) {
                const auto csv = test::runProgram("/usr/bin/mdb-export", {out, table});
                EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), static_cast<long>(rows.size()) + 1) << table;
            }
            const auto schema = test::runProgram("/usr/bin/mdb-schema", {out});
            EXPECT_EQ(schema.status, 0);
            for (const auto& [table, rows] : ours) EXPECT_NE(schema.out.find("[" + table + "]"), std::string::npos) << table;
        }
        if (mdbReader) {
            const std::string dump = mdbReaderDump(out, kProductPassword);
            EXPECT_EQ(dump, ourDump(out, kProductPassword));
            if (store == vardo) {
                EXPECT_NE(dump.find("가나다상사 100299"), std::string::npos);
            }
        }
    }
    if (!mdbtools) GTEST_SKIP() << "mdbtools (mdb-export) not installed: the exported files were not read by it";
    if (!mdbReader) GTEST_SKIP() << "node or the npm package mdb-reader (scripts/install-mdb-reader.sh) is missing";
}

TEST(JetExport, EveryFailureLeavesNoFile) {
    Folder dir;
    const std::string store = dir.file("store.mdb");
    vardoStore(store, 2000);
    const std::string out = dir.file("out.mdb");
    const std::vector<std::string> before = {"store.mdb"};

    // A wrong password, then an OUT that exists.
    auto r = test::runProgram(kDexmira, {"export", store, out, "--password", "nope"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Not a valid password"), std::string::npos) << r.err;
    { std::ofstream(out) << "mine"; }
    r = test::runProgram(kDexmira, {"export", store, out, "--password", kProductPassword});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Error 3204 (Database '" + out + "' already exists.)"), std::string::npos) << r.err;
    EXPECT_EQ(test::readWhole(out), "mine");
    fs::remove(out);

    // A full disk: the file-size limit stops the write.
    r = test::runProgram(kDexmira, {"export", store, out, "--password", kProductPassword}, "", 64 * 1024);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no file was written"), std::string::npos) << r.err;
    EXPECT_EQ(dir.names(), before);

    // A kill at spread-out moments of the run.
    for (int delayMs : {5, 20, 40, 80}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(kDexmira.c_str(), kDexmira.c_str(), "export", store.c_str(), out.c_str(), "--password",
                    kProductPassword.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const auto names = dir.names();
        // Either killed before its end (nothing at all) or done (OUT complete and sound).
        if (names == before) continue;
        EXPECT_EQ(names, (std::vector<std::string>{"out.mdb", "store.mdb"})) << delayMs;
        EXPECT_TRUE(checkJetFile(*JetModel::open(out, kProductPassword)).sound());
        fs::remove(out);
    }

    // A unique index whose keys repeat: the store tells 'abc' from 'ABC', a
    // Jet text key does not.
    {
        auto engine = makeJetStoreEngine();
        auto conn = engine->openConnection("Data Source=" + store + ";Jet OLEDB:Database Password=" + kProductPassword);
        conn->execute("CREATE TABLE twice (id LONG CONSTRAINT pk PRIMARY KEY, name VARCHAR(10))");
        conn->execute("CREATE UNIQUE INDEX ux_name ON twice (name)");
        conn->execute("INSERT INTO twice VALUES (1, 'abc')");
        conn->execute("INSERT INTO twice VALUES (2, NULL)");
        conn->execute("INSERT INTO twice VALUES (3, NULL)");
        conn->execute("INSERT INTO twice VALUES (4, 'ABC')");
    }
    r = test::runProgram(kDexmira, {"export", store, out, "--password", kProductPassword});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("table 'twice', index 'ux_name': rows 1 and 4 have the same name, which the unique index "
                         "does not allow"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("no file was written"), std::string::npos) << r.err;
    EXPECT_EQ(dir.names(), before);
    {
        auto engine = makeJetStoreEngine();
        auto conn = engine->openConnection("Data Source=" + store + ";Jet OLEDB:Database Password=" + kProductPassword);
        conn->execute("DROP TABLE twice");
    }

    // A value whose key needs a character without a known code.
    {
        auto engine = makeJetStoreEngine();
        auto conn = engine->openConnection("Data Source=" + store + ";Jet OLEDB:Database Password=" + kProductPassword);
        conn->execute("UPDATE customer SET compname = 'Café 한빛' WHERE code = '000001'");
    }
    r = test::runProgram(kDexmira, {"export", store, out, "--password", kProductPassword});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("table 'customer', index 'ix_compname'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("U+00E9"), std::string::npos) << r.err;
    EXPECT_EQ(dir.names(), before);
}

}  // namespace dex::test
