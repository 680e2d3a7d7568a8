#pragma once
// Starts `dexmira import JET STORE`, waits until the import has begun (its
// private file has appeared beside STORE), sends it a signal and waits for
// it to end. Returns the wait status (-1 when the import never began within
// 30 seconds, or ended before the signal could reach it).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace dex::test {

// The private files of imports into `store` (".NAME.import-PID-N.part").
inline std::vector<std::filesystem::path> importLeftovers(const std::filesystem::path& store) {
    std::vector<std::filesystem::path> out;
    const std::string prefix = "." + store.filename().string() + ".import-";
    for (const auto& e : std::filesystem::directory_iterator(store.parent_path()))
        if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path());
    return out;
}

inline int interruptImport(const std::string& dexmira, const std::string& jet, const std::filesystem::path& store,
                           int signal) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{dexmira, "import", jet, store.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, dexmira.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool begun = false;
    while (!begun && std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return -1;  // over before it could be interrupted
        begun = !importLeftovers(store).empty();
        if (!begun) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, begun ? signal : SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return begun ? status : -1;
}

}  // namespace dex::test
