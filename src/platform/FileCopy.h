#pragma once
#include <filesystem>

namespace dex {

// Copies what is left to read from one open file into another, retrying
// interrupted calls. Returns 0, or the errno of the read or write that failed
// (a full disk is ENOSPC or EFBIG, not the library's generic I/O error).
int copyFileContents(int in, int out);

// A new folder of the process's own, made from pattern (a path ending in
// "XXXXXX") by mkdtemp: private and made atomically, so nothing planted
// there in advance is used. Removed with everything in it when the object
// goes. Throws std::filesystem::filesystem_error when it cannot be made.
class OwnFolder {
public:
    explicit OwnFolder(const std::filesystem::path& pattern);
    ~OwnFolder();
    OwnFolder(const OwnFolder&) = delete;
    OwnFolder& operator=(const OwnFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace dex
