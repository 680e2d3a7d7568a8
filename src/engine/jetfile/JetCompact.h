#pragma once
// Compact and repair of a real Jet 4 file in place: a new file is written
// from the file's model, as DAO's compaction builds a new database and
// copies every object into it.
//
//  - Tables, rows, table definitions, usage maps and index B-trees are made
//    anew; deleted rows, free pages and pages nothing uses are left behind.
//  - Every object that is not a table (queries and their MSysQueries rows,
//    forms, reports, modules, the relationship layout, permissions, the
//    database's and the summary's properties, the navigation tables) is
//    carried over verbatim, with the ids of tables remapped where rows refer
//    to them; each object's raw property blob is carried over. The header
//    keeps its sort order, code page, creation date, password and version.
//  - Keys: computed from the values where the sort order is General (the
//    checker has already held every sound index's keys against the values,
//    so the new keys equal the old bytes); for any other sort order, or a
//    character whose code is not established, the old index's key bytes
//    are carried over by value (KeyCarrier.h), never invented.
//  - Repair: an index the checker finds unsound is built again from the
//    rows when its keys can be computed; when they cannot, the compaction
//    stops naming the index and why. A key that the checker finds to differ
//    from what the values make, in a tree that is otherwise sound, stops it
//    too: the file's own keys are then trusted over the encoder.
//  - The new file is read back (every table's rows equal to those written,
//    the structure and the catalogue's other objects equal to the old
//    file's, the checker finding it sound) and only then swapped in
//    (FileSwap.h): the original stays beside it as NAME.bak.mdb.
// Jet 3 (Access 97) files are not written: DbError, the file unchanged.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dex {

struct CompactProgress {
    std::string stage;  // "check", "write", "read back"
    std::string table;
    int tableNumber = 0, tableCount = 0;
    uint64_t rows = 0;
};

struct CompactOutcome {
    std::string backup;                 // where the original now is
    std::vector<std::string> repaired;  // "table 'T', index 'I': <what was wrong>" for each index built again
    std::vector<std::string> carried;   // indexes whose keys were carried over
    uint64_t rows = 0;                  // live rows written, over all tables
    uintmax_t sizeBefore = 0, sizeAfter = 0;
};

// The passwords are tried in order (a file without a password opens with
// any). Throws DbError naming the file and the cause; the file is then
// unchanged.
CompactOutcome CompactJetFile(const std::string& path, const std::vector<std::string>& passwords,
                              const std::function<void(const CompactProgress&)>& onProgress = {});

// Opens a Jet file with the first password that fits; DbError 3031 when none does.
std::string jetPasswordOf(const std::string& path, const std::vector<std::string>& passwords);

}  // namespace dex
