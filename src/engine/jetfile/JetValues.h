#pragma once
// Stored Jet values in the text forms the reader hands out.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <cstring>
#include <variant>

#include "DbEngine.h"

namespace dex::jetfile {

// One stored value, exactly as the file holds it.
struct JetCurrency {
    int64_t units = 0;  // 1/10,000
    bool operator==(const JetCurrency&) const = default;
};
struct JetDateTime {
    double days = 0;  // days since 1899-12-30, the time as the fraction
    bool operator==(const JetDateTime& o) const { return std::memcmp(&days, &o.days, sizeof days) == 0; }
};
struct JetBytes {
    std::string bytes;  // Binary, fixed binary, OLE
    bool operator==(const JetBytes&) const = default;
};
struct JetGuid {
    std::array<uint8_t, 16> bytes{};
    bool operator==(const JetGuid&) const = default;
};
struct JetDecimal {
    std::array<uint8_t, 17> bytes{};  // sign byte, then the 96-bit magnitude as stored
    int scale = 0;
    bool operator==(const JetDecimal&) const = default;
};
// Null; Bool; Byte, Int, Long as int64; Currency; Single (float); Double;
// Date/Time; Text and Memo as UTF-8; Binary and OLE; Replication ID; Decimal.
using JetValue = std::variant<std::monostate, bool, int64_t, JetCurrency, float, double, JetDateTime, std::string,
                              JetBytes, JetGuid, JetDecimal>;

// The value in the forms every engine hands out (JetFile.h lists them):
// Bool -1/0, Currency a double when the double gives back the same scaled
// integer, else a whole number when it is one, else its exact decimal text;
// Date/Time its text (exactDateText), or the stored double when no text
// gives it back; Single through its shortest decimal form; GUID and
// Decimal as text; bytes as a std::string.
Value engineValue(const JetValue& v);

// Currency units as the exact decimal text ("-12.3400" has 4 decimals).
std::string currencyText(int64_t units);

// A Date/Time as "YYYY-MM-DD HH:MM:SS" when that text reads back
// (parseJetDateText) as exactly the stored double, else with the fewest
// decimals of the second (at most 9) that do; nullopt when none does.
std::optional<std::string> exactDateText(double days);

// "YYYY-MM-DD HH:MM:SS[.fffffffff]" (or a date alone) back to Jet's day
// number, as formatJetDate and exactDateText write it; nullopt for other text.
std::optional<double> parseJetDateText(const std::string& text);

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
