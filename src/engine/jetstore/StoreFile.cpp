#include "StoreFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "Sha256.h"
#include "StoreErrors.h"
#include "StoreFunctions.h"

namespace dex::jetstore {
namespace {

constexpr const char* FormatMark = "Dexmira Jet-compatible store";
namespace fs = std::filesystem;

enum class FileKind { Sqlite, Jet, Other };

FileKind sniff(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[32] = {};
    in.read(head, sizeof head);
    std::string bytes(head, static_cast<size_t>(in.gcount()));
    if (bytes.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) return FileKind::Sqlite;
    if (bytes.size() >= 19 && bytes.compare(0, 4, std::string("\0\1\0\0", 4)) == 0 &&
        (bytes.compare(4, 15, "Standard Jet DB") == 0 || bytes.compare(4, 15, "Standard ACE DB") == 0))
        return FileKind::Jet;
    return FileKind::Other;
}

void configure(sqlite3* db, const JetStoreOptions& options) {
    hardenConnection(db);
    int off = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, &off);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, &off);
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    execSql(db, "PRAGMA foreign_keys=ON");
    if (options.scratchWrites) execSql(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY");
    registerJetFunctions(db);
}

std::string newSalt() {
    std::random_device rd;
    std::string salt;
    static const char* hex = "0123456789abcdef";
    for (int i = 0; i < 32; ++i) salt += hex[rd() % 16];
    return salt;
}

std::string passwordHash(const std::string& salt, const std::string& password) {
    return sha256Hex(salt + ":" + password);
}

std::string storeValue(sqlite3* db, const std::string& key) {
    Statement st(db, "SELECT value FROM MSysStore WHERE key = ?1");
    st.bind(1, key);
    return st.step() ? st.columnText(0) : std::string();
}

void writePassword(sqlite3* db, const std::string& password) {
    execSql(db, "DELETE FROM MSysStore WHERE key IN ('salt', 'password')");
    if (password.empty()) return;
    std::string salt = newSalt();
    Statement st(db, "INSERT INTO MSysStore (key, value) VALUES ('salt', ?1), ('password', ?2)");
    st.bind(1, salt).bind(2, passwordHash(salt, password));
    st.step();
}

// The store marker and the password, read as the first statement on the file.
void checkStore(sqlite3* db, const OpenRequest& request) {
    std::string mark;
    try {
        Statement probe(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'MSysStore'");
        if (!probe.step()) throw unrecognizedFormat(request.path);
        mark = storeValue(db, "format");
    } catch (const DbError& e) {
        if (e.number() == storeerr::CannotOpen)
            throw DbError(storeerr::CannotOpen,
                          "Cannot open the file '" + request.path + "': a change to it was left unfinished (the "
                          "rollback journal '" + request.path + "-journal' beside it). The file was left as it is; "
                          "open it once with the program that wrote it, or compare it with a product, which "
                          "works on a copy.");
        if (e.number() == dberr::TableLocked) throw fileLocked("file '" + request.path + "'");
        if (e.number() == dberr::UnrecognizedFormat) throw unrecognizedFormat(request.path);
        throw;
    }
    if (mark != FormatMark) throw unrecognizedFormat(request.path);
    std::string hash = storeValue(db, "password");
    if (!hash.empty() && passwordHash(storeValue(db, "salt"), request.password) != hash) throw wrongPassword(request.path);
}

}  // namespace

DbHandle openStore(const OpenRequest& request, const JetStoreOptions& options) {
    std::error_code ec;
    if (request.path.empty() || !fs::is_regular_file(request.path, ec))
        throw fileNotFound(request.missingFileError, request.path);
    FileKind kind = sniff(request.path);
    if (kind == FileKind::Jet) throw realJetFile(request.path);
    if (kind != FileKind::Sqlite) throw unrecognizedFormat(request.path);
    // SQLite opens paths of at most 512 bytes (its journal's name included).
    if (request.path.size() > 500)
        throw DbError(dberr::FileNotFound, "Could not open '" + request.path + "': its path is " +
                                               std::to_string(request.path.size()) +
                                               " bytes long, more than the 500 a database path may have here. "
                                               "Move the file to a shorter path.");
    sqlite3* raw = nullptr;
    int flags = (request.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    prepareSqliteLibrary();
    int rc = sqlite3_open_v2(request.path.c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) throw sqliteError(db.get(), rc);
    try {
        configure(db.get(), options);
    } catch (const DbError& e) {
        // The connection's first pragmas already read the file: a damaged or
        // locked file is named here as checkStore names it.
        if (e.number() == dberr::UnrecognizedFormat) throw unrecognizedFormat(request.path);
        if (e.number() == dberr::TableLocked) throw fileLocked("file '" + request.path + "'");
        throw;
    }
    checkStore(db.get(), request);
    return db;
}

void createStoreFile(const std::string& path, const std::string& password) {
    std::error_code ec;
    if (fs::exists(path, ec)) throw DbError(storeerr::DatabaseExists, "Database '" + path + "' already exists.");
    sqlite3* raw = nullptr;
    prepareSqliteLibrary();
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) throw sqliteError(db.get(), rc);
    hardenConnection(db.get());
    Transaction tx(db.get());
    execSql(db.get(), "CREATE TABLE MSysStore (key VARCHAR(64) NOT NULL PRIMARY KEY, value TEXT)");
    Statement mark(db.get(), "INSERT INTO MSysStore (key, value) VALUES ('format', ?1)");
    mark.bind(1, FormatMark);
    mark.step();
    writePassword(db.get(), password);
    tx.commit();
}

void changeStorePassword(const std::string& path, const std::string& oldPassword, const std::string& newPassword) {
    DbHandle db = openStore(OpenRequest{path, oldPassword, false, dberr::FileNotFound}, JetStoreOptions{});
    Transaction tx(db.get());
    writePassword(db.get(), newPassword);
    tx.commit();
}

namespace {
bool compactedCopyIsSound(const std::string& path) {
    sqlite3* raw = nullptr;
    prepareSqliteLibrary();
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) return false;
    hardenConnection(db.get());
    try {
        Statement check(db.get(), "PRAGMA integrity_check");
        return check.step() && check.columnText(0) == "ok";
    } catch (const DbError&) {
        return false;
    }
}
// A failed compaction names the file it was compacting; a failed write also
// names the copy and the system's reason (a full disk, a folder without
// write permission), which SQLite's own text leaves out.
DbError compactError(sqlite3* db, const DbError& e, const std::string& source, const std::string& destination) {
    if (e.description().find(source) != std::string::npos) return e;
    if (e.number() == dberr::UnrecognizedFormat)
        return DbError(e.number(), "The file '" + source + "' is damaged: " + e.description());
    if (e.number() == dberr::TableLocked) return fileLocked("file '" + source + "'");
    std::string text = "Cannot compact '" + source + "' into '" + destination + "': " + e.description();
    if (const int sys = sqlite3_system_errno(db); sys != 0) text += " (" + std::string(std::strerror(sys)) + ")";
    return DbError(e.number(), text);
}
}  // namespace

