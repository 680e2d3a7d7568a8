#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace dex {

// Copies what is left to read from one open file into another, retrying
// interrupted calls. Returns 0, or the errno of the read or write that failed
// (a full disk is ENOSPC or EFBIG, not the library's generic I/O error).
int copyFileContents(int in, int out);

// A new folder of the process's own, made from pattern (a path ending in
// "XXXXXX") by mkdtemp: private and made atomically, so nothing planted
// there in advance is used. Removed with everything in it when the object
// goes, or by RemoveOwnFilesNow. Throws std::filesystem::filesystem_error
// when it cannot be made.
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

// Files of the process's own that are of no use unless finished (copies
// being made or changed): removed, with the journal, log and index files
// SQLite keeps beside them, by RemoveOwnFilesNow while the object lives.
class UnfinishedFiles {
public:
    explicit UnfinishedFiles(std::vector<std::string> paths);
    ~UnfinishedFiles();
    UnfinishedFiles(const UnfinishedFiles&) = delete;
    UnfinishedFiles& operator=(const UnfinishedFiles&) = delete;

private:
    std::vector<std::string> paths_;
};

// For the thread that handles a stop signal, just before the process ends:
// removes every OwnFolder alive and every UnfinishedFiles' files. From then
// on no OwnFolder can be made or removed (the calls wait), so that nothing
// new appears in the folders while they go.
void RemoveOwnFilesNow();

}  // namespace dex
