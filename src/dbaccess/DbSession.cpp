#include "DbSession.h"

namespace dex {

DbSession::DbSession(DbEngine& engine, Dialogs& dialogs, std::string appTitle)
    : engine_(engine), dialogs_(dialogs), appTitle_(std::move(appTitle)) {}

void DbSession::openConnection(const std::string& connectionString) {
    conn_.reset();  // releasing the previous connection closes it
    openAttempted_ = true;
    conn_ = engine_.openConnection(connectionString);
}

Connection& DbSession::requireConnection() const {
    if (!conn_) {
        if (!openAttempted_)
            throw DbError(dberr::NoConnection, "Object variable or With block variable not set");
        throw DbError(3709,
                      "The connection cannot be used to perform this operation. It is either "
                      "closed or invalid in this context.");
    }
    return *conn_;
}

int64_t DbSession::execute(const std::string& sql) {
    Connection& conn = requireConnection();
    if (trace_) trace_(sql);
    return conn.execute(sql);
}

std::unique_ptr<Recordset> DbSession::query(const std::string& sql) {
    Connection& conn = requireConnection();
    if (trace_) trace_(sql);
    return conn.query(sql);
}

void DbSession::showMessage(const std::string& text) {
    dialogs_.message(text, appTitle_, Icon::None);
}

}  // namespace dex
