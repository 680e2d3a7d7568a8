#pragma once
// Starting programs without a shell: posix_spawn, waitpid. The one place
// where this program starts another one (the update's helpers, the survey's
// jobs, a document handed to the desktop's application).
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
    std::string argv0;              // argv[0]; empty: the program
    bool newProcessGroup = false;   // own process group, so a terminal's Ctrl+C reaches only us
    bool stdinFromNull = false;     // stdin from /dev/null
    int stdoutTo = -1;              // a descriptor that becomes the child's stdout; -1 keeps ours
    // Signals put back to their default action in the child; empty: all.
    // The child's signal mask is always empty.
    std::vector<int> defaultSignals;
};

// Starts the program. Throws DbError (53 file not found, 70 permission
// denied, 75 other access errors) when it cannot be started.
pid_t Spawn(const SpawnRequest& request);

// Starts the program; the errno value when it cannot be started, else 0
// (and *pid set).
int TrySpawn(const SpawnRequest& request, pid_t* pid);

// Waits, without a time limit, until the process has ended; its wait status.
int WaitForExit(pid_t pid);

}  // namespace dex
