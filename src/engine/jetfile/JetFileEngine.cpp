#include "JetFileEngine.h"

#include "ConnectionText.h"
#include "MaterializedRecordset.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "JetFile.h"
#include "NameText.h"

namespace dex {
namespace {

using jetfile::JetFile;
using jetfile::JetIndex;
using jetfile::JetTable;

DbError readOnlyError() { return DbError(dberr::ReadOnly, "Cannot update.  Database or object is read-only."); }
// ---------------------------------------------------------------------------
// The statements the access layer sends to a read-only file

struct Token {
    enum Kind { Word, Name, Symbol, Other } kind;
    std::string text;  // a Name without its [brackets] or `backquotes`
};

std::vector<Token> tokenize(const std::string& sql) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '[' || c == '`') {
            const char close = c == '[' ? ']' : c;
            const size_t end = sql.find(close, i + 1);
            if (end == std::string::npos) return {Token{Token::Other, sql.substr(i)}};
            out.push_back(Token{Token::Name, sql.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            size_t end = i;
            while (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_' ||
                                        static_cast<unsigned char>(sql[end]) >= 0x80))
                ++end;
            out.push_back(Token{Token::Word, sql.substr(i, end - i)});
            i = end;
        } else if (c == '*' || c == ',' || c == '(' || c == ')' || c == ';') {
            out.push_back(Token{Token::Symbol, std::string(1, c)});
            ++i;
        } else {
            out.push_back(Token{Token::Other, std::string(1, c)});
            ++i;
        }
    }
    while (!out.empty() && out.back().kind == Token::Symbol && out.back().text == ";") out.pop_back();
    return out;
}

bool isWord(const Token& t, const char* w) { return t.kind == Token::Word && upperText(t.text) == w; }
bool isSymbol(const Token& t, const char* s) { return t.kind == Token::Symbol && t.text == s; }
bool isName(const Token& t) { return t.kind == Token::Word || t.kind == Token::Name; }

// A statement that would change the file: the data or the structure.
bool wouldWrite(const std::vector<Token>& tokens) {
    if (tokens.empty()) return false;
    static const char* const writers[] = {"INSERT", "UPDATE", "DELETE", "CREATE", "ALTER", "DROP",
                                          "GRANT",  "REVOKE", "ADD",    "TRANSFORM"};
    for (const char* w : writers)
        if (isWord(tokens[0], w)) return true;
    if (!isWord(tokens[0], "SELECT")) return false;
    for (const auto& t : tokens) {
        if (isWord(t, "FROM")) return false;
        if (isWord(t, "INTO")) return true;  // SELECT ... INTO makes a table
    }
    return false;
}

struct SimpleQuery {
    enum Kind { AllColumns, Columns, Count, Max } kind = AllColumns;
    std::vector<std::string> columns;
    std::string table;
};

// SELECT * | a, b | COUNT(*) | MAX(c) FROM t — or nothing.
std::optional<SimpleQuery> parseSimpleQuery(const std::vector<Token>& t) {
    const size_t n = t.size();
    if (n < 4 || !isWord(t[0], "SELECT") || !isWord(t[n - 2], "FROM") || !isName(t[n - 1])) return std::nullopt;
    SimpleQuery q;
    q.table = t[n - 1].text;
    const size_t listEnd = n - 2;
    if (listEnd == 2 && isSymbol(t[1], "*")) return q;
    if (listEnd == 5 && isSymbol(t[2], "(") && isSymbol(t[4], ")")) {
        if (isWord(t[1], "COUNT") && isSymbol(t[3], "*")) return q.kind = SimpleQuery::Count, q;
        if (isWord(t[1], "MAX") && isName(t[3])) return q.kind = SimpleQuery::Max, q.columns = {t[3].text}, q;
        return std::nullopt;
    }
    q.kind = SimpleQuery::Columns;
    for (size_t i = 1; i < listEnd; i += 2) {
        if (!isName(t[i]) || (i + 1 < listEnd && !isSymbol(t[i + 1], ","))) return std::nullopt;
        q.columns.push_back(t[i].text);
    }
    return q.columns.empty() ? std::nullopt : std::optional<SimpleQuery>(q);
}

bool isNumberType(int type) {
    using namespace jetfile::coltype;
    return type == Bool || type == Byte || type == Int || type == Long || type == Money || type == Float ||
           type == Double;
}

