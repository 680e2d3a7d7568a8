#include "FileCopy.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace dex {

int copyFileContents(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return errno;
            done += w;
        }
    }
}

OwnFolder::OwnFolder(const std::filesystem::path& pattern) {
    std::string path = pattern.string();
    if (!::mkdtemp(path.data()))
        throw std::filesystem::filesystem_error("cannot make a folder", pattern,
                                                std::error_code(errno, std::generic_category()));
    path_ = path;
}

OwnFolder::~OwnFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace dex
