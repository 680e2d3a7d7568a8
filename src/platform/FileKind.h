#pragma once
// What a database file is, judged by its first bytes, and what stands under
// a path that is no file at all.
#include <string>

namespace dex {

enum class FileKind { Unreadable, Store, Jet, Other };

// Store: an SQLite 3 file whose header is sound (its magic text, a page size
// SQLite can have, the three fixed payload fractions); Jet: a Jet/ACE
// (Access) file ("Standard Jet DB" or "Standard ACE DB" from byte 4 on).
// Only the first 100 bytes are read, whatever the file's
// size. Anything but a regular file (a folder, a fifo, a device) is
// Unreadable and is never opened, so that a fifo cannot block the caller.
FileKind detectFileKind(const std::string& path);

// What stands under a path, told by lstat and stat alone: nothing is opened.
enum class PathKind { Missing, File, Folder, Fifo, Device, Socket, DanglingLink, LinkLoop, Unreachable };
PathKind pathKindOf(const std::string& path);

// For a path that is there but is no regular file: one sentence naming it and
// saying what it is, e.g. "'/x/a.mdb' is a folder, not a database file."
// (wanted: what the caller wanted there); "" for a regular file and for a
// path under which nothing is found.
std::string notAFileText(const std::string& path, const std::string& wanted = "a database file");

}  // namespace dex
