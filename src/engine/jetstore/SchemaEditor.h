#pragma once
// Runs the DDL statements of the Jet dialect on a store: CREATE TABLE,
// ALTER TABLE (ADD/ALTER/DROP COLUMN, ADD/DROP CONSTRAINT of a foreign or
// primary key), CREATE INDEX,
// DROP TABLE and DROP INDEX. Jet's rules are checked first; a change that
// leaves every stored row valid edits the schema text only, anything else
// rebuilds the table the way SQLite documents it.
#include <sqlite3.h>

#include <functional>
#include <vector>

#include "ColumnKnowledge.h"
#include "DdlParser.h"
#include "SchemaCatalog.h"

namespace dex::jetstore {

class SchemaEditor {
public:
    // knowledge learns of columns added with a constant default and forgets
    // what a schema change may have made untrue.
    SchemaEditor(sqlite3* db, SchemaCatalog& catalog, ColumnKnowledge& knowledge)
        : db_(db), catalog_(catalog), knowledge_(knowledge) {}

    void createTable(const std::vector<Token>& tokens);
    void alterTable(const std::vector<Token>& tokens);
    void createIndex(const std::vector<Token>& tokens);
    void dropTable(const std::vector<Token>& tokens);
    void dropIndex(const std::vector<Token>& tokens);

private:
    void addColumn(const AlterStatement& a);
    void alterColumn(const AlterStatement& a);
    void addForeignKey(const AlterStatement& a);
    void addPrimaryKey(const AlterStatement& a);
    void dropConstraint(const AlterStatement& a);
    void dropPrimaryKey(const TableModel& t);
    void dropColumn(const AlterStatement& a);

    // Jet's rules for a new foreign key; completes names and referenced columns.
    void checkForeignKey(const TableModel& t, ForeignKeyDef& fk);
    bool hasRows(const std::string& table);
    // Replaces the table's CREATE text in place; check() runs before the commit.
    // The connection's parsed copy of the table is left stale (see
    // SchemaCatalog), so check() must not rely on the new text.
    // changed: the one column whose text is new, when only one is.
    void replaceSchema(const TableModel& t, const std::function<void()>& check,
                       const std::function<void()>& before = [] {}, const ColumnDef* changed = nullptr,
                       bool changedColumns = true);
    // The same, with the connection's schema re-read before check() runs.
    void replaceSchemaAndReload(const TableModel& t, const std::function<void()>& check);
    // Throws the store's error when SQLite would not accept the table's text.
    void validateCreateText(const TableModel& t, const ColumnDef* changed = nullptr);
    // True when some stored row may violate the foreign key.
    bool hasOrphans(const std::string& table, const ForeignKeyDef& fk);
    // SQLite's documented rebuild: new table, copy, drop, rename, restore.
    void rebuild(const TableModel& oldT, const TableModel& newT);
    void checkForeignKeysOf(const std::string& table);

    sqlite3* db_;
    SchemaCatalog& catalog_;
    ColumnKnowledge& knowledge_;
};

}  // namespace dex::jetstore
