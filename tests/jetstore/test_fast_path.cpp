// The store's fast paths for long migrations: column changes that leave the
// connection's parsed schema stale until a statement needs it, UPDATEs that
// column knowledge answers without writing, and ALTER COLUMN between numeric
// affinities without a rebuild. Each must give exactly what the slow path
// gives: the same affected-row counts, the same data, the same errors.
#include <fstream>

#include "StoreFixture.h"

namespace dex::test {
namespace {

class FastPath : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        exec("CREATE TABLE sale (code AUTOINCREMENT, ccode VARCHAR(6) DEFAULT \"\" NOT NULL, qnt LONG DEFAULT 0 NOT NULL, "
             "PRIMARY KEY (code))");
        for (int i = 1; i <= 4; ++i) exec("INSERT INTO sale (ccode, qnt) VALUES ('c" + std::to_string(i) + "', " + std::to_string(i) + ")");
    }

    // The file change counter in the database header: it moves with every
    // committed write transaction.
    uint32_t changeCounter() {
        std::ifstream in(path, std::ios::binary);
        unsigned char b[28] = {};
        in.read(reinterpret_cast<char*>(b), sizeof b);
        return (uint32_t{b[24]} << 24) | (uint32_t{b[25]} << 16) | (uint32_t{b[26]} << 8) | b[27];
    }

    std::string column(const std::string& sql) {  // every row's first field, joined by '|'
        auto rs = conn->query(sql);
        std::string out;
        for (bool first = true; !rs->eof(); rs->moveNext(), first = false)
            out += (first ? "" : "|") + valueToText(rs->field(0));
        return out;
    }

    std::string rootPage(const std::string& t) {
        return raw("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = '" + t + "'");
    }
};

TEST_F(FastPath, UpdateToTheNewColumnsDefaultCountsEveryRowAndWritesNothing) {
    exec("ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    exec("ALTER TABLE `sale`  ADD COLUMN `memo` VARCHAR(20) DEFAULT \"\" NOT NULL");
    exec("ALTER TABLE `sale`  ADD COLUMN `color` LONG DEFAULT -1 NOT NULL");
    const uint32_t before = changeCounter();
    EXPECT_EQ(exec("UPDATE sale SET boxqnt = 0"), 4);
    EXPECT_EQ(exec("UPDATE `sale` SET `memo` = ''"), 4);
    EXPECT_EQ(exec("UPDATE sale SET memo = \"\";"), 4);
    EXPECT_EQ(exec("UPDATE sale SET color = -1"), 4);
    EXPECT_EQ(exec("UPDATE `sale` SET `boxqnt` = 0 WHERE `boxqnt` IS NULL"), 0);
    EXPECT_EQ(changeCounter(), before);
    EXPECT_EQ(column("SELECT typeof(boxqnt) & ':' & boxqnt & ':' & memo & ':' & color FROM sale"),
              "real:0.0::-1|real:0.0::-1|real:0.0::-1|real:0.0::-1");
    EXPECT_EQ(raw("PRAGMA integrity_check"), "ok");
}

TEST_F(FastPath, OtherValuesAndOtherShapesStillRun) {
    exec("ALTER TABLE `sale`  ADD COLUMN `tcode` LONG DEFAULT 1 NOT NULL");
    EXPECT_EQ(exec("UPDATE sale SET tcode = 1.0"), 4);  // another spelling is another statement
    EXPECT_EQ(exec("UPDATE sale SET tcode = 2 WHERE code > 2"), 2);
    EXPECT_EQ(exec("UPDATE sale SET tcode = 1"), 4);  // not uniform any more: it runs
    EXPECT_EQ(column("SELECT tcode FROM sale"), "1|1|1|1");
    exec("ALTER TABLE `sale`  ADD COLUMN `dealtime` VARCHAR(4) DEFAULT \"\" NOT NULL");
    EXPECT_EQ(exec("UPDATE sale SET dealtime = '0000'"), 4);
    EXPECT_EQ(column("SELECT dealtime FROM sale"), "0000|0000|0000|0000");
    EXPECT_EQ(exec("UPDATE sale SET dealtime = ''"), 4);
    EXPECT_EQ(column("SELECT dealtime FROM sale"), "|||");
}

