// Index pages and B-trees: trees built and walked back (one entry to
// several node levels, Jet 3 and Jet 4, with and without prefix compression
// and tail pages), damaged trees and the findings of the walk, and mutated
// pages that must neither crash nor hang the parser or the walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "GeneralSortOrder.h"
#include "IndexPages.h"
#include "IndexWalk.h"

using namespace dex::jetfile;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOwner = 5;

// Pages of a file being built in memory; page numbers from 10 up.
class MemoryFile {
public:
    uint32_t allocate() { return next_++; }
    void put(uint32_t page, Bytes bytes) { pages_[page] = std::move(bytes); }
    Bytes& at(uint32_t page) { return pages_.at(page); }
    void erase(uint32_t page) { pages_.erase(page); }
    uint32_t pageCount() const { return 500000; }  // room for the rows the entries point to
    PageSource source() const {
        return [this](uint32_t p) {
            auto it = pages_.find(p);
            return it == pages_.end() ? Bytes{} : it->second;
        };
    }
    IndexTree build(std::vector<IndexEntry> entries, const IndexTreeOptions& options) {
        return buildIndexTree(std::move(entries), kOwner, options, [this] { return allocate(); },
                              [this](uint32_t p, Bytes b) { put(p, std::move(b)); });
    }
    IndexWalk walk(uint32_t root, bool jet3 = false) const {
        return walkIndexTree(root, jet3, pageCount(), kOwner, source());
    }

private:
    uint32_t next_ = 10;
    std::map<uint32_t, Bytes> pages_;
};

IndexEntry entry(Bytes key, uint32_t page, uint8_t row) {
    IndexEntry e;
    e.key = std::move(key);
    e.row = RowPointer{page, row};
    return e;
}

// Long keys 0..n-1, rows spread over data pages.
std::vector<IndexEntry> longEntries(int n) {
    std::vector<IndexEntry> out;
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<uint32_t>(i) ^ 0x80000000u;
        out.push_back(entry({0x7F, static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                             static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)},
                            100 + static_cast<uint32_t>(i / 50), static_cast<uint8_t>(i % 50)));
    }
    return out;
}

// Text keys of about 100 letters each, in a fixed pseudo-random order.
std::vector<IndexEntry> textEntries(int n, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::vector<IndexEntry> out;
    for (int i = 0; i < n; ++i) {
        std::string s;
        for (int k = 0; k < 100; ++k) s += static_cast<char>('a' + rng() % 26);
        Bytes key = {0x7F};
        const Bytes text = generalTextKey(s);
        key.insert(key.end(), text.begin(), text.end());
        out.push_back(entry(std::move(key), 2000 + static_cast<uint32_t>(i / 200), static_cast<uint8_t>(i % 200)));
    }
    return out;
}

std::vector<IndexEntry> sorted(std::vector<IndexEntry> v) {
    std::sort(v.begin(), v.end(), [](const IndexEntry& a, const IndexEntry& b) { return compareIndexEntries(a, b) < 0; });
    return v;
}

std::string findingsText(const IndexWalk& w) {
    std::string out;
    for (const auto& f : w.findings) out += f.what + "\n";
    return out;
}

bool hasFinding(const IndexWalk& w, const std::string& what) {
    for (const auto& f : w.findings)
        if (f.what == what) return true;
    return false;
}

// Builds, walks back, and checks that the walk sees exactly what was built.
void expectRoundTrip(const std::vector<IndexEntry>& entries, const IndexTreeOptions& options, int levels) {
    SCOPED_TRACE(std::to_string(entries.size()) + " entries, jet3 " + std::to_string(options.jet3) + ", prefixes " +
                 std::to_string(options.prefixCompression) + ", tails " + std::to_string(options.tailPages));
    MemoryFile file;
    const IndexTree tree = file.build(entries, options);
    EXPECT_EQ(tree.levels, levels);
    const IndexWalk w = file.walk(tree.root, options.jet3);
    EXPECT_TRUE(w.sound()) << findingsText(w);
    EXPECT_EQ(w.levels, levels);
    EXPECT_EQ(std::set<uint32_t>(w.pages.begin(), w.pages.end()),
              std::set<uint32_t>(tree.pages.begin(), tree.pages.end()));
    EXPECT_EQ(w.pages.size(), tree.pages.size());
    ASSERT_EQ(w.entries.size(), entries.size());
    EXPECT_TRUE(w.entries == sorted(entries));
}

