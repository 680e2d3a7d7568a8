#include "TableDefPages.h"

#include <algorithm>
#include <set>

#include "JetPageReader.h"

namespace dex::jetfile {
namespace {

// Offsets and sizes of the two table-definition layouts.
struct Layout {
    size_t rowCount, tableType, variableColumns, columnCount, logicalCount, physicalCount, physicalStart;
    size_t physicalHeaderSize;       // per physical index, before the columns
    size_t columnEntrySize;
    size_t colNumber, colVarIndex, colPrecision, colScale, colFlags, colFixedOffset, colLength;
    size_t nameLengthSize;
    size_t physicalEntrySize, physicalSkipBefore, physicalFlags;  // flags offset within the entry
    size_t logicalEntrySize, logicalSkipBefore;
    size_t autonumber, maxColumns, usageMap, freeMap;
    size_t colSortOrder, colSortVersion, colCodePage, colMiscFlags;  // 0: not in this layout
};

constexpr Layout kJet4{16, 40, 43, 45, 47, 51, 63, 12, 25, 5, 7, 11, 12, 15, 21, 23, 2, 52, 4, 46, 28, 4,
                       20, 41, 55, 59, 11, 13, 0, 16};
constexpr Layout kJet3{12, 20, 23, 25, 27, 31, 43, 8, 18, 1, 3, 9, 10, 13, 14, 16, 1, 39, 0, 38, 20, 0,
                       16, 21, 35, 39, 9, 0, 11, 0};

constexpr int kKeySlots = 10;
constexpr uint8_t kTdefPage = 0x02;
constexpr int kMaxColumnNumber = 255;

// A bounds-checked little-endian reader over the joined definition bytes.
class Cursor {
public:
    Cursor(const std::vector<uint8_t>& bytes, const std::string& table) : b_(bytes), table_(table) {}

