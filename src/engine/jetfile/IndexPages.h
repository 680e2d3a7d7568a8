#pragma once
// Index pages of Jet 3 and Jet 4 files, and whole B-trees built from entries.
//
// An index page (type 0x03 node, 0x04 leaf) starts with: type, 01, free
// space (2 bytes), the table definition's page (4 bytes), 4 unknown bytes;
// then the previous and next page at the same level, the tail page (the last
// child of a node page, which then has no entry of its own), the length of
// the prefix shared by the page's entries, one unknown byte, and a bitmask
// with one bit per byte of the entry area: a set bit marks where an entry
// ends (the next one starts). Little-endian, at these offsets:
//                 prev next tail prefix  mask (size)  first entry
//        Jet 3      8   12   16    20      22 (226)      0xF8
//        Jet 4     12   16   20    24      27 (453)      0x1E0
// The first entry is stored whole; every later one without the shared prefix.
// An entry is its key bytes (IndexKey.h), the row's page (3 bytes) and row
// (1 byte), big-endian, and on a node page the child page (4 bytes,
// big-endian). A node entry repeats the last entry of its child's subtree.
// Leaf pages are chained from first to last both ways; node pages only with
// the siblings under the same parent.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dex::jetfile {

constexpr uint8_t kIndexNodePage = 0x03, kIndexLeafPage = 0x04;

struct IndexPageFormat {
    int pageSize;
    int prev, next, tail, prefixLength, mask, maskSize, firstEntry;
    // Bytes the entries of one page may take.
    int entryArea() const;
    static const IndexPageFormat& of(bool jet3);
};

// Where a row lives: its data page and its number in that page's row table.
struct RowPointer {
    uint32_t page = 0;  // 24 bits
    uint8_t row = 0;
    friend bool operator==(const RowPointer&, const RowPointer&) = default;
};

struct IndexEntry {
    std::vector<uint8_t> key;  // the key bytes, flag bytes included
    RowPointer row;
    uint32_t child = 0;        // node entries: the child page; 0 on leaf pages
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

// Entries order by their whole bytes: the key, then the row's page and row.
// <0, 0, >0 like memcmp; the child page does not count.
int compareIndexEntries(const IndexEntry& a, const IndexEntry& b);

struct IndexPage {
    uint8_t type = kIndexLeafPage;
    uint32_t owner = 0;         // the table definition's page
    uint32_t prev = 0, next = 0, tail = 0;
    int prefixLength = 0;       // as stored (0 when the page was not compressed)
    std::vector<IndexEntry> entries;
    bool isLeaf() const { return type == kIndexLeafPage; }
};

// A page that cannot be read as an index page; what() says why.
class IndexPageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses an index page; every offset and length is checked against the
// page. Throws IndexPageError.
IndexPage parseIndexPage(const uint8_t* bytes, size_t size, bool jet3);
inline IndexPage parseIndexPage(const std::vector<uint8_t>& bytes, bool jet3) {
    return parseIndexPage(bytes.data(), bytes.size(), jet3);
}

// The bytes of an index page (exactly one page). With compress, the
// entries' common prefix (never reaching a row number) is stored once and
// page.prefixLength is ignored; without it no prefix is used. Throws
// IndexPageError when the entries do not fit.
std::vector<uint8_t> serializeIndexPage(const IndexPage& page, bool jet3, bool compress);

struct IndexTreeOptions {
    bool jet3 = false;
    bool prefixCompression = true;
    // A node page's last child in its tail field (no entry of its own), as
    // Access writes it; otherwise every child has an entry and tails are 0.
    bool tailPages = true;
    // The page the root must be on (the table definition already names it);
    // otherwise the root is allocated last.
    std::optional<uint32_t> rootPage;
};

struct IndexTree {
    uint32_t root = 0;
    std::vector<uint32_t> pages;  // every page of the tree, root included
    int levels = 1;               // 1: the root is a leaf
};

// A new page's number, each call a different one.
using IndexPageAllocator = std::function<uint32_t()>;
// Receives each finished page.
using IndexPageSink = std::function<void(uint32_t page, std::vector<uint8_t> bytes)>;

// Builds the B-tree of an index owned by the table definition on page
// `owner`: leaves packed in entry order (the entries are sorted here; their
// child fields are ignored), leaf chain both ways, node levels until one
// page remains. No entries: one empty leaf. Throws IndexPageError when two
// entries are equal or one entry does not fit in a page.
IndexTree buildIndexTree(std::vector<IndexEntry> entries, uint32_t owner, const IndexTreeOptions& options,
                         const IndexPageAllocator& allocate, const IndexPageSink& sink);

}  // namespace dex::jetfile
