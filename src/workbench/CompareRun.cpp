#include "CompareRun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>

#include "CompactOpen.h"
#include "ErrorText.h"
#include "FileCopy.h"
#include "FileKind.h"
#include "ConnectionText.h"
#include "JetImport.h"
#include "JetStore.h"
#include "modCmpDB.h"
#include "NameText.h"

namespace dex {

namespace fs = std::filesystem;

namespace {

const char* const kProcedure = "cmdComp_Click";
// A file operation's failure in the runtime's terms (number and text).
DbError fileError(const fs::filesystem_error& e) {
    const int code = e.code().value();
    std::string path = e.path1().empty() ? "" : " '" + e.path1().string() + "'";
    if (!e.path2().empty()) path += " -> '" + e.path2().string() + "'";  // a copy names both ends
    if (code == EFBIG) return DbError(61, "Disk full:" + path + " (" + e.code().message() + ")");
    if (code == ENOENT) return DbError(53, "File not found:" + path);
    if (code == EACCES || code == EPERM || code == EROFS) return DbError(70, "Permission denied:" + path);
    if (code == ENOSPC) return DbError(61, "Disk full:" + path);
    if (code == ENOTDIR) return DbError(76, "Path not found:" + path);
    return DbError(75, "Path/File access error:" + path + " (" + e.code().message() + ")");
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::exists(fs::u8path(b), ec) && fs::equivalent(fs::u8path(a), fs::u8path(b), ec);
}

// A folder of this run's own inside the temporary folder, where copies are
// made before they are renamed into place; removed with whatever is left in it.
class StagingFolder : public OwnFolder {
public:
    explicit StagingFolder(const fs::path& parent) : OwnFolder(parent / ".stagingXXXXXX") {}
};

// Copies one file byte for byte into a new file. Unlike fs::copy_file, a
// write that fails part way reports the system's reason (a full disk, a file
// size limit) instead of a bare input/output error.
void copyBytes(const fs::path& from, const fs::path& to) {
    const auto fail = [&](const char* what) {
        throw fs::filesystem_error(what, from, to, std::error_code(errno, std::generic_category()));
    };
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) fail("cannot read");
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int saved = errno;
        ::close(in);
        errno = saved;
        fail("cannot create");
    }
    const int copied = copyFileContents(in, out);
    ::close(in);
    const bool closed = ::close(out) == 0;
    if (copied != 0) errno = copied;
    if (copied != 0 || !closed) fail("cannot copy");
}

// Copies a store byte for byte together with its unfinished change
// (rollback journal or write-ahead log).
void copyWithJournal(const std::string& source, const std::string& target) {
    copyBytes(fs::u8path(source), fs::u8path(target));
    for (const char* suffix : {"-journal", "-wal"}) {
        const fs::path side = fs::u8path(source + suffix);
        std::error_code ec;
        if (fs::is_regular_file(side, ec)) copyBytes(side, fs::u8path(target + suffix));
    }
}

// Renames a staged file over target, together with the journal, log and
// index files SQLite keeps beside it; target's own are removed first.
void moveIntoPlace(const fs::path& part, const std::string& target) {
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(fs::u8path(target + suffix));
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const fs::path side(part.string() + suffix);
        if (fs::exists(side)) fs::rename(side, fs::u8path(target + suffix));
    }
    fs::rename(part, fs::u8path(target));
}

// Makes target a copy of source: staged in the run's own folder, then renamed
// into place, so a failed copy never leaves half a database under the
// target's name, and a link planted under the target's name is replaced, not
// followed.
void replaceCopy(const std::string& source, const std::string& target, const StagingFolder& staging,
                 const std::string& password) {
    const fs::path part = staging.path() / fs::u8path(target).filename();
    MakeWorkingCopy(source, part.string(), password);
    // Customer data: the copy (however it was made: bytes, an import, the
    // store's own files beside it) is readable by its user only.
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        const fs::path file(part.string() + suffix);
        std::error_code ec;
        if (fs::is_regular_file(fs::symlink_status(file, ec)))
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    }
    moveIntoPlace(part, target);
}

// The temporary folder must be a real folder of the running user's: a link
// or another user's folder there could send the copies anywhere.
fs::path checkedFolder(const fs::path& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT) throw fs::filesystem_error("cannot read", folder, std::error_code(errno, std::generic_category()));
        if (::mkdir(folder.c_str(), 0700) != 0)  // the parent must exist
            throw fs::filesystem_error("cannot make the temporary folder", folder,
                                       std::error_code(errno, std::generic_category()));
        return fs::canonical(folder);
    }
    if (S_ISLNK(st.st_mode))
        throw DbError(75, "The temporary folder '" + folder.string() +
                              "' is a symbolic link; the copies are made only in a real folder. Remove the link "
                              "and compare again.");
    if (!S_ISDIR(st.st_mode))
        throw DbError(75, "'" + folder.string() + "' is in the way of the temporary folder: it is not a folder.");
    if (st.st_uid != ::geteuid())
        throw DbError(70, "The temporary folder '" + folder.string() +
                              "' belongs to another user; the copies are made only in a folder of your own.");
    return fs::canonical(folder);
}

