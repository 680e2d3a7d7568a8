// The Jet file writer, checked by an independent reader: the mdbtools
// command-line tools (mdb-ver, mdb-schema, mdb-export, mdb-prop), and for
// what they do not show (index entries, page 0) the bytes themselves.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetWriteEncoding.h"
#include "JetWriter.h"

extern char** environ;

namespace dex::test {
namespace {

namespace fs = std::filesystem;
namespace ct = dex::jetfile::coltype;

// ------------------------------------------------------------ helpers

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "jetwriter-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

bool onPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((fs::path(dir) / tool).c_str(), X_OK) == 0) return true;
    return false;
}

bool haveMdbTools() {
    for (const char* t : {"mdb-ver", "mdb-schema", "mdb-export", "mdb-prop"})
        if (!onPath(t)) return false;
    return true;
}

#define REQUIRE_MDBTOOLS()                                                                        \
    if (!haveMdbTools()) GTEST_SKIP() << "the mdbtools command-line tools (mdb-ver, mdb-schema, " \
                                         "mdb-export, mdb-prop) are not installed"

struct Output {
    int status = -1;
    std::string out, err;
};

// Runs a tool with posix_spawnp; stdout through a pipe, stderr into a file.
Output run(const TempDir& dir, std::vector<std::string> args, const std::vector<std::string>& extraEnv = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    const std::string errFile = dir.file("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    Output o;
    if (rc != 0) {
        close(fds[0]);
        return o;
    }
    char buf[65536];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) o.out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    o.err.assign(std::istreambuf_iterator<char>(err), {});
    return o;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string l; std::getline(s, l);) out.push_back(l);
    return out;
}

