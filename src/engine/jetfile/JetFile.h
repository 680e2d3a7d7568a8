#pragma once
// A real Jet (Access) database file, opened read-only: its structure as the
// table-definition pages declare it, and its rows. Every failure is a
// dex::DbError: 3024 missing file, 3343 not a Jet file or damaged, 3031 wrong
// password. The file is never opened for writing.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex::jetfile {

// Jet column types as a table definition stores them.
namespace coltype {
constexpr int Bool = 0x01, Byte = 0x02, Int = 0x03, Long = 0x04, Money = 0x05, Float = 0x06,
              Double = 0x07, DateTime = 0x08, Binary = 0x09, Text = 0x0A, Ole = 0x0B, Memo = 0x0C,
              RepId = 0x0F, Numeric = 0x10;
// Fixed-length binary data (3992 bytes) that Access 2000 and later use in
// MSysAccessObjects; read and reported as Binary.
constexpr int FixedBinary = 0x11;
}

struct JetColumn {
    std::string name;
    int type = 0;               // coltype
    int size = 0;               // DAO size: Text in characters (Jet 4 stores bytes), Binary in bytes,
                                // fixed types their storage size, Memo and OLE 0
    bool autonumber = false;    // Long with the auto-increment flag
    int precision = 0, scale = 0;  // Numeric only
    std::string defaultValue;   // the DefaultValue property as stored, "" when none
    bool required = false;
    bool allowZeroLength = false;
};

struct JetIndex {
    enum class Kind { Normal, Primary, Foreign };
    std::string name;
    Kind kind = Kind::Normal;
    bool unique = false;
    bool ignoreNulls = false;
    std::vector<std::string> columns;  // key order
    std::vector<bool> descending;      // one per column
    // A foreign index: the table and columns it refers to (from the
    // relationship of the same name, else from the definition's link to the
    // other table's index); "" / empty otherwise.
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
};

struct JetRelationship {
    std::string name;
    std::string table;     // the referencing table (MSysRelationships.szObject)
    std::string refTable;  // the referenced table
    std::vector<std::string> columns, refColumns;  // pairs in icolumn order
    bool enforced = false;
    bool cascadeUpdate = false, cascadeDelete = false;
};

struct JetTable {
    std::string name;
    bool system = false;           // MSys* and other system objects
    std::vector<JetColumn> columns;  // ordinal order
    // Primary, normal and the referencing side's foreign indexes; the
    // referenced side's internal counterparts (".rC", ...) are left out.
    std::vector<JetIndex> indexes;
};

// Local tables only: linked tables (catalog types 4 and 6) live in other files.
struct JetSchema {
    int version = 0;    // page 0 byte 0x14: 0 Jet 3, 1 Jet 4, 2 and above ACE
    int codePage = 0;
    bool hasPassword = false;  // the header holds a database password
    std::vector<JetTable> tables;  // sorted by name without regard to case, as the store sorts
    std::vector<JetRelationship> relationships;
};

class JetModel;

// Row values (dex::Value), exact wherever the value allows (JetValues.h, engineValue):
//   Null -> monostate; Bool -> int64 -1 / 0; Byte, Int, Long -> int64;
//   Money -> double (the stored 1/10000 units divided out) when that double gives the
//   units back, else a whole number, else the exact decimal text; Float, Double -> double;
//   DateTime -> text "YYYY-MM-DD HH:MM:SS", with decimals of the second where the
//   stored double needs them (a double when no text gives it back);
//   Text, Memo -> UTF-8 text (Jet 3 converted from the file's code page);
//   Binary, FixedBinary, Ole -> the raw bytes in a std::string; RepId -> "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
//   Numeric -> its decimal text ("-123.4500" with the column's scale).
// One open file: use it from one thread at a time.
class JetFile {
public:
    virtual ~JetFile() = default;
    virtual const std::string& path() const = 0;
    virtual const JetSchema& schema() const = 0;
    // The file as stored (catalog, definitions, exact rows).
    virtual const JetModel& model() const = 0;
    // Every row of the table in stored order. onRow returns false to stop.
    // Throws DbError -2147217865 for a missing table; 3343 "the file is damaged: ..." naming the table.
    virtual void readRows(const std::string& table,
                          const std::function<bool(const std::vector<Value>&)>& onRow) = 0;
};

// Opens a Jet 3 / Jet 4 file read-only and checks its database password as
// Jet does (a password given for a file without one is ignored).
std::unique_ptr<JetFile> openJetFile(const std::string& path, const std::string& password);

// The type mapping: whether a stored column type is one the reader knows
// (Jet 3/4 types; not ACE's complex columns), and its DAO size: Text in
// characters (Jet 4 stores two bytes each), Binary (and the fixed-length
// binary type 0x11) in bytes, fixed types their storage size, Decimal and
// GUID 16, Memo and OLE 0.
std::optional<int> daoSizeOf(int type, int storedLength, bool jet3);

}  // namespace dex::jetfile
