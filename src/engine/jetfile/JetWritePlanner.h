#pragma once
// The plan of a Jet file being written: the catalogue's own tables and every
// described table with its columns laid out and its indexes numbered, the
// physical entries shared where Access shares them, the relationships'
// foreign-key indexes and their MSysRelationships rows.
#include <set>
#include <string>
#include <vector>

#include "JetFileWriter.h"
#include "JetWriteTable.h"

namespace dex::jetfile::jetwrite {

// Ends the write of a description that cannot be written (JetWriteError).
[[noreturn]] void failDescription(const std::string& message, const std::string& table = {});

// The four tables of the catalogue as an Access-made file defines them.
std::vector<JetWriteTable> catalogTables(bool jet3);

// A logical index while the database is planned: its physical entry is its
// own (own = true, in creation order) or another planned index's.
struct PlannedIndex {
    LogicalIndex logical;
    bool own = true;
    int physicalOf = -1;  // the planned index whose physical entry this one uses
    PhysicalIndex physical;
    bool unique = false;
};

struct TableState {
    TablePlan plan;
    std::vector<PlannedIndex> indexes;  // in logical-number order
};

class Planner {
public:
    Planner(const JetWriteDatabase& db, const Format& format, int sortOrder)
        : db_(db), format_(format), sortOrder_(sortOrder) {}

    std::vector<TablePlan> plan();
    // MSysRelationships rows without the names resolved: one per column pair.
    std::vector<std::vector<JetValue>> relationshipRows;
    std::vector<std::string> relationshipNames;  // in the order of db.relationships

private:
    TableState& table(const std::string& name, const std::string& context);
    int columnNumber(const TableState& t, const std::string& column, const std::string& context) const;
    void addTable(const JetWriteTable& w, bool catalogTable);
    void addIndex(TableState& t, const JetWriteIndex& w, int position);
    void addRelationship(const JetWriteRelationship& r);
    int findUnique(const TableState& t, const std::vector<int>& columns) const;
    std::string freeReferenceName(const TableState& t) const;
    TablePlan finish(TableState& t, bool gap) const;

    const JetWriteDatabase& db_;
    Format format_;
    int sortOrder_;
    std::vector<TableState> tables_;
    std::set<std::string> relationshipNames_;
    std::vector<JetWriteTable> catalog_;
};

}  // namespace dex::jetfile::jetwrite
