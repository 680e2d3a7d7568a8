#pragma once
// The store's model of one table as Jet declared it: columns with their type
// word and default text as written, the primary key and the named foreign
// keys. The model is rendered to the SQLite CREATE TABLE text that the file
// keeps; that text parses back into the same model.
#include <optional>
#include <string>
#include <vector>

namespace dex::jetstore {

struct ColumnDef {
    std::string name;
    std::string type;         // type word as written, e.g. "VARCHAR(10)", "LONG", "AUTOINCREMENT"
    std::optional<std::string> defaultText;  // as written: "\"\"", "0", "Now()", "NULL"
    bool notNull = false;
    // Required in Jet's terms but stored without SQLite's NOT NULL, because rows
    // exist that hold Null (a column added as DEFAULT NULL NOT NULL to a table
    // with rows) or because a trigger fills it after the insert (autonumber).
    bool storedNullable = false;
    bool primaryKey = false;  // PRIMARY KEY written on the column itself
    bool unique = false;
    // Jet's AllowZeroLength when it differs from the store's own rule (true
    // for Text and Memo, false otherwise); only an import sets it.
    std::optional<bool> allowZeroLength;
    std::string keyName;      // CONSTRAINT name of a PRIMARY KEY written on the column
    // The default text is kept in the annotation alone and SQLite gets no
    // default: a Jet default expression (such as "=Date()+1") that an import
    // brings and that SQLite cannot evaluate.
    bool defaultKeptAside = false;
};

struct ForeignKeyDef {
    std::string name;  // constraint name ("" when unnamed)
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;  // empty: the referenced table's primary key
    std::string actions;                  // " ON DELETE CASCADE ON UPDATE CASCADE", as written
};

struct TableModel {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey;  // column names, in key order
    std::string primaryKeyName;           // CONSTRAINT name of the key; "" reads as "PrimaryKey"
    std::vector<ForeignKeyDef> foreignKeys;
    std::vector<std::vector<std::string>> uniques;

    const ColumnDef* findColumn(const std::string& name) const;
    ColumnDef* findColumn(const std::string& name);
    const ForeignKeyDef* findForeignKey(const std::string& name) const;
};

// An AUTOINCREMENT / COUNTER column.
bool isAutoNumber(const ColumnDef& c);
// The autonumber column that is the table's whole primary key (an SQLite rowid alias).
const ColumnDef* rowidAutoNumber(const TableModel& t);
// Autonumber columns that need the trigger (part of a larger key or no key).
std::vector<const ColumnDef*> triggerAutoNumbers(const TableModel& t);

// The SQLite column definition text (name, type, constraints, annotations).
std::string renderColumn(const TableModel& t, const ColumnDef& c);
// The complete CREATE TABLE text under the given table name.
std::string renderCreateTable(const TableModel& t, const std::string& asName);
// The triggers that number trigger-based autonumber columns.
std::vector<std::string> renderAutoNumberTriggers(const TableModel& t);
std::string autoNumberTriggerName(const std::string& table, const std::string& column);

// The SQLite expression that implements a default text, e.g. Now() -> (datetime(...)).
// Empty when the text is taken by SQLite as it stands.
std::string defaultExpression(const std::string& defaultText);
// True when the default is an expression (Now()) that SQLite's ADD COLUMN refuses on a table with rows.
bool hasExpressionDefault(const ColumnDef& c);

// Whether a default text is one literal SQLite takes after DEFAULT as it
// stands (a signed number, a quoted text, NULL, True/False, Yes/No, On/Off).
bool defaultIsPlainLiteral(const std::string& defaultText);

// Annotation values are escaped so that no value can end the comment or
// split an item: '%', ';', '*' and '/' become %25, %3B, %2A, %2F.
std::string escapeAnnotation(const std::string& value);
std::string unescapeAnnotation(const std::string& value);

// SQLite's column affinity of the type the column is stored with.
char storedAffinity(const TableModel& t, const ColumnDef& c);

// DAO field facts from the declared type word.
struct DaoType {
    int code = 0;
    int size = 0;
};
DaoType daoTypeOf(const std::string& typeWord);

}  // namespace dex::jetstore
