#pragma once
// A writer of whole Jet 4 (Access 2000-2003) files from a description of
// their tables, relationships and catalogue; Jet 3 (Access 97) files too,
// for the tests' own material.
//
// What a written file holds:
//  - page 0: the masked header block with the code page, the sort order
//    (General 0x409 unless the description says otherwise), the creation
//    date and the database password, masked with the creation date;
//  - page 1: the file's own page map;
//  - the catalogue: MSysObjects (page 2) with the containers, MSysDb, every
//    table (its Id is its definition's page), every relationship and every
//    carried object; MSysACEs with the permissions of each object, as Access
//    grants them for new objects or as carried over; MSysQueries;
//    MSysRelationships with one row per column pair;
//  - every table: its definition (over as many pages as it needs), its rows
//    on data pages (null mask, fixed and variable parts, Booleans in the
//    null mask), its long values (inline up to 64 bytes, one LVAL row up to
//    4,076 bytes, else a chain of LVAL rows), its usage maps (inline, or a
//    reference map to usage pages) and one B-tree per physical index, the
//    system tables' included, with node pages and a leaf chain of any
//    length;
//  - enforced relationships: a foreign-key index on the referencing table,
//    the internal ".rC", ".rD", ... counterpart on the referenced table
//    (sharing its primary key's physical index), cascade flags on both.
//
// Keys: every type an index can hold; text keys in the General sort order
// for the characters whose codes are established (GeneralSortOrder.h). A
// text column of any other sort order needs its keys carried over
// (JetWriteTable::carriedKey). A key that cannot be made ends the write with
// JetWriteError naming the table, the index and the character, and the
// file is not made.
//
// A source file's objects that are not tables (queries and their
// MSysQueries rows, forms, reports, modules, the relationship layout,
// permissions, the database's and the summary's properties, the navigation
// tables) and each object's raw property blob are carried over verbatim:
// ids of tables change (a table's Id is its definition's page) and every
// reference to one in the carried rows is remapped (JetWriteDatabase::
// idColumns).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "DbEngine.h"
#include "JetValues.h"

