#include "JetWritePages.h"

#include <algorithm>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace dex::jetfile::jetwrite {

Format Format::of(int version) {
    Format f;
    if (version == 0) {
        f.jet3 = true;
        f.pageSize = 2048;
        f.rowCountAt = 8;
        f.maxRowSize = 2012;
        f.mapRowSize = 133;
        f.lvalRow = 2032;
    }
    return f;
}

int PageFile::allocate() {
    pages_.emplace_back(static_cast<size_t>(format_.pageSize), '\0');
    return count() - 1;
}

void PageFile::save(int fd, const std::string& name) const {
    // Pages go out in runs of up to 256 at a time; a short write is retried.
    Bytes run;
    const size_t batch = 256;
    for (size_t first = 0; first < pages_.size(); first += batch) {
        run.clear();
        for (size_t i = first; i < std::min(pages_.size(), first + batch); ++i) run += pages_[i];
        size_t done = 0;
        while (done < run.size()) {
            const ssize_t n = ::write(fd, run.data() + done, run.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                throw std::runtime_error("cannot write " + name + ": " + std::strerror(n < 0 ? errno : ENOSPC));
            done += static_cast<size_t>(n);
        }
    }
    if (::fsync(fd) != 0) throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
}

namespace rowpage {

void init(Bytes& page, const Format& f, uint32_t owner) {
    std::fill(page.begin(), page.end(), '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    set32(page, 4, owner);
    set16(page, 2, static_cast<unsigned>(f.pageSize - f.rowCountAt - 2));
}

size_t start(const Bytes& page, const Format& f, int row) {
    return get16(page, static_cast<size_t>(f.rowCountAt + 2 + 2 * row)) & 0x1FFF;
}

int add(Bytes& page, const Format& f, const Bytes& row) {
    const int n = static_cast<int>(get16(page, static_cast<size_t>(f.rowCountAt)));
    const int end = n == 0 ? f.pageSize : static_cast<int>(start(page, f, n - 1));
    const int begin = end - static_cast<int>(row.size());
    const int tableEnd = f.rowCountAt + 2 + 2 * (n + 1);
    if (n >= 255 || begin < tableEnd) return -1;
    std::copy(row.begin(), row.end(), page.begin() + begin);
    set16(page, static_cast<size_t>(f.rowCountAt + 2 + 2 * n), static_cast<unsigned>(begin));
    set16(page, static_cast<size_t>(f.rowCountAt), static_cast<unsigned>(n + 1));
    set16(page, 2, static_cast<unsigned>(begin - tableEnd));
    return n;
}

}  // namespace rowpage

MapSlot UsageMaps::reserve() {
    const Format& f = file_.format();
    const Bytes empty(static_cast<size_t>(f.mapRowSize), '\0');
    int row = current_ < 0 ? -1 : rowpage::add(file_.page(current_), f, empty);
    if (row < 0) {
        current_ = file_.allocate();
        rowpage::init(file_.page(current_), f, 0);
        row = rowpage::add(file_.page(current_), f, empty);
    }
    return {current_, row};
}

void UsageMaps::write(const MapSlot& slot, std::vector<int> pages) {
    const Format& f = file_.format();
    const size_t at = rowpage::start(file_.page(slot.page), f, slot.row);
    std::sort(pages.begin(), pages.end());
    const int inlineBits = (f.mapRowSize - 5) * 8;
    if (pages.empty() || pages.back() - pages.front() < inlineBits) {
        Bytes& p = file_.page(slot.page);
        p[at] = 0;
        set32(p, at + 1, pages.empty() ? 0 : static_cast<uint32_t>(pages.front()));
        for (int pg : pages) {
            const int bit = pg - pages.front();
            p[at + 5 + bit / 8] = static_cast<char>(p[at + 5 + bit / 8] | (1 << (bit % 8)));
        }
        return;
    }
    const int bitsPerPage = (f.pageSize - 4) * 8;
    const int entries = (f.mapRowSize - 1) / 4;
    std::map<int, int> mapPages;  // entry -> usage page
    for (int pg : pages) {
        const int entry = pg / bitsPerPage;
        if (entry >= entries) throw std::runtime_error("file too large for a usage map");
        auto it = mapPages.find(entry);
        if (it == mapPages.end()) {
            const int mp = file_.allocate();
            Bytes& m = file_.page(mp);
            m[0] = 0x05;
            m[1] = 0x01;
            it = mapPages.emplace(entry, mp).first;
        }
        Bytes& m = file_.page(it->second);
        const int bit = pg % bitsPerPage;
        m[4 + bit / 8] = static_cast<char>(m[4 + bit / 8] | (1 << (bit % 8)));
    }
    Bytes& p = file_.page(slot.page);
    p[at] = 1;
    for (const auto& [entry, mp] : mapPages) set32(p, at + 1 + 4 * static_cast<size_t>(entry), static_cast<uint32_t>(mp));
}

uint32_t LongValues::addRow(const Bytes& row) {
    const Format& f = file_.format();
    int n = current_ < 0 ? -1 : rowpage::add(file_.page(current_), f, row);
    if (n < 0) {
        current_ = file_.allocate();
        rowpage::init(file_.page(current_), f, 0x4C41564C);  // "LVAL"
        pages_.push_back(current_);
        n = rowpage::add(file_.page(current_), f, row);
    }
    return static_cast<uint32_t>(current_) << 8 | static_cast<uint32_t>(n);
}

Bytes LongValues::store(const Bytes& value) {
    const Format& f = file_.format();
    if (value.size() >= 0x1000000) throw std::runtime_error("long value of 16 MB or more");
    const auto length = static_cast<uint32_t>(value.size());
    Bytes field;
    if (value.size() <= static_cast<size_t>(f.inlineLongValue)) {
        put32(field, length | 0x80000000u);
        put64(field, 0);
        return field + value;
    }
    if (value.size() <= static_cast<size_t>(f.lvalRow)) {
        put32(field, length | 0x40000000u);
        put32(field, addRow(value));
        put32(field, 0);
        return field;
    }
    // A chain: each row holds the pointer to the next one, so write it backwards.
    const size_t chunk = static_cast<size_t>(f.lvalRow - 4);
    uint32_t next = 0;
    for (size_t begin = (value.size() - 1) / chunk * chunk;; begin -= chunk) {
        Bytes row;
        put32(row, next);
        row += value.substr(begin, chunk);
        next = addRow(row);
        if (begin == 0) break;
    }
    put32(field, length);
    put32(field, next);
    put32(field, 0);
    return field;
}

void writeGlobalMap(PageFile& file) {
    const Format& f = file.format();
    Bytes& p = file.page(1);
    rowpage::init(p, f, 1);
    Bytes freePages(static_cast<size_t>(f.mapRowSize), '\0');
    for (int pg = file.count(); pg < (f.mapRowSize - 5) * 8; ++pg)
        freePages[5 + pg / 8] = static_cast<char>(freePages[5 + pg / 8] | (1 << (pg % 8)));
    rowpage::add(p, f, freePages);
    rowpage::add(p, f, Bytes(static_cast<size_t>(f.mapRowSize), '\0'));
}

}  // namespace dex::jetfile::jetwrite
