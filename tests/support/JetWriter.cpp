#include "JetWriter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "JetFile.h"
#include "JetTable.h"

namespace dex::testjet {

using namespace detail;
namespace ct = dex::jetfile::coltype;

namespace {

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool startsWithMSys(const std::string& name) { return lower(name.substr(0, 4)) == "msys"; }

// Catalog ids of the containers and of MSysDb, as Access numbers them.
constexpr int64_t RootId = 0x0F000000, TablesId = 0x0F000001, DatabasesId = 0x0F000002,
                  RelationshipsId = 0x0F000003, MSysDbId = 0x10000000;
constexpr int64_t SystemFlags = -2147483648LL;  // 0x80000000

// ---------------------------------------------------------------- system tables

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

std::vector<WTable> systemTables() {
    WTable objects{"MSysObjects",
                   {col("Id", ct::Long), col("ParentId", ct::Long), col("Name", ct::Text, 255), col("Type", ct::Int),
                    col("DateCreate", ct::DateTime), col("DateUpdate", ct::DateTime), col("Owner", ct::Binary, 255),
                    col("Flags", ct::Long), col("Database", ct::Memo), col("Connect", ct::Memo),
                    col("ForeignName", ct::Text, 255), col("RmtInfoShort", ct::Binary, 255),
                    col("RmtInfoLong", ct::Ole), col("Lv", ct::Ole), col("LvProp", ct::Ole), col("LvModule", ct::Ole),
                    col("LvExtra", ct::Ole)},
                   {idx("ParentIdName", {"ParentId", "Name"}, true), idx("Id", {"Id"}, true, true)},
                   {}};
    WTable aces{"MSysACEs",
                {col("ObjectId", ct::Long), col("SID", ct::Binary, 255), col("ACM", ct::Long), col("FInheritable", ct::Bool)},
                {idx("ObjectId", {"ObjectId"})},
                {}};
    WTable queries{"MSysQueries",
                   {col("ObjectId", ct::Long), col("Attribute", ct::Byte), col("Order", ct::Binary, 255),
                    col("Name1", ct::Text, 255), col("Name2", ct::Text, 255), col("Expression", ct::Memo),
                    col("Flag", ct::Int), col("LvExtra", ct::Ole)},
                   {idx("ObjectIdAttribute", {"ObjectId", "Attribute", "Order"}, true, true)},
                   {}};
    WTable relationships{"MSysRelationships",
                         {col("szRelationship", ct::Text, 255), col("grbit", ct::Long), col("ccolumn", ct::Long),
                          col("icolumn", ct::Long), col("szObject", ct::Text, 255), col("szColumn", ct::Text, 255),
                          col("szReferencedObject", ct::Text, 255), col("szReferencedColumn", ct::Text, 255)},
                         {idx("szRelationship", {"szRelationship"}), idx("szObject", {"szObject"}),
                          idx("szReferencedObject", {"szReferencedObject"})},
                         {}};
    return {objects, aces, queries, relationships};
}

// ---------------------------------------------------------------- indexes

// A logical index while the database is planned: its physical entry is its
// own (own = true, in creation order) or another planned index's.
struct PlannedIndex {
    LogicalIndex logical;
    bool own = true;
    int physicalOf = -1;  // the planned index whose physical entry this one uses
    PhysicalIndex physical;
    bool unique = false;
};

struct TableState {
    TablePlan plan;
    std::vector<PlannedIndex> indexes;  // in logical-number order
};

class Planner {
public:
    explicit Planner(const WDatabase& db) : db_(db), format_(Format::of(db.version)) {}

    std::vector<TablePlan> plan();
    std::vector<std::vector<Value>> relationshipRows;

private:
    TableState& table(const std::string& name, const std::string& context);
    int columnNumber(const TableState& t, const std::string& column, const std::string& context) const;
    void addTable(const WTable& w, bool system);
    void addIndex(TableState& t, const WIndex& w);
    void addRelationship(const WRelationship& r);
    int findUnique(const TableState& t, const std::vector<int>& columns) const;
    std::string freeReferenceName(const TableState& t) const;
    TablePlan finish(TableState& t, bool gap) const;

