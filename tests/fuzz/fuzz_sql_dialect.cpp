// Fuzz target for the store's Jet SQL front end: the tokenizer, the dialect
// rewriting and statement classification, and the DDL parsers with the
// render-and-reparse round trip the store relies on (a table's model is
// rendered to the CREATE TABLE text the file keeps, and every later look-up
// parses that text back into the model).
//
// Input: the statement text. What must hold for any input:
//   - tokenize either throws DbError or returns tokens that cover the input
//     exactly, in order; the rewritten text tokenizes again;
//   - every parser either throws DbError or returns a statement (any other
//     exception ends the program, which the fuzzer reports);
//   - a CREATE TABLE that parses as Jet input, with the checks the store
//     makes before it writes the table, renders to a text that parses back
//     (as a stored text, annotations honoured) into the same model; so does
//     a stored text that parses, and a table made of a column added by
//     ALTER TABLE.
// A broken rule prints both sides and aborts.
//
// The real fuzzer: see fuzz_jet_tabledef.cpp (target fuzz_sql_dialect, seeds
// in tests/fuzz/corpus/sql_dialect, dictionary tests/fuzz/sql_dialect.dict).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DbError.h"
#include "DdlModel.h"
#include "DdlParser.h"
#include "JetDialect.h"
#include "SqlTokenizer.h"

