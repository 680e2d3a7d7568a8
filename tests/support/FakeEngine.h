#pragma once
// An in-memory DbEngine for workbench tests: each "file" is a list of table
// definitions, optionally guarded by a password or made unreadable.
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex::test {

struct FakeFile {
    std::vector<TableDef> tables;
    std::string password;
    bool failOnRead = false;
};

class FakeEngine : public DbEngine {
public:
    std::map<std::string, FakeFile> files;
    // Files on disk whose whole content is a key of this map open as its value,
    // so that copies of a file open like the file.
    std::map<std::string, FakeFile> byContent;
    int opens = 0, closes = 0;

    std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int, bool,
                                              const std::string& connect) override {
        auto it = files.find(path);
        if (it == files.end()) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            it = in ? byContent.find(content.str()) : byContent.end();
            if (it == byContent.end()) throw DbError(3024, "Could not find file '" + path + "'.");
        }
        const std::string pwd = connect.rfind(";pwd=", 0) == 0 ? connect.substr(5) : "";
        if (!it->second.password.empty() && pwd != it->second.password)
            throw DbError(3031, "Not a valid password.");
        ++opens;
        return std::make_unique<Db>(*this, it->second);
    }
    void compactDatabase(const std::string&, const std::string&, const std::string&) override {
        throw DbError(3343, "not supported by the fake engine");
    }
    std::unique_ptr<Connection> openConnection(const std::string&) override {
        throw DbError(3343, "not supported by the fake engine");
    }

private:
    struct Db : DaoDatabase {
        Db(FakeEngine& e, const FakeFile& f) : engine(e), file(f) {}
        std::vector<TableDef> tableDefs() override {
            if (file.failOnRead) throw DbError(3049, "Cannot open database ''. It may not be a database.");
            return file.tables;
        }
        void close() override { ++engine.closes; }
        FakeEngine& engine;
        const FakeFile& file;
    };
};

// Builders for concise table definitions.
inline FieldDef textField(const std::string& name, int size = 10) {
    return FieldDef{name, daotype::Text, size, "\"\"", true, true};
}
inline FieldDef longField(const std::string& name) { return FieldDef{name, daotype::Long, 4, "0", true, false}; }
inline IndexDef primaryKey(std::vector<std::string> fields) {
    return IndexDef{"PrimaryKey", true, false, true, std::move(fields), {}, {}};
}
inline IndexDef foreignKey(const std::string& name, std::vector<std::string> fields) {
    return IndexDef{name, false, true, false, std::move(fields), {}, {}};
}
inline IndexDef plainIndex(const std::string& name, std::vector<std::string> fields) {
    return IndexDef{name, false, false, false, std::move(fields), {}, {}};
}

}  // namespace dex::test
