#include "SqliteHandles.h"

#include <mutex>

#include "StoreErrors.h"

namespace dex::jetstore {

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
    stmt_.reset(raw);
    if (rc != SQLITE_OK) throw sqliteError(db, rc);
}

Statement& Statement::bind(int index, std::string_view text) {
    int rc = sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throw sqliteError(db_, rc);
    return *this;
}

Statement& Statement::bind(int index, int64_t value) {
    int rc = sqlite3_bind_int64(stmt_.get(), index, value);
    if (rc != SQLITE_OK) throw sqliteError(db_, rc);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw sqliteError(db_, rc);
}

std::string Statement::columnText(int i) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), i));
    if (!p) return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), i)));
}

Value Statement::columnValue(int i) const {
    switch (sqlite3_column_type(stmt_.get(), i)) {
        case SQLITE_NULL: return std::monostate{};
        case SQLITE_INTEGER: return static_cast<int64_t>(sqlite3_column_int64(stmt_.get(), i));
        case SQLITE_FLOAT: return sqlite3_column_double(stmt_.get(), i);
        case SQLITE_BLOB: {
            auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), i));
            return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), i)));
        }
        default: return columnText(i);
    }
}

StatementCache::Lease StatementCache::use(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it == statements_.end()) it = statements_.emplace(sql, std::make_unique<Statement>(db_, sql)).first;
    return Lease(*it->second);
}

void execSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) throw sqliteError(db, rc);
}

void execStoredStatement(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
    StmtHandle st(raw);
    if (rc != SQLITE_OK) throw sqliteError(db, rc);
    for (const char* p = tail; p && *p; ++p)
        if (*p != ';' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            throw DbError(dberr::UnrecognizedFormat,
                          "Unrecognized database format: a stored index or trigger text holds more than one "
                          "statement.");
    if (!st) return;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) throw sqliteError(db, rc);
}

namespace {
int refuseAttach(void*, int action, const char*, const char*, const char*, const char*) {
    return action == SQLITE_ATTACH || action == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}
}  // namespace

void prepareSqliteLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // SQLITE_MISUSE when something in the process opened a connection
        // first: the library then keeps its defaults, which work too.
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    });
}

void hardenConnection(sqlite3* db) {
    sqlite3_set_authorizer(db, refuseAttach, nullptr);
    int ignored = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
    setDefensive(db, true);
}

void setDefensive(sqlite3* db, bool on) {
    int ignored = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, on ? 1 : 0, &ignored);
}

int64_t queryInt(sqlite3* db, const std::string& sql) {
    Statement st(db, sql);
    return st.step() ? st.columnInt(0) : 0;
}

// Inside a caller's own transaction the guard works as a savepoint.
Transaction::Transaction(sqlite3* db) : db_(db), nested_(sqlite3_get_autocommit(db) == 0) {
    execSql(db, nested_ ? "SAVEPOINT jet_guard" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (done_) return;
    const char* undo = nested_ ? "ROLLBACK TO jet_guard; RELEASE jet_guard" : "ROLLBACK";
    sqlite3_exec(db_, undo, nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    execSql(db_, nested_ ? "RELEASE jet_guard" : "COMMIT");
    done_ = true;
}

// Through the connection's setting rather than PRAGMA foreign_keys, which is
// a no-op inside a transaction: a rebuild inside a caller's transaction (a
// script applied all or nothing) must not let the old table's drop delete or
// refuse the rows that refer to it.
ForeignKeysOff::ForeignKeysOff(sqlite3* db) : db_(db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FKEY, -1, &wasOn_);
    int now = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FKEY, 0, &now);
}

ForeignKeysOff::~ForeignKeysOff() {
    int now = 0;
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, wasOn_, &now);
}

}  // namespace dex::jetstore
