// Opening stores: passwords, formats, missing and locked files, compaction,
// and DAO and ADO working on one file at the same time.
#include <fstream>

#include "StoreFixture.h"

namespace dex::test {
namespace {

class Open : public StoreFixture {
protected:
    int32_t openError(const std::function<void()>& open, std::string* description = nullptr) {
        try {
            open();
        } catch (const DbError& e) {
            if (description) *description = e.description();
            return e.number();
        }
        return 0;
    }
    std::string writeFile(const std::string& name, const std::string& bytes) {
        std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
};

TEST_F(Open, PasswordRules) {
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "wrong")); }), dberr::NotValidPassword);
    std::string d;
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "")); }, &d), dberr::NotValidPassword);
    EXPECT_EQ(d, "Not a valid password for '" + path + "'.");
    EXPECT_EQ(openError([&] { engine->openDatabase(path, 0, false, ";pwd=KT5316"); }), dberr::NotValidPassword);
    EXPECT_EQ(openError([&] { engine->openDatabase(path, 0, false, ";pwd=kt5316"); }), 0);
    EXPECT_EQ(raw("SELECT value FROM MSysStore WHERE key = 'password'").find("kt5316"), std::string::npos);

    std::string open = (dir / "open.mdb").string();
    createStore(open, "");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(open, "anything")); }), 0);
    EXPECT_EQ(openError([&] { engine->openDatabase(open, 0, false, ""); }), 0);
}

TEST_F(Open, ChangingThePassword) {
    conn.reset();
    setStorePassword(path, "kt5316", "new");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "kt5316")); }), dberr::NotValidPassword);
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "new")); }), 0);
    setStorePassword(path, "new", "");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "")); }), 0);
}

TEST_F(Open, MissingFile) {
    std::string missing = (dir / "none.mdb").string(), d;
    EXPECT_EQ(openError([&] { engine->openDatabase(missing, 0, false, ""); }, &d), dberr::FileNotFound);
    EXPECT_EQ(d, "Could not find file '" + missing + "'.");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(missing, "")); }, &d), dberr::ConstraintViolation);
    EXPECT_EQ(d, "Could not find file '" + missing + "'.");
}

TEST_F(Open, ForeignFormats) {
    std::string text = writeFile("text.mdb", "hello, this is not a database at all"), d;
    EXPECT_EQ(openError([&] { engine->openDatabase(text, 0, false, ""); }, &d), dberr::UnrecognizedFormat);
    EXPECT_EQ(d, "Unrecognized database format '" + text + "'.");
    std::string empty = writeFile("empty.mdb", "");
    EXPECT_EQ(openError([&] { engine->openDatabase(empty, 0, false, ""); }), dberr::UnrecognizedFormat);

    std::string jet = writeFile("real.mdb", std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20) + std::string(200, '\0'));
    EXPECT_EQ(openError([&] { engine->openDatabase(jet, 0, false, ";pwd=kt5316"); }, &d), dberr::UnrecognizedFormat);
    EXPECT_NE(d.find("real Jet"), std::string::npos);
    EXPECT_NE(d.find("cannot"), std::string::npos);

    std::string plain = (dir / "plain.db").string();
    sqlite3* db = nullptr;
    sqlite3_open(plain.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(a)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(plain, "")); }), dberr::UnrecognizedFormat);
}

// Jet's numbers, written out: the access layer and the products' error
// handlers tell failures apart by them.
TEST_F(Open, ForeignBytesAre3343AndAWriteToAMovedFileIs3027) {
    std::string d;
    const std::string text = writeFile("notes.mdb", "a shopping list, not a database");
    EXPECT_EQ(openError([&] { engine->openDatabase(text, 0, false, ";pwd=kt5316"); }, &d), 3343);
    EXPECT_EQ(d, "Unrecognized database format '" + text + "'.");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(text, "kt5316")); }, &d), 3343);
    EXPECT_EQ(d, "Unrecognized database format '" + text + "'.");

    // The file moved away under an open connection: SQLite makes the
    // connection read-only, and a write is refused as Jet refuses one.
    exec("CREATE TABLE t (a LONG)");
    std::filesystem::rename(path, path + ".moved");
    for (const std::string sql : {"INSERT INTO t (a) VALUES (1)", "CREATE TABLE u (b LONG)"}) {
        try {
            conn->execute(sql);
            ADD_FAILURE() << "written: " << sql;
        } catch (const DbError& e) {
            EXPECT_EQ(e.number(), 3027) << sql;
            EXPECT_EQ(e.description(), "Cannot update.  Database or object is read-only.") << sql;
        }
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "0") << "reading goes on";
}

TEST_F(Open, CreateRefusesAnExistingFile) {
    EXPECT_THROW(createStore(path, ""), DbError);
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "kt5316")); }), 0);
}

TEST_F(Open, CompactCopiesDataAndPassword) {
    exec("CREATE TABLE t (a LONG, PRIMARY KEY (a))");
    exec("INSERT INTO t VALUES (5)");
    std::string dest = (dir / "compact.mdb").string();
    EXPECT_EQ(openError([&] { engine->compactDatabase(path, dest, ";pwd=bad"); }), dberr::NotValidPassword);
    EXPECT_FALSE(std::filesystem::exists(dest));
    engine->compactDatabase(path, dest, ";pwd=kt5316");
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(dest, "")); }), dberr::NotValidPassword);
    auto c2 = engine->openConnection(connectionString(dest, "kt5316"));
    auto rs = c2->query("SELECT a FROM t");
    EXPECT_EQ(valueToText(rs->field(0)), "5");
    EXPECT_THROW(engine->compactDatabase(path, dest, ";pwd=kt5316"), DbError);
}

TEST_F(Open, LockedFileReportsLockError) {
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO MSysStore VALUES ('x', 'y')", nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string d;
    EXPECT_EQ(openError([&] { conn->execute("SELECT COUNT(*) FROM MSysStore"); }, &d), dberr::TableLocked);
    EXPECT_EQ(openError([&] { engine->openConnection(connectionString(path, "kt5316")); }), dberr::TableLocked);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM MSysStore WHERE key = 'x'"), "0");
}

TEST_F(Open, DaoAndAdoOnOneFile) {
    auto dao = engine->openDatabase(path, 0, false, ";pwd=kt5316");
    exec("CREATE TABLE later (a LONG)");
    bool seen = false;
    for (auto& t : dao->tableDefs()) seen = seen || t.name == "later";
    EXPECT_TRUE(seen);
    exec("INSERT INTO later VALUES (1)");
    dao->close();
    EXPECT_THROW(dao->tableDefs(), DbError);
    EXPECT_EQ(scalar("SELECT a FROM later"), "1");
}

TEST_F(Open, SystemTableIsListedAndProviderChecked) {
    auto defs = engine->openDatabase(path, 0, true, ";pwd=kt5316")->tableDefs();
    ASSERT_FALSE(defs.empty());
    EXPECT_EQ(defs[0].name, "MSysStore");
    EXPECT_EQ(openError([&] { engine->openConnection("Provider=SQLOLEDB;Data Source=" + path); }), 3706);
}

}  // namespace
}  // namespace dex::test