TEST_F(FastPath, AnyOtherWriteEndsTheKnowledge) {
    exec("ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    exec("INSERT INTO sale (ccode, qnt, boxqnt) VALUES ('c9', 9, 5)");
    EXPECT_EQ(exec("UPDATE sale SET boxqnt = 0"), 5);
    EXPECT_EQ(column("SELECT boxqnt & '' FROM sale WHERE ccode = 'c9'"), "0.0");

    exec("ALTER TABLE `sale`  ADD COLUMN `gatype` LONG DEFAULT 0 NOT NULL");
    exec("DELETE FROM sale WHERE ccode = 'c9'");
    EXPECT_EQ(exec("UPDATE sale SET gatype = 0"), 4);  // the row count is taken again
    exec("ALTER TABLE `sale`  ADD COLUMN `weight` DOUBLE DEFAULT 0 NOT NULL");
    exec("UPDATE sale SET weight = 3 WHERE code = 1");
    EXPECT_EQ(exec("UPDATE sale SET weight = 0 WHERE weight IS NULL"), 0);
    EXPECT_EQ(exec("UPDATE sale SET weight = 0"), 4);
    EXPECT_EQ(column("SELECT weight & '' FROM sale"), "0.0|0.0|0.0|0.0");
}

TEST_F(FastPath, AnotherConnectionsWriteEndsTheKnowledge) {
    exec("ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    auto other = engine->openConnection(connectionString(path, "kt5316"));
    EXPECT_EQ(other->execute("UPDATE sale SET boxqnt = 7 WHERE code = 2"), 1);
    EXPECT_EQ(exec("UPDATE sale SET boxqnt = 0"), 4);
    EXPECT_EQ(column("SELECT boxqnt & '' FROM sale"), "0.0|0.0|0.0|0.0");
}

TEST_F(FastPath, TablesWithTriggersOfTheirOwnRunTheUpdate) {
    exec("CREATE TABLE sale_log (saleno LONG)");
    exec("CREATE TRIGGER sale_changed AFTER UPDATE ON sale BEGIN INSERT INTO sale_log VALUES (NEW.code); END");
    exec("ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    EXPECT_EQ(exec("UPDATE sale SET boxqnt = 0"), 4);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sale_log"), "4");
}

TEST_F(FastPath, AddedColumnsAreVisibleEverywhereAtOnce) {
    exec("ALTER TABLE `sale`  ADD COLUMN `boxqnt` DOUBLE DEFAULT 0 NOT NULL");
    exec("ALTER TABLE `sale`  ADD COLUMN `pcode` VARCHAR(6) DEFAULT \"\" NOT NULL");
    auto other = engine->openConnection(connectionString(path, "kt5316"));
    EXPECT_EQ(valueToText(other->query("SELECT COUNT(pcode) FROM sale")->field(0)), "4");
    EXPECT_EQ(field(table("sale"), "pcode").size, 6);
    // This connection: the missing-column probe, the row id, the full row, a write.
    const std::string noColumn = failure("SELECT nothere FROM sale", dberr::MissingColumn);
    exec("CREATE TABLE fresh (a LONG)");
    EXPECT_EQ(failure("SELECT nothere FROM fresh", dberr::MissingColumn), noColumn);
    EXPECT_EQ(column("SELECT rowid FROM sale"), "1|2|3|4");
    auto rs = conn->query("SELECT * FROM sale");
    EXPECT_EQ(rs->fieldCount(), 5);
    exec("INSERT INTO sale (ccode, pcode, boxqnt) VALUES ('c5', 'p5', 2)");
    EXPECT_EQ(scalar("SELECT pcode & '/' & boxqnt FROM sale WHERE ccode = 'c5'"), "p5/2.0");
    EXPECT_EQ(raw("PRAGMA integrity_check"), "ok");
}

TEST_F(FastPath, ConstraintOnANewColumnIsEnforcedAtOnce) {
    exec("CREATE TABLE saletype (code AUTOINCREMENT, name VARCHAR(10) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))");
    exec("INSERT INTO saletype (code, name) VALUES (1, 'a')");
    exec("INSERT INTO saletype (code, name) VALUES (2, 'b')");
    exec("ALTER TABLE `sale`  ADD COLUMN `tcode` LONG DEFAULT 1 NOT NULL");
    EXPECT_EQ(exec("UPDATE sale SET tcode = 1"), 4);
    exec("ALTER TABLE sale ADD CONSTRAINT fk_sale_type FOREIGN KEY (tcode) REFERENCES saletype (code) "
         "ON DELETE CASCADE ON UPDATE CASCADE");
    failure("INSERT INTO sale (ccode, tcode) VALUES ('x', 3)", dberr::ConstraintViolation);
    EXPECT_EQ(exec("UPDATE saletype SET code = 5 WHERE code = 1"), 1);
    EXPECT_EQ(column("SELECT DISTINCT tcode FROM sale"), "5");
    exec("DELETE FROM saletype WHERE code = 5");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sale"), "0");
}

TEST_F(FastPath, OrphansOfANewConstraintAreFound) {
    exec("CREATE TABLE saletype (code AUTOINCREMENT, PRIMARY KEY (code))");
    exec("INSERT INTO saletype (code) VALUES (1)");
    exec("ALTER TABLE `sale`  ADD COLUMN `tcode` LONG DEFAULT 2 NOT NULL");
    failure("ALTER TABLE sale ADD CONSTRAINT fk_sale_type FOREIGN KEY (tcode) REFERENCES saletype (code)",
            dberr::ConstraintViolation);
    EXPECT_EQ(table("sale").indexes.size(), 1u);  // the primary key only
    exec("ALTER TABLE `sale`  ADD COLUMN `t2` LONG DEFAULT NULL");  // Null keys need no partner
    exec("ALTER TABLE sale ADD CONSTRAINT fk_sale_t2 FOREIGN KEY (t2) REFERENCES saletype (code)");
    EXPECT_NE(index(table("sale"), "fk_sale_t2"), nullptr);
}

TEST_F(FastPath, LongToDoubleEditsTheSchemaOnlyAndReadsAsARebuildWould) {
    exec("CREATE INDEX idx_sale_qnt ON sale(qnt)");
    exec("UPDATE sale SET qnt = 2.5 WHERE code = 4");
    const std::string root = rootPage("sale");
    exec("ALTER TABLE `sale`  ALTER COLUMN `qnt` DOUBLE DEFAULT 0 NOT NULL");
    EXPECT_EQ(rootPage("sale"), root);
    EXPECT_EQ(field(table("sale"), "qnt").type, daotype::Double);
    EXPECT_EQ(column("SELECT typeof(qnt) & ':' & qnt FROM sale ORDER BY code"), "real:1.0|real:2.0|real:3.0|real:2.5");
    EXPECT_EQ(scalar("SELECT code FROM sale WHERE qnt = 3"), "3");
    exec("INSERT INTO sale (ccode) VALUES ('c5')");
    EXPECT_EQ(scalar("SELECT MAX(code) FROM sale"), "5");
    EXPECT_EQ(raw("PRAGMA integrity_check"), "ok");
    // Back from DOUBLE to LONG would change what the rows read: that rebuilds.
    exec("ALTER TABLE `sale`  ALTER COLUMN `qnt` LONG DEFAULT 0 NOT NULL");
    EXPECT_NE(rootPage("sale"), root);
    EXPECT_EQ(column("SELECT typeof(qnt) FROM sale WHERE code = 1"), "integer");
}

TEST_F(FastPath, ChangedDefaultKeepsWhatOlderRowsRead) {
    exec("ALTER TABLE `sale`  ADD COLUMN `grade` LONG DEFAULT 1 NOT NULL");
    exec("ALTER TABLE `sale`  ALTER COLUMN `grade` LONG DEFAULT 2 NOT NULL");
    exec("INSERT INTO sale (ccode) VALUES ('c5')");
    EXPECT_EQ(column("SELECT grade FROM sale"), "1|1|1|1|2");
    EXPECT_EQ(field(table("sale"), "grade").defaultValue, "2");
}

}  // namespace
}  // namespace dex::test
