#include "JetStore.h"

#include <sqlite3.h>

#include <map>

#include "ColumnKnowledge.h"
#include "ConnectionText.h"
#include "MaterializedRecordset.h"
#include "JetDialect.h"
#include "SchemaCatalog.h"
#include "SchemaEditor.h"
#include "StoreErrors.h"
#include "StoreFile.h"
#include "StructureReader.h"

namespace dex {
namespace jetstore {
namespace {

std::map<std::string, std::string> parseSettings(const std::string& text) { return parseConnectionText(text); }

std::string settingOr(const std::map<std::string, std::string>& s, const std::string& key) {
    return connectionSetting(s, key);
}

std::string daoPassword(const std::string& connect) { return settingOr(parseSettings(connect), "PWD"); }


bool onlyTrailingNoise(const char* tail) {
    for (const auto& t : tokenize(tail ? tail : ""))
        if (isSignificant(t) && !isPunct(t, ";")) return false;
    return true;
}

// The significant tokens without trailing semicolons.
std::vector<Token> significantTokens(const std::vector<Token>& tokens) {
    std::vector<Token> out;
    for (const auto& t : tokens)
        if (isSignificant(t)) out.push_back(t);
    while (!out.empty() && isPunct(out.back(), ";")) out.pop_back();
    return out;
}

// A name SQLite resolves even where no column has it: the row id, the
// boolean constants, and keywords.
bool resolvesWithoutColumn(const Token& t) {
    const std::string u = upperText(identValue(t));
    if (u == "ROWID" || u == "OID" || u == "_ROWID_" || u == "TRUE" || u == "FALSE") return true;
    return t.kind == TokKind::Word && sqlite3_keyword_check(t.text.data(), static_cast<int>(t.text.size())) != 0;
}

// The pragmas a statement may give an argument to: they only read.
bool readingPragma(const std::string& name) {
    static const char* const reading[] = {"table_info",  "table_xinfo",       "index_info",      "index_xinfo",
                                          "index_list",  "foreign_key_list",  "foreign_key_check", "integrity_check",
                                          "quick_check", "table_list"};
    for (const char* r : reading)
        if (equalsNoCase(name, r)) return true;
    return false;
}

// A statement may read the store's settings but never change them: they
// keep its schema (writable_schema, trusted_schema), its foreign keys and
// its journal sound.
void refuseSettingChange(const std::vector<Token>& sig) {
    if (sig.empty() || !isWord(sig[0], "PRAGMA")) return;
    size_t at = 1;
    if (at + 2 < sig.size() && isPunct(sig[at + 1], ".")) at += 2;  // schema.pragma
    if (at + 1 >= sig.size() || !isName(sig[at])) return;          // no argument: a read
    const std::string name = identValue(sig[at]);
    if (isPunct(sig[at + 1], "(") && readingPragma(name)) return;
    throw syntaxError("PRAGMA " + name + " is refused: a statement may read the store's settings but not change "
                      "them, so that its protections stay on.");
}

// Runs statements of the Jet dialect on one store connection.
class StatementRunner {
public:
    explicit StatementRunner(sqlite3* db) : db_(db), catalog_(db), knowledge_(db, catalog_) {}

    int64_t execute(const std::string& sql) {
        auto tokens = tokenize(sql);
        const auto sig = significantTokens(tokens);
        refuseSettingChange(sig);
        if (runDdl(tokens)) return 0;
        if (auto answered = knowledge_.answerUpdate(sig)) return *answered;
        StmtHandle st = prepareFor(tokens, sig);
        while (step(st.get())) {
        }
        return sqlite3_stmt_readonly(st.get()) ? 0 : sqlite3_changes64(db_);
    }

