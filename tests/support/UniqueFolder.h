#pragma once
// A new private folder under the temporary directory with a unique name
// (mkdtemp), so that two test runs on one machine never share files.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace dex::test {

inline std::filesystem::path makeUniqueFolder(const std::string& prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed for " + tmpl);
    return tmpl;
}

}  // namespace dex::test
