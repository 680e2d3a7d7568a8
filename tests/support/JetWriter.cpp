#include "JetWriter.h"

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetValues.h"

namespace dex::test {

namespace ct = dex::jetfile::coltype;
using dex::jetfile::JetValue;

namespace {

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool startsWithMSys(const std::string& name) { return lower(name.substr(0, 4)) == "msys"; }

WColumn col(const std::string& name, int type, int size = 0) {
    WColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

WIndex idx(const std::string& name, std::vector<std::string> columns, bool unique = false, bool primary = false) {
    WIndex i;
    i.name = name;
    i.columns = std::move(columns);
    i.unique = unique;
    i.primary = primary;
    return i;
}

// The tests' dates: "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or with seconds, also with 'T'.
Value dateText(const Value& v) {
    const auto* s = std::get_if<std::string>(&v);
    if (!s) return v;
    std::string t = *s;
    if (t.size() > 10 && t[10] == 'T') t[10] = ' ';
    if (t.size() == 16) t += ":00";
    return t;
}

jetfile::JetWriteColumn columnOf(const WColumn& w) {
    jetfile::JetWriteColumn c;
    c.name = w.name;
    c.type = w.type;
    c.size = w.size;
    c.autonumber = w.autonumber;
    c.defaultValue = w.defaultValue;
    c.required = w.required;
    c.allowZeroLength = w.allowZeroLength;
    c.precision = w.precision;
    c.scale = w.scale;
    return c;
}

jetfile::JetWriteTable tableOf(const WTable& w) {
    jetfile::JetWriteTable t;
    t.name = w.name;
    for (const WColumn& c : w.columns) t.columns.push_back(columnOf(c));
    for (const WIndex& i : w.indexes) {
        jetfile::JetWriteIndex x;
        x.name = i.name;
        x.primary = i.primary;
        x.unique = i.unique;
        x.columns = i.columns;
        x.descending = i.descending;
        t.indexes.push_back(x);
    }
    const std::vector<jetfile::JetWriteColumn> columns = t.columns;
    const std::vector<std::vector<Value>>* rows = &w.rows;
    const std::string name = w.name;
    t.rows = [columns, rows, name](const jetfile::JetRowSink& sink) {
        std::vector<JetValue> row;
        for (size_t r = 0; r < rows->size(); ++r) {
            const auto& values = (*rows)[r];
            row.assign(values.size(), JetValue{});
            for (size_t i = 0; i < values.size() && i < columns.size(); ++i) {
                try {
                    const Value v = columns[i].type == ct::DateTime ? dateText(values[i]) : values[i];
                    row[i] = jetfile::storedValueOf(v, columns[i]);
                } catch (const std::runtime_error& e) {
                    fail("table '" + name + "', row " + std::to_string(r + 1) + ", " + e.what());
                }
            }
            sink(row);
        }
    };
    return t;
}

}  // namespace

void writeJetFile(const std::string& path, const WDatabase& db) {
    jetfile::JetWriteDatabase d;
    d.version = db.version;
    d.codePage = db.codePage;
    d.password = db.password;
    d.physicalIndexGap = db.physicalIndexGap;
    const auto created = jetfile::parseJetDateText(std::get<std::string>(dateText(db.created)));
    if (!created) fail("not a date \"" + db.created + "\"");
    d.created = *created;
    for (const WTable& t : db.tables) d.tables.push_back(tableOf(t));
    for (const WRelationship& r : db.relationships)
        d.relationships.push_back(jetfile::JetWriteRelationship{r.name, r.table, r.refTable, r.columns, r.refColumns,
                                                                r.enforced, r.cascadeUpdate, r.cascadeDelete, {}, {}});
    jetfile::JetWriteOptions options;
    // Jet 3 text keys sort in an order whose codes are not known here.
    options.emptyTreesForUnkeyedIndexes = db.version == 0;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    jetfile::writeJetFile(path, d, options);
}

// ---------------------------------------------------------------- from a store's structure

namespace {

int jetType(const FieldDef& f, const std::string& table) {
    switch (f.type) {
    case daotype::Boolean: return ct::Bool;
    case daotype::Byte: return ct::Byte;
    case daotype::Integer: return ct::Int;
    case daotype::Long: return ct::Long;
    case daotype::Currency: return ct::Money;
    case daotype::Single: return ct::Float;
    case daotype::Double: return ct::Double;
    case daotype::Date: return ct::DateTime;
    case daotype::Binary: return ct::Binary;
    case daotype::Text: return ct::Text;
    case daotype::LongBinary: return ct::Ole;
    case daotype::Memo: return ct::Memo;
    case daotype::Guid: return ct::RepId;
    case daotype::Decimal: return ct::Numeric;
    default: fail("table " + table + " field " + f.name + ": DAO type " + std::to_string(f.type) + " has no Jet column");
    }
}

}  // namespace

WDatabase fromTableDefs(const std::vector<TableDef>& tables,
                        const std::function<std::vector<std::vector<Value>>(const std::string& table)>& rowsOf) {
    WDatabase db;
    for (const TableDef& t : tables) {
        if (startsWithMSys(t.name)) continue;
        WTable w;
        w.name = t.name;
        for (const FieldDef& f : t.fields) {
            WColumn c = col(f.name, jetType(f, t.name));
            if (c.type == ct::Text || c.type == ct::Binary) c.size = f.size;
            c.defaultValue = f.defaultValue;
            c.required = f.required;
            c.allowZeroLength = f.allowZeroLength;
            w.columns.push_back(c);
        }
        for (const IndexDef& i : t.indexes) {
            if (i.foreign) {
                WRelationship r;
                r.name = i.name;
                r.table = t.name;
                r.refTable = i.referencedTable;
                r.columns = i.fields;
                r.refColumns = i.referencedFields;
                db.relationships.push_back(r);
            } else {
                w.indexes.push_back(idx(i.name, i.fields, i.unique, i.primary));
            }
        }
        if (rowsOf) w.rows = rowsOf(t.name);
        db.tables.push_back(std::move(w));
    }
    return db;
}

}  // namespace dex::test