double asNumber(const Value& v) {
    if (auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&v)) return *d;
    return 0;
}

// Jet's order for MAX: numbers by value, text without regard to case, the
// rest (dates as "YYYY-MM-DD HH:MM:SS", bytes) as stored.
bool valueLess(int type, const Value& a, const Value& b) {
    if (isNumberType(type)) {
        const auto* ia = std::get_if<int64_t>(&a);
        const auto* ib = std::get_if<int64_t>(&b);
        return ia && ib ? *ia < *ib : asNumber(a) < asNumber(b);
    }
    const std::string& sa = std::get<std::string>(a);
    const std::string& sb = std::get<std::string>(b);
    if (type == jetfile::coltype::Text || type == jetfile::coltype::Memo) {
        const std::string ua = upperText(sa), ub = upperText(sb);
        if (ua != ub) return ua < ub;
    }
    return sa < sb;
}

DbError unsupportedStatement(const std::string& sql) {
    return DbError(dberr::SyntaxError,
                   "A real Jet file is read here through simple queries only (SELECT *, a column list, "
                   "COUNT(*) or MAX(column) from one table); this statement is not one of them: " + sql);
}

// Runs the simple queries on one open file.
class QueryRunner {
public:
    explicit QueryRunner(JetFile& file) : file_(file) {}

    std::unique_ptr<Recordset> run(const SimpleQuery& q) {
        const JetTable& table = findTable(q.table);
        std::vector<size_t> picks;
        for (const auto& c : q.columns) picks.push_back(columnIndex(table, c));
        std::vector<std::vector<Value>> rows;
        std::vector<std::string> all, picked;
        for (const auto& c : table.columns) all.push_back(c.name);
        for (size_t p : picks) picked.push_back(table.columns[p].name);
        switch (q.kind) {
            case SimpleQuery::AllColumns:
                file_.readRows(table.name, [&](const std::vector<Value>& row) { return rows.push_back(row), true; });
                return std::make_unique<MaterializedRecordset>(std::move(all), std::move(rows));
            case SimpleQuery::Columns:
                file_.readRows(table.name, [&](const std::vector<Value>& row) {
                    std::vector<Value> out;
                    for (size_t p : picks) out.push_back(row[p]);
                    return rows.push_back(std::move(out)), true;
                });
                return std::make_unique<MaterializedRecordset>(std::move(picked), std::move(rows));
            case SimpleQuery::Count: {
                int64_t count = 0;
                file_.readRows(table.name, [&](const std::vector<Value>&) { return ++count, true; });
                rows.push_back({Value{count}});
                return std::make_unique<MaterializedRecordset>(std::vector<std::string>{"Expr1000"}, std::move(rows));
            }
            case SimpleQuery::Max: {
                const size_t p = picks.front();
                const int type = table.columns[p].type;
                Value best;
                file_.readRows(table.name, [&](const std::vector<Value>& row) {
                    if (!isNull(row[p]) && (isNull(best) || valueLess(type, best, row[p]))) best = row[p];
                    return true;
                });
                rows.push_back({best});
                return std::make_unique<MaterializedRecordset>(std::vector<std::string>{"Expr1000"}, std::move(rows));
            }
        }
        return nullptr;
    }

private:
    const JetTable& findTable(const std::string& name) const {
        for (const auto& t : file_.schema().tables)
            if (upperText(t.name) == upperText(name)) return t;
        throw DbError(dberr::MissingTable, "The database engine cannot find the input table or query '" + name +
                                               "'.  Make sure it exists and that its name is spelled correctly.");
    }

    static size_t columnIndex(const JetTable& table, const std::string& name) {
        for (size_t i = 0; i < table.columns.size(); ++i)
            if (upperText(table.columns[i].name) == upperText(name)) return i;
        throw DbError(dberr::MissingColumn, "No value given for one or more required parameters.");
    }

    JetFile& file_;
};

// ---------------------------------------------------------------------------
// DAO and ADO objects

FieldDef fieldDefOf(const jetfile::JetColumn& c) {
    FieldDef f;
    f.name = c.name;
    f.type = c.type == jetfile::coltype::Numeric       ? daotype::Decimal
             : c.type == jetfile::coltype::FixedBinary ? daotype::Binary
                                                       : c.type;
    f.size = c.size;
    f.defaultValue = c.defaultValue;
    f.required = c.required;
    f.allowZeroLength = c.allowZeroLength;
    return f;
}

