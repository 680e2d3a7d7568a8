// ALTER TABLE ... ADD CONSTRAINT name PRIMARY KEY (...) and DROP CONSTRAINT of a
// primary key: a rebuild that keeps rows, indexes and foreign keys, after
// Jet's rules.
#include "StoreFixture.h"

namespace dex::test {
namespace {

class PrimaryKeys : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        exec("CREATE TABLE grp (code LONG NOT NULL, name VARCHAR(20), CONSTRAINT pk_grp PRIMARY KEY (code))");
        exec("CREATE TABLE cust (code VARCHAR(6), zone LONG, gcode LONG, name VARCHAR(20))");
        exec("CREATE INDEX idx_cust_name ON cust (name)");
        exec("ALTER TABLE cust ADD CONSTRAINT fk_cust_grp FOREIGN KEY (gcode) REFERENCES grp (code)");
        exec("INSERT INTO grp (code, name) VALUES (1, 'one')");
        exec("INSERT INTO cust (code, zone, gcode, name) VALUES ('c1', 1, 1, 'x')");
        exec("INSERT INTO cust (code, zone, gcode, name) VALUES ('c1', 2, NULL, 'y')");
    }
};

TEST_F(PrimaryKeys, AddedKeyReadsBackAndKeepsRowsIndexesAndForeignKeys) {
    exec("ALTER TABLE [cust] ADD CONSTRAINT [pk_cust] PRIMARY KEY ([zone], [code])");
    TableDef t = table("cust");
    const IndexDef* key = index(t, "pk_cust");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->primary);
    EXPECT_EQ(key->fields, (std::vector<std::string>{"zone", "code"}));
    EXPECT_NE(index(t, "idx_cust_name"), nullptr);
    EXPECT_NE(index(t, "fk_cust_grp"), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM cust"), "2");
    failure("INSERT INTO cust (code, zone) VALUES ('c1', 1)", dberr::ConstraintViolation);
    failure("INSERT INTO cust (code, zone, gcode) VALUES ('c9', 9, 7)", dberr::ConstraintViolation);
    EXPECT_EQ(raw("PRAGMA integrity_check"), "ok");
}

TEST_F(PrimaryKeys, AddRefusedLikeJet) {
    EXPECT_EQ(failure("ALTER TABLE grp ADD CONSTRAINT pk2 PRIMARY KEY (name)", dberr::SyntaxError),
              "Primary key already exists.");
    failure("ALTER TABLE cust ADD CONSTRAINT idx_cust_name PRIMARY KEY (code, zone)", dberr::SyntaxError);
    failure("ALTER TABLE cust ADD CONSTRAINT pk_cust PRIMARY KEY (nothere)", dberr::MissingColumn);
    EXPECT_EQ(failure("ALTER TABLE cust ADD CONSTRAINT pk_cust PRIMARY KEY (code)", dberr::ConstraintViolation).substr(0, 50),
              "The changes you requested to the table were not su");
    EXPECT_EQ(failure("ALTER TABLE cust ADD CONSTRAINT pk_cust PRIMARY KEY (gcode)", dberr::ConstraintViolation),
              "Index or primary key cannot contain a Null value.");
    EXPECT_EQ(index(table("cust"), "pk_cust"), nullptr);
}

TEST_F(PrimaryKeys, DropRefusedWhileReferencedThenDropped) {
    EXPECT_EQ(failure("ALTER TABLE grp DROP CONSTRAINT pk_grp", dberr::SyntaxError),
              "Cannot delete this index or table.  It is either the current index or is used in a relationship "
              "(fk_cust_grp).");
    exec("ALTER TABLE cust DROP CONSTRAINT fk_cust_grp");
    exec("ALTER TABLE [grp] DROP CONSTRAINT [pk_grp]");
    EXPECT_TRUE(table("grp").indexes.empty());
    exec("INSERT INTO grp (code, name) VALUES (1, 'again')");  // no key: a second 1 is taken
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM grp"), "2");
    failure("ALTER TABLE grp DROP CONSTRAINT pk_grp", dberr::SyntaxError);
}

TEST_F(PrimaryKeys, AutonumberKeyDroppedAndAddedUnderItsDefaultName) {
    exec("CREATE TABLE log (seq AUTOINCREMENT, msg VARCHAR(20), PRIMARY KEY (seq))");
    exec("INSERT INTO log (msg) VALUES ('a')");
    exec("INSERT INTO log (msg) VALUES ('b')");
    exec("ALTER TABLE log DROP CONSTRAINT PrimaryKey");
    exec("INSERT INTO log (msg) VALUES ('c')");
    EXPECT_EQ(scalar("SELECT seq FROM log WHERE msg = 'c'"), "3");
    exec("ALTER TABLE log ADD CONSTRAINT PrimaryKey PRIMARY KEY (seq)");
    exec("INSERT INTO log (msg) VALUES ('d')");
    EXPECT_EQ(scalar("SELECT seq FROM log WHERE msg = 'd'"), "4");
    ASSERT_NE(index(table("log"), "PrimaryKey"), nullptr);
    EXPECT_EQ(field(table("log"), "seq").type, daotype::Long);
}

}  // namespace
}  // namespace dex::test
