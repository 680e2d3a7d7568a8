#include "JetDialect.h"

namespace dex::jetstore {
namespace {

// Index of the next significant token after i, or tokens.size().
size_t nextSignificant(const std::vector<Token>& tokens, size_t i) {
    for (size_t j = i + 1; j < tokens.size(); ++j)
        if (isSignificant(tokens[j])) return j;
    return tokens.size();
}

bool wordAt(const std::vector<Token>& t, size_t i, std::string_view kw) { return i < t.size() && isWord(t[i], kw); }

}  // namespace

StatementKind classify(const std::vector<Token>& tokens) {
    std::vector<const Token*> head;
    for (const auto& t : tokens) {
        if (!isSignificant(t)) continue;
        head.push_back(&t);
        if (head.size() == 3) break;
    }
    auto at = [&](size_t i, std::string_view kw) { return i < head.size() && isWord(*head[i], kw); };
    if (at(0, "CREATE") && at(1, "TABLE")) return StatementKind::CreateTable;
    if (at(0, "CREATE") && (at(1, "INDEX") || (at(1, "UNIQUE") && at(2, "INDEX"))))
        return StatementKind::CreateIndex;
    if (at(0, "ALTER") && at(1, "TABLE")) return StatementKind::AlterTable;
    if (at(0, "DROP") && at(1, "TABLE")) return StatementKind::DropTable;
    if (at(0, "DROP") && at(1, "INDEX")) return StatementKind::DropIndex;
    return StatementKind::Other;
}

std::string rewriteJetSql(const std::vector<Token>& tokens) {
    std::string out;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == TokKind::DqString) {
            out += sqlString(stringValue(t));
        } else if (isPunct(t, "&")) {
            out += "||";
        } else if (isWord(t, "DELETE")) {
            out += t.text;
            size_t star = nextSignificant(tokens, i);
            if (star < tokens.size() && isPunct(tokens[star], "*") &&
                wordAt(tokens, nextSignificant(tokens, star), "FROM"))
                i = star;  // drop the blanks and the "*"; the blank before FROM stays
        } else if (isWord(t, "LEFT") || isWord(t, "RIGHT")) {
            size_t next = nextSignificant(tokens, i);
            bool call = next < tokens.size() && isPunct(tokens[next], "(");
            out += call ? "JET_" + upperText(t.text) : t.text;
        } else {
            out += t.text;
        }
    }
    return out;
}

}  // namespace dex::jetstore
