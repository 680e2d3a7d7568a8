#pragma once
// Little-endian numbers in Jet pages, read and written in place. The caller
// has checked that the bytes are there.
#include <cstddef>
#include <cstdint>

namespace dex::jetfile {

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Writes v at b[at] (b: a buffer of bytes or chars).
template <class Buffer>
void putLe16(Buffer& b, size_t at, uint32_t v) {
    using Byte = typename Buffer::value_type;
    b[at] = static_cast<Byte>(v & 0xFF);
    b[at + 1] = static_cast<Byte>((v >> 8) & 0xFF);
}

template <class Buffer>
void putLe32(Buffer& b, size_t at, uint32_t v) {
    putLe16(b, at, v & 0xFFFF);
    putLe16(b, at + 2, v >> 16);
}

}  // namespace dex::jetfile
