#include "JetWritePlanner.h"

#include <algorithm>

#include "NameText.h"
#include "JetFile.h"

namespace dex::jetfile::jetwrite {

namespace ct = coltype;

void failDescription(const std::string& message, const std::string& table) { throw JetWriteError(message, table); }

namespace {

bool startsWithMSys(const std::string& name) { return lowerText(name.substr(0, 4)) == "msys"; }

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

}  // namespace

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

TableState& Planner::table(const std::string& name, const std::string& context) {
    for (TableState& t : tables_)
        if (lowerText(t.plan.name) == lowerText(name)) return t;
    failDescription(context + ": there is no table '" + name + "'");
}

int Planner::columnNumber(const TableState& t, const std::string& column, const std::string& context) const {
    for (const ColumnPlan& c : t.plan.columns)
        if (lowerText(c.def.name) == lowerText(column)) return c.number;
    failDescription(context + ": table '" + t.plan.name + "' has no column '" + column + "'", t.plan.name);
}

void Planner::addTable(const JetWriteTable& w, bool catalogTable) {
    if (w.name.empty() || w.name.size() > 64) failDescription("the table name '" + w.name + "' must have 1 to 64 characters", w.name);
    for (const TableState& t : tables_)
        if (lowerText(t.plan.name) == lowerText(w.name)) failDescription("table '" + w.name + "' appears twice", w.name);
    if (!catalogTable && !w.system && w.catalog.empty() && startsWithMSys(w.name))
        failDescription("table '" + w.name + "': names starting with MSys are the system's", w.name);
    TableState t;
    t.plan.name = w.name;
    t.plan.system = w.system || catalogTable;
    t.plan.catalogTable = catalogTable;
    t.plan.rows = w.rows;
    t.plan.carriedKey = w.carriedKey;
    t.plan.source = catalogTable ? nullptr : &w;
    std::set<std::string> names;
    for (const JetWriteColumn& c : w.columns) {
        if (c.name.empty() || c.name.size() > 64 || !names.insert(lowerText(c.name)).second)
            failDescription("table '" + w.name + "': the column name '" + c.name + "' is empty, too long or repeated", w.name);
        t.plan.columns.push_back(ColumnPlan{c});
    }
    try {
        layoutColumns(t.plan, format_, sortOrder_);
    } catch (const JetWriteError&) {
        throw;
    } catch (const std::runtime_error& e) {
        failDescription(e.what(), w.name);
    }
    tables_.push_back(std::move(t));
    for (size_t i = 0; i < w.indexes.size(); ++i) addIndex(tables_.back(), w.indexes[i], static_cast<int>(i));
}

void Planner::addIndex(TableState& t, const JetWriteIndex& w, int position) {
    const std::string context = "table '" + t.plan.name + "', index '" + w.name + "'";
    if (w.name.empty() || w.columns.empty() || w.columns.size() > 10)
        failDescription(context + ": an index needs a name and 1 to 10 columns", t.plan.name);
    if (!w.descending.empty() && w.descending.size() != w.columns.size())
        failDescription(context + ": one descending flag per column", t.plan.name);
    for (const PlannedIndex& s : t.indexes) {
        if (lowerText(s.logical.name) == lowerText(w.name)) failDescription(context + ": the name is taken", t.plan.name);
        if (w.primary && s.logical.type == 1) failDescription(context + ": a second primary key", t.plan.name);
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
                         [&](const PlannedIndex& s) { return lowerText(s.logical.name) == lowerText(name); }))
            return name;
    }
    failDescription("table '" + t.plan.name + "': too many relationships refer to it", t.plan.name);
}

// MSysRelationships.grbit: 0x1 one to one, 0x2 not enforced, 0x100 cascade
// updates, 0x1000 cascade deletes.
void Planner::addRelationship(const JetWriteRelationship& r) {
    const std::string name = r.name.empty() ? r.refTable + r.table : r.name;
    const std::string context = "relationship '" + name + "'";
    if (!relationshipNames_.insert(lowerText(name)).second) failDescription(context + " appears twice");
    relationshipNames.push_back(name);
    if (r.columns.empty() || r.columns.size() != r.refColumns.size() || r.columns.size() > 10)
        failDescription(context + ": a relationship needs 1 to 10 column pairs");
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
        failDescription(context + ": table '" + to.plan.name + "' has no primary key or unique index over its columns", to.plan.name);
    for (const PlannedIndex& s : from.indexes)
        if (lowerText(s.logical.name) == lowerText(name))
            failDescription(context + ": table '" + from.plan.name + "' has an index of that name", from.plan.name);

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
                         [](const LogicalIndex& a, const LogicalIndex& b) { return lowerText(a.name) < lowerText(b.name); });
    return plan;
}

std::vector<TablePlan> Planner::plan() {
    if (db_.version != 0 && db_.version != 1) failDescription("the version must be 0 (Jet 3) or 1 (Jet 4)");
    catalog_ = catalogTables(format_.jet3);
    for (const JetWriteTable& w : catalog_) addTable(w, true);
    for (const JetWriteTable& w : db_.tables) {
        for (const JetWriteTable& c : catalog_)
            if (lowerText(c.name) == lowerText(w.name)) failDescription("table '" + w.name + "' is the catalogue's own", w.name);
        addTable(w, false);
    }
    for (const JetWriteRelationship& r : db_.relationships) addRelationship(r);
    std::vector<TablePlan> plans;
    for (TableState& t : tables_) plans.push_back(finish(t, db_.physicalIndexGap && !t.plan.system));
    return plans;
}

}  // namespace dex::jetfile::jetwrite
