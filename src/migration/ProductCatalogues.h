#pragma once
// Which migration catalogue a product uses.
#include <string>

#include "Catalogue.h"
#include "MigrationEngine.h"

namespace dex::migration {

// A product list entry ("VelmoraII", "VelmoraLite", "QuensaII", "QuensaPro",
// "TallyvoII") or a product code ("vardoII", "FornII", "FornPro",
// "quickbilII") to its product code; "" when it is neither.
std::string ProductCodeFor(const std::string& nameOrCode);

// The catalogue of a product code, or nullptr when there is none.
const Catalogue* CatalogueFor(const std::string& productCode);

// Runs the ChkDBpatch of the product's catalogue on the session's DBConn.
// An empty product code migrates nothing and gives True. Throws
// std::invalid_argument for a code without a catalogue.
bool ChkDBpatchFor(const std::string& productCode, MigrationContext& ctx);

}  // namespace dex::migration
