#include "modWaitProc.h"

#include "DbError.h"
#include "Process.h"

namespace dex::modWaitProc {

void RunAndWait(const std::string& program, int32_t /*owner*/, const std::string& parameters,
                const std::string& folder, bool /*hidden*/, bool /*minimized*/) {
    SpawnRequest request{program, {}, folder};
    if (!parameters.empty()) request.args.push_back(parameters);
    pid_t pid = 0;
    try {
        pid = Spawn(request);
    } catch (const DbError&) {
        return;
    }
    WaitForExit(pid);
}

}  // namespace dex::modWaitProc