    size_t pos() const { return pos_; }
    void seek(size_t p, const char* what) {
        if (p > b_.size()) fail(what);
        pos_ = p;
    }
    void skip(size_t n, const char* what) { need(n, what), pos_ += n; }
    uint32_t u8(const char* what) { return need(1, what), b_[pos_++]; }
    uint32_t u16(const char* what) {
        need(2, what);
        uint32_t v = b_[pos_] | (b_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t u32(const char* what) {
        need(4, what);
        uint32_t v = static_cast<uint32_t>(b_[pos_]) | (static_cast<uint32_t>(b_[pos_ + 1]) << 8) |
                     (static_cast<uint32_t>(b_[pos_ + 2]) << 16) | (static_cast<uint32_t>(b_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    std::string slice(size_t at, size_t n) const { return std::string(reinterpret_cast<const char*>(b_.data() + at), n); }
    size_t size() const { return b_.size(); }
    std::string bytes(size_t n, const char* what) {
        need(n, what);
        std::string s(reinterpret_cast<const char*>(b_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    // Whether `count` entries of `size` bytes fit in what is left.
    void needEntries(uint64_t count, size_t size, const char* what) const {
        if (count * size > b_.size() - pos_) fail(what);
    }
    uint32_t at8(size_t p) const { return b_[p]; }
    uint32_t at16(size_t p) const { return b_[p] | (b_[p + 1] << 8); }
    uint32_t at32(size_t p) const {
        return static_cast<uint32_t>(at16(p)) | (static_cast<uint32_t>(at16(p + 2)) << 16);
    }

    [[noreturn]] void fail(const std::string& what) const { throw damagedTable(what, table_); }

private:
    void need(size_t n, const char* what) const {
        if (n > b_.size() - pos_) fail(what);
    }
    const std::vector<uint8_t>& b_;
    const std::string& table_;
    size_t pos_ = 0;
};

// The definition's pages joined: the first one whole, the others without their header.
std::vector<uint8_t> joinPages(uint32_t firstPage, int pageSize, const PageSource& pages, const std::string& table,
                               int maxPages, std::vector<uint32_t>& order) {
    std::vector<uint8_t> joined;
    std::set<uint32_t> seen;
    uint32_t page = firstPage;
    while (true) {
        if (!seen.insert(page).second)
            throw damagedTable("the table definition's page chain comes back to " + pageText(page), table);
        if (static_cast<int>(seen.size()) > maxPages)
            throw damagedTable("the table definition runs over more than " + std::to_string(maxPages) + " pages",
                               table);
        std::vector<uint8_t> bytes = page == 0 ? std::vector<uint8_t>{} : pages(page);
        if (bytes.empty())
            throw damagedTable("the table definition refers to " + pageText(page) + ", which the file does not have",
                               table);
        if (bytes.size() != static_cast<size_t>(pageSize))
            throw damagedTable(pageText(page) + " is not a whole page", table);
        if (bytes[0] != kTdefPage || bytes[1] != 0x01)
            throw damagedTable(pageText(page) + " is not a table definition page (it starts with " +
                                   std::to_string(bytes[0]) + " " + std::to_string(bytes[1]) + ")",
                               table);
        const uint32_t next = static_cast<uint32_t>(bytes[4]) | (static_cast<uint32_t>(bytes[5]) << 8) |
                              (static_cast<uint32_t>(bytes[6]) << 16) | (static_cast<uint32_t>(bytes[7]) << 24);
        joined.insert(joined.end(), bytes.begin() + (joined.empty() ? 0 : 8), bytes.end());
        order.push_back(page);
        if (next == 0) break;
        page = next;
    }
    return joined;
}

TdefColumn readColumn(Cursor& c, const Layout& l, const std::string& table) {
    const size_t start = c.pos();
    c.skip(l.columnEntrySize, "a column entry runs past the end of the definition");
    TdefColumn col;
    col.type = static_cast<int>(c.at8(start));
    col.number = static_cast<int>(c.at16(start + l.colNumber));
    col.varIndex = static_cast<int>(c.at16(start + l.colVarIndex));
    col.precision = static_cast<int>(c.at8(start + l.colPrecision));
    col.scale = static_cast<int>(c.at8(start + l.colScale));
    col.flags = static_cast<uint8_t>(c.at8(start + l.colFlags));
    col.fixedOffset = static_cast<int>(c.at16(start + l.colFixedOffset));
    col.length = static_cast<int>(c.at16(start + l.colLength));
    col.sortOrder = static_cast<int>(c.at16(start + l.colSortOrder));
    if (l.colSortVersion) col.sortVersion = static_cast<int>(c.at8(start + l.colSortVersion));
    if (l.colCodePage) col.codePage = static_cast<int>(c.at16(start + l.colCodePage));
    if (l.colMiscFlags) col.miscFlags = static_cast<uint8_t>(c.at8(start + l.colMiscFlags));
    col.raw = c.slice(start, l.columnEntrySize);
    if (col.number > kMaxColumnNumber)
        throw damagedTable("column number " + std::to_string(col.number) + " is out of range", table);
    return col;
}

std::string readName(Cursor& c, const Layout& l, const char* what) {
    const uint32_t n = l.nameLengthSize == 1 ? c.u8(what) : c.u16(what);
    return c.bytes(n, what);
}

TdefPhysicalIndex readPhysical(Cursor& c, const Layout& l) {
    const size_t start = c.pos();
    c.skip(l.physicalEntrySize, "an index entry runs past the end of the definition");
    TdefPhysicalIndex ix;
    for (int k = 0; k < kKeySlots; ++k) {
        const size_t slot = start + l.physicalSkipBefore + static_cast<size_t>(k) * 3;
        const uint32_t column = c.at16(slot);
        if (column == 0xFFFF) continue;
        ix.keys.push_back(TdefIndexKey{static_cast<int>(column), (c.at8(slot + 2) & 0x01) == 0});
    }
    ix.flags = static_cast<uint8_t>(c.at8(start + l.physicalFlags));
    // After the key slots: the index's usage map (4 bytes), then its root page.
    ix.rootPage = c.at32(start + l.physicalSkipBefore + static_cast<size_t>(kKeySlots) * 3 + 4);
    ix.usageMap = c.at32(start + l.physicalSkipBefore + kKeySlots * 3);
    ix.raw = c.slice(start, l.physicalEntrySize);
    return ix;
}

TdefLogicalIndex readLogical(Cursor& c, const Layout& l) {
    TdefLogicalIndex ix;
    const char* what = "a logical index entry runs past the end of the definition";
    c.needEntries(1, l.logicalEntrySize, what);
    const size_t start = c.pos();
    c.skip(l.logicalSkipBefore, what);
    ix.number = static_cast<int32_t>(c.u32(what));
    ix.physical = static_cast<int32_t>(c.u32(what));
    ix.relationSide = static_cast<int>(c.u8(what));
    ix.relatedIndex = static_cast<int32_t>(c.u32(what));
    ix.relatedTablePage = c.u32(what);
    ix.cascadeUpdates = c.u8(what) == 1;
    ix.cascadeDeletes = c.u8(what) == 1;
    ix.type = static_cast<int>(c.u8(what));
    c.seek(start + l.logicalEntrySize, what);
    ix.raw = c.slice(start, l.logicalEntrySize);
    return ix;
}

// After the index names: for each Memo / OLE column its number and two usage
// maps, ended by FFFF. Older files may end without the list.
void readLongValueMaps(Cursor& c, TableDefinition& def) {
    constexpr size_t kEntry = 10;
    while (c.size() - c.pos() >= 2) {
        const uint32_t column = c.at16(c.pos());
        if (column == 0xFFFF || c.size() - c.pos() < kEntry) return;
        const size_t at = c.pos();
        c.skip(kEntry, "a long-value map entry runs past the end of the definition");
        def.longValueMaps.push_back(TdefLongValueMaps{static_cast<int>(column), c.at32(at + 2), c.at32(at + 6)});
    }
}

void checkReferences(const TableDefinition& def, const std::string& table) {
    std::set<int> numbers;
    for (const auto& col : def.columns)
        if (!numbers.insert(col.number).second)
            throw damagedTable("two columns have the number " + std::to_string(col.number), table);
    for (size_t i = 0; i < def.physicalIndexes.size(); ++i)
        for (const auto& key : def.physicalIndexes[i].keys)
            if (!numbers.count(key.column))
                throw damagedTable("index entry " + std::to_string(i) + " names column number " +
                                       std::to_string(key.column) + ", which the table does not have",
                                   table);
    for (const auto& ix : def.logicalIndexes)
        if (ix.physical < 0 || static_cast<size_t>(ix.physical) >= def.physicalIndexes.size())
            throw damagedTable("logical index " + std::to_string(ix.number) + " uses index entry " +
                                   std::to_string(ix.physical) + " of " +
                                   std::to_string(def.physicalIndexes.size()),
                               table);
}

}  // namespace

DbError damagedTable(const std::string& what, const std::string& table) {
    return DbError(dberr::UnrecognizedFormat, "the file is damaged: " + what + " in table '" + table + "'");
}

TableDefinition readTableDefinition(uint32_t firstPage, bool jet3, int pageSize, const PageSource& pages,
                                    const std::string& tableName, int maxPages) {
    const Layout& l = jet3 ? kJet3 : kJet4;
    TableDefinition def;
    def.bytes = joinPages(firstPage, pageSize, pages, tableName, maxPages, def.pages);
    def.pageCount = static_cast<int>(def.pages.size());
    Cursor c(def.bytes, tableName);

    c.seek(l.physicalStart, "the table definition is too short");
    def.rowCount = c.at32(l.rowCount);
    def.tableType = static_cast<int>(c.at8(l.tableType));
    def.systemTable = def.tableType == 0x53;
    def.autonumber = c.at32(l.autonumber);
    def.maxColumns = static_cast<int>(c.at16(l.maxColumns));
    def.usageMap = c.at32(l.usageMap);
    def.freeMap = c.at32(l.freeMap);
    def.variableColumns = static_cast<int>(c.at16(l.variableColumns));
    const uint32_t columnCount = c.at16(l.columnCount);
    const uint32_t logicalCount = c.at32(l.logicalCount);
    const uint32_t physicalCount = c.at32(l.physicalCount);

    const char* counts = "the counts of columns and indexes run past the end of the definition";
    c.needEntries(physicalCount, l.physicalHeaderSize, counts);
    std::vector<uint32_t> uniqueCounts;  // the second 4-byte word of each index's header block
    for (uint32_t i = 0; i < physicalCount; ++i) {
        uniqueCounts.push_back(c.at32(c.pos() + 4));
        c.skip(l.physicalHeaderSize, counts);
    }

    c.needEntries(columnCount, l.columnEntrySize, counts);
    def.columns.reserve(columnCount);
    for (uint32_t i = 0; i < columnCount; ++i) def.columns.push_back(readColumn(c, l, tableName));
    for (auto& col : def.columns) col.rawName = readName(c, l, "a column name runs past the end of the definition");

    c.needEntries(physicalCount, l.physicalEntrySize, counts);
    def.physicalIndexes.reserve(physicalCount);
    for (uint32_t i = 0; i < physicalCount; ++i) {
        def.physicalIndexes.push_back(readPhysical(c, l));
        def.physicalIndexes.back().uniqueEntryCount = uniqueCounts[i];
    }

    c.needEntries(logicalCount, l.logicalEntrySize, counts);
    def.logicalIndexes.reserve(logicalCount);
    for (uint32_t i = 0; i < logicalCount; ++i) def.logicalIndexes.push_back(readLogical(c, l));
    for (auto& ix : def.logicalIndexes)
        ix.rawName = readName(c, l, "an index name runs past the end of the definition");
    readLongValueMaps(c, def);

    checkReferences(def, tableName);
    return def;
}

}  // namespace dex::jetfile
