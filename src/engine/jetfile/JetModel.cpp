#include "JetModel.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "JetFile.h"
#include "NameText.h"

namespace dex::jetfile {
namespace {

constexpr uint32_t kCatalogPage = 2;
const char* const kDamaged = "the file is damaged";
DbError unrecognized(const std::string& path) {
    return DbError(dberr::UnrecognizedFormat, "Unrecognized database format '" + path + "'.");
}

DbError damagedFile(const std::string& path, const std::string& what) {
    return DbError(dberr::UnrecognizedFormat,
                   "Unrecognized database format '" + path + "': " + kDamaged + ": " + what + ".");
}

// What the first page says, checked: a Jet 3 or Jet 4 header and the password.
JetHeader checkHeader(const std::string& path, const uint8_t* first, size_t got, const std::string& password) {
    auto header = parseJetHeader(first, got);
    if (!header) {
        if (hasJetSignature(first, got)) throw damagedFile(path, "it ends inside its first page");
        throw unrecognized(path);
    }
    if (header->format == JetFormat::Ace)
        throw DbError(dberr::UnrecognizedFormat,
                      "Unrecognized database format '" + path +
                          "'. The file is an Access 2007+ (ACE) database, which this build cannot read.");
    if (!passwordMatches(*header, password))
        throw DbError(dberr::NotValidPassword, "Not a valid password for '" + path + "'.");
    return *header;
}

void checkSize(const std::string& path, uint64_t size, int pageSize) {
    const auto ps = static_cast<uint64_t>(pageSize);
    if (size % ps != 0) throw damagedFile(path, "it ends inside page " + std::to_string(size / ps));
    if (size / ps <= kCatalogPage) throw damagedFile(path, "it ends before its catalog");
    if (size / ps > 0xFFFFFF) throw damagedFile(path, "it has more pages than Jet can address");
}

const std::string* textOf(const JetValue& v) { return std::get_if<std::string>(&v); }
int64_t numberOf(const JetValue& v) {
    if (auto* i = std::get_if<int64_t>(&v)) return *i;
    return 0;
}
std::string blobOf(const JetValue& v) {
    if (auto* b = std::get_if<JetBytes>(&v)) return b->bytes;
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

}  // namespace

DbError withFilePath(const std::string& path, const DbError& e) {
    if (e.number() == dberr::UnrecognizedFormat && e.description().rfind(kDamaged, 0) == 0)
        return DbError(dberr::UnrecognizedFormat, "Unrecognized database format '" + path + "': " + e.description() + ".");
    return e;
}

int JetRowSet::column(const std::string& name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (upperText(columns[i]) == upperText(name)) return static_cast<int>(i);
    return -1;
}

std::unique_ptr<JetModel> JetModel::open(const std::string& path, const std::string& password) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) throw DbError(dberr::FileNotFound, "Could not find file '" + path + "'.");
    if (!std::filesystem::is_regular_file(status)) throw unrecognized(path);
    uint8_t first[4096];
    size_t got = 0;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw DbError(3051, "The database engine cannot open the file '" + path +
                                    "'.  It is already opened exclusively by another user, or you need permission to "
                                    "view its data.");
        in.read(reinterpret_cast<char*>(first), sizeof first);
        got = static_cast<size_t>(in.gcount());
    }
    std::unique_ptr<JetModel> m(new JetModel);
    m->path_ = path;
    m->header_ = checkHeader(path, first, got, password);
    m->pages_ = std::make_unique<JetPages>(path, m->header_.pageSize, m->header_.pageKey);
    checkSize(path, m->pages_->fileSize(), m->header_.pageSize);
    try {
        m->load(password);
    } catch (const DbError& e) {
        throw withFilePath(path, e);
    }
    return m;
}

std::unique_ptr<JetModel> JetModel::fromImage(std::string image, const std::string& name, const std::string& password) {
    std::unique_ptr<JetModel> m(new JetModel);
    m->path_ = name;
    m->header_ = checkHeader(name, reinterpret_cast<const uint8_t*>(image.data()), std::min<size_t>(image.size(), 4096),
                             password);
    checkSize(name, image.size(), m->header_.pageSize);
    m->pages_ = std::make_unique<JetPages>(JetPages::InMemory{}, std::move(image), m->header_.pageSize, m->header_.pageKey);
    try {
        m->load(password);
    } catch (const DbError& e) {
        throw withFilePath(name, e);
    }
    return m;
}

std::string JetModel::text(const std::string& raw) const {
    if (!text_) text_ = std::make_unique<JetText>(jet3(), header_.codePage);
    return text_->name(raw);
}

DbError JetModel::damaged(const std::string& what, const std::string& table) const {
    return withFilePath(path_, damagedTable(what, table));
}

