#pragma once
// The usage texts of the dexmira executable: the whole program's and one
// command's, each with an example.
#include <string>

namespace dex::cli {

// "Dexmira 1.2.8" and a line break.
std::string versionText();
// The program's usage: every command, the window's options, exit statuses.
std::string usage();
// One command's usage and example; empty when name is not a command.
std::string usageOf(const std::string& name);
bool isCommand(const std::string& name);

}  // namespace dex::cli
