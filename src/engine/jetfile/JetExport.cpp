#include "JetExport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "AnyEngine.h"
#include "ConnectionText.h"
#include "JetCheck.h"
#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetModel.h"
#include "JetStore.h"
#include "NameText.h"
#include "PrivateOutput.h"
#include "SchemaCatalog.h"
#include "StoreErrors.h"
#include "SqlTokenizer.h"
#include "SqliteHandles.h"
#include "StoreFile.h"
#include "StoreToJet.h"

namespace dex {

using namespace jetfile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kExportMark = ".export-";

DbError cannotExport(const std::string& out, const std::string& why) {
    return DbError(dberr::UnrecognizedFormat, "The store cannot be exported to '" + out + "': " + why + ".");
}

// ---------------------------------------------------------------- the store's tables

// "DECIMAL(18,4)" -> 18, 4.
void precisionOf(const std::string& typeWord, int& precision, int& scale) {
    const size_t open = typeWord.find('(');
    if (open == std::string::npos) return;
    int p = 0, s = 0;
    if (std::sscanf(typeWord.c_str() + open, "(%d,%d)", &p, &s) == 2 || std::sscanf(typeWord.c_str() + open, "(%d)", &p) == 1) {
        precision = p;
        scale = s;
    }
}

JetWriteColumn columnOf(const TableDef& t, const FieldDef& f, const jetstore::TableModel* model) {
    JetWriteColumn c;
    c.name = f.name;
    c.type = jetColumnTypeOf(f.type);
    if (c.type == 0)
        throw DbError(dberr::UnrecognizedFormat, "Table '" + t.name + "', field '" + f.name + "': the DAO type " +
                                                     std::to_string(f.type) + " has no Jet column type.");
    if (c.type == coltype::Text || c.type == coltype::Binary) c.size = f.size;
    c.defaultValue = f.defaultValue;
    c.required = f.required;
    c.allowZeroLength = f.allowZeroLength;
    if (const jetstore::ColumnDef* m = model ? model->findColumn(f.name) : nullptr) {
        c.autonumber = jetstore::isAutoNumber(*m) && c.type == coltype::Long;
        if (c.type == coltype::Numeric) precisionOf(m->type, c.precision, c.scale);
    }
    return c;
}

bool hasAction(const jetstore::ForeignKeyDef& fk, const char* action) {
    return upperText(fk.actions).find(action) != std::string::npos;
}

struct StoreTables {
    std::vector<TableDef> defs;                  // user tables, in the store's order
    std::map<std::string, jetstore::TableModel> models;  // by upper-case name
    jetstore::DbHandle handle;                        // the store, read-only, for the rows
};

StoreTables readStoreTables(const std::string& store, const std::string& password) {
    StoreTables out;
    auto engine = makeJetStoreEngine();
    auto db = engine->openDatabase(store, 0, true, password.empty() ? "" : ";pwd=" + password);
    for (TableDef& t : db->tableDefs())
        if (!isMSysName(t.name)) out.defs.push_back(std::move(t));
    db->close();
    out.handle = jetstore::openStore(jetstore::OpenRequest{store, password, true}, JetStoreOptions{});
    {
        jetstore::SchemaCatalog catalog(out.handle.get());
        for (jetstore::TableModel& m : catalog.tables()) out.models.emplace(upperText(m.name), std::move(m));
    }
    return out;
}

// A digest of a table's rows as stored, to hold what was written against
// what is read back. Each value is folded into one 64-bit word (its type,
// its bits; text and bytes eight at a time, the tail with the length) and
// mixed into one of four lanes by its column, so that the rows' values
// need not wait for one another.
class RowDigest {
public:
    void add(const std::vector<JetValue>& row) {
        for (size_t i = 0; i < row.size(); ++i) {
            uint64_t& lane = lanes_[i & 3];
            const uint64_t type = static_cast<uint64_t>(row[i].index()) << 60;
            std::visit([&](const auto& x) { value(lane, type, x); }, row[i]);
        }
        ++rows_;
    }
    bool operator==(const RowDigest& o) const { return rows_ == o.rows_ && lanes_ == o.lanes_; }
    uint64_t rows() const { return rows_; }

private:
    static void mix(uint64_t& h, uint64_t w) {
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    template <typename T>
    static uint64_t bitsOf(const T& x) {
        uint64_t w = 0;
        std::memcpy(&w, &x, sizeof x);
        return w;
    }
    static void bytes(uint64_t& h, uint64_t type, const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, b + i, 8);
            mix(h, w);
        }
        uint64_t tail = 0;
        std::memcpy(&tail, b + i, n - i);  // at most 7 bytes: the top byte holds the type and the length's low bits
        mix(h, tail ^ type ^ static_cast<uint64_t>(n & 0x0F) << 56);
    }
    static void value(uint64_t& h, uint64_t type, const std::monostate&) { mix(h, type); }
    static void value(uint64_t& h, uint64_t type, bool b) { mix(h, type | (b ? 1 : 2)); }
    static void value(uint64_t& h, uint64_t type, int64_t n) { mix(h, bitsOf(n) + type); }
    static void value(uint64_t& h, uint64_t type, const JetCurrency& c) { mix(h, bitsOf(c.units) + type); }
    static void value(uint64_t& h, uint64_t type, float f) { mix(h, bitsOf(f) + type); }
    static void value(uint64_t& h, uint64_t type, double d) { mix(h, bitsOf(d) + type); }
    static void value(uint64_t& h, uint64_t type, const JetDateTime& d) { mix(h, bitsOf(d.days) + type); }
    static void value(uint64_t& h, uint64_t type, const std::string& s) { bytes(h, type, s.data(), s.size()); }
    static void value(uint64_t& h, uint64_t type, const JetBytes& b) { bytes(h, type, b.bytes.data(), b.bytes.size()); }
    static void value(uint64_t& h, uint64_t type, const JetGuid& g) { bytes(h, type, g.bytes.data(), g.bytes.size()); }
    static void value(uint64_t& h, uint64_t type, const JetDecimal& d) {
        bytes(h, type, d.bytes.data(), d.bytes.size());
        mix(h, static_cast<uint64_t>(d.scale));
    }

