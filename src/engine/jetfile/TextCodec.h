#pragma once
// Text as Jet files store it, turned into UTF-8: UCS-2 (Jet 4, optionally in
// its compressed form) and single/double-byte Windows code pages (Jet 3).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dex::jetfile {

// UTF-16 little-endian to UTF-8; an odd trailing byte is dropped, lone
// surrogates become U+FFFD.
std::string utf16leToUtf8(const uint8_t* data, size_t size);

// A Jet 4 text value: plain UCS-2, or the compressed form (starting FF FE,
// where a 0x00 byte toggles between one-byte and two-byte characters).
std::string jet4TextToUtf8(const uint8_t* data, size_t size);
// The same into `out`, whose memory is reused.
void jet4TextToUtf8Into(std::string& out, const uint8_t* data, size_t size);

// UTF-8 to UTF-16 little-endian bytes; invalid sequences become U+FFFD.
std::string utf8ToUtf16le(const std::string& text);

// The iconv name of a Windows code page ("CP949" for 949); Windows-1252 for 0.
std::string iconvNameForCodePage(int codePage);

// Converts one code page to UTF-8. Bytes that do not convert become U+FFFD.
// Not thread-safe (one iconv state); give each reader its own.
class CodePageDecoder {
public:
    // An unknown or unsupported code page falls back to Windows-1252.
    explicit CodePageDecoder(int codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    std::string toUtf8(const uint8_t* data, size_t size);
    const std::string& charset() const { return charset_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string charset_;
};

// Names and text values of one file: UCS-2 for Jet 4, the file's code page for Jet 3.
class JetText {
public:
    JetText(bool jet3, int codePage) : jet3_(jet3), codePage_(codePage) {}
    // A name from a table definition (Jet 4 names are never compressed).
    std::string name(const std::string& raw);
    // A Text or Memo value.
    std::string value(const uint8_t* data, size_t size);
    // The same into `out`, whose memory is reused.
    void value(std::string& out, const uint8_t* data, size_t size);

private:
    CodePageDecoder& decoder();
    bool jet3_;
    int codePage_;
    std::unique_ptr<CodePageDecoder> decoder_;
};

}  // namespace dex::jetfile
