#include "JetFile.h"

#include <algorithm>
#include <map>

#include "JetModel.h"
#include "TextCodec.h"
#include "NameText.h"

namespace dex::jetfile {
namespace {

constexpr int kForeignKey = 2, kPrimaryKey = 1, kReferencedSide = 1;
constexpr int64_t kNotEnforced = 0x2, kCascadeUpdates = 0x100, kCascadeDeletes = 0x1000;

// The columns' DefaultValue, Required and AllowZeroLength from the table's
// property blob: the map named after each column.
void applyProperties(const JetPropertyBlob& blob, JetText& text, JetColumn& col) {
    const JetPropertyMap* map = blob.map(col.name);
    if (!map) return;
    if (const JetProperty* d = map->find("DefaultValue"))
        if (auto t = propertyText(*d, text)) col.defaultValue = *t;
    if (const JetProperty* r = map->find("Required")) col.required = propertyIsTrue(*r);
    if (const JetProperty* z = map->find("AllowZeroLength")) col.allowZeroLength = propertyIsTrue(*z);
}

class JetFileImpl : public JetFile {
public:
    explicit JetFileImpl(std::unique_ptr<JetModel> model)
        : model_(std::move(model)), text_(model_->jet3(), model_->header().codePage) {
        const JetHeader& h = model_->header();
        schema_.version = h.version;
        schema_.codePage = h.codePage;
        schema_.hasPassword = h.hasPassword();
    }

    void load() {
        for (const JetModelTable& t : model_->tables()) schema_.tables.push_back(describeTable(t));
        schema_.relationships = readRelationships();
        for (auto& table : schema_.tables) table.indexes = describeIndexes(*model_->table(table.name));
        std::sort(schema_.tables.begin(), schema_.tables.end(),
                  [](const JetTable& a, const JetTable& b) { return lessNoCaseThenExact(a.name, b.name); });
    }

    const std::string& path() const override { return model_->path(); }
    const JetSchema& schema() const override { return schema_; }
    const JetModel& model() const override { return *model_; }

    void readRows(const std::string& table, const std::function<bool(const std::vector<Value>&)>& onRow) override {
        const JetModelTable* t = model_->table(table);
        if (!t)
            throw DbError(dberr::MissingTable, "The database engine cannot find the input table or query '" + table +
                                                   "'.  Make sure it exists and that its name is spelled correctly.");
        std::vector<Value> row;
        model_->readRows(*t, [&](const RowPlace&, std::vector<JetValue>& values) {
            row.resize(values.size());
            for (size_t i = 0; i < values.size(); ++i) row[i] = engineValue(values[i]);
            return onRow(row);
        });
    }

private:
    JetTable describeTable(const JetModelTable& src) {
        JetTable t;
        t.name = src.name;
        t.system = src.system;
        const JetPropertyBlob props = model_->properties(model_->catalog()[src.catalogIndex]);
        const bool jet3 = model_->jet3();
        std::vector<const TdefColumn*> cols;
        for (const auto& c : src.def.columns) cols.push_back(&c);
        std::sort(cols.begin(), cols.end(), [](auto* a, auto* b) { return a->number < b->number; });
        for (const TdefColumn* c : cols) {
            JetColumn col;
            col.name = text_.name(c->rawName);
            col.type = c->type;
            const auto size = daoSizeOf(c->type, c->length, jet3);
            if (!size)
                throw model_->damaged("column '" + col.name + "' has the unknown type " + std::to_string(c->type), src.name);
            col.size = *size;
            col.autonumber = c->type == coltype::Long && (c->flags & 0x04);
            if (c->type == coltype::Numeric) col.precision = c->precision, col.scale = c->scale;
            applyProperties(props, text_, col);
            t.columns.push_back(std::move(col));
        }
        return t;
    }

    std::string columnName(const TableDefinition& def, int number) const {
        for (const auto& c : def.columns)
            if (c.number == number) return text_.name(c.rawName);
        return {};
    }

    const JetRelationship* relationshipOf(const std::string& table, const std::string& index) const {
        for (const auto& r : schema_.relationships)
            if (upperText(r.name) == upperText(index) && upperText(r.table) == upperText(table)) return &r;
        return nullptr;
    }

    // The other end of a foreign index, from the definition's own link: the
    // referenced table's page and the number of its counterpart index.
    void referencedByLink(const TdefLogicalIndex& ix, JetIndex& out) const {
        for (const JetModelTable& src : model_->tables()) {
            if (src.page != ix.relatedTablePage) continue;
            for (const auto& other : src.def.logicalIndexes) {
                if (other.number != ix.relatedIndex) continue;
                out.referencedTable = src.name;
                for (const auto& k : src.def.physicalIndexes.at(static_cast<size_t>(other.physical)).keys)
                    out.referencedColumns.push_back(columnName(src.def, k.column));
                return;
            }
        }
    }

