#include "NameText.h"

#include <algorithm>

namespace dex {

namespace {

char upperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string upperText(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperChar(c);
    return out;
}

std::string lowerText(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerChar(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i])) return false;
    return true;
}

int compareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = upperChar(a[i]), y = upperChar(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool lessNoCase(std::string_view a, std::string_view b) { return compareNoCase(a, b) < 0; }

bool lessNoCaseThenExact(std::string_view a, std::string_view b) {
    const int c = compareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size())
        out += text.substr(pos, hit - pos) + to;
    return out + text.substr(pos);
}

}  // namespace dex
