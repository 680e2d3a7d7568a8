#pragma once
// Authenticity of the update: the Ed25519 public key that release manifests
// are signed with, the signed manifest that names the SHA-256 of every update
// program, and which server addresses may be used without a key.
//
// The manifest (update-manifest.txt, beside the version file) is text, one
// entry a line; blank lines and lines starting with "#" are ignored:
//     version <the version file's number>
//     sha256 <64 hex digits> <file name>
// update-manifest.txt.sig holds the detached Ed25519 signature of the
// manifest's exact bytes: 64 raw bytes.
#include <array>
#include <map>
#include <optional>
#include <string>

namespace dex {

using UpdatePublicKey = std::array<unsigned char, 32>;

// What the update trusts. The program builds it from the key compiled in
// (ConfiguredUpdateTrust); tests build it directly.
struct UpdateTrust {
    std::optional<UpdatePublicKey> publicKey;  // none: no key configured
    // A key was configured but is not 64 hex digits: every update is refused
    // rather than falling back to running without a key.
    bool keyUnreadable = false;
};

// "" gives no key, 64 hex digits (either case) that key, anything else a
// trust with keyUnreadable set.
UpdateTrust UpdateTrustFromHex(const std::string& hex);

// The key the build was configured with (CMake's DEXMIRA_UPDATE_PUBKEY).
// Never taken from the environment: whoever can set that could swap it.
UpdateTrust ConfiguredUpdateTrust();

// Whether a server may be used without a key: an https address, or http to
// a loopback host (127.0.0.0/8 written as four decimal numbers, localhost,
// [::1]). Anything unusual in the host part (user info, escapes) is refused.
bool AcceptableWithoutKey(const std::string& url);

inline constexpr const char* kManifestFile = "update-manifest.txt";
inline constexpr const char* kSignatureFile = "update-manifest.txt.sig";

struct UpdateManifest {
    std::string version;                        // the "version" line's text
    std::map<std::string, std::string> sha256;  // file name -> lower-case hex
};

// Whether `signature` (64 bytes) is `key`'s Ed25519 signature of `text`.
bool ManifestSignatureValid(const std::string& text, const std::string& signature,
                            const UpdatePublicKey& key);

// The entries of a manifest; nothing when a line is not one of the two
// forms, a file is named twice, or the version line is missing or repeated.
std::optional<UpdateManifest> ParseManifest(const std::string& text);

// The SHA-256 of a file's bytes in lower-case hex; nothing when unreadable.
std::optional<std::string> FileSha256Hex(const std::string& path);

}  // namespace dex
