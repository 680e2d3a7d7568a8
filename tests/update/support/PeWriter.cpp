#include "PeWriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace dex::test {
namespace {

constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;
constexpr uint32_t kTextRva = 0x1000;
// The resource section sits at an address different from its file offset,
// so a reader must translate addresses through the section table.
constexpr uint32_t kRsrcRva = 0x3000;

void Put16(Bytes& b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = v & 0xFF, b[at + 1] = v >> 8;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
void Put64(Bytes& b, size_t at, uint64_t v) {
    Put32(b, at, static_cast<uint32_t>(v));
    Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}
void Align(Bytes& b, size_t to) { b.resize((b.size() + to - 1) / to * to); }
void AppendU16(Bytes& b, const std::u16string& s) {
    for (char16_t c : s) Put16(b, b.size(), c);
}
std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// One node of the version tree: wLength, wValueLength, wType, key, padding,
// value, padding, children.
Bytes Node(const std::string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
           const std::vector<Bytes>& children) {
    Bytes b(6, 0);
    AppendU16(b, Wide(key) + u'\0');
    Align(b, 4);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        Align(b, 4);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put16(b, 0, static_cast<uint16_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    return b;
}

Bytes FixedFileInfo() {
    Bytes b;
    Put32(b, 0, 0xFEEF04BD);
    Put32(b, 4, 0x00010000);
    for (size_t at = 8; at < 52; at += 4) Put32(b, at, 0);
    return b;
}

}  // namespace

Bytes BuildVersionBlock(const VersionInfo& info) {
    std::vector<Bytes> strings;
    for (const auto& [key, value] : info.strings) {
        Bytes v;
        AppendU16(v, value + u'\0');
        strings.push_back(Node(key, 1, v, static_cast<uint16_t>(value.size() + 1), {}));
    }
    Bytes table = Node(info.tableKey, 1, {}, 0, strings);
    Bytes stringFileInfo = Node("StringFileInfo", 1, {}, 0, {table});
    Bytes translation;
    Put16(translation, 0, info.language);
    Put16(translation, 2, info.codePage);
    Bytes var = Node("Translation", 0, translation, 4, {});
    Bytes varFileInfo = Node("VarFileInfo", 1, {}, 0, {var});
    std::vector<Bytes> children{varFileInfo};
    if (info.withStringFileInfo) children.insert(children.begin(), stringFileInfo);
    return Node("VS_VERSION_INFO", 0, FixedFileInfo(), 52, children);
}

namespace {

struct Entry {
    uint32_t id;
    size_t childDir = 0;    // offset of a subdirectory, or
    size_t dataEntry = 0;   // offset of a data entry
};

// Writes a directory header and `count` empty entries; returns its offset.
size_t Directory(Bytes& tree, size_t count) {
    const size_t at = tree.size();
    tree.resize(at + 16 + count * 8, 0);
    Put16(tree, at + 14, static_cast<uint16_t>(count));
    return at;
}

void SetEntry(Bytes& tree, size_t dir, size_t index, uint32_t id, uint32_t target) {
    Put32(tree, dir + 16 + index * 8, id);
    Put32(tree, dir + 16 + index * 8 + 4, target);
}

template <class Key>
std::vector<uint32_t> Distinct(const std::vector<Resource>& rs, Key key) {
    std::vector<uint32_t> out;
    for (const Resource& r : rs)
        if (std::find(out.begin(), out.end(), key(r)) == out.end()) out.push_back(key(r));
    return out;
}

// The resource tree (type, name, language), then the data entries, then the
// data, as the section's bytes.
Bytes ResourceSection(const std::vector<Resource>& rs) {
    Bytes tree;
    std::vector<std::pair<size_t, const Resource*>> dataEntries;
    const auto types = Distinct(rs, [](const Resource& r) { return r.type; });
    const size_t root = Directory(tree, types.size());
    for (size_t t = 0; t < types.size(); ++t) {
        std::vector<Resource> ofType;
        for (const Resource& r : rs)
            if (r.type == types[t]) ofType.push_back(r);
        const auto names = Distinct(ofType, [](const Resource& r) { return r.name; });
        const size_t nameDir = Directory(tree, names.size());
        SetEntry(tree, root, t, types[t], 0x80000000u | static_cast<uint32_t>(nameDir));
        for (size_t n = 0; n < names.size(); ++n) {
            std::vector<const Resource*> langs;
            for (const Resource& r : rs)
                if (r.type == types[t] && r.name == names[n]) langs.push_back(&r);
            const size_t langDir = Directory(tree, langs.size());
            SetEntry(tree, nameDir, n, names[n], 0x80000000u | static_cast<uint32_t>(langDir));
            for (size_t l = 0; l < langs.size(); ++l) {
                const size_t entry = tree.size();
                tree.resize(entry + 16, 0);
                SetEntry(tree, langDir, l, langs[l]->language, static_cast<uint32_t>(entry));
                dataEntries.push_back({entry, langs[l]});
            }
        }
    }
    for (auto& [entry, r] : dataEntries) {
        Align(tree, 4);
        Put32(tree, entry, kRsrcRva + static_cast<uint32_t>(tree.size()));
        Put32(tree, entry + 4, static_cast<uint32_t>(r->data.size()));
        tree.insert(tree.end(), r->data.begin(), r->data.end());
    }
    return tree;
}

void Section(Bytes& pe, size_t at, const char* name, uint32_t rva, uint32_t size, uint32_t raw,
             uint32_t characteristics) {
    for (size_t i = 0; i < 8 && name[i]; ++i) pe[at + i] = static_cast<uint8_t>(name[i]);
    Put32(pe, at + 8, size);
    Put32(pe, at + 12, rva);
    Put32(pe, at + 16, (size + kFileAlign - 1) / kFileAlign * kFileAlign);
    Put32(pe, at + 20, raw);
    Put32(pe, at + 36, characteristics);
}

}  // namespace

Bytes BuildPe(PeKind kind, const std::vector<Resource>& resources) {
    const bool plus = kind == PeKind::Pe32Plus;
    const Bytes rsrc = resources.empty() ? Bytes{} : ResourceSection(resources);
    const size_t peAt = 0x80, optionalAt = peAt + 24;
    const uint16_t optionalSize = plus ? 240 : 224;
    const size_t sectionsAt = optionalAt + optionalSize;
    const uint16_t sectionCount = resources.empty() ? 1 : 2;

    Bytes pe(kFileAlign, 0);
    pe[0] = 'M', pe[1] = 'Z';
    Put32(pe, 0x3C, peAt);
    Put32(pe, peAt, 0x00004550);
    Put16(pe, peAt + 4, plus ? 0x8664 : 0x014C);
    Put16(pe, peAt + 6, sectionCount);
    Put16(pe, peAt + 20, optionalSize);
    Put16(pe, peAt + 22, plus ? 0x0022 : 0x0102);
    Put16(pe, optionalAt, plus ? 0x20B : 0x10B);
    if (plus) Put64(pe, optionalAt + 24, 0x140000000ull); else Put32(pe, optionalAt + 28, 0x400000);
    Put32(pe, optionalAt + 32, kSectionAlign);
    Put32(pe, optionalAt + 36, kFileAlign);
    Put32(pe, optionalAt + 56, kRsrcRva + kSectionAlign);  // SizeOfImage
    Put32(pe, optionalAt + 60, kFileAlign);                // SizeOfHeaders
    const size_t directories = optionalAt + (plus ? 112 : 96);
    Put32(pe, directories - 4, 16);  // NumberOfRvaAndSizes
    if (!resources.empty()) {
        Put32(pe, directories + 2 * 8, kRsrcRva);
        Put32(pe, directories + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
    }
    if (sectionsAt + sectionCount * 40 > pe.size()) throw std::logic_error("headers too long");

    // .text: one "ret" at the start of a file-aligned block.
    Section(pe, sectionsAt, ".text", kTextRva, 1, kFileAlign, 0x60000020);
    pe.resize(2 * kFileAlign, 0);
    pe[kFileAlign] = 0xC3;
    if (!resources.empty()) {
        Section(pe, sectionsAt + 40, ".rsrc", kRsrcRva, static_cast<uint32_t>(rsrc.size()),
                static_cast<uint32_t>(pe.size()), 0x40000040);
        pe.insert(pe.end(), rsrc.begin(), rsrc.end());
        Align(pe, kFileAlign);
    }
    return pe;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace dex::test