// mdb-export's rows as given by `-0 NULL -T '%Y-%m-%d %H:%M:%S'`, header first.
std::vector<std::string> exportRows(const TempDir& dir, const std::string& file, const std::string& table,
                                    const std::vector<std::string>& options = {}, const std::vector<std::string>& env = {}) {
    std::vector<std::string> args = {"mdb-export", "-0", "NULL", "-T", "%Y-%m-%d %H:%M:%S"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(file);
    args.push_back(table);
    const Output o = run(dir, args, env);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    return lines(o.out);
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

unsigned u16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<unsigned>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t u32(const std::string& b, size_t at) { return u16(b, at) | static_cast<uint32_t>(u16(b, at + 2)) << 16; }

// The catalog Id (table-definition page) of a table, from mdb-export.
int tablePage(const TempDir& dir, const std::string& file, const std::string& table) {
    for (const std::string& l : exportRows(dir, file, "MSysObjects", {"-Q"})) {
        std::stringstream s(l);
        std::string id, parent, name;
        std::getline(s, id, ',');
        std::getline(s, parent, ',');
        std::getline(s, name, ',');
        if (name == table) return std::stoi(id);
    }
    return -1;
}

// The index entries of a Jet 4 table definition, read straight from its pages.
struct Tdef {
    std::string bytes;  // the definition with continuation headers removed
    struct Physical {
        std::vector<int> columns;
        int flags;
    };
    struct Logical {
        std::string name;
        int number, physical, type, relType, relIndex, relPage, cascadeUpdate, cascadeDelete;
    };
    std::vector<Physical> physical;
    std::vector<Logical> logical;
    uint32_t ownedMap = 0;
};

Tdef readJet4Tdef(const std::string& file, int page) {
    const std::string all = fileBytes(file);
    Tdef t;
    for (int pg = page, first = 1; pg; first = 0) {
        const std::string p = all.substr(static_cast<size_t>(pg) * 4096, 4096);
        t.bytes += first ? p : p.substr(8);
        pg = static_cast<int>(u32(p, 4));
    }
    const std::string& b = t.bytes;
    const int columns = static_cast<int>(u16(b, 45));
    const int logical = static_cast<int>(u32(b, 47)), physical = static_cast<int>(u32(b, 51));
    t.ownedMap = u32(b, 55);
    size_t at = 63 + 12 * static_cast<size_t>(physical) + 25 * static_cast<size_t>(columns);
    for (int i = 0; i < columns; ++i) at += 2 + u16(b, at);
    for (int i = 0; i < physical; ++i, at += 52) {
        Tdef::Physical p{{}, static_cast<uint8_t>(b[at + 46])};
        for (size_t k = 0; k < 10; ++k)
            if (u16(b, at + 4 + 3 * k) != 0xFFFF) p.columns.push_back(static_cast<int>(u16(b, at + 4 + 3 * k)));
        t.physical.push_back(p);
    }
    for (int i = 0; i < logical; ++i, at += 28)
        t.logical.push_back({"", static_cast<int>(u32(b, at + 4)), static_cast<int>(u32(b, at + 8)), b[at + 23],
                             b[at + 12], static_cast<int>(u32(b, at + 13)), static_cast<int>(u32(b, at + 17)), b[at + 21],
                             b[at + 22]});
    for (int i = 0; i < logical; ++i) {
        const size_t n = u16(b, at);
        std::string name;
        for (size_t k = 0; k < n; k += 2) name.push_back(b[at + 2 + k]);
        t.logical[static_cast<size_t>(i)].name = name;
        at += 2 + n;
    }
    return t;
}

std::string logicalSummary(const Tdef& t) {
    std::string s;
    for (const auto& l : t.logical)
        s += l.name + ":" + std::to_string(l.number) + "/" + std::to_string(l.physical) + "/" + std::to_string(l.type) + " ";
    return s;
}

WColumn column(const std::string& name, int type, int size = 0) {
    WColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

WIndex index(const std::string& name, std::vector<std::string> columns, bool primary = false, bool unique = false) {
    WIndex i;
    i.name = name;
    i.columns = std::move(columns);
    i.primary = primary;
    i.unique = unique || primary;
    return i;
}

Value text(const std::string& s) { return Value(s); }
Value num(int64_t n) { return Value(n); }

// ------------------------------------------------------------ tests

TEST(JetWriter, Jet4EveryColumnTypeReadsBackThroughMdbExport) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable t;
    t.name = "all_types";
    WColumn dec = column("dec", ct::Numeric);
    dec.precision = 12;
    dec.scale = 3;
    WColumn id = column("id", ct::Long);
    id.autonumber = true;
    t.columns = {id, column("flag", ct::Bool), column("tiny", ct::Byte), column("small", ct::Int),
                 column("price", ct::Money), column("ratio", ct::Float), column("big", ct::Double),
                 column("stamp", ct::DateTime), column("raw", ct::Binary, 8), column("name", ct::Text, 20),
                 column("blob", ct::Ole), column("note", ct::Memo), column("guid", ct::RepId), dec};
    t.rows = {
        {num(1), num(-1), num(255), num(-32768), Value(1234.5678), Value(0.5), Value(-2.25),
         text("2023-12-31 23:59:58"), text("\x01\xAB\x7F"), text("가나다 abc"), text(std::string("\x10\x20\x30", 3)),
         text("메모 memo"), text("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), text("-1234.567")},
        {num(2), num(0), num(0), num(32767), text("-0.0001"), Value(1e10), num(7), text("1900-01-01"), text(""),
         text(""), text(""), text(""), text("{00000000-0000-0000-0000-000000000001}"), num(42)},
        {num(3), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(),
         Value(), Value()},
    };
    WDatabase db;
    db.tables = {t};
    const std::string f = dir.file("types.mdb");
    writeJetFile(f, db);

    EXPECT_EQ(run(dir, {"mdb-ver", f}).out, "JET4\n");
    const auto rows = exportRows(dir, f, "all_types", {"-b", "hex"});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "id,flag,tiny,small,price,ratio,big,stamp,raw,name,blob,note,guid,dec");
    EXPECT_EQ(rows[1],
              "1,1,255,-32768,1234.5678,0.5,-2.25,\"2023-12-31 23:59:58\",\"01AB7F\",\"가나다 abc\",\"102030\","
              "\"메모 memo\",\"7B36463936313946462D384238362D443031312D423432443030433034464339363446467D\","
              "-1234.567");
    // mdb-export shows zero-length Binary, Text and Memo values as NULL (OLE as "").
    EXPECT_EQ(rows[2], "2,0,0,32767,-0.0001,1e+10,7,\"1900-01-01 00:00:00\",NULL,NULL,\"\",NULL,"
                       "\"7B30303030303030302D303030302D303030302D303030303030303030303030303030317D\",42.000");
    EXPECT_EQ(rows[3], "3,0,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL");
    // Without the hex mode mdb-export prints the GUID the way libmdb formats it.
    EXPECT_NE(run(dir, {"mdb-export", f, "all_types"}).out.find("{6F9619FF-8B86-D011-B42D00C04FC964FF}"), std::string::npos);
    const std::string schema = run(dir, {"mdb-schema", f, "postgres"}).out;
    EXPECT_NE(schema.find("\"id\"\t\t\tSERIAL"), std::string::npos) << schema;
    EXPECT_NE(schema.find("\"name\"\t\t\tVARCHAR (20)"), std::string::npos);
    EXPECT_NE(schema.find("\"dec\"\t\t\tNUMERIC (12, 3)"), std::string::npos);
    EXPECT_NE(schema.find("\"guid\"\t\t\tUUID"), std::string::npos);
}

TEST(JetWriter, Jet4RowsAcrossManyPagesAndLongValues) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable t;
    t.name = "journal";
    t.columns = {column("n", ct::Long), column("title", ct::Text, 100), column("body", ct::Memo), column("image", ct::Ole)};
    std::string korean;
    for (int i = 0; i < 15000; ++i) korean += i % 7 ? "한" : "글";  // 30,000 bytes in UCS-2
    const std::string image = [] {
        std::string s;
        for (int i = 0; i < 10000; ++i) s.push_back(static_cast<char>(1 + i % 251));
        return s;
    }();
    for (int i = 0; i < 3000; ++i) {
        Value body = text("short " + std::to_string(i));                      // inline
        if (i == 10) body = text(std::string(1000, 'm'));                     // one LVAL row
        if (i == 20) body = text(korean);                                     // a chain of LVAL pages
        if (i == 30) body = text(std::string(3000, 'z') + korean.substr(0, 3)); // too long to compress
        t.rows.push_back({num(i), text("title number " + std::to_string(i) + std::string(40, '.')), body,
                          i == 40 ? text(image) : Value()});
    }
    WDatabase db;
    db.tables = {t};
    const std::string f = dir.file("journal.mdb");
    writeJetFile(f, db);

    const std::string bytes = fileBytes(f);
    int dataPages = 0, lvalPages = 0;
    const int page = tablePage(dir, f, "journal");
    for (size_t p = 0; p < bytes.size() / 4096; ++p) {
        const std::string pg = bytes.substr(p * 4096, 4096);
        dataPages += pg[0] == 1 && u32(pg, 4) == static_cast<uint32_t>(page);
        lvalPages += pg[0] == 1 && pg.substr(4, 4) == "LVAL";
    }
    EXPECT_GT(dataPages, 50);
    EXPECT_GT(lvalPages, 9);

    const auto rows = exportRows(dir, f, "journal", {"-b", "hex"});
    ASSERT_EQ(rows.size(), 3001u);
    EXPECT_EQ(rows[1], "0,\"title number 0........................................\",\"short 0\",NULL");
    EXPECT_EQ(rows[3000], "2999,\"title number 2999........................................\",\"short 2999\",NULL");
    EXPECT_EQ(rows[11], "10,\"title number 10........................................\",\"" + std::string(1000, 'm') + "\",NULL");
    EXPECT_EQ(rows[21], "20,\"title number 20........................................\",\"" + korean + "\",NULL");
    EXPECT_EQ(rows[31], "30,\"title number 30........................................\",\"" + std::string(3000, 'z') +
                            korean.substr(0, 3) + "\",NULL");
    std::string hex;
    for (unsigned char c : image) {
        static const char digits[] = "0123456789ABCDEF";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    EXPECT_EQ(rows[41], "40,\"title number 40........................................\",\"short 40\",\"" + hex + "\"");
}

TEST(JetWriter, TableOverTwoMegabytesUsesAReferenceUsageMap) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable t;
    t.name = "big";
    t.columns = {column("id", ct::Long), column("pad", ct::Text, 120)};
    for (int i = 0; i < 25000; ++i) t.rows.push_back({num(i), text(std::string(120, static_cast<char>('a' + i % 26)))});
    WDatabase db;
    db.tables = {t};
    const std::string f = dir.file("big.mdb");
    writeJetFile(f, db);

    const Tdef def = readJet4Tdef(f, tablePage(dir, f, "big"));
    const std::string bytes = fileBytes(f);
    const size_t mapRow = (def.ownedMap >> 8) * 4096 + u16(bytes, (def.ownedMap >> 8) * 4096 + 14 + 2 * (def.ownedMap & 0xFF));
    EXPECT_EQ(bytes[mapRow], 1) << "a reference map (type 1)";
    EXPECT_GT(bytes.size(), 2u * 1024 * 1024);

    const auto rows = exportRows(dir, f, "big");
    ASSERT_EQ(rows.size(), 25001u);
    EXPECT_EQ(rows[1], "0,\"" + std::string(120, 'a') + "\"");
    EXPECT_EQ(rows[25000], "24999,\"" + std::string(120, 'n') + "\"");
}

TEST(JetWriter, WideTableDefinitionsSpanPagesInBothVersions) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable wide{"wide", {}, {}, {}};
    for (int i = 0; i < 150; ++i)
        wide.columns.push_back(column("column_number_" + std::to_string(i), i % 3 ? ct::Long : ct::Text, 30));
    for (int i = 0; i < 12; ++i)
        wide.indexes.push_back(index("index_" + std::to_string(i),
                                     {"column_number_" + std::to_string(i), "column_number_" + std::to_string(i + 1)}, i == 0));
    std::vector<Value> row;
    for (int i = 0; i < 150; ++i) row.push_back(i % 3 ? num(i) : text("v" + std::to_string(i)));
    wide.rows = {row};
    WTable tiny{"tiny", {column("b", ct::Byte)}, {}, {}};
    for (int i = 0; i < 1000; ++i) tiny.rows.push_back({num(i % 256)});  // 255 rows a page at most
    for (int version : {1, 0}) {
        WDatabase db;
        db.version = version;
        db.tables = {wide, tiny};
        const std::string f = dir.file("wide" + std::to_string(version) + ".mdb");
        writeJetFile(f, db);
        const std::string bytes = fileBytes(f);
        const size_t ps = version ? 4096 : 2048;
        const size_t tdef = static_cast<size_t>(tablePage(dir, f, "wide")) * ps;
        int chain = 0;
        for (size_t at = tdef; at; at = u32(bytes, at + 4) * ps, ++chain) ASSERT_EQ(bytes[at], 2);
        EXPECT_EQ(chain, version ? 3 : 4) << "pages of the table definition (about 10 KB in Jet 4, 6 KB in Jet 3)";

        const std::string schema = run(dir, {"mdb-schema", f, "postgres"}).out;
        EXPECT_NE(schema.find("\"column_number_149\"\t\t\tINTEGER\n"), std::string::npos) << schema;
        EXPECT_NE(schema.find("ADD CONSTRAINT \"wide_pkey\" PRIMARY KEY (\"column_number_0\", \"column_number_1\");"),
                  std::string::npos);
        EXPECT_NE(schema.find("CREATE INDEX \"wide_index_11_idx\" ON \"wide\" (\"column_number_11\", \"column_number_12\");"),
                  std::string::npos);
        const auto rows = exportRows(dir, f, "wide");
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1].substr(0, 30), "\"v0\",1,2,\"v3\",4,5,\"v6\",7,8,\"v9");
        EXPECT_EQ(rows[1].substr(rows[1].size() - 14), "\"v147\",148,149");
        const auto bytesRows = exportRows(dir, f, "tiny");
        ASSERT_EQ(bytesRows.size(), 1001u);
        EXPECT_EQ(bytesRows[256], "255");
        EXPECT_EQ(bytesRows[1000], "231");
        int tinyPages = 0;
        const int tinyPage = tablePage(dir, f, "tiny");
        for (size_t p = 0; p < bytes.size() / ps; ++p)
            tinyPages += bytes[p * ps] == 1 && u32(bytes, p * ps + 4) == static_cast<uint32_t>(tinyPage);
        EXPECT_EQ(tinyPages, 4);
    }
}

