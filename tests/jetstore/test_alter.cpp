// ALTER TABLE as the schema primitives and catalogues send it: ADD COLUMN,
// ALTER COLUMN and ADD CONSTRAINT, with the schema-only edit where rows stay
// valid and the table rebuild elsewhere.
#include "StoreFixture.h"

namespace dex::test {
namespace {

class Alter : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        exec("CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, bigo VARCHAR(50) DEFAULT \"\" NOT NULL, "
             "note VARCHAR(50), sale_dc LONG DEFAULT 0 NOT NULL, PRIMARY KEY (code))");
        exec("CREATE INDEX idx_customer_bigo ON customer(bigo)");
        for (int i = 1; i <= 3; ++i)
            exec("INSERT INTO customer (code, bigo, sale_dc) VALUES ('c" + std::to_string(i) + "', 'b', " +
                 std::to_string(i) + ")");
    }
    std::string rootPage(const std::string& t) {
        return raw("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = '" + t + "'");
    }
    std::string integrity() { return raw("PRAGMA integrity_check"); }
};

TEST_F(Alter, AddColumnWithTwoBlanksBeforeAddGivesRowsTheDefault) {
    exec("ALTER TABLE `customer`  ADD COLUMN `plevel` LONG DEFAULT 2 NOT NULL");
    exec("ALTER TABLE `customer`  ADD COLUMN `fullpath` VARCHAR(255) DEFAULT \"\" NOT NULL");
    exec("ALTER TABLE `customer`  ADD COLUMN `dealtime` VARCHAR(4) DEFAULT 0000 NOT NULL");
    exec("ALTER TABLE `customer`  ADD COLUMN `lastemaildate` DATE DEFAULT '1900-01-01 00:00:00' NOT NULL");
    EXPECT_EQ(scalar("SELECT plevel & '|' & fullpath & '|' & lastemaildate FROM customer WHERE code = 'c1'"),
              "2||1900-01-01 00:00:00");
    TableDef t = table("customer");
    EXPECT_EQ(field(t, "plevel").defaultValue, "2");
    EXPECT_TRUE(field(t, "plevel").required);
    EXPECT_EQ(field(t, "fullpath").defaultValue, "\"\"");
    EXPECT_EQ(field(t, "fullpath").size, 255);
    EXPECT_EQ(field(t, "dealtime").defaultValue, "0000");
    EXPECT_EQ(field(t, "lastemaildate").type, daotype::Date);
    EXPECT_EQ(field(t, "lastemaildate").defaultValue, "'1900-01-01 00:00:00'");
    EXPECT_EQ(t.fields.back().name, "lastemaildate");
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(Alter, AddColumnNowDefaultOnTableWithRows) {
    std::string root = rootPage("customer");
    exec("ALTER TABLE `customer`  ADD COLUMN `lastmodify` DATE DEFAULT Now() NOT NULL");
    EXPECT_EQ(field(table("customer"), "lastmodify").defaultValue, "Now()");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM customer WHERE LEN(lastmodify) = 19"), "3");
    exec("INSERT INTO customer (code) VALUES ('c9')");
    EXPECT_EQ(scalar("SELECT LEN(lastmodify) FROM customer WHERE code = 'c9'"), "19");
    EXPECT_EQ(rootPage("customer"), root);
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(Alter, AddColumnDefaultNullNotNullKeepsExistingRowsNull) {
    exec("ALTER TABLE `customer`  ADD COLUMN `gcode` LONG DEFAULT NULL NOT NULL");
    FieldDef f = field(table("customer"), "gcode");
    EXPECT_TRUE(f.required);
    EXPECT_EQ(f.defaultValue, "NULL");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM customer WHERE gcode IS NULL"), "3");
    // The catalogues' back-fill finds them; altering the column later enforces NOT NULL.
    EXPECT_EQ(exec("UPDATE `customer` SET `gcode` = 1 WHERE `gcode` IS NULL"), 3);
    EXPECT_EQ(integrity(), "ok");
    exec("ALTER TABLE `customer`  ALTER COLUMN `gcode` LONG DEFAULT 0 NOT NULL");
    EXPECT_EQ(field(table("customer"), "gcode").defaultValue, "0");
    failure("INSERT INTO customer (code, gcode) VALUES ('c8', NULL)", dberr::ConstraintViolation);
    exec("CREATE TABLE empty_t (a LONG)");
    exec("ALTER TABLE `empty_t`  ADD COLUMN `b` LONG DEFAULT NULL NOT NULL");
    EXPECT_TRUE(field(table("empty_t"), "b").required);
}

TEST_F(Alter, AddColumnVariantsAsSent) {
    exec("CREATE TABLE taxlist_m (code LONG)");
    exec("INSERT INTO taxlist_m VALUES (1)");
    exec("ALTER TABLE taxlist_m ADD COLUMN admission     BYTE   DEFAULT 1    NOT NULL");
    exec("ALTER TABLE taxlist_m ADD COLUMN etaxpubcode     TEXT(50)   DEFAULT \"\"    NOT NULL");
    exec("alter table taxlist_m add column lc VARCHAR(3) default 'x' not null");
    exec("ALTER TABLE `taxlist_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL");
    exec("ALTER TABLE `taxlist_m`  ADD COLUMN `bef_date` DATE");
    TableDef t = table("taxlist_m");
    EXPECT_EQ(field(t, "admission").type, daotype::Byte);
    EXPECT_EQ(field(t, "etaxpubcode").type, daotype::Text);
    EXPECT_EQ(field(t, "etaxpubcode").size, 50);
    EXPECT_EQ(field(t, "lc").defaultValue, "'x'");
    EXPECT_EQ(field(t, "stockuseup").type, daotype::Long);
    EXPECT_FALSE(field(t, "bef_date").required);
    EXPECT_EQ(exec("UPDATE taxlist_m SET etaxpubcode = '' WHERE etaxpubcode is null"), 0);
    EXPECT_EQ(scalar("SELECT admission FROM taxlist_m"), "1");
}

TEST_F(Alter, AddColumnRejectedLikeJet) {
    EXPECT_EQ(failure("ALTER TABLE `customer`  ADD COLUMN `c`  DEFAULT 0 NOT NULL", dberr::SyntaxError),
              "Syntax error in field definition.");
    failure("ALTER TABLE `customer`  ADD COLUMN `bigo` LONG DEFAULT 0 NOT NULL", dberr::SyntaxError);
    failure("ALTER TABLE `nothere`  ADD COLUMN `x` LONG DEFAULT 0 NOT NULL", dberr::MissingTable);
    failure("ALTER TABLE `customer`  ALTER COLUMN `nothere` LONG DEFAULT 0 NOT NULL", dberr::MissingColumn);
    failure("ALTER TABLE `customer`  ALTER COLUMN `bigo`  DEFAULT  NOT NULL", dberr::SyntaxError);
}

TEST_F(Alter, AlterColumnSizeAndDefaultEditsSchemaOnly) {
    exec("UPDATE customer SET note = ''");
    std::string root = rootPage("customer");
    exec("ALTER TABLE `customer`  ALTER COLUMN `bigo` VARCHAR(150) DEFAULT \"\" NOT NULL");
    exec("ALTER TABLE `customer`  ALTER COLUMN `note` TEXT DEFAULT \"\" NOT NULL");
    EXPECT_EQ(rootPage("customer"), root);
    TableDef t = table("customer");
    EXPECT_EQ(field(t, "bigo").size, 150);
    EXPECT_EQ(field(t, "note").type, daotype::Memo);
    EXPECT_TRUE(field(t, "note").required);
    ASSERT_NE(index(t, "idx_customer_bigo"), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM customer WHERE bigo = 'b'"), "3");
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(Alter, AlterColumnToNotNullWithNullsFailsAndChangesNothing) {
    exec("UPDATE customer SET note = 'n' WHERE code = 'c1'");
    failure("ALTER TABLE `customer`  ALTER COLUMN `note` VARCHAR(60) DEFAULT \"\" NOT NULL", dberr::ConstraintViolation);
    EXPECT_EQ(field(table("customer"), "note").size, 50);
    EXPECT_FALSE(field(table("customer"), "note").required);
}

// Jet refuses Required over existing Nulls whichever way the column got
// them; without Nulls the change is made.
TEST_F(Alter, AlterColumnToNotNullOverNullsIsRefusedWithJetsMessage) {
    const std::string kRequired = "' cannot contain a Null value because the Required property for this field is "
                                  "set to True.  Enter a value in this field.";
    // Only Nulls: the column was added without a value for the rows there.
    exec("ALTER TABLE `customer`  ADD COLUMN `gcode` LONG DEFAULT NULL NOT NULL");
    EXPECT_EQ(failure("ALTER TABLE `customer`  ALTER COLUMN `gcode` LONG DEFAULT 0 NOT NULL",
                      dberr::ConstraintViolation),
              "Field 'customer.gcode" + kRequired);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM customer WHERE gcode IS NULL"), "3");
    EXPECT_EQ(field(table("customer"), "gcode").defaultValue, "NULL");

    // One Null among values, in a change SQLite makes in place and in one
    // that rebuilds the table.
    exec("UPDATE customer SET note = 'n' WHERE code <> 'c2'");
    EXPECT_EQ(failure("ALTER TABLE `customer`  ALTER COLUMN `note` VARCHAR(50) DEFAULT \"\" NOT NULL",
                      dberr::ConstraintViolation),
              "Field 'customer.note" + kRequired);
    EXPECT_EQ(failure("ALTER TABLE `customer`  ALTER COLUMN `note` TEXT DEFAULT \"\" NOT NULL", dberr::ConstraintViolation),
              "Field 'customer.note" + kRequired);
    exec("ALTER TABLE `customer`  ADD COLUMN `rate` LONG");
    exec("UPDATE customer SET rate = 1 WHERE code <> 'c3'");
    const std::string root = rootPage("customer");
    EXPECT_EQ(failure("ALTER TABLE `customer`  ALTER COLUMN `rate` DOUBLE DEFAULT 0 NOT NULL", dberr::ConstraintViolation),
              "Field 'customer.rate" + kRequired);
    EXPECT_EQ(field(table("customer"), "rate").type, daotype::Long);
    EXPECT_EQ(rootPage("customer"), root);
    EXPECT_FALSE(field(table("customer"), "note").required);
    EXPECT_EQ(field(table("customer"), "note").type, daotype::Text);

    // No Null left: accepted.
    exec("UPDATE customer SET note = 'n' WHERE note IS NULL");
    exec("ALTER TABLE `customer`  ALTER COLUMN `note` VARCHAR(50) DEFAULT \"\" NOT NULL");
    EXPECT_TRUE(field(table("customer"), "note").required);
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(Alter, AlterColumnChangingStorageRebuildsAndKeepsEverything) {
    exec("CREATE TABLE sale (seq AUTOINCREMENT, ccode VARCHAR(6) DEFAULT \"\" NOT NULL, qnt LONG DEFAULT 0, "
         "PRIMARY KEY (seq))");
    exec("CREATE INDEX idx_sale_ccode ON sale(ccode)");
    exec("ALTER TABLE sale ADD CONSTRAINT fk_sale_cust FOREIGN KEY (ccode) REFERENCES customer (code) ON DELETE CASCADE");
    for (int i = 0; i < 5; ++i) exec("INSERT INTO sale (ccode, qnt) VALUES ('c1', '" + std::to_string(i) + "')");
    exec("DELETE * FROM sale WHERE seq = 5");
    std::string root = rootPage("sale");
    exec("ALTER TABLE `sale`  ALTER COLUMN `qnt` VARCHAR(10) DEFAULT \"\" NOT NULL");
    EXPECT_NE(rootPage("sale"), root);
    TableDef t = table("sale");
    EXPECT_EQ(field(t, "qnt").type, daotype::Text);
    EXPECT_TRUE(field(t, "qnt").required);
    ASSERT_NE(index(t, "idx_sale_ccode"), nullptr);
    ASSERT_NE(index(t, "fk_sale_cust"), nullptr);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sale"), "4");
    EXPECT_EQ(scalar("SELECT typeof(qnt) FROM sale WHERE seq = 2"), "text");
    exec("INSERT INTO sale (ccode) VALUES ('c2')");
    EXPECT_EQ(scalar("SELECT MAX(seq) FROM sale"), "6");  // the counter survived the rebuild
    exec("DELETE FROM customer WHERE code = 'c1'");       // the cascade survived too
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sale"), "1");
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(Alter, RebuildKeepsTriggerNumbering) {
    exec("CREATE TABLE buy_log (logno AUTOINCREMENT, part TINYINT DEFAULT 0 NOT NULL, qnt LONG DEFAULT 0, "
         "PRIMARY KEY (logno, part))");
    exec("INSERT INTO buy_log (part, qnt) VALUES (0, 1)");
    exec("ALTER TABLE buy_log ALTER COLUMN qnt DOUBLE DEFAULT 0 NOT NULL");
    exec("INSERT INTO buy_log (part, qnt) VALUES (0, 2)");
    EXPECT_EQ(scalar("SELECT logno FROM buy_log WHERE qnt = 2"), "2");
}

class ForeignKeys : public Alter {
protected:
    void SetUp() override {
        Alter::SetUp();
        exec("CREATE TABLE qlty (code AUTOINCREMENT, name VARCHAR(20) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))");
        exec("INSERT INTO qlty (code, name) VALUES (1,'')");
        exec("INSERT INTO qlty (code, name) VALUES (2,'b')");
        exec("CREATE TABLE product_m (code VARCHAR(6) DEFAULT \"\" NOT NULL, qcode LONG DEFAULT 1 NOT NULL, "
             "PRIMARY KEY (code))");
        exec("INSERT INTO product_m (code, qcode) VALUES ('p1', 1)");
        exec("INSERT INTO product_m (code, qcode) VALUES ('p2', 2)");
    }
};

TEST_F(ForeignKeys, AddConstraintIsSchemaOnlyAndEnforced) {
    std::string root = rootPage("product_m");
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code) "
         "ON DELETE CASCADE ON UPDATE CASCADE");
    EXPECT_EQ(rootPage("product_m"), root);
    TableDef product = table("product_m");
    const IndexDef* fk = index(product, "fk_pd_qlty");
    ASSERT_NE(fk, nullptr);
    EXPECT_TRUE(fk->foreign);
    EXPECT_FALSE(fk->primary);
    EXPECT_EQ(fk->fields, std::vector<std::string>{"qcode"});
    EXPECT_EQ(index(table("qlty"), "fk_pd_qlty"), nullptr);
    failure("INSERT INTO product_m (code, qcode) VALUES ('p3', 9)", dberr::ConstraintViolation);
    exec("UPDATE qlty SET code = 20 WHERE code = 2");
    EXPECT_EQ(scalar("SELECT qcode FROM product_m WHERE code = 'p2'"), "20");
    exec("DELETE * FROM qlty WHERE code = 1");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM product_m"), "1");
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(ForeignKeys, BackquotedWithUpdateBeforeDelete) {
    exec("CREATE TABLE custprodmatch (ccode VARCHAR(6) DEFAULT \"\" NOT NULL, pcode VARCHAR(6) DEFAULT \"\" NOT NULL, "
         "btype TINYINT DEFAULT 0 NOT NULL, PRIMARY KEY (ccode, pcode, btype))");
    exec("ALTER TABLE `custprodmatch` ADD CONSTRAINT `fk_prod_match` FOREIGN KEY (`pcode`) REFERENCES `product_m` "
         "(`code`) ON UPDATE CASCADE ON DELETE CASCADE");
    exec("ALTER TABLE custprodmatch ADD CONSTRAINT fk_cust_match FOREIGN KEY (ccode) REFERENCES customer (code)");
    TableDef t = table("custprodmatch");
    ASSERT_NE(index(t, "fk_prod_match"), nullptr);
    ASSERT_NE(index(t, "fk_cust_match"), nullptr);
    exec("INSERT INTO custprodmatch (ccode, pcode) VALUES ('c1', 'p1')");
    exec("UPDATE product_m SET code = 'p1x' WHERE code = 'p1'");
    EXPECT_EQ(scalar("SELECT pcode FROM custprodmatch"), "p1x");
    failure("DELETE FROM customer WHERE code = 'c1'", dberr::ConstraintViolation);  // no cascade
}

TEST_F(ForeignKeys, NoActionIsTheRuleWithoutCascade) {
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code) "
         "ON DELETE NO ACTION ON UPDATE CASCADE");
    ASSERT_NE(index(table("product_m"), "fk_pd_qlty"), nullptr);
    failure("DELETE FROM qlty WHERE code = 1", dberr::ConstraintViolation);
    exec("UPDATE qlty SET code = 10 WHERE code = 1");
    EXPECT_EQ(scalar("SELECT qcode FROM product_m WHERE code = 'p1'"), "10") << "the rule after NO ACTION holds";

    exec("CREATE TABLE pick (code LONG, qcode LONG, PRIMARY KEY (code), CONSTRAINT fk_pick_qlty FOREIGN KEY (qcode) "
         "REFERENCES qlty (code) ON UPDATE NO ACTION ON DELETE NO ACTION)");
    ASSERT_NE(index(table("pick"), "fk_pick_qlty"), nullptr);
    exec("INSERT INTO pick (code, qcode) VALUES (1, 2)");
    failure("UPDATE qlty SET code = 20 WHERE code = 2", dberr::ConstraintViolation);
    failure("DELETE FROM qlty WHERE code = 2", dberr::ConstraintViolation);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM qlty"), "2");
}

// A script applied all or nothing runs in one transaction, where PRAGMA
// foreign_keys cannot change: a rebuild of a table that others refer to
// must still neither cascade its drop to their rows nor fail on them.
TEST_F(ForeignKeys, RebuildInsideATransactionKeepsTheRowsThatReferToIt) {
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code) "
         "ON DELETE CASCADE");
    exec("BEGIN TRANSACTION");
    exec("ALTER TABLE qlty ALTER COLUMN name DOUBLE");  // another storage: a rebuild
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM product_m"), "2");
    exec("COMMIT TRANSACTION");
    EXPECT_EQ(field(table("qlty"), "name").type, daotype::Double);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM product_m"), "2");
    exec("DELETE FROM qlty WHERE code = 1");  // enforcement is back on, the cascade kept
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM product_m"), "1");
    failure("INSERT INTO product_m (code, qcode) VALUES ('p3', 9)", dberr::ConstraintViolation);
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(ForeignKeys, JetRulesCheckedFirst) {
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code)");
    EXPECT_EQ(failure("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code)",
                      dberr::SyntaxError),
              "Constraint 'fk_pd_qlty' already exists.");
    failure("ALTER TABLE product_m ADD CONSTRAINT fk_x FOREIGN KEY (nothere) REFERENCES qlty (code)",
            dberr::MissingColumn);
    failure("ALTER TABLE product_m ADD CONSTRAINT fk_x FOREIGN KEY (qcode) REFERENCES qlty (name)",
            dberr::SyntaxError);  // not a key of qlty
    failure("ALTER TABLE product_m ADD CONSTRAINT fk_x FOREIGN KEY (code) REFERENCES qlty (code)",
            dberr::SyntaxError);  // Text against Long
    failure("ALTER TABLE product_m ADD CONSTRAINT fk_x FOREIGN KEY (qcode) REFERENCES nothere (code)",
            dberr::MissingTable);
    EXPECT_EQ(table("product_m").indexes.size(), 2u);
}

TEST_F(ForeignKeys, OrphansBlockTheConstraint) {
    exec("INSERT INTO product_m (code, qcode) VALUES ('p3', 7)");
    failure("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code)",
            dberr::ConstraintViolation);
    EXPECT_EQ(index(table("product_m"), "fk_pd_qlty"), nullptr);
    exec("DELETE * FROM product_m WHERE qcode = '7'");
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code)");
    EXPECT_NE(index(table("product_m"), "fk_pd_qlty"), nullptr);
}

TEST_F(ForeignKeys, SchemaOnlyAlterationsKeepConstraints) {
    exec("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code) ON DELETE CASCADE");
    exec("ALTER TABLE `product_m`  ADD COLUMN `bigo` VARCHAR(50) DEFAULT \"\" NOT NULL");
    exec("ALTER TABLE `product_m`  ALTER COLUMN `bigo` TEXT DEFAULT \"\" NOT NULL");
    exec("ALTER TABLE `qlty`  ALTER COLUMN `name` VARCHAR(40) DEFAULT \"\" NOT NULL");
    EXPECT_NE(index(table("product_m"), "fk_pd_qlty"), nullptr);
    failure("INSERT INTO product_m (code, qcode) VALUES ('p3', 9)", dberr::ConstraintViolation);
    EXPECT_EQ(integrity(), "ok");
}

}  // namespace
}  // namespace dex::test
