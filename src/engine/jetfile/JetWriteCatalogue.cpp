#include "JetWriteCatalogue.h"

#include <algorithm>
#include <tuple>

#include "NameText.h"
#include "JetFile.h"
#include "PropertyBlob.h"

namespace dex::jetfile::jetwrite {

namespace ct = coltype;

namespace {

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

}  // namespace

CatalogueRow rowFromNamed(const TablePlan& t, const JetNamedValues& values) {
    CatalogueRow row(t.columns.size());
    for (const auto& [name, value] : values) {
        const std::string wanted = lowerText(name);
        for (const ColumnPlan& c : t.columns)
            if (lowerText(c.def.name) == wanted) row[static_cast<size_t>(c.number)] = value;
    }
    return row;
}

namespace {

CatalogueRow catalogRow(int64_t id, int64_t parent, const std::string& name, int type, int64_t flags, double created,
               const std::string& owner, JetValue props = {}) {
    CatalogueRow row(cCatalogColumns);
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
                if (lowerText(name) == "id")
                    if (const auto* n = std::get_if<int64_t>(&v); n && *n < 0) next_ = std::max(next_, *n + 1);
        };
        for (const auto& o : db.objects) note(o);
        for (const auto& r : db.relationships) note(r.catalog);
    }
    int64_t next() { return next_++; }

private:
    int64_t next_ = kFirstObjectId;
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

}  // namespace

void remap(JetValue& v, const std::map<int64_t, int64_t>& ids) {
    if (auto* n = std::get_if<int64_t>(&v))
        if (auto it = ids.find(*n); it != ids.end()) *n = it->second;
}

std::vector<size_t> idPositions(const TablePlan& t, const JetWriteDatabase& db) {
    std::vector<size_t> out;
    for (const auto& [table, column] : db.idColumns)
        if (lowerText(table) == lowerText(t.name))
            for (const ColumnPlan& c : t.columns)
                if (lowerText(c.def.name) == lowerText(column)) out.push_back(static_cast<size_t>(c.number));
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
            CatalogueRow row = rowFromNamed(objects, o);
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
            CatalogueRow row = rowFromNamed(objects, t.source->catalog);
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
            CatalogueRow row = rowFromNamed(objects, r.catalog);
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
            CatalogueRow row = rowFromNamed(aces, a);
            for (size_t p : objectIdsAt) remap(row[p], ids);
            c.aces.push_back(std::move(row));
        }
    }
    return c;
}

JetRowSource rowsOf(std::shared_ptr<std::vector<CatalogueRow>> rows) {
    return [rows](const JetRowSink& sink) {
        for (CatalogueRow& r : *rows) sink(r);
    };
}

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

}  // namespace dex::jetfile::jetwrite
