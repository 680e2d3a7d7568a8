#include "modAutoUpdateV1_Download.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

namespace dex::modAutoUpdateV1_Download {
namespace {

constexpr size_t kReadLimit = 20;
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kStallSeconds = 60;  // fewer than 1 byte/s for this long ends a transfer
constexpr long kMaxRedirects = 5;
const char* const kOpenUrlAgent = "VB OpenUrl";
const char* const kDownloadAgent = "Dexmira";

struct CurlCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistCleanup {
    void operator()(curl_slist* s) const { curl_slist_free_all(s); }
};
struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

// An easy handle with the options both routines share; the header list
// must outlive the transfer.
struct Request {
    CurlHandle curl;
    HeaderList headers;
};

Request MakeRequest(const std::string& url, const char* agent, Redirects redirects) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Request r{CurlHandle(curl_easy_init()), nullptr};
    if (!r.curl) return r;
    curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
    list = list ? curl_slist_append(list, "Pragma: no-cache") : nullptr;
    r.headers.reset(list);
    CURL* c = r.curl.get();
    const std::string encoded = EncodeUrl(url);
    curl_easy_setopt(c, CURLOPT_URL, encoded.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, r.headers.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, redirects == Redirects::HttpsOnly ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    return r;
}

size_t KeepFirstBytes(char* data, size_t size, size_t count, void* user) {
    auto& text = *static_cast<std::string*>(user);
    const size_t n = size * count;
    text.append(data, std::min(n, kReadLimit - text.size()));
    return text.size() < kReadLimit ? n : 0;  // 0 ends the transfer: the read is done
}

struct Bounded {
    std::string text;
    size_t limit;
    bool over = false;
};

size_t KeepUpToLimit(char* data, size_t size, size_t count, void* user) {
    auto& body = *static_cast<Bounded*>(user);
    const size_t n = size * count;
    if (n > body.limit - body.text.size()) {
        body.over = true;
        return 0;  // ends the transfer: too long to be what was asked for
    }
    body.text.append(data, n);
    return n;
}

struct Sink {
    std::FILE* file;
    size_t written = 0;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    const size_t n = std::fwrite(data, size, count, sink.file) * size;
    sink.written += n;
    return n;
}

// A temporary file beside the target, removed unless it was renamed.
class TempFile {
public:
    explicit TempFile(const std::filesystem::path& target) {
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        name_ = (folder / ("." + target.filename().string() + ".download-XXXXXX")).string();
        const int fd = mkstemp(name_.data());
        if (fd < 0) {
            name_.clear();
            return;
        }
        file_.reset(fdopen(fd, "wb"));
        if (!file_) ::close(fd);
    }
    ~TempFile() {
        file_.reset();
        if (!name_.empty()) std::remove(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::FILE* file() const { return file_.get(); }

    const std::string& name() const { return name_; }

    // Flushes the content to disk, so that a check reads what will be
    // renamed.
    bool flush() {
        std::FILE* f = file_.get();
        return std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    }

    // Marks executable, closes and renames over the target. The mark comes
    // only now, after any check: an unchecked download is never executable.
    bool commit(const std::filesystem::path& target) {
        bool ok = fchmod(fileno(file_.get()), 0755) == 0;
        ok = (std::fclose(file_.release()) == 0) && ok;
        if (!ok || std::rename(name_.c_str(), target.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

private:
    std::string name_;
    FileHandle file_;
};

}  // namespace

std::string EncodeUrl(const std::string& url) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : url) {
        if (c > 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

std::string OpenUrl(const std::string& url, Redirects redirects) {
    Request r = MakeRequest(url, kOpenUrlAgent, redirects);
    if (!r.curl || !r.headers) return "";
    std::string text;
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEFUNCTION, &KeepFirstBytes);
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEDATA, &text);
    const CURLcode rc = curl_easy_perform(r.curl.get());
    const bool read = rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && text.size() == kReadLimit);
    return read ? text : "";
}

std::optional<std::string> ReadUrl(const std::string& url, size_t limit, Redirects redirects) {
    Request r = MakeRequest(url, kDownloadAgent, redirects);
    if (!r.curl || !r.headers) return std::nullopt;
    Bounded body{"", limit};
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEFUNCTION, &KeepUpToLimit);
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEDATA, &body);
    const CURLcode rc = curl_easy_perform(r.curl.get());
    long status = 0;
    curl_easy_getinfo(r.curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK || status != 200 || body.over) return std::nullopt;
    return std::move(body.text);
}

DownloadResult DownloadChecked(const std::string& url, const std::string& path, const DownloadCheck& check,
                               Redirects redirects) {
    Request r = MakeRequest(url, kDownloadAgent, redirects);
    if (!r.curl || !r.headers) return DownloadResult::Failed;
    TempFile temp{std::filesystem::path(path)};
    if (!temp.file()) return DownloadResult::Failed;
    Sink sink{temp.file()};
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(r.curl.get(), CURLOPT_WRITEDATA, &sink);
    const CURLcode rc = curl_easy_perform(r.curl.get());
    long status = 0;
    curl_easy_getinfo(r.curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK || status != 200 || sink.written == 0 || !temp.flush()) return DownloadResult::Failed;
    if (check && !check(temp.name())) return DownloadResult::Rejected;
    return temp.commit(std::filesystem::path(path)) ? DownloadResult::Replaced : DownloadResult::Failed;
}

bool DownloadFile(const std::string& url, const std::string& path) {
    return DownloadChecked(url, path, nullptr) == DownloadResult::Replaced;
}

}  // namespace dex::modAutoUpdateV1_Download
