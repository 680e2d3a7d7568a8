#pragma once
// Changing a real Jet 4 file through a store, all or nothing, for migrate
// and exec on the customers' own files: the file is imported into a private
// store, the change runs on the store, and the store's tables are written
// back into a new Jet 4 file that carries everything else of the old one —
// queries, forms, reports, modules, the relationship layout, permissions,
// the database's and the summary's properties, the navigation and other
// system tables — with the old file's code page, sort order, creation date
// and password. A table the change left as it was keeps its catalogue row,
// raw property blob and column flags; a changed or new table gets its
// properties from its columns (DefaultValue, Required, AllowZeroLength) and
// the permissions of the file's first table. The new file is read back (its
// structure equal to the changed store's, every table's rows equal to what
// was written, the checker finding it sound) and swapped in (FileSwap.h):
// the original stays beside it as NAME.bak.mdb.
//
// In a sort order other than General, keys of text are carried over by
// value from the old indexes (KeyCarrier.h); a key they do not hold (a new
// index, a new value) ends the work with a message saying so, the file
// unchanged — unless the whole file is rewritten in the General order.
#include <functional>
#include <string>
#include <vector>

namespace dex {

struct JetRouteOptions {
    std::vector<std::string> passwords;  // tried in order
    bool generalSortOrder = false;       // rewrite the file in the General sort order (0x409)
    std::function<void(const std::string&)> log;  // what the route does, a line at a time
};

struct JetRouteOutcome {
    bool changed = false;  // false: the change did not finish, the file is as it was
    std::string backup;    // where the original now is
};

// change(store, password) makes the change on the store; false when it did
// not finish (its messages are its own). Throws DbError naming the file and
// the cause; the file is then unchanged.
JetRouteOutcome changeJetFileThroughStore(
    const std::string& path, const JetRouteOptions& options,
    const std::function<bool(const std::string& store, const std::string& password)>& change);

}  // namespace dex
