#include "CliSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <thread>

#include "FileCopy.h"

#include "Report.h"

namespace dex::cli {

std::optional<std::string> Args::option(const std::string& name) {
    auto it = std::find(args_.begin(), args_.end(), name);
    if (it == args_.end() || it + 1 == args_.end()) return std::nullopt;
    std::string value = *(it + 1);
    args_.erase(it, it + 2);
    return value;
}

bool Args::flag(const std::string& name) {
    auto it = std::find(args_.begin(), args_.end(), name);
    if (it == args_.end()) return false;
    args_.erase(it);
    return true;
}

std::optional<std::string> Args::unknownOption() const {
    for (const auto& a : args_)
        if (a.size() > 2 && a.rfind("--", 0) == 0) return a;
    return std::nullopt;
}

void ConsoleDialogs::message(const std::string& text, const std::string& title, Icon icon) {
    messages_.push_back({title, text, icon});
    if (collect_) return;
    err_ << OneLineMessage(text) << "\n";
}

bool ConsoleDialogs::askYesNo(const std::string& text, const std::string& title, bool) {
    message(text, title, Icon::Question);
    if (!collect_) err_ << (answerYes_ ? "-> Yes (--yes)" : "-> No (give --yes to answer Yes)") << "\n";
    return answerYes_;
}

struct StopOnSignal::Watch {
    sigset_t signals{}, before{};
    // stderr as it was at the start: a reader may point fd 2 elsewhere for a while.
    int err = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    std::atomic<bool> done{false};
    std::function<std::string(int)> message;
    std::thread thread;

    void run() {
        const timespec tick{0, 100 * 1000 * 1000};
        while (!done) {
            const int signo = ::sigtimedwait(&signals, nullptr, &tick);
            if (signo <= 0) continue;
            RemoveOwnFilesNow();
            const std::string text = message(signo) + "\n";
            for (size_t at = 0; at < text.size();) {
                const ssize_t n = ::write(err >= 0 ? err : STDERR_FILENO, text.data() + at, text.size() - at);
                if (n <= 0) break;
                at += static_cast<size_t>(n);
            }
            ::_exit(kInterrupted);
        }
    }
};

StopOnSignal::StopOnSignal(std::function<std::string(int)> message) : watch_(std::make_unique<Watch>()) {
    watch_->message = std::move(message);
    sigemptyset(&watch_->signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&watch_->signals, s);
    ::pthread_sigmask(SIG_BLOCK, &watch_->signals, &watch_->before);
    watch_->thread = std::thread([w = watch_.get()] { w->run(); });
}

StopOnSignal::~StopOnSignal() {
    watch_->done = true;
    watch_->thread.join();
    if (watch_->err >= 0) ::close(watch_->err);
    // A signal that came after the watch ended is delivered as usual now.
    ::pthread_sigmask(SIG_SETMASK, &watch_->before, nullptr);
}

std::string jsonString(const std::string& s) { return report::JsonString(s); }

std::string iconName(Icon icon) { return report::IconName(icon); }

}  // namespace dex::cli
