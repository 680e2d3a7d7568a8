#pragma once
// Jet SQL to SQLite by token rewriting: "x" literals become 'x', & becomes ||,
// DELETE * FROM becomes DELETE FROM, LEFT( and RIGHT( call the store's own
// functions (both are SQLite keywords). Everything else passes unchanged.
#include <string>
#include <string_view>
#include <vector>

#include "SqlTokenizer.h"

namespace dex::jetstore {

enum class StatementKind { CreateTable, AlterTable, CreateIndex, DropTable, DropIndex, Other };

StatementKind classify(const std::vector<Token>& tokens);
std::string rewriteJetSql(const std::vector<Token>& tokens);
inline std::string rewriteJetSql(std::string_view sql) { return rewriteJetSql(tokenize(sql)); }

}  // namespace dex::jetstore
