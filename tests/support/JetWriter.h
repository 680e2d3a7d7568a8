#pragma once
// Real Jet (Access) database files for the tests and benchmarks, Jet 4
// and Jet 3, made from a plain description of tables, indexes,
// relationships and rows: the product's writer (JetFileWriter.h) behind the
// tests' simpler description, with values in the engines' forms.
// By default the logical entries are numbered and stored with the primary,
// unique and normal indexes first, each on the physical entry of the same
// number, so that libmdb (which matches by number) lists them correctly.
// Jet 3 files get empty trees for text indexes (their sort order's codes
// are not known).
//
// Row values use the reader's conventions (JetFile.h): Bool -1/0 (any
// nonzero is true; Null is stored as false), Money a double (or exact
// decimal text), DateTime text "YYYY-MM-DD[ HH:MM:SS]" (or a double in Jet's
// day numbers), Binary/OLE raw bytes in a std::string, RepId "{GUID}" text,
// Numeric decimal text (or a number), Text/Memo UTF-8.
#include <functional>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex::test {

struct WColumn {
    std::string name;
    int type = 0;  // dex::jetfile::coltype: Bool 0x01 ... Numeric 0x10
    int size = 0;  // Text: characters (0 = 255); Binary: bytes (0 = 255)
    bool autonumber = false;  // Long (or RepId) filled by the engine
    std::string defaultValue;  // the DefaultValue property as written, "" = none
    bool required = false;
    bool allowZeroLength = false;  // written for Text and Memo columns
    int precision = 18, scale = 0;  // Numeric
};

struct WIndex {
    std::string name;
    bool primary = false;
    bool unique = false;
    std::vector<std::string> columns;
    std::vector<bool> descending;  // empty = all ascending
};

struct WTable {
    std::string name;
    std::vector<WColumn> columns;
    std::vector<WIndex> indexes;
    std::vector<std::vector<dex::Value>> rows;  // one value per column, in column order
};

struct WRelationship {
    std::string name;      // "" = refTable + table, as Access names them
    std::string table;     // the referencing table
    std::string refTable;  // the referenced table
    std::vector<std::string> columns, refColumns;
    bool enforced = true, cascadeUpdate = false, cascadeDelete = false;
};

struct WDatabase {
    int version = 1;      // 1 Jet 4, 0 Jet 3
    int codePage = 1252;  // page 0's code page; Jet 3 text is stored in it (e.g. 949)
    std::string password;
    std::vector<WTable> tables;
    std::vector<WRelationship> relationships;
    // Logical index numbers that differ from the physical ones: a foreign key
    // shares the physical index of an index over the same columns, the
    // physical entries are stored in reverse order (index_num2 != index_num)
    // and the logical entries sorted by name, as Access leaves them.
    bool physicalIndexGap = false;
    // Page 0's creation date (also the key of the Jet 4 password mask).
    std::string created = "2024-03-15 09:30:00";
};

// Writes the file (replacing it). Throws std::runtime_error naming the table,
// column or row when the description cannot be written (unknown column,
// value out of range, text longer than its column, row larger than a page,
// relationship without a unique index on the referenced columns, ...).
void writeJetFile(const std::string& path, const WDatabase& db);

// A Jet 4 description of a store's structure and rows: every table whose name
// does not start with "MSys"; DAO type codes mapped to Jet column types (Long
// stays Long: a TableDef cannot tell an autonumber); primary and other indexes
// as WIndex; each foreign IndexDef as an enforced WRelationship named after it.
WDatabase fromTableDefs(const std::vector<dex::TableDef>& tables,
                        const std::function<std::vector<std::vector<dex::Value>>(const std::string& table)>& rowsOf);

}  // namespace dex::test
