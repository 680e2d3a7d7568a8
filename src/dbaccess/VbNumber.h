#pragma once
// Number conversions of the runtime the data layer relies on.
#include <cstdint>
#include <string>
#include <string_view>

namespace dex {

// The leading decimal number of a text (blanks before it skipped; sign,
// fraction and exponent allowed); 0 when the text does not start with one.
// "12abc" gives 12, "" and "abc" give 0.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, a half to the even neighbour, into the
// 16-bit range; a result outside -32768..32767 throws DbError 6 "Overflow".
int16_t ToInt16(double value);

// The value rounded to a whole number and written with at least `width`
// digits (the number pattern of `width` zeros: 0001, 0042, 10000). A width
// of 0 or less writes the number without padding.
std::string FormatZeroPattern(double value, int width);

}  // namespace dex
