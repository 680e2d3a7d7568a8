#pragma once
// A fresh store in a private temporary folder, with an ADO connection and
// helpers to read back its structure.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "JetStore.h"
#include "UniqueFolder.h"

namespace dex::test {

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder(std::string("dex_jetstore_") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        path = (dir / "store.mdb").string();
        createStore(path, "kt5316");
        JetStoreOptions options;
        options.busyTimeoutMs = 200;
        engine = makeJetStoreEngine(options);
        conn = engine->openConnection(connectionString(path, "kt5316"));
    }
    void TearDown() override {
        conn.reset();
        std::filesystem::remove_all(dir);
    }

    static std::string connectionString(const std::string& p, const std::string& pw) {
        std::string cs = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + p;
        if (!pw.empty()) cs += ";Jet OLEDB:Database Password=" + pw;
        return cs;
    }

    int64_t exec(const std::string& sql) { return conn->execute(sql); }

    // First field of the first row as text ("" for Null or no row).
    std::string scalar(const std::string& sql) {
        auto rs = conn->query(sql);
        return rs->eof() ? std::string() : valueToText(rs->field(0));
    }

    TableDef table(const std::string& name) {
        auto db = engine->openDatabase(path, 0, false, ";pwd=kt5316");
        for (auto& t : db->tableDefs())
            if (t.name == name) return t;
        ADD_FAILURE() << "no table " << name;
        return {};
    }

    static const FieldDef& field(const TableDef& t, const std::string& name) {
        for (const auto& f : t.fields)
            if (f.name == name) return f;
        throw std::runtime_error("no field " + name);
    }

    static const IndexDef* index(const TableDef& t, const std::string& name) {
        for (const auto& i : t.indexes)
            if (i.name == name) return &i;
        return nullptr;
    }

    // Expects the statement to fail with the given error number; returns the description.
    std::string failure(const std::string& sql, int32_t number) {
        try {
            conn->execute(sql);
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), number) << sql << ": " << e.description();
            return e.description();
        }
        ADD_FAILURE() << "no error from: " << sql;
        return {};
    }

    // Raw SQLite access for facts the engine does not expose (root pages, integrity).
    std::string raw(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
            auto* p = sqlite3_column_text(st, 0);
            out = p ? reinterpret_cast<const char*>(p) : "";
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }

    std::filesystem::path dir;
    std::string path;
    std::unique_ptr<DbEngine> engine;
    std::unique_ptr<Connection> conn;
};

}  // namespace dex::test
