#pragma once
// UTF-16 text from version blocks and Jet pages, as UTF-8.
#include <string>

namespace dex {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace dex
