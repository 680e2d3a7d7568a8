#pragma once
// An independent reader for the tests: libmdb (mdbtools) behind one class,
// opening the file read-only and reading the catalog (MSysObjects), column
// properties and rows, to be compared with our own reader's. libmdb itself
// stays inside MdbAdapter.cpp. (It was the product's reader of rows once.)
//
// Rows are walked page by page with libmdb's own pieces (usage map, row
// offsets, mdb_crack_row, mdb_ole_read) rather than mdb_fetch_row, because
// mdb_fetch_row silently skips rows it cannot take apart, does not tell an
// empty text from Null, and reads rows whose deleted flag is set. Here a
// damaged row ends in DbError 3343 naming the table.
//
// libmdb reports odd data with fprintf(stderr, ...) (it does not log through
// g_log). While a libmdb call runs, file descriptor 2 points at /dev/null;
// a message another thread writes to stderr in that moment is lost too.
// Setting DEXMIRA_MDB_STDERR=1 leaves stderr alone, to see libmdb's messages.
//
// Not thread-safe: one adapter (one MdbHandle) per thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"
#include "JetHeader.h"
#include "TableDefPages.h"

namespace dex::test {

using namespace jetfile;

struct CatalogObject {
    std::string name;
    int type = 0;          // MSysObjects.Type without its high flag bits (1 = local table)
    uint32_t page = 0;     // MSysObjects.Id & 0xFFFFFF: the table-definition page of a table
    int64_t flags = 0;     // MSysObjects.Flags
};

struct ColumnProperties {
    int number = 0;            // TdefColumn::number
    std::string defaultValue;  // "" when none
    bool required = false;
    bool allowZeroLength = false;
};

// One row: a value per column, in column-number order.
using RowSink = std::function<bool(std::vector<Value>&)>;

class MdbAdapter {
public:
    // Opens the file through libmdb (read-only). header is the parsed page 0;
    // pageCount the number of whole pages in the file.
    MdbAdapter(const std::string& path, const JetHeader& header, uint32_t pageCount);
    ~MdbAdapter();
    MdbAdapter(const MdbAdapter&) = delete;
    MdbAdapter& operator=(const MdbAdapter&) = delete;

    // Reads MSysObjects (definition page 2, already checked by our own
    // reader as msysObjects) and keeps its entries for the calls below.
    const std::vector<CatalogObject>& readCatalog(const TableDefinition& msysObjects);

    // DefaultValue, Required and AllowZeroLength of a table's columns, as
    // libmdb reads them from the catalog's LvProp; in column-number order.
    std::vector<ColumnProperties> columnProperties(size_t catalogIndex, const TableDefinition& def,
                                                   const std::string& tableName);

    // Every live row in stored order; onRow returns false to stop.
    void readRows(size_t catalogIndex, const TableDefinition& def, const std::string& tableName,
                  const RowSink& onRow);

    struct Impl;  // libmdb state, defined in MdbAdapter.cpp

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dex::test
