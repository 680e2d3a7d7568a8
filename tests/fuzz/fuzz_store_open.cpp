// Fuzz target for opening a store file: a damaged or forged file must end in
// a DbError (or in a structure), never in a crash, a hang or a sanitizer
// report. SQLite checks its own pages; what is ours is the format and
// password check, the reading of every table's stored CREATE TABLE text and
// index texts into DAO terms, and the row sets of the ADO side.
//
// Input: the bytes of a file. They are written to store.mdb in a private
// folder (made once per process); the DAO side opens it read-only and reads
// every table definition, the ADO side opens it and reads MSysStore and the
// first rows of a few tables. Files SQLite may leave beside it (journal,
// WAL) are removed after each input so that runs do not depend on each other.
//
// The real fuzzer: see fuzz_jet_tabledef.cpp (target fuzz_store_open, seeds
// in tests/fuzz/corpus/store_open).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzTempFolder.h"
#include "JetStore.h"
#include "SqlTokenizer.h"

namespace {

[[noreturn]] void finding(const std::string& what) {
    std::fprintf(stderr, "fuzz_store_open: %s\n", what.c_str());
    std::abort();
}

// The store's path, in a private folder made once per process.
const std::string& storePath() {
    static const dex::test::TempFolder folder("dex_fuzz_store");
    static const std::string path = folder.file("store.mdb");
    return path;
}

// The file and anything SQLite may have left beside it.
void removeStore() {
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(storePath() + suffix, ec);
}

// A few rows of a table, every field read.
void readRows(dex::Connection& conn, const std::string& sql) {
    try {
        auto rs = conn.query(sql);
        for (int row = 0; row < 8 && rs->state() == dex::Recordset::StateOpen && !rs->eof(); ++row) {
            for (int i = 0; i < rs->fieldCount(); ++i) dex::valueToText(rs->field(i));
            rs->moveNext();
        }
    } catch (const dex::DbError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    removeStore();
    const std::string& path = storePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) finding("cannot write the store file");
    }

    dex::JetStoreOptions options;
    options.busyTimeoutMs = 0;  // nothing else holds the file: never wait
    auto engine = dex::makeJetStoreEngine(options);

    std::vector<std::string> tables;
    try {
        auto db = engine->openDatabase(path, 0, true, "");
        for (const auto& t : db->tableDefs()) {
            volatile size_t seen = t.fields.size() + t.indexes.size();
            (void)seen;
            if (tables.size() < 4) tables.push_back(t.name);
        }
        db->close();
    } catch (const dex::DbError&) {
    }

    try {
        auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        readRows(*conn, "SELECT key, value FROM MSysStore");
        for (const auto& t : tables) readRows(*conn, "SELECT * FROM " + dex::jetstore::quoteIdent(t));
        conn->close();
    } catch (const dex::DbError&) {
    }
    removeStore();
    return 0;
}
