#include "JetStoreRoute.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "ConnectionText.h"
#include "DbError.h"
#include "FileCopy.h"
#include "FileSwap.h"
#include "JetCompact.h"
#include "JetDescribe.h"
#include "JetFile.h"
#include "JetImport.h"
#include "JetModel.h"
#include "JetRewrite.h"
#include "JetStore.h"
#include "KeyCarrier.h"
#include "NameText.h"
#include "StoreToJet.h"

namespace dex {

using namespace jetfile;
namespace fs = std::filesystem;

namespace {

constexpr int kGeneralSortOrder = 0x409;
// Ids standing for the tables the change made, until the writer gives them
// their definitions' pages (above every page number a file can have).
constexpr int64_t kNewTableIds = 0x7E000000;

// A table's structure as DAO lists it, as text.
std::string defText(const TableDef& t) {
    std::string out;
    for (const FieldDef& f : t.fields)
        out += f.name + "/" + std::to_string(f.type) + "/" + std::to_string(f.size) + "/" + f.defaultValue + "/" +
               std::to_string(f.required) + std::to_string(f.allowZeroLength) + ";";
    std::vector<std::string> ix;
    for (const IndexDef& i : t.indexes) {
        std::string x = i.name + (i.primary ? " P" : "") + (i.foreign ? " F" : "") + (i.unique ? " U" : "");
        for (const auto& f : i.fields) x += " " + f;
        x += " -> " + i.referencedTable;
        for (const auto& f : i.referencedFields) x += " " + f;
        ix.push_back(x);
    }
    std::sort(ix.begin(), ix.end());
    for (const auto& x : ix) out += "[" + x + "]";
    return out;
}

std::map<std::string, std::string> storeStructure(const std::string& store, const std::string& password) {
    std::map<std::string, std::string> out;
    auto engine = makeJetStoreEngine();
    auto db = engine->openDatabase(store, 0, true, password.empty() ? "" : daoConnectText(password));
    for (const TableDef& t : db->tableDefs())
        if (!isMSysName(t.name)) out[lowerText(t.name)] = defText(t);
    db->close();
    return out;
}

const JetValue* valueNamed(const JetNamedValues& row, const std::string& column) {
    for (const auto& [name, value] : row)
        if (name == column) return &value;
    return nullptr;
}

bool sameColumns(const JetWriteTable& a, const JetWriteTable& b) {
    if (a.columns.size() != b.columns.size()) return false;
    for (size_t i = 0; i < a.columns.size(); ++i)
        if (lowerText(a.columns[i].name) != lowerText(b.columns[i].name)) return false;
    return true;
}

bool sameRelationship(const JetWriteRelationship& a, const JetWriteRelationship& b) {
    auto lowered = [](std::vector<std::string> v) {
        for (auto& s : v) s = lowerText(s);
        return v;
    };
    return lowerText(a.table) == lowerText(b.table) && lowerText(a.refTable) == lowerText(b.refTable) &&
           lowered(a.columns) == lowered(b.columns) && lowered(a.refColumns) == lowered(b.refColumns);
}

// The description of the new file: the store's user tables (rows from the
// store), everything else from the old file.
JetWriteDatabase merge(JetWriteDatabase old, StoreForJet& store, const std::map<std::string, std::string>& before,
                       const std::map<std::string, std::string>& after) {
    JetWriteDatabase db;
    db.version = old.version;
    db.codePage = old.codePage;
    db.sortOrder = old.sortOrder;
    db.created = old.created;
    db.password = old.password;
    db.objects = std::move(old.objects);
    db.queries = std::move(old.queries);
    db.idColumns = old.idColumns;

    // The old file's user tables by name, their ids; the system tables go over as they are.
    std::map<std::string, JetWriteTable*> oldTables;
    std::vector<int64_t> userIds;
    for (JetWriteTable& t : old.tables)
        if (!t.system && !isMSysName(t.name)) {
            oldTables[lowerText(t.name)] = &t;
            if (t.sourceId) userIds.push_back(t.sourceId);
        }
    for (JetWriteTable& t : old.tables)
        if (t.system || isMSysName(t.name)) db.tables.push_back(std::move(t));

    // The permissions of the old file's first user table, for the tables the change made.
    std::vector<JetNamedValues> aces = old.aces ? *old.aces : std::vector<JetNamedValues>{};
    const int64_t templateId = userIds.empty() ? 0 : userIds.front();
    std::vector<JetNamedValues> templateAces;
    for (const JetNamedValues& a : aces)
        if (const JetValue* id = valueNamed(a, "ObjectId"); id && *id == JetValue(templateId)) templateAces.push_back(a);

    std::set<int64_t> kept;
    int64_t nextNew = kNewTableIds;
    for (JetWriteTable& w : store.db.tables) {
        const std::string key = lowerText(w.name);
        const auto o = oldTables.find(key);
        JetWriteTable* source = o == oldTables.end() ? nullptr : o->second;
        const auto b = before.find(key), a = after.find(key);
        if (source && b != before.end() && a != after.end() && b->second == a->second && sameColumns(*source, w)) {
            // As it was: its catalogue row, property blob, column and index flags; the store's rows.
            JetWriteTable t = std::move(*source);
            t.rows = std::move(w.rows);
            kept.insert(t.sourceId);
            db.tables.push_back(std::move(t));
            continue;
        }
        if (source) {
            w.sourceId = source->sourceId;  // its permissions and navigation rows stay its own
            kept.insert(w.sourceId);
        } else {
            w.sourceId = nextNew++;
            for (JetNamedValues row : templateAces) {
                for (auto& [name, value] : row)
                    if (name == "ObjectId") value = w.sourceId;
                aces.push_back(std::move(row));
            }
        }
        db.tables.push_back(std::move(w));
    }
    // Permissions of tables the change dropped go with them.
    std::set<int64_t> dropped;
    for (int64_t id : userIds)
        if (!kept.count(id)) dropped.insert(id);
    aces.erase(std::remove_if(aces.begin(), aces.end(),
                              [&](const JetNamedValues& row) {
                                  const JetValue* id = valueNamed(row, "ObjectId");
                                  const auto* n = id ? std::get_if<int64_t>(id) : nullptr;
                                  return n && dropped.count(*n);
                              }),
               aces.end());
    if (old.aces) db.aces = std::move(aces);

    // Enforced relationships are the store's, with the old rows' flags where
    // they are the same; those that were not enforced stay where their tables do.
    std::set<std::string> tables;
    for (const JetWriteTable& t : db.tables) tables.insert(lowerText(t.name));
    for (JetWriteRelationship& r : store.db.relationships) {
        for (const JetWriteRelationship& was : old.relationships)
            if (was.enforced && lowerText(was.name) == lowerText(r.name) && sameRelationship(was, r)) {
                r.grbit = was.grbit;
                r.catalog = was.catalog;
            }
        db.relationships.push_back(std::move(r));
    }
    for (JetWriteRelationship& was : old.relationships)
        if (!was.enforced && tables.count(lowerText(was.table)) && tables.count(lowerText(was.refTable)))
            db.relationships.push_back(std::move(was));
    return db;
}

std::filesystem::path tempRoot() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? fs::path(t) : fs::temp_directory_path();
}

}  // namespace

