#include "FileSwap.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "DbError.h"
#include "FileCopy.h"
#include "PrivateOutput.h"

namespace dex {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kInUse = 3045;
constexpr const char* kSwapMark = ".swap-";

std::string unchanged(const std::string& path) { return " The file '" + path + "' was left unchanged."; }

DbError inUse(const std::string& path, const std::string& why) {
    return DbError(kInUse, "Could not use '" + path + "'; file already in use (" + why + ")." + unchanged(path));
}

DbError failed(const std::string& path, const std::string& what, int err) {
    return DbError(3051, "The new file for '" + path + "' " + what + ": " + std::strerror(err) + "." + unchanged(path));
}

// Syncs a folder, so that a name made or changed in it survives a power cut.
int syncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

long long mtimeOf(const struct stat& st) {
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

// Another process's lock on any byte of the file (POSIX record locks, as
// Wine and Samba take them for Access), or a whole-file flock.
std::string heldBy(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? "another program holds a lock on it" : std::string();
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK)
        return "another program (process " + std::to_string(probe.l_pid) + ") holds a lock on it";
    return {};
}

// A copy of the original as its backup, where the file system has no hard links.
int copyBackup(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    int err = copyFileContents(in, out);
    struct stat st {};
    if (!err && ::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 07777);
    if (!err && ::fsync(out) != 0) err = errno;
    ::close(in);
    ::close(out);
    if (err) ::unlink(to.c_str());
    return err;
}

}  // namespace

std::string FileSwap::backupName(const std::string& path, int number) {
    const fs::path p(path);
    const std::string ext = p.extension().string();
    const std::string stem = (p.parent_path() / p.stem()).string();
    return stem + ".bak" + (number > 1 ? std::to_string(number) : std::string()) + (ext.empty() ? ".mdb" : ext);
}

FileSwap::FileSwap(const std::string& given) {
    std::error_code ec;
    const fs::path real = fs::canonical(fs::path(given), ec);
    if (ec || !fs::is_regular_file(real, ec))
        throw DbError(3024, "Could not find file '" + given + "'.");
    // A link is replaced where it points: the link stays a link.
    path_ = real.string();
    dir_ = real.parent_path().string();
    for (const char* lockExt : {".ldb", ".laccdb"}) {
        const fs::path lockFile = real.parent_path() / (real.stem().string() + lockExt);
        if (fs::exists(fs::symlink_status(lockFile, ec)))
            throw inUse(given, "the lock file '" + lockFile.string() +
                                   "' beside it says that another program has it open; close that program first");
    }
    lock_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (lock_ < 0) throw DbError(3024, "Could not open file '" + given + "': " + std::strerror(errno) + ".");
    if (const std::string who = heldBy(lock_); !who.empty()) {
        ::close(lock_);
        throw inUse(given, who);
    }
    struct stat st {};
    ::fstat(lock_, &st);
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    size_ = st.st_size;
    mtime_ = mtimeOf(st);
    if (::access(dir_.c_str(), W_OK) != 0) {
        const int err = errno;
        ::close(lock_);
        throw DbError(dberr::ReadOnly, "The folder '" + dir_ + "' cannot be written (" + std::strerror(err) +
                                           "), so '" + given + "' cannot be replaced there." + unchanged(given));
    }
    removeLeftovers(real, kSwapMark);
    private_ = privateNameFor(real, kSwapMark);
    try {
        out_ = std::make_unique<PrivateOutput>(private_, kSwapMark);
    } catch (const std::runtime_error& e) {
        ::close(lock_);
        throw DbError(dberr::ReadOnly, std::string(e.what()) + "." + unchanged(given));
    }
}

FileSwap::~FileSwap() {
    out_.reset();
    if (!committed_ && !private_.empty()) ::unlink(private_.c_str());
    if (lock_ >= 0) ::close(lock_);
}

int FileSwap::fd() const { return out_->fd(); }
const std::string& FileSwap::readPath() const { return out_->readPath(); }

std::string FileSwap::commit() {
    struct stat now {};
    if (::stat(path_.c_str(), &now) != 0 || now.st_dev != dev_ || now.st_ino != ino_ || now.st_size != size_ ||
        mtimeOf(now) != mtime_)
        throw DbError(kInUse, "'" + path_ + "' was changed by another program while the new file was made; it was "
                                             "not replaced." + unchanged(path_));
    // The new file is the user's as the old one was (its owner where that
    // may be given, then its permissions).
    if (::fchown(fd(), now.st_uid, now.st_gid) != 0) {
        // Only the owner's own group may be given away: the file stays the runner's.
    }
    ::fchmod(fd(), now.st_mode & 07777);
    if (::fsync(fd()) != 0) throw failed(path_, "cannot be synced to the disk", errno);

    std::string backup;
    for (int n = 1; n < 1000 && backup.empty(); ++n) {
        const std::string name = backupName(path_, n);
        if (::link(path_.c_str(), name.c_str()) == 0) {
            backup = name;
        } else if (errno != EEXIST) {
            const int err = copyBackup(path_, name);
            if (err == 0) backup = name;
            else if (err != EEXIST) throw failed(path_, "cannot be put in place, as no backup '" + name + "' can be made", err);
        }
    }
    if (backup.empty()) throw DbError(kInUse, "Every backup name beside '" + path_ + "' is taken." + unchanged(path_));
    auto dropBackup = [&] { ::unlink(backup.c_str()); };
    if (const int err = syncFolder(dir_)) {
        dropBackup();
        throw failed(path_, "cannot be put in place, as its folder cannot be synced", err);
    }
    if (const int err = out_->publish()) {
        dropBackup();
        throw failed(path_, "cannot be named", err);
    }
    if (::rename(private_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(private_.c_str());
        dropBackup();
        throw failed(path_, "cannot take the file's name", err);
    }
    committed_ = true;
    syncFolder(dir_);
    return backup;
}

}  // namespace dex
