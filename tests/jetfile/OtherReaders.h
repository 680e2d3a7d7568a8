#pragma once
// What the independent readers of a Jet file (mdbtools and the npm package
// mdb-reader) make of it, as text that compares line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace dex::test {

// The lines of a text, sorted: readers differ in the order they meet rows
// that Access moved to other pages (overflow rows), which a rewrite stores
// in place.
inline std::string sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

inline bool haveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// mdb-export's CSV of every user table.
inline std::string mdbExportAll(const std::string& file) {
    std::string out;
    const auto tables = runProgram("/usr/bin/mdb-tables", {"-1", file});
    std::istringstream names(tables.out);
    for (std::string t; std::getline(names, t);)
        if (!t.empty()) out += "== " + t + "\n" + sortedLines(runProgram("/usr/bin/mdb-export", {"-b", "hex", file, t}).out);
    return out;
}

// mdb-reader's dump of every table (dump.mjs in its folder), sorted.
inline std::string mdbReaderDump(const std::filesystem::path& readerDir, const std::string& file,
                                 const std::string& password) {
    const auto r = runProgram("/usr/bin/env", {"node", (readerDir / "dump.mjs").string(), file, password});
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    return sortedLines(r.out);
}

}  // namespace dex::test
