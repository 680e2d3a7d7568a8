#pragma once
// Pages of a Jet file being written: the format's sizes, the file as a list
// of pages, pages that hold rows (data, LVAL, usage-map rows), usage maps and
// long values (memo / OLE) on LVAL pages.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "JetWriteEncoding.h"

namespace dex::jetfile::jetwrite {

struct Format {
    bool jet3 = false;
    int pageSize = 4096;
    int rowCountAt = 12;     // data page: number of rows, then the row offsets
    int maxRowSize = 4060;   // largest row Jet accepts on a data page
    int mapRowSize = 69;     // a usage map row: type, start page, bitmap
    int lvalRow = 4076;      // largest LVAL row (a chain's rows start with a 4-byte next pointer)
    int inlineLongValue = 64;  // long values up to this size stay in the row
    static Format of(int version);
    // Largest single row on an empty page.
    int largestRow() const { return pageSize - rowCountAt - 4; }
};

class PageFile {
public:
    explicit PageFile(const Format& format) : format_(format) {}
    int allocate();  // a zeroed page at the end; its number
    Bytes& page(int number) { return pages_.at(number); }
    int count() const { return static_cast<int>(pages_.size()); }
    // Writes every page to fd and syncs it; throws std::runtime_error naming `name`.
    void save(int fd, const std::string& name) const;
    const Format& format() const { return format_; }

private:
    Format format_;
    std::vector<Bytes> pages_;
};

// Pages of type 0x01 whose rows run from the page's end towards its header.
namespace rowpage {
void init(Bytes& page, const Format& f, uint32_t owner);  // owner: table-definition page, or "LVAL"
// Adds a row; its number, or -1 when the page has no room (or 255 rows).
int add(Bytes& page, const Format& f, const Bytes& row);
// Where row `row` starts.
size_t start(const Bytes& page, const Format& f, int row);
}  // namespace rowpage

// A usage map's place: row `row` of page `page`, as a table definition points to it.
struct MapSlot {
    int page = 0, row = 0;
    uint32_t pointer() const { return static_cast<uint32_t>(page) << 8 | static_cast<uint32_t>(row); }
};

// Usage map rows, packed into shared pages of owner 0.
class UsageMaps {
public:
    explicit UsageMaps(PageFile& file) : file_(file) {}
    MapSlot reserve();
    // Fills a reserved row with the map of `pages`: inline (type 0) when they
    // fit its bitmap, otherwise a reference map (type 1) to usage pages (0x05).
    void write(const MapSlot& slot, std::vector<int> pages);

private:
    PageFile& file_;
    int current_ = -1;
};

// Long values of one column on its own LVAL pages.
class LongValues {
public:
    explicit LongValues(PageFile& file) : file_(file) {}
    // The 12-byte field header followed by the value when it stays inline.
    Bytes store(const Bytes& value);
    const std::vector<int>& pages() const { return pages_; }

private:
    uint32_t addRow(const Bytes& row);  // page << 8 | row
    PageFile& file_;
    std::vector<int> pages_;
    int current_ = -1;
};

// The file-wide map of page 1 (pages that are free: those past the end).
void writeGlobalMap(PageFile& file);

}  // namespace dex::jetfile::jetwrite
