#pragma once
// The catalogue of a Jet file being written: MSysObjects' rows (containers,
// MSysDb, every table and relationship, the carried objects) and MSysACEs'
// permissions, as Access makes them for a new database or as carried over
// with the new table ids.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "JetFileWriter.h"
#include "JetWritePlanner.h"

namespace dex::jetfile::jetwrite {

using CatalogueRow = std::vector<JetValue>;

struct Catalogue {
    std::vector<CatalogueRow> objects, aces;
};

// A carried row laid out on a table's columns (by name, without regard to
// case); columns it does not name stay Null.
CatalogueRow rowFromNamed(const TablePlan& t, const JetNamedValues& values);

// Replaces the table ids that a carried value names.
void remap(JetValue& v, const std::map<int64_t, int64_t>& ids);

// The positions of the table's columns that hold table ids (JetWriteDatabase::idColumns).
std::vector<size_t> idPositions(const TablePlan& t, const JetWriteDatabase& db);

// The catalogue's rows, the tables' definition pages already reserved; ids
// maps the source's table ids to the new ones.
Catalogue buildCatalogue(const std::vector<TablePlan>& plans, const JetWriteDatabase& db, const Planner& planner,
                         const TextCodec& codec, double created, const std::map<int64_t, int64_t>& ids);

// A source over rows held here.
JetRowSource rowsOf(std::shared_ptr<std::vector<CatalogueRow>> rows);

// A source whose rows get the new table ids in their id columns.
JetRowSource remapped(JetRowSource source, std::vector<size_t> positions, const std::map<int64_t, int64_t>* ids);

}  // namespace dex::jetfile::jetwrite
