// Helper of bench/import-run.sh: makes Jet 4 files of the vardoII base schema
// with customer, product_m and sale filled to a number of rows.
//   bench_import make-jet OUT.mdb ROWS   the store sample, then its Jet 4 twin
//   bench_import make-shared OUT.mdb ROWS  ROWS rows whose memos all point at one chain of 64 KB
//   bench_import make-loop OUT.mdb         one row whose memo chain comes back to its first page
//   bench_import make-store OUT.mdb ROWS   the store sample alone, with an index on customer.compname (Korean names)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "BenchSamples.h"
#include "JetStore.h"
#include "JetDamage.h"
#include "JetWriter.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::vector<dex::Value>> rowsOf(dex::DbEngine& engine, const std::string& path, const std::string& table) {
    auto conn = engine.openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                                      ";Jet OLEDB:Database Password=kt5316");
    auto rs = conn->query("SELECT * FROM [" + table + "]");
    std::vector<std::vector<dex::Value>> rows;
    for (; !rs->eof(); rs->moveNext()) {
        std::vector<dex::Value> row;
        for (int i = 0; i < rs->fieldCount(); ++i) row.push_back(rs->field(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

int makeJet(const std::string& out, int rows) {
    const std::string store = out + ".store";
    fs::remove(store);
    dex::bench::MakeVardoSample(store, rows);
    auto engine = dex::makeJetStoreEngine();
    std::vector<dex::TableDef> tables;
    for (auto& t : engine->openDatabase(store, 0, true, ";pwd=kt5316")->tableDefs())
        if (t.name.rfind("MSys", 0) != 0) tables.push_back(t);
    auto db = dex::test::fromTableDefs(tables, [&](const std::string& t) { return rowsOf(*engine, store, t); });
    db.password = "kt5316";
    fs::remove(out);
    dex::test::writeJetFile(out, db);
    fs::remove(store);
    return 0;
}

// A table (id Long, note Memo): the memo starts 6 bytes into each row.
dex::test::WDatabase memoTable(int rows, size_t memoBytes) {
    dex::test::WDatabase db;
    db.tables.push_back(dex::test::memoTable("notes", rows, memoBytes));
    return db;
}

int makeShared(const std::string& out, int rows) {
    dex::test::writeJetFile(out, memoTable(rows, 65536));
    dex::test::shareFirstLongValue(out, "notes", 6);
    return 0;
}

int makeLoop(const std::string& out) {
    dex::test::writeJetFile(out, memoTable(1, 65536));
    dex::test::loopFirstLongValue(out, "notes", 6);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::string(argv[1]) == "make-jet") return makeJet(argv[2], std::atoi(argv[3]));
        if (argc == 4 && std::string(argv[1]) == "make-shared") return makeShared(argv[2], std::atoi(argv[3]));
        if (argc == 3 && std::string(argv[1]) == "make-loop") return makeLoop(argv[2]);
        if (argc == 4 && std::string(argv[1]) == "make-store")
            return dex::bench::MakeVardoSample(argv[2], std::atoi(argv[3]), 2), 0;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    std::cerr << "usage: bench_import make-jet OUT.mdb ROWS | make-shared OUT.mdb ROWS | make-loop OUT.mdb | make-store OUT.mdb ROWS\n";
    return 2;
}
