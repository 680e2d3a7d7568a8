#pragma once
// Byte-level helpers of the Jet writer: little-endian integers into byte
// strings, text in UCS-2 (with Jet 4's optional compression) or a code page.
#include <cstdint>
#include <string>

namespace dex::jetfile::jetwrite {

using Bytes = std::string;

void put8(Bytes& b, unsigned v);
void put16(Bytes& b, unsigned v);
void put32(Bytes& b, uint32_t v);
void put64(Bytes& b, uint64_t v);
void set16(Bytes& b, size_t at, unsigned v);
void set32(Bytes& b, size_t at, uint32_t v);
void putDouble(Bytes& b, double v);
unsigned get16(const Bytes& b, size_t at);
uint32_t get32(const Bytes& b, size_t at);

// UTF-8 to UTF-16 code units; throws std::runtime_error on malformed input.
std::u16string utf16(const std::string& utf8);
void utf16Into(std::u16string& out, const std::string& utf8);  // the same into a reused buffer
// UTF-16LE bytes.
Bytes ucs2(const std::u16string& text);
void ucs2Into(Bytes& out, const std::u16string& text);
// Jet 4 compressed unicode (0xFF 0xFE, then runs of one-byte and two-byte
// characters separated by 0x00), or "" when the text cannot be compressed or
// compression would not make it shorter.
Bytes compressedUnicode(const std::u16string& text);
// The same into a reused buffer; false (and `out` undefined) where compressedUnicode gives "".
bool compressedUnicodeInto(Bytes& out, const std::u16string& text);
// compressedUnicodeInto(out, utf16(utf8)) in one pass over the UTF-8, with
// the number of UTF-16 code units in `units` (counted to the end even where
// the text cannot be compressed).
bool compressedUnicodeFromUtf8(Bytes& out, const std::string& utf8, size_t& units);
// The text in a Windows code page (iconv "CP<n>"); throws when a character
// has no representation there.
Bytes codePageText(const std::string& utf8, int codePage);

}  // namespace dex::jetfile::jetwrite
