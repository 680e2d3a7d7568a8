#pragma once
// What one connection knows about whole columns without reading them. A
// column just added with a constant default holds that value in every row,
// so the catalogues' usual follow-up statements can be answered without
// rewriting the table:
//   UPDATE t SET c = v                   (v the default) affects every row
//   UPDATE t SET c = v WHERE c IS NULL   affects none
// Each answer is the affected-row count Jet gives, and leaves the data as
// running the statement would. The knowledge is dropped on any write the
// store does not follow itself, on any other schema change, and when another
// connection has committed to the file.
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SchemaCatalog.h"
#include "SqlTokenizer.h"

namespace dex::jetstore {

// A constant as the statement text writes it: a number's exact digits, or a
// string's value (Jet takes "x" and 'x' alike).
struct Literal {
    enum Kind { Number, String } kind = Number;
    std::string text;
    bool operator==(const Literal& o) const { return kind == o.kind && text == o.text; }
};

// The literal that tokens [i, end) form exactly (an optional minus sign and
// a number, or one string), or nullopt.
std::optional<Literal> literalOf(const std::vector<Token>& significant, size_t i, size_t end);

class ColumnKnowledge {
public:
    ColumnKnowledge(sqlite3* db, SchemaCatalog& catalog) : db_(db), catalog_(catalog) {}

    // Every existing row of table reads column as defaultText (when that is
    // a constant); the table's other knowledge stays.
    void columnAdded(const std::string& table, const std::string& column,
                     const std::optional<std::string>& defaultText);
    void clear() { tables_.clear(); }
    bool empty() const { return tables_.empty(); }

    // The affected-row count of an UPDATE (significant tokens, no trailing
    // semicolon) that the knowledge answers without writing, or nullopt when
    // the statement must run.
    std::optional<int64_t> answerUpdate(const std::vector<Token>& significant);

private:
    struct TableFacts {
        std::optional<int64_t> rows;
        std::map<std::string, Literal> uniform;  // upper-case column name
    };
    int64_t dataVersion();
    bool stillValid();
    int64_t rowCount(const std::string& table, TableFacts& facts);

    sqlite3* db_;
    SchemaCatalog& catalog_;
    std::map<std::string, TableFacts> tables_;  // upper-case table name
    int64_t dataVersion_ = 0;
};

}  // namespace dex::jetstore
