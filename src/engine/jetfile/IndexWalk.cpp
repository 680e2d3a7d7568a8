#include "IndexWalk.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace dex::jetfile {
namespace {

std::string pageText(uint32_t page) { return "page " + std::to_string(page); }

struct Visit {
    uint32_t page = 0;
    uint32_t from = 0;  // the node page that refers to it; 0 for the root
};

struct Parsed {
    uint32_t page = 0;
    IndexPage content;
};

// A node page's children in order (its entries' children, then its tail),
// kept for the check of its entries against the subtrees' last entries.
struct NodeInfo {
    uint32_t page = 0;
    std::vector<IndexEntry> entries;  // key and row of each entry, with its child
    uint32_t tail = 0;
};

class Walker {
public:
    Walker(bool jet3, uint32_t pageCount, uint32_t owner, const PageSource& pages, uint64_t maxKeyBytes)
        : jet3_(jet3), pageCount_(pageCount), owner_(owner), pages_(pages), maxKeyBytes_(maxKeyBytes) {}

    IndexWalk run(uint32_t root) {
        if (!exists(root)) {
            add(root, root == 0 ? std::string("the index has no root page")
                                : "the index's root lies past the end of the file (" + std::to_string(pageCount_) +
                                      " pages)");
            return std::move(walk_);
        }
        std::vector<Visit> level{{root, 0}};
        while (!level.empty()) {
            std::vector<Parsed> parsed = readLevel(level);
            if (parsed.empty() || tooLarge_) break;
            ++walk_.levels;
            if (parsed.front().content.isLeaf()) {
                checkLeaves(parsed, level.size() == 1 && level.front().from == 0);
                break;
            }
            level = checkNodes(parsed);
        }
        checkNodeEntries();
        return std::move(walk_);
    }

private:
    bool exists(uint32_t page) const { return page != 0 && page < pageCount_; }

    void add(uint32_t page, const std::string& what) { walk_.findings.push_back({page, pageText(page) + ": " + what}); }

    // Reads one level's pages; the pages of the type most of them have are kept.
    std::vector<Parsed> readLevel(const std::vector<Visit>& level) {
        std::vector<Parsed> parsed;
        size_t leaves = 0;
        for (const Visit& v : level) {
            if (!seen_.insert(v.page).second) {
                add(v.page, "it is reached a second time (from " + pageText(v.from) + "); a tree reaches each page once");
                continue;
            }
            const std::vector<uint8_t> bytes = pages_(v.page);
            if (bytes.empty()) {
                add(v.page, "it cannot be read");
                continue;
            }
            try {
                parsed.push_back(Parsed{v.page, parseIndexPage(bytes, jet3_)});
            } catch (const IndexPageError& e) {
                add(v.page, std::string("it cannot be read as an index page: ") + e.what());
                continue;
            }
            for (const auto& e : parsed.back().content.entries) keyBytes_ += e.key.size();
            if (keyBytes_ > maxKeyBytes_) {
                add(v.page, "with it the index's keys pass " + std::to_string(maxKeyBytes_) +
                                " bytes, more than this file can hold; the rest of the tree is not read");
                parsed.pop_back();
                tooLarge_ = true;
                break;
            }
            if (parsed.back().content.isLeaf()) ++leaves;
        }
        const bool leafLevel = leaves * 2 >= parsed.size() && leaves > 0;
        std::vector<Parsed> kept;
        for (auto& p : parsed) {
            if (p.content.isLeaf() != leafLevel) {
                add(p.page, std::string("it is a ") + (leafLevel ? "node" : "leaf") + " page on a level of " +
                                (leafLevel ? "leaf" : "node") + " pages");
                continue;
            }
            if (owner_ != 0 && p.content.owner != owner_)
                add(p.page, "it belongs to the table definition on " + pageText(p.content.owner) + ", not on " +
                                pageText(owner_));
            walk_.pages.push_back(p.page);
            kept.push_back(std::move(p));
        }
        return kept;
    }

