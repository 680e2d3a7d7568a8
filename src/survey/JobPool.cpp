#include "JobPool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>

#include "Process.h"
#include "StopSignals.h"

namespace dex::survey {

std::optional<Child> StartJob(const std::vector<std::string>& args, std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot start a job: ") + std::strerror(errno);
        return std::nullopt;
    }
    SpawnRequest request;
    request.program = "/proc/self/exe";
    request.argv0 = args.empty() ? std::string() : args.front();
    if (!args.empty()) request.args.assign(args.begin() + 1, args.end());
    request.newProcessGroup = true;
    request.stdinFromNull = true;
    request.stdoutTo = fds[1];
    request.defaultSignals.assign(StopSignals::kSignals.begin(), StopSignals::kSignals.end());
    request.defaultSignals.push_back(SIGPIPE);
    pid_t pid = -1;
    const int rc = TrySpawn(request, &pid);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        error = std::string("cannot start a job: ") + std::strerror(rc);
        return std::nullopt;
    }
    Child c;
    c.pid = pid;
    c.fd = fds[0];
    return c;
}

bool ReadSome(Child& c) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(c.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        constexpr size_t kMaxOutput = 1 << 20;  // a result line is small; more is not read into memory
        if (c.output.size() < kMaxOutput) c.output.append(buf, static_cast<size_t>(n));
        return true;
    }
}

JobOutcome OutcomeOf(const Child& c, int waitStatus) {
    std::string last;
    std::istringstream lines(c.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(JobOutcome::kTag, 0) == 0) last = line;
    if (auto o = JobOutcome::fromLine(last); o && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0) return *o;
    JobOutcome failed;
    if (WIFSIGNALED(waitStatus))
        failed.error = "The job for this database ended without a result (signal " +
                       std::to_string(WTERMSIG(waitStatus)) + ", " + strsignal(WTERMSIG(waitStatus)) + ").";
    else
        failed.error = "The job for this database ended without a result (exit status " +
                       std::to_string(WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1) + ").";
    return failed;
}

}  // namespace dex::survey