WDatabase shopDatabase() {
    WTable customer{"customer", {column("code", ct::Text, 6), column("name", ct::Text, 50), column("region", ct::Int)},
                    {index("PrimaryKey", {"code"}, true), index("idx_name", {"name", "region"})}, {}};
    customer.indexes[1].descending = {false, true};
    WTable product{"product", {column("code", ct::Text, 6), column("line", ct::Int)},
                   {index("pk_product", {"code", "line"}, true)}, {}};
    WTable orders{"orders",
                  {column("id", ct::Long), column("cust", ct::Text, 6), column("prod", ct::Text, 6), column("line", ct::Int)},
                  {index("PrimaryKey", {"id"}, true), index("ux_cust_id", {"cust", "id"}, false, true)},
                  {}};
    customer.rows = {{text("c1"), text("Kim"), num(1)}};
    product.rows = {{text("p1"), num(1)}};
    orders.rows = {{num(1), text("c1"), text("p1"), num(1)}};
    WTable employee{"employee", {column("id", ct::Long), column("boss", ct::Long)}, {index("PrimaryKey", {"id"}, true)},
                    {{num(1), Value()}, {num(2), num(1)}}};
    WDatabase db;
    db.tables = {customer, product, orders, employee};
    db.relationships = {
        {"fk_boss", "employee", "employee", {"boss"}, {"id"}, true, false, false},
        {"fk_orders_customer", "orders", "customer", {"cust"}, {"code"}, true, true, false},
        {"fk_orders_product", "orders", "product", {"prod", "line"}, {"code", "line"}, true, false, true},
        {"", "orders", "customer", {"prod"}, {"code"}, false, false, false},
    };
    return db;
}

