#pragma once
// The structure of a store in DAO terms: table definitions sorted by name
// (letter case ignored), fields in ordinal order, and the primary-key,
// foreign-key and other indexes of each table.
#include <vector>

#include "DbEngine.h"
#include "SchemaCatalog.h"

namespace dex::jetstore {

std::vector<TableDef> readTableDefs(SchemaCatalog& catalog);
FieldDef fieldDefOf(const ColumnDef& column);

}  // namespace dex::jetstore
