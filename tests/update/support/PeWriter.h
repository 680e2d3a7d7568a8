#pragma once
// Builds small PE files with a version resource, for the version reader's
// tests.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dex::test {

using Bytes = std::vector<uint8_t>;

// One VS_VERSIONINFO block: a string table with the given key (language and
// code page, e.g. "041204B0") holding the entries in order, and a
// VarFileInfo with its Translation.
struct VersionInfo {
    std::string tableKey = "040904E4";
    std::vector<std::pair<std::string, std::u16string>> strings;
    uint16_t language = 0x0409, codePage = 0x04E4;
    bool withStringFileInfo = true;
};
Bytes BuildVersionBlock(const VersionInfo& info);

enum class PeKind { Pe32, Pe32Plus };

// A resource of the tree: type ID, name ID, language ID, data.
struct Resource {
    uint32_t type, name, language;
    Bytes data;
};

// A PE file with a code section and a resource section holding the given
// resources (none: no resource directory at all). Resources are grouped by
// type, name and language in the order given.
Bytes BuildPe(PeKind kind, const std::vector<Resource>& resources);

void WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace dex::test