TEST(JetWriter, IndexesAndRelationshipsAsMdbSchemaAndTheTableDefinitionsShowThem) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    const std::string f = dir.file("shop.mdb");
    writeJetFile(f, shopDatabase());

    const std::string schema = run(dir, {"mdb-schema", "--relations", f, "postgres"}).out;
    for (const char* line : {
             "ALTER TABLE \"customer\" ADD CONSTRAINT \"customer_pkey\" PRIMARY KEY (\"code\");",
             "CREATE INDEX \"customer_idx_name_idx\" ON \"customer\" (\"name\", \"region\" DESC);",
             "ALTER TABLE \"product\" ADD CONSTRAINT \"product_pkey\" PRIMARY KEY (\"code\", \"line\");",
             "CREATE UNIQUE INDEX \"orders_ux_cust_id_idx\" ON \"orders\" (\"cust\", \"id\");",
             "ALTER TABLE \"orders\" ADD CONSTRAINT \"orders_cust_fk\" FOREIGN KEY (\"cust\") REFERENCES "
             "\"customer\"(\"code\") ON UPDATE CASCADE DEFERRABLE INITIALLY IMMEDIATE;",
             "ALTER TABLE \"orders\" ADD CONSTRAINT \"orders_line_fk\" FOREIGN KEY (\"line\") REFERENCES "
             "\"product\"(\"line\") ON DELETE CASCADE DEFERRABLE INITIALLY IMMEDIATE;",
             "-- Relationship from \"orders\" (\"prod\") to \"customer\"(\"code\") does not enforce integrity."})
        EXPECT_NE(schema.find(line), std::string::npos) << line << "\n" << schema;
    // -T limits the schema to one table.
    const std::string one = run(dir, {"mdb-schema", "-T", "product", f, "postgres"}).out;
    EXPECT_NE(one.find("CREATE TABLE IF NOT EXISTS \"product\""), std::string::npos);
    EXPECT_EQ(one.find("\"customer\""), std::string::npos);

    const auto rel = exportRows(dir, f, "MSysRelationships");
    ASSERT_EQ(rel.size(), 6u);
    EXPECT_EQ(rel[0], "szRelationship,grbit,ccolumn,icolumn,szObject,szColumn,szReferencedObject,szReferencedColumn");
    EXPECT_EQ(rel[1], "\"fk_boss\",0,1,0,\"employee\",\"boss\",\"employee\",\"id\"");
    EXPECT_EQ(rel[2], "\"fk_orders_customer\",256,1,0,\"orders\",\"cust\",\"customer\",\"code\"");
    EXPECT_EQ(rel[3], "\"fk_orders_product\",4096,2,0,\"orders\",\"prod\",\"product\",\"code\"");
    EXPECT_EQ(rel[4], "\"fk_orders_product\",4096,2,1,\"orders\",\"line\",\"product\",\"line\"");
    EXPECT_EQ(rel[5], "\"customerorders\",2,1,0,\"orders\",\"prod\",\"customer\",\"code\"");
    // A table that refers to itself carries both sides.
    const int employeePage = tablePage(dir, f, "employee");
    const Tdef employee = readJet4Tdef(f, employeePage);
    EXPECT_EQ(logicalSummary(employee), "PrimaryKey:0/0/1 fk_boss:1/1/2 .rC:2/0/2 ");
    EXPECT_EQ(employee.logical[1].relIndex, 2);
    EXPECT_EQ(employee.logical[2].relIndex, 1);
    EXPECT_EQ(employee.logical[2].relPage, employeePage);
    EXPECT_EQ(exportRows(dir, f, "employee")[2], "2,1");

    const int customerPage = tablePage(dir, f, "customer"), ordersPage = tablePage(dir, f, "orders"),
              productPage = tablePage(dir, f, "product");
    const Tdef customer = readJet4Tdef(f, customerPage);
    const Tdef orders = readJet4Tdef(f, ordersPage);
    const Tdef product = readJet4Tdef(f, productPage);
    // name:number/physical/type; the referenced side's ".rC" shares the primary key's physical entry.
    EXPECT_EQ(logicalSummary(customer), "PrimaryKey:0/0/1 idx_name:1/1/0 .rC:2/0/2 ");
    EXPECT_EQ(logicalSummary(product), "pk_product:0/0/1 .rC:1/0/2 ");
    EXPECT_EQ(logicalSummary(orders), "PrimaryKey:0/0/1 ux_cust_id:1/1/0 fk_orders_customer:2/2/2 fk_orders_product:3/3/2 ");
    ASSERT_EQ(orders.physical.size(), 4u);
    EXPECT_EQ(orders.physical[2].columns, std::vector<int>({1}));
    EXPECT_EQ(orders.physical[3].columns, std::vector<int>({2, 3}));
    EXPECT_EQ(customer.physical[0].flags, 0x89);
    EXPECT_EQ(customer.physical[1].flags, 0x80);
    EXPECT_EQ(orders.physical[1].flags, 0x81);
    const auto& fk = orders.logical[2];
    EXPECT_EQ(fk.relType, 2);
    EXPECT_EQ(fk.relIndex, 2);  // customer's ".rC"
    EXPECT_EQ(fk.relPage, customerPage);
    EXPECT_EQ(fk.cascadeUpdate, 1);
    EXPECT_EQ(fk.cascadeDelete, 0);
    const auto& rc = customer.logical[2];
    EXPECT_EQ(rc.relType, 1);
    EXPECT_EQ(rc.relIndex, 2);  // orders' fk_orders_customer
    EXPECT_EQ(rc.relPage, ordersPage);
    EXPECT_EQ(product.logical[1].relPage, ordersPage);
    EXPECT_EQ(product.logical[1].cascadeDelete, 1);
}

