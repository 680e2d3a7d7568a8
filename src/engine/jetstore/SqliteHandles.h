#pragma once
// Thin RAII layer over the SQLite C API: the connection and statement handles
// live in unique_ptrs, failures become dex::DbError through StoreErrors.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "DbEngine.h"

namespace dex::jetstore {

struct SqliteCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* st) const noexcept { sqlite3_finalize(st); }
};
using DbHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// One prepared statement.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, int64_t value);
    // Steps once; true while a row is available.
    bool step();
    int columnCount() const { return sqlite3_column_count(stmt_.get()); }
    std::string columnText(int i) const;
    int64_t columnInt(int i) const { return sqlite3_column_int64(stmt_.get(), i); }
    bool columnIsNull(int i) const { return sqlite3_column_type(stmt_.get(), i) == SQLITE_NULL; }
    Value columnValue(int i) const;
    bool readOnly() const { return sqlite3_stmt_readonly(stmt_.get()) != 0; }
    sqlite3_stmt* get() const { return stmt_.get(); }
    // Ready to run again from the start, with no values bound.
    void reset() noexcept {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
    }

private:
    sqlite3* db_;
    StmtHandle stmt_;
};

// Statements a connection runs again and again, each prepared once. A lease
// resets its statement when it ends, so that no read stays open between uses.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}

    class Lease {
    public:
        explicit Lease(Statement& st) : st_(&st) {}
        ~Lease() { st_->reset(); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Statement& operator*() const { return *st_; }
        Statement* operator->() const { return st_; }

    private:
        Statement* st_;
    };

    Lease use(const std::string& sql);

private:
    sqlite3* db_;
    std::unordered_map<std::string, std::unique_ptr<Statement>> statements_;
};

// Runs statements of the store's own making that return no rows; throws DbError on failure.
void execSql(sqlite3* db, const std::string& sql);
// Runs exactly one statement whose text comes from a file (stored index and
// trigger texts): a text holding more than one statement is refused.
void execStoredStatement(sqlite3* db, const std::string& sql);

// What every connection to a store gets, whatever file it is: an authorizer
// that refuses ATTACH and DETACH, so that no statement (nor a text stored in
// a hostile file) reaches another database on disk; functions that stored
// texts call must be innocuous (trusted_schema off); SQLite's defensive mode,
// which only the store's own schema edit lifts for its span.
void hardenConnection(sqlite3* db);

// Settings of the SQLite library as a whole, made once before the process
// opens its first connection (later they can no longer change). Called
// before every open. Memory statistics are off: they take one mutex for
// every allocation of every connection, which made two migrations on two
// threads wait for each other.
void prepareSqliteLibrary();
void setDefensive(sqlite3* db, bool on);
// First column of the first row as integer (0 when no row).
int64_t queryInt(sqlite3* db, const std::string& sql);

// A write transaction that rolls back unless committed. The destructor never throws.
class Transaction {
public:
    explicit Transaction(sqlite3* db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    sqlite3* db_;
    bool nested_;
    bool done_ = false;
};

// Turns foreign-key enforcement off for a table rebuild, also inside a
// transaction, and back to what it was afterwards.
class ForeignKeysOff {
public:
    explicit ForeignKeysOff(sqlite3* db);
    ~ForeignKeysOff();
    ForeignKeysOff(const ForeignKeysOff&) = delete;
    ForeignKeysOff& operator=(const ForeignKeysOff&) = delete;

private:
    sqlite3* db_;
    int wasOn_ = 1;
};

}  // namespace dex::jetstore
