#pragma once
// The headless commands of the dexmira executable.
#include <ostream>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "DbEngine.h"

namespace dex::cli {

// Runs "dexmira COMMAND ..."; returns the exit status. known is set to
// false when COMMAND is not a command (the caller then opens the window).
int run(DbEngine& engine, const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool& known);

int runCompare(DbEngine& engine, Args args, std::ostream& out, std::ostream& err);
int runStructure(DbEngine& engine, Args args, std::ostream& out, std::ostream& err);
int runCreate(Args args, std::ostream& err);
int runCompact(DbEngine& engine, Args args, std::ostream& err);
int runExec(DbEngine& engine, Args args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace dex::cli