    std::unique_ptr<Recordset> query(const std::string& sql) {
        auto tokens = tokenize(sql);
        const auto sig = significantTokens(tokens);
        refuseSettingChange(sig);
        if (runDdl(tokens)) return std::make_unique<MaterializedRecordset>();
        answerMissingColumn(sig);
        StmtHandle st = prepareFor(tokens, sig);
        const int fields = sqlite3_column_count(st.get());
        std::vector<std::vector<Value>> rows;
        while (step(st.get())) {
            std::vector<Value> row;
            for (int i = 0; i < fields; ++i) row.push_back(columnValue(st.get(), i));
            rows.push_back(std::move(row));
        }
        if (fields == 0) return std::make_unique<MaterializedRecordset>();
        std::vector<std::string> names;
        for (int i = 0; i < fields; ++i) {
            const char* name = sqlite3_column_name(st.get(), i);
            names.emplace_back(name ? name : "");
        }
        return std::make_unique<MaterializedRecordset>(std::move(names), std::move(rows));
    }

    SchemaCatalog& catalog() { return catalog_; }

private:
    bool runDdl(const std::vector<Token>& tokens) {
        SchemaEditor editor(db_, catalog_, knowledge_);
        switch (classify(tokens)) {
            case StatementKind::CreateTable: editor.createTable(tokens); return true;
            case StatementKind::AlterTable: editor.alterTable(tokens); return true;
            case StatementKind::CreateIndex: editor.createIndex(tokens); return true;
            case StatementKind::DropTable: knowledge_.clear(); editor.dropTable(tokens); return true;
            case StatementKind::DropIndex: knowledge_.clear(); editor.dropIndex(tokens); return true;
            case StatementKind::Other: return false;
        }
        return false;
    }

    // Whether the statement names a table whose columns the connection has
    // not parsed in their new form (a changed constraint does not alter a read).
    bool mentionsStaleTable(const std::vector<Token>& sig) const {
        for (const auto& t : sig)
            if ((isName(t) || t.kind == TokKind::DqString) && catalog_.columnsStale(identValue(t))) return true;
        return false;
    }

    // Prepares a statement SQLite runs itself. A statement that may depend on
    // a table whose text the connection has not parsed yet (any write, which
    // may reach other tables through foreign keys; a read that names one, or
    // any read while views exist) has the schema re-read first. Anything but
    // a plain read ends the column knowledge.
    StmtHandle prepareFor(const std::vector<Token>& tokens, const std::vector<Token>& sig) {
        const bool select = !sig.empty() && isWord(sig[0], "SELECT");
        if (catalog_.anyStale() && (!select || mentionsStaleTable(sig) || catalog_.hasViews())) catalog_.refresh();
        StmtHandle st = prepare(rewriteJetSql(tokens));
        if (!select || !sqlite3_stmt_readonly(st.get())) knowledge_.clear();
        return st;
    }

    // "SELECT c FROM t" (how the access layer asks whether a column exists)
    // for a column that t lacks, while the connection has t's new text still
    // to parse: the error SQLite would give, without re-reading the schema.
    void answerMissingColumn(const std::vector<Token>& sig) {
        if (sig.size() != 4 || !isWord(sig[0], "SELECT") || !isWord(sig[2], "FROM")) return;
        if (!isName(sig[1]) || !isName(sig[3]) || resolvesWithoutColumn(sig[1])) return;
        if (!catalog_.isStale(identValue(sig[3]))) return;
        auto t = catalog_.find(identValue(sig[3]));
        if (t && !t->findColumn(identValue(sig[1]))) throw unknownName();
    }

    StmtHandle prepare(const std::string& sql) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
        StmtHandle st(raw);
        if (rc != SQLITE_OK) throw sqliteError(db_, rc);
        if (!st)
            throw syntaxError("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
        if (!onlyTrailingNoise(tail)) throw syntaxError("Characters found after end of SQL statement.");
        return st;
    }

    bool step(sqlite3_stmt* st) {
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw sqliteError(db_, rc);
    }

    static Value columnValue(sqlite3_stmt* st, int i) {
        switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL: return std::monostate{};
            case SQLITE_INTEGER: return static_cast<int64_t>(sqlite3_column_int64(st, i));
            case SQLITE_FLOAT: return sqlite3_column_double(st, i);
            default: {
                auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
                return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
            }
        }
    }

