#pragma once
// dexmira version-info FILE: the thirteen items of a file's version
// information, one "Name: value" line each.
#include <ostream>
#include <string>
#include <vector>

namespace dex {

// `args` are the words after "version-info": exactly one file path.
// Returns 0 when the items were printed, 2 otherwise (usage, a file that
// cannot be found or carries no version information); every message goes to
// `err` as one line.
int runVersionInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dex
