#pragma once
// The keys of an existing file's index entries, by the values they index,
// for rewriting indexes whose keys cannot be computed here: text in a sort
// order other than General, or a character whose General code is not
// established. A key depends only on the values (and the columns' sort order
// and direction), so the entries of the old index give the key of every
// value it holds, wherever the row lands in the new file; no key is ever
// invented.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "JetFileWriter.h"
#include "JetModel.h"

namespace dex::jetfile {

// The name a physical index goes by in the checker's findings: the names of
// the logical indexes that use it, joined by ", " ("#N" when none does).
std::string physicalIndexName(const JetModel& model, const JetModelTable& table, size_t physical);

// Whether the keys of a physical index can be computed from its columns
// (their types and sort orders); otherwise why not.
std::string whyIndexNotComputable(const JetModel& model, const JetModelTable& table, size_t physical);

class KeyCarrier {
public:
    // Walks the trees of the given physical indexes, (table, physical
    // number) pairs, and reads their tables' rows. Throws DbError (3343) when
    // a tree or a row cannot be read; entries of rows that are gone are
    // skipped.
    KeyCarrier(const JetModel& model, const std::set<std::pair<std::string, size_t>>& indexes);

    // The writer's look-up (JetWriteDatabase::keysByValue).
    JetKeysByValue lookup() const;
    // Entries held, over all indexes.
    size_t size() const { return entries_; }

private:
    // table (lower case) -> the index's columns (lower case, "|"-joined) -> values -> key
    std::map<std::string, std::map<std::string, std::map<std::string, std::vector<uint8_t>>>> keys_;
    size_t entries_ = 0;
};

// The values as one comparable byte string (type and bytes of each).
std::string valuesKey(const std::vector<JetValue>& values);

}  // namespace dex::jetfile
