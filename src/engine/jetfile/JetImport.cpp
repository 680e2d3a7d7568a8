#include "JetImport.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <random>

#include "JetFile.h"
#include "PrivateOutput.h"
#include "StoreBuilder.h"
#include "StoreErrors.h"

namespace dex {

using namespace jetfile;
namespace fs = std::filesystem;

namespace {

// The store under construction: a private name beside STORE, removed on any
// failure and on SIGINT, SIGTERM and SIGHUP, renamed to STORE at the end.
constexpr const char* kImportMark = ".import-";

std::string typeWordOf(const JetColumn& c) {
    switch (c.type) {
        case coltype::Bool: return "BIT";
        case coltype::Byte: return "BYTE";
        case coltype::Int: return "SMALLINT";
        case coltype::Long: return c.autonumber ? "AUTOINCREMENT" : "LONG";
        case coltype::Money: return "CURRENCY";
        case coltype::Float: return "REAL";
        case coltype::Double: return "DOUBLE";
        case coltype::DateTime: return "DATETIME";
        case coltype::Binary: return "BINARY(" + std::to_string(c.size) + ")";
        case coltype::Text: return "VARCHAR(" + std::to_string(c.size) + ")";
        case coltype::Ole: return "LONGBINARY";
        // LONGTEXT rather than MEMO: its SQLite affinity is text, so a memo
        // holding digits keeps its leading zeros.
        case coltype::Memo: return "LONGTEXT";
        case coltype::RepId: return "GUID";
        case coltype::Numeric:
            return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        default: return {};
    }
}

StoreTableSpec specOf(const JetTable& t, const JetSchema& schema) {
    StoreTableSpec spec;
    spec.name = t.name;
    for (const auto& c : t.columns) {
        StoreColumnSpec col;
        col.name = c.name;
        col.type = typeWordOf(c);
        if (col.type.empty())
            throw DbError(dberr::UnrecognizedFormat, "Table '" + t.name + "', column '" + c.name +
                                                         "': the column type " + std::to_string(c.type) +
                                                         " cannot be imported.");
        if (!c.defaultValue.empty()) col.defaultText = c.defaultValue;
        col.required = c.required;
        col.allowZeroLength = c.allowZeroLength;
        col.binary = c.type == coltype::Binary || c.type == coltype::Ole;
        spec.columns.push_back(std::move(col));
    }
    for (const auto& ix : t.indexes) {
        if (ix.kind == JetIndex::Kind::Primary && spec.primaryKey.empty()) {
            spec.primaryKeyName = ix.name;
            spec.primaryKey = ix.columns;
        } else if (ix.kind == JetIndex::Kind::Normal) {
            spec.indexes.push_back(StoreIndexSpec{ix.name, ix.unique, ix.columns, ix.descending});
        }
    }
    // A foreign index is the enforced relationship's: the store keeps it as
    // a named FOREIGN KEY constraint and reports the same index.
    for (const auto& r : schema.relationships)
        if (r.enforced && r.table == t.name)
            spec.foreignKeys.push_back(
                StoreForeignKeySpec{r.name, r.columns, r.refTable, r.refColumns, r.cascadeUpdate, r.cascadeDelete});
    return spec;
}

DbError inTable(const std::string& table, const DbError& e) {
    if (e.description().find("'" + table + "'") != std::string::npos) return e;
    return DbError(e.number(), "Table '" + table + "': " + e.description());
}

DbError storeExists(const std::string& store) {
    return DbError(jetstore::storeerr::DatabaseExists, "Database '" + store + "' already exists.");
}

// The value a store column can keep exactly: a Currency that is neither a
// double giving its units back nor a whole number comes as its exact text,
// which the store's CURRENCY column would turn into a rounded double.
void checkExact(const JetTable& t, const std::vector<Value>& row) {
    for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i)
        if (t.columns[i].type == coltype::Money && std::holds_alternative<std::string>(row[i]))
            throw DbError(dberr::Overflow, "Table '" + t.name + "', column '" + t.columns[i].name + "': the currency " +
                                               std::get<std::string>(row[i]) +
                                               " cannot be kept exactly in a store (a double holds amounts with "
                                               "decimals up to about 900,000,000,000).");
}

size_t bytesOf(const Value& v) {
    if (auto* s = std::get_if<std::string>(&v)) return s->size() + 8;
    return 8;
}

}  // namespace

void ImportJetFile(const std::string& jetPath, const std::string& storePath, const std::string& password,
                   const std::function<void(const ImportProgress&)>& onTable) {
    std::error_code ec;
    // A link (even a dangling one) or anything else at STORE is never replaced.
    if (fs::exists(fs::symlink_status(storePath, ec))) throw storeExists(storePath);
    std::unique_ptr<JetFile> jet = openJetFile(jetPath, password);
    const JetSchema& schema = jet->schema();
    std::vector<StoreTableSpec> specs;
    std::vector<const JetTable*> tables;
    for (const auto& t : schema.tables)
        if (!t.system) specs.push_back(specOf(t, schema)), tables.push_back(&t);

    // What a file can hold bounds what its rows may make in the store.
    const uint64_t fileBytes = fs::file_size(jetPath, ec);
    const uint64_t budget = (ec ? 0 : fileBytes) * kImportBytesPerFileByte + kImportBytesSlack;
    uint64_t made = 0;

    removeLeftovers(storePath, kImportMark);
    const std::string privatePath = privateNameFor(storePath, kImportMark);
    RemoveOnSignal guard(privatePath);
    {
        StoreBuilder store(privatePath, schema.hasPassword ? password : std::string());
        for (const auto& spec : specs) store.createTable(spec);
        int number = 0;
        for (size_t s = 0; s < specs.size(); ++s) {
            const StoreTableSpec& spec = specs[s];
            ImportProgress progress{spec.name, ++number, static_cast<int>(specs.size()), 0};
            auto writer = store.rows(spec);
            try {
                jet->readRows(spec.name, [&](const std::vector<Value>& row) {
                    checkExact(*tables[s], row);
                    for (const Value& v : row) made += bytesOf(v);
                    if (made > budget)
                        throw DbError(dberr::UnrecognizedFormat,
                                      "Unrecognized database format '" + jetPath + "': the file is damaged: its rows make more than " +
                                          std::to_string(budget) + " bytes, far more than a file of " +
                                          std::to_string(fileBytes) + " bytes holds (long values shared by many rows?) in table '" +
                                          spec.name + "'.");
                    writer.write(row);
                    ++progress.rows;
                    return true;
                });
            } catch (const DbError& e) {
                throw inTable(spec.name, e);
            }
            store.createIndexes(spec);
            if (onTable) onTable(progress);
        }
        store.finish();
    }
    // Never replaces what appeared at STORE meanwhile.
    if (const int err = renameNoReplace(privatePath, storePath)) {
        fs::remove(privatePath, ec);
        if (err == EEXIST) throw storeExists(storePath);
        throw DbError(3044, "The store '" + storePath + "' cannot be put in place (" + std::strerror(err) + ").");
    }
}

}  // namespace dex
