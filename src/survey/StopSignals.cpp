#include "StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dex::survey {

namespace {

volatile sig_atomic_t g_stopSignal = 0;
int g_wakeFd = -1;

extern "C" void onStopSignal(int signo) {
    g_stopSignal = signo;
    if (g_wakeFd >= 0) {
        const int saved = errno;
        [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, "x", 1);
        errno = saved;
    }
}

}  // namespace

StopSignals::StopSignals() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
    g_stopSignal = 0;
    g_wakeFd = fds_[1];
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a blocking wait returns with EINTR
    for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &sa, &old_[i]);
}

StopSignals::~StopSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
    g_wakeFd = -1;
    for (int fd : fds_)
        if (fd >= 0) ::close(fd);
}

bool StopSignals::stopped() const { return g_stopSignal != 0; }

}  // namespace dex::survey
