#pragma once
// The tables of one store as models, read from the CREATE TABLE texts the file
// keeps. Parsed models are cached by their text, so repeated look-ups during a
// migration cost one catalogue query each.
#include <sqlite3.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "DdlModel.h"

namespace dex::jet {

struct IndexInfo {
    std::string name;
    bool unique = false;
    bool createdByStatement = false;  // CREATE INDEX (not a key's own index)
    std::vector<std::string> columns;
};

class SchemaCatalog {
public:
    explicit SchemaCatalog(sqlite3* db) : db_(db) {}
    // Every table except SQLite's own, in the file's order.
    std::vector<TableModel> tables();
    std::optional<TableModel> find(const std::string& name);
    TableModel require(const std::string& name);  // throws the missing-table error
    std::vector<IndexInfo> indexes(const std::string& table);
    bool indexExists(const std::string& name);
    // Tables other than 'table' whose foreign keys reference it.
    std::vector<std::string> referencingTables(const std::string& table);

private:
    const TableModel& parse(const std::string& sql);
    sqlite3* db_;
    std::unordered_map<std::string, TableModel> cache_;
};

}  // namespace dex::jet
