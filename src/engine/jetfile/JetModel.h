#pragma once
// A Jet 3 / Jet 4 file as it is stored, losing nothing the readers, the
// checker and a writer need: page 0 (version, page size, code page, sort
// order, creation date, password, page key), the catalog (every MSysObjects
// row with every column, its raw Lv / LvProp / LvExtra blobs), every local
// table's definition with every column descriptor and index entry as stored,
// each object's property blob, and every table's rows with exact values
// (JetValue). The file is read through JetPages only, never past its end.
//
// Opening checks what a file must be before anything is read: a regular
// file, the Jet signature, not ACE, the database password (DbError 3031 "Not
// a valid password for 'PATH'."), a whole number of pages, the catalog's
// definition on page 2. Every later damage is DbError 3343 "Unrecognized
// database format 'PATH': the file is damaged: ... in table 'T'.".
// One model serves one thread at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "JetHeader.h"
#include "JetPageReader.h"
#include "JetRows.h"
#include "JetValues.h"
#include "PropertyBlob.h"
#include "TableDefPages.h"

namespace dex::jetfile {

// One MSysObjects row.
struct JetCatalogEntry {
    int64_t id = 0;         // for a table: its definition page (low 24 bits)
    int64_t parentId = 0;   // the container (0x0F000001 Tables, ...)
    std::string name;
    int type = 0;           // 1 local table, 2 database, 3 container, 4/6 linked table, 5 query, 8 relationship, ...
    int64_t flags = 0;      // 0x80000000 and 0x2 system object, 0x8 hidden
    std::vector<JetValue> values;  // every column, in column-number order (JetModel::catalogColumns)
    std::string lv, lvProp, lvExtra;  // the raw blobs, "" when Null
    uint32_t page() const { return static_cast<uint32_t>(id) & 0xFFFFFFu; }
};

constexpr int kLocalTableType = 1;
constexpr int64_t kSystemObjectFlags = 0x80000002, kHiddenObjectFlag = 0x8;

// A local table: its catalog entry and definition.
struct JetModelTable {
    std::string name;
    uint32_t page = 0;       // the definition's first page
    size_t catalogIndex = 0; // into JetModel::catalog()
    bool system = false;     // a system object by its flags, or named MSys...
    bool hidden = false;     // the hidden flag
    TableDefinition def;
    std::vector<std::string> columnNames;  // in column-number order, UTF-8
    std::vector<uint32_t> dataPages;       // what its usage map lists, sorted
};

// The rows of a table with its column names (both in column-number order).
struct JetRowSet {
    std::vector<std::string> columns;
    std::vector<std::vector<JetValue>> rows;
    // The column's index, or -1.
    int column(const std::string& name) const;
};

class JetModel {
public:
    // Opens a file read-only (a password given for a file without one is ignored, as Jet does).
    static std::unique_ptr<JetModel> open(const std::string& path, const std::string& password);
    // A file image in memory (the fuzz targets); `name` stands for its path in messages.
    static std::unique_ptr<JetModel> fromImage(std::string image, const std::string& name, const std::string& password);

    const std::string& path() const { return path_; }
    const JetHeader& header() const { return header_; }
    bool jet3() const { return header_.format == JetFormat::Jet3; }
    const JetPages& pages() const { return *pages_; }

    const std::vector<std::string>& catalogColumns() const { return catalogColumns_; }
    const std::vector<JetCatalogEntry>& catalog() const { return catalog_; }
    // Every local table (system and hidden ones too), in catalog order.
    const std::vector<JetModelTable>& tables() const { return tables_; }
    // Without regard to ASCII case; nullptr when there is none.
    const JetModelTable* table(const std::string& name) const;

    // Every live row; onRow returns false to stop. Damage: DbError 3343 naming the table and the path.
    void readRows(const JetModelTable& table,
                  const std::function<bool(const RowPlace&, std::vector<JetValue>&)>& onRow) const;
    // All rows of a table (for the small system tables: MSysQueries, MSysACEs,
    // MSysRelationships); empty when the file has no such table.
    JetRowSet rowSet(const std::string& table) const;
    // The saved queries (MSysQueries), the permissions (MSysACEs) and the
    // relationships (MSysRelationships, one row per column pair), as stored.
    JetRowSet queries() const { return rowSet("MSysQueries"); }
    JetRowSet permissions() const { return rowSet("MSysACEs"); }
    JetRowSet relationshipRows() const { return rowSet("MSysRelationships"); }

    // The object's property blob, parsed (DbError 3343 when it is damaged).
    JetPropertyBlob properties(const JetCatalogEntry& entry) const;

    // A name from a table definition, as UTF-8.
    std::string text(const std::string& raw) const;
    // DbError 3343 "Unrecognized database format 'PATH': the file is damaged: <what> in table '<table>'.".
    DbError damaged(const std::string& what, const std::string& table) const;

private:
    JetModel() = default;
    void load(const std::string& password);
    TableDefinition definition(uint32_t page, const std::string& name) const;

    std::string path_;
    JetHeader header_;
    std::unique_ptr<JetPages> pages_;
    mutable std::unique_ptr<JetText> text_;
    std::vector<std::string> catalogColumns_;
    std::vector<JetCatalogEntry> catalog_;
    std::vector<JetModelTable> tables_;
};

// Runs f; a "the file is damaged" DbError without the path gets it in front.
DbError withFilePath(const std::string& path, const DbError& e);

}  // namespace dex::jetfile
