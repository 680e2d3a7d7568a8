#pragma once
// The database session every data operation works through: the engine, the
// one shared connection (DBConn), the dialogs that show the layer's messages,
// and an optional trace of every statement handed to the engine.
#include <functional>
#include <memory>
#include <string>

#include "DbEngine.h"
#include "Dialogs.h"

namespace dex {

// Caption of the layer's message boxes unless the caller names another.
inline constexpr const char* kDefaultMessageTitle = "Dexmira";

// Receives each statement exactly as it is handed to the engine.
using TraceSink = std::function<void(const std::string&)>;

class DbSession {
public:
    DbSession(DbEngine& engine, Dialogs& dialogs, std::string appTitle = kDefaultMessageTitle);

    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    // Replaces DBConn by a connection opened with the connection string. The
    // previous connection is released first; when the open fails, DBConn stays
    // empty and later operations fail until the next successful open.
    void openConnection(const std::string& connectionString);

    // Lets go of DBConn (closing the file) until the next open, for callers
    // that must replace the database file itself.
    void closeConnection() { conn_.reset(); }

    // The current connection, or nullptr when none is open.
    Connection* DBConn() const { return conn_.get(); }

    // Statement execution on DBConn, traced. Both throw DbError.
    int64_t execute(const std::string& sql);
    std::unique_ptr<Recordset> query(const std::string& sql);

    void setTrace(TraceSink sink) { trace_ = std::move(sink); }

    Dialogs& dialogs() { return dialogs_; }
    const std::string& appTitle() const { return appTitle_; }
    // An OK box with the application's title and no icon.
    void showMessage(const std::string& text);

private:
    Connection& requireConnection() const;

    DbEngine& engine_;
    Dialogs& dialogs_;
    std::string appTitle_;
    std::unique_ptr<Connection> conn_;
    bool openAttempted_ = false;
    TraceSink trace_;
};

}  // namespace dex
