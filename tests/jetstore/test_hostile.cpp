// Stores made by someone else: texts kept inside the file and comments in a
// statement must never steer the store to anything but the statement asked.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>

#include "JetStore.h"
#include "UniqueFolder.h"

namespace dex::test {
namespace {

namespace fs = std::filesystem;

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder("dex_hostile");
        path = (dir / "store.mdb").string();
        createStore(path, "");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs SQL on a file with plain SQLite, as someone editing it by hand.
    static void raw(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        char* err = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
    }
    static int64_t rawCount(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_stmt* st = nullptr;
        int64_t n = -1;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return n;
    }
    std::unique_ptr<Connection> connect() {
        return engine->openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    }

    fs::path dir;
    std::string path;
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
};

TEST_F(Hostile, StoredIndexTextIsNeverRunAsAScript) {
    const std::string other = (dir / "other.db").string();
    raw(other, "CREATE TABLE important (x INTEGER); INSERT INTO important VALUES (1)");
    {
        auto conn = connect();
        conn->execute("CREATE TABLE t (a LONG, b LONG)");
        conn->execute("CREATE INDEX ix ON t (b)");
        conn->execute("INSERT INTO t (a, b) VALUES (1, 2)");
    }
    raw(path, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = 'CREATE INDEX ix ON t (b); ATTACH DATABASE ''" +
                  other + "'' AS p; DROP TABLE p.important' WHERE name = 'ix'; PRAGMA writable_schema=OFF");
    auto conn = connect();
    try {
        conn->execute("ALTER TABLE t ADD COLUMN id AUTOINCREMENT");  // rebuilds the table
        ADD_FAILURE() << "the rebuild ran a stored text of three statements";
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), 3343) << e.description();
    }
    EXPECT_EQ(rawCount(other, "SELECT COUNT(*) FROM important"), 1) << "the other database is untouched";
    EXPECT_EQ(rawCount(path, "SELECT COUNT(*) FROM t"), 1) << "the failed rebuild was rolled back";

    // No statement reaches another file, whatever its text.
    try {
        conn->execute("ATTACH DATABASE '" + other + "' AS p");
        ADD_FAILURE() << "ATTACH was allowed";
    } catch (const DbError&) {
    }
    EXPECT_THROW(conn->query("SELECT * FROM t; ATTACH DATABASE '" + other + "' AS p"), DbError);
}

TEST_F(Hostile, CommentsInAStatementAreNotStoreNotes) {
    auto conn = connect();
    conn->execute("CREATE TABLE t (a LONG /*jet:default=0) --*/, b LONG NOT NULL, c VARCHAR(5))");
    conn->execute("CREATE TABLE u (id LONG /*jet:type=AUTOINCREMENT*/, d VARCHAR(5 /*jet:required=1*/))");
    conn->close();
    auto db = engine->openDatabase(path, 0, true, "");
    std::map<std::string, TableDef> tables;
    for (auto& t : db->tableDefs()) tables[t.name] = t;
    const TableDef& t = tables.at("t");
    ASSERT_EQ(t.fields.size(), 3u) << "no column is dropped";
    EXPECT_EQ(t.fields[0].defaultValue, "");
    EXPECT_EQ(t.fields[1].name, "b");
    EXPECT_TRUE(t.fields[1].required);
    EXPECT_EQ(t.fields[2].size, 5);
    const TableDef& u = tables.at("u");
    ASSERT_EQ(u.fields.size(), 2u);
    EXPECT_FALSE(u.fields[1].required);
    auto again = connect();
    again->execute("INSERT INTO u (d) VALUES ('x')");
    EXPECT_TRUE(isNull(again->query("SELECT id FROM u")->field(0))) << "id is a plain Long, not an autonumber";
}

// A statement may read the store's settings but never switch off what
// keeps it sound: the schema's protection, foreign keys, the journal.
TEST_F(Hostile, StatementsCannotSwitchOffTheStoresProtections) {
    auto conn = connect();
    conn->execute("CREATE TABLE p (id LONG, PRIMARY KEY (id))");
    conn->execute("CREATE TABLE c (pid LONG, CONSTRAINT fk_c FOREIGN KEY (pid) REFERENCES p (id))");
    for (const std::string sql :
         {"PRAGMA writable_schema=1", "PRAGMA writable_schema = ON", "PRAGMA main.writable_schema=1",
          "PRAGMA writable_schema(1)", "pragma Trusted_Schema=1", "PRAGMA foreign_keys=OFF",
          "/* a note */ PRAGMA journal_mode=OFF", "PRAGMA ignore_check_constraints=1", "PRAGMA schema_version=7",
          "PRAGMA defer_foreign_keys=ON;", "PRAGMA [writable_schema]=1"}) {
        SCOPED_TRACE(sql);
        for (const bool asQuery : {false, true}) {
            try {
                if (asQuery) conn->query(sql);
                else conn->execute(sql);
                ADD_FAILURE() << "accepted";
            } catch (const DbError& e) {
                EXPECT_EQ(e.number(), dberr::SyntaxError);
                EXPECT_NE(e.description().find(" is refused: a statement may read the store's settings but not "
                                               "change them, so that its protections stay on."),
                          std::string::npos)
                    << e.description();
            }
        }
    }
    try {
        conn->execute("PRAGMA writable_schema=1");
    } catch (const DbError& e) {
        EXPECT_EQ(e.description(), "PRAGMA writable_schema is refused: a statement may read the store's settings but "
                                   "not change them, so that its protections stay on.");
    }
    EXPECT_EQ(valueToText(conn->query("PRAGMA foreign_keys")->field(0)), "1");
    EXPECT_EQ(valueToText(conn->query("PRAGMA writable_schema")->field(0)), "0");
    EXPECT_EQ(valueToText(conn->query("PRAGMA table_info(c)")->field(1)), "pid");
    EXPECT_EQ(valueToText(conn->query("PRAGMA integrity_check")->field(0)), "ok");
    EXPECT_THROW(conn->execute("INSERT INTO c (pid) VALUES (9)"), DbError) << "foreign keys are still enforced";
}

}  // namespace
}  // namespace dex::test
