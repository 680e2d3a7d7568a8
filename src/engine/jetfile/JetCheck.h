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
//  - every index B-tree walked from its root (IndexWalk.h: page types, the
//    leaf chain both ways, node entries against their children, entries in
//    order), every live row indexed exactly once (no entry for a deleted or
//    missing row), and every key recomputed from the row's values where the
//    column's sort order allows it (General); other keys are checked for
//    order and coverage, with a note saying they were not recomputed;
//  - no unique index holding the same key for two rows (a key with a Null
//    in it may repeat, as the writer allows).
// A finding names the table, the index where one is concerned, and the page.
#include <cstdint>
#include <functional>
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
// (JetModel::open throws). onRow sees every live row the check reads (of
// system tables too), as JetModel::readRows hands it out, so that a caller
// that wants the rows as well reads the file once.
using JetCheckRowObserver = std::function<void(const JetModelTable&, const std::vector<JetValue>&)>;
JetCheckReport checkJetFile(const JetModel& model, const JetCheckRowObserver& onRow = {});

}  // namespace dex::jetfile
