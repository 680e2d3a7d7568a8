#pragma once
// The tables of one store as models, read from the CREATE TABLE texts the file
// keeps. Parsed models are cached by their text, so repeated look-ups during a
// migration cost one catalogue query each.
//
// A schema-only edit rewrites a table's CREATE text without making the
// connection parse the whole schema again (SQLite re-reads every table after
// such an edit, which dominates a migration of hundreds of column changes).
// Until a statement needs the table, the connection's parsed copy of it is
// stale; refresh() has the connection re-read its schema before that
// statement runs. The stored text is always current: other connections and
// every look-up here read it.
#include <sqlite3.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "DdlModel.h"
#include "SqlTokenizer.h"
#include "SqliteHandles.h"

namespace dex::jetstore {

struct IndexInfo {
    std::string name;
    bool unique = false;
    bool createdByStatement = false;  // CREATE INDEX (not a key's own index)
    std::vector<std::string> columns;
    // The index's name in Jet's terms where it differs from SQLite's: Jet
    // names indexes per table, SQLite per file, so an import keeps a name
    // that another table's index already has in the index text's annotation.
    std::string jetName;
    const std::string& reportedName() const { return jetName.empty() ? name : jetName; }
};

// The Jet name an index text carries in its trailing annotation, or "".
std::string indexAnnotationName(const std::string& createIndexSql);

class SchemaCatalog {
public:
    explicit SchemaCatalog(sqlite3* db) : db_(db), cache_(db) {}
    // Every table except SQLite's own, in the file's order.
    std::vector<TableModel> tables();
    std::optional<TableModel> find(const std::string& name);
    TableModel require(const std::string& name);  // throws the missing-table error
    std::vector<IndexInfo> indexes(const std::string& table);
    // Every index's CREATE text by index name, read at once; indexes() given
    // them looks nothing up per index (for reading many tables' indexes).
    using IndexTexts = std::unordered_map<std::string, std::string>;
    IndexTexts indexTexts();
    std::vector<IndexInfo> indexes(const std::string& table, const IndexTexts* texts);
    bool indexExists(const std::string& name);
    // Tables other than 'table' whose foreign keys reference it.
    std::vector<std::string> referencingTables(const std::string& table);

    // True when the table has triggers other than the store's autonumber triggers.
    bool hasOwnTriggers(const std::string& table);
    bool hasViews();

    // The table's stored text is ahead of the connection's parsed schema.
    // columns: its columns changed (names, types, defaults), not only its
    // constraints, so that reads need the new text too.
    void markStale(const std::string& table, bool columns = true);
    bool isStale(const std::string& table) const { return stale_.count(upperText(table)) != 0; }
    bool columnsStale(const std::string& table) const;
    bool anyStale() const { return !stale_.empty(); }
    // Has the connection re-read its schema (on its next statement) when any
    // table is stale; refreshIfStale only when this one's columns are.
    void refresh();
    void refreshIfStale(const std::string& table);
    // True when some table has a foreign key of that name.
    bool foreignKeyExists(const std::string& name);

    StatementCache& statements() { return cache_; }
    // The model of a CREATE text just written, so that the next look-up
    // need not parse it.
    void remember(const std::string& sql, const TableModel& t);

private:
    const TableModel& parse(const std::string& sql);
    sqlite3* db_;
    StatementCache cache_;
    std::unordered_map<std::string, TableModel> models_;
    std::unordered_map<std::string, bool> stale_;  // upper-case name -> columns changed
};

}  // namespace dex::jetstore
