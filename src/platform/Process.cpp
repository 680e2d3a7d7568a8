#include "Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "DbError.h"

extern char** environ;

namespace dex {
namespace {

// posix_spawn's attribute and file-action objects, destroyed on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&attr_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    int configure(const SpawnRequest& request) {
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (request.newSession) flags |= POSIX_SPAWN_SETSID;
        if (request.newProcessGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            posix_spawnattr_setpgroup(&attr_, 0);
        }
        sigset_t none, defaults;
        sigemptyset(&none);
        if (request.defaultSignals.empty()) {
            sigfillset(&defaults);
        } else {
            sigemptyset(&defaults);
            for (int s : request.defaultSignals) sigaddset(&defaults, s);
        }
        posix_spawnattr_setsigmask(&attr_, &none);
        posix_spawnattr_setsigdefault(&attr_, &defaults);
        if (int rc = posix_spawnattr_setflags(&attr_, flags)) return rc;
        if (request.stdinFromNull)
            if (int rc = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0)) return rc;
        if (request.stdoutTo >= 0)
            if (int rc = posix_spawn_file_actions_adddup2(&actions_, request.stdoutTo, 1)) return rc;
        if (!request.folder.empty())
            return posix_spawn_file_actions_addchdir_np(&actions_, request.folder.c_str());
        return 0;
    }
    posix_spawnattr_t* attr() { return &attr_; }
    posix_spawn_file_actions_t* actions() { return &actions_; }

private:
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

DbError StartError(int code, const std::string& program) {
    switch (code) {
        case ENOENT:
        case ENOTDIR: return DbError(53, "File not found: " + program);
        case EACCES:
        case EPERM: return DbError(70, "Permission denied: " + program);
        default: return DbError(75, "Path/File access error: " + program + ": " + std::strerror(code));
    }
}

}  // namespace

int TrySpawn(const SpawnRequest& request, pid_t* pid) {
    std::vector<std::string> words{request.argv0.empty() ? request.program : request.argv0};
    words.insert(words.end(), request.args.begin(), request.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (int rc = setup.configure(request)) return rc;
    const auto spawn = request.searchPath ? posix_spawnp : posix_spawn;
    return spawn(pid, request.program.c_str(), setup.actions(), setup.attr(), argv.data(), environ);
}

pid_t Spawn(const SpawnRequest& request) {
    pid_t pid = 0;
    if (int rc = TrySpawn(request, &pid)) throw StartError(rc, request.program);
    return pid;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace dex
