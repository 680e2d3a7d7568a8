#pragma once
// modAutoUpdateV1_Download: the two HTTP routines of the update, over
// libcurl. Both ask for a fresh copy from the server (Cache-Control:
// no-cache, Pragma: no-cache), follow redirects within http and https, and
// give up when a connection cannot be made within a short time or a transfer
// stalls.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace dex::modAutoUpdateV1_Download {

// Where redirects may lead: anywhere over http or https (what arrives is
// checked against a signed manifest, or comes from a loopback test server),
// or only to https (nothing else vouches for what arrives).
enum class Redirects { HttpOrHttps, HttpsOnly };

// The first bytes of the resource, read once: at most 20 bytes. "" when the
// server cannot be reached, answers with an error status, or sends nothing.
std::string OpenUrl(const std::string& url, Redirects redirects = Redirects::HttpOrHttps);

// The whole body of the resource when the server answers 200 with at most
// `limit` bytes; nothing when it cannot be reached, answers otherwise, or
// sends more.
std::optional<std::string> ReadUrl(const std::string& url, size_t limit,
                                   Redirects redirects = Redirects::HttpOrHttps);

enum class DownloadResult {
    Replaced,  // the download replaced `path`
    Failed,    // no complete download; `path` is as it was
    Rejected,  // complete, but the check refused it; discarded, `path` is as it was
};

// Decides on a complete download before it replaces the target; gets the
// path of the temporary file holding it.
using DownloadCheck = std::function<bool(const std::string& downloadedFile)>;

// Downloads the resource to `path`. The body goes to a temporary file in
// the same folder, which replaces `path` only after a complete transfer
// with status 200 and a non-empty body that `check` (when given) accepts;
// otherwise the temporary file is deleted and `path` is left as it was.
// The new file is executable (it is one of the update programs).
DownloadResult DownloadChecked(const std::string& url, const std::string& path, const DownloadCheck& check,
                               Redirects redirects = Redirects::HttpOrHttps);

// DownloadChecked without a check: true when `path` was replaced.
bool DownloadFile(const std::string& url, const std::string& path);

// `url` with blanks and bytes outside ASCII percent-encoded.
std::string EncodeUrl(const std::string& url);

}  // namespace dex::modAutoUpdateV1_Download
