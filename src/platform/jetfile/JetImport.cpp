#include "JetImport.h"

#include <filesystem>

#include "JetFile.h"
#include "StoreBuilder.h"

namespace dex {

using namespace jetfile;

namespace {

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

}  // namespace

void ImportJetFile(const std::string& jetPath, const std::string& storePath, const std::string& password,
                   const std::function<void(const ImportProgress&)>& onTable) {
    std::unique_ptr<JetFile> jet = openJetFile(jetPath, password);
    const JetSchema& schema = jet->schema();
    std::vector<StoreTableSpec> specs;
    for (const auto& t : schema.tables)
        if (!t.system) specs.push_back(specOf(t, schema));

    StoreBuilder store(storePath, schema.hasPassword ? password : std::string());
    for (const auto& spec : specs) store.createTable(spec);
    int number = 0;
    for (const auto& spec : specs) {
        ImportProgress progress{spec.name, ++number, static_cast<int>(specs.size()), 0};
        auto writer = store.rows(spec);
        try {
            jet->readRows(spec.name, [&](const std::vector<Value>& row) {
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

}  // namespace dex
