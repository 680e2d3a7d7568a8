#include "GeneralSortOrder.h"

#include <array>
#include <cstdio>

#include "TextConv.h"

namespace dex::jetfile {
namespace {

// Only this many characters of a text value take part in its key.
constexpr size_t kMaxKeyCharacters = 255;

constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kEndOfKey = 0x00;
constexpr uint8_t kUnprintableMark = 0x06;
constexpr uint16_t kUnprintablePositionFlag = 0x8000;
constexpr int kUnprintableFirstPosition = 7, kUnprintablePositionStep = 4;

struct Code {
    enum Kind : uint8_t { None, Simple, Unprintable } kind = None;
    uint8_t length = 0;
    std::array<uint8_t, 2> bytes{};
};

constexpr Code simple(uint8_t b) { return Code{Code::Simple, 1, {b, 0}}; }
constexpr Code simple2(uint8_t b0, uint8_t b1) { return Code{Code::Simple, 2, {b0, b1}}; }
constexpr Code unprintable(uint8_t b) { return Code{Code::Unprintable, 1, {b, 0}}; }

// Letters A..Z (and a..z, which fold onto them) and digits 0..9.
constexpr std::array<uint8_t, 26> kLetters = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
                                              0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
constexpr std::array<uint8_t, 10> kDigits = {0x36, 0x38, 0x3A, 0x3C, 0x3E, 0x40, 0x42, 0x44, 0x46, 0x48};

// Printable ASCII that is neither letter nor digit.
Code punctuation(char32_t c) {
    switch (c) {
        case ' ': return simple(0x07);
        case '!': return simple(0x09);
        case '"': return simple(0x0A);
        case '#': return simple(0x0C);
        case '$': return simple(0x0E);
        case '%': return simple(0x10);
        case '&': return simple(0x12);
        case '\'': return unprintable(0x80);
        case '(': return simple(0x14);
        case ')': return simple(0x16);
        case '*': return simple(0x18);
        case '+': return simple(0x2C);
        case ',': return simple(0x1A);
        case '-': return unprintable(0x82);
        case '.': return simple(0x1C);
        case '/': return simple(0x1E);
        case ':': return simple(0x20);
        case ';': return simple(0x22);
        case '<': return simple(0x2E);
        case '=': return simple(0x30);
        case '>': return simple(0x32);
        case '?': return simple(0x24);
        case '@': return simple(0x26);
        case '[': return simple(0x27);
        case '\\': return simple(0x29);
        case ']': return simple(0x2A);
        case '^': return simple2(0x2B, 0x02);
        case '_': return simple2(0x2B, 0x03);
        case '`': return simple2(0x2B, 0x07);
        case '{': return simple2(0x2B, 0x09);
        case '|': return simple2(0x2B, 0x0B);
        case '}': return simple2(0x2B, 0x0D);
        case '~': return simple2(0x2B, 0x0F);
        default: return {};
    }
}

// Control characters: tab, line feed, vertical tab, form feed and carriage
// return are two-byte simple codes 08 03..08 07; the others are unprintable,
// U+0001..U+0008 with the codes 03..0A, U+000E..U+001F with 0B..1C, and
// U+007F with 1D.
Code control(char32_t c) {
    if (c >= 0x01 && c <= 0x08) return unprintable(static_cast<uint8_t>(c + 2));
    if (c >= 0x09 && c <= 0x0D) return simple2(0x08, static_cast<uint8_t>(c - 6));
    if (c >= 0x0E && c <= 0x1F) return unprintable(static_cast<uint8_t>(c - 3));
    if (c == 0x7F) return unprintable(0x1D);
    return {};
}

// Hangul syllables: for each of the 19 initial consonants, the code of its
// first syllable; its 588 syllables follow in code-point order.
constexpr char32_t kFirstSyllable = 0xAC00, kLastSyllable = 0xD7A3;
constexpr int kSyllablesPerInitial = 588;
constexpr std::array<uint16_t, 19> kInitialStarts = {0x8103, 0x8354, 0x85A8, 0x8804, 0x8A57, 0x8CA8, 0x8F11,
                                                     0x916B, 0x93C0, 0x9622, 0x987D, 0x9B1B, 0x9D7E, 0x9FD1,
                                                     0xA227, 0xA47A, 0xA6CB, 0xA91E, 0xAB71};
// Two-byte codes never end in 00 or 01: each high byte has 254 of them (02..FF).
constexpr int kCodesPerHighByte = 254, kLowestLowByte = 2;

Code hangul(char32_t c) {
    const int s = static_cast<int>(c - kFirstSyllable);
    const int start = kInitialStarts[static_cast<size_t>(s / kSyllablesPerInitial)];
    const int ordinal = (start >> 8) * kCodesPerHighByte + (start & 0xFF) - kLowestLowByte + s % kSyllablesPerInitial;
    return simple2(static_cast<uint8_t>(ordinal / kCodesPerHighByte),
                   static_cast<uint8_t>(ordinal % kCodesPerHighByte + kLowestLowByte));
}

Code codeOf(char32_t c) {
    if (c >= 'A' && c <= 'Z') return simple(kLetters[c - 'A']);
    if (c >= 'a' && c <= 'z') return simple(kLetters[c - 'a']);
    if (c >= '0' && c <= '9') return simple(kDigits[c - '0']);
    if (c >= 0x20 && c < 0x7F) return punctuation(c);
    if (c < 0x80) return control(c);
    if (c >= kFirstSyllable && c <= kLastSyllable) return hangul(c);
    return {};
}

std::string describe(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    std::string out = buf;
    if (c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xA0) && (c < 0xD800 || c > 0xDFFF) && c <= 0x10FFFF) {
        out += " '";
        AppendUtf8(out, c);
        out += "'";
    }
    return out;
}

// The first kMaxKeyCharacters code points of UTF-8 text into `out`, their
// count returned; the whole text is validated, and throws on invalid
// sequences.
size_t codePoints(std::string_view s, std::array<char32_t, kMaxKeyCharacters>& out) {
    size_t count = 0;
    for (size_t i = 0; i < s.size();) {
        const auto b0 = static_cast<unsigned char>(s[i++]);
        if (b0 < 0x80) {
            if (count < out.size()) out[count++] = b0;
            continue;
        }
        const int extra = b0 >= 0xC2 && b0 < 0xE0 ? 1 : b0 >= 0xE0 && b0 < 0xF0 ? 2 : b0 >= 0xF0 && b0 < 0xF5 ? 3 : -1;
        if (extra < 0) throw IndexKeyError("the text is not valid UTF-8");
        char32_t cp = b0 & (0x7F >> extra);
        for (int k = 0; k < extra; ++k) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
                throw IndexKeyError("the text is not valid UTF-8");
            cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
        }
        static constexpr char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            throw IndexKeyError("the text is not valid UTF-8");
        if (count < out.size()) out[count++] = cp;
    }
    return count;
}

}  // namespace

