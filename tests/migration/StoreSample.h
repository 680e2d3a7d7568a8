#pragma once
// Builds sample stores for the tests from the SQL scripts in samples/: one
// statement per line, "--" lines are comments.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DbEngine.h"
#include "JetStore.h"
#include "modDBsub.h"

namespace dex::test {

inline std::vector<std::string> ReadScript(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> statements;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (line.rfind("--", 0) == 0) continue;
        statements.push_back(line);
    }
    return statements;
}

inline std::filesystem::path VardoBaseScript() {
    return std::filesystem::path(DEX_SAMPLES_DIR) / "vardoII" / "base.sql";
}

// samples/CODE/base.sql: the base schema of the product with that code.
inline std::filesystem::path BaseScript(const std::string& productCode) {
    return std::filesystem::path(DEX_SAMPLES_DIR) / productCode / "base.sql";
}

// A new store at `path` with the product password, filled by the script and
// then by the extra statements.
inline void BuildStore(DbEngine& engine, const std::filesystem::path& path, const std::vector<std::string>& script,
                       const std::vector<std::string>& extra = {}) {
    std::filesystem::remove(path);
    createStore(path.string(), "kt5316");
    auto conn = engine.openConnection(modDBsub::ConnectionString(path.string(), "kt5316"));
    for (const auto& s : script) conn->execute(s);
    for (const auto& s : extra) conn->execute(s);
}

}  // namespace dex::test