    sqlite3* db_;
    SchemaCatalog catalog_;
    ColumnKnowledge knowledge_;
};

class StoreConnection : public Connection {
public:
    explicit StoreConnection(DbHandle db) : db_(std::move(db)), runner_(std::make_unique<StatementRunner>(db_.get())) {}
    int64_t execute(const std::string& sql) override { return runner().execute(sql); }
    std::unique_ptr<Recordset> query(const std::string& sql) override { return runner().query(sql); }
    void close() override {
        runner_.reset();
        db_.reset();
    }

private:
    StatementRunner& runner() {
        if (!runner_) throw noConnection();
        return *runner_;
    }
    DbHandle db_;
    std::unique_ptr<StatementRunner> runner_;
};

class StoreDatabase : public DaoDatabase {
public:
    StoreDatabase(DbHandle db, std::string path) : db_(std::move(db)), path_(std::move(path)) {}
    std::vector<TableDef> tableDefs() override {
        if (!db_) throw DbError(storeerr::ObjectInvalid, "Object invalid or no longer set.");
        try {
            SchemaCatalog catalog(db_.get());
            return readTableDefs(catalog);
        } catch (const DbError& e) {
            // Damage found past the first page names the file it is in.
            if (e.number() == dberr::UnrecognizedFormat && e.description().find(path_) == std::string::npos)
                throw DbError(e.number(), "The file '" + path_ + "' is damaged: " + e.description());
            throw;
        }
    }
    void close() override { db_.reset(); }

private:
    DbHandle db_;
    std::string path_;
};

class StoreEngine : public DbEngine {
public:
    explicit StoreEngine(const JetStoreOptions& options) : options_(options) {}

    // The DAO side only reads structures: the file is always opened
    // read-only, so that nothing (a hot journal's rollback included) can
    // change a user's database while its structure is read.
    std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int, bool,
                                              const std::string& connect) override {
        OpenRequest request{path, daoPassword(connect), true, dberr::FileNotFound};
        return std::make_unique<StoreDatabase>(openStore(request, options_), path);
    }

    void compactDatabase(const std::string& source, const std::string& destination,
                         const std::string& sourceConnect) override {
        OpenRequest request{source, daoPassword(sourceConnect), true, dberr::FileNotFound};
        compactStore(request, destination, options_);
    }

    std::unique_ptr<Connection> openConnection(const std::string& connectionString) override {
        auto settings = parseSettings(connectionString);
        std::string provider = upperText(settingOr(settings, "PROVIDER"));
        if (!provider.empty() && provider.rfind("MICROSOFT.JET.OLEDB", 0) != 0 &&
            provider.rfind("MICROSOFT.ACE.OLEDB", 0) != 0)
            throw DbError(3706, "Provider cannot be found. It may not be properly installed.");
        OpenRequest request{settingOr(settings, "DATA SOURCE"), settingOr(settings, "JET OLEDB:DATABASE PASSWORD"),
                            false, dberr::ConstraintViolation};
        return std::make_unique<StoreConnection>(openStore(request, options_));
    }

private:
    JetStoreOptions options_;
};

}  // namespace
}  // namespace jetstore

std::unique_ptr<DbEngine> makeJetStoreEngine() { return makeJetStoreEngine(JetStoreOptions{}); }

std::unique_ptr<DbEngine> makeJetStoreEngine(const JetStoreOptions& options) {
    return std::make_unique<jetstore::StoreEngine>(options);
}

bool storeEnginesOnThreads() { return sqlite3_threadsafe() != 0; }

void createStore(const std::string& path, const std::string& password) { jetstore::createStoreFile(path, password); }

void setStorePassword(const std::string& path, const std::string& oldPassword, const std::string& newPassword) {
    jetstore::changeStorePassword(path, oldPassword, newPassword);
}

}  // namespace dex
