#pragma once
// Our own reader of a table definition ("TDEF") as Jet 3 and Jet 4 store it:
// one or more pages of type 0x02 linked by their next-page pointer, read as
// one byte run (the first page whole, every further page without its 8-byte
// header). It yields the columns and both kinds of index entries:
//   physical entries: the indexed columns with their order, and flags
//     (0x01 unique, 0x02 ignore nulls, 0x08 required);
//   logical entries: the name, the physical entry used (index_num2), the type
//     (1 primary key, 2 foreign key, 0 other) and, for a foreign key, the
//     other table's definition page and index, cascade flags and this table's
//     side of the relationship.
// Pages come through a callback, so the reader can run on arbitrary bytes.
// Every count and offset is checked against what was read: damage ends in
// DbError(3343, "the file is damaged: <what> in table '<name>'").
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DbError.h"

namespace dex::jetfile {

struct TdefColumn {
    int type = 0;           // coltype
    int number = 0;         // column number (counts deleted columns); indexes and rows refer to it
    int varIndex = 0;       // position in a row's variable-length offset table
    int fixedOffset = 0;    // offset of a fixed-length value in a row
    int length = 0;         // stored length in bytes (Jet 4 text: two per character)
    uint8_t flags = 0;      // 0x01 fixed length, 0x04 auto-increment, 0x40 automatic GUID
    uint8_t miscFlags = 0;  // Jet 4 only (+16): 0x01 Unicode compression allowed
    int precision = 0, scale = 0;  // Numeric
    int sortOrder = 0;      // Text and Memo: Jet 4 at +11, Jet 3 at +9 (0x409 General)
    int sortVersion = 0;    // Jet 4 only (+13)
    int codePage = 0;       // Jet 3 only (+11)
    std::string rawName;    // Jet 3: code-page bytes; Jet 4: UCS-2 little-endian
    std::string raw;        // the descriptor as stored (25 bytes Jet 4, 18 Jet 3)
};

struct TdefIndexKey {
    int column = 0;         // TdefColumn::number
    bool descending = false;
};

struct TdefPhysicalIndex {
    std::vector<TdefIndexKey> keys;
    uint8_t flags = 0;      // 0x01 unique, 0x02 ignore nulls, 0x08 required
    uint32_t usageMap = 0;  // page << 8 | row of the index's usage map
    uint32_t rootPage = 0;  // the root of its B-tree ("first data page")
    // The count the definition's header keeps for it (the second word of its
    // header block). On Access-made files it usually equals the number of
    // distinct keys, but it lags behind or runs ahead of them after changes
    // (5 against 23, 50 against 41): a hint, not something to check.
    uint32_t uniqueEntryCount = 0;
    std::string raw;        // the entry as stored (52 bytes Jet 4, 39 Jet 3)
};

struct TdefLogicalIndex {
    int number = 0;         // index_num
    int physical = 0;       // index_num2: the physical entry it uses
    int type = 0;           // 1 primary key, 2 foreign key, 0 other
    int relationSide = 0;   // for a foreign key: 1 this table is referenced, 2 it refers
    int relatedIndex = -1;  // the other table's logical index number, -1 when none
    uint32_t relatedTablePage = 0;  // the other table's definition page
    bool cascadeUpdates = false, cascadeDeletes = false;
    std::string rawName;
    std::string raw;        // the entry as stored (28 bytes Jet 4, 20 Jet 3)
};

// A Memo or OLE column's own usage maps (Jet 4 lists them after the index names).
struct TdefLongValueMaps {
    int column = 0;         // TdefColumn::number
    uint32_t owned = 0, free = 0;  // page << 8 | row
};

struct TableDefinition {
    bool systemTable = false;  // table type byte 0x53
    int tableType = 0;         // 0x4E user table, 0x53 system table
    uint32_t rowCount = 0;
    uint32_t autonumber = 0;   // the next autonumber value, as stored
    int maxColumns = 0;
    int variableColumns = 0;
    uint32_t usageMap = 0;     // page << 8 | row of the map of the pages holding rows
    uint32_t freeMap = 0;      // the same for the pages with free space
    std::vector<TdefColumn> columns;  // in stored order
    std::vector<TdefPhysicalIndex> physicalIndexes;
    std::vector<TdefLogicalIndex> logicalIndexes;
    std::vector<TdefLongValueMaps> longValueMaps;
    int pageCount = 0;
    std::vector<uint32_t> pages;   // the definition's pages, first to last
    std::vector<uint8_t> bytes;    // the definition as stored, its pages joined
};

// Returns the bytes of one page (exactly pageSize of them), or an empty
// vector when the page does not exist (beyond the end of the file).
using PageSource = std::function<std::vector<uint8_t>(uint32_t page)>;

// Reads the definition starting at firstPage. tableName is only used in
// error messages. A definition may span at most maxPages pages.
TableDefinition readTableDefinition(uint32_t firstPage, bool jet3, int pageSize, const PageSource& pages,
                                    const std::string& tableName, int maxPages = 256);

// DbError 3343 "the file is damaged: <what> in table '<table>'".
DbError damagedTable(const std::string& what, const std::string& table);

}  // namespace dex::jetfile
