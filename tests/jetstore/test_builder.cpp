// Stores built from a complete description (how a real Jet file is imported):
// what the Jet dialect cannot say must read back exactly and survive the
// store's own table rebuilds.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "JetStore.h"
#include "StoreBuilder.h"
#include "UniqueFolder.h"

namespace dex::test {
namespace {

namespace fs = std::filesystem;

class Builder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder("dex_builder");
        path = (dir / "built.mdb").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<TableDef> structure(const std::string& password = "pw") {
        auto engine = makeJetStoreEngine();
        return engine->openDatabase(path, 0, true, ";pwd=" + password)->tableDefs();
    }
    static const TableDef& table(const std::vector<TableDef>& all, const std::string& name) {
        for (const auto& t : all)
            if (t.name == name) return t;
        throw std::runtime_error("no table " + name);
    }
    static const IndexDef* index(const TableDef& t, const std::string& name) {
        for (const auto& i : t.indexes)
            if (i.name == name) return &i;
        return nullptr;
    }

    // Two tables that both have an index named "code", a named key, Jet
    // default texts SQLite cannot evaluate, and AllowZeroLength off.
    static StoreTableSpec customers() {
        StoreTableSpec t;
        t.name = "customer";
        t.columns = {{"id", "AUTOINCREMENT", std::nullopt, false, std::nullopt, false},
                     {"code", "VARCHAR(6)", std::string("\"A0\""), true, false, false},
                     {"joined", "DATETIME", std::string("=Date()+1"), false, std::nullopt, false},
                     {"note", "LONGTEXT", std::nullopt, false, false, false},
                     {"photo", "LONGBINARY", std::nullopt, false, std::nullopt, true}};
        t.primaryKeyName = "pk_customer";
        t.primaryKey = {"id"};
        t.indexes = {{"code", true, {"code"}, {}}};
        return t;
    }
    static StoreTableSpec sales() {
        StoreTableSpec t;
        t.name = "sale";
        t.columns = {{"no", "LONG", std::nullopt, true, std::nullopt, false},
                     {"line", "SMALLINT", std::string("0"), true, std::nullopt, false},
                     {"customer", "LONG", std::nullopt, false, std::nullopt, false},
                     {"code", "VARCHAR(10)", std::nullopt, false, std::nullopt, false}};
        t.primaryKey = {"no", "line"};
        t.primaryKeyName = "PrimaryKey";
        t.indexes = {{"code", false, {"code", "line"}, {}}};
        t.foreignKeys = {{"customersale", {"customer"}, "customer", {"id"}, false, true}};
        return t;
    }

    fs::path dir;
    std::string path;
};

TEST_F(Builder, WhatTheDialectCannotSayReadsBack) {
    {
        StoreBuilder b(path, "pw");
        const auto c = customers(), s = sales();
        b.createTable(c);
        b.createTable(s);
        auto rows = b.rows(c);
        rows.write({int64_t{7}, std::string("C1"), std::string("2020-01-02 03:04:05"), std::string("0012"),
                    std::string("\x00\xff\x01", 3)});
        b.createIndexes(c);
        auto saleRows = b.rows(s);
        saleRows.write({int64_t{1}, int64_t{1}, int64_t{7}, std::string("x")});
        b.createIndexes(s);
        b.finish();
    }
    const auto all = structure();
    const TableDef& c = table(all, "customer");
    ASSERT_EQ(c.fields.size(), 5u);
    EXPECT_EQ(c.fields[1].defaultValue, "\"A0\"");
    EXPECT_TRUE(c.fields[1].required);
    EXPECT_FALSE(c.fields[1].allowZeroLength);
    EXPECT_EQ(c.fields[2].defaultValue, "=Date()+1");
    EXPECT_EQ(c.fields[3].type, 12);
    EXPECT_FALSE(c.fields[3].allowZeroLength);
    EXPECT_EQ(c.fields[4].type, 11);
    ASSERT_NE(index(c, "pk_customer"), nullptr);
    EXPECT_TRUE(index(c, "pk_customer")->primary);
    ASSERT_NE(index(c, "code"), nullptr);
    EXPECT_TRUE(index(c, "code")->unique);

    const TableDef& s = table(all, "sale");
    ASSERT_NE(index(s, "PrimaryKey"), nullptr);
    EXPECT_EQ(index(s, "PrimaryKey")->fields, (std::vector<std::string>{"no", "line"}));
    ASSERT_NE(index(s, "code"), nullptr) << "the second table's index keeps its Jet name";
    EXPECT_EQ(index(s, "code")->fields, (std::vector<std::string>{"code", "line"}));
    ASSERT_NE(index(s, "customersale"), nullptr);
    EXPECT_TRUE(index(s, "customersale")->foreign);
    EXPECT_EQ(index(s, "customersale")->referencedTable, "customer");
    EXPECT_EQ(index(s, "customersale")->referencedFields, std::vector<std::string>{"id"});

    // Values come back exactly; the memo keeps its leading zeros, the photo its bytes.
    auto engine = makeJetStoreEngine();
    auto conn = engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                                       ";Jet OLEDB:Database Password=pw");
    auto rs = conn->query("SELECT note, photo, joined FROM customer");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(valueToText(rs->field(0)), "0012");
    EXPECT_EQ(std::get<std::string>(rs->field(1)), std::string("\x00\xff\x01", 3));
    EXPECT_EQ(valueToText(rs->field(2)), "2020-01-02 03:04:05");

    // The autonumber goes on after the largest imported value; a rebuild of
    // the table keeps the key's name, the defaults and AllowZeroLength.
    conn->execute("INSERT INTO customer (code) VALUES ('C2')");
    EXPECT_EQ(valueToText(conn->query("SELECT MAX(id) FROM customer")->field(0)), "8");
    conn->execute("ALTER TABLE customer ALTER COLUMN note VARCHAR(20)");
    conn->execute("ALTER TABLE customer ADD COLUMN extra LONG");
    conn->execute("DROP INDEX code ON sale");
    conn->close();
    const auto after = structure();
    const TableDef& c2 = table(after, "customer");
    ASSERT_NE(index(c2, "pk_customer"), nullptr);
    EXPECT_EQ(c2.fields[1].defaultValue, "\"A0\"");
    EXPECT_FALSE(c2.fields[1].allowZeroLength);
    EXPECT_EQ(c2.fields[2].defaultValue, "=Date()+1");
    ASSERT_NE(index(c2, "code"), nullptr) << "DROP INDEX ... ON sale leaves customer's index";
    EXPECT_EQ(index(table(after, "sale"), "code"), nullptr);
}

TEST_F(Builder, UnfinishedOrBrokenBuildsLeaveNoFile) {
    {
        StoreBuilder b(path, "");
        b.createTable(customers());
    }
    EXPECT_FALSE(fs::exists(path));

    try {
        StoreBuilder b(path, "");
        b.createTable(customers());
        b.createTable(sales());
        auto rows = b.rows(sales());
        rows.write({int64_t{1}, int64_t{1}, int64_t{99}, std::string("orphan")});
        b.finish();
        ADD_FAILURE() << "a row without its customer was accepted";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), -2147467259);
        EXPECT_NE(e.description().find("'sale'"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(fs::exists(path));

    try {
        StoreBuilder b(path, "");
        b.createTable(customers());
        auto rows = b.rows(customers());
        rows.write({int64_t{1}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}});
        ADD_FAILURE() << "a Null in a required field was accepted";
    } catch (const DbError& e) {
        EXPECT_NE(e.description().find("customer"), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("code"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace dex::test
