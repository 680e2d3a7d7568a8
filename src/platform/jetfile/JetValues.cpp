#include "JetValues.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "LittleEndian.h"

namespace dex::jetfile {
namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian), after Howard
// Hinnant's public-domain algorithm.
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

constexpr int64_t kJetEpochFromUnix = -25569;  // 1899-12-30 in days since 1970-01-01
constexpr double kMaxDays = 365.25 * 1e6;


}  // namespace

std::optional<std::string> formatJetDate(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxDays) return std::nullopt;
    int64_t days = static_cast<int64_t>(std::trunc(value));
    const double fraction = std::fabs(value - static_cast<double>(days));
    int64_t seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    int64_t y;
    unsigned m, d;
    civilFromDays(days + kJetEpochFromUnix, y, m, d);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return std::string(buf);
}

std::string formatJetDecimal(const uint8_t* b, int scale) {
    unsigned __int128 v = 0;
    for (int w = 0; w < 4; ++w) v = (v << 32) | le32(b + 1 + 4 * w);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    const bool zero = digits == "0";
    const size_t s = scale > 0 ? static_cast<size_t>(scale) : 0;
    std::string padded = digits.size() <= s ? std::string(s + 1 - digits.size(), '0') + digits : digits;
    std::string out = (b[0] & 0x80) && !zero ? "-" : "";
    out.append(padded, 0, padded.size() - s);
    if (s > 0) out.append(".").append(padded, padded.size() - s, s);
    return out;
}

std::string formatJetGuid(const uint8_t* p) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", le32(p),
                  static_cast<unsigned>(p[4] | (p[5] << 8)), static_cast<unsigned>(p[6] | (p[7] << 8)), p[8], p[9],
                  p[10], p[11], p[12], p[13], p[14], p[15]);
    return buf;
}

double singleToDouble(float value) {
    if (!std::isfinite(value)) return static_cast<double>(value);
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    double out = static_cast<double>(value);
    std::from_chars(buf, res.ptr, out);
    return out;
}

}  // namespace dex::jetfile
