// Writes the seed corpora of fuzz_sql_dialect, fuzz_pe_version and
// fuzz_store_open:
//   cmake --build build --target fuzz_make_seeds
//   build/tests/fuzz/fuzz_make_seeds . tests/fuzz/corpus
// (first argument: the source folder, for the sample scripts).
//
// sql_dialect: lines of the sample scripts and statements like the ones the
//   store tests send, each run on a store, and the CREATE TABLE and index
//   texts the store kept for them (with its annotations).
// pe_version: small PE files made by the tests' PE writer (PE32 and PE32+,
//   with and without version information, several resources), a few cut
//   short, and bare version blocks.
// store_open: tiny stores made with the store (512-byte pages), then cut
//   short or with a byte changed in the header or in a kept CREATE text.
// jet_tabledef (whole files, mode byte 0x08): small Jet 4 and Jet 3 files
//   made by the tests' Jet writer (every column type, a memo chain, a
//   relationship, a password), and copies whose long values are shared or
//   loop. The table-definition seeds there are make_jet_tabledef_seeds.py's.
// Everything is made here from scratch.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "DbError.h"
#include "JetDamage.h"
#include "JetStore.h"
#include "JetWriter.h"
#include "PeWriter.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

void writeBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeText(const fs::path& path, const std::string& text) { writeBytes(path, Bytes(text.begin(), text.end())); }

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void rawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), error ? error : "?");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

std::vector<std::string> storedTexts(const std::string& path) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name <> 'MSysStore'", -1, &st,
                       nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

const std::string kConnect = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";

// Jet statements of the kinds the catalogues and the store tests send.
const std::vector<std::string> kStatements = {
    "CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, compname VARCHAR(50), bigo TEXT, "
    "sale_dc DOUBLE DEFAULT 0, CONSTRAINT pk_customer PRIMARY KEY (code))",
    "CREATE TABLE sale (seq AUTOINCREMENT, ccode VARCHAR(6), qnt LONG DEFAULT 0 NOT NULL, "
    "dealdate DATE DEFAULT Now(), PRIMARY KEY (seq))",
    "CREATE TABLE buy_log (logno AUTOINCREMENT, part TINYINT DEFAULT 0 NOT NULL, qnt LONG DEFAULT 0, "
    "PRIMARY KEY (logno, part))",
    "CREATE TABLE types (a INT, b TINYINT, c BYTE, d TEXT(50), e MEMO, f CURRENCY, g BIT, h SINGLE, "
    "i COUNTER(1, 1), j LONGBINARY, k GUID, l DECIMAL)",
    "CREATE TABLE `priv_menu`(  `menuid` LONG DEFAULT 0 NOT NULL, `name` VARCHAR(30) DEFAULT \"\", "
    "CONSTRAINT `PrimaryKey` PRIMARY KEY (`menuid`))",
    "CREATE TABLE [order details] ([order id] LONG NOT NULL, [qty] SMALLINT DEFAULT -1, "
    "note VARCHAR(20) DEFAULT 'it''s', stamp DATETIME DEFAULT Date())",
    "CREATE INDEX idx_sale_ccode ON sale(ccode)",
    "CREATE UNIQUE INDEX idx_u ON customer (compname DESC, code) WITH DISALLOW NULL",
    "ALTER TABLE sale ADD CONSTRAINT fk_sale_cust FOREIGN KEY (ccode) REFERENCES customer (code) "
    "ON UPDATE CASCADE ON DELETE SET NULL",
    "INSERT INTO customer (code, compname) VALUES (\"c1\", 'A' & \"B\")",
    "INSERT INTO sale (ccode, qnt) VALUES ('c1', 5)",
    "ALTER TABLE `customer`  ADD COLUMN `plevel` LONG DEFAULT 2 NOT NULL",
    "ALTER TABLE `customer`  ADD COLUMN `lastmodify` DATE DEFAULT Now() NOT NULL",
    "ALTER TABLE `customer`  ADD COLUMN `gcode` LONG DEFAULT NULL NOT NULL",
    "ALTER TABLE `customer`  ALTER COLUMN `bigo` VARCHAR(150)",
    "ALTER TABLE customer DROP COLUMN sale_dc",
    "ALTER TABLE sale DROP CONSTRAINT fk_sale_cust",
    "UPDATE `customer` SET `gcode` = 1 WHERE `gcode` IS NULL",
    "SELECT LEFT(compname, 2), RIGHT(code, 1), code & '-' & compname AS x FROM customer WHERE code LIKE \"c*\"",
    "SELECT s.seq, c.compname FROM sale AS s LEFT JOIN customer AS c ON s.ccode = c.code ORDER BY 1",
    "DELETE * FROM sale WHERE seq = 5",
    "DROP INDEX idx_sale_ccode ON sale",
    "DROP TABLE `buy_log`;",
    "SELECT 1.5e3 AS [x y], .5 AS `q``r`, 'a''b' -- trailing note\n FROM /* block */ customer",
};

