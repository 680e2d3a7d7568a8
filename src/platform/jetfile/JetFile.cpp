#include "JetFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "JetHeader.h"
#include "MdbAdapter.h"
#include "TableDefPages.h"
#include "TextCodec.h"

namespace dex::jetfile {
namespace {

constexpr uint32_t kCatalogPage = 2;
constexpr int kLocalTable = 1;
constexpr int64_t kSystemObjectFlags = 0x80000002;
constexpr int kForeignKey = 2, kPrimaryKey = 1, kReferencedSide = 1;
constexpr int64_t kNotEnforced = 0x2, kCascadeUpdates = 0x100, kCascadeDeletes = 0x1000;

const char* const kDamaged = "the file is damaged";

DbError unrecognized(const std::string& path) {
    return DbError(dberr::UnrecognizedFormat, "Unrecognized database format '" + path + "'.");
}

DbError damagedFile(const std::string& path, const std::string& what) {
    return DbError(dberr::UnrecognizedFormat,
                   "Unrecognized database format '" + path + "': " + kDamaged + ": " + what + ".");
}

// Runs f; a damage report from the readers gets the path in front of it.
template <typename F>
auto withPath(const std::string& path, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const DbError& e) {
        if (e.number() == dberr::UnrecognizedFormat && e.description().rfind(kDamaged, 0) == 0)
            throw DbError(dberr::UnrecognizedFormat,
                          "Unrecognized database format '" + path + "': " + e.description() + ".");
        throw;
    }
}

std::string upperAscii(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool lessNoCase(const std::string& a, const std::string& b) {
    const std::string ua = upperAscii(a), ub = upperAscii(b);
    return ua != ub ? ua < ub : a < b;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The file's pages as our own readers see them (decoded when the file has a page key).
class PageFile {
public:
    PageFile(std::unique_ptr<std::FILE, FileCloser> f, const JetHeader& h, uint32_t pageCount)
        : f_(std::move(f)), pageSize_(h.pageSize), pageKey_(h.pageKey), pageCount_(pageCount) {}

    std::vector<uint8_t> page(uint32_t number) {
        if (number >= pageCount_) return {};
        std::vector<uint8_t> bytes(static_cast<size_t>(pageSize_));
        if (fseeko(f_.get(), static_cast<off_t>(number) * pageSize_, SEEK_SET) != 0 ||
            std::fread(bytes.data(), 1, bytes.size(), f_.get()) != bytes.size())
            return {};
        decodePage(pageKey_, number, bytes.data(), bytes.size());
        return bytes;
    }

private:
    std::unique_ptr<std::FILE, FileCloser> f_;
    int pageSize_;
    uint32_t pageKey_;
    uint32_t pageCount_;
};

// What openJetFile learns before libmdb is involved.
struct CheckedFile {
    std::unique_ptr<std::FILE, FileCloser> file;
    JetHeader header;
    uint32_t pageCount = 0;
};

CheckedFile checkFile(const std::string& path, const std::string& password) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) throw DbError(dberr::FileNotFound, "Could not find file '" + path + "'.");
    if (!std::filesystem::is_regular_file(status)) throw unrecognized(path);
    CheckedFile out;
    out.file.reset(std::fopen(path.c_str(), "rb"));
    if (!out.file)
        throw DbError(3051, "The database engine cannot open the file '" + path +
                                "'.  It is already opened exclusively by another user, or you need permission to "
                                "view its data.");
    uint8_t first[4096];
    const size_t got = std::fread(first, 1, sizeof first, out.file.get());
    auto header = parseJetHeader(first, got);
    if (!header) {
        if (hasJetSignature(first, got)) throw damagedFile(path, "it ends inside its first page");
        throw unrecognized(path);
    }
    if (header->format == JetFormat::Ace)
        throw DbError(dberr::UnrecognizedFormat,
                      "Unrecognized database format '" + path +
                          "'. The file is an Access 2007+ (ACE) database, which this build cannot read.");
    if (!passwordMatches(*header, password)) throw DbError(dberr::NotValidPassword, "Not a valid password.");

    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw damagedFile(path, "its length cannot be read");
    const auto pageSize = static_cast<uintmax_t>(header->pageSize);
    if (size % pageSize != 0)
        throw damagedFile(path, "it ends inside page " + std::to_string(size / pageSize));
    if (size / pageSize <= kCatalogPage) throw damagedFile(path, "it ends before its catalog");
    if (size / pageSize > 0xFFFFFF) throw damagedFile(path, "it has more pages than Jet can address");
    out.header = *header;
    out.pageCount = static_cast<uint32_t>(size / pageSize);
    return out;
}

class JetFileImpl : public JetFile {
public:
    JetFileImpl(std::string path, CheckedFile checked)
        : path_(std::move(path)),
          header_(checked.header),
          pages_(std::move(checked.file), checked.header, checked.pageCount),
          text_(checked.header.format == JetFormat::Jet3, checked.header.codePage),
          adapter_(path_, checked.header, checked.pageCount) {
        schema_.version = header_.version;
        schema_.codePage = header_.codePage;
        schema_.hasPassword = header_.hasPassword();
    }

