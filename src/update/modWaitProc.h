#pragma once
// modWaitProc: start a program and wait for it to end.
#include <cstdint>
#include <string>

namespace dex::modWaitProc {

// Starts `program` with `parameters` as its one argument (none when empty)
// in `folder`, and returns when it has ended; its exit code is not read.
// When it cannot be started there is nothing to wait for and it returns at
// once. The owner window and the show state (hidden, minimised) have no
// meaning for a Linux process and are accepted for the callers' sake.
void RunAndWait(const std::string& program, int32_t owner, const std::string& parameters,
                const std::string& folder, bool hidden, bool minimized);

}  // namespace dex::modWaitProc