TEST(JetWriter, PhysicalIndexGapNumbersLogicalAndPhysicalEntriesApart) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WDatabase db = shopDatabase();
    db.tables[2].indexes.push_back(index("ix_cust", {"cust"}));
    db.physicalIndexGap = true;
    const std::string f = dir.file("gap.mdb");
    writeJetFile(f, db);

    const Tdef orders = readJet4Tdef(f, tablePage(dir, f, "orders"));
    const Tdef customer = readJet4Tdef(f, tablePage(dir, f, "customer"));
    // Stored by name; physical entries reversed; the foreign key shares ix_cust's entry.
    EXPECT_EQ(logicalSummary(orders),
              "fk_orders_customer:3/1/2 fk_orders_product:4/0/2 ix_cust:2/1/0 PrimaryKey:0/3/1 ux_cust_id:1/2/0 ");
    ASSERT_EQ(orders.physical.size(), 4u);
    EXPECT_EQ(orders.physical[0].columns, std::vector<int>({2, 3}));
    EXPECT_EQ(orders.physical[1].columns, std::vector<int>({1}));
    EXPECT_EQ(orders.physical[3].columns, std::vector<int>({0}));
    EXPECT_EQ(logicalSummary(customer), ".rC:2/1/2 idx_name:1/0/0 PrimaryKey:0/1/1 ");
    // The rows are unaffected.
    EXPECT_EQ(exportRows(dir, f, "orders")[1], "1,\"c1\",\"p1\",1");
}

TEST(JetWriter, ColumnPropertiesThroughMdbProp) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable t;
    t.name = "settings";
    WColumn code = column("code", ct::Text, 4);
    code.defaultValue = "\"\"";
    code.required = true;
    code.allowZeroLength = true;
    WColumn qty = column("qty", ct::Long);
    qty.defaultValue = "0";
    WColumn note = column("note", ct::Memo);
    WColumn when = column("when", ct::DateTime);
    when.defaultValue = "Now()";
    when.required = true;
    t.columns = {code, qty, note, when};
    for (int version : {1, 0}) {
        WDatabase db;
        db.version = version;
        db.tables = {t};
        const std::string f = dir.file("props" + std::to_string(version) + ".mdb");
        writeJetFile(f, db);
        const Output o = run(dir, {"mdb-prop", f, "settings"});
        ASSERT_EQ(o.status, 0) << o.err;
        std::map<std::string, std::map<std::string, std::string>> props;
        std::string current;
        for (const std::string& l : lines(o.out)) {
            if (l.rfind("name: ", 0) == 0) current = l.substr(6);
            else if (l.size() > 1 && l[0] == '\t') props[current][l.substr(1, l.find(':') - 1)] = l.substr(l.find(": ") + 2);
        }
        using P = std::map<std::string, std::string>;
        EXPECT_EQ(props["code"], (P{{"DefaultValue", "\"\""}, {"Required", "yes"}, {"AllowZeroLength", "yes"}})) << version;
        EXPECT_EQ(props["qty"], (P{{"DefaultValue", "0"}, {"Required", "no"}})) << version;
        EXPECT_EQ(props["note"], (P{{"Required", "no"}, {"AllowZeroLength", "no"}})) << version;
        EXPECT_EQ(props["when"], (P{{"DefaultValue", "Now()"}, {"Required", "yes"}})) << version;
        const std::string schema = run(dir, {"mdb-schema", "--default-values", "--not-null", f, "postgres"}).out;
        EXPECT_NE(schema.find("\"code\"\t\t\tVARCHAR (4) NOT NULL DEFAULT ''"), std::string::npos) << schema;
        EXPECT_NE(schema.find("\"qty\"\t\t\tINTEGER DEFAULT 0"), std::string::npos) << schema;
    }
}

