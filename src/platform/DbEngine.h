#pragma once
// The database engine as the rest of the program sees it: a DAO side for
// reading structures and compacting, an ADO side for statements and row sets.
// Every failure is thrown as dex::DbError (number + description).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "DbError.h"
#include "NameText.h"

namespace dex {

// A field value as a row set hands it out: Null, a whole number, a floating
// number or a text (dates come back as their stored text).
using Value = std::variant<std::monostate, int64_t, double, std::string>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }
// Text of a value the way the runtime converts it: Null gives "", whole
// numbers in decimal, floating numbers in their shortest round-trip form
// without a trailing ".0".
std::string valueToText(const Value& v);

// DAO field type codes.
namespace daotype {
constexpr int Boolean = 1, Byte = 2, Integer = 3, Long = 4, Currency = 5, Single = 6,
              Double = 7, Date = 8, Binary = 9, Text = 10, LongBinary = 11, Memo = 12,
              Guid = 15, Decimal = 20;
}

struct FieldDef {
    std::string name;
    int type = 0;              // DAO type code
    int size = 0;              // Text: declared length; others: storage size
    std::string defaultValue;  // default text as written, "" when none
    bool required = false;
    bool allowZeroLength = false;
};

struct IndexDef {
    std::string name;
    bool primary = false;
    bool foreign = false;
    bool unique = false;
    std::vector<std::string> fields;
    // A foreign index: the table and fields it refers to ("" / empty otherwise).
    std::string referencedTable;
    std::vector<std::string> referencedFields;
};

struct TableDef {
    std::string name;
    std::vector<FieldDef> fields;     // ordinal order
    std::vector<IndexDef> indexes;
};

// The table of that name, letter case ignored; null when there is none.
inline const TableDef* findTable(const std::vector<TableDef>& tables, const std::string& name) {
    for (const auto& t : tables)
        if (equalsNoCase(t.name, name)) return &t;
    return nullptr;
}

// An open database on the DAO side.
class DaoDatabase {
public:
    virtual ~DaoDatabase() = default;
    // Every table, system tables included, in the engine's own order.
    virtual std::vector<TableDef> tableDefs() = 0;
    virtual void close() = 0;
};

// A forward-only, read-only row set with its row count known at open.
class Recordset {
public:
    virtual ~Recordset() = default;
    static constexpr int StateClosed = 0, StateOpen = 1;
    virtual int state() const = 0;
    virtual bool eof() const = 0;
    virtual int fieldCount() const = 0;
    virtual Value field(int index) const = 0;  // throws when closed or at end of data
    // The name of column index as the statement gave it; throws when closed.
    virtual std::string fieldName(int index) const = 0;
    virtual long recordCount() const = 0;
    virtual void moveNext() = 0;
    virtual void close() = 0;
};

// One connection on the ADO side.
class Connection {
public:
    virtual ~Connection() = default;
    // Runs one statement; returns the number of affected rows (0 for queries).
    virtual int64_t execute(const std::string& sql) = 0;
    // Runs a query and hands back its rows.
    virtual std::unique_ptr<Recordset> query(const std::string& sql) = 0;
    virtual void close() = 0;
};

class DbEngine {
public:
    virtual ~DbEngine() = default;
    // DAO open: connect is ";pwd=PW" or empty.
    virtual std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int options,
                                                      bool readOnly, const std::string& connect) = 0;
    // DAO compact: source connect text ";pwd=PW"; the destination must not exist.
    virtual void compactDatabase(const std::string& source, const std::string& destination,
                                 const std::string& sourceConnect) = 0;
    // ADO open: "Provider=...;Data Source=PATH[;Jet OLEDB:Database Password=PW]".
    virtual std::unique_ptr<Connection> openConnection(const std::string& connectionString) = 0;
};

}  // namespace dex
