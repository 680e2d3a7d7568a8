#include "PrivateOutput.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>

namespace dex {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrivateEnd = ".part";

// The private file being made, for the signal handler (one at a time per
// process holds it).
char g_private[4096], g_privateJournal[4096 + 8];
volatile sig_atomic_t g_privateSet = 0;

extern "C" void removePrivateAndDie(int sig) {
    if (g_privateSet) {
        ::unlink(g_private);
        ::unlink(g_privateJournal);  // SQLite's rollback journal while a store is made
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

RemoveOnSignal::RemoveOnSignal(const std::string& path) {
    if (path.size() >= sizeof g_private || g_privateSet) return;
    std::memcpy(g_private, path.c_str(), path.size() + 1);
    const std::string journal = path + "-journal";
    std::memcpy(g_privateJournal, journal.c_str(), journal.size() + 1);
    g_privateSet = 1;
    owner_ = true;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction now {};
        ::sigaction(kSignals[i], nullptr, &now);
        // A program that handles these signals itself cleans up its own way.
        if (now.sa_handler != SIG_DFL) continue;
        struct sigaction sa {};
        sa.sa_handler = removePrivateAndDie;
        sigemptyset(&sa.sa_mask);
        installed_[i] = ::sigaction(kSignals[i], &sa, &old_[i]) == 0;
    }
}

RemoveOnSignal::~RemoveOnSignal() {
    if (!owner_) return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        if (installed_[i]) ::sigaction(kSignals[i], &old_[i], nullptr);
    g_privateSet = 0;
}

// A file whose process still runs is another run's and stays.
void removeLeftovers(const fs::path& target, const char* mark) {
    const std::string prefix = "." + target.filename().string() + mark;
    std::error_code ec;
    const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t at = name.rfind(kPrivateEnd);
        const std::string tail = at == std::string::npos ? "" : name.substr(at);
        if (name.rfind(prefix, 0) != 0 || (tail != kPrivateEnd && tail != std::string(kPrivateEnd) + "-journal"))
            continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
            std::error_code rm;
            if (fs::is_regular_file(fs::symlink_status(it->path(), rm))) fs::remove(it->path(), rm);
        }
    }
}

std::string privateNameFor(const fs::path& target, const char* mark) {
    std::random_device rd;
    const std::string name = "." + target.filename().string() + mark + std::to_string(::getpid()) + "-" +
                             std::to_string(rd() % 1000000) + kPrivateEnd;
    return (target.parent_path() / name).string();
}

int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

PrivateOutput::PrivateOutput(const std::string& target, const char* mark) : target_(target) {
    const fs::path t(target);
    const fs::path dir = t.parent_path().empty() ? fs::path(".") : t.parent_path();
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
        readPath_ = "/proc/self/fd/" + std::to_string(fd_);
        return;
    }
    removeLeftovers(t, mark);
    named_ = privateNameFor(t, mark);
    guard_ = std::make_unique<RemoveOnSignal>(named_);
    fd_ = ::open(named_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        const int err = errno;
        guard_.reset();
        throw std::runtime_error("cannot create a file beside " + target + ": " + std::strerror(err));
    }
    readPath_ = named_;
}

PrivateOutput::~PrivateOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!named_.empty() && !published_) ::unlink(named_.c_str());
}

int PrivateOutput::publish() {
    int err = 0;
    if (named_.empty()) {
        // The unnamed file gets its one name; link() never replaces.
        if (::linkat(AT_FDCWD, readPath_.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0) err = errno;
    } else {
        err = renameNoReplace(named_, target_);
    }
    if (err == 0) published_ = true;
    return err;
}

}  // namespace dex
