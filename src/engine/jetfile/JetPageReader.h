#pragma once
// The pages of a Jet file, read-only and bounds-checked: the only way the
// model reads the file. A page number at or past the end of the file is
// never read (nothing lies there, whatever another reader might make of
// it): asking for one throws JetDamage. Pages are read with pread in blocks
// of 32 and kept in a small cache, and decoded when the file has a page key.
// The same class serves bytes held in memory (the fuzz targets).
//
// Every accessor of a PageView checks its offset against the page: a read
// beyond it throws JetDamage too. Callers that know which table they are
// reading turn a JetDamage into DbError 3343 naming it (damagedTable).
#include <cstdint>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace dex::jetfile {

// A fact of the file that cannot be true (a reference past its end, a value
// past its page). what() says what, without the table.
class JetDamage : public std::runtime_error {
public:
    explicit JetDamage(const std::string& what) : std::runtime_error(what) {}
};

std::string pageText(uint32_t page);

class PageView {
public:
    PageView() = default;
    PageView(std::shared_ptr<const std::vector<uint8_t>> keep, const uint8_t* data, size_t size, uint32_t number)
        : keep_(std::move(keep)), data_(data), size_(size), number_(number) {}

    uint32_t number() const { return number_; }
    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    bool empty() const { return data_ == nullptr; }

    uint8_t u8(size_t at) const { return need(at, 1), data_[at]; }
    uint16_t u16(size_t at) const { return need(at, 2), static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8)); }
    uint32_t u24(size_t at) const {
        need(at, 3);
        return static_cast<uint32_t>(data_[at]) | (static_cast<uint32_t>(data_[at + 1]) << 8) |
               (static_cast<uint32_t>(data_[at + 2]) << 16);
    }
    uint32_t u32(size_t at) const {
        need(at, 4);
        return static_cast<uint32_t>(data_[at]) | (static_cast<uint32_t>(data_[at + 1]) << 8) |
               (static_cast<uint32_t>(data_[at + 2]) << 16) | (static_cast<uint32_t>(data_[at + 3]) << 24);
    }
    // n bytes from at, which must lie inside the page.
    const uint8_t* span(size_t at, size_t n) const { return need(at, n), data_ + at; }
    std::string bytes(size_t at, size_t n) const { return std::string(reinterpret_cast<const char*>(span(at, n)), n); }

private:
    void need(size_t at, size_t n) const {
        if (at > size_ || n > size_ - at)
            throw JetDamage(pageText(number_) + " is read at offset " + std::to_string(at) + " beyond its " +
                            std::to_string(size_) + " bytes");
    }
    std::shared_ptr<const std::vector<uint8_t>> keep_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    uint32_t number_ = 0;
};

class JetPages {
public:
    // Opens path read-only. The file's length must be a whole number of pages
    // (the caller checks and says so). Throws DbError 3051 when it cannot be opened.
    JetPages(const std::string& path, int pageSize, uint32_t pageKey);
    // Pages held in memory (the whole file image; a trailing part page is ignored).
    struct InMemory {};
    JetPages(InMemory, std::string image, int pageSize, uint32_t pageKey);
    ~JetPages();
    JetPages(const JetPages&) = delete;
    JetPages& operator=(const JetPages&) = delete;

    uint32_t count() const { return count_; }
    int pageSize() const { return pageSize_; }
    uint64_t fileSize() const { return fileSize_; }
    bool has(uint32_t page) const { return page < count_; }

    // The page, decoded. Throws JetDamage for a page the file does not have
    // (`role` says what referred to it, e.g. "the usage map").
    PageView page(uint32_t number, const char* role = "a reference") const;

private:
    using Block = std::vector<uint8_t>;
    std::shared_ptr<const Block> block(uint32_t index) const;

    int fd_ = -1;
    std::string image_;
    int pageSize_;
    uint32_t pageKey_;
    uint64_t fileSize_ = 0;
    uint32_t count_ = 0;
    mutable std::unordered_map<uint32_t, std::pair<std::shared_ptr<const Block>, std::list<uint32_t>::iterator>> cache_;
    mutable std::list<uint32_t> recent_;  // most recent first
    mutable std::shared_ptr<Block> spare_;
};

}  // namespace dex::jetfile
