#include "StructureReader.h"

#include <algorithm>

#include "SqlTokenizer.h"

namespace dex::jetstore {
namespace {

std::vector<std::string> declared(const TableModel& t, const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& n : names) {
        const ColumnDef* c = t.findColumn(n);
        out.push_back(c ? c->name : n);
    }
    return out;
}

bool sameColumns(std::vector<std::string> a, std::vector<std::string> b) {
    if (a.size() != b.size()) return false;
    for (auto* v : {&a, &b}) {
        for (auto& n : *v) n = upperText(n);
        std::sort(v->begin(), v->end());
    }
    return a == b;
}

std::vector<IndexDef> indexDefsOf(SchemaCatalog& catalog, const TableModel& t,
                                  const SchemaCatalog::IndexTexts& texts) {
    std::vector<IndexDef> out;
    const auto indexes = catalog.indexes(t.name, &texts);
    // A foreign index is unique, as Jet makes it for a one-to-one
    // relationship, when its fields are also the table's key or unique.
    auto uniqueColumns = [&](const std::vector<std::string>& cols) {
        if (sameColumns(cols, t.primaryKey)) return true;
        for (const auto& u : t.uniques)
            if (sameColumns(cols, u)) return true;
        for (const auto& ix : indexes)
            if (ix.unique && sameColumns(cols, ix.columns)) return true;
        return false;
    };
    if (!t.primaryKey.empty())
        out.push_back(IndexDef{t.primaryKeyName.empty() ? "PrimaryKey" : t.primaryKeyName, true, false, true,
                               declared(t, t.primaryKey), {}, {}});
    for (const auto& fk : t.foreignKeys) {
        std::string name = fk.name.empty() ? fk.refTable + t.name : fk.name;
        IndexDef def{name, false, true, uniqueColumns(fk.columns), declared(t, fk.columns), {}, {}};
        def.referencedTable = fk.refTable;
        def.referencedFields = fk.refColumns;
        if (def.referencedFields.empty())
            if (auto rt = catalog.find(fk.refTable)) {
                def.referencedTable = rt->name;
                def.referencedFields = declared(*rt, rt->primaryKey);
            }
        out.push_back(std::move(def));
    }
    for (const auto& ix : indexes)
        if (ix.createdByStatement) out.push_back(IndexDef{ix.reportedName(), false, false, ix.unique, ix.columns, {}, {}});
    return out;
}
}  // namespace

FieldDef fieldDefOf(const ColumnDef& c) {
    DaoType type = daoTypeOf(c.type);
    FieldDef f;
    f.name = c.name;
    f.type = type.code;
    f.size = type.size;
    f.defaultValue = c.defaultText.value_or("");
    f.required = c.notNull;
    f.allowZeroLength = c.allowZeroLength.value_or(type.code == daotype::Text || type.code == daotype::Memo);
    return f;
}

std::vector<TableDef> readTableDefs(SchemaCatalog& catalog) {
    std::vector<TableDef> out;
    const SchemaCatalog::IndexTexts texts = catalog.indexTexts();
    for (const auto& t : catalog.tables()) {
        TableDef def;
        def.name = t.name;
        for (const auto& c : t.columns) def.fields.push_back(fieldDefOf(c));
        def.indexes = indexDefsOf(catalog, t, texts);
        out.push_back(std::move(def));
    }
    std::sort(out.begin(), out.end(), [](const TableDef& a, const TableDef& b) { return lessNoCaseThenExact(a.name, b.name); });
    return out;
}

}  // namespace dex::jetstore
