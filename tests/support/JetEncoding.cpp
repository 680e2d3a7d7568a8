#include "JetEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace dex::testjet::detail {

void put8(Bytes& b, unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
void put16(Bytes& b, unsigned v) {
    put8(b, v);
    put8(b, v >> 8);
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put64(Bytes& b, uint64_t v) {
    put32(b, static_cast<uint32_t>(v));
    put32(b, static_cast<uint32_t>(v >> 32));
}
void set16(Bytes& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void set32(Bytes& b, size_t at, uint32_t v) {
    set16(b, at, v & 0xFFFF);
    set16(b, at + 2, v >> 16);
}
void putDouble(Bytes& b, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put64(b, bits);
}
unsigned get16(const Bytes& b, size_t at) {
    return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | (static_cast<uint32_t>(get16(b, at + 2)) << 16); }

std::u16string utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size())
            throw std::runtime_error("malformed UTF-8 text");
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<uint8_t>(utf8[i + k]);
            if ((cc & 0xC0) != 0x80) throw std::runtime_error("malformed UTF-8 text");
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

Bytes ucs2(const std::u16string& text) {
    Bytes b;
    b.reserve(text.size() * 2);
    for (char16_t c : text) put16(b, c);
    return b;
}

Bytes compressedUnicode(const std::u16string& text) {
    Bytes b("\xFF\xFE", 2);
    bool compressed = true;
    for (char16_t c : text) {
        if ((c & 0xFF) == 0) return {};  // a 0x00 low byte would read as a mode switch
        const bool oneByte = c < 0x100;
        if (oneByte != compressed) {
            put8(b, 0);
            compressed = oneByte;
        }
        if (oneByte)
            put8(b, c);
        else
            put16(b, c);
    }
    return b.size() < text.size() * 2 ? b : Bytes{};
}

Bytes codePageText(const std::string& utf8, int codePage) {
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open(name.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no converter for code page " + name);
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    Bytes out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1))
        throw std::runtime_error("text \"" + utf8 + "\" has no representation in code page " +
                                 std::to_string(codePage));
    out.resize(out.size() - outLeft);
    return out;
}

void rc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

bool digits(const std::string& s, size_t at, size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

double jetDate(const std::string& text) {
    int y, mo, d, h = 0, mi = 0, s = 0;
    bool ok = digits(text, 0, 4, y) && text.size() >= 10 && text[4] == '-' && digits(text, 5, 2, mo) &&
              text[7] == '-' && digits(text, 8, 2, d);
    if (ok && text.size() > 10) {
        ok = (text[10] == ' ' || text[10] == 'T') && digits(text, 11, 2, h) && text.size() >= 16 &&
             text[13] == ':' && digits(text, 14, 2, mi);
        if (ok && text.size() > 16) ok = text.size() == 19 && text[16] == ':' && digits(text, 17, 2, s);
    }
    if (!ok || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        throw std::runtime_error("not a date \"" + text + "\" (YYYY-MM-DD HH:MM:SS)");
    const long days = daysFromCivil(y, mo, d) - daysFromCivil(1899, 12, 30);
    const double fraction = (h * 3600 + mi * 60 + s) / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

Decimal parseDecimal(const std::string& text, int scale) {
    Decimal out;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) out.negative = text[i++] == '-';
    int digitCount = 0, fraction = -1;
    bool any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9') throw std::runtime_error("not a decimal number \"" + text + "\"");
        any = true;
        if (fraction >= 0 && ++fraction > scale) {
            if (c != '0') throw std::runtime_error("\"" + text + "\" has more than " + std::to_string(scale) +
                                                   " decimal places");
            continue;
        }
        out.units = out.units * 10 + static_cast<unsigned>(c - '0');
        if (out.units != 0 && ++digitCount > 28) throw std::runtime_error("\"" + text + "\" has too many digits");
    }
    if (!any) throw std::runtime_error("not a decimal number \"" + text + "\"");
    for (int k = fraction < 0 ? 0 : std::min(fraction, scale); k < scale; ++k) out.units *= 10;
    if (out.units == 0) out.negative = false;
    return out;
}

Bytes guidBytes(const std::string& text) {
    std::string hex;
    for (char c : text)
        if (c != '{' && c != '}' && c != '-') hex.push_back(c);
    const bool shape = (text.size() == 38 && text.front() == '{' && text.back() == '}') || text.size() == 36;
    if (!shape || hex.size() != 32 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw std::runtime_error("not a GUID \"" + text + "\"");
    uint8_t raw[16];
    for (int i = 0; i < 16; ++i) raw[i] = static_cast<uint8_t>(std::stoi(hex.substr(i * 2, 2), nullptr, 16));
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Bytes b;
    for (int i : order) put8(b, raw[i]);
    return b;
}

}  // namespace dex::testjet::detail
