#pragma once
// A fresh folder under the system's temporary folder, removed at the end.
#include <filesystem>
#include <string>

namespace dex::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
// A shell script with its executable bit set.
void WriteScript(const std::string& path, const std::string& body);

}  // namespace dex::test
