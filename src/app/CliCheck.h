#pragma once
// dexmira check FILE [--password PW] [--json]: whether a real Jet file is
// sound (JetCheck.h), every problem on a line of its own naming the table,
// the index and the page. Exit status 0 sound, 1 problems found, 2 the file
// cannot be read at all (not a Jet file, a wrong password, damage that stops
// even the catalog).
#include <ostream>

#include "CliSupport.h"

namespace dex::cli {

int runCheck(Args args, std::ostream& out, std::ostream& err);

}  // namespace dex::cli