// An exclusive lock on the folder for one run: a second comparison with the
// same A would overwrite the first one's copies while it migrates them.
std::shared_ptr<const void> lockFolder(const fs::path& folder) {
    const fs::path lockFile = folder / ".lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw fs::filesystem_error("cannot open the lock file", lockFile, std::error_code(errno, std::generic_category()));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw DbError(3261, "Another comparison is using the temporary folder '" + folder.string() +
                                "' (the same database A); compare again when it has ended.");
    }
    return std::shared_ptr<const void>(nullptr, [fd](const void*) { ::close(fd); });
}

// Makes the folder and both copies; returns the copies' paths.
CopyPaths makeCopies(const std::string& pathA, const std::string& pathB, const std::string& passwordA,
                     const std::string& passwordB) {
    CopyPaths paths = FormCopyPaths(pathA);
    const fs::path folder = checkedFolder(fs::u8path(paths.folder));
    paths.lock = lockFolder(folder);
    // A folder left by an earlier version may be open to others.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    paths.folder = folder.string();
    paths.copyA = (folder / "temp(A).mdb").string();
    paths.copyB = (folder / "temp(B).mdb").string();
    // Under the run's lock: a copy half made or half migrated when a signal
    // stops the run is removed with the staging folders.
    paths.unfinished = std::make_shared<UnfinishedFiles>(std::vector<std::string>{paths.copyA, paths.copyB});
    for (const auto& user : {pathA, pathB})
        for (const auto& copy : {paths.copyA, paths.copyB})
            if (sameFile(user, copy))
                throw DbError(75, "'" + user + "' is one of the comparison's own temporary copies; "
                                  "choose the original database instead");
    StagingFolder staging(folder);
    replaceCopy(pathA, paths.copyA, staging, passwordA);
    replaceCopy(pathB, paths.copyB, staging, passwordB);
    return paths;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

// Checks one path box; on failure shows the message and focuses the box.
bool validateBox(Workbench& wb, const std::string& text, int index) {
    if (text.empty()) {
        wb.dialogs.message("DataBase 파일을 선택하세요.", kAppTitle, Icon::None);
        wb.window.focusPathBox(index);
        return false;
    }
    if (!fileExists(text)) {
        wb.dialogs.message(FileNotFoundText(text), kAppTitle, Icon::None);
        wb.window.focusPathBox(index);
        return false;
    }
    return true;
}

// Restores the pointer, repainting and the bars whatever happens inside.
class LoadScope {
public:
    explicit LoadScope(Workbench& wb) : wb_(wb) {
        wb_.window.setBusy(true);
        wb_.grid.suspendPainting();
        wb_.overallBar.setMaximum(5);
        wb_.overallBar.setValue(0);
        wb_.itemBar.setVisible(true);
        wb_.overallBar.setVisible(true);
    }
    ~LoadScope() {
        wb_.window.setBusy(false);
        wb_.grid.resumePainting();
        wb_.itemBar.setVisible(false);
        wb_.overallBar.setVisible(false);
    }
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;

private:
    Workbench& wb_;
};

}  // namespace

bool LoadAndCompare(Workbench& wb, const std::string& pathA, const std::string& pathB, const std::string& passwordA,
                    const std::string& passwordB) {
    LoadScope scope(wb);
    if (!modCmpDB::LoadDBStruct(wb, pathA, true, passwordA, "")) return false;
    wb.overallBar.step();
    if (!modCmpDB::LoadDBStruct(wb, pathB, false, passwordB, "")) return false;
    wb.overallBar.step();
    modCmpDB::CompareStruct(wb);
    return true;
}

void MakeWorkingCopy(const std::string& source, const std::string& target, const std::string& password) {
    // The kind is read from the first bytes before anything is copied: a file
    // that is no database is refused at once, however large it is.
    switch (detectFileKind(source)) {
        case FileKind::Jet:
            ImportJetFile(source, target, password);
            break;
        case FileKind::Other: throw DbError(dberr::UnrecognizedFormat, "Unrecognized database format '" + source + "'.");
        case FileKind::Store:
        case FileKind::Unreadable:  // a file that cannot be read fails the copy with the system's reason
            copyWithJournal(source, target);
            break;
    }
    // A file of its own password: its copy takes the product's, as the
    // migration and the loads open it.
    if (password != kProductPassword) setStorePassword(target, password, kProductPassword);
}

