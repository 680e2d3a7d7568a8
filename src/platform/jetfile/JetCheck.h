#pragma once
// Proves a Jet file sound, or says what is wrong with it, table by table:
//  - every table's definition pages, usage map and data pages (of the right
//    type, owned by the table, inside the file);
//  - the usage map agreeing with the pages the table owns (every data page
//    naming the table as its owner is in its map);
//  - the definition's row count equal to the live rows;
//  - every row readable, every long-value chain ending;
//  - every page reachable from the catalog: a table's definition, data,
//    long-value, usage-map or index pages, or listed free in the file's own
//    map on page 1;
//  - every index B-tree, through checkJetIndexes (JetCheckIndexes.h).
// A finding names the table, the index where one is concerned, and the page.
#include <cstdint>
#include <string>
#include <vector>

#include "JetModel.h"

namespace dex::jetfile {

struct JetFinding {
    std::string table;   // "" for the file as a whole
    std::string index;   // "" when no index is concerned
    uint32_t page = 0;   // 0 when no page is concerned
    std::string what;
    std::string text() const;  // "table 'T', index 'I', page N: what"
};

struct JetCheckReport {
    std::vector<JetFinding> problems;
    std::vector<std::string> notes;  // what could not be checked, and why
    size_t tables = 0, rows = 0, indexes = 0, pages = 0;
    bool sound() const { return problems.empty(); }
};

// Checks an open file. A file that cannot be opened at all is the caller's
// (JetModel::open throws).
JetCheckReport checkJetFile(const JetModel& model);

}  // namespace dex::jetfile
