#pragma once
// SHA-256 (FIPS 180-4), used for the store's salted password hash.
#include <string>
#include <string_view>

namespace dex::jetstore {

// The digest of data as 64 lower-case hex digits.
std::string sha256Hex(std::string_view data);

}  // namespace dex::jetstore
