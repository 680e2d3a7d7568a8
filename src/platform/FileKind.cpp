#include "FileKind.h"

#include <cstring>
#include <fstream>

namespace dex {

FileKind detectFileKind(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileKind::Unreadable;
    char head[32] = {};
    in.read(head, sizeof head);
    const auto got = static_cast<size_t>(in.gcount());
    if (got >= 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0) return FileKind::Store;
    if (got >= 19 && (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 ||
                      std::memcmp(head + 4, "Standard ACE DB", 15) == 0))
        return FileKind::Jet;
    return FileKind::Other;
}

}  // namespace dex
