#include "ProductCatalogues.h"

#include <stdexcept>
#include <utility>

#include "Products.h"
#include "modDBPatch_FORN.h"
#include "modDBPatch_FORNPRO.h"
#include "modDBPatch_QB.h"
#include "modDBPatch_VARDO.h"

namespace dex::migration {

std::string ProductCodeFor(const std::string& nameOrCode) {
    for (const ProductEntry& product : ProductTable())
        if (!product.code.empty() && (nameOrCode == product.text || nameOrCode == product.code)) return product.code;
    return {};
}

const Catalogue* CatalogueFor(const std::string& productCode) {
    if (productCode == "vardoII") return &modDBPatch_VARDO::Catalogue();
    if (productCode == "FornII") return &modDBPatch_FORN::Catalogue();
    if (productCode == "FornPro") return &modDBPatch_FORNPRO::Catalogue();
    if (productCode == "quickbilII") return &modDBPatch_QB::Catalogue();
    return nullptr;
}

bool ChkDBpatchFor(const std::string& productCode, MigrationContext& ctx) {
    if (productCode.empty()) return true;
    const Catalogue* catalogue = CatalogueFor(productCode);
    if (!catalogue)
        throw std::invalid_argument("no migration catalogue for product code '" + productCode + "'");
    return ChkDBpatch(ctx, *catalogue);
}

}  // namespace dex::migration
