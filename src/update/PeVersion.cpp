#include "PeVersion.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace dex {
namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kHighBit = 0x80000000u;
// A version block is a few kilobytes; anything near this is a damaged file.
constexpr uint32_t kMaxBlockSize = 16u * 1024u * 1024u;

// Little-endian reads at absolute offsets of the image: a file on disk or
// bytes already in memory.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    uint64_t size() const { return size_; }

    bool bytes(uint64_t offset, void* out, uint64_t count) {
        if (offset > size_ || count > size_ - offset) return false;
        return read(offset, out, count);
    }
    std::optional<uint16_t> u16(uint64_t offset) {
        uint8_t b[2];
        if (!bytes(offset, b, 2)) return std::nullopt;
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    std::optional<uint32_t> u32(uint64_t offset) {
        uint8_t b[4];
        if (!bytes(offset, b, 4)) return std::nullopt;
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }

protected:
    // `count` bytes at `offset`, both within size().
    virtual bool read(uint64_t offset, void* out, uint64_t count) = 0;
    uint64_t size_ = 0;
};

class FileReader : public ByteReader {
public:
    explicit FileReader(const std::string& path) : in_(path, std::ios::binary) {
        if (in_) {
            in_.seekg(0, std::ios::end);
            size_ = static_cast<uint64_t>(in_.tellg());
        }
    }
    bool ok() const { return static_cast<bool>(in_); }

protected:
    bool read(uint64_t offset, void* out, uint64_t count) override {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(count));
        return static_cast<uint64_t>(in_.gcount()) == count;
    }

private:
    std::ifstream in_;
};

class MemoryReader : public ByteReader {
public:
    MemoryReader(const uint8_t* data, size_t size) : data_(data) { size_ = size; }

protected:
    bool read(uint64_t offset, void* out, uint64_t count) override {
        if (count > 0) std::memcpy(out, data_ + offset, static_cast<size_t>(count));
        return true;
    }

private:
    const uint8_t* data_;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

struct PeLayout {
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
    std::vector<Section> sections;
};

// Headers: DOS stub, "PE\0\0", file header, optional header (PE32 or PE32+),
// the resource entry of the data directory, and the section table.
std::optional<PeLayout> ReadLayout(ByteReader& file) {
    if (file.u16(0) != uint16_t{0x5A4D}) return std::nullopt;  // "MZ"
    auto peOffset = file.u32(0x3C);
    if (!peOffset || file.u32(*peOffset) != uint32_t{0x00004550}) return std::nullopt;
    const uint64_t fileHeader = uint64_t{*peOffset} + 4;
    auto sectionCount = file.u16(fileHeader + 2);
    auto optionalSize = file.u16(fileHeader + 16);
    const uint64_t optional = fileHeader + 20;
    auto magic = file.u16(optional);
    if (!sectionCount || !optionalSize || !magic) return std::nullopt;
    uint64_t countField, directories;
    if (*magic == kPe32Magic) {
        countField = 92, directories = 96;
    } else if (*magic == kPe32PlusMagic) {
        countField = 108, directories = 112;
    } else {
        return std::nullopt;
    }
    PeLayout layout;
    auto dirCount = file.u32(optional + countField);
    const uint64_t resEntry = directories + kResourceDirectoryIndex * 8;
    if (dirCount && *dirCount > kResourceDirectoryIndex && resEntry + 8 <= *optionalSize) {
        layout.resourceRva = file.u32(optional + resEntry).value_or(0);
        layout.resourceSize = file.u32(optional + resEntry + 4).value_or(0);
    }
    const uint64_t table = optional + *optionalSize;
    for (uint16_t i = 0; i < *sectionCount; ++i) {
        const uint64_t at = table + uint64_t{i} * 40;
        auto vsize = file.u32(at + 8), va = file.u32(at + 12);
        auto rsize = file.u32(at + 16), roff = file.u32(at + 20);
        if (!vsize || !va || !rsize || !roff) return std::nullopt;
        layout.sections.push_back({*va, *vsize, *rsize, *roff});
    }
    return layout;
}

// File offset of `count` bytes at an address of the loaded image, when they
// lie within one section's data on disk.
std::optional<uint64_t> RvaToOffset(const PeLayout& layout, uint32_t rva, uint32_t count) {
    for (const Section& s : layout.sections) {
        if (rva < s.virtualAddress) continue;
        const uint64_t delta = rva - s.virtualAddress;
        const uint64_t span = std::max(s.virtualSize, s.rawSize);
        if (delta >= span) continue;
        if (delta + count > s.rawSize) return std::nullopt;  // not stored in the file
        return uint64_t{s.rawOffset} + delta;
    }
    return std::nullopt;
}

class ResourceTree {
public:
    ResourceTree(ByteReader& file, uint64_t base, uint32_t size) : file_(file), base_(base), size_(size) {}

