#pragma once
// The suite's one in-memory database engine. The DAO side: each "file" is a
// list of table definitions, optionally guarded by a password or made
// unreadable. The ADO side (RecordingEngine, or acceptsConnections): every
// statement is kept in order, and answers (rows, affected counts, errors)
// come from rules the test sets up, matched by exact text or by prefix.
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex::test {

struct FakeFile {
    std::vector<TableDef> tables;
    std::string password;
    bool failOnRead = false;
};

struct FakeAnswer {
    std::vector<std::vector<Value>> rows;
    int64_t affected = 0;
    std::optional<DbError> error;

    static FakeAnswer Rows(std::vector<std::vector<Value>> r) { return {std::move(r), 0, {}}; }
    static FakeAnswer Affected(int64_t n) { return {{}, n, {}}; }
    static FakeAnswer Fail(int32_t number, std::string description) {
        return {{}, 0, DbError(number, std::move(description))};
    }
};

struct FakeDbState {
    std::vector<std::string> statements;        // everything executed or queried
    std::vector<std::string> connectionStrings; // every open
    int connectionsClosed = 0;                  // connections released
    std::function<std::optional<FakeAnswer>(const std::string&)> answer;
    std::optional<DbError> openError;

    // Answer for exact text `sql`.
    void on(const std::string& sql, FakeAnswer a) { exact.emplace_back(sql, std::move(a)); }
    // Answer for any text starting with `prefix`.
    void onPrefix(const std::string& prefix, FakeAnswer a) { prefixes.emplace_back(prefix, std::move(a)); }

    std::vector<std::pair<std::string, FakeAnswer>> exact, prefixes;
    FakeAnswer lookup(const std::string& sql) const {
        if (answer)
            if (auto a = answer(sql)) return *a;
        for (const auto& [text, a] : exact)
            if (text == sql) return a;
        for (const auto& [prefix, a] : prefixes)
            if (sql.compare(0, prefix.size(), prefix) == 0) return a;
        return {};
    }
};

class FakeRecordset : public Recordset {
public:
    explicit FakeRecordset(std::vector<std::vector<Value>> rows) : rows_(std::move(rows)) {}
    int state() const override { return open_ ? StateOpen : StateClosed; }
    bool eof() const override { return pos_ >= rows_.size(); }
    int fieldCount() const override { return rows_.empty() ? 0 : static_cast<int>(rows_[0].size()); }
    Value field(int index) const override {
        if (!open_) throw DbError(3704, "Operation is not allowed when the object is closed.");
        if (eof()) throw DbError(3021, "Either BOF or EOF is True, or the current record has been deleted.");
        return rows_[pos_].at(static_cast<size_t>(index));
    }
    std::string fieldName(int index) const override { return "Field" + std::to_string(index + 1); }
    long recordCount() const override { return static_cast<long>(rows_.size()); }
    void moveNext() override { ++pos_; }
    void close() override { open_ = false; }

private:
    std::vector<std::vector<Value>> rows_;
    size_t pos_ = 0;
    bool open_ = true;
};

class FakeConnection : public Connection {
public:
    explicit FakeConnection(std::shared_ptr<FakeDbState> state) : state_(std::move(state)) {}
    ~FakeConnection() override { ++state_->connectionsClosed; }
    int64_t execute(const std::string& sql) override {
        state_->statements.push_back(sql);
        FakeAnswer a = state_->lookup(sql);
        if (a.error) throw *a.error;
        return a.affected;
    }
    std::unique_ptr<Recordset> query(const std::string& sql) override {
        state_->statements.push_back(sql);
        FakeAnswer a = state_->lookup(sql);
        if (a.error) throw *a.error;
        return std::make_unique<FakeRecordset>(a.rows);
    }
    void close() override {}

private:
    std::shared_ptr<FakeDbState> state_;
};

class FakeEngine : public DbEngine {
public:
    std::map<std::string, FakeFile> files;
    // Files on disk whose whole content is a key of this map open as its value,
    // so that copies of a file open like the file.
    std::map<std::string, FakeFile> byContent;
    int opens = 0, closes = 0;
    std::vector<std::string> opened;  // every path a database was opened for, in order
    // Connections (the ADO side) are refused unless accepted; accepted ones
    // record into state.
    bool acceptsConnections = false;
    std::shared_ptr<FakeDbState> state = std::make_shared<FakeDbState>();

    std::unique_ptr<DaoDatabase> openDatabase(const std::string& path, int, bool,
                                              const std::string& connect) override {
        opened.push_back(path);
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
    std::unique_ptr<Connection> openConnection(const std::string& cs) override {
        if (!acceptsConnections) throw DbError(3343, "not supported by the fake engine");
        state->connectionStrings.push_back(cs);
        if (state->openError) throw *state->openError;
        return std::make_unique<FakeConnection>(state);
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

// The engine of the data-layer and migration tests: it takes connections
// and records what is sent through them; it has no files.
class RecordingEngine : public FakeEngine {
public:
    RecordingEngine() { acceptsConnections = true; }
    std::unique_ptr<DaoDatabase> openDatabase(const std::string&, int, bool, const std::string&) override {
        throw DbError(3024, "not supported by the fake");
    }
    void compactDatabase(const std::string&, const std::string&, const std::string&) override {
        throw DbError(3024, "not supported by the fake");
    }
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