bool RefusesProductPassword(DbEngine& engine, const std::string& path) {
    try {
        auto db = engine.openDatabase(path, 0, true, daoConnectText(kProductPassword));
        db->close();
        return false;
    } catch (const DbError& e) {
        return e.number() == 3031;
    } catch (...) {
        return false;
    }
}

std::optional<CopiesOnDisk> DescribeCopies(const std::string& copyPath) {
    std::error_code ec;
    const fs::path folder = fs::u8path(copyPath).parent_path();
    if (copyPath.empty() || !fs::is_directory(folder, ec)) return std::nullopt;
    CopiesOnDisk out{folder.string(), 0};
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) out.bytes += it->file_size(ec);
    return out;
}

std::string SizeText(uintmax_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) value /= 1024, ++unit;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f %s", value, units[unit]);
    return buf;
}

CopyPaths FormCopyPaths(const std::string& pathA) {
    return {replaceAll(pathA, ".mdb", "temp"), replaceAll(pathA, ".mdb", "temp/temp(A).mdb"),
            replaceAll(pathA, ".mdb", "temp/temp(B).mdb"), nullptr};
}

namespace {

void reportRunError(Workbench& wb, const DbError& e) {
    wb.dialogs.message(errorFrame(e.number(), e.description(), kProcedure, kFormOwner), kAppTitle, Icon::None);
}

// A failure while migrating a copy names the user's file, not the copy the
// user never chose ("temp(A).mdb" in a folder of the run's own).
DbError namingTheOriginals(const DbError& e, const CompareRequest& request, const CopyPaths& paths) {
    std::string text = e.description();
    if (!paths.copyA.empty()) text = replaceAll(text, paths.copyA, request.pathA);
    if (!paths.copyB.empty()) text = replaceAll(text, paths.copyB, request.pathB);
    return DbError(e.number(), text);
}

// The messages of a migration kept for later. A question, or a file
// dialog, would need the user now: it is answered No (cancelled) and
// remembered, so that the run can drop this migration's work.
class KeptMigrationDialogs : public RecordingDialogs {
public:
    bool neededTheUser = false;
    bool askYesNo(const std::string& text, const std::string& title, bool defaultNo) override {
        neededTheUser = true;
        return RecordingDialogs::askYesNo(text, title, defaultNo);
    }
    OpenFileResult openFile(const OpenFileRequest& request) override {
        neededTheUser = true;
        return RecordingDialogs::openFile(request);
    }
    OpenFileResult saveFile(const OpenFileRequest& request) override {
        neededTheUser = true;
        return RecordingDialogs::saveFile(request);
    }
};

// Copy B's migration on a second thread, by a twin of the run's migrator
// that the thread makes, uses and destroys, while copy A is migrated on the
// calling thread. The twin works on a scratch copy of temp(B).mdb (same file
// name, in a folder of the run's own); its messages and log sections are
// kept there. Only after A's migration has succeeded are they taken over:
// the scratch file renamed over temp(B).mdb, the messages shown, the log
// sections appended, a thrown error rethrown, so that files, messages and
// log read as if B had been migrated after A on the calling thread.
class SideMigration {
public:
    // Nothing when the migrator has no twin, or when the scratch folder or
    // the thread cannot be made: B is then migrated after A, as before.
    static std::unique_ptr<SideMigration> start(Migrator& migrator, const std::string& productCode,
                                                const CopyPaths& paths) {
        Migrator::TwinMaker make = migrator.twinMaker();
        if (!make) return nullptr;
        try {
            return std::unique_ptr<SideMigration>(new SideMigration(std::move(make), productCode, paths));
        } catch (const std::exception&) {
            return nullptr;
        }
    }

    // Unfinished work is abandoned and waited for; the scratch folder goes
    // with whatever is left in it.
    ~SideMigration() {
        abandoned_ = true;
        if (thread_.joinable()) thread_.join();
    }
    SideMigration(const SideMigration&) = delete;
    SideMigration& operator=(const SideMigration&) = delete;

    // Called once A's migration has succeeded: B's result, as migrate()
    // would have given it on temp(B).mdb.
    bool finish(Migrator& migrator) {
        thread_.join();
        if (!twinMade_ || neededTheUser_) {
            // No scratch copy or no twin could be made, or the migration
            // wanted an answer that only the user can give: the second
            // thread's work is dropped and the plain copy migrated here.
            return migrator.migrate(productCode_, copyB_);
        }
        moveIntoPlace(scratch_, copyB_);
        std::vector<RecordingDialogs::Shown> shown = std::move(shown_);
        for (auto& message : shown) {
            message.text = namingCopyB(message.text);
            message.title = namingCopyB(message.title);
        }
        migrator.adoptTwin(shown, logFolder_.string());
        if (error_) {
            try {
                std::rethrow_exception(error_);
            } catch (const DbError& e) {
                throw DbError(e.number(), namingCopyB(e.description()));
            }
        }
        return migrated_;
    }

private:
    SideMigration(Migrator::TwinMaker make, const std::string& productCode, const CopyPaths& paths)
        : staging_(fs::u8path(paths.folder)),
          make_(std::move(make)),
          productCode_(productCode),
          copyB_(paths.copyB),
          scratch_((staging_.path() / fs::u8path(paths.copyB).filename()).string()),
          logFolder_(staging_.path() / "log") {
        thread_ = std::thread([this] { work(); });
    }

