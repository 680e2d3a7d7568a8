#pragma once
// modDBPatch_QB: the migration catalogue of product quickbilII (Tallyvo
// II), target version 14. Its steps stand inside the entry itself, mostly as
// literal statements, so an error anywhere in them reaches the entry's
// handler; there is no separate ladder procedure.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "MigrationEngine.h"

namespace dex::modDBPatch_QB {

using migration::MigrationContext;

inline constexpr int16_t kTarget = 14;

// The steps 2 to 10, 12, 13 and 14, in ascending order.
std::vector<migration::Step> Steps();
// CreateTBL_priv_menu and CreateTBL_receive.
std::map<std::string, migration::SubProcedure> SubProcedures();

const migration::Catalogue& Catalogue();

bool ChkDBpatch(MigrationContext& ctx);

}  // namespace dex::modDBPatch_QB
