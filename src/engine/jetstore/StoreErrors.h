#pragma once
// The store's failures as the database access layer expects them: Jet's error
// numbers with descriptions worded like Jet's own.
#include <sqlite3.h>

#include <string>

#include "DbError.h"

namespace dex::jetstore {

namespace storeerr {
constexpr int32_t ReadOnly = dberr::ReadOnly;
constexpr int32_t CannotOpen = 3051;
constexpr int32_t DatabaseExists = 3204;
constexpr int32_t ObjectInvalid = dberr::ObjectInvalid;
constexpr int32_t NoCurrentRecord = dberr::NoCurrentRecord;
constexpr int32_t ObjectClosed = dberr::ObjectClosed;
constexpr int32_t TypeMismatch = -2147217913;
}  // namespace storeerr

// Maps the last failure of an SQLite call (result code rc) onto a DbError.
DbError sqliteError(sqlite3* db, int rc);
// Maps an SQLite message and primary result code (used for failures already read out).
DbError translateSqliteMessage(int rc, const std::string& message);

DbError missingTable(const std::string& table);
DbError missingColumn(const std::string& table, const std::string& column);
// A name in a statement that matches no column (SQLite's "no such column").
DbError unknownName();
DbError syntaxError(const std::string& description);
DbError fieldDefinitionError();
DbError tableExists(const std::string& table);
DbError indexExists(const std::string& name);
DbError constraintExists(const std::string& name);
DbError fileNotFound(int32_t number, const std::string& path);
DbError unrecognizedFormat(const std::string& path);
DbError realJetFile(const std::string& path);
// Jet's 3031, naming the file whose password did not match.
DbError wrongPassword(const std::string& path);
DbError fileLocked(const std::string& what);
DbError noConnection();

}  // namespace dex::jetstore
