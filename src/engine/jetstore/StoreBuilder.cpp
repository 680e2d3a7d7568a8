#include "StoreBuilder.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "DdlModel.h"
#include "SqlTokenizer.h"
#include "SqliteHandles.h"
#include "StoreErrors.h"
#include "StoreFile.h"

namespace dex {

using namespace jetstore;
namespace fs = std::filesystem;

namespace {

bool storeAllowsZeroLength(const std::string& type) {
    const int code = daoTypeOf(type).code;
    return code == daotype::Text || code == daotype::Memo;
}

ColumnDef columnOf(const StoreColumnSpec& spec) {
    ColumnDef c;
    c.name = spec.name;
    c.type = spec.type;
    c.notNull = spec.required;
    c.defaultText = spec.defaultText;
    if (c.defaultText && defaultExpression(*c.defaultText).empty() && !defaultIsPlainLiteral(*c.defaultText))
        c.defaultKeptAside = true;
    if (spec.allowZeroLength && *spec.allowZeroLength != storeAllowsZeroLength(spec.type))
        c.allowZeroLength = spec.allowZeroLength;
    return c;
}

TableModel modelOf(const StoreTableSpec& spec) {
    TableModel t;
    t.name = spec.name;
    for (const auto& c : spec.columns) t.columns.push_back(columnOf(c));
    t.primaryKey = spec.primaryKey;
    if (spec.primaryKeyName != "PrimaryKey") t.primaryKeyName = spec.primaryKeyName;
    for (const auto& f : spec.foreignKeys) {
        ForeignKeyDef fk{f.name, f.columns, f.refTable, f.refColumns, ""};
        if (f.cascadeDelete) fk.actions += " ON DELETE CASCADE";
        if (f.cascadeUpdate) fk.actions += " ON UPDATE CASCADE";
        t.foreignKeys.push_back(std::move(fk));
    }
    return t;
}

std::string columnList(const std::vector<std::string>& names, const std::vector<bool>& descending = {}) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        out += (i ? ", " : "") + quoteIdent(names[i]);
        if (i < descending.size() && descending[i]) out += " DESC";
    }
    return out;
}

DbError inTable(const std::string& table, const DbError& e) {
    return DbError(e.number(), "Table '" + table + "': " + e.description());
}

}  // namespace

struct StoreBuilder::Impl {
    std::string path;
    DbHandle db;
    bool finished = false;
};

struct StoreBuilder::RowWriter::State {
    sqlite3* db = nullptr;
    std::string table;
    std::vector<std::string> columns;
    std::vector<bool> binary;
    std::string insertSql;
    StmtHandle insert;
    TableModel model;  // as created, with the columns relaxed since
    int failure = SQLITE_OK;         // the last failed step's extended code
    std::optional<DbError> error;    // and its error

    void prepare() {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(db, insertSql.c_str(), -1, &raw, nullptr);
        insert.reset(raw);
        if (rc != SQLITE_OK) throw inTable(table, sqliteError(db, rc));
    }
    bool relaxRequiredNulls(const std::vector<Value>& row);
};

// A Required column may hold Nulls in a Jet file (rows that existed before
// it was made Required, or before it was added): on the first such row the
// table is rebuilt with that column kept nullable in the store, still read
// as Required, as the store keeps a required column added to existing rows.
// Key and autonumber columns are never relaxed. False: nothing to relax.
bool StoreBuilder::RowWriter::State::relaxRequiredNulls(const std::vector<Value>& row) {
    TableModel relaxed = model;
    bool any = false;
    for (size_t i = 0; i < row.size() && i < relaxed.columns.size(); ++i) {
        ColumnDef& c = relaxed.columns[i];
        const bool key = std::find(relaxed.primaryKey.begin(), relaxed.primaryKey.end(), c.name) != relaxed.primaryKey.end();
        if (isNull(row[i]) && c.notNull && !c.storedNullable && !key && !isAutoNumber(c)) c.storedNullable = any = true;
    }
    if (!any) return false;
    insert.reset();
    // The table's indexes come after its rows: only its autonumber triggers
    // go with it and come back.
    const std::string tmp = "jet_relax_" + table;
    execSql(db, renderCreateTable(relaxed, tmp));
    execSql(db, "INSERT INTO " + quoteIdent(tmp) + " SELECT * FROM " + quoteIdent(table));
    execSql(db, "DROP TABLE " + quoteIdent(table));
    execSql(db, "ALTER TABLE " + quoteIdent(tmp) + " RENAME TO " + quoteIdent(table));
    for (const auto& trigger : renderAutoNumberTriggers(relaxed)) execSql(db, trigger);
    model = std::move(relaxed);
    prepare();
    return true;
}

StoreBuilder::StoreBuilder(const std::string& path, const std::string& password) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    createStoreFile(path, password);
    sqlite3* raw = nullptr;
    prepareSqliteLibrary();
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    impl_->db.reset(raw);
    try {
        if (rc != SQLITE_OK) throw sqliteError(impl_->db.get(), rc);
        hardenConnection(raw);
        int off = 0;
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, &off);
        sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, &off);
        // A new file that is removed on any failure: no journal on disk, one
        // sync at the commit; foreign keys are checked once at the end.
        // A large page cache keeps the pages of the tables being filled in
        // memory until the commit writes them once.
        execSql(raw,
                "PRAGMA foreign_keys=OFF; PRAGMA journal_mode=MEMORY; PRAGMA synchronous=NORMAL; "
                "PRAGMA cache_size=-262144; PRAGMA locking_mode=EXCLUSIVE; PRAGMA temp_store=MEMORY; BEGIN");
    } catch (...) {
        impl_->db.reset();
        std::error_code ec;
        fs::remove(fs::u8path(path), ec);
        throw;
    }
}

