#pragma once
// Text index keys in Jet 4's "General" sort order (sort order 0x409 in a
// Jet 4 file; later Access versions call it "General legacy").
//
// Every character has a code of one of three kinds:
//   simple:       one or two bytes written in place;
//   unprintable:  nothing in place; after the text, a trailer names its
//                 position and code;
//   international: a simple code in place plus extra bytes after the text.
// A key is the in-place codes of the characters, 01, then (when the text
// has unprintable characters) 01 01 01 and for each unprintable character
// the big-endian 16-bit value 0x8000 | (7 + 4 * position) — position being
// the number of in-place codes before it — 06 and its code; and 00 at the
// end. No code contains a 00 or 01 byte, so no key is a prefix of another.
// Only the first 255 characters count, and trailing spaces do not.
//
// This encoder knows the characters whose codes are established for this
// engine:
//   - ASCII U+0001..U+007F. Access-made pages show most letters in both
//     cases (folded: 'A' and 'a' are both 4A), the digits 0-3, space, ',',
//     '/', '_', '~' and the unprintable U+0003 with its trailer; the other
//     codes follow the published General table, which agrees with every
//     code seen.
//   - Hangul syllables U+AC00..U+D7A3: two-byte simple codes, each initial
//     consonant's 588 syllables counting up from its own start code and
//     skipping every code whose low byte is 00 or 01.
// Any other character (U+0000, Latin-1 and beyond, Hangul jamo, surrogate
// pairs, ...) is refused: it needs codes not established here, and a key
// that Access would not write breaks its index.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "IndexKey.h"

namespace dex::jetfile {

// Whether the code of `codePoint` is known.
bool generalSortOrderSupports(char32_t codePoint);

// The key bytes of a text value (UTF-8) in an ascending column, from the
// first code to the closing 00; the column's flag byte is not included.
// Throws IndexKeyError naming the first character that is not supported
// ("U+00E9 'é'"; codePoint() is set), or saying that the text is not valid UTF-8.
std::vector<uint8_t> generalTextKey(std::string_view utf8);
// The same key appended to `key` (left as it was when the text cannot be keyed).
void appendGeneralTextKey(std::vector<uint8_t>& key, std::string_view utf8);

}  // namespace dex::jetfile
