#pragma once
// UTF-16 text from version blocks, as UTF-8.
#include <string>

namespace dex {

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace dex
