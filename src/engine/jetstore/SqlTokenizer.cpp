#include "SqlTokenizer.h"

#include <cctype>

#include "StoreErrors.h"

namespace dex::jetstore {
namespace {

bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool isNameChar(unsigned char c) { return isNameStart(c) || std::isdigit(c) || c == '$'; }

// End of a quoted run starting at i (the opening quote); doubled closers stay inside.
size_t quotedEnd(std::string_view s, size_t i, char close) {
    for (size_t j = i + 1; j < s.size(); ++j) {
        if (s[j] != close) continue;
        if (close != ']' && j + 1 < s.size() && s[j + 1] == close) {
            ++j;
            continue;
        }
        return j + 1;
    }
    throw syntaxError("Syntax error in string in query expression '" + std::string(s.substr(i)) + "'.");
}

size_t numberEnd(std::string_view s, size_t i) {
    size_t j = i;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    }
    if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
            j = k;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
    }
    return j;
}

size_t punctEnd(std::string_view s, size_t i) {
    static constexpr std::string_view twoChar[] = {"<=", ">=", "<>", "!=", "==", "||", "<<", ">>"};
    for (auto p : twoChar)
        if (s.substr(i, 2) == p) return i + 2;
    return i + 1;
}

// Returns the kind and end offset of the token that starts at i.
std::pair<TokKind, size_t> scanOne(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
        size_t j = i;
        while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
        return {TokKind::Space, j};
    }
    if (s.substr(i, 2) == "--") {
        size_t j = s.find('\n', i);
        return {TokKind::Comment, j == std::string_view::npos ? s.size() : j};
    }
    if (s.substr(i, 2) == "/*") {
        size_t j = s.find("*/", i + 2);
        if (j == std::string_view::npos) throw syntaxError("Syntax error: unterminated comment.");
        return {TokKind::Comment, j + 2};
    }
    if (isNameStart(c)) {
        size_t j = i;
        while (j < s.size() && isNameChar(static_cast<unsigned char>(s[j]))) ++j;
        return {TokKind::Word, j};
    }
    if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))))
        return {TokKind::Number, numberEnd(s, i)};
    switch (c) {
        case '`': return {TokKind::Quoted, quotedEnd(s, i, '`')};
        case '[': return {TokKind::Quoted, quotedEnd(s, i, ']')};
        case '"': return {TokKind::DqString, quotedEnd(s, i, '"')};
        case '\'': return {TokKind::SqString, quotedEnd(s, i, '\'')};
        default: return {TokKind::Punct, punctEnd(s, i)};
    }
}

std::string unquote(std::string_view text, char close) {
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        out += text[i];
        if (text[i] == close && close != ']' && i + 2 < text.size() && text[i + 1] == close) ++i;
    }
    return out;
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    out.reserve(sql.size() / 3 + 1);  // about the tokens a statement has, so the list grows once or never
    size_t i = 0;
    while (i < sql.size()) {
        auto [kind, end] = scanOne(sql, i);
        out.push_back(Token{kind, std::string(sql.substr(i, end - i)), i});
        i = end;
    }
    return out;
}

bool isSignificant(const Token& t) { return t.kind != TokKind::Space && t.kind != TokKind::Comment; }

bool isWord(const Token& t, std::string_view kw) { return t.kind == TokKind::Word && equalsNoCase(t.text, kw); }
bool isPunct(const Token& t, std::string_view p) { return t.kind == TokKind::Punct && t.text == p; }
bool isName(const Token& t) { return t.kind == TokKind::Word || t.kind == TokKind::Quoted; }

std::string identValue(const Token& t) {
    switch (t.kind) {
        case TokKind::Quoted: return unquote(t.text, t.text[0] == '[' ? ']' : '`');
        case TokKind::DqString: return unquote(t.text, '"');
        default: return t.text;
    }
}

std::string stringValue(const Token& t) { return unquote(t.text, t.text[0]); }

std::string sqlString(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::string quoteIdent(std::string_view name) {
    std::string out = "`";
    for (char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    return out + "`";
}

}  // namespace dex::jetstore
