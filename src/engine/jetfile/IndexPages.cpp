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

uint32_t be(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

void appendBe(Bytes& out, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

// An entry as the page holds it (before prefix compression).
Bytes entryBytes(const IndexEntry& e, bool node) {
    Bytes b = e.key;
    appendBe(b, e.row.page, 3);
    b.push_back(e.row.row);
    if (node) appendBe(b, e.child, 4);
    return b;
}

size_t entrySize(const IndexEntry& e, bool node) { return e.key.size() + kRowPointerSize + (node ? kChildSize : 0); }

// The longest prefix a page may share: never into a row number.
size_t prefixCap(const IndexEntry& e) { return e.key.size() + 3; }

// Common leading bytes of two entries' key and row page.
size_t commonPrefix(const IndexEntry& a, const IndexEntry& b) {
    const Bytes x = entryBytes(a, false), y = entryBytes(b, false);
    const size_t n = std::min({x.size(), y.size(), prefixCap(a), prefixCap(b)});
    size_t i = 0;
    while (i < n && x[i] == y[i]) ++i;
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
        const IndexEntry& shorter = a.key.size() < b.key.size() ? a : b;
        const IndexEntry& longer = a.key.size() < b.key.size() ? b : a;
        const Bytes x = entryBytes(shorter, false);
        const Bytes y = entryBytes(longer, false);
        const size_t m = std::min(x.size(), y.size());
        int c = std::memcmp(x.data() + n, y.data() + n, m - n);
        if (c == 0) c = x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
        return &shorter == &a ? c : -c;
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
    Bytes prefix;
    size_t start = 0;
    for (size_t bit = 0; bit < static_cast<size_t>(f.maskSize) * 8; ++bit) {
        if (!(bytes[static_cast<size_t>(f.mask) + bit / 8] & (1u << (bit % 8)))) continue;
        if (bit > area)
            throw IndexPageError("its entry mask marks an entry ending at byte " + std::to_string(bit) +
                                 ", past the end of the page");
        const size_t index = page.entries.size();
        Bytes full;
        if (index == 0) {
            if (static_cast<size_t>(page.prefixLength) > bit)
                throw IndexPageError("its shared prefix of " + std::to_string(page.prefixLength) +
                                     " bytes is longer than its first entry");
            prefix.assign(entries, entries + page.prefixLength);
            full.assign(entries, entries + bit);
        } else {
            full = prefix;
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
        const Bytes b = entryBytes(page.entries[i], node);
        const size_t skip = i == 0 ? 0 : prefix;
        if (pos + b.size() - skip > area)
            throw IndexPageError("the entries do not fit in one page (" + std::to_string(page.entries.size()) +
                                 " entries)");
        std::copy(b.begin() + static_cast<std::ptrdiff_t>(skip), b.end(),
                  out.begin() + f.firstEntry + static_cast<std::ptrdiff_t>(pos));
        pos += b.size() - skip;
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
    std::sort(entries.begin(), entries.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return compareIndexEntries(a, b) < 0; });
    for (size_t i = 1; i < entries.size(); ++i)
        if (compareIndexEntries(entries[i - 1], entries[i]) == 0)
            throw IndexPageError("two index entries have the same key and row (page " +
                                 std::to_string(entries[i].row.page) + ", row " + std::to_string(entries[i].row.row) +
                                 ")");

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