// Page 0 with its masked block opened (RC4 keyed C7 DA 39 6B), as a reader does.
std::string openHeader(const std::string& file, size_t masked) {
    std::string p = fileBytes(file).substr(0, 256);
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 255;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < masked; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        p[0x18 + n] = static_cast<char>(p[0x18 + n] ^ s[(s[i] + s[j]) & 255]);
    }
    return p;
}

std::string hexOf(const std::string& b) {
    std::string out;
    char buf[4];
    for (unsigned char c : b) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

TEST(JetWriter, HeaderCarriesVersionCodePageDateAndMaskedPassword) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WDatabase db;
    db.tables = {WTable{"t", {column("a", ct::Long)}, {}, {{num(1)}}}};
    db.password = "pw가";
    const std::string jet4 = dir.file("jet4.mdb");
    writeJetFile(jet4, db);
    db.password = "";
    const std::string open4 = dir.file("open4.mdb");
    writeJetFile(open4, db);
    db.version = 0;
    db.codePage = 949;
    db.password = "비밀";
    const std::string jet3 = dir.file("jet3.mdb");
    writeJetFile(jet3, db);

    EXPECT_EQ(run(dir, {"mdb-ver", jet4}).out, "JET4\n");
    EXPECT_EQ(run(dir, {"mdb-ver", jet3}).out, "JET3\n");
    // A database password does not stop mdbtools: pages are not encoded.
    EXPECT_EQ(exportRows(dir, jet4, "t")[1], "1");
    EXPECT_EQ(exportRows(dir, jet3, "t")[1], "1");

    const std::string h4 = openHeader(jet4, 128);
    EXPECT_EQ(fileBytes(jet4).substr(4, 15), "Standard Jet DB");
    EXPECT_EQ(h4[0x14], 1);
    EXPECT_EQ(u16(h4, 0x3C), 1252u);
    EXPECT_EQ(u32(h4, 0x3E), 0u);
    double created;
    std::memcpy(&created, h4.data() + 0x72, 8);
    EXPECT_DOUBLE_EQ(created, 45366.0 + 9.5 / 24);  // 2024-03-15 09:30
    // "pw가" in UCS-2, each byte XORed with 36 B1 00 00 (45366 little-endian).
    EXPECT_EQ(hexOf(h4.substr(0x42, 12)), "46b17700361d000036b10000");
    EXPECT_EQ(hexOf(openHeader(open4, 128).substr(0x42, 8)), "36b1000036b10000");

    const std::string h3 = openHeader(jet3, 126);
    EXPECT_EQ(h3[0x14], 0);
    EXPECT_EQ(u16(h3, 0x3C), 949u);
    EXPECT_EQ(u16(h3, 0x3A), 0x412u);
    EXPECT_EQ(hexOf(h3.substr(0x42, 6)), "baf1b9d00000");  // "비밀" in code page 949
}

TEST(JetWriter, Jet3KoreanTextLongRowsAndRelationships) {
    REQUIRE_MDBTOOLS();
    TempDir dir;
    WTable item{"품목", {column("code", ct::Text, 10), column("이름", ct::Text, 255), column("memo", ct::Memo)},
                {index("PrimaryKey", {"code"}, true)}, {}};
    WTable sale{"sale", {column("id", ct::Long), column("code", ct::Text, 10), column("a", ct::Text, 255),
                         column("b", ct::Text, 255), column("c", ct::Text, 255), column("when", ct::DateTime)},
                {index("PrimaryKey", {"id"}, true)}, {}};
    const std::string longMemo = std::string(5000, 'q') + "끝";
    std::string ga;
    for (int i = 0; i < 120; ++i) ga += "가";
    item.rows = {{text("A1"), text("한글 이름"), text(longMemo)}, {text("B2"), text(std::string(250, 'x')), Value()}};
    // Rows longer than 256 bytes need Jet 3's jump table; nulls in between.
    sale.rows = {{num(1), text("A1"), text(std::string(200, 'a')), text(std::string(200, 'b')), text(std::string(200, 'c')), text("1999-05-06 07:08:09")},
                 {num(2), text("B2"), Value(), text(std::string(255, 'k')), text("끝"), Value()},
                 {num(3), text("A1"), text(ga), Value(), text(std::string(255, 'z')), text("2000-01-01")}};
    WDatabase db;
    db.version = 0;
    db.codePage = 949;
    db.tables = {item, sale};
    db.relationships = {{"품목sale", "sale", "품목", {"code"}, {"code"}, true, false, false}};
    const std::string f = dir.file("jet3.mdb");
    writeJetFile(f, db);

    const std::vector<std::string> cp949 = {"MDB_JET3_CHARSET=CP949"};
    const auto items = exportRows(dir, f, "품목", {}, cp949);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], "code,이름,memo");
    EXPECT_EQ(items[1], "\"A1\",\"한글 이름\",\"" + longMemo + "\"");
    EXPECT_EQ(items[2], "\"B2\",\"" + std::string(250, 'x') + "\",NULL");
    const auto sales = exportRows(dir, f, "sale", {}, cp949);
    ASSERT_EQ(sales.size(), 4u);
    EXPECT_EQ(sales[1], "1,\"A1\",\"" + std::string(200, 'a') + "\",\"" + std::string(200, 'b') + "\",\"" +
                            std::string(200, 'c') + "\",\"1999-05-06 07:08:09\"");
    EXPECT_EQ(sales[2], "2,\"B2\",NULL,\"" + std::string(255, 'k') + "\",\"끝\",NULL");
    EXPECT_EQ(sales[3], "3,\"A1\",\"" + ga + "\",NULL,\"" + std::string(255, 'z') + "\",\"2000-01-01 00:00:00\"");

    const std::string schema = run(dir, {"mdb-schema", f, "postgres"}, cp949).out;
    EXPECT_NE(schema.find("ALTER TABLE \"sale\" ADD CONSTRAINT \"sale_code_fk\" FOREIGN KEY (\"code\") REFERENCES "
                          "\"품목\"(\"code\")"),
              std::string::npos)
        << schema;
    EXPECT_NE(schema.find("\"이름\"\t\t\tVARCHAR (255)"), std::string::npos);
    EXPECT_EQ(exportRows(dir, f, "MSysRelationships", {}, cp949)[1], "\"품목sale\",0,1,0,\"sale\",\"code\",\"품목\",\"code\"");
}

