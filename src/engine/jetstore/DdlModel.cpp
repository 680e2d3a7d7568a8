#include "DdlModel.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "DbEngine.h"
#include "SqlTokenizer.h"

namespace dex::jetstore {
namespace {

// The leading word of a type text, upper case: "VARCHAR(10)" -> "VARCHAR".
// The word ends where the tokenizer ends it ("COUNTER$" is not COUNTER).
std::string typeWord(const std::string& type) {
    auto wordChar = [](unsigned char ch) { return std::isalnum(ch) || ch == '_' || ch == '$' || ch >= 0x80; };
    size_t end = 0;
    while (end < type.size() && wordChar(static_cast<unsigned char>(type[end]))) ++end;
    return upperText(type.substr(0, end));
}

// The first number inside the parentheses of a type text, or -1.
int typeLength(const std::string& type) {
    size_t open = type.find('(');
    if (open == std::string::npos) return -1;
    return std::atoi(type.c_str() + open + 1);
}

std::string joinQuoted(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + quoteIdent(n);
    return out;
}

std::string annotation(const TableModel& t, const ColumnDef& c) {
    std::string parts;
    bool rowid = rowidAutoNumber(t) == &c;
    if (isAutoNumber(c)) parts += "type=" + c.type + ";";
    if (c.notNull && (c.storedNullable || (isAutoNumber(c) && !rowid))) parts += "required=1;";
    // An autonumber column is rendered without SQLite's DEFAULT: its default
    // text is kept aside like one SQLite cannot evaluate.
    if (c.defaultText && (c.defaultKeptAside || isAutoNumber(c)))
        parts += "dflt=" + escapeAnnotation(*c.defaultText) + ";";
    else if (c.defaultText && !defaultExpression(*c.defaultText).empty()) parts += "default=" + *c.defaultText + ";";
    if (c.allowZeroLength) parts += std::string("azl=") + (*c.allowZeroLength ? "1" : "0") + ";";
    return parts.empty() ? "" : " /*jet:" + parts + "*/";
}

}  // namespace

const ColumnDef* TableModel::findColumn(const std::string& n) const {
    for (const auto& c : columns)
        if (equalsNoCase(c.name, n)) return &c;
    return nullptr;
}

ColumnDef* TableModel::findColumn(const std::string& n) {
    return const_cast<ColumnDef*>(static_cast<const TableModel*>(this)->findColumn(n));
}

const ForeignKeyDef* TableModel::findForeignKey(const std::string& n) const {
    for (const auto& f : foreignKeys)
        if (!f.name.empty() && equalsNoCase(f.name, n)) return &f;
    return nullptr;
}

bool isAutoNumber(const ColumnDef& c) {
    auto w = typeWord(c.type);
    return w == "AUTOINCREMENT" || w == "COUNTER";
}

const ColumnDef* rowidAutoNumber(const TableModel& t) {
    if (t.primaryKey.size() != 1) return nullptr;
    const ColumnDef* c = t.findColumn(t.primaryKey[0]);
    return c && isAutoNumber(*c) ? c : nullptr;
}

std::vector<const ColumnDef*> triggerAutoNumbers(const TableModel& t) {
    std::vector<const ColumnDef*> out;
    const ColumnDef* rowid = rowidAutoNumber(t);
    for (const auto& c : t.columns)
        if (isAutoNumber(c) && &c != rowid) out.push_back(&c);
    return out;
}

std::string defaultExpression(const std::string& text) {
    std::string u = upperText(text);
    u.erase(std::remove_if(u.begin(), u.end(), [](unsigned char ch) { return std::isspace(ch); }), u.end());
    if (u == "NOW()") return "(datetime('now','localtime'))";
    if (u == "DATE()") return "(date('now','localtime'))";
    if (u == "TIME()") return "(time('now','localtime'))";
    return {};
}

bool hasExpressionDefault(const ColumnDef& c) {
    return c.defaultText && !defaultExpression(*c.defaultText).empty();
}

bool defaultIsPlainLiteral(const std::string& text) {
    std::vector<Token> tokens;
    try {
        tokens = tokenize(text);
    } catch (const DbError&) {
        return false;
    }
    std::vector<Token> sig;
    for (const auto& t : tokens) {
        if (t.kind == TokKind::Comment) return false;
        if (isSignificant(t)) sig.push_back(t);
    }
    size_t i = 0;
    if (!sig.empty() && (isPunct(sig[0], "-") || isPunct(sig[0], "+"))) ++i;
    if (i + 1 != sig.size()) return false;
    const Token& v = sig[i];
    if (v.kind == TokKind::Number) return true;
    if (i > 0) return false;
    if (v.kind == TokKind::SqString || v.kind == TokKind::DqString) return true;
    for (auto kw : {"NULL", "TRUE", "FALSE", "YES", "NO", "ON", "OFF"})
        if (isWord(v, kw)) return true;
    return false;
}

std::string escapeAnnotation(const std::string& value) {
    std::string out;
    for (char ch : value) {
        switch (ch) {
            case '%': out += "%25"; break;
            case ';': out += "%3B"; break;
            case '*': out += "%2A"; break;
            case '/': out += "%2F"; break;
            default: out += ch;
        }
    }
    return out;
}

std::string unescapeAnnotation(const std::string& value) {
    static const std::pair<const char*, char> codes[] = {{"25", '%'}, {"3B", ';'}, {"2A", '*'}, {"2F", '/'}};
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        bool decoded = false;
        if (value[i] == '%' && i + 3 <= value.size())
            for (const auto& [code, ch] : codes)
                if (value.compare(i + 1, 2, code) == 0) {
                    out += ch;
                    i += 2;
                    decoded = true;
                    break;
                }
        if (!decoded) out += value[i];
    }
    return out;
}