    // On the second thread: the scratch copy, then the twin and its dialogs
    // made, used and destroyed here; the run reads the outcome only after
    // joining. Nothing else touches temp(B).mdb until then.
    void work() {
        KeptMigrationDialogs dialogs;
        try {
            copyWithJournal(copyB_, scratch_);
        } catch (const std::exception&) {
            return;  // B is migrated after A instead
        }
        try {
            std::unique_ptr<Migrator> twin = make_(dialogs, logFolder_.string(), abandoned_);
            if (twin) {
                twinMade_ = true;
                migrated_ = twin->migrate(productCode_, scratch_);
            }
        } catch (...) {
            // The twin is gone (its connection closed) before the error is kept.
            error_ = std::current_exception();
        }
        shown_ = std::move(dialogs.shown);
        neededTheUser_ = dialogs.neededTheUser;
    }

    std::string namingCopyB(const std::string& text) const { return replaceAll(text, scratch_, copyB_); }

    StagingFolder staging_;
    Migrator::TwinMaker make_;
    std::string productCode_, copyB_, scratch_;
    fs::path logFolder_;
    std::atomic<bool> abandoned_{false};
    // Written by the second thread, read after it was joined.
    std::vector<RecordingDialogs::Shown> shown_;
    bool neededTheUser_ = false;
    bool twinMade_ = false;
    bool migrated_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

// Migrates copy A, then copy B; B's migration runs beside A's when the
// migrator has a twin. A failure of A's (False or thrown) ends the run as
// before: B's work is abandoned, waited for and thrown away, temp(B).mdb
// stays the plain copy.
bool migrateCopies(Migrator& migrator, const std::string& productCode, const CopyPaths& paths) {
    std::unique_ptr<SideMigration> sideB = SideMigration::start(migrator, productCode, paths);
    if (!migrator.migrate(productCode, paths.copyA)) return false;
    return sideB ? sideB->finish(migrator) : migrator.migrate(productCode, paths.copyB);
}

// Copies both files and migrates both copies. False: the run stops (a
// message has been shown and the notice hidden).
bool prepareCopies(Workbench& wb, const CompareRequest& request, Migrator& migrator, CopyPaths& paths) {
    wb.window.showNotice(true);
    try {
        migrator.release();
        paths = makeCopies(request.pathA, request.pathB, request.passwordA, request.passwordB);
        if (!migrateCopies(migrator, request.productCode, paths)) {
            wb.window.showNotice(false);
            return false;
        }
    } catch (const DbError& e) {
        wb.window.showNotice(false);
        reportRunError(wb, namingTheOriginals(e, request, paths));
        return false;
    } catch (const fs::filesystem_error& e) {
        wb.window.showNotice(false);
        reportRunError(wb, fileError(e));
        return false;
    } catch (const std::exception& e) {
        wb.window.showNotice(false);
        reportRunError(wb, DbError(kRuntimeErrorNumber, e.what()));
        return false;
    }
    wb.window.showNotice(false);
    return true;
}

}  // namespace

bool RunComparison(Workbench& wb, const CompareRequest& request, Migrator* migrator) {
    if (!validateBox(wb, request.pathA, 0)) return false;
    if (!validateBox(wb, request.pathB, 1)) return false;
    if (request.productCode.empty())
        return LoadAndCompare(wb, request.pathA, request.pathB, request.passwordA, request.passwordB);

    if (request.pathA.find(".mdb") == std::string::npos) {
        wb.dialogs.message("DB(A)의 파일 이름이 소문자 \".mdb\"로 끝나야 임시 복사본을 만들 수 "
                           "있습니다.\r\n\r\n" + request.pathA,
                           kAppTitle, Icon::None);
        wb.window.focusPathBox(0);
        return false;
    }
    if (!migrator) {
        wb.dialogs.message("이 제품의 DB 패치를 사용할 수 없습니다.", kAppTitle, Icon::None);
        return false;
    }
    CopyPaths paths;
    if (!prepareCopies(wb, request, *migrator, paths)) return false;
    return LoadAndCompare(wb, paths.copyA, paths.copyB);
}

}  // namespace dex