TableDefinition JetModel::definition(uint32_t page, const std::string& name) const {
    return readTableDefinition(
        page, jet3(), header_.pageSize,
        [this](uint32_t p) -> std::vector<uint8_t> {
            if (!pages_->has(p)) return {};
            const PageView v = pages_->page(p);
            return std::vector<uint8_t>(v.data(), v.data() + v.size());
        },
        name);
}

void JetModel::load(const std::string&) {
    const std::string catalogName = "MSysObjects";
    TableDefinition catalogDef = definition(kCatalogPage, catalogName);
    TableRows rows(*pages_, catalogDef, kCatalogPage, jet3(), header_.codePage, catalogName);
    for (const TdefColumn* c : rows.columns()) catalogColumns_.push_back(text(c->rawName));
    auto index = [&](const char* n) -> int {
        for (size_t i = 0; i < catalogColumns_.size(); ++i)
            if (catalogColumns_[i] == n) return static_cast<int>(i);
        return -1;
    };
    const int id = index("Id"), parent = index("ParentId"), name = index("Name"), type = index("Type"),
              flags = index("Flags"), lv = index("Lv"), lvProp = index("LvProp"), lvExtra = index("LvExtra");
    if (id < 0 || name < 0 || type < 0) throw damagedTable("the catalog lacks its Id, Name or Type column", catalogName);
    rows.forEach([&](const RowPlace&, std::vector<JetValue>& row) {
        JetCatalogEntry e;
        e.id = numberOf(row[static_cast<size_t>(id)]);
        if (parent >= 0) e.parentId = numberOf(row[static_cast<size_t>(parent)]);
        if (auto* s = textOf(row[static_cast<size_t>(name)])) e.name = *s;
        e.type = static_cast<int>(numberOf(row[static_cast<size_t>(type)]));
        if (flags >= 0) e.flags = numberOf(row[static_cast<size_t>(flags)]);
        if (lv >= 0) e.lv = blobOf(row[static_cast<size_t>(lv)]);
        if (lvProp >= 0) e.lvProp = blobOf(row[static_cast<size_t>(lvProp)]);
        if (lvExtra >= 0) e.lvExtra = blobOf(row[static_cast<size_t>(lvExtra)]);
        e.values = std::move(row);
        catalog_.push_back(std::move(e));
        return true;
    });
    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < catalog_.size(); ++i) {
        const JetCatalogEntry& e = catalog_[i];
        if (e.type != kLocalTableType) continue;
        if (!seen.emplace(upperText(e.name), i).second) throw damagedTable("the catalog lists the table twice", e.name);
        JetModelTable t;
        t.name = e.name;
        t.page = e.page();
        t.catalogIndex = i;
        t.system = (e.flags & kSystemObjectFlags) != 0 || upperText(e.name).rfind("MSYS", 0) == 0;
        t.hidden = (e.flags & kHiddenObjectFlag) != 0;
        t.def = t.page == kCatalogPage ? catalogDef : definition(t.page, e.name);
        std::vector<const TdefColumn*> cols;
        for (const auto& c : t.def.columns) cols.push_back(&c);
        std::sort(cols.begin(), cols.end(), [](auto* a, auto* b) { return a->number < b->number; });
        for (const TdefColumn* c : cols) t.columnNames.push_back(text(c->rawName));
        // The map of the pages that hold its rows must lie inside the file:
        // a file cut short ends here, not in tables that read as empty.
        try {
            t.dataPages = readUsageMap(*pages_, t.def.usageMap, jet3());
        } catch (const JetDamage& e) {
            throw damagedTable(e.what(), t.name);
        }
        tables_.push_back(std::move(t));
    }
}

const JetModelTable* JetModel::table(const std::string& name) const {
    const std::string u = upperText(name);
    for (const auto& t : tables_)
        if (upperText(t.name) == u) return &t;
    return nullptr;
}

void JetModel::readRows(const JetModelTable& table,
                        const std::function<bool(const RowPlace&, std::vector<JetValue>&)>& onRow) const {
    try {
        TableRows rows(*pages_, table.def, table.page, jet3(), header_.codePage, table.name);
        rows.forEach(onRow);
    } catch (const DbError& e) {
        throw withFilePath(path_, e);
    }
}

JetRowSet JetModel::rowSet(const std::string& name) const {
    JetRowSet out;
    const JetModelTable* t = table(name);
    if (!t) return out;
    out.columns = t->columnNames;
    readRows(*t, [&](const RowPlace&, std::vector<JetValue>& row) { return out.rows.push_back(std::move(row)), true; });
    return out;
}

JetPropertyBlob JetModel::properties(const JetCatalogEntry& entry) const {
    if (!text_) text_ = std::make_unique<JetText>(jet3(), header_.codePage);
    try {
        return parsePropertyBlob(entry.lvProp, *text_);
    } catch (const JetDamage& e) {
        throw damaged(e.what(), entry.name);
    }
}

}  // namespace dex::jetfile