bool generalSortOrderSupports(char32_t codePoint) { return codeOf(codePoint).kind != Code::None; }

std::vector<uint8_t> generalTextKey(std::string_view utf8) {
    std::vector<uint8_t> key;
    appendGeneralTextKey(key, utf8);
    return key;
}

void appendGeneralTextKey(std::vector<uint8_t>& key, std::string_view utf8) {
    std::array<char32_t, kMaxKeyCharacters> text;
    size_t length = codePoints(utf8, text);
    while (length > 0 && text[length - 1] == ' ') --length;

    const size_t start = key.size();
    std::vector<uint8_t> trailer;  // unprintable characters' codes: rare, allocated only for them
    int placed = 0;  // in-place codes written so far
    for (size_t i = 0; i < length; ++i) {
        const char32_t c = text[i];
        const Code code = codeOf(c);
        if (code.kind == Code::None) {
            key.resize(start);
            throw IndexKeyError("the character " + describe(c) + " has no known key in the General sort order", c);
        }
        if (code.kind == Code::Simple) {
            key.push_back(code.bytes[0]);
            if (code.length == 2) key.push_back(code.bytes[1]);
            ++placed;
            continue;
        }
        const int position = kUnprintablePositionFlag | (kUnprintableFirstPosition + kUnprintablePositionStep * placed);
        trailer.push_back(static_cast<uint8_t>(position >> 8));
        trailer.push_back(static_cast<uint8_t>(position & 0xFF));
        trailer.push_back(kUnprintableMark);
        trailer.insert(trailer.end(), code.bytes.begin(), code.bytes.begin() + code.length);
    }
    key.push_back(kEndOfText);
    if (!trailer.empty()) {
        key.insert(key.end(), {kEndOfText, kEndOfText, kEndOfText});
        key.insert(key.end(), trailer.begin(), trailer.end());
    }
    key.push_back(kEndOfKey);
}

}  // namespace dex::jetfile
