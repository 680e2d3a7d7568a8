#pragma once
// Starting programs without a shell: posix_spawn, waitpid.
#include <sys/types.h>

#include <string>
#include <vector>

namespace dex {

struct SpawnRequest {
    std::string program;            // a path, or with searchPath a name looked up in PATH
    std::vector<std::string> args;  // after argv[0]
    std::string folder;             // working folder; empty keeps ours
    bool newSession = false;        // own session (setsid), so it outlives us
    bool searchPath = false;
};

// Starts the program. Throws DbError (53 file not found, 70 permission
// denied, 75 other access errors) when it cannot be started.
pid_t Spawn(const SpawnRequest& request);

// Waits, without a time limit, until the process has ended.
void WaitForExit(pid_t pid);

}  // namespace dex
