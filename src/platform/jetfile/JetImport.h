#pragma once
// A real Jet file becomes a new store with the same structure and the same
// rows: every user table with its columns, key, indexes and enforced
// relationships, in one transaction. A table or value that cannot be
// imported aborts the import and no store file is left behind.
#include <functional>
#include <string>

namespace dex {

struct ImportProgress {
    std::string table;
    int tableNumber = 0;  // 1-based
    int tableCount = 0;
    long long rows = 0;  // rows of this table imported
};

// storePath must not exist. The password opens the Jet file and becomes the
// store's password (none when the Jet file has none). onTable is called after
// each table's rows are in.
void ImportJetFile(const std::string& jetPath, const std::string& storePath, const std::string& password,
                   const std::function<void(const ImportProgress&)>& onTable = {});

}  // namespace dex