    // The entry of directory `dir` (offset within the tree) with the given
    // ID, or with no ID the directory's first entry. Returns the entry's
    // target: a subdirectory (high bit set) or a data entry.
    std::optional<uint32_t> find(uint32_t dir, std::optional<uint32_t> id) {
        auto named = u16(dir + 12), ids = u16(dir + 14);
        if (!named || !ids) return std::nullopt;
        const uint32_t total = uint32_t{*named} + *ids;
        for (uint32_t i = 0; i < total; ++i) {
            const uint32_t entry = dir + 16 + i * 8;
            auto name = u32(entry), target = u32(entry + 4);
            if (!name || !target) return std::nullopt;
            const bool isNamed = (*name & kHighBit) != 0;
            if (!id || (!isNamed && *name == *id)) return *target;
        }
        return std::nullopt;
    }
    std::optional<uint32_t> u16(uint32_t at) {
        if (uint64_t{at} + 2 > size_) return std::nullopt;
        return file_.u16(base_ + at);
    }
    std::optional<uint32_t> u32(uint32_t at) {
        if (uint64_t{at} + 4 > size_) return std::nullopt;
        return file_.u32(base_ + at);
    }

private:
    ByteReader& file_;
    uint64_t base_;
    uint32_t size_;
};

// Follows type RT_VERSION, then the first name, then the first language, to
// the data entry; returns its RVA and size.
std::optional<std::pair<uint32_t, uint32_t>> FindVersionData(ResourceTree& tree) {
    auto typeDir = tree.find(0, kRtVersion);
    if (!typeDir || !(*typeDir & kHighBit)) return std::nullopt;
    auto nameDir = tree.find(*typeDir & ~kHighBit, std::nullopt);
    if (!nameDir || !(*nameDir & kHighBit)) return std::nullopt;
    auto dataEntry = tree.find(*nameDir & ~kHighBit, std::nullopt);
    if (!dataEntry || (*dataEntry & kHighBit)) return std::nullopt;
    auto rva = tree.u32(*dataEntry), size = tree.u32(*dataEntry + 4);
    if (!rva || !size) return std::nullopt;
    return std::make_pair(*rva, *size);
}

// The version block of the image behind `file`.
std::vector<uint8_t> ReadBlock(ByteReader& file) {
    auto layout = ReadLayout(file);
    if (!layout || layout->resourceRva == 0 || layout->resourceSize == 0) return {};
    auto treeOffset = RvaToOffset(*layout, layout->resourceRva, 16);
    if (!treeOffset) return {};
    const uint64_t available = file.size() - *treeOffset;
    const uint32_t treeSize = static_cast<uint32_t>(std::min<uint64_t>(layout->resourceSize, available));
    ResourceTree tree(file, *treeOffset, treeSize);
    auto data = FindVersionData(tree);
    if (!data || data->second == 0 || data->second > kMaxBlockSize) return {};
    auto dataOffset = RvaToOffset(*layout, data->first, data->second);
    if (!dataOffset) return {};
    std::vector<uint8_t> block(data->second);
    if (!file.bytes(*dataOffset, block.data(), block.size())) return {};
    return block;
}

}  // namespace

std::vector<uint8_t> ReadVersionBlock(const std::string& path) {
    FileReader file(path);
    if (!file.ok()) return {};
    return ReadBlock(file);
}

std::vector<uint8_t> ReadVersionBlockFromMemory(const uint8_t* data, size_t size) {
    if (data == nullptr) return {};
    MemoryReader image(data, size);
    return ReadBlock(image);
}

}  // namespace dex
