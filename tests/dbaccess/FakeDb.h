#pragma once
// A recording stand-in for the database engine: every statement is kept in
// order; answers (rows, affected counts, errors) come from rules the test
// sets up, matched by exact text or by prefix.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex::testing {

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
    void on(const std::string& sql, FakeAnswer a);
    // Answer for any text starting with `prefix`.
    void onPrefix(const std::string& prefix, FakeAnswer a);

    std::vector<std::pair<std::string, FakeAnswer>> exact, prefixes;
    FakeAnswer lookup(const std::string& sql) const;
};

class FakeRecordset : public Recordset {
public:
    explicit FakeRecordset(std::vector<std::vector<Value>> rows) : rows_(std::move(rows)) {}
    int state() const override { return open_ ? StateOpen : StateClosed; }
    bool eof() const override { return pos_ >= rows_.size(); }
    int fieldCount() const override { return rows_.empty() ? 0 : static_cast<int>(rows_[0].size()); }
    Value field(int index) const override;
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
    int64_t execute(const std::string& sql) override;
    std::unique_ptr<Recordset> query(const std::string& sql) override;
    void close() override {}

private:
    std::shared_ptr<FakeDbState> state_;
};

class FakeEngine : public DbEngine {
public:
    std::shared_ptr<FakeDbState> state = std::make_shared<FakeDbState>();
    std::unique_ptr<DaoDatabase> openDatabase(const std::string&, int, bool, const std::string&) override {
        throw DbError(3024, "not supported by the fake");
    }
    void compactDatabase(const std::string&, const std::string&, const std::string&) override {
        throw DbError(3024, "not supported by the fake");
    }
    std::unique_ptr<Connection> openConnection(const std::string& cs) override {
        state->connectionStrings.push_back(cs);
        if (state->openError) throw *state->openError;
        return std::make_unique<FakeConnection>(state);
    }
};

}  // namespace dex::testing
