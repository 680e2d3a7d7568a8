#pragma once
// The rows of one table, read from its pages with nothing but the page
// reader: the usage map names the pages, each page's offset table the rows,
// each row's trailer its columns. Deleted rows (offset flag 0x8000) are
// skipped; an overflow row (0x4000) holds the page and row its data moved
// to, where the row carries the deleted flag so that a scan does not meet it
// twice. Memo and OLE values come inline, from one LVAL row or from a chain
// of them.
//
// Nothing is trusted: a page number must lie inside the file, a row inside
// its page, a value inside its row; a long-value chain may visit no row twice
// and may not declare more bytes than the file holds; and the values of one
// scan may not add up to more than the file could hold (kScanBytesPerFileByte
// times its size, plus kScanBytesSlack: a file can hold text that grows by
// half from UCS-2 to UTF-8, never more). Any breach is DbError 3343
// "the file is damaged: ... in table 'T'".
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "JetPageReader.h"
#include "JetValues.h"
#include "TableDefPages.h"
#include "TextCodec.h"

namespace dex::jetfile {

constexpr uint64_t kScanBytesPerFileByte = 4;
constexpr uint64_t kScanBytesSlack = 16ull << 20;

// A usage map: the page numbers it lists, sorted. pointer is page << 8 | row
// of its row. Every listed page lies inside the file.
std::vector<uint32_t> readUsageMap(const JetPages& pages, uint32_t pointer, bool jet3);

// Where a row lies on its page, as its page's offset table says.
struct RowSlot {
    uint16_t flags = 0;      // 0x8000 deleted, 0x4000 overflow
    size_t start = 0, end = 0;
};
// The slots of a data page (type 0x01); throws JetDamage for a table that does not fit the page.
std::vector<RowSlot> rowSlots(const PageView& page, bool jet3);

// Where a live row was found, and through which pointer.
struct RowPlace {
    uint32_t page = 0;   // the page whose offset table lists it
    int row = 0;
    uint32_t dataPage = 0;  // where its bytes are (another page for an overflow row)
    int dataRow = 0;
};

class TableRows {
public:
    // tdefPage: the table's definition page (data pages name it as their owner).
    TableRows(const JetPages& pages, const TableDefinition& def, uint32_t tdefPage, bool jet3, int codePage,
              std::string table);

    // Every live row in stored order, its values in column-number order
    // (JetValue). onRow returns false to stop.
    void forEach(const std::function<bool(const RowPlace&, std::vector<JetValue>&)>& onRow);

    // The pages the usage map lists (checked against the file's size).
    const std::vector<uint32_t>& mapPages() const { return mapPages_; }
    // The columns in column-number order.
    const std::vector<const TdefColumn*>& columns() const { return columns_; }
    // The LVAL pages of the long values read so far.
    const std::vector<uint32_t>& longValuePages() const { return lvalPages_; }
    // Called with page << 8 | row of every LVAL row a long value is read
    // from, and the place of the row whose value it is.
    void onLongValueRow(std::function<void(uint32_t, const RowPlace&)> f) { onLvalRow_ = std::move(f); }

private:
    void readRow(const PageView& page, const RowSlot& slot, std::vector<JetValue>& out);
    JetValue cell(const TdefColumn& c, const PageView& page, size_t at, size_t size);
    // A Text value into `out`, reusing the string it may hold.
    void textCell(const PageView& page, size_t at, size_t size, JetValue& out);
    std::string longValue(const TdefColumn& c, const PageView& page, size_t at, size_t size);
    // The bytes of row `row` of an LVAL page.
    std::pair<PageView, RowSlot> lvalRow(uint32_t pointer, const std::string& column);
    void count(size_t bytes);
    [[noreturn]] void damaged(const std::string& what) const;

    const JetPages& pages_;
    const TableDefinition& def_;
    std::vector<size_t> offsets_;  // one row's variable-column offsets, reused
    uint32_t tdefPage_;
    bool jet3_;
    std::string table_;
    JetText text_;
    std::vector<const TdefColumn*> columns_;
    bool hasVariable_ = false;
    std::vector<uint32_t> mapPages_;
    std::vector<uint32_t> lvalPages_;
    uint64_t produced_ = 0, budget_ = 0;
    std::function<void(uint32_t, const RowPlace&)> onLvalRow_;
    RowPlace place_;
};

}  // namespace dex::jetfile
