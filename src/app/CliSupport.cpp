#include "CliSupport.h"

#include <algorithm>

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

std::string OneLineMessage(const std::string& text) {
    std::string out;
    bool inBreak = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!inBreak) out += " / ";
            inBreak = true;
        } else {
            out += c;
            inBreak = false;
        }
    }
    return out;
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

std::string jsonString(const std::string& s) { return report::JsonString(s); }

std::string iconName(Icon icon) { return report::IconName(icon); }

}  // namespace dex::cli
