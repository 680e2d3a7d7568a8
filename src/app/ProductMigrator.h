#pragma once
// Brings the comparison's copies to a product's latest schema: DBOpen on the
// copy with the product password, then the product's ChkDBpatch, on one
// shared database session.
#include <memory>

#include "CompareRun.h"
#include "DbSession.h"
#include "MigrationLog.h"

namespace dex {

class ProductMigrator : public Migrator {
public:
    // The copies are scratch files: they are migrated through an engine of
    // their own that skips the disk syncs a user's database would get.
    explicit ProductMigrator(Dialogs& dialogs);
    bool migrate(const std::string& productCode, const std::string& copyPath) override;
    void release() override { session_.closeConnection(); }
    DbSession& session() { return session_; }

private:
    std::unique_ptr<DbEngine> engine_;
    DbSession session_;
    migration::MigrationLog log_;
};

}  // namespace dex
