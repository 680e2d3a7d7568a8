#pragma once
// modDBsub: the shared connection and the operations over it: open, execute,
// single-value reads, row sets with their reports, counts, existence tests
// and next free codes. Every operation works on the session's DBConn.
#include <cstdint>
#include <memory>
#include <string>

#include "DbSession.h"

namespace dex::modDBsub {

// Connection string for a database file; an empty password adds nothing. The
// path and password are quoted where they hold syntax (ConnectionText.h).
std::string ConnectionString(const std::string& path, const std::string& password);

// Points DBConn at the database file. Returns True; failures throw DbError.
bool DBOpen(DbSession& session, const std::string& path, const std::string& password);

// Field 0 of the first row, or "" when there is no row or the field is Null.
Value DBQuery(DbSession& session, const std::string& statement);

// "" for Null, otherwise the value as text.
std::string FieldText(const Value& value);

// Runs a statement and returns the number of affected rows. A statement that
// starts with "TRUNCATE " is rewritten in the caller's variable to
// "DELETE FROM " + the rest before it runs.
int32_t DBExecute(DbSession& session, std::string& statement);

// Closes the row set when it is open and empties the reference.
void DBCloseRS(std::unique_ptr<Recordset>& rs);

// Next free code of a numeric code column of fixed-length texts; in prefix
// mode only the first length - 1 characters count and the result has that
// width. The result is not reserved.
std::string NextCode(DbSession& session, const std::string& table, const std::string& column,
                     int16_t length, const std::string& condition, bool prefixMode);

// Opens a row set with reporting: returns the row count, or -1 after showing
// the message for the failure. Never throws; after a failure `rs` holds a row
// set that is not open. The callers pass 0 (forward only), 1 (read only) and
// 1 (command text).
int32_t DBOpenRS(DbSession& session, std::unique_ptr<Recordset>& rs, const std::string& statement,
                 int32_t cursorType = 0, int32_t lockType = 1, int32_t options = 1);

// Number of rows of the table, optionally restricted by a condition.
int32_t DBCount(DbSession& session, const std::string& table, const std::string& condition);

// Mode 1: does the table exist; mode 2: does the column of the table exist.
// The not-found errors give False; any other error is shown and counts as
// existing.
bool DBChkExistence(DbSession& session, int32_t mode, const std::string& table,
                    const std::string& column);

}  // namespace dex::modDBsub
