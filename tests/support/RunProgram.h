#pragma once
// Runs a program as a user would from a shell: arguments, standard input,
// its exit status and both output streams, with optional "ulimit -f" style
// file-size limit; to the end, or started and watched (RunningProgram).
// Each run uses files in a private temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace dex::test {

struct ProgramResult {
    int status = -1;  // exit status; -1 when killed by a signal
    std::string out, err;
};

inline std::string readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A program started as a user would from a shell, running until wait():
// arguments, standard input, its exit status and both output streams, with
// an optional "ulimit -f" style file-size limit. Its files are in a private
// temporary folder, removed by wait() or when the object goes.
// fileSizeLimit > 0: writes past that many bytes fail (EFBIG), as on a full disk.
// unsetVariables: names removed from the child's environment (e.g. DISPLAY);
// setVariables: names and values set in it after that (e.g. LANG).
class RunningProgram {
public:
    RunningProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& input = "",
                   long fileSizeLimit = 0, const std::vector<std::string>& unsetVariables = {},
                   const std::vector<std::pair<std::string, std::string>>& setVariables = {}) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "dex_run_XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        dir_ = tmpl;
        const std::filesystem::path in = dir_ / "in", out = dir_ / "out", err = dir_ / "err";
        std::ofstream(in, std::ios::binary) << input;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fi = ::open(in.c_str(), O_RDONLY), fo = ::open(out.c_str(), O_WRONLY | O_TRUNC),
                      fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fi, 0);
            ::dup2(fo < 0 ? ::open(out.c_str(), O_WRONLY | O_CREAT, 0600) : fo, 1);
            ::dup2(fe, 2);
            if (fileSizeLimit > 0) {
                ::signal(SIGXFSZ, SIG_IGN);
                struct rlimit lim {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &lim);
            }
            for (const auto& name : unsetVariables) ::unsetenv(name.c_str());
            for (const auto& [name, value] : setVariables) ::setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execve(exe.c_str(), argv.data(), environ);
            ::_exit(127);
        }
    }
    ~RunningProgram() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return pid_; }
    // Whether the program has ended (it is then reaped: wait() returns at once).
    bool ended() {
        if (pid_ <= 0 || waited_) return true;
        if (::waitpid(pid_, &status_, WNOHANG) != pid_) return false;
        waited_ = true;
        return true;
    }
    ProgramResult wait() {
        if (pid_ > 0 && !waited_) ::waitpid(pid_, &status_, 0);
        waited_ = true;
        ProgramResult r;
        r.status = pid_ > 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
        r.out = readWhole(dir_ / "out");
        r.err = readWhole(dir_ / "err");
        return r;
    }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool waited_ = false;
};

// Runs the program and sends it signo as soon as ready() says so (asked
// every half millisecond); signalled tells whether that happened before the
// program ended on its own.
inline ProgramResult runSignalledWhen(const std::string& exe, const std::vector<std::string>& args, int signo,
                                      const std::function<bool()>& ready, bool& signalled) {
    RunningProgram run(exe, args);
    signalled = false;
    while (!signalled && !run.ended()) {
        signalled = ready();
        if (signalled) ::kill(run.pid(), signo);
        else ::usleep(500);
    }
    return run.wait();
}

inline ProgramResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                                const std::string& input = "", long fileSizeLimit = 0,
                                const std::vector<std::string>& unsetVariables = {},
                                const std::vector<std::pair<std::string, std::string>>& setVariables = {}) {
    return RunningProgram(exe, args, input, fileSizeLimit, unsetVariables, setVariables).wait();
}

// The variables that choose the language of the program's own words: unset
// them for its default (Korean), then set LANG to choose another.
inline const std::vector<std::string> kLanguageVariables{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

}  // namespace dex::test
