#pragma once
// dexmira migrate FILE --product NAME [--trace-sql]
#include <ostream>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex {

// Opens FILE with the product password and runs the product's ChkDBpatch on
// it. NAME is a list entry ("VelmoraII") or a product code ("vardoII").
// Message boxes become lines on `err`; --trace-sql writes every statement
// handed to the engine to `out`, one per line. Exit status 0 on success, 2
// on failure. `args` are the words after "migrate".
int runMigrate(DbEngine& engine, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

}  // namespace dex
