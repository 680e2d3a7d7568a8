#pragma once
// Reads the raw version-information block (VS_VERSIONINFO) out of a PE
// file's resources, the way the Windows version functions hand it over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dex {

// The bytes of the first RT_VERSION resource (first name, first language) of
// a PE32 or PE32+ file. Empty when the file cannot be read, is not a PE file,
// or carries no version resource.
std::vector<uint8_t> ReadVersionBlock(const std::string& path);
// The same for a file's bytes already in memory.
std::vector<uint8_t> ReadVersionBlockFromMemory(const uint8_t* data, size_t size);

}  // namespace dex
