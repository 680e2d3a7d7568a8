#pragma once
// Files made beside their destination under a private name and put in place
// only when complete, never over anything: for the import of a Jet file into
// a store and the export of a store into a Jet file.
//
// A private file is ".NAME<mark>PID-N.part" beside NAME. SIGINT, SIGTERM and
// SIGHUP remove it (where the program has not installed handlers of its
// own) before the signal ends the program; one that a killed process left
// (its process is gone) is removed by the next run into the same NAME.
#include <array>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

namespace dex {

// Removes `path` (and its "-journal") when the process gets SIGINT, SIGTERM or SIGHUP.
class RemoveOnSignal {
public:
    explicit RemoveOnSignal(const std::string& path);
    ~RemoveOnSignal();
    RemoveOnSignal(const RemoveOnSignal&) = delete;
    RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    bool owner_ = false;
    std::array<bool, 3> installed_{};
    struct sigaction old_[3] {};
};

// Private files of earlier runs into `target` whose process is gone: removed.
void removeLeftovers(const std::filesystem::path& target, const char* mark);
// A new private name beside `target`.
std::string privateNameFor(const std::filesystem::path& target, const char* mark);
// Renames without replacing: renameat2's RENAME_NOREPLACE, or link and
// unlink where the file system has no such rename. 0, or errno on failure.
int renameNoReplace(const std::string& from, const std::string& to);

// A file being written for `target`: an unnamed file in target's folder
// (O_TMPFILE), which a kill at any moment leaves nowhere, or where the file
// system has none, a private name with the guards above. publish() links
// it to target without replacing anything; otherwise it is gone at the end.
class PrivateOutput {
public:
    PrivateOutput(const std::string& target, const char* mark);  // throws std::runtime_error
    ~PrivateOutput();
    PrivateOutput(const PrivateOutput&) = delete;
    PrivateOutput& operator=(const PrivateOutput&) = delete;

    int fd() const { return fd_; }
    // A path that reads the file while it is being made.
    const std::string& readPath() const { return readPath_; }
    // 0, or errno (EEXIST: something is at target now).
    int publish();

private:
    std::string target_, named_, readPath_;
    int fd_ = -1;
    bool published_ = false;
    std::unique_ptr<RemoveOnSignal> guard_;
};

}  // namespace dex
