#pragma once
// Replacing a user's own database file with a new one, for every command
// that changes a real Jet file (compact and repair, migrate, exec):
//
//  - refused before any work (DbError) when another program holds the file
//    (an Access lock file NAME.ldb / NAME.laccdb beside it, or a lock on the
//    file itself), when it is no regular file, or when its folder cannot be
//    written;
//  - the new file is made beside it, unnamed where the file system allows
//    it (else under a private name removed by the next run after a kill),
//    and handed to the caller to write, read back and check;
//  - commit(): the new file is synced; the original gets a second name,
//    NAME.bak.mdb (NAME.bak2.mdb, ... when that exists; never over
//    anything), the folder is synced; the new file takes the user's name in
//    one rename, and the folder is synced again.
// A kill, a full disk or a power cut at any moment thus leaves the user's
// file byte-identical, or the new file complete under the user's name with
// the backup beside it. A file changed by someone else while the work ran is
// not replaced.
#include <sys/types.h>

#include <memory>
#include <string>

namespace dex {

class PrivateOutput;

class FileSwap {
public:
    // Throws DbError 3045 (in use), 3024 (missing), 3027 (folder read-only)
    // or 3051 (the new file cannot be made).
    explicit FileSwap(const std::string& path);
    ~FileSwap();
    FileSwap(const FileSwap&) = delete;
    FileSwap& operator=(const FileSwap&) = delete;

    const std::string& path() const { return path_; }
    // The new file: write through fd(), read through readPath().
    int fd() const;
    const std::string& readPath() const;
    // Puts the new file in place; the backup's path. Throws DbError.
    std::string commit();

    // "NAME.bak.mdb" beside NAME.mdb, numbered from 2 when `number` > 1.
    static std::string backupName(const std::string& path, int number);

private:
    std::string path_, dir_, private_;
    std::unique_ptr<PrivateOutput> out_;
    int lock_ = -1;
    bool committed_ = false;
    dev_t dev_{};
    ino_t ino_{};
    off_t size_ = 0;
    long long mtime_ = 0;
};

}  // namespace dex
