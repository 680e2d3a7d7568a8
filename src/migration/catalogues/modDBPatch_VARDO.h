#pragma once
// modDBPatch_VARDO: the migration catalogue of product vardoII (Velmora II
// and Velmora Lite), target version 141. Its steps and sub-procedures are
// data over the schema primitives, so the catalogues of related products can
// take them over by number and by name.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "MigrationEngine.h"

namespace dex::modDBPatch_VARDO {

using migration::MigrationContext;

inline constexpr int16_t kTarget = 141;

// The 138 steps of the ladder, in ascending order.
std::vector<migration::Step> Steps();
// The sub-procedures that consist of operations only, by name.
std::map<std::string, migration::SubProcedure> TableSubProcedures();

// The whole catalogue: steps, all 48 sub-procedures, target, ladder handler.
const migration::Catalogue& Catalogue();

bool ChkDBpatch(MigrationContext& ctx);
bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored);

// The sub-procedures with code of their own.
void BillNoteSubRtn(MigrationContext& ctx);
void CreateTBL_office_store(MigrationContext& ctx);
void LoginPwdUpdate(MigrationContext& ctx);

// A value for splicing between apostrophes: every apostrophe doubled.
std::string QuoteText(const std::string& value);

}  // namespace dex::modDBPatch_VARDO