    std::array<uint64_t, 4> lanes_ = {0xCBF29CE484222325ull, 0x84222325CBF29CE4ull, 0x9CE484222325CBF2ull,
                                      0x2325CBF29CE48422ull};  // any start
    uint64_t rows_ = 0;
};

// An empty text in a column of numbers, dates or Yes/No: what a store keeps
// where a column was added with DEFAULT "" to rows that existed; Jet leaves
// such rows Null.
bool emptyMeansNull(const Value& v, const JetWriteColumn& c) {
    const auto* s = std::get_if<std::string>(&v);
    return s && s->empty() && c.type != coltype::Text && c.type != coltype::Memo && c.type != coltype::Binary &&
           c.type != coltype::Ole;
}

// A store's column value as the store's engine hands it out.
Value storeValueOf(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL: return std::monostate{};
    case SQLITE_INTEGER: return static_cast<int64_t>(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return sqlite3_column_double(st, i);
    default: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
        return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
    }
    }
}

// A table's rows straight from the store's file, a statement step at a
// time, into rows whose strings are reused; each row digested.
class StoreTableRows {
public:
    StoreTableRows(sqlite3* store, std::string name, const std::vector<JetWriteColumn>& columns, RowDigest& digest)
        : store_(store), name_(std::move(name)), columns_(columns), digest_(digest) {
        const std::string sql = "SELECT * FROM " + jetstore::quoteIdent(name_);
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(store, sql.c_str(), -1, &raw, nullptr);
        st_.reset(raw);
        if (rc != SQLITE_OK) throw jetstore::sqliteError(store, rc);
        if (sqlite3_column_count(st_.get()) != static_cast<int>(columns.size()))
            throw JetWriteError("table '" + name_ + "': the store hands " + std::to_string(sqlite3_column_count(st_.get())) +
                                    " values a row for " + std::to_string(columns.size()) + " fields",
                                name_);
    }