void compactStore(const OpenRequest& source, const std::string& destination, const JetStoreOptions& options) {
    std::error_code ec;
    if (fs::exists(destination, ec))
        throw DbError(storeerr::DatabaseExists, "Database '" + destination + "' already exists.");
    DbHandle db = openStore(source, options);
    // The copy's file is made here, empty (which VACUUM INTO accepts), so that
    // a folder without write permission is reported with the system's reason:
    // SQLite's own open failure names neither the cause nor the source.
    const int fd = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw DbError(storeerr::CannotOpen, "Cannot compact '" + source.path + "': cannot create '" + destination +
                                                "' (" + std::strerror(errno) + ").");
    ::close(fd);
    // VACUUM INTO attaches its destination: the authorizer steps aside for
    // this one statement of the store's own, whose only parameter is the path.
    sqlite3_set_authorizer(db.get(), nullptr, nullptr);
    try {
        Statement st(db.get(), "VACUUM INTO ?1");
        st.bind(1, destination);
        st.step();
    } catch (const DbError& e) {
        fs::remove(destination, ec);
        throw compactError(db.get(), e, source.path, destination);
    }
    if (!compactedCopyIsSound(destination)) {
        // A copy that fails the check never reaches the caller: without a
        // destination file the compaction counts as failed and the source
        // stays in place.
        fs::remove(destination, ec);
    }
}

}  // namespace dex::jetstore
