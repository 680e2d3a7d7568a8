#include "IndexPages.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"

namespace dex::jetfile {
namespace {

constexpr IndexPageFormat kJet4Index{4096, 12, 16, 20, 24, 27, 453, 0x1E0};
constexpr IndexPageFormat kJet3Index{2048, 8, 12, 16, 20, 22, 226, 0xF8};

constexpr size_t kOwnerAt = 4, kFreeSpaceAt = 2;
constexpr size_t kRowPointerSize = 4, kChildSize = 4;
constexpr uint8_t kIndexPageMark = 0x01;  // the second byte of every index page

using Bytes = std::vector<uint8_t>;

void putLe16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

void putLe32(Bytes& b, size_t at, uint32_t v) {
    putLe16(b, at, v & 0xFFFF);
    putLe16(b, at + 2, v >> 16);
}

uint32_t be(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

size_t entrySize(const IndexEntry& e, bool node) { return e.key.size() + kRowPointerSize + (node ? kChildSize : 0); }

// The longest prefix a page may share: never into a row number.
size_t prefixCap(const IndexEntry& e) { return e.key.size() + 3; }

// Byte i of an entry's key and row pointer as the page holds them
// (i < key size + 4): the key, the row's page (3 bytes) and row, big-endian.
inline uint8_t entryByte(const IndexEntry& e, size_t i) {
    const size_t k = e.key.size();
    if (i < k) return e.key[i];
    switch (i - k) {
        case 0: return static_cast<uint8_t>(e.row.page >> 16);
        case 1: return static_cast<uint8_t>(e.row.page >> 8);
        case 2: return static_cast<uint8_t>(e.row.page);
        default: return e.row.row;
    }
}

// Common leading bytes of two entries' key and row page.
size_t commonPrefix(const IndexEntry& a, const IndexEntry& b) {
    const size_t n = std::min(prefixCap(a), prefixCap(b));
    const size_t keys = std::min(a.key.size(), b.key.size());
    size_t i = 0;
    if (keys > 0) {
        const auto mismatch = std::mismatch(a.key.begin(), a.key.begin() + static_cast<std::ptrdiff_t>(keys), b.key.begin());
        i = static_cast<size_t>(mismatch.first - a.key.begin());
        if (i < keys) return std::min(i, n);
    }
    while (i < n && entryByte(a, i) == entryByte(b, i)) ++i;
    return i;
}

IndexEntry entryFrom(const Bytes& full, bool node, size_t index) {
    const size_t trailer = kRowPointerSize + (node ? kChildSize : 0);
    if (full.size() < trailer)
        throw IndexPageError("entry " + std::to_string(index + 1) + " is " + std::to_string(full.size()) +
                             " bytes long, shorter than its row pointer" + (node ? " and child page" : ""));
    IndexEntry e;
    const size_t keyEnd = full.size() - trailer;
    e.key.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keyEnd));
    e.row.page = be(full.data() + keyEnd, 3);
    e.row.row = full[keyEnd + 3];
    if (node) e.child = be(full.data() + keyEnd + kRowPointerSize, 4);
    return e;
}

}  // namespace

int IndexPageFormat::entryArea() const { return std::min(pageSize - firstEntry, maskSize * 8 - 1); }

const IndexPageFormat& IndexPageFormat::of(bool jet3) { return jet3 ? kJet3Index : kJet4Index; }

int compareIndexEntries(const IndexEntry& a, const IndexEntry& b) {
    const size_t n = std::min(a.key.size(), b.key.size());
    if (n > 0) {
        if (const int c = std::memcmp(a.key.data(), b.key.data(), n); c != 0) return c;
    }
    if (a.key.size() != b.key.size()) {
        // The shorter key's row pointer meets the longer key's next byte.
        const size_t m = std::min(a.key.size(), b.key.size()) + kRowPointerSize;
        for (size_t i = n; i < m; ++i)
            if (const uint8_t x = entryByte(a, i), y = entryByte(b, i); x != y) return x < y ? -1 : 1;
        return a.key.size() < b.key.size() ? -1 : 1;
    }
    if (a.row.page != b.row.page) return a.row.page < b.row.page ? -1 : 1;
    if (a.row.row != b.row.row) return a.row.row < b.row.row ? -1 : 1;
    return 0;
}

