#include "AnyEngine.h"

#include "ConnectionText.h"
#include "FileKind.h"
#include "JetFileEngine.h"

namespace dex {

namespace {

// The Data Source of an ADO connection string ("" when it has none).
std::string dataSourceOf(const std::string& connectionString) {
    return connectionSetting(parseConnectionText(connectionString), "DATA SOURCE");
}

class AnyEngine : public DbEngine {
public:
    explicit AnyEngine(const JetStoreOptions& options)
        : store_(makeJetStoreEngine(options)), jet_(makeJetFileEngine()) {}

    std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int options, bool readOnly,
                                              const std::string& connect) override {
        return engineFor(path).openDatabase(path, options, readOnly, connect);
    }
    void compactDatabase(const std::string& source, const std::string& destination,
                         const std::string& sourceConnect) override {
        engineFor(source).compactDatabase(source, destination, sourceConnect);
    }
    std::unique_ptr<Connection> openConnection(const std::string& connectionString) override {
        return engineFor(dataSourceOf(connectionString)).openConnection(connectionString);
    }

private:
    DbEngine& engineFor(const std::string& path) {
        return detectFileKind(path) == FileKind::Jet ? *jet_ : *store_;
    }
    std::unique_ptr<DbEngine> store_, jet_;
};

}  // namespace

std::unique_ptr<DbEngine> makeDatabaseEngine(const JetStoreOptions& storeOptions) {
    return std::make_unique<AnyEngine>(storeOptions);
}

}  // namespace dex