    const WDatabase& db_;
    Format format_;
    std::vector<TableState> tables_;
    std::set<std::string> relationshipNames_;
};

TableState& Planner::table(const std::string& name, const std::string& context) {
    for (TableState& t : tables_)
        if (lower(t.plan.name) == lower(name)) return t;
    fail(context + ": no table " + name);
}

int Planner::columnNumber(const TableState& t, const std::string& column, const std::string& context) const {
    for (const ColumnPlan& c : t.plan.columns)
        if (lower(c.def.name) == lower(column)) return c.number;
    fail(context + ": table " + t.plan.name + " has no column " + column);
}

void Planner::addTable(const WTable& w, bool system) {
    if (w.name.empty() || w.name.size() > 64) fail("table name \"" + w.name + "\" must have 1 to 64 characters");
    for (const TableState& t : tables_)
        if (lower(t.plan.name) == lower(w.name)) fail("table " + w.name + " appears twice");
    if (!system && startsWithMSys(w.name)) fail("table " + w.name + ": MSys names are the system's");
    TableState t;
    t.plan.name = w.name;
    t.plan.system = system;
    std::set<std::string> names;
    for (const WColumn& c : w.columns) {
        if (c.name.empty() || c.name.size() > 64 || !names.insert(lower(c.name)).second)
            fail("table " + w.name + ": bad or repeated column name \"" + c.name + "\"");
        t.plan.columns.push_back(ColumnPlan{c});
    }
    layoutColumns(t.plan, format_);
    t.plan.rows = w.rows;
    tables_.push_back(std::move(t));
    for (const WIndex& i : w.indexes) addIndex(tables_.back(), i);
}

void Planner::addIndex(TableState& t, const WIndex& w) {
    const std::string context = "table " + t.plan.name + " index " + w.name;
    if (w.name.empty() || w.columns.empty() || w.columns.size() > 10) fail(context + ": needs a name and 1 to 10 columns");
    if (!w.descending.empty() && w.descending.size() != w.columns.size())
        fail(context + ": one descending flag per column");
    for (const PlannedIndex& s : t.indexes) {
        if (lower(s.logical.name) == lower(w.name)) fail(context + ": the name is taken");
        if (w.primary && s.logical.type == 1) fail(context + ": a second primary key");
    }
    PlannedIndex s;
    s.logical.name = w.name;
    s.logical.type = w.primary ? 1 : 0;
    s.unique = w.primary || w.unique;
    for (size_t k = 0; k < w.columns.size(); ++k) {
        s.physical.columns.push_back(columnNumber(t, w.columns[k], context));
        s.physical.ascending.push_back(w.descending.empty() || !w.descending[k]);
    }
    s.physical.flags = (s.unique ? 0x01 : 0) | (w.primary ? 0x08 : 0) | (format_.jet3 ? 0 : 0x80);
    t.indexes.push_back(std::move(s));
}

int Planner::findUnique(const TableState& t, const std::vector<int>& columns) const {
    const std::set<int> wanted(columns.begin(), columns.end());
    int found = -1;
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        const PlannedIndex& s = t.indexes[i];
        if (!s.own || !s.unique || s.logical.type == 2) continue;
        if (std::set<int>(s.physical.columns.begin(), s.physical.columns.end()) != wanted ||
            s.physical.columns.size() != columns.size())
            continue;
        if (found < 0 || s.logical.type == 1) found = static_cast<int>(i);
    }
    return found;
}

std::string Planner::freeReferenceName(const TableState& t) const {
    for (char c = 'C'; c != '{'; c = c == 'Z' ? 'a' : static_cast<char>(c + 1)) {
        const std::string name = std::string(".r") + c;
        if (std::none_of(t.indexes.begin(), t.indexes.end(),
                         [&](const PlannedIndex& s) { return lower(s.logical.name) == lower(name); }))
            return name;
    }
    fail("table " + t.plan.name + ": too many relationships");
}

void Planner::addRelationship(const WRelationship& r) {
    const std::string name = r.name.empty() ? r.refTable + r.table : r.name;
    const std::string context = "relationship " + name;
    if (!relationshipNames_.insert(lower(name)).second) fail(context + " appears twice");
    if (r.columns.empty() || r.columns.size() != r.refColumns.size() || r.columns.size() > 10)
        fail(context + ": needs 1 to 10 column pairs");
    TableState& from = table(r.table, context);
    TableState& to = table(r.refTable, context);
    std::vector<int> fromCols, toCols;
    for (size_t i = 0; i < r.columns.size(); ++i) {
        fromCols.push_back(columnNumber(from, r.columns[i], context));
        toCols.push_back(columnNumber(to, r.refColumns[i], context));
    }
    const int target = findUnique(to, toCols);
    const bool oneToOne = findUnique(from, fromCols) >= 0;
    const int grbit = (r.enforced ? 0 : 0x2) | (r.cascadeUpdate ? 0x100 : 0) | (r.cascadeDelete ? 0x1000 : 0) |
                      (oneToOne ? 0x1 : 0);
    for (size_t i = 0; i < r.columns.size(); ++i)
        relationshipRows.push_back({name, int64_t{grbit}, static_cast<int64_t>(r.columns.size()), static_cast<int64_t>(i),
                                    from.plan.name, r.columns[i], to.plan.name, r.refColumns[i]});
    if (!r.enforced) return;
    if (target < 0) fail(context + ": table " + to.plan.name + " has no primary key or unique index over its columns");
    for (const PlannedIndex& s : from.indexes)
        if (lower(s.logical.name) == lower(name)) fail(context + ": table " + from.plan.name + " has an index of that name");

    PlannedIndex fk;
    fk.logical = {name, 0, 0, 2, 2, 0, to.plan.name, r.cascadeUpdate, r.cascadeDelete};
    fk.physical.columns = fromCols;
    fk.physical.ascending.assign(fromCols.size(), true);
    fk.physical.flags = format_.jet3 ? 0 : 0x80;
    if (db_.physicalIndexGap)
        for (size_t i = 0; i < from.indexes.size(); ++i)
            if (from.indexes[i].own && from.indexes[i].physical.columns == fk.physical.columns &&
                from.indexes[i].physical.ascending == fk.physical.ascending) {
                fk.own = false;
                fk.physicalOf = static_cast<int>(i);
                break;
            }
    const int fkNumber = static_cast<int>(from.indexes.size());
    from.indexes.push_back(fk);

    PlannedIndex ref;
    ref.logical = {freeReferenceName(to), 0, 0, 2, 1, fkNumber, from.plan.name, r.cascadeUpdate, r.cascadeDelete};
    ref.own = false;
    ref.physicalOf = target;
    from.indexes[static_cast<size_t>(fkNumber)].logical.relIndexNumber = static_cast<int>(to.indexes.size());
    to.indexes.push_back(ref);
}

// Numbers the logical indexes by their creation and orders the entries as
// stored: physical entries in creation order (reversed with the gap option),
// logical entries by number (by name with the gap option).
TablePlan Planner::finish(TableState& t, bool gap) const {
    TablePlan plan = std::move(t.plan);
    std::vector<int> physicalOfIndex(t.indexes.size(), -1);
    std::vector<const PlannedIndex*> owners;
    for (size_t i = 0; i < t.indexes.size(); ++i)
        if (t.indexes[i].own) {
            physicalOfIndex[i] = static_cast<int>(owners.size());
            owners.push_back(&t.indexes[i]);
        }
    const int count = static_cast<int>(owners.size());
    auto stored = [&](int creation) { return gap ? count - 1 - creation : creation; };
    plan.physical.resize(owners.size());
    for (int k = 0; k < count; ++k) plan.physical[static_cast<size_t>(stored(k))] = owners[static_cast<size_t>(k)]->physical;
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        LogicalIndex l = t.indexes[i].logical;
        l.number = static_cast<int>(i);
        const int creation = t.indexes[i].own ? physicalOfIndex[i] : physicalOfIndex[static_cast<size_t>(t.indexes[i].physicalOf)];
        l.physical = stored(creation);
        plan.logical.push_back(l);
    }
    if (gap)
        std::stable_sort(plan.logical.begin(), plan.logical.end(),
                         [](const LogicalIndex& a, const LogicalIndex& b) { return lower(a.name) < lower(b.name); });
    return plan;
}

