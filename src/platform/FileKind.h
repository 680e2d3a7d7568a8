#pragma once
// What a database file is, judged by its first bytes.
#include <string>

namespace dex {

enum class FileKind { Unreadable, Store, Jet, Other };

// Store: an SQLite 3 file; Jet: a Jet/ACE (Access) file.
FileKind detectFileKind(const std::string& path);

}  // namespace dex
