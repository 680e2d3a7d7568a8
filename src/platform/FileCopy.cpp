#include "FileCopy.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

namespace dex {

int copyFileContents(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return errno;
            done += w;
        }
    }
}

namespace {

// What RemoveOwnFilesNow removes; one lock for the lists and for making and
// removing the folders, held for good once the process is being stopped.
struct OwnFiles {
    std::mutex lock;
    std::set<std::string> folders;
    std::multiset<std::string> unfinished;
};

OwnFiles& ownFiles() {
    static OwnFiles* files = new OwnFiles;  // never destroyed: a stop may come at exit
    return *files;
}

void removeFolder(const std::string& folder) {
    // A file the process makes while the folder goes stops its removal
    // (ENOTEMPTY): tried again; once the folder is gone nothing can be made
    // in it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder, ec))) return;
    }
}

}  // namespace

OwnFolder::OwnFolder(const std::filesystem::path& pattern) {
    std::string path = pattern.string();
    std::lock_guard<std::mutex> guard(ownFiles().lock);
    if (!::mkdtemp(path.data()))
        throw std::filesystem::filesystem_error("cannot make a folder", pattern,
                                                std::error_code(errno, std::generic_category()));
    path_ = path;
    ownFiles().folders.insert(path);
}

OwnFolder::~OwnFolder() {
    std::lock_guard<std::mutex> guard(ownFiles().lock);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    ownFiles().folders.erase(path_.string());
}

UnfinishedFiles::UnfinishedFiles(std::vector<std::string> paths) : paths_(std::move(paths)) {
    std::lock_guard<std::mutex> guard(ownFiles().lock);
    ownFiles().unfinished.insert(paths_.begin(), paths_.end());
}

UnfinishedFiles::~UnfinishedFiles() {
    std::lock_guard<std::mutex> guard(ownFiles().lock);
    for (const auto& p : paths_) {
        auto& set = ownFiles().unfinished;
        if (auto it = set.find(p); it != set.end()) set.erase(it);
    }
}

void RemoveOwnFilesNow() {
    ownFiles().lock.lock();  // never unlocked: the process ends next
    for (const auto& folder : ownFiles().folders) removeFolder(folder);
    for (const auto& file : ownFiles().unfinished)
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((file + suffix).c_str());
}

}  // namespace dex
