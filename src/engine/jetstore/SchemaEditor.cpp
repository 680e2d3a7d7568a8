#include "SchemaEditor.h"

#include <algorithm>

#include "SqliteHandles.h"
#include "StoreErrors.h"

namespace dex::jetstore {
namespace {

// writable_schema for the span of one schema edit.
class WritableSchema {
public:
    explicit WritableSchema(sqlite3* db) : db_(db) {
        setDefensive(db, false);
        execSql(db, "PRAGMA writable_schema=ON");
    }
    ~WritableSchema() {
        sqlite3_exec(db_, "PRAGMA writable_schema=OFF", nullptr, nullptr, nullptr);
        setDefensive(db_, true);
    }
    WritableSchema(const WritableSchema&) = delete;
    WritableSchema& operator=(const WritableSchema&) = delete;

private:
    sqlite3* db_;
};

std::string columnList(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + quoteIdent(n);
    return out;
}

bool sameColumnSet(std::vector<std::string> a, std::vector<std::string> b) {
    if (a.size() != b.size()) return false;
    auto lower = [](std::vector<std::string>& v) {
        for (auto& s : v) s = upperText(s);
        std::sort(v.begin(), v.end());
    };
    lower(a);
    lower(b);
    return a == b;
}

// Declared names for the given column names; throws when one is missing.
std::vector<std::string> declaredNames(const TableModel& t, const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& n : names) {
        const ColumnDef* c = t.findColumn(n);
        if (!c) throw missingColumn(t.name, n);
        out.push_back(c->name);
    }
    return out;
}

DbError nullValueError(const std::string& table, const std::string& column) {
    return DbError(dberr::ConstraintViolation,
                   "Field '" + table + "." + column +
                       "' cannot contain a Null value because the Required property for this field "
                       "is set to True.  Enter a value in this field.");
}

}  // namespace

void SchemaEditor::createTable(const std::vector<Token>& tokens) {
    TableModel t = parseCreateTable(tokens, true);
    if (catalog_.find(t.name)) throw tableExists(t.name);
    t.primaryKey = declaredNames(t, t.primaryKey);
    for (auto& fk : t.foreignKeys) checkForeignKey(t, fk);
    Transaction tx(db_);
    execSql(db_, renderCreateTable(t, t.name));
    for (const auto& trigger : renderAutoNumberTriggers(t)) execSql(db_, trigger);
    tx.commit();
}

void SchemaEditor::alterTable(const std::vector<Token>& tokens) {
    AlterStatement a = parseAlterTable(tokens);
    if (a.kind != AlterStatement::AddColumn) knowledge_.clear();
    switch (a.kind) {
        case AlterStatement::AddColumn: return addColumn(a);
        case AlterStatement::AlterColumn: return alterColumn(a);
        case AlterStatement::AddForeignKey: return addForeignKey(a);
        case AlterStatement::AddPrimaryKey: return addPrimaryKey(a);
        case AlterStatement::DropConstraint: return dropConstraint(a);
        case AlterStatement::DropColumn: return dropColumn(a);
    }
}

bool SchemaEditor::hasRows(const std::string& table) {
    Statement st(db_, "SELECT 1 FROM " + quoteIdent(table) + " LIMIT 1");
    return st.step();
}

// Existing rows take the column's default, as SQLite's ADD COLUMN gives them; an
// expression default (Now()) is evaluated once for them. A NOT NULL column with
// no default (or DEFAULT NULL) leaves existing rows Null, as Jet does: it reads
// back as required, but the store keeps it nullable so that those rows stay
// valid, can be found with IS NULL and back-filled.
void SchemaEditor::addColumn(const AlterStatement& a) {
    TableModel t = catalog_.require(a.table);
    ColumnDef c = a.column;
    const bool rows = hasRows(t.name);
    if (rows && c.notNull && (!c.defaultText || equalsNoCase(*c.defaultText, "NULL"))) c.storedNullable = true;
    if (t.findColumn(c.name))
        throw syntaxError("Field '" + c.name + "' already exists in table '" + t.name + "'.");
    TableModel newT = t;
    newT.columns.push_back(c);
    if (c.primaryKey || c.unique || isAutoNumber(c)) {
        knowledge_.clear();
        if (c.primaryKey) newT.primaryKey = {c.name};
        rebuild(t, newT);
        if (isAutoNumber(c))
            execSql(db_, "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = rowid");
        return;
    }
    if (!hasExpressionDefault(c) || !rows) {
        // What SQLite's own ADD COLUMN writes (the column appended to the
        // stored text; existing rows read the default), minus its re-read of
        // the whole schema and its scan of the table's rows.
        replaceSchema(newT, [] {}, [] {}, &newT.columns.back());
        knowledge_.columnAdded(t.name, c.name, c.storedNullable ? std::nullopt : c.defaultText);
        return;
    }
    knowledge_.clear();
    std::string expr = c.defaultText ? defaultExpression(*c.defaultText) : std::string();
    replaceSchemaAndReload(newT, [&] {
        if (!expr.empty())
            execSql(db_, "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = " + expr);
    });
}

