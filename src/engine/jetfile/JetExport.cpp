#include "JetExport.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "AnyEngine.h"
#include "JetCheck.h"
#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetModel.h"
#include "JetStore.h"
#include "PrivateOutput.h"
#include "SchemaCatalog.h"
#include "StoreErrors.h"
#include "StoreFile.h"
#include "NameText.h"

namespace dex {

using namespace jetfile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kExportMark = ".export-";
bool isSystemName(const std::string& name) { return upperText(name.substr(0, 4)) == "MSYS"; }

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
};

StoreTables readStoreTables(const std::string& store, const std::string& password) {
    StoreTables out;
    auto engine = makeJetStoreEngine();
    auto db = engine->openDatabase(store, 0, true, password.empty() ? "" : ";pwd=" + password);
    for (TableDef& t : db->tableDefs())
        if (!isSystemName(t.name)) out.defs.push_back(std::move(t));
    db->close();
    jetstore::DbHandle handle = jetstore::openStore(jetstore::OpenRequest{store, password, true}, JetStoreOptions{});
    jetstore::SchemaCatalog catalog(handle.get());
    for (jetstore::TableModel& m : catalog.tables()) out.models.emplace(upperText(m.name), std::move(m));
    return out;
}

// A 64-bit digest of a table's rows as stored (8 bytes mixed at a time), to
// hold what was written against what is read back.
class RowDigest {
public:
    void add(const std::vector<JetValue>& row) {
        for (const JetValue& v : row) {
            mix(v.index());
            std::visit([this](const auto& x) { value(x); }, v);
        }
        ++rows_;
    }
    bool operator==(const RowDigest& o) const { return rows_ == o.rows_ && hash_ == o.hash_; }
    uint64_t rows() const { return rows_; }

private:
    void mix(uint64_t w) {
        hash_ = (hash_ ^ w) * 0x9E3779B97F4A7C15ull;
        hash_ ^= hash_ >> 29;
    }
    void bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, b + i, 8);
            mix(w);
        }
        uint64_t tail = 0;
        std::memcpy(&tail, b + i, n - i);
        mix(tail ^ (static_cast<uint64_t>(n) << 56));
        mix(n);
    }
    void value(const std::monostate&) {}
    void value(bool b) { mix(b ? 1 : 2); }
    void value(int64_t n) { bytes(&n, sizeof n); }
    void value(const JetCurrency& c) { bytes(&c.units, sizeof c.units); }
    void value(float f) { bytes(&f, sizeof f); }
    void value(double d) { bytes(&d, sizeof d); }
    void value(const JetDateTime& d) { bytes(&d.days, sizeof d.days); }
    void value(const std::string& s) { bytes(s.data(), s.size()); }
    void value(const JetBytes& b) { bytes(b.bytes.data(), b.bytes.size()); }
    void value(const JetGuid& g) { bytes(g.bytes.data(), g.bytes.size()); }
    void value(const JetDecimal& d) { bytes(d.bytes.data(), d.bytes.size()); }

    uint64_t hash_ = 0xCBF29CE484222325ull;  // any start
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

std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) out += c == ']' ? std::string("]]") : std::string(1, c);
    return out + "]";
}

// The description of the store as a new Jet file; the rows come from the
// store's connection as the writer asks for them, each table's digest noted.
JetWriteDatabase describeStore(const StoreTables& tables, Connection& connection, const std::string& password,
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
        Connection* c = &connection;
        w.rows = [columns, digest, name, c](const JetRowSink& sink) {
            auto rs = c->query("SELECT * FROM " + bracketed(name));
            std::vector<JetValue> row(columns.size());
            for (; !rs->eof(); rs->moveNext()) {
                for (size_t i = 0; i < columns.size(); ++i) {
                    try {
                        const Value v = rs->field(static_cast<int>(i));
                        row[i] = emptyMeansNull(v, columns[i]) ? JetValue{} : storedValueOf(v, columns[i]);
                    } catch (const JetWriteError& e) {
                        throw JetWriteError("table '" + name + "', row " + std::to_string(digest->rows() + 1) + ", " +
                                                e.what(),
                                            name);
                    }
                    // A Yes/No column holds no Null in a Jet file.
                    if (columns[i].type == coltype::Bool && std::holds_alternative<std::monostate>(row[i])) row[i] = false;
                }
                digest->add(row);
                sink(row);
            }
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
    jet.erase(std::remove_if(jet.begin(), jet.end(), [](const TableDef& t) { return isSystemName(t.name); }), jet.end());
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

    const auto model = JetModel::open(readPath, password);
    int number = 0;
    for (const TableDef& t : tables.defs) {
        const JetModelTable* table = model->table(t.name);
        if (!table) throw cannotExport(out, "table '" + t.name + "' is not in the file read back");
        RowDigest digest;
        model->readRows(*table, [&](const RowPlace&, std::vector<JetValue>& row) { return digest.add(row), true; });
        const auto written = digests.find(upperText(t.name));
        if (written == digests.end() || !(digest == written->second))
            throw cannotExport(out, "the rows of table '" + t.name + "' read back (" + std::to_string(digest.rows()) +
                                        ") differ from those written");
        if (onProgress) onProgress(ExportProgress{"check", t.name, ++number, static_cast<int>(tables.defs.size()), digest.rows()});
    }
    const JetCheckReport report = checkJetFile(*model);
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
    const StoreTables tables = readStoreTables(storePath, pw);
    auto engine = makeJetStoreEngine();
    auto connection = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + storePath +
                                             (pw.empty() ? "" : ";Jet OLEDB:Database Password=" + pw));
    std::map<std::string, RowDigest> digests;
    JetWriteDatabase db = describeStore(tables, *connection, pw, digests);

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
    connection->close();
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

}  // namespace dex
