#include "StoreErrors.h"

#include "FileKind.h"

namespace dex::jetstore {
namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The object name SQLite puts after a fixed prefix ("no such table: x").
std::string after(const std::string& s, const std::string& prefix) {
    std::string rest = s.substr(prefix.size());
    if (auto dot = rest.find('.'); startsWith(prefix, "no such table") && dot != std::string::npos)
        rest = rest.substr(dot + 1);  // "main.x" -> "x"
    return rest;
}

DbError constraintError(int rc, const std::string& msg) {
    const std::string notNull = "NOT NULL constraint failed: ";
    if (startsWith(msg, notNull))
        return DbError(dberr::ConstraintViolation,
                       "Field '" + after(msg, notNull) +
                           "' cannot contain a Null value because the Required property for this "
                           "field is set to True.  Enter a value in this field.");
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY ||
        startsWith(msg, "UNIQUE constraint failed"))
        return DbError(dberr::ConstraintViolation,
                       "The changes you requested to the table were not successful because they "
                       "would create duplicate values in the index, primary key, or relationship.  "
                       "Change the data in the field or fields that contain duplicate data, remove "
                       "the index, or redefine the index to permit duplicate entries and try again.");
    if (rc == SQLITE_CONSTRAINT_FOREIGNKEY || startsWith(msg, "FOREIGN KEY constraint failed"))
        return DbError(dberr::ConstraintViolation,
                       "The record cannot be added, changed or deleted because a related record is "
                       "required or a related record would be left without its partner.");
    return DbError(dberr::ConstraintViolation, msg);
}

}  // namespace

DbError translateSqliteMessage(int rc, const std::string& msg) {
    int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return fileLocked("the database");
    if (primary == SQLITE_CONSTRAINT) return constraintError(rc, msg);
    if (rc == SQLITE_READONLY_ROLLBACK)
        return DbError(storeerr::CannotOpen, "a change to the database was left unfinished (hot journal)");
    if (primary == SQLITE_READONLY)
        return DbError(storeerr::ReadOnly, "Cannot update.  Database or object is read-only.");
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return DbError(dberr::UnrecognizedFormat, "Unrecognized database format. (" + msg + ")");
    if (startsWith(msg, "no such table: ")) return missingTable(after(msg, "no such table: "));
    if (startsWith(msg, "no such column: ")) return unknownName();
    if (startsWith(msg, "no such function: "))
        return DbError(dberr::SyntaxError,
                       "Undefined function '" + after(msg, "no such function: ") + "' in expression.");
    if (startsWith(msg, "table ") && msg.find(" already exists") != std::string::npos)
        return tableExists(msg.substr(6, msg.find(" already exists") - 6));
    if (startsWith(msg, "index ") && msg.find(" already exists") != std::string::npos)
        return indexExists(msg.substr(6, msg.find(" already exists") - 6));
    if (msg.find("datatype mismatch") != std::string::npos)
        return DbError(storeerr::TypeMismatch, "Data type mismatch in criteria expression.");
    if (primary == SQLITE_ERROR) return syntaxError("Syntax error in SQL statement (" + msg + ").");
    return DbError(dberr::ConstraintViolation, msg);
}

DbError sqliteError(sqlite3* db, int rc) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int extended = db ? sqlite3_extended_errcode(db) : rc;
    return translateSqliteMessage(extended, msg);
}

DbError missingTable(const std::string& table) {
    return DbError(dberr::MissingTable, "The database engine cannot find the input table or query '" +
                                            table +
                                            "'.  Make sure it exists and that its name is spelled "
                                            "correctly.");
}

DbError missingColumn(const std::string& table, const std::string& column) {
    return DbError(dberr::MissingColumn,
                   "Field '" + column + "' does not exist in table '" + table + "'.");
}

DbError unknownName() {
    return DbError(dberr::MissingColumn, "No value given for one or more required parameters.");
}

DbError syntaxError(const std::string& description) {
    return DbError(dberr::SyntaxError, description);
}

DbError fieldDefinitionError() { return syntaxError("Syntax error in field definition."); }

DbError tableExists(const std::string& table) {
    return syntaxError("Table '" + table + "' already exists.");
}

DbError indexExists(const std::string& name) {
    return syntaxError("Index '" + name + "' already exists.");
}

DbError constraintExists(const std::string& name) {
    return syntaxError("Constraint '" + name + "' already exists.");
}

DbError fileNotFound(int32_t number, const std::string& path) {
    // A folder, a fifo or a device found there is named as what it is.
    if (std::string what = notAFileText(path); !what.empty()) return DbError(number, what);
    return DbError(number, "Could not find file '" + path + "'.");
}

DbError unrecognizedFormat(const std::string& path) {
    return DbError(dberr::UnrecognizedFormat, "Unrecognized database format '" + path + "'.");
}

DbError realJetFile(const std::string& path) {
    return DbError(dberr::UnrecognizedFormat,
                   "Unrecognized database format '" + path +
                       "'. The file is a real Jet/Access database; this build on Linux cannot "
                       "open real Jet files, only Dexmira stores.");
}

DbError wrongPassword(const std::string& path) {
    return DbError(dberr::NotValidPassword, "Not a valid password for '" + path + "'.");
}

DbError fileLocked(const std::string& what) {
    return DbError(dberr::TableLocked, "Could not lock " + what +
                                           "; it is currently in use by another person or process.");
}

DbError noConnection() {
    return DbError(dberr::NoConnection, "Object variable or With block variable not set");
}

}  // namespace dex::jetstore
