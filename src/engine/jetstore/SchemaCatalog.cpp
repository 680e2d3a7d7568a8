#include "SchemaCatalog.h"

#include "DdlParser.h"
#include "SqliteHandles.h"
#include "StoreErrors.h"

namespace dex::jetstore {

const TableModel& SchemaCatalog::parse(const std::string& sql) {
    auto it = models_.find(sql);
    if (it == models_.end()) it = models_.emplace(sql, parseCreateTable(tokenize(sql), false)).first;
    return it->second;
}

std::vector<TableModel> SchemaCatalog::tables() {
    std::vector<TableModel> out;
    Statement st(db_,
                 "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND sql IS NOT NULL "
                 "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
    while (st.step()) {
        TableModel t = parse(st.columnText(1));
        t.name = st.columnText(0);
        out.push_back(std::move(t));
    }
    return out;
}

std::optional<TableModel> SchemaCatalog::find(const std::string& name) {
    auto st = cache_.use(
        "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND sql IS NOT NULL "
        "AND name = ?1 COLLATE NOCASE");
    st->bind(1, name);
    if (!st->step()) return std::nullopt;
    TableModel t = parse(st->columnText(1));
    t.name = st->columnText(0);
    return t;
}

TableModel SchemaCatalog::require(const std::string& name) {
    auto t = find(name);
    if (!t) throw missingTable(name);
    return *t;
}

std::string indexAnnotationName(const std::string& sql) {
    const std::string mark = "/*jet:name=";
    const size_t at = sql.rfind(mark);
    if (at == std::string::npos) return {};
    const size_t end = sql.find("*/", at);
    if (end == std::string::npos || sql.find_first_not_of(" \t\r\n", end + 2) != std::string::npos) return {};
    return unescapeAnnotation(sql.substr(at + mark.size(), end - at - mark.size()));
}

std::vector<IndexInfo> SchemaCatalog::indexes(const std::string& table) {
    return indexes(table, nullptr);
}

SchemaCatalog::IndexTexts SchemaCatalog::indexTexts() {
    IndexTexts texts;
    auto st = cache_.use("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
    while (st->step()) texts.emplace(st->columnText(0), st->columnText(1));
    return texts;
}

std::vector<IndexInfo> SchemaCatalog::indexes(const std::string& table, const IndexTexts* texts) {
    std::vector<IndexInfo> out;
    // With the texts at hand, the index list needs no look-up in
    // sqlite_master, which has no index of its own: one scan per index.
    auto list = texts ? cache_.use("SELECT il.name, il.\"unique\", il.origin FROM pragma_index_list(?1) il "
                                   "ORDER BY il.name")
                      : cache_.use("SELECT il.name, il.\"unique\", il.origin, m.sql FROM pragma_index_list(?1) il "
                                   "LEFT JOIN sqlite_master m ON m.type = 'index' AND m.name = il.name "
                                   "ORDER BY il.name");
    list->bind(1, table);
    while (list->step()) {
        IndexInfo ix{list->columnText(0), list->columnInt(1) != 0, list->columnText(2) == "c", {}, {}};
        if (ix.createdByStatement) {
            if (!texts) {
                ix.jetName = indexAnnotationName(list->columnText(3));
            } else if (const auto hit = texts->find(ix.name); hit != texts->end()) {
                ix.jetName = indexAnnotationName(hit->second);
            }
        }
        auto cols = cache_.use("SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        cols->bind(1, ix.name);
        while (cols->step()) ix.columns.push_back(cols->columnText(0));
        out.push_back(std::move(ix));
    }
    return out;
}

bool SchemaCatalog::indexExists(const std::string& name) {
    auto st = cache_.use("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1 COLLATE NOCASE");
    st->bind(1, name);
    return st->step();
}

bool SchemaCatalog::hasOwnTriggers(const std::string& table) {
    auto st = cache_.use(
        "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE "
        "AND name NOT LIKE 'jet\\_autonumber\\_%' ESCAPE '\\' LIMIT 1");
    st->bind(1, table);
    return st->step();
}

bool SchemaCatalog::hasViews() {
    auto st = cache_.use("SELECT 1 FROM sqlite_master WHERE type = 'view' LIMIT 1");
    return st->step();
}

void SchemaCatalog::remember(const std::string& sql, const TableModel& t) { models_.emplace(sql, t); }

void SchemaCatalog::markStale(const std::string& table, bool columns) { stale_[upperText(table)] |= columns; }

bool SchemaCatalog::columnsStale(const std::string& table) const {
    auto it = stale_.find(upperText(table));
    return it != stale_.end() && it->second;
}

bool SchemaCatalog::foreignKeyExists(const std::string& name) {
    auto st = cache_.use("SELECT sql FROM sqlite_master WHERE type = 'table' AND sql IS NOT NULL "
                         "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    while (st->step())
        if (parse(st->columnText(0)).findForeignKey(name)) return true;
    return false;
}

// writable_schema=RESET drops the connection's parsed schema; the next
// statement reads it again from the stored texts. The file is not written.
void SchemaCatalog::refresh() {
    if (stale_.empty()) return;
    execSql(db_, "PRAGMA writable_schema=RESET");
    stale_.clear();
}

void SchemaCatalog::refreshIfStale(const std::string& table) {
    if (columnsStale(table)) refresh();
}

std::vector<std::string> SchemaCatalog::referencingTables(const std::string& table) {
    std::vector<std::string> out;
    for (const auto& t : tables()) {
        if (equalsNoCase(t.name, table)) continue;
        for (const auto& fk : t.foreignKeys)
            if (equalsNoCase(fk.refTable, table)) {
                out.push_back(t.name);
                break;
            }
    }
    return out;
}

}  // namespace dex::jetstore
