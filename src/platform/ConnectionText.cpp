#include "ConnectionText.h"
#include "NameText.h"

#include <cctype>

namespace dex {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trim(std::string s) {
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    return s;
}
// The value that starts at text[i] (blanks before it skipped); i ends on
// the ';' after it or at the end of the text.
std::string readValue(const std::string& text, size_t& i) {
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        const char quote = text[i++];
        std::string value;
        for (; i < text.size(); ++i) {
            if (text[i] != quote) {
                value += text[i];
            } else if (i + 1 < text.size() && text[i + 1] == quote) {
                value += quote;
                ++i;
            } else {
                break;
            }
        }
        // Whatever follows the closing quote up to the next ';' is no key.
        i = text.find(';', i);
        if (i == std::string::npos) i = text.size();
        return value;
    }
    const size_t end = std::min(text.find(';', i), text.size());
    std::string value = trim(text.substr(i, end - i));
    i = end;
    return value;
}

}  // namespace

std::map<std::string, std::string> parseConnectionText(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t end = std::min(text.find(';', i), text.size());
        const size_t eq = text.find('=', i);
        if (eq == std::string::npos || eq > end) {  // an item without '=' carries nothing
            i = end + 1;
            continue;
        }
        const std::string key = upperText(trim(text.substr(i, eq - i)));
        i = eq + 1;
        out[key] = readValue(text, i);
        ++i;
    }
    return out;
}

std::string connectionSetting(const std::map<std::string, std::string>& settings, const std::string& key) {
    auto it = settings.find(key);
    return it == settings.end() ? std::string() : it->second;
}

std::string connectionValue(const std::string& value) {
    const bool plain = value.find_first_of(";\"'") == std::string::npos &&
                       (value.empty() || (!isBlank(value.front()) && !isBlank(value.back())));
    if (plain) return value;
    std::string out = "\"";
    for (char c : value) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string jetConnectionText(const std::string& path, const std::string& password) {
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + connectionValue(path);
    if (!password.empty()) text += ";Jet OLEDB:Database Password=" + connectionValue(password);
    return text;
}

std::string daoConnectText(const std::string& password) { return ";pwd=" + connectionValue(password); }

}  // namespace dex
