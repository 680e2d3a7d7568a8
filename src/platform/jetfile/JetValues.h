#pragma once
// Stored Jet values in the text forms the reader hands out.
#include <cstdint>
#include <optional>
#include <string>

namespace dex::jetfile {

// A Date/Time value (days since 1899-12-30; for negative values the fraction
// is the time of day counted forwards) as "YYYY-MM-DD HH:MM:SS", rounded to
// the second. Works for dates before 1899-12-30. nullopt when the number is
// not finite or lies more than a million years away.
std::optional<std::string> formatJetDate(double days);

// A Numeric (Decimal) value: 17 bytes, a sign byte (0x80 negative) and a
// 128-bit magnitude stored as four little-endian 32-bit words, most
// significant first. Text with exactly `scale` digits after the point.
std::string formatJetDecimal(const uint8_t* bytes17, int scale);

// A Replication ID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string formatJetGuid(const uint8_t* bytes16);

// A Single widened to double through its shortest decimal form, so 1.1f
// becomes 1.1 rather than 1.100000023841858.
double singleToDouble(float value);

}  // namespace dex::jetfile