    void load() {
        const TableDefinition catalogDef = definition(kCatalogPage, "MSysObjects");
        const auto& catalog = adapter_.readCatalog(catalogDef);
        for (size_t i = 0; i < catalog.size(); ++i) {
            const CatalogObject& obj = catalog[i];
            if (obj.type != kLocalTable) continue;
            if (sources_.count(upperAscii(obj.name)))
                throw damagedTable("the catalog lists the table twice", obj.name);
            Source src{i, obj.name, obj.page, obj.page == kCatalogPage ? catalogDef : definition(obj.page, obj.name)};
            schema_.tables.push_back(describeTable(obj, src));
            sources_.emplace(upperAscii(obj.name), std::move(src));
        }
        schema_.relationships = readRelationships();
        for (auto& table : schema_.tables) table.indexes = describeIndexes(table);
        std::sort(schema_.tables.begin(), schema_.tables.end(),
                  [](const JetTable& a, const JetTable& b) { return lessNoCase(a.name, b.name); });
    }

    const std::string& path() const override { return path_; }
    const JetSchema& schema() const override { return schema_; }

    void readRows(const std::string& table, const std::function<bool(const std::vector<Value>&)>& onRow) override {
        const Source& src = source(table);
        withPath(path_, [&] {
            adapter_.readRows(src.catalogIndex, src.def, src.name, [&](std::vector<Value>& row) { return onRow(row); });
        });
    }

private:
    struct Source {
        size_t catalogIndex = 0;
        std::string name;
        uint32_t page = 0;
        TableDefinition def;
    };

    TableDefinition definition(uint32_t page, const std::string& name) {
        return readTableDefinition(page, header_.format == JetFormat::Jet3, header_.pageSize,
                                   [this](uint32_t p) { return pages_.page(p); }, name);
    }

    const Source& source(const std::string& table) const {
        auto it = sources_.find(upperAscii(table));
        if (it == sources_.end())
            throw DbError(dberr::MissingTable, "The database engine cannot find the input table or query '" + table +
                                                   "'.  Make sure it exists and that its name is spelled correctly.");
        return it->second;
    }

    std::vector<const TdefColumn*> ordinalColumns(const TableDefinition& def) const {
        std::vector<const TdefColumn*> cols;
        for (const auto& c : def.columns) cols.push_back(&c);
        std::sort(cols.begin(), cols.end(), [](auto* a, auto* b) { return a->number < b->number; });
        return cols;
    }

    JetTable describeTable(const CatalogObject& obj, const Source& src) {
        JetTable t;
        t.name = obj.name;
        t.system = (obj.flags & kSystemObjectFlags) != 0 || upperAscii(obj.name).rfind("MSYS", 0) == 0;
        const auto props = adapter_.columnProperties(src.catalogIndex, src.def, obj.name);
        const bool jet3 = header_.format == JetFormat::Jet3;
        for (const TdefColumn* c : ordinalColumns(src.def)) {
            JetColumn col;
            col.name = text_.name(c->rawName);
            col.type = c->type;
            const auto size = daoSizeOf(c->type, c->length, jet3);
            if (!size)
                throw damagedTable("column '" + col.name + "' has the unknown type " + std::to_string(c->type), obj.name);
            col.size = *size;
            col.autonumber = c->type == coltype::Long && (c->flags & 0x04);
            if (c->type == coltype::Numeric) col.precision = c->precision, col.scale = c->scale;
            for (const auto& p : props)
                if (p.number == c->number) {
                    col.defaultValue = p.defaultValue;
                    col.required = p.required;
                    col.allowZeroLength = p.allowZeroLength;
                }
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
            if (upperAscii(r.name) == upperAscii(index) && upperAscii(r.table) == upperAscii(table)) return &r;
        return nullptr;
    }

    // The other end of a foreign index, from the definition's own link: the
    // referenced table's page and the number of its counterpart index.
    void referencedByLink(const TdefLogicalIndex& ix, JetIndex& out) const {
        for (const auto& [key, src] : sources_) {
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

    std::vector<JetIndex> describeIndexes(const JetTable& table) const {
        const Source& src = sources_.at(upperAscii(table.name));
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
                if (const JetRelationship* r = relationshipOf(table.name, j.name)) {
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
        auto it = sources_.find("MSYSRELATIONSHIPS");
        if (it == sources_.end()) return {};
        const Source& src = it->second;
        const auto cols = ordinalColumns(src.def);
        auto index = [&](const char* name) {
            for (size_t i = 0; i < cols.size(); ++i)
                if (text_.name(cols[i]->rawName) == name) return i;
            throw damagedTable(std::string("the column ") + name + " is missing", "MSysRelationships");
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
        auto text = [](const Value& v) { return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : ""; };
        auto number = [](const Value& v) { return std::holds_alternative<int64_t>(v) ? std::get<int64_t>(v) : 0; };
        adapter_.readRows(src.catalogIndex, src.def, "MSysRelationships", [&](std::vector<Value>& row) {
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
            return true;
        });
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

    std::string path_;
    JetHeader header_;
    PageFile pages_;
    mutable JetText text_;
    MdbAdapter adapter_;
    JetSchema schema_;
    std::map<std::string, Source> sources_;  // by upper-case name
};

}  // namespace

std::unique_ptr<JetFile> openJetFile(const std::string& path, const std::string& password) {
    CheckedFile checked = checkFile(path, password);
    return withPath(path, [&]() -> std::unique_ptr<JetFile> {
        auto file = std::make_unique<JetFileImpl>(path, std::move(checked));
        file->load();
        return file;
    });
}

}  // namespace dex::jetfile