std::vector<TablePlan> Planner::plan() {
    if (db_.version != 0 && db_.version != 1) fail("version must be 0 (Jet 3) or 1 (Jet 4)");
    for (const WTable& w : systemTables()) addTable(w, true);
    for (const WTable& w : db_.tables) addTable(w, false);
    for (const WRelationship& r : db_.relationships) addRelationship(r);
    std::vector<TablePlan> plans;
    for (TableState& t : tables_) plans.push_back(finish(t, db_.physicalIndexGap && !t.plan.system));
    return plans;
}

// ---------------------------------------------------------------- catalog

// The LvProp blob of a table: its columns' DefaultValue, Required and
// AllowZeroLength, in the layout libmdb's mdb_kkd_to_props reads.
Bytes propertyBlob(const TablePlan& t, const TextCodec& codec) {
    const std::vector<std::string> names = {"DefaultValue", "Required", "AllowZeroLength"};
    Bytes blob = codec.jet3 ? Bytes("KKD\0", 4) : Bytes("MR2\0", 4);
    Bytes chunk;
    for (const std::string& n : names) {
        const Bytes encoded = codec.plain(n);
        put16(chunk, static_cast<unsigned>(encoded.size()));
        chunk += encoded;
    }
    auto addChunk = [&](unsigned type, const Bytes& body) {
        put32(blob, static_cast<uint32_t>(body.size() + 6));
        put16(blob, type);
        blob += body;
    };
    addChunk(0x80, chunk);
    auto property = [](Bytes& b, unsigned type, unsigned nameIndex, const Bytes& value) {
        put16(b, static_cast<unsigned>(8 + value.size()));
        put8(b, 1);  // a property of the table's design
        put8(b, type);
        put16(b, nameIndex);
        put16(b, static_cast<unsigned>(value.size()));
        b += value;
    };
    for (const ColumnPlan& c : t.columns) {
        const Bytes name = codec.plain(c.def.name);
        Bytes body;
        put32(body, static_cast<uint32_t>(6 + name.size()));
        put16(body, static_cast<unsigned>(name.size()));
        body += name;
        if (!c.def.defaultValue.empty()) property(body, ct::Memo, 0, codec.plain(c.def.defaultValue));
        property(body, ct::Bool, 1, Bytes(1, c.def.required ? '\x01' : '\0'));
        if (c.def.type == ct::Text || c.def.type == ct::Memo)
            property(body, ct::Bool, 2, Bytes(1, c.def.allowZeroLength ? '\x01' : '\0'));
        addChunk(0x01, body);
    }
    return blob;
}

