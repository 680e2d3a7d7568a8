#pragma once
// modDBPatch_FORNPRO: the migration catalogue of product FornPro (Quensa
// Pro), target version 70. Steps 2 to 10 are its own; from step 11 on it
// follows the later vardoII steps one by one, with a few FornII variants.
// Its ladder creates no manufacturing table: makeord_m and makelist_m belong
// to the product's base schema. The ladder has no error handler of its own.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "MigrationEngine.h"

namespace dex::modDBPatch_FORNPRO {

using migration::MigrationContext;

inline constexpr int16_t kTarget = 70;

// The 68 steps of the ladder (2 to 70 without 52), in ascending order.
std::vector<migration::Step> Steps();
// All 26 sub-procedures of the module, by name.
std::map<std::string, migration::SubProcedure> SubProcedures();

const migration::Catalogue& Catalogue();

bool ChkDBpatch(MigrationContext& ctx);
bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored);

}  // namespace dex::modDBPatch_FORNPRO