StoreBuilder::~StoreBuilder() {
    if (!impl_ || impl_->finished) return;
    impl_->db.reset();  // an open transaction is rolled back on close
    std::error_code ec;
    fs::remove(fs::u8path(impl_->path), ec);
    fs::remove(fs::u8path(impl_->path + "-journal"), ec);
}

void StoreBuilder::createTable(const StoreTableSpec& spec) {
    const TableModel t = modelOf(spec);
    try {
        execSql(impl_->db.get(), renderCreateTable(t, t.name));
        for (const auto& trigger : renderAutoNumberTriggers(t)) execSql(impl_->db.get(), trigger);
    } catch (const DbError& e) {
        throw inTable(spec.name, e);
    }
}

StoreBuilder::RowWriter StoreBuilder::rows(const StoreTableSpec& spec) {
    auto state = std::make_unique<RowWriter::State>();
    state->db = impl_->db.get();
    state->table = spec.name;
    state->model = modelOf(spec);
    std::string names, marks;
    for (const auto& c : spec.columns) {
        names += (names.empty() ? "" : ", ") + quoteIdent(c.name);
        marks += marks.empty() ? "?" : ", ?";
        state->columns.push_back(c.name);
        state->binary.push_back(c.binary);
    }
    state->insertSql = "INSERT INTO " + quoteIdent(spec.name) + " (" + names + ") VALUES (" + marks + ")";
    state->prepare();
    return RowWriter(std::move(state));
}

StoreBuilder::RowWriter::RowWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
StoreBuilder::RowWriter::~RowWriter() = default;
StoreBuilder::RowWriter::RowWriter(RowWriter&&) noexcept = default;

void StoreBuilder::RowWriter::write(const std::vector<Value>& row) {
    if (!bindAndStep(row)) {
        const int extended = state_->failure;
        const DbError e = *state_->error;
        try {
            if (extended == SQLITE_CONSTRAINT_NOTNULL && state_->relaxRequiredNulls(row) && bindAndStep(row)) return;
        } catch (const DbError& again) {
            throw inTable(state_->table, again);
        }
        throw DbError(e.number(), "Table '" + state_->table + "': a row could not be stored (" + e.description() + ")");
    }
}

bool StoreBuilder::RowWriter::bindAndStep(const std::vector<Value>& row) {
    sqlite3_stmt* st = state_->insert.get();
    const int n = static_cast<int>(state_->columns.size());
    if (static_cast<int>(row.size()) != n)
        throw DbError(dberr::ConstraintViolation, "Table '" + state_->table + "': a row has " +
                                                      std::to_string(row.size()) + " values for " +
                                                      std::to_string(n) + " columns.");
    for (int i = 0; i < n; ++i) {
        const Value& v = row[static_cast<size_t>(i)];
        int rc = SQLITE_OK;
        if (isNull(v)) rc = sqlite3_bind_null(st, i + 1);
        else if (auto* whole = std::get_if<int64_t>(&v)) rc = sqlite3_bind_int64(st, i + 1, *whole);
        else if (auto* real = std::get_if<double>(&v)) rc = sqlite3_bind_double(st, i + 1, *real);
        else {
            const auto& text = std::get<std::string>(v);
            rc = state_->binary[static_cast<size_t>(i)]
                     ? sqlite3_bind_blob64(st, i + 1, text.data(), text.size(), SQLITE_STATIC)
                     : sqlite3_bind_text64(st, i + 1, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
        }
        if (rc != SQLITE_OK) throw inTable(state_->table, sqliteError(state_->db, rc));
    }
    // The values are bound without a copy: the row outlives the step.
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) return sqlite3_reset(st), true;
    state_->failure = sqlite3_extended_errcode(state_->db);
    state_->error = sqliteError(state_->db, rc);
    sqlite3_reset(st);
    return false;
}

void StoreBuilder::createIndexes(const StoreTableSpec& spec) {
    sqlite3* db = impl_->db.get();
    for (const auto& ix : spec.indexes) {
        // Jet names indexes per table and SQLite per file: a name another
        // table's index has already is stored under a name of the file's
        // own, with the Jet name kept in the text's annotation.
        auto taken = [db](const std::string& name) {
            Statement q(db, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
            q.bind(1, name);
            return q.step();
        };
        std::string stored = ix.name;
        for (int n = 1; taken(stored); ++n)
            stored = spec.name + "_" + ix.name + (n > 1 ? "_" + std::to_string(n) : "");
        std::string sql = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " + quoteIdent(stored) +
                          " ON " + quoteIdent(spec.name) + " (" + columnList(ix.columns, ix.descending) + ")";
        if (stored != ix.name) sql += " /*jet:name=" + escapeAnnotation(ix.name) + "*/";
        try {
            execSql(db, sql);
        } catch (const DbError& e) {
            throw inTable(spec.name, DbError(e.number(), "index '" + ix.name + "': " + e.description()));
        }
    }
}

void StoreBuilder::finish() {
    sqlite3* db = impl_->db.get();
    Statement check(db, "PRAGMA foreign_key_check");
    if (check.step())
        throw DbError(dberr::ConstraintViolation,
                      "Table '" + check.columnText(0) + "': rows break the relationship with table '" +
                          check.columnText(2) + "'.");
    execSql(db, "COMMIT");
    execSql(db, "PRAGMA journal_mode=DELETE");
    impl_->db.reset();
    impl_->finished = true;
}

}  // namespace dex
