#include "JetFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "IndexKey.h"
#include "JetFile.h"
#include "JetHeader.h"
#include "JetWriteTable.h"

namespace dex::jetfile {

using namespace jetwrite;
namespace ct = coltype;

namespace {

[[noreturn]] void fail(const std::string& message, const std::string& table = {}) {
    throw JetWriteError(message, table);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool startsWithMSys(const std::string& name) { return lower(name.substr(0, 4)) == "msys"; }

// Catalogue ids of the containers and of MSysDb, as Access numbers them;
// other objects that are not tables count up from kFirstObjectId.
constexpr int64_t kRootId = 0x0F000000, kTablesId = 0x0F000001, kDatabasesId = 0x0F000002,
                  kRelationshipsId = 0x0F000003, kMSysDbId = 0x10000000;
constexpr int64_t kFirstObjectId = -2147483648LL;  // 0x80000000 as a Long
constexpr int64_t kSystemFlags = -2147483648LL;    // 0x80000000
constexpr int kContainerType = 3, kDatabaseType = 2, kTableType = 1, kRelationshipType = 8;

// The security ids of a new database's permissions, as Access writes them
// in an empty Access 2000 database: the engine (owner of the catalogue's
// own objects), the Admin user (owner of every other object), the Admins
// group, the Users group, and the database's creator (a 44-byte id).
const std::string kEngineSid("\xA7\x31", 2), kAdminSid("\xA6\x33", 2), kAdminsSid("\xA7\x33", 2),
    kUsersSid("\xA7\x36", 2);
const std::string kCreatorSid =
    "\xA4\xF7\x46\x67\xE1\x71\x67\xEE\xD7\xB1\x0F\x8F\xFE\xEF\x76\xFF\xAA\xE3\x66\x51\x05\xBD\xD2\x9D"
    "\x4D\x4B\x39\x52\xD9\xFB\x9A\x07\x66\x0C\x5B\xD2\xD8\x7D\xDD\xB3\x1E\x65\x90\x19";

// ---------------------------------------------------------------- the catalogue's own tables

JetWriteColumn col(const std::string& name, int type, int size = 0, std::optional<uint8_t> flags = {}) {
    JetWriteColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.flags = flags;
    return c;
}

JetWriteIndex idx(const std::string& name, std::vector<std::string> columns, bool primary, uint8_t physicalFlags) {
    JetWriteIndex i;
    i.name = name;
    i.columns = std::move(columns);
    i.primary = primary;
    i.unique = (physicalFlags & 0x01) != 0;
    i.physicalFlags = physicalFlags;
    return i;
}

// The four tables of the catalogue as an Access-made Jet 4 file defines
// them: columns in this order (their numbers), binary columns 510 bytes
// long, the security ids' columns with descriptor flags 0x32, the indexes with the physical flags Access
// gives them (MSysObjects: "Id" the primary key and the unique
// "ParentIdName", 0x81; MSysACEs "ObjectId" 0x88; MSysQueries'
// "ObjectIdAttribute" the primary key, 0x81; MSysRelationships' three
// 0x82, ignoring Nulls). MSysQueries.LvExtra is a Long.
std::vector<JetWriteTable> catalogTables(bool jet3) {
    const uint8_t sid = 0x32, j4 = jet3 ? 0x00 : 0x80;
    JetWriteTable objects{"MSysObjects",
                          {col("Id", ct::Long), col("ParentId", ct::Long), col("Name", ct::Text, 255), col("Type", ct::Int),
                           col("DateCreate", ct::DateTime), col("DateUpdate", ct::DateTime),
                           col("Owner", ct::Binary, 510, sid), col("Flags", ct::Long), col("Database", ct::Memo),
                           col("Connect", ct::Memo), col("ForeignName", ct::Text, 255), col("RmtInfoShort", ct::Binary, 510),
                           col("RmtInfoLong", ct::Ole), col("Lv", ct::Ole), col("LvProp", ct::Ole), col("LvModule", ct::Ole),
                           col("LvExtra", ct::Ole)},
                          {idx("ParentIdName", {"ParentId", "Name"}, false, 0x01 | j4), idx("Id", {"Id"}, true, 0x01 | j4)}};
    JetWriteTable aces{"MSysACEs",
                       {col("ObjectId", ct::Long), col("SID", ct::Binary, 510, sid), col("ACM", ct::Long),
                        col("FInheritable", ct::Bool)},
                       {idx("ObjectId", {"ObjectId"}, false, 0x08 | j4)}};
    JetWriteTable queries{"MSysQueries",
                          {col("ObjectId", ct::Long), col("Attribute", ct::Byte), col("Order", ct::Binary, 510),
                           col("Name1", ct::Text, 255), col("Name2", ct::Text, 255), col("Expression", ct::Memo),
                           col("Flag", ct::Int), col("LvExtra", ct::Long)},
                          {idx("ObjectIdAttribute", {"ObjectId", "Attribute", "Order"}, true, 0x01 | j4)}};
    JetWriteTable relationships{"MSysRelationships",
                                {col("szRelationship", ct::Text, 255), col("grbit", ct::Long), col("ccolumn", ct::Long),
                                 col("icolumn", ct::Long), col("szObject", ct::Text, 255), col("szColumn", ct::Text, 255),
                                 col("szReferencedObject", ct::Text, 255), col("szReferencedColumn", ct::Text, 255)},
                                {idx("szRelationship", {"szRelationship"}, false, 0x02 | j4),
                                 idx("szObject", {"szObject"}, false, 0x02 | j4),
                                 idx("szReferencedObject", {"szReferencedObject"}, false, 0x02 | j4)}};
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
    Planner(const JetWriteDatabase& db, const Format& format, int sortOrder)
        : db_(db), format_(format), sortOrder_(sortOrder) {}

    std::vector<TablePlan> plan();
    // MSysRelationships rows without the names resolved: one per column pair.
    std::vector<std::vector<JetValue>> relationshipRows;
    std::vector<std::string> relationshipNames;  // in the order of db.relationships

private:
    TableState& table(const std::string& name, const std::string& context);
    int columnNumber(const TableState& t, const std::string& column, const std::string& context) const;
    void addTable(const JetWriteTable& w, bool catalogTable);
    void addIndex(TableState& t, const JetWriteIndex& w, int position);
    void addRelationship(const JetWriteRelationship& r);
    int findUnique(const TableState& t, const std::vector<int>& columns) const;
    std::string freeReferenceName(const TableState& t) const;
    TablePlan finish(TableState& t, bool gap) const;

    const JetWriteDatabase& db_;
    Format format_;
    int sortOrder_;
    std::vector<TableState> tables_;
    std::set<std::string> relationshipNames_;
    std::vector<JetWriteTable> catalog_;
};

TableState& Planner::table(const std::string& name, const std::string& context) {
    for (TableState& t : tables_)
        if (lower(t.plan.name) == lower(name)) return t;
    fail(context + ": there is no table '" + name + "'");
}

int Planner::columnNumber(const TableState& t, const std::string& column, const std::string& context) const {
    for (const ColumnPlan& c : t.plan.columns)
        if (lower(c.def.name) == lower(column)) return c.number;
    fail(context + ": table '" + t.plan.name + "' has no column '" + column + "'", t.plan.name);
}

void Planner::addTable(const JetWriteTable& w, bool catalogTable) {
    if (w.name.empty() || w.name.size() > 64) fail("the table name '" + w.name + "' must have 1 to 64 characters", w.name);
    for (const TableState& t : tables_)
        if (lower(t.plan.name) == lower(w.name)) fail("table '" + w.name + "' appears twice", w.name);
    if (!catalogTable && !w.system && w.catalog.empty() && startsWithMSys(w.name))
        fail("table '" + w.name + "': names starting with MSys are the system's", w.name);
    TableState t;
    t.plan.name = w.name;
    t.plan.system = w.system || catalogTable;
    t.plan.catalogTable = catalogTable;
    t.plan.rows = w.rows;
    t.plan.carriedKey = w.carriedKey;
    t.plan.keysByValue = db_.keysByValue;
    t.plan.source = catalogTable ? nullptr : &w;
    std::set<std::string> names;
    for (const JetWriteColumn& c : w.columns) {
        if (c.name.empty() || c.name.size() > 64 || !names.insert(lower(c.name)).second)
            fail("table '" + w.name + "': the column name '" + c.name + "' is empty, too long or repeated", w.name);
        t.plan.columns.push_back(ColumnPlan{c});
    }
    try {
        layoutColumns(t.plan, format_, sortOrder_);
    } catch (const JetWriteError&) {
        throw;
    } catch (const std::runtime_error& e) {
        fail(e.what(), w.name);
    }
    tables_.push_back(std::move(t));
    for (size_t i = 0; i < w.indexes.size(); ++i) addIndex(tables_.back(), w.indexes[i], static_cast<int>(i));
}

void Planner::addIndex(TableState& t, const JetWriteIndex& w, int position) {
    const std::string context = "table '" + t.plan.name + "', index '" + w.name + "'";
    if (w.name.empty() || w.columns.empty() || w.columns.size() > 10)
        fail(context + ": an index needs a name and 1 to 10 columns", t.plan.name);
    if (!w.descending.empty() && w.descending.size() != w.columns.size())
        fail(context + ": one descending flag per column", t.plan.name);
    for (const PlannedIndex& s : t.indexes) {
        if (lower(s.logical.name) == lower(w.name)) fail(context + ": the name is taken", t.plan.name);
        if (w.primary && s.logical.type == 1) fail(context + ": a second primary key", t.plan.name);
    }
    PlannedIndex s;
    s.logical.name = w.name;
    s.logical.type = w.primary ? 1 : 0;
    s.unique = w.primary || w.unique;
    for (size_t k = 0; k < w.columns.size(); ++k) {
        s.physical.columns.push_back(columnNumber(t, w.columns[k], context));
        s.physical.ascending.push_back(w.descending.empty() || !w.descending[k]);
    }
    s.physical.flags = w.physicalFlags ? *w.physicalFlags
                                       : (s.unique ? 0x01 : 0) | (w.ignoreNulls ? 0x02 : 0) |
                                             (w.primary || w.required ? 0x08 : 0) | (format_.jet3 ? 0 : 0x80);
    if (w.physicalFlags) s.unique = s.unique || (*w.physicalFlags & 0x01) != 0;
    s.physical.name = w.name;
    s.physical.source = position;
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
    fail("table '" + t.plan.name + "': too many relationships refer to it", t.plan.name);
}

// MSysRelationships.grbit: 0x1 one to one, 0x2 not enforced, 0x100 cascade
// updates, 0x1000 cascade deletes.
void Planner::addRelationship(const JetWriteRelationship& r) {
    const std::string name = r.name.empty() ? r.refTable + r.table : r.name;
    const std::string context = "relationship '" + name + "'";
    if (!relationshipNames_.insert(lower(name)).second) fail(context + " appears twice");
    relationshipNames.push_back(name);
    if (r.columns.empty() || r.columns.size() != r.refColumns.size() || r.columns.size() > 10)
        fail(context + ": a relationship needs 1 to 10 column pairs");
    TableState& from = table(r.table, context);
    TableState& to = table(r.refTable, context);
    std::vector<int> fromCols, toCols;
    for (size_t i = 0; i < r.columns.size(); ++i) {
        fromCols.push_back(columnNumber(from, r.columns[i], context));
        toCols.push_back(columnNumber(to, r.refColumns[i], context));
    }
    const int target = findUnique(to, toCols);
    const bool oneToOne = findUnique(from, fromCols) >= 0;
    const int64_t grbit = r.grbit ? *r.grbit
                                  : (r.enforced ? 0 : 0x2) | (r.cascadeUpdate ? 0x100 : 0) | (r.cascadeDelete ? 0x1000 : 0) |
                                        (oneToOne ? 0x1 : 0);
    for (size_t i = 0; i < r.columns.size(); ++i)
        relationshipRows.push_back({name, grbit, static_cast<int64_t>(r.columns.size()), static_cast<int64_t>(i),
                                    from.plan.name, r.columns[i], to.plan.name, r.refColumns[i]});
    if (!r.enforced) return;
    if (target < 0)
        fail(context + ": table '" + to.plan.name + "' has no primary key or unique index over its columns", to.plan.name);
    for (const PlannedIndex& s : from.indexes)
        if (lower(s.logical.name) == lower(name))
            fail(context + ": table '" + from.plan.name + "' has an index of that name", from.plan.name);

    PlannedIndex fk;
    fk.logical = {name, 0, 0, 2, 2, 0, to.plan.name, r.cascadeUpdate, r.cascadeDelete};
    fk.physical.columns = fromCols;
    fk.physical.ascending.assign(fromCols.size(), true);
    fk.physical.flags = (oneToOne ? 0x01 : 0) | (format_.jet3 ? 0 : 0x80);
    fk.physical.name = name;
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
// logical entries by number (by name with the gap option, as Access keeps
// them).
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
    for (int k = 0; k < count; ++k)
        plan.physical[static_cast<size_t>(stored(k))] = owners[static_cast<size_t>(k)]->physical;
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        LogicalIndex l = t.indexes[i].logical;
        l.number = static_cast<int>(i);
        const int creation =
            t.indexes[i].own ? physicalOfIndex[i] : physicalOfIndex[static_cast<size_t>(t.indexes[i].physicalOf)];
        l.physical = stored(creation);
        plan.logical.push_back(l);
    }
    if (gap)
        std::stable_sort(plan.logical.begin(), plan.logical.end(),
                         [](const LogicalIndex& a, const LogicalIndex& b) { return lower(a.name) < lower(b.name); });
    return plan;
}

std::vector<TablePlan> Planner::plan() {
    if (db_.version != 0 && db_.version != 1) fail("the version must be 0 (Jet 3) or 1 (Jet 4)");
    catalog_ = catalogTables(format_.jet3);
    for (const JetWriteTable& w : catalog_) addTable(w, true);
    for (const JetWriteTable& w : db_.tables) {
        for (const JetWriteTable& c : catalog_)
            if (lower(c.name) == lower(w.name)) fail("table '" + w.name + "' is the catalogue's own", w.name);
        addTable(w, false);
    }
    for (const JetWriteRelationship& r : db_.relationships) addRelationship(r);
    std::vector<TablePlan> plans;
    for (TableState& t : tables_) plans.push_back(finish(t, db_.physicalIndexGap && !t.plan.system));
    return plans;
}

// ---------------------------------------------------------------- catalogue rows

// The LvProp blob of a new table: its columns' DefaultValue, Required and
// AllowZeroLength, in the layout of PropertyBlob.h.
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

// MSysObjects' columns, in their numbers' order.
enum CatalogColumn { cId, cParentId, cName, cType, cDateCreate, cDateUpdate, cOwner, cFlags, cCatalogColumns = 17 };

using Row = std::vector<JetValue>;

// A carried row laid out on a table's columns (by name, without regard to
// case); columns it does not name stay Null.
Row rowFromNamed(const TablePlan& t, const JetNamedValues& values) {
    Row row(t.columns.size());
    for (const auto& [name, value] : values) {
        const std::string wanted = lower(name);
        for (const ColumnPlan& c : t.columns)
            if (lower(c.def.name) == wanted) row[static_cast<size_t>(c.number)] = value;
    }
    return row;
}

Row catalogRow(int64_t id, int64_t parent, const std::string& name, int type, int64_t flags, double created,
               const std::string& owner, JetValue props = {}) {
    Row row(cCatalogColumns);
    row[cId] = id;
    row[cParentId] = parent;
    row[cName] = name;
    row[cType] = int64_t{type};
    row[cDateCreate] = JetDateTime{created};
    row[cDateUpdate] = JetDateTime{created};
    row[cOwner] = JetBytes{owner};
    row[cFlags] = flags;
    row[14] = std::move(props);
    return row;
}

// Ids handed to catalogue objects that are not tables.
class ObjectIds {
public:
    explicit ObjectIds(const JetWriteDatabase& db) {
        auto note = [&](const JetNamedValues& values) {
            for (const auto& [name, v] : values)
                if (lower(name) == "id")
                    if (const auto* n = std::get_if<int64_t>(&v); n && *n < 0) next_ = std::max(next_, *n + 1);
        };
        for (const auto& o : db.objects) note(o);
        for (const auto& r : db.relationships) note(r.catalog);
    }
    int64_t next() { return next_++; }

private:
    int64_t next_ = kFirstObjectId;
};

struct Catalogue {
    std::vector<Row> objects, aces;
};

void grant(Catalogue& c, int64_t id, const std::vector<std::tuple<const std::string*, int64_t, bool>>& grants) {
    for (const auto& [sid, acm, inheritable] : grants) c.aces.push_back({id, JetBytes{*sid}, acm, inheritable});
}

// A new table's or relationship's permissions, as Access grants them.
void grantTable(Catalogue& c, int64_t id) {
    grant(c, id, {{&kAdminSid, 1048319, false}, {&kCreatorSid, 1048319, false}, {&kAdminsSid, 1048319, false}});
}
void grantRelationship(Catalogue& c, int64_t id) {
    grant(c, id, {{&kCreatorSid, 1048575, false}, {&kAdminSid, 983294, false}, {&kAdminsSid, 1048575, false}});
}

// A new database's containers, MSysDb and the catalogue's own tables, with
// their permissions as an empty Access 2000 database has them.
void newDatabaseObjects(Catalogue& c, const std::vector<TablePlan>& plans, double created, bool jet3, ObjectIds& ids) {
    c.objects.push_back(catalogRow(kTablesId, kRootId, "Tables", kContainerType, kSystemFlags, created, kEngineSid));
    c.objects.push_back(catalogRow(kDatabasesId, kRootId, "Databases", kContainerType, kSystemFlags, created, kEngineSid));
    c.objects.push_back(
        catalogRow(kRelationshipsId, kRootId, "Relationships", kContainerType, kSystemFlags, created, kEngineSid));
    c.objects.push_back(catalogRow(kMSysDbId, kDatabasesId, "MSysDb", kDatabaseType, kSystemFlags, created, kAdminSid));
    grant(c, kTablesId,
          {{&kUsersSid, 983294, true}, {&kAdminSid, 1048319, true}, {&kCreatorSid, 1048319, true}, {&kAdminsSid, 1048319, true}});
    grant(c, kDatabasesId, {{&kAdminSid, 393216, false}});
    grant(c, kRelationshipsId,
          {{&kUsersSid, 983294, true}, {&kAdminSid, 393217, false}, {&kCreatorSid, 1048575, true}, {&kAdminsSid, 1048575, true}});
    grant(c, kMSysDbId, {{&kAdminSid, 393230, false}, {&kAdminsSid, 14, false}, {&kCreatorSid, 393230, false}});
    // The catalogue's tables, in the order MSysObjects, MSysACEs, MSysQueries, MSysRelationships.
    const std::vector<std::vector<std::tuple<const std::string*, int64_t, bool>>> tableGrants = {
        {{&kAdminSid, 393216, false}, {&kCreatorSid, 393300, false}, {&kAdminsSid, 20, false}},
        {{&kAdminSid, 393216, false}, {&kCreatorSid, 393300, false}},
        {{&kAdminSid, 393216, false}, {&kCreatorSid, 393236, false}, {&kAdminsSid, 20, false}},
        {{&kAdminSid, 917504, false}, {&kCreatorSid, 393236, false}, {&kAdminsSid, 20, false}}};
    size_t n = 0;
    for (const TablePlan& t : plans)
        if (t.catalogTable) {
            const int64_t id = t.tdefPages.front();
            c.objects.push_back(catalogRow(id, kTablesId, t.name, kTableType, kSystemFlags, created, kEngineSid));
            grant(c, id, tableGrants[n++]);
        }
    const std::vector<std::string> containers =
        jet3 ? std::vector<std::string>{"Forms", "Reports", "Scripts", "Modules", "SysRel"}
             : std::vector<std::string>{"DataAccessPages", "Forms", "Modules", "Reports", "Scripts", "SysRel"};
    for (const std::string& name : containers) {
        const int64_t id = ids.next();
        c.objects.push_back(catalogRow(id, kRootId, name, kContainerType, 0, created, kAdminSid));
        grant(c, id,
              {{&kAdminsSid, 1048575, true}, {&kCreatorSid, 1048575, true}, {&kAdminSid, 1048575, true}, {&kUsersSid, 1048575, true}});
    }
}

// Replaces the table ids that a carried value names.
void remap(JetValue& v, const std::map<int64_t, int64_t>& ids) {
    if (auto* n = std::get_if<int64_t>(&v))
        if (auto it = ids.find(*n); it != ids.end()) *n = it->second;
}

std::vector<size_t> idPositions(const TablePlan& t, const JetWriteDatabase& db) {
    std::vector<size_t> out;
    for (const auto& [table, column] : db.idColumns)
        if (lower(table) == lower(t.name))
            for (const ColumnPlan& c : t.columns)
                if (lower(c.def.name) == lower(column)) out.push_back(static_cast<size_t>(c.number));
    return out;
}

Catalogue buildCatalogue(const std::vector<TablePlan>& plans, const JetWriteDatabase& db, const Planner& planner,
                         const TextCodec& codec, double created, const std::map<int64_t, int64_t>& ids) {
    Catalogue c;
    ObjectIds objectIds(db);
    const TablePlan& objects = plans.front();
    const bool carried = !db.objects.empty();
    const std::vector<size_t> parentIds = idPositions(objects, db);
    if (!carried) {
        newDatabaseObjects(c, plans, created, codec.jet3, objectIds);
    } else {
        for (const JetNamedValues& o : db.objects) {
            Row row = rowFromNamed(objects, o);
            for (size_t p : parentIds) remap(row[p], ids);
            c.objects.push_back(std::move(row));
        }
        for (const TablePlan& t : plans)
            if (t.catalogTable)
                c.objects.push_back(
                    catalogRow(t.tdefPages.front(), kTablesId, t.name, kTableType, kSystemFlags, created, kEngineSid));
    }
    for (const TablePlan& t : plans) {
        if (t.catalogTable) continue;
        const int64_t id = t.tdefPages.front();
        if (!t.source->catalog.empty()) {
            Row row = rowFromNamed(objects, t.source->catalog);
            row[cId] = id;
            row[cParentId] = kTablesId;
            row[cName] = t.name;
            row[cType] = int64_t{kTableType};
            c.objects.push_back(std::move(row));
        } else {
            c.objects.push_back(catalogRow(id, kTablesId, t.name, kTableType, t.system ? kSystemFlags : 0, created, kAdminSid,
                                           JetBytes{propertyBlob(t, codec)}));
            grantTable(c, id);
        }
    }
    for (size_t i = 0; i < db.relationships.size(); ++i) {
        const JetWriteRelationship& r = db.relationships[i];
        const std::string& name = planner.relationshipNames[i];
        if (!r.catalog.empty()) {
            Row row = rowFromNamed(objects, r.catalog);
            row[cName] = name;
            row[cParentId] = kRelationshipsId;
            row[cType] = int64_t{kRelationshipType};
            if (!std::holds_alternative<int64_t>(row[cId])) row[cId] = objectIds.next();
            c.objects.push_back(std::move(row));
        } else {
            const int64_t id = objectIds.next();
            c.objects.push_back(catalogRow(id, kRelationshipsId, name, kRelationshipType, 0, created, kAdminSid));
            grantRelationship(c, id);
        }
    }
    if (db.aces) {
        const TablePlan& aces = plans[1];
        const std::vector<size_t> objectIdsAt = idPositions(aces, db);
        c.aces.clear();
        for (const JetNamedValues& a : *db.aces) {
            Row row = rowFromNamed(aces, a);
            for (size_t p : objectIdsAt) remap(row[p], ids);
            c.aces.push_back(std::move(row));
        }
    }
    return c;
}

// A source over rows held here.
JetRowSource rowsOf(std::shared_ptr<std::vector<Row>> rows) {
    return [rows](const JetRowSink& sink) {
        for (Row& r : *rows) sink(r);
    };
}

// A source whose rows get the new table ids in their id columns.
JetRowSource remapped(JetRowSource source, std::vector<size_t> positions, const std::map<int64_t, int64_t>* ids) {
    if (positions.empty() || !source) return source;
    return [source = std::move(source), positions = std::move(positions), ids](const JetRowSink& sink) {
        source([&](std::vector<JetValue>& row) {
            for (size_t p : positions)
                if (p < row.size()) remap(row[p], *ids);
            sink(row);
        });
    };
}

// ---------------------------------------------------------------- page 0

int defaultSortOrder(int codePage, bool jet3) {
    if (!jet3) return 0x409;
    switch (codePage) {
    case 949: return 0x412;
    case 932: return 0x411;
    case 936: return 0x804;
    case 950: return 0x404;
    default: return 0x409;
    }
}

// Page 0 as Access 2000 writes it: the signature, the version, then the
// block masked with RC4 (key C7 DA 39 6B): code page at 0x3C, the database
// password at 0x42 (Jet 4: 40 bytes of UCS-2 XORed with the little-endian
// bytes of the creation date's whole days), sort order at 0x6E (Jet 4) or
// 0x3A (Jet 3), the creation date at 0x72.
void writeHeader(Bytes& p, const JetWriteDatabase& db, const TextCodec& codec, int sortOrder, double created) {
    const bool jet3 = db.version == 0;
    const Bytes magic("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    p.replace(0, magic.size(), magic);
    p[0x14] = static_cast<char>(db.version);
    static const uint8_t fixedBlock[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    p.replace(0x18, 24, reinterpret_cast<const char*>(fixedBlock), 24);
    set16(p, 0x3C, static_cast<unsigned>(db.codePage));
    Bytes password = codec.plain(db.password);
    if (jet3) {
        set16(p, 0x3A, static_cast<unsigned>(sortOrder));
        if (password.size() > 20) fail("a Jet 3 database password has at most 20 bytes");
        password.resize(20, '\0');
    } else {
        set32(p, 0x6E, static_cast<uint32_t>(sortOrder));
        Bytes date;
        putDouble(date, created);
        p.replace(0x72, 8, date);
        if (password.size() > 40) fail("a database password has at most 20 characters");
        password.resize(40, '\0');
        const auto key = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
        for (size_t i = 0; i < password.size(); ++i)
            password[i] = static_cast<char>(password[i] ^ ((key >> (8 * (i % 4))) & 0xFF));
        p.replace(0x98, 8, Bytes("\x54\x06\x00\x00" "4.0\x00", 8));
    }
    p.replace(0x42, password.size(), password);
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, reinterpret_cast<uint8_t*>(p.data()) + 0x18, jet3 ? 126 : 128);
}

double nowInJetDays() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return 25569.0 + static_cast<double>(seconds) / 86400.0;
}

}  // namespace

JetWriteResult writeJetFile(int fd, const std::string& name, const JetWriteDatabase& db, const JetWriteOptions& options) {
    const Format format = Format::of(db.version);
    const int sortOrder = db.sortOrder ? db.sortOrder : defaultSortOrder(db.codePage, format.jet3);
    const double created = db.created != 0 ? db.created : nowInJetDays();
    Planner planner(db, format, sortOrder);
    std::vector<TablePlan> plans = planner.plan();
    const TextCodec codec{format.jet3, db.codePage};

    PageFile file(format);
    file.allocate();  // 0: the header
    file.allocate();  // 1: the file's page map
    std::map<std::string, int> pageOf;
    JetWriteResult result;
    for (TablePlan& t : plans) {  // MSysObjects first: its definition must be page 2
        const size_t size = tableDefSize(t, format, codec);
        const size_t ps = static_cast<size_t>(format.pageSize);
        const size_t count = size <= ps ? 1 : 1 + (size - ps + ps - 9) / (ps - 8);
        for (size_t i = 0; i < count; ++i) t.tdefPages.push_back(file.allocate());
        pageOf[lower(t.name)] = t.tdefPages.front();
        if (t.source && t.source->sourceId != 0) result.tableIds[t.source->sourceId] = t.tdefPages.front();
    }
    Catalogue catalogue = buildCatalogue(plans, db, planner, codec, created, result.tableIds);
    for (TablePlan& t : plans) {
        if (t.name == "MSysObjects") t.rows = rowsOf(std::make_shared<std::vector<Row>>(std::move(catalogue.objects)));
        if (t.name == "MSysACEs") t.rows = rowsOf(std::make_shared<std::vector<Row>>(std::move(catalogue.aces)));
        if (t.name == "MSysRelationships")
            t.rows = rowsOf(std::make_shared<std::vector<Row>>(std::move(planner.relationshipRows)));
        if (t.name == "MSysQueries") {
            auto rows = std::make_shared<std::vector<Row>>();
            const std::vector<size_t> ids = idPositions(t, db);
            for (const JetNamedValues& q : db.queries) {
                rows->push_back(rowFromNamed(t, q));
                for (size_t p : ids) remap(rows->back()[p], result.tableIds);
            }
            t.rows = rowsOf(rows);
        }
        // Carried rows of other tables (the navigation tables) get the new ids as they stream.
        if (!t.catalogTable) t.rows = remapped(t.rows, idPositions(t, db), &result.tableIds);
    }

    UsageMaps maps(file);
    TableWriter writer{file, maps, codec, [&](const std::string& table) { return pageOf.at(lower(table)); },
                       options.emptyTreesForUnkeyedIndexes};
    int number = 0;
    for (const TablePlan& t : plans) {
        const uint64_t rows = writer.write(t);
        if (options.onTable) options.onTable(JetWriteProgress{t.name, ++number, static_cast<int>(plans.size()), rows});
    }
    writeGlobalMap(file);
    writeHeader(file.page(0), db, codec, sortOrder, created);
    try {
        file.save(fd, name);
    } catch (const std::runtime_error& e) {
        throw JetWriteError(e.what());
    }
    result.pages = static_cast<uint32_t>(file.count());
    return result;
}

JetWriteResult writeJetFile(const std::string& path, const JetWriteDatabase& db, const JetWriteOptions& options) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw JetWriteError("cannot create " + path + ": " + std::strerror(errno));
    try {
        JetWriteResult r = writeJetFile(fd, path, db, options);
        if (::close(fd) != 0) throw JetWriteError("cannot write " + path + ": " + std::strerror(errno));
        return r;
    } catch (...) {
        ::close(fd);
        ::unlink(path.c_str());
        throw;
    }
}