namespace {

using namespace dex::jetstore;

[[noreturn]] void finding(const std::string& what, std::string_view input, const std::string& detail) {
    std::fprintf(stderr, "fuzz_sql_dialect: %s\n  input: %.*s\n  %s\n", what.c_str(),
                 static_cast<int>(input.size()), input.data(), detail.c_str());
    std::abort();
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += "[" + n + "]";
    return out;
}

std::string describeColumn(const ColumnDef& c) {
    return "name=[" + c.name + "] type=[" + c.type + "] default=" +
           (c.defaultText ? "[" + *c.defaultText + "]" : std::string("none")) +
           " notNull=" + (c.notNull ? "1" : "0");
}

std::string describeForeignKey(const ForeignKeyDef& f) {
    return "name=[" + f.name + "] columns=" + joinNames(f.columns) + " ref=[" + f.refTable + "]" +
           joinNames(f.refColumns) + " actions=[" + f.actions + "]";
}

// The first difference that matters between a model and its re-read, or "".
std::string difference(const TableModel& a, const TableModel& b) {
    if (a.name != b.name) return "table name [" + a.name + "] / [" + b.name + "]";
    if (a.columns.size() != b.columns.size())
        return "column count " + std::to_string(a.columns.size()) + " / " + std::to_string(b.columns.size());
    for (size_t i = 0; i < a.columns.size(); ++i) {
        const ColumnDef& x = a.columns[i];
        const ColumnDef& y = b.columns[i];
        if (x.name != y.name || x.type != y.type || x.defaultText != y.defaultText || x.notNull != y.notNull)
            return "column " + std::to_string(i) + ": " + describeColumn(x) + " / " + describeColumn(y);
    }
    if (a.primaryKey != b.primaryKey)
        return "primary key " + joinNames(a.primaryKey) + " / " + joinNames(b.primaryKey);
    if (a.primaryKeyName != b.primaryKeyName)
        return "primary key name [" + a.primaryKeyName + "] / [" + b.primaryKeyName + "]";
    if (a.uniques != b.uniques) return "unique constraints differ";
    if (a.foreignKeys.size() != b.foreignKeys.size()) return "foreign key count differs";
    for (size_t i = 0; i < a.foreignKeys.size(); ++i) {
        const ForeignKeyDef& x = a.foreignKeys[i];
        const ForeignKeyDef& y = b.foreignKeys[i];
        if (x.name != y.name || x.columns != y.columns || x.refTable != y.refTable ||
            x.refColumns != y.refColumns || x.actions != y.actions)
            return "foreign key " + std::to_string(i) + ": " + describeForeignKey(x) + " / " + describeForeignKey(y);
    }
    return {};
}

// What the store does with a Jet CREATE TABLE before it renders it: key
// columns take their declared spelling; a key naming no column is refused.
bool prepareLikeTheStore(TableModel& t) {
    for (auto& key : t.primaryKey) {
        const ColumnDef* c = t.findColumn(key);
        if (!c) return false;
        key = c->name;
    }
    return true;
}

// The facts the structure reader and the statement runner derive from a model.
void deriveFacts(const TableModel& t) {
    size_t sink = 0;
    for (const auto& c : t.columns) {
        sink += static_cast<size_t>(daoTypeOf(c.type).code) + static_cast<size_t>(storedAffinity(t, c));
        if (c.defaultText) sink += defaultIsPlainLiteral(*c.defaultText) + defaultExpression(*c.defaultText).size();
        sink += hasExpressionDefault(c);
    }
    for (const auto& trigger : renderAutoNumberTriggers(t)) sink += trigger.size();
    volatile size_t seen = sink;
    (void)seen;
}

void roundTrip(const TableModel& model, std::string_view input) {
    deriveFacts(model);
    const std::string text = renderCreateTable(model, model.name);
    std::optional<TableModel> back;
    try {
        back = parseCreateTable(tokenize(text), false);
    } catch (const dex::DbError& e) {
        finding("a rendered table does not parse back", input, "rendered: " + text + "\n  error: " + e.description());
    }
    const std::string diff = difference(model, *back);
    if (!diff.empty()) finding("a rendered table parses back into another model", input, "rendered: " + text + "\n  " + diff);
    // The re-read renders to the same text again (the file's text is stable).
    const std::string again = renderCreateTable(*back, back->name);
    if (again != text) finding("a re-read table renders differently", input, "first: " + text + "\n  again: " + again);
}

void checkTokens(const std::vector<Token>& tokens, std::string_view input) {
    size_t pos = 0;
    for (const auto& t : tokens) {
        if (t.pos != pos || t.text.empty() || input.substr(pos, t.text.size()) != t.text)
            finding("tokens do not cover the input", input, "at offset " + std::to_string(pos));
        pos += t.text.size();
    }
    if (pos != input.size()) finding("tokens do not cover the input", input, "they end at " + std::to_string(pos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<Token> tokens;
    try {
        tokens = tokenize(input);
    } catch (const dex::DbError&) {
        return 0;
    }
    checkTokens(tokens, input);

    volatile int kind = static_cast<int>(classify(tokens));
    (void)kind;
    const std::string rewritten = rewriteJetSql(tokens);
    try {
        tokenize(rewritten);
    } catch (const dex::DbError&) {
        finding("the rewritten text does not tokenize", input, "rewritten: " + rewritten);
    }

    // A Jet statement as a connection receives it.
    try {
        TableModel t = parseCreateTable(tokens, true);
        if (prepareLikeTheStore(t)) roundTrip(t, input);
    } catch (const dex::DbError&) {
    }
    // A CREATE TABLE text as the file keeps it (a damaged or forged file holds anything).
    try {
        roundTrip(parseCreateTable(tokens, false), input);
    } catch (const dex::DbError&) {
    }
    try {
        const AlterStatement a = parseAlterTable(tokens);
        if (a.kind == AlterStatement::AddColumn || a.kind == AlterStatement::AlterColumn) {
            TableModel t;
            t.name = a.table;
            t.columns.push_back(a.column);
            if (a.column.primaryKey) t.primaryKey = {a.column.name}, t.primaryKeyName = a.column.keyName;
            roundTrip(t, input);
        }
    } catch (const dex::DbError&) {
    }
    try {
        parseCreateIndex(tokens);
    } catch (const dex::DbError&) {
    }
    try {
        parseDrop(tokens);
    } catch (const dex::DbError&) {
    }
    return 0;
}