    // The next row into `row` (one value per column); false at the end.
    bool next(std::vector<JetValue>& row) {
        const int rc = sqlite3_step(st_.get());
        if (rc == SQLITE_DONE) return false;
        if (rc != SQLITE_ROW) throw jetstore::sqliteError(store_, rc);
        row.resize(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i) value(i, row[i]);
        digest_.add(row);
        return true;
    }

private:
    void value(size_t i, JetValue& out) {
        const JetWriteColumn& column = columns_[i];
        const int at = static_cast<int>(i);
        const int type = sqlite3_column_type(st_.get(), at);
        if ((column.type == coltype::Text || column.type == coltype::Memo) && (type == SQLITE_TEXT || type == SQLITE_BLOB)) {
            const auto* p = static_cast<const char*>(sqlite3_column_blob(st_.get(), at));
            const auto n = static_cast<size_t>(sqlite3_column_bytes(st_.get(), at));
            if (auto* s = std::get_if<std::string>(&out))
                s->assign(p ? p : "", n);
            else
                out = std::string(p ? p : "", n);
            return;
        }
        try {
            const Value v = storeValueOf(st_.get(), at);
            out = emptyMeansNull(v, column) ? JetValue{} : storedValueOf(v, column);
        } catch (const JetWriteError& e) {
            throw JetWriteError("table '" + name_ + "', row " + std::to_string(digest_.rows() + 1) + ", " + e.what(), name_);
        }
        // A Yes/No column holds no Null in a Jet file.
        if (column.type == coltype::Bool && std::holds_alternative<std::monostate>(out)) out = false;
    }

    sqlite3* store_;
    std::string name_;
    const std::vector<JetWriteColumn>& columns_;
    RowDigest& digest_;
    jetstore::StmtHandle st_;
};

// The description of the store as a new Jet file; the rows come from the
// store's connection as the writer asks for them, each table's digest noted.
JetWriteDatabase describeStore(const StoreTables& tables, sqlite3* store, const std::string& password,
                               std::map<std::string, RowDigest>& digests) {
    JetWriteDatabase db;
    db.password = password;
    for (const TableDef& t : tables.defs) {
        const auto model = tables.models.find(upperText(t.name));
        const jetstore::TableModel* m = model == tables.models.end() ? nullptr : &model->second;
        JetWriteTable w;
        w.name = t.name;
        for (const FieldDef& f : t.fields) w.columns.push_back(columnOf(t, f, m));
        for (const IndexDef& i : t.indexes) {
            if (i.foreign) {
                JetWriteRelationship r;
                r.name = i.name;
                r.table = t.name;
                r.refTable = i.referencedTable;
                r.columns = i.fields;
                r.refColumns = i.referencedFields;
                if (const jetstore::ForeignKeyDef* fk = m ? m->findForeignKey(i.name) : nullptr) {
                    r.cascadeDelete = hasAction(*fk, "ON DELETE CASCADE");
                    r.cascadeUpdate = hasAction(*fk, "ON UPDATE CASCADE");
                }
                db.relationships.push_back(std::move(r));
                continue;
            }
            JetWriteIndex x;
            x.name = i.name;
            x.primary = i.primary;
            x.unique = i.unique || i.primary;
            x.columns = i.fields;
            w.indexes.push_back(std::move(x));
        }
        const std::vector<JetWriteColumn> columns = w.columns;
        RowDigest* digest = &digests[upperText(t.name)];
        const std::string name = t.name;
        w.rows = [columns, digest, name, store](const JetRowSink& sink) {
            StoreTableRows rows(store, name, columns, *digest);
            std::vector<JetValue> row;
            while (rows.next(row)) sink(row);
        };
        db.tables.push_back(std::move(w));
    }
    return db;
}

// ---------------------------------------------------------------- reading back

std::string fieldText(const FieldDef& f) {
    return f.name + " type " + std::to_string(f.type) + " size " + std::to_string(f.size) + " default '" +
           f.defaultValue + "' required " + std::to_string(f.required) + " zero-length " +
           std::to_string(f.allowZeroLength);
}

