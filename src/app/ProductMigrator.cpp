#include "ProductMigrator.h"

#include "JetStore.h"
#include "ProductCatalogues.h"
#include "Workbench.h"
#include "modDBsub.h"

namespace dex {

namespace {
std::unique_ptr<DbEngine> scratchEngine() {
    JetStoreOptions options;
    options.scratchWrites = true;
    return makeJetStoreEngine(options);
}
}  // namespace

ProductMigrator::ProductMigrator(Dialogs& dialogs)
    : engine_(scratchEngine()), session_(*engine_, dialogs), log_(migration::DefaultLogFolder()) {}

bool ProductMigrator::migrate(const std::string& productCode, const std::string& copyPath) {
    modDBsub::DBOpen(session_, copyPath, kProductPassword);
    migration::MigrationContext ctx{session_, log_};
    return migration::ChkDBpatchFor(productCode, ctx);
}

}  // namespace dex
