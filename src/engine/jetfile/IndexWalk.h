#pragma once
// The walk of one index B-tree from its root, for the file checker: every
// node and leaf visited once (a page reached twice is a finding, so a loop
// ends), and every rule of the tree checked:
//   - each page is an index page of the type its level needs, owned by the
//     table definition (when one is given);
//   - every child page exists; a node page has children;
//   - the leaf chain follows the tree's leaf order both ways, from a first
//     leaf with no previous page to a last one with no next page;
//   - node pages link only to their neighbours on the same level (links
//     between node pages are optional);
//   - every node entry repeats the last entry of its child's subtree (a node
//     page's tail child has no entry);
//   - leaf entries ascend strictly, across the whole chain, and point at
//     pages the file has.
// Findings name the page and what is wrong; the walk goes on where it can.
#include <cstdint>
#include <string>
#include <vector>

#include "IndexPages.h"
#include "TableDefPages.h"

namespace dex::jetfile {

struct IndexFinding {
    uint32_t page = 0;
    std::string what;  // "page 33: its previous page is 0, but the leaf before it in the tree is page 32"
};

struct IndexWalk {
    std::vector<IndexEntry> entries;     // the leaf entries in tree order
    // Each leaf in chain order with the number of its first entry in `entries`.
    struct Leaf {
        uint32_t page = 0;
        size_t first = 0;
    };
    std::vector<Leaf> leaves;
    std::vector<uint32_t> pages;         // the pages visited, level by level from the root
    std::vector<IndexFinding> findings;  // empty when the tree is sound
    int levels = 0;                      // 1: the root is a leaf
    bool sound() const { return findings.empty(); }
    // The leaf page that holds entries[entry].
    uint32_t leafOf(size_t entry) const;
};

// Walks the tree rooted at `root` in a file of `pageCount` pages. `owner`
// is the table definition's page that every index page must name, 0 to not
// check it. Pages come from `pages` (empty: the page cannot be read) and
// may be anything. Prefix compression lets a page's entries take far more
// bytes than the page: once the keys read pass `maxKeyBytes` (0: four times
// the file's size plus 64 MiB) the walk stops with a finding.
IndexWalk walkIndexTree(uint32_t root, bool jet3, uint32_t pageCount, uint32_t owner, const PageSource& pages,
                        uint64_t maxKeyBytes = 0);

}  // namespace dex::jetfile
