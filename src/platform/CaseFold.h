#pragma once
// Letter case of names, as Jet compares them: ASCII letters only, every
// other byte (UTF-8 included) as it is.
#include <string>
#include <string_view>

namespace dex {

inline char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char UpperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string LowerAscii(std::string s) {
    for (char& c : s) c = LowerAsciiChar(c);
    return s;
}

inline std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperAsciiChar(c);
    return out;
}

}  // namespace dex
