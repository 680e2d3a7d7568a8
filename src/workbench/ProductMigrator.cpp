#include "ProductMigrator.h"

#include "ErrorText.h"
#include "JetStore.h"
#include "ProductCatalogues.h"
#include "Workbench.h"
#include "modDBsub.h"

namespace dex {

namespace fs = std::filesystem;

namespace {
std::unique_ptr<DbEngine> scratchEngine() {
    JetStoreOptions options;
    options.scratchWrites = true;
    return makeJetStoreEngine(options);
}
}  // namespace

ProductMigrator::ProductMigrator(Dialogs& dialogs) : ProductMigrator(dialogs, migration::DefaultLogFolder()) {}

ProductMigrator::ProductMigrator(Dialogs& dialogs, fs::path logFolder)
    : engine_(scratchEngine()), session_(*engine_, dialogs), log_(std::move(logFolder)) {}

bool ProductMigrator::migrate(const std::string& productCode, const std::string& copyPath) {
    modDBsub::DBOpen(session_, copyPath, kProductPassword);
    migration::MigrationContext ctx{session_, log_};
    return migration::ChkDBpatchFor(productCode, ctx);
}

Migrator::TwinMaker ProductMigrator::twinMaker() {
    if (!storeEnginesOnThreads()) return {};
    const fs::path ownLogFolder = log_.filePath().parent_path();
    return [ownLogFolder](Dialogs& dialogs, const std::string& logFolder,
                          const std::atomic<bool>& abandoned) -> std::unique_ptr<Migrator> {
        auto twin = std::make_unique<ProductMigrator>(dialogs, fs::u8path(logFolder));
        // Its sections are kept apart until they are adopted, but a section
        // that this migrator's log could not take fails as it would here.
        const migration::MigrationLog own(ownLogFolder);
        twin->log_.setOpenCheck([own] { own.checkWritable(); });
        // Work that will be thrown away stops at its next statement.
        twin->session_.setTrace([&abandoned](const std::string&) {
            if (abandoned.load()) throw DbError(kRuntimeErrorNumber, "The migration was abandoned.");
        });
        return twin;
    };
}

void ProductMigrator::adoptTwin(const std::vector<RecordingDialogs::Shown>& messages, const std::string& logFolder) {
    for (const auto& m : messages) session_.dialogs().message(m.text, m.title, m.icon);
    log_.appendFrom(fs::u8path(logFolder) / migration::kLogFileName);
}

}  // namespace dex
