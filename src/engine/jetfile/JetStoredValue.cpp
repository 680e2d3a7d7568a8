// The stored value of an engine's value in a column being written
// (storedValueOf, JetFileWriter.h).
#include <cmath>

#include "NameText.h"
#include "IndexKey.h"
#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetWritePlanner.h"

namespace dex::jetfile {

using jetwrite::failDescription;
namespace ct = coltype;

namespace {

[[noreturn]] void notFor(const JetWriteColumn& c, const Value& v, const char* needs) {
    failDescription("column '" + c.name + "': the value '" + valueToText(v) + "' is not " + needs);
}

std::optional<int64_t> wholeOf(const Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return *i;
    if (const auto* d = std::get_if<double>(&v))
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 9.2e18) return static_cast<int64_t>(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (s->empty()) return std::nullopt;
        size_t used = 0;
        try {
            const long long n = std::stoll(*s, &used);
            if (used == s->size()) return n;
        } catch (const std::exception&) {
        }
    }
    return std::nullopt;
}

std::optional<double> doubleOf(const Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    const std::string& s = std::get<std::string>(v);
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size()) return std::nullopt;
    return d;
}

// A Decimal's 17 stored bytes: the sign byte, then the 128-bit magnitude as
// four little-endian 32-bit words, the most significant first.
JetDecimal storedDecimal(const KeyDecimal& d, int scale) {
    JetDecimal out;
    out.scale = scale;
    out.bytes[0] = d.negative ? 0x80 : 0x00;
    const uint32_t words[4] = {static_cast<uint32_t>(d.high >> 32), static_cast<uint32_t>(d.high),
                               static_cast<uint32_t>(d.low >> 32), static_cast<uint32_t>(d.low)};
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b) out.bytes[static_cast<size_t>(1 + 4 * w + b)] = static_cast<uint8_t>(words[w] >> (8 * b));
    return out;
}

}  // namespace

JetValue storedValueOf(const Value& v, const JetWriteColumn& c) {
    if (isNull(v)) return std::monostate{};
    switch (c.type) {
    case ct::Bool: {
        if (const auto* s = std::get_if<std::string>(&v)) {
            const std::string t = lowerText(*s);
            if (t == "true" || t == "yes" || t == "-1" || t == "1" || t == "on") return true;
            if (t == "false" || t == "no" || t == "0" || t == "off" || t.empty()) return false;
            notFor(c, v, "true or false");
        }
        return *doubleOf(v) != 0;
    }
    case ct::Byte:
    case ct::Int:
    case ct::Long:
        if (const auto n = wholeOf(v)) return *n;
        notFor(c, v, "a whole number");
    case ct::Money: {
        if (const auto* d = std::get_if<double>(&v)) {
            if (!std::isfinite(*d) || std::fabs(*d) > 9.2e14) notFor(c, v, "an amount a Currency column holds");
            return JetCurrency{std::llround(*d * 10000.0)};
        }
        const auto dec = decimalFromText(valueToText(v), 4);
        if (!dec || dec->high != 0 || dec->low > static_cast<uint64_t>(INT64_MAX))
            notFor(c, v, "an amount a Currency column holds");
        const auto units = static_cast<int64_t>(dec->low);
        return JetCurrency{dec->negative ? -units : units};
    }
    case ct::Float:
        if (const auto d = doubleOf(v)) return static_cast<float>(*d);
        notFor(c, v, "a number");
    case ct::Double:
        if (const auto d = doubleOf(v)) return *d;
        notFor(c, v, "a number");
    case ct::DateTime: {
        if (const auto* s = std::get_if<std::string>(&v)) {
            if (const auto d = parseJetDateText(*s)) return JetDateTime{*d};
            notFor(c, v, "a date (YYYY-MM-DD HH:MM:SS)");
        }
        return JetDateTime{*doubleOf(v)};
    }
    case ct::Text:
    case ct::Memo:
        if (const auto* s = std::get_if<std::string>(&v)) return *s;
        return valueToText(v);
    case ct::Binary:
    case ct::Ole:
    case ct::FixedBinary:
        if (const auto* s = std::get_if<std::string>(&v)) return JetBytes{*s};
        notFor(c, v, "bytes");
    case ct::RepId: {
        const std::string* s = std::get_if<std::string>(&v);
        if (s && s->size() == 16) {
            JetGuid g;
            std::memcpy(g.bytes.data(), s->data(), 16);
            return g;
        }
        if (s)
            if (const auto g = guidFromText(*s)) return JetGuid{g->stored};
        notFor(c, v, "a GUID");
    }
    case ct::Numeric: {
        std::string text = valueToText(v);
        if (const auto dec = decimalFromText(text, c.scale)) return storedDecimal(*dec, c.scale);
        notFor(c, v, "a decimal number of the column's scale");
    }
    default:
        failDescription("column '" + c.name + "': the type " + std::to_string(c.type) + " cannot be written");
    }
}

}  // namespace dex::jetfile
