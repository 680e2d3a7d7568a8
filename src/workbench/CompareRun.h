#pragma once
// The Compare button / F5: validate both paths, prepare and migrate the
// copies when a product is chosen, then load and compare.
#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Workbench.h"

namespace dex {

struct CompareRequest {
    std::string pathA, pathB;
    std::string productCode;  // "" or vardoII / FornII / FornPro / quickbilII
    // The files' passwords, for a file that does not take the product's;
    // used for this run only. The copies get the product's password.
    std::string passwordA = kProductPassword, passwordB = kProductPassword;
};

// Brings one copy to the product's latest schema: DBOpen on the copy with
// the product password, then the product's ChkDBpatch.
class Migrator {
public:
    virtual ~Migrator() = default;
    // False: the catalogue stopped and has shown its message. DBOpen's
    // failures are thrown as DbError.
    virtual bool migrate(const std::string& productCode, const std::string& copyPath) = 0;
    // Lets go of the shared connection before the copies are replaced.
    virtual void release() = 0;

    // Makes a migrator that shares nothing with this one: its own engine and
    // connection, the dialogs given (where its messages wait until the run
    // shows them), its log written into logFolder. Called on the thread that
    // then uses and destroys it. Once `abandoned` is set its work will be
    // thrown away, and it may stop early.
    using TwinMaker = std::function<std::unique_ptr<Migrator>(Dialogs& dialogs, const std::string& logFolder,
                                                              const std::atomic<bool>& abandoned)>;
    // How the run migrates copy B on a second thread while this migrator
    // migrates copy A. Empty (the default): both copies are migrated here,
    // one after the other.
    virtual TwinMaker twinMaker() { return {}; }
    // Takes over what a twin made by twinMaker() left once its work is kept:
    // shows its messages, in order, through this migrator's dialogs, then
    // appends the sections it wrote into logFolder to this migrator's log.
    virtual void adoptTwin(const std::vector<RecordingDialogs::Shown>& /*messages*/,
                           const std::string& /*logFolder*/) {}
};

// The temporary folder and the two copies, all formed from path A. lock
// holds the folder's run lock for as long as the run uses the copies;
// unfinished keeps the copies among the files a stop signal removes.
struct CopyPaths {
    std::string folder, copyA, copyB;
    std::shared_ptr<const void> lock;
    std::shared_ptr<const void> unfinished;
};
// Every ".mdb" of path A replaced by "temp", "temp/temp(A).mdb", "temp/temp(B).mdb".
CopyPaths FormCopyPaths(const std::string& pathA);

// Where a run's copies stay after it, and the space the files of their
// folder take; none when the folder of copyPath is not there.
struct CopiesOnDisk {
    std::string folder;
    uintmax_t bytes = 0;
};
std::optional<CopiesOnDisk> DescribeCopies(const std::string& copyPath);
// 900 -> "900 B", 1536 -> "1.5 KB", 77594624 -> "74.0 MB".
std::string SizeText(uintmax_t bytes);

// Makes target, a new file in a folder of the caller's own, a working copy of
// source: a store is copied byte for byte together with its unfinished change
// (rollback journal or write-ahead log), so that the copy, not the user's
// file, is where SQLite finishes or undoes it; a real Jet file, which is never
// written, is imported into a store so that the copy can be migrated. Throws
// std::filesystem::filesystem_error or DbError.
// password opens source; the copy then takes the product's password, which
// its migration and loading use.
void MakeWorkingCopy(const std::string& source, const std::string& target,
                     const std::string& password = kProductPassword);

// Whether the file refuses the product's password (error 3031): the user
// may then be asked for its own.
bool RefusesProductPassword(DbEngine& engine, const std::string& path);

// Returns true when both structures were loaded and compared. With a
// product code the two files are copied and the copies migrated first
// (migrator must then be given).
bool RunComparison(Workbench& wb, const CompareRequest& request, Migrator* migrator = nullptr);

// Loads A and B into the grid and compares them, with the hourglass,
// suspended repainting and both progress bars around it.
bool LoadAndCompare(Workbench& wb, const std::string& pathA, const std::string& pathB,
                    const std::string& passwordA = kProductPassword, const std::string& passwordB = kProductPassword);

}  // namespace dex