namespace {
std::string keyConstraint(const TableModel& t) {
    return t.primaryKeyName.empty() ? std::string() : "CONSTRAINT " + quoteIdent(t.primaryKeyName) + " ";
}
}  // namespace

std::string renderColumn(const TableModel& t, const ColumnDef& c) {
    std::string out = quoteIdent(c.name) + annotation(t, c);
    if (isAutoNumber(c)) {
        out += " INTEGER";
        if (rowidAutoNumber(t) == &c)
            out += std::string(c.notNull ? " NOT NULL " : " ") + keyConstraint(t) + "PRIMARY KEY AUTOINCREMENT";
        return out;
    }
    if (!c.type.empty()) out += " " + c.type;
    if (c.primaryKey && t.primaryKey.size() == 1) out += " " + keyConstraint(t) + "PRIMARY KEY";
    if (c.unique) out += " UNIQUE";
    if (c.notNull && !c.storedNullable) out += " NOT NULL";
    if (c.defaultText && !c.defaultKeptAside) {
        std::string expr = defaultExpression(*c.defaultText);
        out += " DEFAULT " + (expr.empty() ? *c.defaultText : expr);
    }
    return out;
}

std::string renderCreateTable(const TableModel& t, const std::string& asName) {
    std::string out = "CREATE TABLE " + quoteIdent(asName) + " (";
    std::string sep;
    bool inlineKey = false;
    for (const auto& c : t.columns) {
        out += sep + renderColumn(t, c);
        inlineKey = inlineKey || (c.primaryKey && t.primaryKey.size() == 1) || rowidAutoNumber(t) == &c;
        sep = ", ";
    }
    if (!t.primaryKey.empty() && !inlineKey) out += ", " + keyConstraint(t) + "PRIMARY KEY (" + joinQuoted(t.primaryKey) + ")";
    for (const auto& u : t.uniques) out += ", UNIQUE (" + joinQuoted(u) + ")";
    for (const auto& f : t.foreignKeys) {
        out += ", ";
        if (!f.name.empty()) out += "CONSTRAINT " + quoteIdent(f.name) + " ";
        out += "FOREIGN KEY (" + joinQuoted(f.columns) + ") REFERENCES " + quoteIdent(f.refTable);
        if (!f.refColumns.empty()) out += " (" + joinQuoted(f.refColumns) + ")";
        out += f.actions;
    }
    return out + ")";
}