std::string indexText(const IndexDef& i) {
    std::string s = i.name + (i.primary ? " primary" : "") + (i.foreign ? " foreign" : "") + (i.unique ? " unique" : "") + " (";
    for (const auto& f : i.fields) s += f + ",";
    s += ")";
    if (i.foreign) {
        s += " -> " + i.referencedTable + " (";
        for (const auto& f : i.referencedFields) s += f + ",";
        s += ")";
    }
    return s;
}

// The first difference between the structures, "" when there is none.
std::string structureDifference(const std::vector<TableDef>& store, std::vector<TableDef> jet) {
    jet.erase(std::remove_if(jet.begin(), jet.end(), [](const TableDef& t) { return isMSysName(t.name); }), jet.end());
    if (store.size() != jet.size())
        return "the file has " + std::to_string(jet.size()) + " tables, the store " + std::to_string(store.size());
    for (size_t i = 0; i < store.size(); ++i) {
        const TableDef& a = store[i];
        const TableDef& b = jet[i];
        if (a.name != b.name) return "table '" + b.name + "' stands where the store has '" + a.name + "'";
        if (a.fields.size() != b.fields.size()) return "table '" + a.name + "' has another number of fields";
        for (size_t k = 0; k < a.fields.size(); ++k)
            if (fieldText(a.fields[k]) != fieldText(b.fields[k]))
                return "table '" + a.name + "': field " + fieldText(b.fields[k]) + " instead of " + fieldText(a.fields[k]);
        std::vector<std::string> x, y;
        for (const auto& ix : a.indexes) x.push_back(indexText(ix));
        for (const auto& ix : b.indexes) y.push_back(indexText(ix));
        std::sort(x.begin(), x.end());
        std::sort(y.begin(), y.end());
        if (x != y) {
            std::string s = "table '" + a.name + "': the indexes read back differ (";
            for (const auto& t : y) s += t + "; ";
            return s + ")";
        }
    }
    return {};
}

void readBack(const std::string& readPath, const std::string& out, const std::string& password,
              const StoreTables& tables, const std::map<std::string, RowDigest>& digests,
              const std::function<void(const ExportProgress&)>& onProgress) {
    auto engine = makeDatabaseEngine();
    auto db = engine->openDatabase(readPath, 0, true, password.empty() ? "" : ";pwd=" + password);
    if (const std::string d = structureDifference(tables.defs, db->tableDefs()); !d.empty())
        throw cannotExport(out, "the structure read back differs: " + d);
    db->close();

    // The rows are digested while the check reads them: the file is read once.
    const auto model = JetModel::open(readPath, password);
    std::map<const JetModelTable*, RowDigest> read;
    std::vector<const JetModelTable*> written;
    for (const TableDef& t : tables.defs) {
        const JetModelTable* table = model->table(t.name);
        if (!table) throw cannotExport(out, "table '" + t.name + "' is not in the file read back");
        read[table];
        written.push_back(table);
    }
    const JetCheckReport report = checkJetFile(*model, [&](const JetModelTable& t, const std::vector<JetValue>& row) {
        if (auto it = read.find(&t); it != read.end()) it->second.add(row);
    });
    int number = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        const TableDef& t = tables.defs[i];
        const RowDigest& digest = read[written[i]];
        const auto expected = digests.find(upperText(t.name));
        if (expected == digests.end() || !(digest == expected->second))
            throw cannotExport(out, "the rows of table '" + t.name + "' read back (" + std::to_string(digest.rows()) +
                                        ") differ from those written");
        if (onProgress) onProgress(ExportProgress{"check", t.name, ++number, static_cast<int>(tables.defs.size()), digest.rows()});
    }
    if (!report.sound()) {
        std::string what = "check finds " + std::to_string(report.problems.size()) + " problem(s) in the file written";
        for (size_t i = 0; i < report.problems.size() && i < 3; ++i) what += "; " + report.problems[i].text();
        throw cannotExport(out, what);
    }
}