TEST(IndexTree, BuiltTreesReadBackWhole) {
    for (bool jet3 : {false, true})
        for (bool prefixes : {false, true})
            for (bool tails : {false, true}) {
                IndexTreeOptions o;
                o.jet3 = jet3;
                o.prefixCompression = prefixes;
                o.tailPages = tails;
                expectRoundTrip({}, o, 1);
                expectRoundTrip(longEntries(1), o, 1);
                expectRoundTrip(longEntries(7), o, 1);
                expectRoundTrip(textEntries(1500), o, 3);
            }
    IndexTreeOptions o;
    expectRoundTrip(textEntries(40000, 11), o, 4);
    o.tailPages = false;
    o.prefixCompression = false;
    expectRoundTrip(textEntries(40000, 11), o, 4);
}

TEST(IndexTree, LeafFullToTheLastByte) {
    // Jet 4 leaves hold 3,616 bytes of entries: 400 of 9 bytes and one of 16.
    for (bool jet3 : {false, true}) {
        const int area = IndexPageFormat::of(jet3).entryArea();
        EXPECT_EQ(area, jet3 ? 1800 : 3616);
        std::vector<IndexEntry> entries = longEntries(area / 9 - 1);
        const int rest = area - static_cast<int>(entries.size()) * 9;
        entries.push_back(entry(Bytes(static_cast<size_t>(rest - 4), 0xFE), 9, 9));
        IndexTreeOptions o;
        o.jet3 = jet3;
        o.prefixCompression = false;
        expectRoundTrip(entries, o, 1);
        MemoryFile file;
        const IndexTree tree = file.build(entries, o);
        EXPECT_EQ(file.at(tree.root)[2] | file.at(tree.root)[3] << 8, IndexPageFormat::of(jet3).pageSize - IndexPageFormat::of(jet3).firstEntry - area);
        entries.back().key.push_back(0x01);  // one byte more: two leaves under a node
        expectRoundTrip(entries, o, 2);
    }
}

TEST(IndexTree, PagesAsAccessLaysThemOut) {
    MemoryFile file;
    IndexTreeOptions o;
    o.rootPage = 3;  // the table definition names it
    const IndexTree tree = file.build(textEntries(1500), o);
    EXPECT_EQ(tree.root, 3u);
    const IndexPage root = parseIndexPage(file.at(3), false);
    EXPECT_EQ(root.type, kIndexNodePage);
    EXPECT_EQ(root.owner, kOwner);
    EXPECT_NE(root.tail, 0u);  // the last child is the tail and has no entry
    EXPECT_EQ(root.prev, 0u);
    EXPECT_EQ(root.next, 0u);
    // Node pages under the root are linked among themselves; leaves end to end.
    std::vector<uint32_t> children;
    for (const auto& e : root.entries) children.push_back(e.child);
    children.push_back(root.tail);
    for (size_t i = 0; i < children.size(); ++i) {
        const IndexPage child = parseIndexPage(file.at(children[i]), false);
        EXPECT_EQ(child.type, kIndexNodePage);
        EXPECT_EQ(child.prev, i == 0 ? 0 : children[i - 1]);
        EXPECT_EQ(child.next, i + 1 == children.size() ? 0 : children[i + 1]);
    }
    // Prefix compression: entries after the first leave out the shared bytes.
    const Bytes& page = file.at(root.tail);
    const IndexPage tail = parseIndexPage(page, false);
    EXPECT_GT(tail.prefixLength, 0);
    EXPECT_EQ(page[0], kIndexNodePage);
    EXPECT_EQ(page[1], 0x01);
    // A hand-made leaf: two entries sharing 4 bytes, stored as 9 + 5 bytes.
    IndexPage leaf;
    leaf.owner = 7;
    leaf.entries = {entry({0x7F, 0x80, 0, 0, 1}, 0x105, 3), entry({0x7F, 0x80, 0, 0, 2}, 0x105, 4)};
    const Bytes b = serializeIndexPage(leaf, false, true);
    EXPECT_EQ(b[24], 4);
    EXPECT_EQ(Bytes(b.begin() + 0x1E0, b.begin() + 0x1E0 + 15),
              (Bytes{0x7F, 0x80, 0, 0, 1, 0, 1, 5, 3, 0x02, 0, 1, 5, 4, 0}));
    EXPECT_EQ(b[27 + 1], 0x02 | 0x40);  // entries end at bytes 9 and 14
    EXPECT_EQ(b[2] | b[3] << 8, 4096 - 0x1E0 - 14);
    EXPECT_EQ(b[4], 7);
    const IndexPage back = parseIndexPage(b, false);
    EXPECT_EQ(back.prefixLength, 4);
    EXPECT_TRUE(back.entries == leaf.entries);
    // Equal keys share their row's page too, but never its row number.
    leaf.entries = {entry({0x7F, 0x80, 0, 0, 1}, 0x105, 3), entry({0x7F, 0x80, 0, 0, 1}, 0x105, 4)};
    const Bytes same = serializeIndexPage(leaf, false, true);
    EXPECT_EQ(same[24], 8);
    EXPECT_EQ(same[0x1E0 + 9], 4);
    EXPECT_TRUE(parseIndexPage(same, false).entries == leaf.entries);
    // Equal entries cannot be built; an entry larger than a page cannot be either.
    EXPECT_THROW(file.build({entry({0x7F, 1}, 5, 5), entry({0x7F, 1}, 5, 5)}, IndexTreeOptions{}), IndexPageError);
    EXPECT_THROW(file.build({entry(Bytes(4000, 0x41), 5, 5)}, IndexTreeOptions{}), IndexPageError);
}

