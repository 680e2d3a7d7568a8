#pragma once
// One table of a Jet file being written: its planned columns and indexes,
// the encoding of its rows, their index entries and the writing of its
// pages (data and LVAL pages, index B-trees, usage maps, the definition).
#include <functional>
#include <string>
#include <vector>

#include "IndexKey.h"
#include "JetFileWriter.h"
#include "JetWritePages.h"

namespace dex::jetfile::jetwrite {

struct ColumnPlan {
    JetWriteColumn def;
    int number = 0;  // column number: also the row's null-mask bit
    bool fixed = true;
    int fixedOffset = 0, varIndex = 0;
    int storedLength = 0;  // the definition's column length (Jet 4 text: bytes)
    int flags = 0;         // 0x01 fixed, 0x02 updatable, 0x04 / 0x40 autonumber, 0x10 system
    bool compressed = false;  // Jet 4 text: Unicode compression allowed
    int sortOrder = 0x409;
    bool longValue() const;
};

struct PhysicalIndex {
    std::vector<int> columns;  // column numbers
    std::vector<bool> ascending;
    int flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required, 0x80 (Jet 4)
    std::string name;  // the first logical index that uses it, for messages
    int source = -1;   // that index's position in JetWriteTable::indexes (-1: a foreign key's own)
};

struct LogicalIndex {
    std::string name;
    int number = 0;    // index_num
    int physical = 0;  // index_num2: position among the physical entries
    int type = 0;      // 0 normal, 1 primary key, 2 foreign key
    // Foreign key entries: 1 this table is referenced, 2 it references.
    int relTableType = 0;
    int relIndexNumber = -1;
    std::string relTable;
    bool cascadeUpdate = false, cascadeDelete = false;
};

struct TablePlan {
    std::string name;
    bool system = false;
    bool catalogTable = false;  // one of the four the writer fills itself
    std::vector<ColumnPlan> columns;
    std::vector<PhysicalIndex> physical;  // storage order
    std::vector<LogicalIndex> logical;    // storage order
    JetRowSource rows;
    JetCarriedKey carriedKey;
    JetKeysByValue keysByValue;
    const JetWriteTable* source = nullptr;  // the description (null for the writer's own tables)
    std::vector<int> tdefPages;  // first one is the table's page (its catalog Id)
};

// Text as a Jet file stores names and values: UCS-2 in Jet 4, the code page in Jet 3.
struct TextCodec {
    bool jet3 = false;
    int codePage = 1252;
    Bytes plain(const std::string& utf8) const;
    Bytes name(const std::string& utf8) const;  // with its length prefix
};

// Numbers the columns and places them in the row (fixed offsets, variable
// slots), with their definition flags and lengths. Throws on unknown types.
void layoutColumns(TablePlan& t, const Format& f, int fileSortOrder);

// The table definition's size in bytes (independent of page numbers).
size_t tableDefSize(const TablePlan& t, const Format& f, const TextCodec& codec);

struct TableWriter {
    PageFile& file;
    UsageMaps& maps;
    TextCodec codec;
    std::function<int(const std::string&)> tdefPageOf;
    bool emptyTreesForUnkeyedIndexes = false;
    // Writes the table's rows, long values, index trees, usage maps and its
    // (already reserved) table-definition pages; the number of rows.
    uint64_t write(const TablePlan& t);
};

}  // namespace dex::jetfile::jetwrite
