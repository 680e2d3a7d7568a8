#include "TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "TextConv.h"

namespace dex::jetfile {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes UTF-16 code units into UTF-8.
class Utf16Sink {
public:
    explicit Utf16Sink(size_t units) { out_.reserve(units * 3); }
    // A code unit below 0x80 (most text): one byte, no surrogate pending.
    void ascii(uint8_t b) {
        if (pendingHigh_) return unit(b);
        out_.push_back(static_cast<char>(b));
    }
    void unit(uint16_t u) {
        if (pendingHigh_) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                AppendUtf8(out_, 0x10000 + ((static_cast<uint32_t>(pendingHigh_) - 0xD800) << 10) + (u - 0xDC00));
                pendingHigh_ = 0;
                return;
            }
            AppendUtf8(out_, kReplacement);
            pendingHigh_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            pendingHigh_ = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            AppendUtf8(out_, kReplacement);
        } else {
            AppendUtf8(out_, u);
        }
    }
    std::string finish() {
        if (pendingHigh_) AppendUtf8(out_, kReplacement);
        pendingHigh_ = 0;
        return std::move(out_);
    }

private:
    std::string out_;
    uint16_t pendingHigh_ = 0;
};

// One code point from UTF-8 at s[i]; advances i. Invalid input gives U+FFFD.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = b0 >= 0xF0 && b0 < 0xF5 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 && b0 < 0xE0 ? 1 : -1;
    if (extra < 0) return kReplacement;
    uint32_t cp = b0 & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    static constexpr uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

}  // namespace

std::string utf16leToUtf8(const uint8_t* data, size_t size) {
    Utf16Sink sink(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) sink.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
    return sink.finish();
}

std::string jet4TextToUtf8(const uint8_t* data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) return utf16leToUtf8(data, size);
    Utf16Sink sink(size);
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
        if (data[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            if (data[i] < 0x80) sink.ascii(data[i++]);
            else sink.unit(data[i++]);
        } else if (i + 1 < size) {
            sink.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
            i += 2;
        } else {
            break;  // an odd byte at the end of an uncompressed run
        }
    }
    return sink.finish();
}

namespace {

// UTF-16 code units into UTF-8 written through a pointer into a buffer
// large enough for them (three bytes a unit at most).
class Utf16Writer {
public:
    explicit Utf16Writer(char* p) : p_(p) {}
    void unit(uint16_t u) {
        if (pendingHigh_) {
            const uint16_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (u >= 0xDC00 && u <= 0xDFFF) {
                put(0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (u - 0xDC00));
                return;
            }
            put(kReplacement);
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            pendingHigh_ = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            put(kReplacement);
        else
            put(u);
    }
    char* finish() {
        if (pendingHigh_) put(kReplacement);
        pendingHigh_ = 0;
        return p_;
    }

private:
    void put(uint32_t c) {
        if (c < 0x80) {
            *p_++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *p_++ = static_cast<char>(0xC0 | (c >> 6));
            *p_++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p_++ = static_cast<char>(0xE0 | (c >> 12));
            *p_++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p_++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *p_++ = static_cast<char>(0xF0 | (c >> 18));
            *p_++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *p_++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p_++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    char* p_;
    uint16_t pendingHigh_ = 0;
};

}  // namespace

void jet4TextToUtf8Into(std::string& out, const uint8_t* data, size_t size) {
    // A unit of two bytes makes at most three, a compressed byte two, a
    // lone high surrogate at the end three.
    out.resize(2 * size + 3);
    Utf16Writer w(out.data());
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) {
        for (size_t i = 0; i + 1 < size; i += 2) w.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
    } else {
        bool compressed = true;
        size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                w.unit(data[i++]);
            } else if (i + 1 < size) {
                w.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
                i += 2;
            } else {
                break;  // an odd byte at the end of an uncompressed run
            }
        }
    }
    out.resize(static_cast<size_t>(w.finish() - out.data()));
}

std::string utf8ToUtf16le(const std::string& text) {
    std::string out;
    auto put = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = nextCodePoint(text, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string iconvNameForCodePage(int codePage) {
    switch (codePage) {
        case 0: return "WINDOWS-1252";
        case 10000: return "MACINTOSH";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 20932: case 51932: return "EUC-JP";
        case 51936: return "EUC-CN";
        case 51949: return "EUC-KR";
        case 65001: return "UTF-8";
        default: break;
    }
    if (codePage >= 28591 && codePage <= 28605) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

struct CodePageDecoder::State {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    ~State() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

CodePageDecoder::CodePageDecoder(int codePage) : state_(std::make_unique<State>()) {
    charset_ = iconvNameForCodePage(codePage);
    state_->cd = iconv_open("UTF-8", charset_.c_str());
    if (state_->cd == reinterpret_cast<iconv_t>(-1)) {
        charset_ = "WINDOWS-1252";
        state_->cd = iconv_open("UTF-8", charset_.c_str());
    }
}

CodePageDecoder::~CodePageDecoder() = default;

std::string CodePageDecoder::toUtf8(const uint8_t* data, size_t size) {
    std::string out;
    if (state_->cd == reinterpret_cast<iconv_t>(-1)) {
        for (size_t i = 0; i < size; ++i) AppendUtf8(out, data[i] < 0x80 ? data[i] : kReplacement);
        return out;
    }
    iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> input(data, data + size);
    char* in = input.data();
    size_t inLeft = size;
    std::vector<char> buffer(size * 4 + 16);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(state_->cd, &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (err == E2BIG) continue;
        // An invalid or incomplete sequence: one replacement character, skip one byte.
        AppendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

CodePageDecoder& JetText::decoder() {
    if (!decoder_) decoder_ = std::make_unique<CodePageDecoder>(codePage_);
    return *decoder_;
}

std::string JetText::name(const std::string& raw) {
    const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
    return jet3_ ? decoder().toUtf8(p, raw.size()) : utf16leToUtf8(p, raw.size());
}

std::string JetText::value(const uint8_t* data, size_t size) {
    return jet3_ ? decoder().toUtf8(data, size) : jet4TextToUtf8(data, size);
}

void JetText::value(std::string& out, const uint8_t* data, size_t size) {
    if (jet3_) {
        out = decoder().toUtf8(data, size);
        return;
    }
    jet4TextToUtf8Into(out, data, size);
}

}  // namespace dex::jetfile
