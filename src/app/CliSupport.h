#pragma once
// Pieces shared by the headless commands: argument reading, the dialogs
// that turn message boxes into output lines, and JSON text.
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "DisplayText.h"

namespace dex::cli {

// Exit statuses of the headless commands; kInterrupted when a stop signal
// (SIGINT, SIGTERM, SIGHUP) ended the command.
constexpr int kOk = 0, kDifferences = 1, kFailure = 2, kInterrupted = 130;

class Args {
public:
    explicit Args(std::vector<std::string> args) : args_(std::move(args)) {}
    // Removes "--name VALUE" and returns VALUE; nullopt when absent.
    std::optional<std::string> option(const std::string& name);
    // Removes "--name" and tells whether it was there.
    bool flag(const std::string& name);
    // What is left, in order (call after the options were taken).
    const std::vector<std::string>& rest() const { return args_; }
    // The first unknown "--x", if any.
    std::optional<std::string> unknownOption() const;

private:
    std::vector<std::string> args_;
};

// Message boxes become lines on the error stream, or are collected for
// --json; questions are answered by --yes.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(std::ostream& err, bool collect, bool answerYes)
        : err_(err), collect_(collect), answerYes_(answerYes) {}
    void message(const std::string& text, const std::string& title, Icon icon) override;
    bool askYesNo(const std::string& text, const std::string& title, bool defaultNo) override;
    OpenFileResult openFile(const OpenFileRequest&) override { return {true, false, {}}; }
    // No file is ever chosen: the commands take their files as arguments.
    OpenFileResult saveFile(const OpenFileRequest&) override { return {true, false, {}}; }

    struct Entry {
        std::string title, text;
        Icon icon;
    };
    const std::vector<Entry>& messages() const { return messages_; }

private:
    std::ostream& err_;
    bool collect_;
    bool answerYes_;
    std::vector<Entry> messages_;
};

// While it lives, SIGINT, SIGTERM and SIGHUP end the program cleanly: the
// process's own temporary files are removed (RemoveOwnFilesNow), the text
// that `message` makes for the signal is written to stderr, and the program
// exits with kInterrupted. The signals are blocked in the calling thread, and
// so in every thread it starts later, and are taken by a thread of this
// object's own, which may do what a signal handler may not. Make it before
// any other thread is started.
class StopOnSignal {
public:
    explicit StopOnSignal(std::function<std::string(int signo)> message);
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

std::string jsonString(const std::string& s);
std::string iconName(Icon icon);

}  // namespace dex::cli