namespace dex::jetfile {

// A description that cannot be written, or a write that failed. table()
// and index() name where (empty when not concerned); codePoint() is the
// character that has no key code, 0 otherwise.
class JetWriteError : public std::runtime_error {
public:
    explicit JetWriteError(const std::string& what, std::string table = {}, std::string index = {},
                           char32_t codePoint = 0)
        : std::runtime_error(what), table_(std::move(table)), index_(std::move(index)), codePoint_(codePoint) {}
    const std::string& table() const { return table_; }
    const std::string& index() const { return index_; }
    char32_t codePoint() const { return codePoint_; }

private:
    std::string table_, index_;
    char32_t codePoint_;
};

struct JetWriteColumn {
    std::string name;
    int type = 0;                   // coltype (JetFile.h)
    int size = 0;                   // Text: characters (0 = 255); Binary: bytes (0 = 255)
    bool autonumber = false;        // Long numbered by the engine (RepId: a new GUID)
    int precision = 18, scale = 0;  // Numeric
    // The column's properties, written to the table's property blob when it
    // has no carried one (JetWriteTable::catalog's LvProp).
    std::string defaultValue;  // "" = none
    bool required = false;
    bool allowZeroLength = false;  // Text and Memo
    // Carried from a source definition: the descriptor's flag byte (0x01
    // fixed, 0x02 updatable, 0x04 auto-increment, 0x10 system, ...), whether
    // text is stored with Unicode compression, the column's sort order.
    std::optional<uint8_t> flags;
    std::optional<bool> compressed;
    int sortOrder = 0;  // 0: the file's
};

struct JetWriteIndex {
    std::string name;
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;  // a primary key always is
    std::vector<std::string> columns;  // key order
    std::vector<bool> descending;      // empty: all ascending
    // Carried: the physical entry's flag byte as stored (0x01 unique, 0x02
    // ignore nulls, 0x08 required, 0x80 ...); unset: from the fields above.
    std::optional<uint8_t> physicalFlags;
};

// Receives one row, a value per column in the columns' order.
using JetRowSink = std::function<void(std::vector<JetValue>&)>;
// Hands a table's rows to the sink, in the order they are to be stored.
using JetRowSource = std::function<void(const JetRowSink&)>;
// The key bytes (flag bytes included) of the physical index that the index
// or relationship `index` names, for the `row`-th row the source handed
// over (from 0), where the keys cannot be computed here (text in a sort
// order other than General). Empty: the row has no entry in that index.
using JetCarriedKey = std::function<std::vector<uint8_t>(const std::string& index, uint64_t row)>;
// A key carried over by the values it indexes, for an index whose keys
// cannot be computed here: the table, the physical index (named after the
// first index that uses it), its columns and the row's values of them, in
// key order. A key depends only on the values, so an old file's index
// entries give the key of every value they hold.
struct JetKeyRequest {
    const std::string& table;
    const std::string& index;
    const std::vector<std::string>& columns;
    const std::vector<JetValue>& values;
};
// The key bytes (flag bytes included); empty when none is known.
using JetKeysByValue = std::function<std::vector<uint8_t>(const JetKeyRequest&)>;
// A catalogue row carried over: values by the source's column names.
using JetNamedValues = std::vector<std::pair<std::string, JetValue>>;

struct JetWriteTable {
    std::string name;
    std::vector<JetWriteColumn> columns;  // ordinal order
    std::vector<JetWriteIndex> indexes;
    JetRowSource rows;                    // none: no rows
    bool system = false;                  // a system table carried from a source (MSysAccessObjects, ...)
    // The table's MSysObjects row carried from a source (Flags, DateCreate,
    // Owner, LvProp, LvExtra ...; Id, ParentId, Name and Type are the
    // writer's). Empty: a new table's row, its LvProp made from the columns.
    JetNamedValues catalog;
    int64_t sourceId = 0;  // its Id in the source, remapped in carried rows; 0: none
    JetCarriedKey carriedKey;
};

struct JetWriteRelationship {
    std::string name;      // "" = refTable + table, as Access names them
    std::string table;     // the referencing table
    std::string refTable;  // the referenced table
    std::vector<std::string> columns, refColumns;
    bool enforced = true, cascadeUpdate = false, cascadeDelete = false;
    std::optional<int64_t> grbit;  // carried MSysRelationships.grbit; unset: from the flags above
    JetNamedValues catalog;        // carried MSysObjects row (its Id is kept); empty: a new one
};

struct JetWriteDatabase {
    int version = 1;      // 1 Jet 4; 0 Jet 3
    int codePage = 1252;  // page 0's code page; Jet 3 text is stored in it
    int sortOrder = 0;    // 0: General (0x409) in Jet 4, the code page's in Jet 3
    double created = 0;   // page 0's creation date (days since 1899-12-30); 0: now
    std::string password; // the database password (UTF-8); "" none
    std::vector<JetWriteTable> tables;  // every table but MSysObjects, MSysACEs, MSysQueries, MSysRelationships
    std::vector<JetWriteRelationship> relationships;
    // Carried MSysObjects rows that are neither tables nor relationships:
    // containers, MSysDb (with the database's properties), queries, forms,
    // reports, modules, SummaryInfo, ... Empty: a new database's containers
    // and MSysDb.
    std::vector<JetNamedValues> objects;
    // Carried MSysACEs rows; unset: granted for every object as Access
    // grants them in a new database.
    std::optional<std::vector<JetNamedValues>> aces;
    std::vector<JetNamedValues> queries;  // MSysQueries rows
    // Test material: logical index numbers apart from the physical ones (a
    // foreign key sharing the physical entry of an index over the same
    // columns, physical entries in reverse order, logical entries by name),
    // as Access leaves a database that was changed over time.
    bool physicalIndexGap = false;
    // Keys of indexes that cannot be computed here (text in a sort order
    // other than General, a character without a known code), for every
    // table, the catalogue's own included; unset: such an index ends the write.
    JetKeysByValue keysByValue;
    // The (table, column) pairs of carried rows that hold catalogue ids.
    std::vector<std::pair<std::string, std::string>> idColumns = {
        {"MSysObjects", "ParentId"}, {"MSysACEs", "ObjectId"}, {"MSysQueries", "ObjectId"},
        {"MSysNavPaneGroupToObjects", "ObjectID"}, {"MSysNavPaneObjectIDs", "Id"}};
};

struct JetWriteProgress {
    std::string table;
    int tableNumber = 0, tableCount = 0;  // 1-based
    uint64_t rows = 0;
};

struct JetWriteOptions {
    std::function<void(const JetWriteProgress&)> onTable;  // after each table's rows and indexes
    // For test material only (Jet 3 files): an index whose keys cannot be
    // computed gets an empty tree instead of ending the write. Such a file's
    // index does not list its rows.
    bool emptyTreesForUnkeyedIndexes = false;
};

struct JetWriteResult {
    uint32_t pages = 0;
    std::map<int64_t, int64_t> tableIds;  // source Id -> new Id
};

// Writes the file at path, which must not exist (O_EXCL); on any failure
// the file is removed and JetWriteError thrown.
JetWriteResult writeJetFile(const std::string& path, const JetWriteDatabase& db, const JetWriteOptions& options = {});
// The same into an open, empty file descriptor (not closed here); `name`
// stands for it in messages.
JetWriteResult writeJetFile(int fd, const std::string& name, const JetWriteDatabase& db,
                            const JetWriteOptions& options = {});

// A value in the engines' form (JetFile.h lists them: Bool -1/0, Currency a
// double or exact text, Date/Time text or a double, GUID and Decimal text,
// bytes in a string) as the column stores it. Throws JetWriteError saying
// why it does not fit.
JetValue storedValueOf(const Value& v, const JetWriteColumn& column);

}  // namespace dex::jetfile
