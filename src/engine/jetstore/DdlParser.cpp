#include "DdlParser.h"

#include <utility>

#include "StoreErrors.h"

namespace dex::jetstore {
namespace {

const Token& endToken() {
    static const Token end{TokKind::Space, "", 0};
    return end;
}

// A table may have one primary key; the text rendered for it holds one.
DbError primaryKeyExists() { return syntaxError("Primary key already exists."); }

bool isConstraintWord(const Token& t) {
    for (auto kw : {"NOT", "NULL", "DEFAULT", "PRIMARY", "UNIQUE", "CONSTRAINT", "REFERENCES", "CHECK",
                    "COLLATE", "AUTOINCREMENT"})
        if (isWord(t, kw)) return true;
    return false;
}

bool isTypeToken(const Token& t, bool jetInput) {
    if (t.kind != TokKind::Word) return false;
    if (jetInput && (isWord(t, "AUTOINCREMENT"))) return true;  // Jet's autonumber type word
    return !isConstraintWord(t);
}

// Skips a balanced ( ... ) group at the cursor.
void skipGroup(Cursor& cur) {
    int depth = 0;
    do {
        if (cur.atEnd()) throw syntaxError("Syntax error: missing ')'.");
        const Token& t = cur.next();
        if (isPunct(t, "(")) ++depth;
        if (isPunct(t, ")")) --depth;
    } while (depth > 0);
}

std::string parseDefault(Cursor& cur) {
    size_t from = cur.index();
    if (isPunct(cur.peek(), "(")) {
        skipGroup(cur);
        return cur.sourceSince(from);
    }
    if (isPunct(cur.peek(), "-") || isPunct(cur.peek(), "+")) cur.next();
    if (cur.atEnd()) throw fieldDefinitionError();
    const Token& v = cur.next();
    if (v.kind == TokKind::Word && isPunct(cur.peek(), "(")) skipGroup(cur);
    return cur.sourceSince(from);
}

bool isAutoNumberType(const std::string& type) {
    std::vector<Token> tokens;
    try {
        tokens = tokenize(type);
    } catch (const DbError&) {
        return false;
    }
    std::vector<Token> sig;
    for (const auto& t : tokens)
        if (isSignificant(t)) sig.push_back(t);
    if (sig.empty() || !(isWord(sig[0], "AUTOINCREMENT") || isWord(sig[0], "COUNTER"))) return false;
    if (sig.size() == 1) return true;
    // AUTOINCREMENT(seed, step)
    return sig.size() == 6 && isPunct(sig[1], "(") && sig[2].kind == TokKind::Number && isPunct(sig[3], ",") &&
           sig[4].kind == TokKind::Number && isPunct(sig[5], ")");
}

void applyAnnotations(ColumnDef& c, const std::vector<std::string>& notes) {
    for (const auto& note : notes) {
        size_t start = 0;
        while (start < note.size()) {
            size_t end = note.find(';', start);
            if (end == std::string::npos) end = note.size();
            std::string item = note.substr(start, end - start);
            size_t eq = item.find('=');
            if (eq != std::string::npos) {
                std::string key = item.substr(0, eq), value = item.substr(eq + 1);
                // Values that end up in SQL text are taken only in the forms
                // the store writes: an autonumber type word, a date default.
                if (key == "type" && isAutoNumberType(value)) c.type = value;
                if (key == "default" && !defaultExpression(value).empty()) c.defaultText = value;
                if (key == "dflt") {
                    c.defaultText = unescapeAnnotation(value);
                    c.defaultKeptAside = true;
                }
                if (key == "azl") c.allowZeroLength = value == "1";
                if (key == "required") c.notNull = c.storedNullable = value == "1";
            }
            start = end + 1;
        }
    }
}

std::string parseActions(Cursor& cur) {
    std::string out;
    while (isWord(cur.peek(), "ON")) {
        cur.next();
        std::string event = upperText(cur.next().text);
        if (event != "DELETE" && event != "UPDATE") throw syntaxError("Syntax error in CONSTRAINT clause.");
        std::string action = upperText(cur.next().text);
        if (action == "SET" || action == "NO") action += " " + upperText(cur.next().text);
        out += " ON " + event + " " + action;
    }
    return out;
}

void parseTableElement(Cursor& cur, TableModel& t, bool jetInput) {
    std::string constraintName;
    if (cur.acceptWord("CONSTRAINT")) constraintName = cur.name();
    if (cur.acceptWord("PRIMARY")) {
        cur.expectWord("KEY");
        if (!t.primaryKey.empty()) throw primaryKeyExists();
        t.primaryKey = cur.nameList();
        t.primaryKeyName = constraintName;
    } else if (cur.acceptWord("FOREIGN")) {
        cur.expectWord("KEY");
        ForeignKeyDef fk = parseForeignKeyBody(cur);
        fk.name = constraintName;
        t.foreignKeys.push_back(fk);
    } else if (cur.acceptWord("UNIQUE")) {
        t.uniques.push_back(cur.nameList());
    } else {
        if (!constraintName.empty()) throw syntaxError("Syntax error in CONSTRAINT clause.");
        ColumnDef c = parseColumn(cur, jetInput);
        if (t.findColumn(c.name))
            throw syntaxError("Field '" + c.name + "' already exists in table '" + t.name + "'.");
        if (c.primaryKey) {
            if (!t.primaryKey.empty()) throw primaryKeyExists();
            t.primaryKey = {c.name};
            t.primaryKeyName = c.keyName;
        }
        t.columns.push_back(c);
    }
}

}  // namespace

Cursor::Cursor(const std::vector<Token>& tokens, bool annotations) : all_(tokens) {
    std::vector<std::string> notes;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (annotations && t.kind == TokKind::Comment && t.text.rfind("/*jet:", 0) == 0)
            notes.push_back(t.text.substr(6, t.text.size() - 8));
        if (!isSignificant(t)) continue;
        sig_.push_back(i);
        notes_.push_back(std::move(notes));
        notes.clear();
    }
    notes_.push_back(std::move(notes));
    skip();
}

