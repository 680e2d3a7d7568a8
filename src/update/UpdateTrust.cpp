#include "UpdateTrust.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sodium.h>

#include <fstream>
#include <vector>

#include "UpdateKey.h"

namespace dex {
namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool IsHex(const std::string& s) {
    return s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// "" or ":" with one to five digits.
bool IsPortPart(const std::string& s) {
    if (s.empty()) return true;
    return s[0] == ':' && s.size() >= 2 && s.size() <= 6 &&
           s.find_first_not_of("0123456789", 1) == std::string::npos;
}

bool IsLoopbackHost(const std::string& authority) {
    // User info could make a reader and curl disagree about the host
    // ("127.0.0.1@elsewhere"); escapes and backslashes likewise.
    if (authority.find_first_of("@%\\") != std::string::npos) return false;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos || !IsPortPart(authority.substr(close + 1))) return false;
        in6_addr address{};
        return inet_pton(AF_INET6, authority.substr(1, close - 1).c_str(), &address) == 1 &&
               IN6_IS_ADDR_LOOPBACK(&address);
    }
    const size_t colon = authority.find(':');
    if (colon != std::string::npos && !IsPortPart(authority.substr(colon))) return false;
    const std::string host = Lower(authority.substr(0, colon));
    if (host == "localhost") return true;
    in_addr address{};  // inet_pton takes only the four-number form
    return inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

std::string TrimEnd(const std::string& s) {
    const size_t end = s.find_last_not_of(" \t\r");
    return end == std::string::npos ? "" : s.substr(0, end + 1);
}

bool SodiumReady() { return sodium_init() >= 0; }  // safe to call repeatedly

}  // namespace

UpdateTrust UpdateTrustFromHex(const std::string& hex) {
    UpdateTrust trust;
    if (hex.empty()) return trust;
    UpdatePublicKey key{};
    size_t length = 0;
    if (hex.size() != 2 * key.size() || !IsHex(hex) ||
        sodium_hex2bin(key.data(), key.size(), hex.data(), hex.size(), nullptr, &length, nullptr) != 0 ||
        length != key.size()) {
        trust.keyUnreadable = true;
        return trust;
    }
    trust.publicKey = key;
    return trust;
}

UpdateTrust ConfiguredUpdateTrust() { return UpdateTrustFromHex(DEXMIRA_UPDATE_PUBKEY_HEX); }

bool AcceptableWithoutKey(const std::string& url) {
    const size_t separator = url.find("://");
    if (separator == std::string::npos) return false;
    const std::string scheme = Lower(url.substr(0, separator));
    if (scheme == "https") return true;
    if (scheme != "http") return false;
    const size_t from = separator + 3;
    const size_t end = url.find_first_of("/?#", from);
    return IsLoopbackHost(url.substr(from, end == std::string::npos ? std::string::npos : end - from));
}

bool ManifestSignatureValid(const std::string& text, const std::string& signature,
                            const UpdatePublicKey& key) {
    if (signature.size() != crypto_sign_BYTES || !SodiumReady()) return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                       key.data()) == 0;
}

std::optional<UpdateManifest> ParseManifest(const std::string& text) {
    UpdateManifest manifest;
    bool haveVersion = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimEnd(text.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("version ", 0) == 0) {
            manifest.version = line.substr(8);
            if (haveVersion || manifest.version.find_first_not_of(' ') == std::string::npos) return std::nullopt;
            haveVersion = true;
        } else if (line.rfind("sha256 ", 0) == 0) {
            const std::string hash = line.substr(7, crypto_hash_sha256_BYTES * 2);
            const std::string name = line.size() > 72 && line[71] == ' ' ? line.substr(72) : "";
            if (hash.size() != crypto_hash_sha256_BYTES * 2 || !IsHex(hash) || name.empty() ||
                !manifest.sha256.emplace(name, Lower(hash)).second)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (!haveVersion) return std::nullopt;
    return manifest;
}

std::optional<std::string> FileSha256Hex(const std::string& path) {
    if (!SodiumReady()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize n = in.gcount();
        if (n > 0)
            crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.data()),
                                      static_cast<unsigned long long>(n));
    }
    if (in.bad()) return std::nullopt;
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&state, digest.data());
    std::array<char, crypto_hash_sha256_BYTES * 2 + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    return std::string(hex.data());
}

}  // namespace dex
