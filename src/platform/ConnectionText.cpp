#include "ConnectionText.h"

#include <cctype>

namespace dex {

namespace {

std::string trim(std::string s) {
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}

std::string upperAscii(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::map<std::string, std::string> parseConnectionText(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        if (const size_t eq = item.find('='); eq != std::string::npos) {
            std::string value = trim(item.substr(eq + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            out[upperAscii(trim(item.substr(0, eq)))] = value;
        }
        start = end + 1;
    }
    return out;
}

std::string connectionSetting(const std::map<std::string, std::string>& settings, const std::string& key) {
    auto it = settings.find(key);
    return it == settings.end() ? std::string() : it->second;
}

}  // namespace dex