TEST(JetWriter, DescriptionsItCannotWriteThrowWithTheirPlace) {
    TempDir dir;
    const std::string f = dir.file("bad.mdb");
    auto message = [&](const WDatabase& db) {
        try {
            writeJetFile(f, db);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    auto one = [](WTable t) {
        WDatabase db;
        db.tables = {std::move(t)};
        return db;
    };
    WTable base{"t", {column("code", ct::Text, 3), column("n", ct::Byte)}, {}, {}};

    WTable t = base;
    t.rows = {{text("abcd"), num(1)}};
    EXPECT_EQ(message(one(t)), "table 't', row 1, column 'code': a text of 4 characters is longer than 3");
    t.rows = {{text("ab"), num(256)}};
    EXPECT_EQ(message(one(t)), "table 't', row 1, column 'n': the value 256 does not fit in a Byte column");
    t.rows = {{text("ab")}};
    EXPECT_EQ(message(one(t)), "table 't', row 1: 1 values for 2 columns");
    t = base;
    t.indexes = {index("ix", {"missing"})};
    EXPECT_EQ(message(one(t)), "table 't', index 'ix': table 't' has no column 'missing'");
    t = base;
    t.columns.push_back(column("d", ct::DateTime));
    t.rows = {{text("a"), num(1), text("31/12/2020")}};
    EXPECT_EQ(message(one(t)), "table 't', row 1, column 'd': the value '31/12/2020' is not a date (YYYY-MM-DD HH:MM:SS)");
    WTable wide{"w", {}, {}, {}};
    for (int i = 0; i < 10; ++i) wide.columns.push_back(column("c" + std::to_string(i), ct::Text, 255));
    wide.rows = {std::vector<Value>(10, text(std::string(250, 'x') + "가나다라마"))};  // 510 bytes each
    EXPECT_EQ(message(one(wide)).rfind("table 'w', row 1: row of ", 0), 0u);

    WDatabase db = one(base);
    db.tables.push_back(WTable{"u", {column("code", ct::Text, 3)}, {}, {}});
    db.relationships = {{"r", "u", "t", {"code"}, {"code"}, true, false, false}};
    EXPECT_EQ(message(db), "relationship 'r': table 't' has no primary key or unique index over its columns");
    db.relationships = {{"r", "u", "nowhere", {"code"}, {"code"}, true, false, false}};
    EXPECT_EQ(message(db), "relationship 'r': there is no table 'nowhere'");
    WDatabase jet3 = one(WTable{"t", {column("d", ct::Numeric)}, {}, {}});
    jet3.version = 0;
    EXPECT_EQ(message(jet3), "table t column d: Jet 3 has no Numeric");
    EXPECT_FALSE(fs::exists(f));
}

TEST(JetWriter, FromTableDefsMapsTypesIndexesAndForeignKeys) {
    TableDef customer{"customer",
                      {{"code", daotype::Text, 6, "\"\"", true, true}, {"joined", daotype::Date, 8, "Now()", false, false},
                       {"credit", daotype::Currency, 8, "", false, false}, {"memo", daotype::Memo, 0, "", false, true}},
                      {{"PrimaryKey", true, false, true, {"code"}, "", {}}}};
    TableDef orders{"orders",
                    {{"id", daotype::Long, 4, "", true, false}, {"cust", daotype::Text, 6, "", false, true},
                     {"flag", daotype::Boolean, 1, "", false, false}, {"qty", daotype::Integer, 2, "0", false, false}},
                    {{"PrimaryKey", true, false, true, {"id"}, "", {}},
                     {"ix_cust", false, false, false, {"cust"}, "", {}},
                     {"fk_cust", false, true, false, {"cust"}, "customer", {"code"}}}};
    TableDef system{"MSysObjects", {{"Id", daotype::Long, 4, "", false, false}}, {}};
    std::vector<std::string> asked;
    const WDatabase db = fromTableDefs({customer, orders, system}, [&](const std::string& table) {
        asked.push_back(table);
        std::vector<std::vector<Value>> rows;
        if (table == "customer") rows.push_back({text("c1"), text("2020-02-03 04:05:06"), Value(12.5), text("m")});
        if (table == "orders") rows.push_back({num(1), text("c1"), num(-1), num(3)});
        return rows;
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"customer", "orders"}));
    ASSERT_EQ(db.tables.size(), 2u);
    const WTable& c = db.tables[0];
    EXPECT_EQ(c.columns[0].type, ct::Text);
    EXPECT_EQ(c.columns[0].size, 6);
    EXPECT_EQ(c.columns[0].defaultValue, "\"\"");
    EXPECT_TRUE(c.columns[0].required);
    EXPECT_EQ(c.columns[1].type, ct::DateTime);
    EXPECT_EQ(c.columns[2].type, ct::Money);
    EXPECT_EQ(c.columns[3].type, ct::Memo);
    EXPECT_TRUE(c.columns[3].allowZeroLength);
    EXPECT_EQ(db.tables[1].columns[0].type, ct::Long);
    EXPECT_FALSE(db.tables[1].columns[0].autonumber);
    EXPECT_EQ(db.tables[1].columns[2].type, ct::Bool);
    EXPECT_EQ(db.tables[1].columns[3].type, ct::Int);
    ASSERT_EQ(db.tables[1].indexes.size(), 2u);
    EXPECT_TRUE(db.tables[1].indexes[0].primary);
    EXPECT_EQ(db.tables[1].indexes[1].name, "ix_cust");
    ASSERT_EQ(db.relationships.size(), 1u);
    const WRelationship& r = db.relationships[0];
    EXPECT_EQ(r.name, "fk_cust");
    EXPECT_EQ(r.table, "orders");
    EXPECT_EQ(r.refTable, "customer");
    EXPECT_EQ(r.refColumns, std::vector<std::string>{"code"});
    EXPECT_TRUE(r.enforced);

    if (!haveMdbTools()) GTEST_SKIP() << "mdbtools not installed: the written twin is not read back";
    TempDir dir;
    const std::string f = dir.file("twin.mdb");
    writeJetFile(f, db);
    EXPECT_EQ(exportRows(dir, f, "customer")[1], "\"c1\",\"2020-02-03 04:05:06\",12.5000,\"m\"");
    EXPECT_EQ(exportRows(dir, f, "orders")[1], "1,\"c1\",1,3");
    EXPECT_NE(run(dir, {"mdb-schema", f, "postgres"}).out.find(
                  "ALTER TABLE \"orders\" ADD CONSTRAINT \"orders_cust_fk\" FOREIGN KEY (\"cust\") REFERENCES "
                  "\"customer\"(\"code\") DEFERRABLE"),
              std::string::npos);
}

TEST(JetEncoding, EngineValuesAsStoredAndCompressedText) {
    using namespace jetfile;
    using jetwrite::codePageText;
    using jetwrite::compressedUnicode;
    using jetwrite::utf16;
    auto stored = [](const Value& v, int type, int scale = 0) {
        JetWriteColumn c;
        c.name = "c";
        c.type = type;
        c.scale = scale;
        return storedValueOf(v, c);
    };
    EXPECT_EQ(stored(std::string("1899-12-30"), ct::DateTime), JetValue(JetDateTime{0.0}));
    EXPECT_EQ(stored(std::string("1900-01-01 12:00:00"), ct::DateTime), JetValue(JetDateTime{2.5}));
    // Before day 0 the time counts away from zero.
    EXPECT_EQ(stored(std::string("1899-12-29 06:00:00"), ct::DateTime), JetValue(JetDateTime{-1.25}));
    EXPECT_THROW(stored(std::string("2024-13-01"), ct::DateTime), JetWriteError);

    EXPECT_EQ(stored(12.5, ct::Money), JetValue(JetCurrency{125000}));
    EXPECT_EQ(stored(std::string("-922337203685477.5807"), ct::Money), JetValue(JetCurrency{INT64_MIN + 1}));
    EXPECT_EQ(stored(int64_t{-1}, ct::Bool), JetValue(true));
    EXPECT_THROW(stored(std::string("x"), ct::Long), JetWriteError);

    const JetValue d = stored(std::string("-12.5"), ct::Numeric, 3);
    EXPECT_EQ(hexOf(std::string(reinterpret_cast<const char*>(std::get<JetDecimal>(d).bytes.data()), 17)),
              "80000000000000000000000000d4300000");
    EXPECT_THROW(stored(std::string("7.15"), ct::Numeric, 1), JetWriteError);
    EXPECT_THROW(stored(std::string("1e5"), ct::Numeric, 0), JetWriteError);

    const JetValue g = stored(std::string("{00112233-4455-6677-8899-AABBCCDDEEFF}"), ct::RepId);
    EXPECT_EQ(hexOf(std::string(reinterpret_cast<const char*>(std::get<JetGuid>(g).bytes.data()), 16)),
              "33221100554477668899aabbccddeeff");
    EXPECT_THROW(stored(std::string("{0011-2233}"), ct::RepId), JetWriteError);

    // One-byte runs and two-byte runs separated by 0x00; U+AC00 ("가") has a
    // zero low byte, so text holding it stays plain UCS-2.
    EXPECT_EQ(hexOf(compressedUnicode(utf16("abcd한efgh"))), "fffe61626364005cd50065666768");
    EXPECT_EQ(compressedUnicode(utf16("a한")), "");  // not shorter than UCS-2
    EXPECT_EQ(compressedUnicode(utf16("a가")), "");
    EXPECT_EQ(hexOf(codePageText("한", 949)), "c7d1");
}

}  // namespace
}  // namespace dex::test
