#include "FileKind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dex {

namespace {

constexpr size_t kHeaderBytes = 100;  // an SQLite header; a Jet header's text ends at 19

// SQLite's header: the page size (big-endian at 16; 1 stands for 65536) is a
// power of two from 512 to 65536, and the three payload fractions at 21..23
// are always 64, 32, 32.
bool soundStoreHeader(const unsigned char* head, size_t got) {
    if (got < kHeaderBytes || std::memcmp(head, "SQLite format 3\0", 16) != 0) return false;
    const unsigned pageSize = (static_cast<unsigned>(head[16]) << 8) | head[17];
    const bool sizeOk = pageSize == 1 || (pageSize >= 512 && pageSize <= 32768 && (pageSize & (pageSize - 1)) == 0);
    return sizeOk && head[21] == 64 && head[22] == 32 && head[23] == 32;
}

bool jetHeader(const unsigned char* head, size_t got) {
    return got >= 19 &&
           (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0);
}

}  // namespace

FileKind detectFileKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileKind::Unreadable;
    // Non-blocking: should a fifo take the file's place after the check,
    // opening it does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FileKind::Unreadable;
    unsigned char head[kHeaderBytes] = {};
    size_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < sizeof head) {
            const ssize_t n = ::pread(fd, head + got, sizeof head - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
    } else {
        ::close(fd);
        return FileKind::Unreadable;
    }
    ::close(fd);
    if (soundStoreHeader(head, got)) return FileKind::Store;
    if (jetHeader(head, got)) return FileKind::Jet;
    return FileKind::Other;
}

namespace {

// The kind, and for an unreachable path the errno of the call that failed.
struct Probe {
    PathKind kind;
    int error = 0;
};

Probe probe(const std::string& path) {
    struct stat st {};
    if (path.empty()) return {PathKind::Missing};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Probe{PathKind::Missing} : Probe{PathKind::Unreachable, errno};
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) {
        if (errno == ELOOP) return {PathKind::LinkLoop};
        return errno == ENOENT || errno == ENOTDIR ? Probe{PathKind::DanglingLink} : Probe{PathKind::Unreachable, errno};
    }
    if (S_ISREG(st.st_mode)) return {PathKind::File};
    if (S_ISDIR(st.st_mode)) return {PathKind::Folder};
    if (S_ISFIFO(st.st_mode)) return {PathKind::Fifo};
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return {PathKind::Device};
    return {PathKind::Socket};
}

}  // namespace

PathKind pathKindOf(const std::string& path) { return probe(path).kind; }

std::string notAFileText(const std::string& path, const std::string& wanted) {
    const std::string named = "'" + path + "'";
    const Probe p = probe(path);
    switch (p.kind) {
        case PathKind::Missing:
        case PathKind::File: return {};
        case PathKind::Folder: return named + " is a folder, not a database file.";
        case PathKind::Fifo: return named + " is a fifo (a named pipe), not a database file.";
        case PathKind::Device: return named + " is a device, not a database file.";
        case PathKind::Socket: return named + " is a socket, not a database file.";
        case PathKind::LinkLoop:
            return named + " is a symbolic link that leads round in a loop (or through too many links), to no file.";
        case PathKind::DanglingLink: {
            char target[4096];
            const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
            const std::string to = n > 0 ? "'" + std::string(target, static_cast<size_t>(n)) + "'" : "a file";
            return named + " is a dangling symbolic link: it leads to " + to + ", which does not exist.";
        }
        case PathKind::Unreachable: break;
    }
    return named + " cannot be reached (" + std::strerror(p.error) + ").";
}

}  // namespace dex
