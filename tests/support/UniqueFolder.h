#pragma once
// A new private folder under the temporary directory with a unique name
// (mkdtemp), so that two test runs on one machine never share files.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>
#include <stdexcept>
#include <string>

namespace dex::test {

inline std::filesystem::path makeUniqueFolder(const std::string& prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed for " + tmpl);
    return tmpl;
}

// A unique folder that is removed with everything in it (write permission
// given back first, for tests that take it away).
class UniqueFolder {
public:
    explicit UniqueFolder(const std::string& prefix) : path_(makeUniqueFolder(prefix)) {}
    ~UniqueFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    UniqueFolder(const UniqueFolder&) = delete;
    UniqueFolder& operator=(const UniqueFolder&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    // The names in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::filesystem::path path_;
};

}  // namespace dex::test