std::vector<Value> catalogRow(int64_t id, int64_t parent, const std::string& name, int type, int64_t flags,
                              const std::string& created, Value props = {}) {
    std::vector<Value> row(17);
    row[0] = id;
    row[1] = parent;
    row[2] = name;
    row[3] = int64_t{type};
    row[4] = created;
    row[5] = created;
    row[7] = flags;
    row[14] = std::move(props);
    return row;
}

std::vector<std::vector<Value>> catalogRows(const std::vector<TablePlan>& plans, const WDatabase& db,
                                            const TextCodec& codec) {
    const std::string& at = db.created;
    std::vector<std::vector<Value>> rows = {
        catalogRow(TablesId, RootId, "Tables", 3, SystemFlags, at),
        catalogRow(DatabasesId, RootId, "Databases", 3, SystemFlags, at),
        catalogRow(RelationshipsId, RootId, "Relationships", 3, SystemFlags, at),
        catalogRow(MSysDbId, DatabasesId, "MSysDb", 2, SystemFlags, at)};
    for (const TablePlan& t : plans)
        if (t.system) rows.push_back(catalogRow(t.tdefPages.front(), TablesId, t.name, 1, SystemFlags, at));
    int64_t next = -2147483648LL;
    const std::vector<std::string> containers = db.version == 0
        ? std::vector<std::string>{"Forms", "Reports", "Scripts", "Modules", "SysRel"}
        : std::vector<std::string>{"Forms", "Reports", "Scripts", "Modules", "SysRel", "DataAccessPages"};
    for (const std::string& c : containers) rows.push_back(catalogRow(next++, RootId, c, 3, 0, at));
    for (const TablePlan& t : plans)
        if (!t.system) rows.push_back(catalogRow(t.tdefPages.front(), TablesId, t.name, 1, 0, at, propertyBlob(t, codec)));
    std::set<std::string> seen;
    for (const WRelationship& r : db.relationships) {
        const std::string name = r.name.empty() ? r.refTable + r.table : r.name;
        if (seen.insert(lower(name)).second) rows.push_back(catalogRow(next++, RelationshipsId, name, 8, 0, at));
    }
    return rows;
}

