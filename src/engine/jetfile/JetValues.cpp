#include "JetValues.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

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

// A civil date to days since 1970-01-01 (the inverse of civilFromDays).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The date with its time of day as seconds and `decimals` digits of a second.
std::optional<std::string> dateWithDecimals(double value, int decimals) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxDays) return std::nullopt;
    int64_t days = static_cast<int64_t>(std::trunc(value));
    const double fraction = std::fabs(value - static_cast<double>(days));
    int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    int64_t ticks = std::llround(fraction * 86400.0 * static_cast<double>(scale));
    if (ticks >= 86400 * scale) {
        if (decimals > 0) return std::nullopt;  // only the plain form carries into the next day
        ticks -= 86400 * scale;
        ++days;
    }
    const int64_t seconds = ticks / scale, part = ticks % scale;
    int64_t y;
    unsigned m, d;
    civilFromDays(days + kJetEpochFromUnix, y, m, d);
    char buf[80];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                          static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                          static_cast<long long>(seconds % 60));
    if (decimals > 0) std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%0*lld", decimals, static_cast<long long>(part));
    return std::string(buf);
}


}  // namespace

std::optional<std::string> formatJetDate(double value) { return dateWithDecimals(value, 0); }

std::optional<double> parseJetDateText(const std::string& text) {
    long long y = 0;
    unsigned mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%5lld-%2u-%2u%n", &y, &mo, &d, &used) != 3 || mo < 1 || mo > 12 || d < 1 || d > 31)
        return std::nullopt;
    double seconds = 0;
    size_t at = static_cast<size_t>(used);
    if (at < text.size()) {
        int more = 0;
        if (std::sscanf(text.c_str() + at, " %2u:%2u:%2u%n", &h, &mi, &s, &more) != 3 || h > 23 || mi > 59 || s > 59)
            return std::nullopt;
        at += static_cast<size_t>(more);
        seconds = h * 3600.0 + mi * 60.0 + s;
        if (at < text.size()) {
            if (text[at] != '.' || at + 1 == text.size() || text.size() - at - 1 > 9) return std::nullopt;
            long long part = 0, scale = 1;
            for (size_t i = at + 1; i < text.size(); ++i) {
                if (text[i] < '0' || text[i] > '9') return std::nullopt;
                part = part * 10 + (text[i] - '0');
                scale *= 10;
            }
            seconds += static_cast<double>(part) / static_cast<double>(scale);
        }
    }
    const int64_t days = daysFromCivil(y, mo, d) - kJetEpochFromUnix;
    const double fraction = seconds / 86400.0;
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

std::optional<std::string> exactDateText(double days) {
    for (int decimals = 0; decimals <= 9; ++decimals) {
        auto text = dateWithDecimals(days, decimals);
        if (!text) continue;
        auto back = parseJetDateText(*text);
        if (back && sameBits(*back, days)) return text;
    }
    return std::nullopt;
}

std::string currencyText(int64_t units) {
    const bool negative = units < 0;
    // The magnitude as unsigned, so that the most negative value works too.
    const uint64_t m = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    std::string frac = std::to_string(m % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    return (negative ? "-" : "") + std::to_string(m / 10000) + "." + frac;
}

namespace {

Value currencyValue(int64_t units) {
    const double d = static_cast<double>(units) / 10000.0;
    if (std::fabs(d) < 9.0e15 && std::llround(d * 10000.0) == units) return d;
    if (units % 10000 == 0) return int64_t{units / 10000};
    return currencyText(units);
}

}  // namespace

Value engineValue(const JetValue& v) {
    struct Visitor {
        Value operator()(std::monostate) const { return std::monostate{}; }
        Value operator()(bool b) const { return int64_t{b ? -1 : 0}; }
        Value operator()(int64_t i) const { return i; }
        Value operator()(const JetCurrency& c) const { return currencyValue(c.units); }
        Value operator()(float f) const { return singleToDouble(f); }
        Value operator()(double d) const { return d; }
        Value operator()(const JetDateTime& t) const {
            if (auto text = exactDateText(t.days)) return *text;
            if (std::isfinite(t.days)) return t.days;
            return std::monostate{};
        }
        Value operator()(const std::string& s) const { return s; }
        Value operator()(const JetBytes& b) const { return b.bytes; }
        Value operator()(const JetGuid& g) const { return formatJetGuid(g.bytes.data()); }
        Value operator()(const JetDecimal& d) const { return formatJetDecimal(d.bytes.data(), d.scale); }
    };
    return std::visit(Visitor{}, v);
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
