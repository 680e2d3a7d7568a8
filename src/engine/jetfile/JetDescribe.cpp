#include "JetDescribe.h"

#include <algorithm>
#include <cctype>

#include "JetModel.h"
#include "TextCodec.h"

namespace dex::jetfile {

namespace {

constexpr uint8_t kUnique = 0x01, kAutoIncrement = 0x04;
constexpr int kPrimaryKey = 1, kForeignKey = 2, kRelationshipType = 8;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isCatalogTable(const std::string& name) {
    const std::string n = lower(name);
    return n == "msysobjects" || n == "msysaces" || n == "msysqueries" || n == "msysrelationships";
}

JetNamedValues named(const std::vector<std::string>& columns, const std::vector<JetValue>& values) {
    JetNamedValues out;
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i) out.emplace_back(columns[i], values[i]);
    return out;
}

std::vector<JetNamedValues> namedRows(const JetRowSet& set) {
    std::vector<JetNamedValues> out;
    for (const auto& row : set.rows) out.push_back(named(set.columns, row));
    return out;
}

JetWriteTable tableOf(const JetFile& file, const JetModelTable& t) {
    const JetModel& m = file.model();
    JetWriteTable w;
    w.name = t.name;
    w.system = t.def.systemTable;
    std::vector<const TdefColumn*> columns;
    for (const TdefColumn& c : t.def.columns) columns.push_back(&c);
    std::sort(columns.begin(), columns.end(), [](auto* a, auto* b) { return a->number < b->number; });
    for (const TdefColumn* c : columns) {
        JetWriteColumn x;
        x.name = m.text(c->rawName);
        x.type = c->type;
        x.size = c->type == coltype::Text ? c->length / 2 : c->length;
        x.autonumber = c->type == coltype::Long && (c->flags & kAutoIncrement);
        x.precision = c->precision;
        x.scale = c->scale;
        x.flags = c->flags;
        if (c->type == coltype::Text || c->type == coltype::Memo) x.sortOrder = c->sortOrder;
        w.columns.push_back(std::move(x));
    }
    auto columnName = [&](int number) {
        for (const TdefColumn* c : columns)
            if (c->number == number) return m.text(c->rawName);
        throw JetWriteError("table '" + t.name + "': an index names column " + std::to_string(number) +
                                ", which it does not have",
                            t.name);
    };
    for (const TdefLogicalIndex& l : t.def.logicalIndexes) {
        if (l.type == kForeignKey) continue;  // the relationship's, made again from it
        if (l.physical < 0 || static_cast<size_t>(l.physical) >= t.def.physicalIndexes.size()) continue;
        const TdefPhysicalIndex& p = t.def.physicalIndexes[static_cast<size_t>(l.physical)];
        JetWriteIndex x;
        x.name = m.text(l.rawName);
        x.primary = l.type == kPrimaryKey;
        x.unique = (p.flags & kUnique) != 0;
        x.physicalFlags = p.flags;
        for (const TdefIndexKey& k : p.keys) {
            x.columns.push_back(columnName(k.column));
            x.descending.push_back(k.descending);
        }
        w.indexes.push_back(std::move(x));
    }
    const JetModelTable* table = &t;
    const JetModel* model = &m;
    w.rows = [model, table](const JetRowSink& sink) {
        model->readRows(*table, [&](const RowPlace&, std::vector<JetValue>& row) {
            sink(row);
            return true;
        });
    };
    const JetCatalogEntry& entry = m.catalog()[t.catalogIndex];
    w.catalog = named(m.catalogColumns(), entry.values);
    w.sourceId = entry.id;
    return w;
}

std::string utf8Password(const JetHeader& h) {
    return utf16leToUtf8(reinterpret_cast<const uint8_t*>(h.password.data()), h.password.size());
}

}  // namespace

JetWriteDatabase describeJetFile(const JetFile& file) {
    const JetModel& m = file.model();
    if (m.jet3()) throw JetWriteError("'" + m.path() + "' is a Jet 3 (Access 97) file: Jet 3 files are not written");
    JetWriteDatabase db;
    db.version = 1;
    db.codePage = m.header().codePage;
    db.sortOrder = m.header().sortOrder;
    db.created = m.header().creationDate;
    db.password = utf8Password(m.header());
    for (const JetModelTable& t : m.tables())
        if (!isCatalogTable(t.name)) db.tables.push_back(tableOf(file, t));
    std::vector<const JetCatalogEntry*> relationshipEntries;
    for (const JetCatalogEntry& e : m.catalog()) {
        if (e.type == kLocalTableType) continue;
        if (e.type == kRelationshipType) {
            relationshipEntries.push_back(&e);
            continue;
        }
        db.objects.push_back(named(m.catalogColumns(), e.values));
    }
    const JetRowSet relationRows = m.relationshipRows();
    const int grbitAt = relationRows.column("grbit"), nameAt = relationRows.column("szRelationship");
    for (const JetRelationship& r : file.schema().relationships) {
        JetWriteRelationship w{r.name, r.table, r.refTable, r.columns, r.refColumns, r.enforced, r.cascadeUpdate,
                               r.cascadeDelete, {}, {}};
        for (const auto& row : relationRows.rows)
            if (grbitAt >= 0 && nameAt >= 0 && row[static_cast<size_t>(nameAt)] == JetValue(r.name))
                if (const auto* g = std::get_if<int64_t>(&row[static_cast<size_t>(grbitAt)])) w.grbit = *g;
        for (const JetCatalogEntry* e : relationshipEntries)
            if (e->name == r.name) w.catalog = named(m.catalogColumns(), e->values);
        db.relationships.push_back(std::move(w));
    }
    // Relationship objects without rows of their own stay as they are.
    for (const JetCatalogEntry* e : relationshipEntries)
        if (std::none_of(db.relationships.begin(), db.relationships.end(),
                         [&](const JetWriteRelationship& r) { return r.name == e->name; }))
            db.objects.push_back(named(m.catalogColumns(), e->values));
    db.aces = namedRows(m.permissions());
    db.queries = namedRows(m.queries());
    return db;
}

}  // namespace dex::jetfile
