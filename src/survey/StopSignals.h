#pragma once
// While it lives, SIGINT, SIGTERM and SIGHUP set a flag and wake the
// survey's poll through a pipe; the handlers are put back when it ends.
#include <signal.h>

#include <array>

namespace dex::survey {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    // Readable once a stop signal came.
    int wakeFd() const { return fds_[0]; }
    bool stopped() const;
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

private:
    int fds_[2] = {-1, -1};
    struct sigaction old_[3] {};
};

}  // namespace dex::survey