void Cursor::skip() {
    for (auto& n : notes_[pos_]) pending_.push_back(n);
    notes_[pos_].clear();
}

const Token& Cursor::peek(size_t ahead) const {
    return pos_ + ahead < sig_.size() ? all_[sig_[pos_ + ahead]] : endToken();
}

bool Cursor::atEnd() const { return pos_ >= sig_.size(); }

const Token& Cursor::next() {
    if (atEnd()) throw syntaxError("Syntax error: the statement ends too early.");
    const Token& t = all_[sig_[pos_++]];
    skip();
    return t;
}

bool Cursor::acceptWord(std::string_view kw) {
    if (!isWord(peek(), kw)) return false;
    next();
    return true;
}

void Cursor::expectWord(std::string_view kw) {
    if (!acceptWord(kw))
        throw syntaxError("Syntax error: " + std::string(kw) + " expected near '" + peek().text + "'.");
}

bool Cursor::acceptPunct(std::string_view p) {
    if (!isPunct(peek(), p)) return false;
    next();
    return true;
}

void Cursor::expectPunct(std::string_view p) {
    if (!acceptPunct(p))
        throw syntaxError("Syntax error: '" + std::string(p) + "' expected near '" + peek().text + "'.");
}

std::string Cursor::name() {
    const Token& t = peek();
    if (t.kind != TokKind::Word && t.kind != TokKind::Quoted && t.kind != TokKind::DqString)
        throw syntaxError("Syntax error: a name is expected near '" + t.text + "'.");
    next();
    return identValue(t);
}

std::vector<std::string> Cursor::nameList() {
    std::vector<std::string> out;
    expectPunct("(");
    do {
        out.push_back(name());
        if (acceptWord("ASC") || acceptWord("DESC")) {
        }
    } while (acceptPunct(","));
    expectPunct(")");
    return out;
}

std::string Cursor::sourceSince(size_t from) const {
    if (from >= pos_) return {};
    std::string out;
    // A comment becomes a blank: dropped outright, it could join its
    // neighbours into another token ("-/**/-" into a "--" comment, "/" "*"
    // into one that swallows the rest of the stored text).
    for (size_t i = sig_[from]; i <= sig_[pos_ - 1]; ++i) out += all_[i].kind == TokKind::Comment ? " " : all_[i].text;
    return out;
}

std::vector<std::string> Cursor::takeAnnotations() { return std::exchange(pending_, {}); }

void Cursor::expectEnd() {
    while (acceptPunct(";")) {
    }
    if (!atEnd()) throw syntaxError("Characters found after end of SQL statement.");
}

