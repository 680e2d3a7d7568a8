#include "AnyEngine.h"

#include "FileKind.h"
#include "JetFileEngine.h"

namespace dex {

namespace {

// The Data Source of an ADO connection string ("" when it has none).
std::string dataSourceOf(const std::string& connectionString) {
    size_t start = 0;
    while (start <= connectionString.size()) {
        size_t end = connectionString.find(';', start);
        if (end == std::string::npos) end = connectionString.size();
        std::string item = connectionString.substr(start, end - start);
        const size_t eq = item.find('=');
        if (eq != std::string::npos) {
            std::string key = item.substr(0, eq);
            key.erase(0, key.find_first_not_of(" \t"));
            key.erase(key.find_last_not_of(" \t") + 1);
            std::string upperKey;
            for (char ch : key) upperKey += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (upperKey == "DATA SOURCE") {
                std::string value = item.substr(eq + 1);
                value.erase(0, value.find_first_not_of(" \t"));
                value.erase(value.find_last_not_of(" \t") + 1);
                return value;
            }
        }
        start = end + 1;
    }
    return {};
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