JetRouteOutcome changeJetFileThroughStore(
    const std::string& path, const JetRouteOptions& options,
    const std::function<bool(const std::string& store, const std::string& password)>& change) {
    auto notChanged = [&](const std::string& why) {
        return DbError(dberr::UnrecognizedFormat,
                       "'" + path + "' cannot be changed here: " + why + ". The file was left unchanged.");
    };
    auto say = [&](const std::string& line) {
        if (options.log) options.log(line);
    };
    FileSwap swap(path);
    const std::string password = jetPasswordOf(swap.path(), options.passwords);
    const auto file = openJetFile(swap.path(), password);
    if (file->model().jet3()) throw notChanged("it is a Jet 3 (Access 97) file, and Jet 3 files are not written");
    const int sortOrder = file->model().header().sortOrder;

    OwnFolder work(tempRoot() / "dexmira-jet-XXXXXX");
    const std::string store = (work.path() / "work.mdb").string();
    ImportJetFile(swap.path(), store, password);
    const auto before = storeStructure(store, password);
    JetRouteOutcome outcome;
    if (!change(store, password)) return outcome;
    const auto after = storeStructure(store, password);

    StoreForJet changed = describeStoreForJet(store, password);
    JetWriteDatabase old;
    try {
        old = describeJetFile(*file);
    } catch (const JetWriteError& e) {
        throw notChanged(e.what());
    }
    JetWriteDatabase db = merge(std::move(old), changed, before, after);
    std::unique_ptr<KeyCarrier> carrier;
    if (options.generalSortOrder && sortOrder != kGeneralSortOrder) {
        db.sortOrder = kGeneralSortOrder;
        for (JetWriteTable& t : db.tables)
            for (JetWriteColumn& c : t.columns) c.sortOrder = 0;
        say("the file is rewritten in the General sort order (0x409) instead of its own (0x" +
            [&] {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(sortOrder));
                return std::string(hex);
            }() +
            "): every text key is computed again");
    } else {
        std::set<std::pair<std::string, size_t>> carry;
        const JetModel& m = file->model();
        for (const JetModelTable& t : m.tables())
            for (size_t i = 0; i < t.def.physicalIndexes.size(); ++i)
                if (!whyIndexNotComputable(m, t, i).empty()) carry.insert({t.name, i});
        if (!carry.empty()) {
            carrier = std::make_unique<KeyCarrier>(m, carry);
            db.keysByValue = carrier->lookup();
        }
    }
    RewriteDigests digests;
    watchRows(db, digests);
    RewriteExpectation expected;
    const std::vector<TableDef> storeTables = changed.tables;
    expected.structure = [&](const std::string& readPath) {
        return storeStructureDifference(storeTables, readPath, password);
    };
    const bool otherOrder = db.sortOrder != kGeneralSortOrder;
    rewriteJetFile(swap, path, password, db, digests, expected, {}, [&](const std::string& why) {
        if (otherOrder && why.find("cannot be computed") != std::string::npos)
            return notChanged(why + "; --sort-order general rewrites the whole file in the General sort order, "
                                    "whose keys can be computed");
        return notChanged(why);
    });
    outcome.backup = swap.commit();
    outcome.changed = true;
    return outcome;
}

}  // namespace dex
