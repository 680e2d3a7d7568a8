#include "JetPageReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "DbError.h"
#include "JetHeader.h"

namespace dex::jetfile {
namespace {

constexpr uint32_t kBlockPages = 32;
constexpr size_t kCachedBlocks = 64;  // 8 MB of 4 KB pages

}  // namespace

std::string pageText(uint32_t page) { return "page " + std::to_string(page); }

JetPages::JetPages(const std::string& path, int pageSize, uint32_t pageKey) : pageSize_(pageSize), pageKey_(pageKey) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        const int err = errno;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        throw DbError(3051, "The database engine cannot open the file '" + path + "' (" + std::strerror(err) + ").");
    }
    fileSize_ = static_cast<uint64_t>(st.st_size);
    count_ = static_cast<uint32_t>(std::min<uint64_t>(fileSize_ / static_cast<uint64_t>(pageSize), 0xFFFFFFFFu));
}

JetPages::JetPages(InMemory, std::string image, int pageSize, uint32_t pageKey)
    : image_(std::move(image)), pageSize_(pageSize), pageKey_(pageKey) {
    fileSize_ = image_.size();
    count_ = static_cast<uint32_t>(std::min<uint64_t>(fileSize_ / static_cast<uint64_t>(pageSize), 0xFFFFFFFFu));
}

JetPages::~JetPages() {
    if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<const JetPages::Block> JetPages::block(uint32_t index) const {
    auto it = cache_.find(index);
    if (it != cache_.end()) {
        recent_.splice(recent_.begin(), recent_, it->second.second);
        return it->second.first;
    }
    const uint32_t first = index * kBlockPages;
    const uint32_t pages = std::min(kBlockPages, count_ - first);
    const size_t ps = static_cast<size_t>(pageSize_);
    // An evicted block that nobody holds any more is reused: no new pages to map and clear.
    std::shared_ptr<Block> bytes;
    if (spare_ && spare_.use_count() == 1) {
        bytes = std::move(spare_);
        bytes->resize(pages * ps);
    } else {
        bytes = std::make_shared<Block>(pages * ps);
    }
    if (fd_ >= 0) {
        size_t done = 0;
        while (done < bytes->size()) {
            const ssize_t n = ::pread(fd_, bytes->data() + done, bytes->size() - done,
                                      static_cast<off_t>(static_cast<uint64_t>(first) * ps + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                throw JetDamage(pageText(first + static_cast<uint32_t>(done / ps)) + " cannot be read" +
                                (n < 0 ? std::string(" (") + std::strerror(errno) + ")" : " (the file became shorter)"));
            done += static_cast<size_t>(n);
        }
    } else {
        std::memcpy(bytes->data(), image_.data() + static_cast<size_t>(first) * ps, bytes->size());
    }
    for (uint32_t p = 0; p < pages; ++p) decodePage(pageKey_, first + p, bytes->data() + p * ps, ps);
    if (cache_.size() >= kCachedBlocks) {
        auto old = cache_.find(recent_.back());
        spare_ = std::const_pointer_cast<Block>(old->second.first);
        cache_.erase(old);
        recent_.pop_back();
    }
    recent_.push_front(index);
    cache_.emplace(index, std::make_pair(bytes, recent_.begin()));
    return bytes;
}

PageView JetPages::page(uint32_t number, const char* role) const {
    if (number >= count_)
        throw JetDamage(std::string(role) + " refers to " + pageText(number) + ", beyond the end of the file (" +
                        std::to_string(count_) + " pages)");
    auto b = block(number / kBlockPages);
    const size_t ps = static_cast<size_t>(pageSize_);
    const uint8_t* data = b->data() + (number % kBlockPages) * ps;
    return PageView(std::move(b), data, ps, number);
}

}  // namespace dex::jetfile