IndexPage parseIndexPage(const uint8_t* bytes, size_t size, bool jet3) {
    const IndexPageFormat& f = IndexPageFormat::of(jet3);
    if (size != static_cast<size_t>(f.pageSize))
        throw IndexPageError("the page is " + std::to_string(size) + " bytes long, not " + std::to_string(f.pageSize));
    IndexPage page;
    page.type = bytes[0];
    if (page.type != kIndexNodePage && page.type != kIndexLeafPage)
        throw IndexPageError("its type is " + std::to_string(page.type) + ", not an index page (3 node, 4 leaf)");
    page.owner = le32(bytes + kOwnerAt);
    page.prev = le32(bytes + f.prev);
    page.next = le32(bytes + f.next);
    page.tail = le32(bytes + f.tail);
    page.prefixLength = le16(bytes + f.prefixLength);
    const bool node = page.type == kIndexNodePage;
    const size_t area = static_cast<size_t>(f.entryArea());
    if (static_cast<size_t>(page.prefixLength) > area)
        throw IndexPageError("its shared prefix of " + std::to_string(page.prefixLength) +
                             " bytes is longer than the page");

    const uint8_t* entries = bytes + f.firstEntry;
    Bytes prefix, scratch;
    size_t start = 0;
    for (size_t bit = 0; bit < static_cast<size_t>(f.maskSize) * 8; ++bit) {
        if (!(bytes[static_cast<size_t>(f.mask) + bit / 8] & (1u << (bit % 8)))) continue;
        if (bit > area)
            throw IndexPageError("its entry mask marks an entry ending at byte " + std::to_string(bit) +
                                 ", past the end of the page");
        const size_t index = page.entries.size();
        Bytes& full = scratch;
        if (index == 0) {
            if (static_cast<size_t>(page.prefixLength) > bit)
                throw IndexPageError("its shared prefix of " + std::to_string(page.prefixLength) +
                                     " bytes is longer than its first entry");
            prefix.assign(entries, entries + page.prefixLength);
            full.assign(entries, entries + bit);
        } else {
            full.assign(prefix.begin(), prefix.end());
            full.insert(full.end(), entries + start, entries + bit);
        }
        page.entries.push_back(entryFrom(full, node, index));
        start = bit;
    }
    return page;
}

