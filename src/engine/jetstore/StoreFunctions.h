#pragma once
// The Jet functions a store connection offers to SQL: LEN, ISNUMERIC (-1/0),
// NOW (text 'YYYY-MM-DD HH:MM:SS', local time), MID, and JET_LEFT / JET_RIGHT
// (LEFT( and RIGHT( are renamed to these by the dialect rewriter).
#include <sqlite3.h>

#include <string_view>

namespace dex::jetstore {

void registerJetFunctions(sqlite3* db);
// Jet's numeric test on a text: blanks around, a sign, digits with one decimal point, an exponent.
bool looksNumeric(std::string_view text);

}  // namespace dex::jetstore