void sqlSeeds(const fs::path& source, const fs::path& out, const fs::path& work) {
    fs::create_directories(out);
    std::vector<std::string> statements = kStatements;
    // Lines of the sample scripts, each kept when it shows something no
    // earlier seed line has.
    const char* features[] = {"CREATE TABLE", "INSERT", "CREATE INDEX", "CREATE UNIQUE", "DROP", "ALTER",
                              "AUTOINCREMENT", "COUNTER", "REFERENCES", "CONSTRAINT", "Now()", "Date()",
                              "MEMO", "DOUBLE", "CURRENCY", "DATETIME", "BIT", "''", "\""};
    std::set<std::string> seen;
    for (const char* script : {"vardoII/base.sql", "vardoII/drift.sql", "FornII/base.sql", "FornPro/base.sql",
                               "quickbilII/base.sql"}) {
        std::ifstream in(source / "samples" / script);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line.rfind("--", 0) == 0 || line.size() > 600) continue;
            bool fresh = false;
            for (const char* f : features)
                if (line.find(f) != std::string::npos && seen.insert(f).second) fresh = true;
            if (fresh) statements.push_back(line);
        }
    }
    int n = 0;
    char name[64];
    for (const auto& s : statements) {
        std::snprintf(name, sizeof name, "statement_%02d.sql", n++);
        writeText(out / name, s);
    }
    // What the store keeps for the statements above.
    const std::string store = (work / "texts.mdb").string();
    dex::createStore(store, "");
    auto conn = dex::makeJetStoreEngine()->openConnection(kConnect + store);
    for (const auto& s : kStatements) {
        try {
            conn->execute(s);
        } catch (const dex::DbError& e) {
            std::fprintf(stderr, "seed statement failed: %s\n  %s\n", s.c_str(), e.description().c_str());
        }
    }
    conn->close();
    n = 0;
    for (const auto& text : storedTexts(store)) {
        std::snprintf(name, sizeof name, "stored_%02d.sql", n++);
        writeText(out / name, text);
    }
}

void peSeeds(const fs::path& out) {
    using namespace dex::test;
    fs::create_directories(out);
    VersionInfo english;
    english.strings = {{"CompanyName", u"Dexmira Tools"},  {"FileDescription", u"Structure compare"},
                       {"FileVersion", u"1.02.0008"},      {"InternalName", u"dexmira"},
                       {"OriginalFilename", u"dexmira.exe"}, {"ProductName", u"Dexmira"},
                       {"ProductVersion", u"1.2"}};
    VersionInfo korean;
    korean.tableKey = "041204B0";
    korean.language = 0x0412, korean.codePage = 0x04B0;
    korean.strings = {{"CompanyName", u"\uB371\uC2A4\uBBF8\uB77C"}, {"FileVersion", u"2.5E1"}};
    VersionInfo bare;
    bare.withStringFileInfo = false;
    VersionInfo odd;
    odd.strings = {{"FileVersion", u"7"}, {"Comments", u"\xD800 lone surrogate"}};

    const Bytes englishBlock = BuildVersionBlock(english);
    const Bytes pe32 = BuildPe(PeKind::Pe32, {{16, 1, 0x0409, englishBlock}});
    writeBytes(out / "pe32_english", pe32);
    writeBytes(out / "pe32plus_korean", BuildPe(PeKind::Pe32Plus, {{16, 1, 0x0412, BuildVersionBlock(korean)}}));
    writeBytes(out / "pe32_no_string_table", BuildPe(PeKind::Pe32, {{16, 1, 0x0409, BuildVersionBlock(bare)}}));
    writeBytes(out / "pe32_odd_values", BuildPe(PeKind::Pe32, {{16, 1, 0x0409, BuildVersionBlock(odd)}}));
    writeBytes(out / "pe32_no_resources", BuildPe(PeKind::Pe32, {}));
    writeBytes(out / "pe32plus_icon_only", BuildPe(PeKind::Pe32Plus, {{3, 1, 0x0409, Bytes(40, 0x11)}}));
    writeBytes(out / "pe32_several_resources",
               BuildPe(PeKind::Pe32, {{3, 1, 0x0409, Bytes(16, 0x22)},
                                      {16, 1, 0x0412, BuildVersionBlock(korean)},
                                      {16, 1, 0x0409, englishBlock},
                                      {16, 2, 0x0409, BuildVersionBlock(bare)}}));
    writeBytes(out / "pe32_cut_in_headers", Bytes(pe32.begin(), pe32.begin() + 0x120));
    writeBytes(out / "pe32_cut_in_resources", Bytes(pe32.begin(), pe32.begin() + static_cast<long>(pe32.size() - 200)));
    Bytes bigSize = pe32;
    // The data entry's size (the last resource's), made far larger than the file.
    for (size_t i = bigSize.size() - englishBlock.size(); i-- > 4;)
        if (bigSize[i] == (englishBlock.size() & 0xFF) && bigSize[i + 1] == (englishBlock.size() >> 8)) {
            bigSize[i + 2] = 0x40;
            break;
        }
    writeBytes(out / "pe32_size_past_end", bigSize);
    writeBytes(out / "block_english", englishBlock);
    writeBytes(out / "block_korean_odd_length", [&] {
        Bytes b = BuildVersionBlock(korean);
        b.push_back(0x41);
        return b;
    }());
    writeBytes(out / "not_a_program", Bytes{'M', 'Z', 0, 0});
}