std::string autoNumberTriggerName(const std::string& table, const std::string& column) {
    return "jet_autonumber_" + table + "_" + column;
}

std::vector<std::string> renderAutoNumberTriggers(const TableModel& t) {
    std::vector<std::string> out;
    for (const ColumnDef* c : triggerAutoNumbers(t)) {
        std::string tb = quoteIdent(t.name), col = quoteIdent(c->name);
        out.push_back("CREATE TRIGGER " + quoteIdent(autoNumberTriggerName(t.name, c->name)) +
                      " AFTER INSERT ON " + tb + " FOR EACH ROW WHEN NEW." + col +
                      " IS NULL BEGIN UPDATE " + tb + " SET " + col + " = (SELECT IFNULL(MAX(" + col +
                      "), 0) + 1 FROM " + tb + ") WHERE rowid = NEW.rowid; END");
    }
    return out;
}

char storedAffinity(const TableModel& t, const ColumnDef& c) {
    if (isAutoNumber(c)) return 'I';
    (void)t;
    std::string u = upperText(c.type);
    if (u.find("INT") != std::string::npos) return 'I';
    if (u.find("CHAR") != std::string::npos || u.find("CLOB") != std::string::npos ||
        u.find("TEXT") != std::string::npos)
        return 'T';
    if (u.empty() || u.find("BLOB") != std::string::npos) return 'B';
    if (u.find("REAL") != std::string::npos || u.find("FLOA") != std::string::npos ||
        u.find("DOUB") != std::string::npos)
        return 'R';
    return 'N';
}

DaoType daoTypeOf(const std::string& type) {
    using namespace daotype;
    const std::string w = typeWord(type);
    const int len = typeLength(type);
    auto is = [&](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&](const char* x) { return w == x; });
    };
    if (is({"VARCHAR", "CHAR", "NVARCHAR", "NCHAR", "CHARACTER", "STRING", "VARCHAR2"}))
        return {Text, len > 0 ? len : 255};
    if (is({"TEXT", "NTEXT"})) return len > 0 ? DaoType{Text, len} : DaoType{Memo, 0};
    if (is({"MEMO", "LONGTEXT", "LONGCHAR", "NOTE", "CLOB"})) return {Memo, 0};
    if (is({"LONG", "INT", "INTEGER", "AUTOINCREMENT", "COUNTER", "INTEGER4", "IDENTITY"})) return {Long, 4};
    if (is({"SMALLINT", "SHORT", "INTEGER2"})) return {Integer, 2};
    if (is({"TINYINT", "BYTE", "INTEGER1"})) return {Byte, 1};
    if (is({"DOUBLE", "FLOAT", "FLOAT8", "NUMBER"})) return {Double, 8};
    if (is({"REAL", "SINGLE", "FLOAT4", "IEEESINGLE"})) return {Single, 4};
    if (is({"DATE", "DATETIME", "TIME", "TIMESTAMP"})) return {Date, 8};
    if (is({"BIT", "YESNO", "BOOLEAN", "LOGICAL", "LOGICAL1"})) return {Boolean, 1};
    if (is({"CURRENCY", "MONEY"})) return {Currency, 8};
    if (is({"BINARY", "VARBINARY"})) return {9, len > 0 ? len : 255};
    if (is({"LONGBINARY", "OLEOBJECT", "IMAGE", "GENERAL", "BLOB"})) return {11, 0};
    if (is({"GUID", "UNIQUEIDENTIFIER"})) return {15, 16};
    if (is({"DECIMAL", "NUMERIC", "DEC"})) return {20, 16};
    return {Memo, 0};
}

}  // namespace dex::jetstore