// The store's password: none when it opens without one (a password given
// for a store without one is ignored, as Jet does).
std::string storePassword(const std::string& store, const std::string& given) {
    try {
        jetstore::openStore(jetstore::OpenRequest{store, "", true}, JetStoreOptions{});
        return {};
    } catch (const DbError& e) {
        if (e.number() != dberr::NotValidPassword) throw;
    }
    jetstore::openStore(jetstore::OpenRequest{store, given, true}, JetStoreOptions{});
    return given;
}

}  // namespace

int jetColumnTypeOf(int daoType) {
    switch (daoType) {
    case daotype::Boolean: return coltype::Bool;
    case daotype::Byte: return coltype::Byte;
    case daotype::Integer: return coltype::Int;
    case daotype::Long: return coltype::Long;
    case daotype::Currency: return coltype::Money;
    case daotype::Single: return coltype::Float;
    case daotype::Double: return coltype::Double;
    case daotype::Date: return coltype::DateTime;
    case daotype::Binary: return coltype::Binary;
    case daotype::Text: return coltype::Text;
    case daotype::LongBinary: return coltype::Ole;
    case daotype::Memo: return coltype::Memo;
    case daotype::Guid: return coltype::RepId;
    case daotype::Decimal: return coltype::Numeric;
    default: return 0;
    }
}

void ExportStoreToJet(const std::string& storePath, const std::string& outPath, const std::string& password,
                      const std::function<void(const ExportProgress&)>& onProgress) {
    std::error_code ec;
    const DbError exists(jetstore::storeerr::DatabaseExists, "Database '" + outPath + "' already exists.");
    if (fs::exists(fs::symlink_status(outPath, ec))) throw exists;
    const std::string pw = storePassword(storePath, password);
    StoreTables tables = readStoreTables(storePath, pw);
    std::map<std::string, RowDigest> digests;
    JetWriteDatabase db = describeStore(tables, tables.handle.get(), pw, digests);

    std::unique_ptr<PrivateOutput> file;
    try {
        file = std::make_unique<PrivateOutput>(outPath, kExportMark);
    } catch (const std::runtime_error& e) {
        throw cannotExport(outPath, e.what());
    }
    JetWriteOptions options;
    if (onProgress)
        options.onTable = [&](const JetWriteProgress& p) {
            onProgress(ExportProgress{"write", p.table, p.tableNumber, p.tableCount, p.rows});
        };
    try {
        writeJetFile(file->fd(), outPath, db, options);
    } catch (const JetWriteError& e) {
        throw cannotExport(outPath, e.what());
    }
    tables.handle.reset();
    try {
        readBack(file->readPath(), outPath, pw, tables, digests, onProgress);
    } catch (const DbError& e) {
        if (e.description().rfind("The store cannot be exported", 0) == 0) throw;
        throw cannotExport(outPath, "the file written does not read back (" + e.description() + ")");
    }
    if (const int err = file->publish()) {
        if (err == EEXIST) throw exists;
        throw cannotExport(outPath, std::string("it cannot be put in place (") + std::strerror(err) + ")");
    }
}

StoreForJet describeStoreForJet(const std::string& storePath, const std::string& password) {
    // The rows are read through the store's handle as the writer asks for them.
    struct Held {
        StoreTables tables;
        std::map<std::string, RowDigest> digests;
    };
    auto held = std::make_shared<Held>();
    const std::string pw = storePassword(storePath, password);
    held->tables = readStoreTables(storePath, pw);
    StoreForJet out;
    out.db = describeStore(held->tables, held->tables.handle.get(), pw, held->digests);
    out.tables = held->tables.defs;
    out.keep = held;
    return out;
}

std::string storeStructureDifference(const std::vector<TableDef>& store, const std::string& filePath,
                                     const std::string& password) {
    auto engine = makeDatabaseEngine();
    auto db = engine->openDatabase(filePath, 0, true, password.empty() ? "" : daoConnectText(password));
    return structureDifference(store, db->tableDefs());
}

}  // namespace dex