// A store with 512-byte pages (small seeds), its statements run through the store.
std::string makeStore(const fs::path& work, const std::string& name, const std::string& password,
                      const std::vector<std::string>& statements) {
    const std::string path = (work / name).string();
    dex::createStore(path, password);
    if (!statements.empty()) {
        auto conn = dex::makeJetStoreEngine()->openConnection(
            kConnect + path + (password.empty() ? "" : ";Jet OLEDB:Database Password=" + password));
        for (const auto& s : statements) conn->execute(s);
        conn->close();
    }
    rawSql(path, "PRAGMA page_size=512; VACUUM;");
    return path;
}

// Offset of the first occurrence of text in bytes (or 0).
size_t find(const Bytes& bytes, const std::string& text) {
    auto it = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    return it == bytes.end() ? 0 : static_cast<size_t>(it - bytes.begin());
}

void storeSeeds(const fs::path& out, const fs::path& work) {
    fs::create_directories(out);
    writeBytes(out / "empty_store", readBytes(makeStore(work, "empty.mdb", "", {})));
    writeBytes(out / "password_store", readBytes(makeStore(work, "password.mdb", "kt5316", {})));
    const Bytes full = readBytes(makeStore(
        work, "full.mdb", "",
        {"CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, name VARCHAR(30), note MEMO, "
         "CONSTRAINT pk_customer PRIMARY KEY (code))",
         "CREATE TABLE sale (seq AUTOINCREMENT, ccode VARCHAR(6), qnt DOUBLE DEFAULT 0 NOT NULL, "
         "dealdate DATE DEFAULT Now(), PRIMARY KEY (seq))",
         "CREATE TABLE log (id COUNTER, part BYTE NOT NULL, PRIMARY KEY (id, part))",
         "CREATE INDEX idx_sale_ccode ON sale (ccode)",
         "ALTER TABLE sale ADD CONSTRAINT fk_sale_cust FOREIGN KEY (ccode) REFERENCES customer (code) "
         "ON UPDATE CASCADE",
         "INSERT INTO customer (code, name) VALUES ('c1', 'First')",
         "INSERT INTO sale (ccode, qnt) VALUES ('c1', 2.5)",
         "ALTER TABLE customer ADD COLUMN grade LONG NOT NULL",
         "INSERT INTO log (part) VALUES (3)"}));
    writeBytes(out / "store_with_tables", full);
    writeBytes(out / "cut_after_first_page", Bytes(full.begin(), full.begin() + 512));
    writeBytes(out / "cut_in_half", Bytes(full.begin(), full.begin() + static_cast<long>(full.size() / 2)));
    auto changed = [&](const char* name, size_t at, uint8_t value) {
        Bytes b = full;
        if (at < b.size()) b[at] = value;
        writeBytes(out / name, b);
    };
    changed("page_size_changed", 16, 0x04);            // header: page size 1024 on 512-byte pages
    changed("page_count_changed", 31, 0x02);           // header: database size in pages
    changed("schema_cookie_changed", 43, 0x7F);        // header: schema format number
    changed("annotation_changed", find(full, "/*jet:") + 6, 'X');
    changed("create_text_changed", find(full, "CREATE TABLE `sale`") + 7, '(');
    changed("key_word_changed", find(full, "PRIMARY KEY") + 2, 'E');
    changed("store_mark_changed", find(full, "Dexmira Jet") + 3, 'x');
}

}  // namespace