namespace {

// The numeric affinities store a value the same way except that REAL turns
// integers into floating point when they are read, which is also what a
// rebuild into a REAL column gives. INTEGER and NUMERIC differ only in CAST.
// So the stored rows stay as a rebuild would leave them when the affinity
// stays, moves between INTEGER and NUMERIC, or moves from either to REAL.
bool storedFormKept(char from, char to) {
    auto integral = [](char a) { return a == 'I' || a == 'N'; };
    return from == to || (integral(from) && (integral(to) || to == 'R'));
}

}  // namespace

// A change of declared type, size, default or nullability whose stored form keeps
// the column's affinity edits the schema only; anything else rebuilds.
void SchemaEditor::alterColumn(const AlterStatement& a) {
    TableModel t = catalog_.require(a.table);
    const ColumnDef* old = t.findColumn(a.column.name);
    if (!old) throw missingColumn(t.name, a.column.name);
    ColumnDef c = a.column;
    c.name = old->name;
    c.primaryKey = old->primaryKey;
    c.unique = old->unique;
    TableModel newT = t;
    *newT.findColumn(c.name) = c;
    // Only the autonumber key itself is the table's rowid: another column of
    // such a table changes like any column.
    bool keyed = rowidAutoNumber(t) == old || rowidAutoNumber(newT) == newT.findColumn(c.name);
    bool schemaOnly = !isAutoNumber(*old) && !isAutoNumber(c) && !keyed &&
                      storedFormKept(storedAffinity(t, *old), storedAffinity(newT, c));
    if (!schemaOnly) return rebuild(t, newT);
    // Checked against the old schema: once NOT NULL is declared SQLite takes IS NULL as false.
    bool nullCheck = c.notNull && (!old->notNull || old->storedNullable);
    // Rows stored before the column was added hold no value of their own and
    // read its default: writing them out keeps what they read now.
    bool newDefault = old->defaultText != c.defaultText;
    const ColumnDef* changed = newT.findColumn(c.name);
    replaceSchema(newT, [] {}, [&] {
        if (nullCheck || newDefault) catalog_.refreshIfStale(t.name);  // the column may not be parsed yet
        if (newDefault) execSql(db_, "UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = " + quoteIdent(c.name));
        if (!nullCheck) return;
        Statement st(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE " + quoteIdent(c.name) + " IS NULL LIMIT 1");
        if (st.step()) throw nullValueError(t.name, c.name);
    }, changed);
}

void SchemaEditor::checkForeignKey(const TableModel& t, ForeignKeyDef& fk) {
    if (!fk.name.empty()) {
        if (catalog_.foreignKeyExists(fk.name)) throw constraintExists(fk.name);
        if (catalog_.indexExists(fk.name)) throw indexExists(fk.name);
    }
    fk.columns = declaredNames(t, fk.columns);
    TableModel rt = equalsNoCase(fk.refTable, t.name) ? t : catalog_.require(fk.refTable);
    fk.refTable = rt.name;
    fk.refColumns = declaredNames(rt, fk.refColumns.empty() ? rt.primaryKey : fk.refColumns);
    if (fk.refColumns.empty() || fk.refColumns.size() != fk.columns.size())
        throw syntaxError("Relationships must be on the same number of fields with the same data types.");
    bool keyed = sameColumnSet(fk.refColumns, rt.primaryKey);
    for (const auto& u : rt.uniques) keyed = keyed || sameColumnSet(fk.refColumns, u);
    if (!keyed && catalog_.find(rt.name))
        for (const auto& ix : catalog_.indexes(rt.name)) keyed = keyed || (ix.unique && sameColumnSet(fk.refColumns, ix.columns));
    if (!keyed) throw syntaxError("No unique index found for the referenced field of the primary table.");
    for (size_t i = 0; i < fk.columns.size(); ++i)
        if (daoTypeOf(t.findColumn(fk.columns[i])->type).code != daoTypeOf(rt.findColumn(fk.refColumns[i])->type).code)
            throw syntaxError("Relationships must be on the same number of fields with the same data types.");
}

// Whether some row has a full key (no part Null) that no parent row holds: what
// foreign_key_check reports for the constraint. Both sides have the same
// type, hence the same affinity, so = compares as the constraint does.
bool SchemaEditor::hasOrphans(const std::string& table, const ForeignKeyDef& fk) {
    std::string full, match;
    for (size_t i = 0; i < fk.columns.size(); ++i) {
        const std::string child = "c." + quoteIdent(fk.columns[i]);
        full += " AND " + child + " IS NOT NULL";
        match += std::string(i ? " AND " : "") + "p." + quoteIdent(fk.refColumns[i]) + " = " + child;
    }
    Statement st(db_, "SELECT 1 FROM " + quoteIdent(table) + " AS c WHERE 1" + full + " AND NOT EXISTS (SELECT 1 FROM " +
                          quoteIdent(fk.refTable) + " AS p WHERE " + match + ") LIMIT 1");
    return st.step();
}

// Adding a foreign key never changes a row: the constraint joins the schema text
// once a search for orphans proves the stored rows satisfy it.
void SchemaEditor::addForeignKey(const AlterStatement& a) {
    TableModel t = catalog_.require(a.table);
    ForeignKeyDef fk = a.foreignKey;
    checkForeignKey(t, fk);
    TableModel newT = t;
    newT.foreignKeys.push_back(fk);
    catalog_.refreshIfStale(t.name);  // the search reads both tables' columns
    catalog_.refreshIfStale(fk.refTable);
    replaceSchema(newT, [&] {
        if (hasOrphans(t.name, fk))
            throw DbError(dberr::ConstraintViolation,
                          "Data in table '" + t.name + "' violates referential integrity rules; the "
                          "relationship '" + fk.name + "' cannot be created.");
    }, [] {}, nullptr, false);
}

// A primary key changes the table's key index (and may make an autonumber
// column the row id), so it is added by a rebuild, once Jet's rules hold: one
// key per table, a name no index or constraint of the table has, no key
// field Null, no key value twice.
void SchemaEditor::addPrimaryKey(const AlterStatement& a) {
    TableModel t = catalog_.require(a.table);
    if (!t.primaryKey.empty()) throw syntaxError("Primary key already exists.");
    if (t.findForeignKey(a.name)) throw indexExists(a.name);
    for (const auto& ix : catalog_.indexes(t.name))
        if (ix.createdByStatement && equalsNoCase(ix.reportedName(), a.name)) throw indexExists(a.name);
    TableModel newT = t;
    newT.primaryKey = declaredNames(t, a.keyColumns);
    newT.primaryKeyName = a.name;
    catalog_.refreshIfStale(t.name);  // the checks read the key columns
    std::string anyNull, columns;
    for (const auto& c : newT.primaryKey) {
        anyNull += (anyNull.empty() ? "" : " OR ") + quoteIdent(c) + " IS NULL";
        columns += (columns.empty() ? "" : ", ") + quoteIdent(c);
    }
    if (Statement(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " WHERE " + anyNull + " LIMIT 1").step())
        throw DbError(dberr::ConstraintViolation, "Index or primary key cannot contain a Null value.");
    if (Statement(db_, "SELECT 1 FROM " + quoteIdent(t.name) + " GROUP BY " + columns + " HAVING COUNT(*) > 1 LIMIT 1").step())
        throw DbError(dberr::ConstraintViolation,
                      "The changes you requested to the table were not successful because they would create "
                      "duplicate values in the index, primary key, or relationship.");
    rebuild(t, newT);
}

void SchemaEditor::dropConstraint(const AlterStatement& a) {
    TableModel t = catalog_.require(a.table);
    auto it = std::find_if(t.foreignKeys.begin(), t.foreignKeys.end(),
                           [&](const ForeignKeyDef& f) { return equalsNoCase(f.name, a.name); });
    if (it == t.foreignKeys.end()) {
        // The primary key answers to its name, "PrimaryKey" when it has none.
        const std::string keyName = t.primaryKeyName.empty() ? "PrimaryKey" : t.primaryKeyName;
        if (!t.primaryKey.empty() && equalsNoCase(keyName, a.name)) return dropPrimaryKey(t);
        throw syntaxError("CONSTRAINT '" + a.name + "' does not exist.");
    }
    t.foreignKeys.erase(it);
    replaceSchema(t, [] {}, [] {}, nullptr, false);
}

// Jet keeps a primary key that a relationship refers to (unless a unique
// index of the same fields can serve it); otherwise the table is rebuilt
// without it.
void SchemaEditor::dropPrimaryKey(const TableModel& t) {
    bool otherKey = false;
    for (const auto& u : t.uniques) otherKey = otherKey || sameColumnSet(u, t.primaryKey);
    for (const auto& ix : catalog_.indexes(t.name))
        otherKey = otherKey || (ix.createdByStatement && ix.unique && sameColumnSet(ix.columns, t.primaryKey));
    for (const auto& other : catalog_.tables())
        for (const auto& fk : other.foreignKeys)
            if (equalsNoCase(fk.refTable, t.name) && (fk.refColumns.empty() || (sameColumnSet(fk.refColumns, t.primaryKey) && !otherKey)))
                throw syntaxError("Cannot delete this index or table.  It is either the current index or is used in "
                                  "a relationship (" + (fk.name.empty() ? other.name : fk.name) + ").");
    TableModel newT = t;
    newT.primaryKey.clear();
    newT.primaryKeyName.clear();
    for (auto& c : newT.columns) {
        c.primaryKey = false;
        c.keyName.clear();
    }
    rebuild(t, newT);
}

void SchemaEditor::dropColumn(const AlterStatement& a) {
    catalog_.refresh();  // SQLite's DROP COLUMN edits the text it has parsed
    TableModel t = catalog_.require(a.table);
    const ColumnDef* c = t.findColumn(a.name);
    if (!c) throw missingColumn(t.name, a.name);
    execSql(db_, "ALTER TABLE " + quoteIdent(t.name) + " DROP COLUMN " + quoteIdent(c->name));
}

void SchemaEditor::createIndex(const std::vector<Token>& tokens) {
    CreateIndexStatement s = parseCreateIndex(tokens);
    TableModel t = catalog_.require(s.table);
    catalog_.refreshIfStale(t.name);
    auto cols = declaredNames(t, s.columns);
    if (catalog_.indexExists(s.name) || t.findForeignKey(s.name)) throw indexExists(s.name);
    execSql(db_, std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " + quoteIdent(s.name) + " ON " +
                     quoteIdent(t.name) + " (" + columnList(cols) + ")");
}

void SchemaEditor::dropTable(const std::vector<Token>& tokens) {
    catalog_.refresh();  // SQLite consults every table's foreign keys when dropping one
    DropStatement s = parseDrop(tokens);
    TableModel t = catalog_.require(s.name);
    auto refs = catalog_.referencingTables(t.name);
    if (!refs.empty())
        throw syntaxError("Cannot delete table '" + t.name + "'; it is part of one or more relationships (table '" +
                          refs.front() + "').");
    execSql(db_, "DROP TABLE " + quoteIdent(t.name));
}

void SchemaEditor::dropIndex(const std::vector<Token>& tokens) {
    catalog_.refresh();
    DropStatement s = parseDrop(tokens);
    // With ON table, the index is looked up by its Jet name on that table first.
    if (!s.table.empty())
        for (const auto& ix : catalog_.indexes(s.table))
            if (ix.createdByStatement && !ix.jetName.empty() && equalsNoCase(ix.jetName, s.name)) {
                execSql(db_, "DROP INDEX " + quoteIdent(ix.name));
                return;
            }
    if (!catalog_.indexExists(s.name)) throw syntaxError("Index '" + s.name + "' not found.");
    execSql(db_, "DROP INDEX " + quoteIdent(s.name));
}

// SQLite parses the text as it would a new table's (preparing is enough: a
// type, default or constraint it cannot take fails here), under a name no
// table has, so that a text it would refuse never reaches the schema. With
// changed set, only that column is new to SQLite and only it is parsed.
void SchemaEditor::validateCreateText(const TableModel& t, const ColumnDef* changed) {
    if (!changed) {
        Statement probe(db_, renderCreateTable(t, "jet_schema_check"));
        return;
    }
    TableModel single;
    single.columns.push_back(*changed);
    single.columns.back().primaryKey = false;
    single.columns.back().unique = false;
    Statement probe(db_, renderCreateTable(single, "jet_schema_check"));
}

// The schema-only edit of SQLite's ALTER TABLE documentation: no row is copied.
// Creating and dropping a scratch table in the same transaction changes the
// schema cookie the way SQLite's own DDL does: other connections re-read the
// schema, while this one keeps its parsed copy, now stale for this table.
void SchemaEditor::replaceSchema(const TableModel& t, const std::function<void()>& check,
                                 const std::function<void()>& before, const ColumnDef* changed,
                                 bool changedColumns) {
    validateCreateText(t, changed);
    const std::string text = renderCreateTable(t, t.name);
    Transaction tx(db_);
    before();
    {
        WritableSchema writable(db_);
        Statement st(db_, "UPDATE sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2");
        st.bind(1, text).bind(2, t.name);
        st.step();
    }
    execSql(db_, "CREATE TABLE jet_schema_mark (x); DROP TABLE jet_schema_mark");
    check();
    tx.commit();
    catalog_.markStale(t.name, changedColumns);
    catalog_.remember(text, t);
}

void SchemaEditor::replaceSchemaAndReload(const TableModel& t, const std::function<void()>& check) {
    validateCreateText(t);
    Transaction tx(db_);
    int64_t version = queryInt(db_, "PRAGMA schema_version");
    {
        WritableSchema writable(db_);
        Statement st(db_, "UPDATE sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2");
        st.bind(1, renderCreateTable(t, t.name)).bind(2, t.name);
        st.step();
        execSql(db_, "PRAGMA schema_version=" + std::to_string(version + 1));
    }
    Statement reload(db_, "SELECT * FROM " + quoteIdent(t.name) + " LIMIT 0");  // the connection parses the new text
    check();
    tx.commit();
}

void SchemaEditor::checkForeignKeysOf(const std::string& table) {
    Statement st(db_, "SELECT 1 FROM pragma_foreign_key_check(?1) LIMIT 1");
    st.bind(1, table);
    if (st.step())
        throw DbError(dberr::ConstraintViolation,
                      "Data in table '" + table + "' violates referential integrity rules.");
}

void SchemaEditor::rebuild(const TableModel& oldT, const TableModel& newT) {
    catalog_.refresh();  // the copy and SQLite's RENAME work on the parsed schema
    ForeignKeysOff fkOff(db_);
    Transaction tx(db_);
    std::vector<std::string> restore;
    Statement objs(db_, "SELECT sql FROM sqlite_master WHERE tbl_name = ?1 AND sql IS NOT NULL AND "
                        "(type = 'index' OR (type = 'trigger' AND name NOT LIKE 'jet\\_autonumber\\_%' ESCAPE '\\'))");
    objs.bind(1, oldT.name);
    while (objs.step()) restore.push_back(objs.columnText(0));
    int64_t seq = 0;
    if (catalog_.find("sqlite_sequence")) {
        Statement s(db_, "SELECT seq FROM sqlite_sequence WHERE name = ?1");
        s.bind(1, oldT.name);
        if (s.step()) seq = s.columnInt(0);
    }
    const std::string tmp = "jet_rebuild_" + oldT.name;
    execSql(db_, renderCreateTable(newT, tmp));
    std::vector<std::string> common;
    for (const auto& c : newT.columns)
        if (oldT.findColumn(c.name)) common.push_back(c.name);
    execSql(db_, "INSERT INTO " + quoteIdent(tmp) + " (" + columnList(common) + ") SELECT " + columnList(common) +
                     " FROM " + quoteIdent(oldT.name));
    execSql(db_, "DROP TABLE " + quoteIdent(oldT.name));
    execSql(db_, "ALTER TABLE " + quoteIdent(tmp) + " RENAME TO " + quoteIdent(newT.name));
    for (const auto& sql : restore) execStoredStatement(db_, sql);
    for (const auto& trigger : renderAutoNumberTriggers(newT)) execSql(db_, trigger);
    if (seq > 0 && rowidAutoNumber(newT)) {
        Statement up(db_, "UPDATE sqlite_sequence SET seq = MAX(seq, ?1) WHERE name = ?2");
        up.bind(1, seq).bind(2, newT.name);
        up.step();
        if (sqlite3_changes(db_) == 0) {
            Statement ins(db_, "INSERT INTO sqlite_sequence (name, seq) VALUES (?2, ?1)");
            ins.bind(1, seq).bind(2, newT.name);
            ins.step();
        }
    }
    checkForeignKeysOf(newT.name);
    for (const auto& ref : catalog_.referencingTables(newT.name)) checkForeignKeysOf(ref);
    tx.commit();
}

}  // namespace dex::jetstore