// A tree of three levels to damage: root, node pages, leaves.
struct Damaged {
    MemoryFile file;
    IndexTree tree;
    std::vector<uint32_t> leaves, nodes;  // in tree order
    Damaged() {
        IndexTreeOptions o;
        o.prefixCompression = false;
        tree = file.build(textEntries(1500), o);
        const IndexWalk w = file.walk(tree.root);
        for (uint32_t p : w.pages)
            (parseIndexPage(file.at(p), false).isLeaf() ? leaves : nodes).push_back(p);
    }
    IndexPage page(uint32_t p) { return parseIndexPage(file.at(p), false); }
    void store(uint32_t p, const IndexPage& content) { file.put(p, serializeIndexPage(content, false, false)); }
};

TEST(IndexWalk, FindingsNameThePageAndTheFault) {
    {
        Damaged d;  // the leaf chain broken forwards and backwards
        const uint32_t a = d.leaves[3], b = d.leaves[4];
        IndexPage pa = d.page(a), pb = d.page(b);
        pa.next = 0;
        pb.prev = 77;
        d.store(a, pa);
        d.store(b, pb);
        const IndexWalk w = d.file.walk(d.tree.root);
        EXPECT_EQ(w.findings.size(), 2u) << findingsText(w);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(a) + ": its next page is 0, but the leaf after it in the tree is page " +
                                      std::to_string(b)));
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(b) +
                                      ": its previous page is 77, but the leaf before it in the tree is page " +
                                      std::to_string(a)));
        EXPECT_EQ(w.entries.size(), 1500u);  // the walk went on
    }
    {
        Damaged d;  // a flipped key byte in the last entry of a leaf and in the middle of another
        const uint32_t a = d.leaves[2], b = d.leaves[5];
        IndexPage pa = d.page(a), pb = d.page(b);
        pa.entries.back().key[5] ^= 0x01;
        pb.entries[10].key[1] = 0x02;
        d.store(a, pa);
        d.store(b, pb);
        const IndexWalk w = d.file.walk(d.tree.root);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(b) + ": entry 11 sorts before the entry before it")) << findingsText(w);
        uint32_t parent = 0;
        size_t index = 0;
        for (uint32_t n : d.nodes) {
            const IndexPage np = d.page(n);
            for (size_t k = 0; k < np.entries.size(); ++k)
                if (np.entries[k].child == a) parent = n, index = k;
        }
        ASSERT_NE(parent, 0u);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(parent) + ": entry " + std::to_string(index + 1) +
                                      " does not repeat the last entry of its child page " + std::to_string(a)))
            << findingsText(w);
    }
    {
        Damaged d;  // a loop back to the root, a child past the end, a wrong page type, another table's page
        IndexPage n0 = d.page(d.nodes[1]);
        n0.entries[0].child = d.tree.root;
        n0.entries[1].child = 999999;
        d.store(d.nodes[1], n0);
        d.file.at(d.leaves.back())[0] = 0x01;
        IndexPage other = d.page(d.leaves[8]);
        other.owner = 9;
        d.store(d.leaves[8], other);
        const IndexWalk w = d.file.walk(d.tree.root);
        const std::string n = std::to_string(d.nodes[1]);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(d.tree.root) + ": it is reached a second time (from page " + n +
                                      "); a tree reaches each page once"))
            << findingsText(w);
        EXPECT_TRUE(hasFinding(w, "page " + n + ": entry 2 points to child page 999999, which the file does not have"));
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(d.leaves.back()) +
                                      ": it cannot be read as an index page: its type is 1, not an index page (3 node, 4 leaf)"));
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(d.leaves[8]) +
                                      ": it belongs to the table definition on page 9, not on page 5"));
    }
    {
        Damaged d;  // a leaf gone from the file, an empty leaf, a root outside the file
        d.file.erase(d.leaves[1]);
        IndexPage empty = d.page(d.leaves[6]);
        empty.entries.clear();
        d.store(d.leaves[6], empty);
        const IndexWalk w = d.file.walk(d.tree.root);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(d.leaves[1]) + ": it cannot be read")) << findingsText(w);
        EXPECT_TRUE(hasFinding(w, "page " + std::to_string(d.leaves[6]) + ": the leaf has no entries"));
        EXPECT_EQ(findingsText(d.file.walk(600000)),
                  "page 600000: the index's root lies past the end of the file (500000 pages)\n");
        EXPECT_EQ(findingsText(d.file.walk(0)), "page 0: the index has no root page\n");
        // Keys past what the file can hold end the walk.
        Damaged fresh;
        const IndexWalk big =
            walkIndexTree(fresh.tree.root, false, fresh.file.pageCount(), kOwner, fresh.file.source(), 20000);
        ASSERT_EQ(big.findings.size(), 1u) << findingsText(big);
        EXPECT_NE(big.findings[0].what.find("the index's keys pass 20000 bytes"), std::string::npos);
        EXPECT_TRUE(big.entries.empty());
    }
}