// A small Jet file: one table of every column type and a few rows (the
// first with a memo long enough for a chain of LVAL rows).
dex::test::WDatabase smallJet(int version) {
    using dex::Value;
    dex::test::WTable t;
    t.name = "t";
    const int types[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0F, 0x10};
    for (int type : types) {
        if (version == 0 && type == 0x10) continue;  // Jet 3 has no Decimal
        dex::test::WColumn col;
        col.name = "c" + std::to_string(type);
        col.type = type;
        col.size = type == 0x0A || type == 0x09 ? 20 : 0;
        if (type == 0x10) col.scale = 2;
        t.columns.push_back(col);
    }
    t.indexes = {{"PrimaryKey", true, true, {"c4"}, {}}};
    for (int r = 0; r < 3; ++r) {
        std::vector<Value> row;
        for (const auto& col : t.columns) {
            switch (col.type) {
                case 0x08: row.emplace_back(std::string("2024-03-15 09:30:00")); break;
                case 0x09: case 0x0B: row.emplace_back(std::string("\x01\x02\x03", 3)); break;
                case 0x0A: row.emplace_back(std::string("text ") + std::to_string(r)); break;
                case 0x0C: row.emplace_back(std::string(r == 0 ? 6000 : 10, 'm')); break;
                case 0x0F: row.emplace_back(std::string("{12345678-9ABC-DEF0-1234-56789ABCDEF0}")); break;
                case 0x10: row.emplace_back(std::string("-12.5")); break;
                default: row.emplace_back(int64_t{r + 1});
            }
        }
        t.rows.push_back(row);
    }
    dex::test::WTable child{"child", {{"id", 0x04, 4}, {"t", 0x04, 4}}, {}, {{int64_t{1}, int64_t{1}}}};
    // (id, note): the memo's field starts 6 bytes into each row.
    const dex::test::WTable notes = dex::test::memoTable("notes", 4, 9000);
    dex::test::WDatabase db;
    db.version = version;
    db.tables = {t, child, notes};
    dex::test::WRelationship rel;
    rel.table = "child", rel.refTable = "t", rel.columns = {"t"}, rel.refColumns = {"c4"};
    db.relationships = {rel};
    return db;
}

void jetFileSeeds(const fs::path& dir, const fs::path& work) {
    fs::create_directories(dir);
    auto seed = [&](const std::string& name, const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(dir / name, std::ios::binary) << '\x08' << bytes;
    };
    for (int version : {1, 0}) {
        dex::test::WDatabase db = smallJet(version);
        if (version == 0) db.password = "pw";
        const fs::path file = work / ("v" + std::to_string(version) + ".mdb");
        dex::test::writeJetFile(file.string(), db);
        seed(version ? "file_jet4" : "file_jet3_password", file);
    }
    const fs::path shared = work / "shared.mdb";
    dex::test::writeJetFile(shared.string(), smallJet(1));
    dex::test::shareFirstLongValue(shared.string(), "notes", 6);
    seed("file_jet4_shared_memo", shared);
    const fs::path loop = work / "loop.mdb";
    dex::test::writeJetFile(loop.string(), smallJet(1));
    dex::test::loopFirstLongValue(loop.string(), "notes", 6);
    seed("file_jet4_looping_memo", loop);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR CORPUS_DIR\n", argv[0]);
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "dex_fuzz_seeds_XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path work = pattern, corpus = argv[2];
    try {
        sqlSeeds(argv[1], corpus / "sql_dialect", work);
        peSeeds(corpus / "pe_version");
        storeSeeds(corpus / "store_open", work);
        jetFileSeeds(corpus / "jet_tabledef", work);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