// ---------------------------------------------------------------- page 0

int sortOrderOf(int codePage) {
    switch (codePage) {
    case 949: return 0x412;
    case 932: return 0x411;
    case 936: return 0x804;
    case 950: return 0x404;
    default: return 0x409;
    }
}

void writeHeader(Bytes& p, const WDatabase& db, const TextCodec& codec) {
    const bool jet3 = db.version == 0;
    const Bytes magic("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    p.replace(0, magic.size(), magic);
    p[0x14] = static_cast<char>(db.version);
    static const uint8_t fixedBlock[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    p.replace(0x18, 24, reinterpret_cast<const char*>(fixedBlock), 24);
    set16(p, 0x3C, static_cast<unsigned>(db.codePage));
    const int sortOrder = sortOrderOf(db.codePage);
    Bytes password = codec.plain(db.password);
    if (jet3) {
        set16(p, 0x3A, static_cast<unsigned>(sortOrder));
        if (password.size() > 20) fail("a Jet 3 password has at most 20 bytes");
        password.resize(20, '\0');
    } else {
        set32(p, 0x6E, static_cast<uint32_t>(sortOrder));
        const double created = jetDate(db.created);
        Bytes date;
        putDouble(date, created);
        p.replace(0x72, 8, date);
        if (password.size() > 40) fail("a Jet 4 password has at most 20 characters");
        password.resize(40, '\0');
        const auto key = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
        for (size_t i = 0; i < password.size(); ++i) password[i] = static_cast<char>(password[i] ^ ((key >> (8 * (i % 4))) & 0xFF));
        p.replace(0x98, 8, Bytes("\x54\x06\x00\x00" "4.0\x00", 8));
    }
    p.replace(0x42, password.size(), password);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, reinterpret_cast<uint8_t*>(p.data()) + 0x18, jet3 ? 126 : 128);
}

}  // namespace

void writeJetFile(const std::string& path, const WDatabase& db) {
    Planner planner(db);
    std::vector<TablePlan> plans = planner.plan();
    const Format format = Format::of(db.version);
    const TextCodec codec{format.jet3, db.codePage};
    jetDate(db.created);  // a bad date fails before anything is written

    PageFile file(format);
    file.allocate();  // 0: the header
    file.allocate();  // 1: the file's usage map
    std::map<std::string, int> pageOf;
    for (TablePlan& t : plans) {  // MSysObjects first: its definition must be page 2
        const size_t size = tableDefSize(t, format, codec);
        const size_t ps = static_cast<size_t>(format.pageSize);
        const size_t count = size <= ps ? 1 : 1 + (size - ps + ps - 9) / (ps - 8);
        for (size_t i = 0; i < count; ++i) t.tdefPages.push_back(file.allocate());
        pageOf[lower(t.name)] = t.tdefPages.front();
    }
    for (TablePlan& t : plans) {
        if (t.name == "MSysRelationships") t.rows = planner.relationshipRows;
        if (t.name == "MSysObjects") t.rows = catalogRows(plans, db, codec);
    }

    UsageMaps maps(file);
    TableWriter writer{file, maps, codec, sortOrderOf(db.codePage),
                       [&](const std::string& name) { return pageOf.at(lower(name)); }};
    for (const TablePlan& t : plans) writer.write(t);
    writeGlobalMap(file);
    writeHeader(file.page(0), db, codec);
    file.save(path);
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

}  // namespace dex::testjet
