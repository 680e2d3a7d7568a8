#pragma once
// modDBPatch_FORN: the migration catalogue of product FornII (Quensa II),
// target version 135. It descends from the vardoII catalogue: most steps are
// vardoII steps under lower numbers and most sub-procedures are copies of
// vardoII's; the steps and sub-procedures that differ are spelled out here.
// The ladder has no error handler of its own: its errors reach the entry.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "MigrationEngine.h"

namespace dex::modDBPatch_FORN {

using migration::MigrationContext;

inline constexpr int16_t kTarget = 135;

// The 134 steps of the ladder (2 to 135), in ascending order.
std::vector<migration::Step> Steps();
// All 48 sub-procedures of the module, by name.
std::map<std::string, migration::SubProcedure> SubProcedures();

const migration::Catalogue& Catalogue();

bool ChkDBpatch(MigrationContext& ctx);
bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored);

}  // namespace dex::modDBPatch_FORN