// Random damage to the pages of a tree: the parser throws only IndexPageError,
// the walk never throws, visits each page at most once and ends.
TEST(IndexWalk, MutatedPagesNeitherCrashNorHang) {
    IndexTreeOptions o;
    MemoryFile base;
    const IndexTree tree = base.build(textEntries(1500), o);
    std::mt19937 rng(20240601);
    const std::vector<uint32_t> pages = tree.pages;
    for (int round = 0; round < 400; ++round) {
        MemoryFile file = base;
        const int damaged = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < damaged; ++k) {
            Bytes& b = file.at(pages[rng() % pages.size()]);
            const int flips = 1 + static_cast<int>(rng() % 12);
            for (int f = 0; f < flips; ++f) {
                // Most damage in the header, the mask and the first entries, where it matters most.
                const size_t at = rng() % 3 == 0 ? rng() % b.size() : rng() % 0x260;
                b[at] = static_cast<uint8_t>(rng());
            }
            try {
                parseIndexPage(b, false);
            } catch (const IndexPageError&) {
            }
        }
        IndexWalk w;
        ASSERT_NO_THROW(w = file.walk(tree.root)) << "round " << round;
        EXPECT_LE(w.pages.size(), pages.size() + static_cast<size_t>(damaged) * 400);
        EXPECT_EQ(std::set<uint32_t>(w.pages.begin(), w.pages.end()).size(), w.pages.size()) << "round " << round;
    }
    // Pages of random bytes with an index page's type.
    for (int round = 0; round < 300; ++round) {
        for (bool jet3 : {false, true}) {
            Bytes b(jet3 ? 2048 : 4096);
            for (auto& x : b) x = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 0);
            b[0] = round % 2 ? kIndexLeafPage : kIndexNodePage;
            try {
                const IndexPage p = parseIndexPage(b, jet3);
                for (const auto& e : p.entries) EXPECT_LE(e.key.size(), b.size());
            } catch (const IndexPageError&) {
            }
        }
    }
    EXPECT_THROW(parseIndexPage(Bytes(100, 4), false), IndexPageError);
}

}  // namespace
