#pragma once
// The Access-made files the Jet tests run over: every .mdb of the fixture
// folder and of the templates beside it, in name order, and the password
// each was made with.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace dex::test {

inline std::vector<std::filesystem::path> accessMadeFiles(const std::filesystem::path& fixtures) {
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::path& dir : {fixtures, fixtures.parent_path() / "templates"})
        if (std::filesystem::is_directory(dir))
            for (const auto& e : std::filesystem::directory_iterator(dir))
                if (e.path().extension() == ".mdb") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The fixture with "with-password" in its name has the password "password".
inline std::string fixturePassword(const std::filesystem::path& file) {
    return file.filename().string().find("with-password") != std::string::npos ? "password" : "";
}

}  // namespace dex::test
