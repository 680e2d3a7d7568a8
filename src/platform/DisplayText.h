#pragma once
// Text as it is shown on a terminal or in one line: UTF-8 sequences, the
// columns a text takes, a message box's text on one line.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dex {

// The length of the valid UTF-8 sequence at s[i] (2 to 4 bytes), 0 when none
// (an ASCII byte, a stray byte, a cut or overlong sequence, a surrogate).
size_t Utf8SequenceLength(const std::string& s, size_t i, uint32_t* codePoint = nullptr);

// Columns a text takes in a terminal: Hangul and CJK characters two, every
// other character and every invalid byte one.
size_t DisplayWidth(const std::string& s);

// The text with blanks after it up to `width` columns.
std::string PadToWidth(const std::string& s, size_t width);

// A message box's text on one line: each run of line breaks becomes " / ".
std::string OneLineMessage(const std::string& text);

}  // namespace dex
