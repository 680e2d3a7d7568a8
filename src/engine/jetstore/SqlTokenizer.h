#pragma once
// A tokenizer for the Jet SQL dialect (and for the SQLite text the store keeps):
// every character of the input belongs to exactly one token, so joining the
// token texts gives the input back.
#include <string>
#include <string_view>
#include <vector>

#include "NameText.h"

namespace dex::jetstore {

enum class TokKind {
    Space,     // blanks and line breaks
    Comment,   // /* ... */ or -- ...
    Word,      // bare name or keyword
    Quoted,    // `name` or [name]
    DqString,  // "text" (a string in Jet, an identifier in SQLite)
    SqString,  // 'text'
    Number,
    Punct,     // operators and separators
};

struct Token {
    TokKind kind;
    std::string text;  // exactly as written
    size_t pos = 0;    // offset into the input
};

// Splits sql into tokens; throws DbError (syntax) on an unterminated quote or comment.
std::vector<Token> tokenize(std::string_view sql);

bool isSignificant(const Token& t);
// True when t is the word kw, letter case ignored.
bool isWord(const Token& t, std::string_view kw);
bool isPunct(const Token& t, std::string_view p);
// True when t can be a name: a word or a quoted name (`x`, [x]).
bool isName(const Token& t);

// The value of a name token (Word, `x`, [x] or "x"), quotes removed.
std::string identValue(const Token& t);
// The value of a quoted string token ('x' or "x"), quotes removed.
std::string stringValue(const Token& t);
// 'value' with embedded apostrophes doubled.
std::string sqlString(std::string_view value);
// `name` with embedded backquotes doubled.
std::string quoteIdent(std::string_view name);

}  // namespace dex::jetstore
