#pragma once
// Page 0 of a Jet file: the format version, the masked block with the code
// page, the page key and the database password. Pure parsing of bytes, every
// read bounds-checked, so that it can run on hostile input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dex::jetfile {

enum class JetFormat { Jet3, Jet4, Ace };

struct JetHeader {
    int version = 0;          // byte 0x14: 0 Jet 3, 1 Jet 4, 2 and above ACE
    JetFormat format = JetFormat::Jet4;
    int pageSize = 4096;      // 2048 for Jet 3
    int codePage = 0;         // unmasked 0x3C
    uint32_t pageKey = 0;     // unmasked 0x3E; 0 = pages are not encoded
    double creationDate = 0;  // unmasked 0x72 (Jet 4)
    int sortOrder = 0;        // unmasked 0x6E, 4 bytes (Jet 4) / 0x3A, 2 bytes (Jet 3): 0x409 General
    // The stored password, unmasked: Jet 3 bytes in the file's code page,
    // Jet 4 UCS-2 little-endian; trailing zero bytes removed.
    std::string password;
    // Page 0 as far as it was read, with the masked block unmasked.
    std::string page0;

    bool hasPassword() const { return !password.empty(); }
};

// The bytes every Jet and ACE file starts with, after the 4-byte page header.
bool hasJetSignature(const uint8_t* data, size_t size);

// Parses the first page (or as much of it as was read). nullopt when the
// bytes are not a Jet/ACE header at all (no signature, or too short to hold
// the masked block).
std::optional<JetHeader> parseJetHeader(const uint8_t* data, size_t size);

// RC4 over data in place (the page-0 mask and the page encoding use it).
void rc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length);

// Undoes the page encoding of page `page` (a no-op when pageKey is 0 or for page 0).
void decodePage(uint32_t pageKey, uint32_t page, uint8_t* data, size_t length);

// Whether `given` (UTF-8) opens the file, as Jet checks it: any password is
// accepted for a file without one; otherwise it must equal the stored one.
// Jet 3 passwords are compared after decoding the stored bytes with the
// file's code page.
bool passwordMatches(const JetHeader& header, const std::string& given);

}  // namespace dex::jetfile
