#include "JetHeader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "LittleEndian.h"
#include "TextCodec.h"

namespace dex::jetfile {
namespace {

constexpr size_t kSignatureOffset = 4;
constexpr size_t kVersionOffset = 0x14;
constexpr size_t kMaskedStart = 0x18;
constexpr size_t kCodePageOffset = 0x3C;
constexpr size_t kPageKeyOffset = 0x3E;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kCreationDateOffset = 0x72;
constexpr size_t kSortOrderJet4 = 0x6E, kSortOrderJet3 = 0x3A;
constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};


// The Jet 4 password mask: the whole-number part of the creation date as a
// 32-bit integer, little-endian. A date that is no number or out of range
// (never written by Jet) gives no mask.
uint32_t passwordMask(double creationDate) {
    if (!std::isfinite(creationDate) || creationDate <= -2147483648.0 || creationDate >= 2147483648.0) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(creationDate));
}

// The bytes up to the last non-zero unit (unit = 1 byte or 2 for UCS-2).
std::string trimTrailingZeros(const std::string& s, size_t unit) {
    size_t end = s.size() - s.size() % unit;
    auto zeroUnit = [&](size_t e) { return std::all_of(s.begin() + static_cast<long>(e - unit), s.begin() + static_cast<long>(e), [](char c) { return c == 0; }); };
    while (end >= unit && zeroUnit(end)) end -= unit;
    return std::string(s.data(), end);
}

}  // namespace

void rc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length) {
    if (keyLength == 0) return;
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s[i] + key[static_cast<size_t>(i) % keyLength]);
        std::swap(s[i], s[j]);
    }
    uint8_t a = 0, b = 0;
    for (size_t n = 0; n < length; ++n) {
        a = static_cast<uint8_t>(a + 1);
        b = static_cast<uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[static_cast<uint8_t>(s[a] + s[b])];
    }
}

void decodePage(uint32_t pageKey, uint32_t page, uint8_t* data, size_t length) {
    if (pageKey == 0 || page == 0) return;
    const uint32_t k = pageKey ^ page;
    const uint8_t key[4] = {static_cast<uint8_t>(k), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k >> 16),
                            static_cast<uint8_t>(k >> 24)};
    rc4(key, 4, data, length);
}

bool hasJetSignature(const uint8_t* data, size_t size) {
    if (size < kSignatureOffset + 15 || data[0] != 0x00) return false;
    return std::memcmp(data + kSignatureOffset, "Standard Jet DB", 15) == 0 ||
           std::memcmp(data + kSignatureOffset, "Standard ACE DB", 15) == 0;
}

std::optional<JetHeader> parseJetHeader(const uint8_t* data, size_t size) {
    if (!hasJetSignature(data, size) || size <= kVersionOffset) return std::nullopt;
    JetHeader h;
    h.version = data[kVersionOffset];
    const bool ace = std::memcmp(data + kSignatureOffset, "Standard ACE DB", 15) == 0;
    h.format = ace || h.version >= 2 ? JetFormat::Ace : h.version == 0 ? JetFormat::Jet3 : JetFormat::Jet4;
    h.pageSize = h.format == JetFormat::Jet3 ? 2048 : 4096;
    const size_t masked = h.format == JetFormat::Jet3 ? 126 : 128;
    if (size < kMaskedStart + masked) return std::nullopt;

    uint8_t block[0x18 + 128] = {};
    std::memcpy(block, data, kMaskedStart + masked);
    rc4(kHeaderKey, sizeof kHeaderKey, block + kMaskedStart, masked);

    h.codePage = le16(block + kCodePageOffset);
    h.pageKey = le32(block + kPageKeyOffset);
    h.page0.assign(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4096));
    std::memcpy(h.page0.data() + kMaskedStart, block + kMaskedStart, masked);
    if (h.format == JetFormat::Jet3) {
        h.sortOrder = le16(block + kSortOrderJet3);
        h.password = trimTrailingZeros(std::string(reinterpret_cast<const char*>(block + kPasswordOffset), 20), 1);
        return h;
    }
    double date = 0;
    std::memcpy(&date, block + kCreationDateOffset, sizeof date);
    h.creationDate = date;
    h.sortOrder = static_cast<int>(le32(block + kSortOrderJet4));
    const uint32_t mask = passwordMask(date);
    std::string pw(reinterpret_cast<const char*>(block + kPasswordOffset), 40);
    for (size_t i = 0; i < pw.size(); ++i) pw[i] = static_cast<char>(pw[i] ^ static_cast<char>(mask >> (8 * (i % 4))));
    h.password = trimTrailingZeros(std::move(pw), 2);
    return h;
}

bool passwordMatches(const JetHeader& header, const std::string& given) {
    if (!header.hasPassword()) return true;
    if (header.format == JetFormat::Jet3) {
        CodePageDecoder decoder(header.codePage);
        const auto* p = reinterpret_cast<const uint8_t*>(header.password.data());
        return decoder.toUtf8(p, header.password.size()) == given;
    }
    return utf8ToUtf16le(given) == header.password;
}

}  // namespace dex::jetfile