// ---------------------------------------------------------------- values from the engines

namespace {

[[noreturn]] void notFor(const JetWriteColumn& c, const Value& v, const char* needs) {
    fail("column '" + c.name + "': the value '" + valueToText(v) + "' is not " + needs);
}

std::optional<int64_t> wholeOf(const Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return *i;
    if (const auto* d = std::get_if<double>(&v))
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 9.2e18) return static_cast<int64_t>(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (s->empty()) return std::nullopt;
        size_t used = 0;
        try {
            const long long n = std::stoll(*s, &used);
            if (used == s->size()) return n;
        } catch (const std::exception&) {
        }
    }
    return std::nullopt;
}

std::optional<double> doubleOf(const Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    const std::string& s = std::get<std::string>(v);
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size()) return std::nullopt;
    return d;
}

// A Decimal's 17 stored bytes: the sign byte, then the 128-bit magnitude as
// four little-endian 32-bit words, the most significant first.
JetDecimal storedDecimal(const KeyDecimal& d, int scale) {
    JetDecimal out;
    out.scale = scale;
    out.bytes[0] = d.negative ? 0x80 : 0x00;
    const uint32_t words[4] = {static_cast<uint32_t>(d.high >> 32), static_cast<uint32_t>(d.high),
                               static_cast<uint32_t>(d.low >> 32), static_cast<uint32_t>(d.low)};
    for (int w = 0; w < 4; ++w)
        for (int b = 0; b < 4; ++b) out.bytes[static_cast<size_t>(1 + 4 * w + b)] = static_cast<uint8_t>(words[w] >> (8 * b));
    return out;
}

}  // namespace

