#include "JetWriteEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "LittleEndian.h"

namespace dex::jetfile::jetwrite {

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
void set16(Bytes& b, size_t at, unsigned v) { putLe16(b, at, v); }
void set32(Bytes& b, size_t at, uint32_t v) {
    putLe32(b, at, v);
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

}  // namespace dex::jetfile::jetwrite
