#pragma once
// Byte-level helpers of the Jet writer: little-endian integers, text in
// UCS-2 (with Jet 4's optional compression) or a code page, Jet's date
// numbers, exact decimals, GUIDs and the RC4 mask of page 0.
#include <cstdint>
#include <string>

namespace dex::testjet::detail {

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
// UTF-16LE bytes.
Bytes ucs2(const std::u16string& text);
// Jet 4 compressed unicode (0xFF 0xFE, then runs of one-byte and two-byte
// characters separated by 0x00), or "" when the text cannot be compressed or
// compression would not make it shorter.
Bytes compressedUnicode(const std::u16string& text);
// The text in a Windows code page (iconv "CP<n>"); throws when a character
// has no representation there.
Bytes codePageText(const std::string& utf8, int codePage);

// RC4 applied in place.
void rc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length);

// Jet's date number (days since 1899-12-30, the time as the fraction; before
// that day the fraction counts away from zero) of "YYYY-MM-DD[ HH:MM[:SS]]"
// (also with 'T'). Throws std::runtime_error on other text.
double jetDate(const std::string& text);

// An exact decimal of at most 28 digits: "-12.5" with scale 3 gives
// negative = true, units = 12500. Throws when the text is not a decimal or
// has more fraction digits than the scale (other than trailing zeros).
struct Decimal {
    bool negative = false;
    unsigned __int128 units = 0;
};
Decimal parseDecimal(const std::string& text, int scale);

// The 16 bytes of "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional)
// as Jet stores a GUID: the first three groups little-endian.
Bytes guidBytes(const std::string& text);

}  // namespace dex::testjet::detail
