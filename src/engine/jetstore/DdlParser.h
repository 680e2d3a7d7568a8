#pragma once
// Parsers for the DDL statements the store handles itself. They read the Jet
// statements as sent and also the SQLite text the store keeps (double-quoted
// names there are identifiers; a DEFAULT "x" is a text in both).
#include <string>
#include <vector>

#include "DdlModel.h"
#include "SqlTokenizer.h"

namespace dex::jetstore {

// Walks the significant tokens, collecting store annotations (/*jet:...*/) on the way.
class Cursor {
public:
    // annotations: collect the store's /*jet:...*/ notes, which only a text
    // the store wrote itself carries; a statement's own comments are never
    // taken as notes, so nothing the store keeps about a column can be forged.
    explicit Cursor(const std::vector<Token>& tokens, bool annotations = false);
    const Token& peek(size_t ahead = 0) const;
    bool atEnd() const;
    const Token& next();
    bool acceptWord(std::string_view kw);
    void expectWord(std::string_view kw);
    bool acceptPunct(std::string_view p);
    void expectPunct(std::string_view p);
    std::string name();  // a Word or quoted name
    std::vector<std::string> nameList();  // ( a, b, ... )
    // Source text from the start of token index 'from' to the end of the last consumed token.
    std::string sourceSince(size_t from) const;
    size_t index() const { return pos_; }
    std::vector<std::string> takeAnnotations();
    void expectEnd();  // only a trailing ";" may follow

private:
    void skip();
    const std::vector<Token>& all_;
    std::vector<size_t> sig_;  // indexes of significant tokens in all_
    std::vector<std::vector<std::string>> notes_;  // annotations seen before each significant token
    size_t pos_ = 0;
    std::vector<std::string> pending_;
};

TableModel parseCreateTable(const std::vector<Token>& tokens, bool jetInput);
// A column definition at the cursor (name, type, constraints).
ColumnDef parseColumn(Cursor& cur, bool jetInput);
ForeignKeyDef parseForeignKeyBody(Cursor& cur);  // after FOREIGN KEY

struct AlterStatement {
    enum Kind { AddColumn, AlterColumn, AddForeignKey, AddPrimaryKey, DropColumn, DropConstraint } kind = AddColumn;
    std::string table;
    ColumnDef column;  // AddColumn / AlterColumn
    ForeignKeyDef foreignKey;
    std::vector<std::string> keyColumns;  // AddPrimaryKey
    std::string name;  // AddPrimaryKey / DropColumn / DropConstraint
};
AlterStatement parseAlterTable(const std::vector<Token>& tokens);

struct CreateIndexStatement {
    std::string name, table;
    bool unique = false;
    std::vector<std::string> columns;
};
CreateIndexStatement parseCreateIndex(const std::vector<Token>& tokens);

struct DropStatement {
    std::string name, table;  // table: DROP INDEX name ON table
};
DropStatement parseDrop(const std::vector<Token>& tokens);

}  // namespace dex::jetstore