JetValue storedValueOf(const Value& v, const JetWriteColumn& c) {
    if (isNull(v)) return std::monostate{};
    switch (c.type) {
    case ct::Bool: {
        if (const auto* s = std::get_if<std::string>(&v)) {
            const std::string t = lower(*s);
            if (t == "true" || t == "yes" || t == "-1" || t == "1" || t == "on") return true;
            if (t == "false" || t == "no" || t == "0" || t == "off" || t.empty()) return false;
            notFor(c, v, "true or false");
        }
        return *doubleOf(v) != 0;
    }
    case ct::Byte:
    case ct::Int:
    case ct::Long:
        if (const auto n = wholeOf(v)) return *n;
        notFor(c, v, "a whole number");
    case ct::Money: {
        if (const auto* d = std::get_if<double>(&v)) {
            if (!std::isfinite(*d) || std::fabs(*d) > 9.2e14) notFor(c, v, "an amount a Currency column holds");
            return JetCurrency{std::llround(*d * 10000.0)};
        }
        const auto dec = decimalFromText(valueToText(v), 4);
        if (!dec || dec->high != 0 || dec->low > static_cast<uint64_t>(INT64_MAX))
            notFor(c, v, "an amount a Currency column holds");
        const auto units = static_cast<int64_t>(dec->low);
        return JetCurrency{dec->negative ? -units : units};
    }
    case ct::Float:
        if (const auto d = doubleOf(v)) return static_cast<float>(*d);
        notFor(c, v, "a number");
    case ct::Double:
        if (const auto d = doubleOf(v)) return *d;
        notFor(c, v, "a number");
    case ct::DateTime: {
        if (const auto* s = std::get_if<std::string>(&v)) {
            if (const auto d = parseJetDateText(*s)) return JetDateTime{*d};
            notFor(c, v, "a date (YYYY-MM-DD HH:MM:SS)");
        }
        return JetDateTime{*doubleOf(v)};
    }
    case ct::Text:
    case ct::Memo:
        if (const auto* s = std::get_if<std::string>(&v)) return *s;
        return valueToText(v);
    case ct::Binary:
    case ct::Ole:
    case ct::FixedBinary:
        if (const auto* s = std::get_if<std::string>(&v)) return JetBytes{*s};
        notFor(c, v, "bytes");
    case ct::RepId: {
        const std::string* s = std::get_if<std::string>(&v);
        if (s && s->size() == 16) {
            JetGuid g;
            std::memcpy(g.bytes.data(), s->data(), 16);
            return g;
        }
        if (s)
            if (const auto g = guidFromText(*s)) return JetGuid{g->stored};
        notFor(c, v, "a GUID");
    }
    case ct::Numeric: {
        std::string text = valueToText(v);
        if (const auto dec = decimalFromText(text, c.scale)) return storedDecimal(*dec, c.scale);
        notFor(c, v, "a decimal number of the column's scale");
    }
    default:
        fail("column '" + c.name + "': the type " + std::to_string(c.type) + " cannot be written");
    }
}

}  // namespace dex::jetfile