ColumnDef parseColumn(Cursor& cur, bool jetInput) {
    ColumnDef c;
    cur.takeAnnotations();
    c.name = cur.name();
    if (isTypeToken(cur.peek(), jetInput)) {
        size_t from = cur.index();
        cur.next();
        if (isPunct(cur.peek(), "(")) skipGroup(cur);
        c.type = cur.sourceSince(from);
    } else if (jetInput) {
        throw fieldDefinitionError();  // Jet requires a data type in a field definition
    }
    std::string pendingName;  // CONSTRAINT name of the clause that follows
    for (;;) {
        if (cur.acceptWord("NOT")) {
            cur.expectWord("NULL");
            c.notNull = true;
        } else if (cur.acceptWord("NULL")) {
            c.notNull = false;
        } else if (cur.acceptWord("DEFAULT")) {
            c.defaultText = parseDefault(cur);
        } else if (cur.acceptWord("PRIMARY")) {
            cur.expectWord("KEY");
            c.primaryKey = true;
            c.keyName = pendingName;
            cur.acceptWord("AUTOINCREMENT");
        } else if (cur.acceptWord("UNIQUE")) {
            c.unique = true;
        } else if (cur.acceptWord("CONSTRAINT")) {
            pendingName = cur.name();
        } else {
            break;
        }
    }
    applyAnnotations(c, cur.takeAnnotations());
    // The store keeps an autonumber's type word in an annotation, which takes
    // only AUTOINCREMENT / COUNTER, alone or with (seed, step): any other
    // text there could end the comment early and forge the stored text.
    if (isAutoNumber(c) && !isAutoNumberType(c.type)) throw fieldDefinitionError();
    return c;
}

ForeignKeyDef parseForeignKeyBody(Cursor& cur) {
    ForeignKeyDef fk;
    fk.columns = cur.nameList();
    cur.expectWord("REFERENCES");
    fk.refTable = cur.name();
    if (isPunct(cur.peek(), "(")) fk.refColumns = cur.nameList();
    fk.actions = parseActions(cur);
    return fk;
}

TableModel parseCreateTable(const std::vector<Token>& tokens, bool jetInput) {
    Cursor cur(tokens, !jetInput);
    cur.expectWord("CREATE");
    cur.expectWord("TABLE");
    TableModel t;
    t.name = cur.name();
    cur.expectPunct("(");
    do {
        parseTableElement(cur, t, jetInput);
    } while (cur.acceptPunct(","));
    cur.expectPunct(")");
    cur.expectEnd();
    if (t.columns.empty()) throw syntaxError("Syntax error in CREATE TABLE statement.");
    return t;
}

AlterStatement parseAlterTable(const std::vector<Token>& tokens) {
    Cursor cur(tokens);
    cur.expectWord("ALTER");
    cur.expectWord("TABLE");
    AlterStatement a;
    a.table = cur.name();
    if (cur.acceptWord("ADD")) {
        if (cur.acceptWord("CONSTRAINT")) {
            a.kind = AlterStatement::AddForeignKey;
            a.foreignKey.name = cur.name();
            if (cur.acceptWord("PRIMARY")) {
                cur.expectWord("KEY");
                a.kind = AlterStatement::AddPrimaryKey;
                a.name = a.foreignKey.name;
                a.keyColumns = cur.nameList();
                cur.expectEnd();
                return a;
            }
            cur.expectWord("FOREIGN");
            cur.expectWord("KEY");
            std::string name = a.foreignKey.name;
            a.foreignKey = parseForeignKeyBody(cur);
            a.foreignKey.name = name;
        } else {
            cur.acceptWord("COLUMN");
            a.kind = AlterStatement::AddColumn;
            a.column = parseColumn(cur, true);
        }
    } else if (cur.acceptWord("ALTER")) {
        cur.acceptWord("COLUMN");
        a.kind = AlterStatement::AlterColumn;
        a.column = parseColumn(cur, true);
    } else if (cur.acceptWord("DROP")) {
        if (cur.acceptWord("CONSTRAINT")) {
            a.kind = AlterStatement::DropConstraint;
        } else {
            cur.acceptWord("COLUMN");
            a.kind = AlterStatement::DropColumn;
        }
        a.name = cur.name();
    } else {
        throw syntaxError("Syntax error in ALTER TABLE statement.");
    }
    cur.expectEnd();
    return a;
}

CreateIndexStatement parseCreateIndex(const std::vector<Token>& tokens) {
    Cursor cur(tokens);
    CreateIndexStatement s;
    cur.expectWord("CREATE");
    s.unique = cur.acceptWord("UNIQUE");
    cur.expectWord("INDEX");
    s.name = cur.name();
    cur.expectWord("ON");
    s.table = cur.name();
    s.columns = cur.nameList();
    if (cur.acceptWord("WITH")) {
        if (cur.acceptWord("DISALLOW") || cur.acceptWord("IGNORE")) cur.expectWord("NULL");
        else throw syntaxError("Syntax error in CREATE INDEX statement.");
    }
    cur.expectEnd();
    return s;
}

DropStatement parseDrop(const std::vector<Token>& tokens) {
    Cursor cur(tokens);
    DropStatement s;
    cur.expectWord("DROP");
    if (!cur.acceptWord("TABLE")) cur.expectWord("INDEX");
    s.name = cur.name();
    if (cur.acceptWord("ON")) s.table = cur.name();
    cur.expectEnd();
    return s;
}

}  // namespace dex::jetstore