IndexDef indexDefOf(const JetIndex& ix) {
    IndexDef d;
    d.name = ix.name;
    d.primary = ix.kind == JetIndex::Kind::Primary;
    d.foreign = ix.kind == JetIndex::Kind::Foreign;
    d.unique = ix.unique;
    d.fields = ix.columns;
    d.referencedTable = ix.referencedTable;
    d.referencedFields = ix.referencedColumns;
    return d;
}

class JetDatabase : public DaoDatabase {
public:
    explicit JetDatabase(std::unique_ptr<JetFile> file) : file_(std::move(file)) {}

    std::vector<TableDef> tableDefs() override {
        if (!file_) throw DbError(dberr::ObjectInvalid, "Object invalid or no longer set.");
        std::vector<TableDef> out;
        for (const JetTable& t : file_->schema().tables) {
            TableDef def;
            def.name = t.name;
            for (const auto& c : t.columns) def.fields.push_back(fieldDefOf(c));
            for (const auto& ix : t.indexes) def.indexes.push_back(indexDefOf(ix));
            out.push_back(std::move(def));
        }
        return out;
    }
    void close() override { file_.reset(); }

private:
    std::unique_ptr<JetFile> file_;
};

class JetConnection : public Connection {
public:
    explicit JetConnection(std::unique_ptr<JetFile> file) : file_(std::move(file)) {}

    int64_t execute(const std::string& sql) override {
        requireOpen();
        const auto tokens = tokenize(sql);
        if (wouldWrite(tokens)) throw readOnlyError();
        const auto q = parseSimpleQuery(tokens);
        if (!q) throw unsupportedStatement(sql);
        QueryRunner(*file_).run(*q);
        return 0;
    }

    std::unique_ptr<Recordset> query(const std::string& sql) override {
        requireOpen();
        const auto tokens = tokenize(sql);
        if (wouldWrite(tokens)) throw readOnlyError();
        const auto q = parseSimpleQuery(tokens);
        if (!q) throw unsupportedStatement(sql);
        return QueryRunner(*file_).run(*q);
    }

    void close() override { file_.reset(); }

private:
    void requireOpen() const {
        if (!file_) throw DbError(dberr::NoConnection, "Object variable or With block variable not set");
    }
    std::unique_ptr<JetFile> file_;
};

class JetFileEngine : public DbEngine {
public:
    std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int, bool, const std::string& connect) override {
        return std::make_unique<JetDatabase>(jetfile::openJetFile(path, connectionSetting(parseConnectionText(connect), "PWD")));
    }

    void compactDatabase(const std::string& source, const std::string&, const std::string&) override {
        std::error_code ec;
        if (!std::filesystem::exists(source, ec))
            throw DbError(dberr::FileNotFound, "Could not find file '" + source + "'.");
        throw DbError(dberr::ReadOnly, "Cannot compact '" + source +
                                     "': real Jet files are opened read-only by this build and cannot be compacted.");
    }

    std::unique_ptr<Connection> openConnection(const std::string& connectionString) override {
        const auto settings = parseConnectionText(connectionString);
        const std::string provider = upperText(connectionSetting(settings, "PROVIDER"));
        if (!provider.empty() && provider.rfind("MICROSOFT.JET.OLEDB", 0) != 0 &&
            provider.rfind("MICROSOFT.ACE.OLEDB", 0) != 0)
            throw DbError(3706, "Provider cannot be found. It may not be properly installed.");
        try {
            return std::make_unique<JetConnection>(jetfile::openJetFile(
                connectionSetting(settings, "DATA SOURCE"), connectionSetting(settings, "JET OLEDB:DATABASE PASSWORD")));
        } catch (const DbError& e) {
            // ADO reports a missing file with the provider's general failure number.
            if (e.number() == dberr::FileNotFound) throw DbError(dberr::ConstraintViolation, e.description());
            throw;
        }
    }
};

}  // namespace

std::unique_ptr<DbEngine> makeJetFileEngine() { return std::make_unique<JetFileEngine>(); }

}  // namespace dex
