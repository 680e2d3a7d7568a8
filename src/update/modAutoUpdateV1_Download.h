#pragma once
// modAutoUpdateV1_Download: the two HTTP routines of the update, over
// libcurl. Both ask for a fresh copy from the server (Cache-Control:
// no-cache, Pragma: no-cache), follow redirects within http and https, and
// give up when a connection cannot be made within a short time or a transfer
// stalls.
#include <string>

namespace dex::modAutoUpdateV1_Download {

// The first bytes of the resource, read once: at most 20 bytes. "" when the
// server cannot be reached, answers with an error status, or sends nothing.
std::string OpenUrl(const std::string& url);

// Downloads the resource to `path`. The body goes to a temporary file in
// the same folder, which replaces `path` only after a complete transfer
// with status 200 and a non-empty body; otherwise `path` is left as it was.
// The new file is executable (it is one of the update programs).
bool DownloadFile(const std::string& url, const std::string& path);

// `url` with blanks and bytes outside ASCII percent-encoded.
std::string EncodeUrl(const std::string& url);

}  // namespace dex::modAutoUpdateV1_Download