Bytes serializeIndexPage(const IndexPage& page, bool jet3, bool compress) {
    const IndexPageFormat& f = IndexPageFormat::of(jet3);
    const bool node = page.type == kIndexNodePage;
    size_t prefix = 0;
    if (compress && page.entries.size() > 1) {
        prefix = prefixCap(page.entries.front());
        for (size_t i = 1; i < page.entries.size() && prefix > 0; ++i)
            prefix = std::min(prefix, commonPrefix(page.entries.front(), page.entries[i]));
    }
    Bytes out(static_cast<size_t>(f.pageSize), 0);
    out[0] = page.type;
    out[1] = kIndexPageMark;
    putLe32(out, kOwnerAt, page.owner);
    putLe32(out, static_cast<size_t>(f.prev), page.prev);
    putLe32(out, static_cast<size_t>(f.next), page.next);
    putLe32(out, static_cast<size_t>(f.tail), page.tail);
    putLe16(out, static_cast<size_t>(f.prefixLength), static_cast<uint32_t>(prefix));
    const size_t area = static_cast<size_t>(f.entryArea());
    size_t pos = 0;
    for (size_t i = 0; i < page.entries.size(); ++i) {
        const IndexEntry& e = page.entries[i];
        const size_t size = entrySize(e, node);
        const size_t skip = i == 0 ? 0 : prefix;
        if (pos + size - skip > area)
            throw IndexPageError("the entries do not fit in one page (" + std::to_string(page.entries.size()) +
                                 " entries)");
        // The entry's bytes from `skip` on: its key, row pointer and child, big-endian.
        uint8_t* to = out.data() + f.firstEntry + pos;
        for (size_t k = skip; k < e.key.size(); ++k) *to++ = e.key[k];
        for (size_t k = std::max(skip, e.key.size()); k < size; ++k) {
            const size_t t = k - e.key.size();
            *to++ = t < kRowPointerSize ? entryByte(e, k) : static_cast<uint8_t>(e.child >> (8 * (kChildSize - 1 - (t - kRowPointerSize))));
        }
        pos += size - skip;
        out[static_cast<size_t>(f.mask) + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
    }
    putLe16(out, kFreeSpaceAt, static_cast<uint32_t>(f.pageSize - f.firstEntry - static_cast<int>(pos)));
    return out;
}

namespace {

// One level of a tree being built: its pages' entries, numbers and links.
struct Level {
    std::vector<std::vector<IndexEntry>> pages;
    std::vector<uint32_t> numbers;
    std::vector<uint32_t> tails;       // node levels
    std::vector<size_t> parent;        // the page of the next level up
    std::vector<IndexEntry> last;      // the last entry of each page's subtree
};

// Splits entries (in order) into pages, as many per page as fit.
std::vector<std::vector<IndexEntry>> pack(std::vector<IndexEntry> items, bool node, bool compress, size_t area) {
    std::vector<std::vector<IndexEntry>> pages;
    std::vector<IndexEntry> cur;
    size_t total = 0, prefix = 0;
    for (auto& item : items) {
        const size_t len = entrySize(item, node);
        if (len > area)
            throw IndexPageError("an index entry of " + std::to_string(len) + " bytes does not fit in a page");
        if (!cur.empty()) {
            const size_t p = compress ? std::min({prefix, commonPrefix(cur.front(), item)}) : 0;
            if (total + len - cur.size() * p <= area) {
                total += len;
                prefix = p;
                cur.push_back(std::move(item));
                continue;
            }
            pages.push_back(std::move(cur));
            cur.clear();
        }
        total = len;
        prefix = prefixCap(item);
        cur.push_back(std::move(item));
    }
    if (!cur.empty() || pages.empty()) pages.push_back(std::move(cur));
    return pages;
}

}  // namespace

IndexTree buildIndexTree(std::vector<IndexEntry> entries, uint32_t owner, const IndexTreeOptions& options,
                         const IndexPageAllocator& allocate, const IndexPageSink& sink) {
    const IndexPageFormat& f = IndexPageFormat::of(options.jet3);
    const size_t area = static_cast<size_t>(f.entryArea());
    for (auto& e : entries) e.child = 0;
    // One pass finds them in order (as the writer hands them over) or sorts them.
    const auto before = [](const IndexEntry& a, const IndexEntry& b) { return compareIndexEntries(a, b) < 0; };
    const auto requireDistinct = [&](size_t i, int c) {
        if (c == 0)
            throw IndexPageError("two index entries have the same key and row (page " +
                                 std::to_string(entries[i].row.page) + ", row " + std::to_string(entries[i].row.row) +
                                 ")");
    };
    bool sorted = true;
    for (size_t i = 1; i < entries.size() && sorted; ++i) {
        const int c = compareIndexEntries(entries[i - 1], entries[i]);
        requireDistinct(i, c);
        sorted = c < 0;
    }
    if (!sorted) {
        std::sort(entries.begin(), entries.end(), before);
        for (size_t i = 1; i < entries.size(); ++i) requireDistinct(i, compareIndexEntries(entries[i - 1], entries[i]));
    }

    std::vector<Level> levels;
    auto number = [&](Level& level) {
        const bool root = level.pages.size() == 1;
        for (size_t i = 0; i < level.pages.size(); ++i)
            level.numbers.push_back(root && options.rootPage ? *options.rootPage : allocate());
    };

    Level leaves;
    leaves.pages = pack(std::move(entries), false, options.prefixCompression, area);
    for (const auto& p : leaves.pages) leaves.last.push_back(p.empty() ? IndexEntry{} : p.back());
    number(leaves);
    levels.push_back(std::move(leaves));

    while (levels.back().pages.size() > 1) {
        Level& below = levels.back();
        std::vector<IndexEntry> items;
        items.reserve(below.pages.size());
        for (size_t i = 0; i < below.pages.size(); ++i) {
            IndexEntry e = below.last[i];
            e.child = below.numbers[i];
            items.push_back(std::move(e));
        }
        Level up;
        up.pages = pack(std::move(items), true, options.prefixCompression, area);
        size_t child = 0;
        for (size_t i = 0; i < up.pages.size(); ++i) {
            const size_t children = up.pages[i].size();
            for (size_t k = 0; k < children; ++k) below.parent.push_back(i);
            child += children;
            up.last.push_back(below.last[child - 1]);
            uint32_t tail = 0;
            if (options.tailPages && children > 1) {
                tail = up.pages[i].back().child;
                up.pages[i].pop_back();
            }
            up.tails.push_back(tail);
        }
        number(up);
        levels.push_back(std::move(up));
    }

    IndexTree tree;
    tree.levels = static_cast<int>(levels.size());
    tree.root = levels.back().numbers.front();
    for (size_t l = 0; l < levels.size(); ++l) {
        Level& level = levels[l];
        const bool leaf = l == 0;
        for (size_t i = 0; i < level.pages.size(); ++i) {
            IndexPage page;
            page.type = leaf ? kIndexLeafPage : kIndexNodePage;
            page.owner = owner;
            // Leaves are chained end to end; node pages only under the same parent.
            const auto linked = [&](size_t j) { return leaf || level.parent[j] == level.parent[i]; };
            if (i > 0 && linked(i - 1)) page.prev = level.numbers[i - 1];
            if (i + 1 < level.pages.size() && linked(i + 1)) page.next = level.numbers[i + 1];
            if (!leaf) page.tail = level.tails[i];
            page.entries = std::move(level.pages[i]);
            tree.pages.push_back(level.numbers[i]);
            sink(level.numbers[i], serializeIndexPage(page, options.jet3, options.prefixCompression));
        }
    }
    return tree;
}

}  // namespace dex::jetfile
