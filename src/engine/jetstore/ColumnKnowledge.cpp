#include "ColumnKnowledge.h"

namespace dex::jetstore {
namespace {

// UPDATE name SET name = literal [WHERE name IS NULL]
struct UpdateShape {
    std::string table, column;
    Literal value;
    bool whereIsNull = false;
};

std::optional<UpdateShape> updateShape(const std::vector<Token>& s) {
    if (s.size() < 6 || !isWord(s[0], "UPDATE") || !isName(s[1]) || !isWord(s[2], "SET") || !isName(s[3]) ||
        !isPunct(s[4], "="))
        return std::nullopt;
    size_t end = s.size();
    bool whereIsNull = false;
    if (end >= 10 && isWord(s[end - 4], "WHERE") && isName(s[end - 3]) && isWord(s[end - 2], "IS") &&
        isWord(s[end - 1], "NULL")) {
        if (!equalsNoCase(identValue(s[end - 3]), identValue(s[3]))) return std::nullopt;
        whereIsNull = true;
        end -= 4;
    }
    auto value = literalOf(s, 5, end);
    if (!value) return std::nullopt;
    return UpdateShape{identValue(s[1]), identValue(s[3]), *value, whereIsNull};
}

}  // namespace

std::optional<Literal> literalOf(const std::vector<Token>& s, size_t i, size_t end) {
    if (end == i + 1 && s[i].kind == TokKind::Number) return Literal{Literal::Number, s[i].text};
    if (end == i + 2 && isPunct(s[i], "-") && s[i + 1].kind == TokKind::Number)
        return Literal{Literal::Number, "-" + s[i + 1].text};
    if (end == i + 1 && (s[i].kind == TokKind::SqString || s[i].kind == TokKind::DqString))
        return Literal{Literal::String, stringValue(s[i])};
    return std::nullopt;
}

int64_t ColumnKnowledge::dataVersion() {
    auto st = catalog_.statements().use("PRAGMA data_version");
    return st->step() ? st->columnInt(0) : 0;
}

// Another connection's commit may have written any row.
bool ColumnKnowledge::stillValid() {
    if (tables_.empty()) return false;
    if (dataVersion() == dataVersion_) return true;
    clear();
    return false;
}

void ColumnKnowledge::columnAdded(const std::string& table, const std::string& column,
                                  const std::optional<std::string>& defaultText) {
    if (!tables_.empty() && !stillValid()) clear();
    if (tables_.empty()) dataVersion_ = dataVersion();
    TableFacts& facts = tables_[upperText(table)];
    std::optional<Literal> value;
    if (defaultText) {
        std::vector<Token> sig;
        for (auto& t : tokenize(*defaultText))
            if (isSignificant(t)) sig.push_back(std::move(t));
        value = literalOf(sig, 0, sig.size());
    }
    if (value)
        facts.uniform[upperText(column)] = *value;
    else
        facts.uniform.erase(upperText(column));
}

int64_t ColumnKnowledge::rowCount(const std::string& table, TableFacts& facts) {
    if (!facts.rows) facts.rows = queryInt(db_, "SELECT COUNT(*) FROM " + quoteIdent(table));
    return *facts.rows;
}

std::optional<int64_t> ColumnKnowledge::answerUpdate(const std::vector<Token>& significant) {
    if (tables_.empty()) return std::nullopt;
    auto shape = updateShape(significant);
    if (!shape) return std::nullopt;
    auto facts = tables_.find(upperText(shape->table));
    if (facts == tables_.end() || !stillValid()) return std::nullopt;
    auto known = facts->second.uniform.find(upperText(shape->column));
    if (known == facts->second.uniform.end()) return std::nullopt;
    // A trigger of the table's own would run for every updated row.
    if (catalog_.hasOwnTriggers(shape->table)) return std::nullopt;
    if (shape->whereIsNull) return 0;  // the column holds its default, never Null
    if (!(known->second == shape->value)) return std::nullopt;
    return rowCount(shape->table, facts->second);
}

}  // namespace dex::jetstore