    std::vector<JetIndex> describeIndexes(const JetModelTable& src) const {
        std::vector<JetIndex> out;
        for (const auto& ix : src.def.logicalIndexes) {
            if (ix.type == kForeignKey && ix.relationSide == kReferencedSide) continue;  // ".rC" and the like
            const TdefPhysicalIndex& phys = src.def.physicalIndexes.at(static_cast<size_t>(ix.physical));
            JetIndex j;
            j.name = text_.name(ix.rawName);
            j.kind = ix.type == kPrimaryKey ? JetIndex::Kind::Primary
                     : ix.type == kForeignKey ? JetIndex::Kind::Foreign
                                              : JetIndex::Kind::Normal;
            j.unique = (phys.flags & 0x01) != 0;
            j.ignoreNulls = (phys.flags & 0x02) != 0;
            for (const auto& key : phys.keys) {
                j.columns.push_back(columnName(src.def, key.column));
                j.descending.push_back(key.descending);
            }
            if (j.kind == JetIndex::Kind::Foreign) {
                if (const JetRelationship* r = relationshipOf(src.name, j.name)) {
                    j.referencedTable = r->refTable;
                    j.referencedColumns = r->refColumns;
                } else {
                    referencedByLink(ix, j);
                }
            }
            out.push_back(std::move(j));
        }
        return out;
    }

    std::vector<JetRelationship> readRelationships() {
        if (!model_->table("MSysRelationships")) return {};
        const JetRowSet set = model_->rowSet("MSysRelationships");
        auto index = [&](const char* name) {
            for (size_t i = 0; i < set.columns.size(); ++i)
                if (set.columns[i] == name) return i;
            throw model_->damaged(std::string("the column ") + name + " is missing", "MSysRelationships");
        };
        const size_t rel = index("szRelationship"), obj = index("szObject"), col = index("szColumn"),
                     refObj = index("szReferencedObject"), refCol = index("szReferencedColumn"),
                     grbit = index("grbit"), icolumn = index("icolumn");
        struct Pair {
            int64_t position;
            std::string column, refColumn;
        };
        std::vector<JetRelationship> rels;
        std::map<std::string, std::vector<Pair>> pairs;
        auto text = [](const JetValue& v) { return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : ""; };
        auto number = [](const JetValue& v) { return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : 0; };
        for (const auto& row : set.rows) {
            const std::string name = text(row[rel]);
            if (!pairs.count(name)) {
                JetRelationship r;
                r.name = name;
                r.table = text(row[obj]);
                r.refTable = text(row[refObj]);
                const int64_t flags = number(row[grbit]);
                r.enforced = !(flags & kNotEnforced);
                r.cascadeUpdate = (flags & kCascadeUpdates) != 0;
                r.cascadeDelete = (flags & kCascadeDeletes) != 0;
                rels.push_back(std::move(r));
            }
            pairs[name].push_back(Pair{number(row[icolumn]), text(row[col]), text(row[refCol])});
        }
        for (auto& r : rels) {
            auto& list = pairs[r.name];
            std::stable_sort(list.begin(), list.end(), [](const Pair& a, const Pair& b) { return a.position < b.position; });
            for (const auto& p : list) {
                r.columns.push_back(p.column);
                r.refColumns.push_back(p.refColumn);
            }
        }
        return rels;
    }

    std::unique_ptr<JetModel> model_;
    mutable JetText text_;
    JetSchema schema_;
};

}  // namespace

std::unique_ptr<JetFile> openJetFile(const std::string& path, const std::string& password) {
    auto file = std::make_unique<JetFileImpl>(JetModel::open(path, password));
    try {
        file->load();
    } catch (const DbError& e) {
        throw withFilePath(path, e);
    }
    return file;
}

std::optional<int> daoSizeOf(int type, int storedLength, bool jet3) {
    switch (type) {
        case coltype::Bool: case coltype::Byte: return 1;
        case coltype::Int: return 2;
        case coltype::Long: case coltype::Float: return 4;
        case coltype::Money: case coltype::Double: case coltype::DateTime: return 8;
        case coltype::Binary: case coltype::FixedBinary: return storedLength;
        case coltype::Text: return jet3 ? storedLength : storedLength / 2;
        case coltype::Ole: case coltype::Memo: return 0;
        case coltype::RepId: case coltype::Numeric: return 16;
        default: return std::nullopt;
    }
}

}  // namespace dex::jetfile