    void checkLeaves(std::vector<Parsed>& leaves, bool rootOnly) {
        for (size_t i = 0; i < leaves.size(); ++i) {
            const IndexPage& p = leaves[i].content;
            const uint32_t page = leaves[i].page;
            if (i == 0 && p.prev != 0)
                add(page, "it is the first leaf, but its previous page is " + std::to_string(p.prev));
            if (i > 0 && p.prev != leaves[i - 1].page)
                add(page, "its previous page is " + std::to_string(p.prev) + ", but the leaf before it in the tree is " +
                              pageText(leaves[i - 1].page));
            if (i + 1 < leaves.size() && p.next != leaves[i + 1].page)
                add(page, "its next page is " + std::to_string(p.next) + ", but the leaf after it in the tree is " +
                              pageText(leaves[i + 1].page));
            if (i + 1 == leaves.size() && p.next != 0)
                add(page, "it is the last leaf, but its next page is " + std::to_string(p.next));
            if (p.entries.empty() && !rootOnly) add(page, "the leaf has no entries");
        }
        for (auto& leaf : leaves) {
            walk_.leaves.push_back(IndexWalk::Leaf{leaf.page, walk_.entries.size()});
            bool orderReported = false;
            int outside = 0;
            for (size_t k = 0; k < leaf.content.entries.size(); ++k) {
                IndexEntry& e = leaf.content.entries[k];
                if (!walk_.entries.empty() && !orderReported) {
                    const int c = compareIndexEntries(walk_.entries.back(), e);
                    if (c >= 0) {
                        add(leaf.page, "entry " + std::to_string(k + 1) +
                                           (c == 0 ? " repeats the entry before it" : " sorts before the entry before it"));
                        orderReported = true;
                    }
                }
                if (!exists(e.row.page) && outside++ == 0)
                    add(leaf.page, "entry " + std::to_string(k + 1) + " points to row " + std::to_string(e.row.row) +
                                       " of page " + std::to_string(e.row.page) + ", which the file does not have");
                walk_.entries.push_back(std::move(e));
            }
            if (!leaf.content.entries.empty()) last_[leaf.page] = walk_.entries.back();
        }
    }

    // Checks a node level; the next level's pages in order.
    std::vector<Visit> checkNodes(const std::vector<Parsed>& nodes) {
        std::vector<Visit> next;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const IndexPage& p = nodes[i].content;
            const uint32_t page = nodes[i].page;
            if (p.prev != 0 && (i == 0 || p.prev != nodes[i - 1].page))
                add(page, "its previous page is " + std::to_string(p.prev) +
                              ", which is not the page before it on its level");
            if (p.next != 0 && (i + 1 == nodes.size() || p.next != nodes[i + 1].page))
                add(page, "its next page is " + std::to_string(p.next) + ", which is not the page after it on its level");
            if (p.entries.empty() && p.tail == 0) add(page, "the node page has no entries and no tail page");
            NodeInfo info{page, p.entries, p.tail};
            for (size_t k = 0; k < p.entries.size(); ++k) {
                const uint32_t child = p.entries[k].child;
                if (exists(child))
                    next.push_back(Visit{child, page});
                else
                    add(page, "entry " + std::to_string(k + 1) + " points to child page " + std::to_string(child) +
                                  ", which the file does not have");
            }
            if (p.tail != 0) {
                if (exists(p.tail))
                    next.push_back(Visit{p.tail, page});
                else
                    add(page, "its tail page " + std::to_string(p.tail) + " is not in the file");
            }
            nodeLevels_.push_back(std::move(info));
        }
        return next;
    }

    // From the bottom up: each node entry must equal the last entry of its child's subtree.
    void checkNodeEntries() {
        for (auto it = nodeLevels_.rbegin(); it != nodeLevels_.rend(); ++it) {
            const NodeInfo& node = *it;
            for (size_t k = 0; k < node.entries.size(); ++k) {
                const IndexEntry& e = node.entries[k];
                auto last = last_.find(e.child);
                if (last == last_.end()) continue;  // the child is unreadable or empty: already reported
                if (last->second.key != e.key || last->second.row != e.row)
                    add(node.page, "entry " + std::to_string(k + 1) + " does not repeat the last entry of its child " +
                                       pageText(e.child));
            }
            const uint32_t lastChild = node.tail != 0 ? node.tail : node.entries.empty() ? 0 : node.entries.back().child;
            if (auto last = last_.find(lastChild); last != last_.end()) last_[node.page] = last->second;
        }
    }

    bool jet3_;
    uint32_t pageCount_;
    uint32_t owner_;
    const PageSource& pages_;
    uint64_t maxKeyBytes_;
    uint64_t keyBytes_ = 0;
    bool tooLarge_ = false;
    IndexWalk walk_;
    std::unordered_set<uint32_t> seen_;
    std::vector<NodeInfo> nodeLevels_;           // node pages in walking order
    std::map<uint32_t, IndexEntry> last_;        // the last entry of each page's subtree
};

}  // namespace

uint32_t IndexWalk::leafOf(size_t entry) const {
    const auto after = std::upper_bound(leaves.begin(), leaves.end(), entry,
                                        [](size_t e, const Leaf& l) { return e < l.first; });
    return after == leaves.begin() ? 0 : std::prev(after)->page;
}

IndexWalk walkIndexTree(uint32_t root, bool jet3, uint32_t pageCount, uint32_t owner, const PageSource& pages,
                        uint64_t maxKeyBytes) {
    if (maxKeyBytes == 0)
        maxKeyBytes = 4 * static_cast<uint64_t>(pageCount) * static_cast<uint64_t>(IndexPageFormat::of(jet3).pageSize) +
                      (uint64_t{64} << 20);
    return Walker(jet3, pageCount, owner, pages, maxKeyBytes).run(root);
}

}  // namespace dex::jetfile
