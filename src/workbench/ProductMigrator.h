#pragma once
// Brings the comparison's copies to a product's latest schema: DBOpen on the
// copy with the product password, then the product's ChkDBpatch, on one
// shared database session.
#include <filesystem>
#include <memory>

#include "CompareRun.h"
#include "DbSession.h"
#include "MigrationLog.h"

namespace dex {

class ProductMigrator : public Migrator {
public:
    // The copies are scratch files: they are migrated through an engine of
    // their own that skips the disk syncs a user's database would get. The
    // log goes to the default folder, or to logFolder.
    explicit ProductMigrator(Dialogs& dialogs);
    ProductMigrator(Dialogs& dialogs, std::filesystem::path logFolder);
    bool migrate(const std::string& productCode, const std::string& copyPath) override;
    void release() override { session_.closeConnection(); }
    // A twin on an engine and session of its own, when SQLite allows two
    // threads; its log sections fail wherever this log could not be written.
    TwinMaker twinMaker() override;
    void adoptTwin(const std::vector<RecordingDialogs::Shown>& messages, const std::string& logFolder) override;
    DbSession& session() { return session_; }

private:
    std::unique_ptr<DbEngine> engine_;
    DbSession session_;
    migration::MigrationLog log_;
};

}  // namespace dex
