#pragma once
// A real Jet file becomes a new store with the same structure and the same
// rows: every user table with its columns, key, indexes and enforced
// relationships, in one transaction. A table or value that cannot be
// imported aborts the import and no store file is left behind.
//
// The store is built beside STORE under a private name
// (".NAME.import-PID-N.part") and renamed to STORE only when it is complete,
// never over anything that appeared there meanwhile. SIGINT, SIGTERM and
// SIGHUP remove the private file (where the program has not installed handlers
// of its own) before the signal ends the program; a private file that a
// killed import left (its process is gone) is removed by the next import
// into the same STORE. A link at STORE, even a dangling one, counts as an
// existing file.
//
// Values are kept exactly: a Currency as a double that gives back its
// 1/10,000 units (every amount with decimals up to about 900,000,000,000),
// else as a whole number; an amount the store cannot keep exactly ends the
// import with a message. A Date/Time as text ("YYYY-MM-DD HH:MM:SS", with the
// decimals of the second that the stored double needs), or as the double.
// What the rows may make is bounded by the file's size
// (kImportBytesPerFileByte times it, plus kImportBytesSlack).
#include <cstdint>
#include <functional>
#include <string>

namespace dex {

constexpr uint64_t kImportBytesPerFileByte = 4;
constexpr uint64_t kImportBytesSlack = 64ull << 20;

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
