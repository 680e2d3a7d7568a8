// The quickbilII catalogue on real stores built from its sample base schema:
// the full run, runs from the boundary versions, and the literal ALTERs that
// fail on a database that already has their column.
#include <gtest/gtest.h>

#include "ProductLadder.h"

using namespace dex;
using namespace dex::migration;

namespace {

class QbLadderTest : public dex::test::ProductLadderTest {};

TEST_F(QbLadderTest, FullRunFromVersion1WithoutAnyMessage) {
    build("quickbilII");
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(version(), 14);
    EXPECT_EQ(stepsRun(), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14}));
    EXPECT_EQ(trace.front(), "SELECT ver FROM dbversion WHERE dbid='main'");
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 14 WHERE dbid = 'main'");
    // The literal statements go out with their blanks as written.
    EXPECT_EQ(trace[1], "ALTER TABLE taxlist_m ADD COLUMN etax   LONG    DEFAULT 0   NOT NULL");
    EXPECT_TRUE(traced(" CREATE TABLE `priv_menu`(  `menuid`        LONG            DEFAULT 0       NOT NULL, "
                       "`ucode`         VARCHAR(2)      DEFAULT ''      NOT NULL, PRIMARY KEY(menuid, ucode))"));

    TableDef office = table("office");
    ASSERT_NE(field(office, "email"), nullptr);
    EXPECT_EQ(field(office, "email")->type, daotype::Text);
    EXPECT_EQ(field(office, "email")->size, 50);
    TableDef taxlist = table("taxlist_m");
    EXPECT_EQ(field(taxlist, "admission")->type, daotype::Byte);
    EXPECT_EQ(field(taxlist, "admission")->defaultValue, "1");
    EXPECT_EQ(field(taxlist, "userok")->type, daotype::Byte);
    EXPECT_EQ(field(taxlist, "bigo")->size, 150);
    EXPECT_EQ(field(taxlist, "cng_reason")->size, 10);
    EXPECT_EQ(field(table("customer"), "data_created")->defaultValue, "Now()");
    EXPECT_NE(field(table("sale_m"), "maildate"), nullptr);

    TableDef receive = table("receive");
    for (const char* fk : {"recv_cust_fk", "recv_office_fk", "recv_user_fk"}) {
        ASSERT_NE(index(receive, fk), nullptr) << fk;
        EXPECT_TRUE(index(receive, fk)->foreign) << fk;
    }
    ASSERT_NE(index(receive, "idx_recv_dealdate"), nullptr);
    EXPECT_FALSE(index(receive, "idx_recv_dealdate")->unique);
    EXPECT_EQ(field(receive, "dealtime")->defaultValue, "'0000'");
    TableDef menu = table("priv_menu");
    bool primary = false;
    for (const IndexDef& i : menu.indexes)
        if (i.primary) primary = i.fields == std::vector<std::string>{"menuid", "ucode"};
    EXPECT_TRUE(primary);

    // Step 7 copies the contact columns into the new ones.
    EXPECT_EQ(text("SELECT etaxcharge FROM customer WHERE code = '000001'"), "박한빛");
    EXPECT_EQ(text("SELECT etaxhp FROM customer WHERE code = '000002'"), "010-3333-4444");
    EXPECT_EQ(text("SELECT etaxemail FROM customer WHERE code = '000001'"), "hanbit@example.com");
    EXPECT_EQ(text("SELECT admission FROM taxlist_m WHERE code = 1"), "1");

    ASSERT_TRUE(migrate());
    EXPECT_EQ(trace, std::vector<std::string>{"SELECT ver FROM dbversion WHERE dbid='main'"});
}

TEST_F(QbLadderTest, FromTheBoundaryVersions) {
    struct Case {
        int stored;
        std::vector<int> steps;
    };
    for (const Case& c : {Case{8, {9, 10, 12, 13, 14}}, Case{10, {12, 13, 14}}, Case{11, {12, 13, 14}}}) {
        SCOPED_TRACE("stored version " + std::to_string(c.stored));
        prepareAt("quickbilII", c.stored);
        ASSERT_TRUE(migrate()) << messages();
        EXPECT_TRUE(dialogs.shown.empty()) << messages();
        EXPECT_EQ(stepsRun(), c.steps);
        EXPECT_EQ(version(), 14);
        EXPECT_EQ(text("SELECT COUNT(*) FROM receive"), "0");
    }
}

// Each literal ALTER (and the CREATE TABLE of step 9) fails when its column
// or table is already there: the entry reports it, the version stays.
TEST_F(QbLadderTest, LiteralAltersFailOnAnExistingColumn) {
    struct Case {
        std::string existing;  // makes the column or table exist beforehand
        std::string failing;   // the statement that then fails
        int step;
    };
    const std::vector<Case> cases = {
        {"ALTER TABLE taxlist_m ADD COLUMN etax LONG DEFAULT 0 NOT NULL",
         "ALTER TABLE taxlist_m ADD COLUMN etax   LONG    DEFAULT 0   NOT NULL", 2},
        {"ALTER TABLE office ADD COLUMN email VARCHAR(50) DEFAULT \"\" NOT NULL",
         "ALTER TABLE office ADD COLUMN email     TEXT(50)   DEFAULT \"\"    NOT NULL", 3},
        {"ALTER TABLE taxlist_m ADD COLUMN admission BYTE DEFAULT 1 NOT NULL",
         "ALTER TABLE taxlist_m ADD COLUMN admission     BYTE   DEFAULT 1    NOT NULL", 4},
        {"ALTER TABLE taxlist_m ADD COLUMN etaxpubcode VARCHAR(50) DEFAULT \"\" NOT NULL",
         "ALTER TABLE taxlist_m ADD COLUMN etaxpubcode     TEXT(50)   DEFAULT \"\"    NOT NULL", 5},
        {"ALTER TABLE office ADD COLUMN sub_bd_no VARCHAR(4) DEFAULT \"\" NOT NULL",
         "ALTER TABLE office ADD COLUMN sub_bd_no TEXT(4)  DEFAULT \"\"    NOT NULL", 6},
        {"ALTER TABLE customer ADD COLUMN etaxhp VARCHAR(20) DEFAULT \"\" NOT NULL",
         "ALTER TABLE customer ADD COLUMN etaxhp TEXT(20)  DEFAULT \"\" NOT NULL", 7},
        {"ALTER TABLE taxlist_m ADD COLUMN userok BYTE DEFAULT 0 NOT NULL",
         "ALTER TABLE taxlist_m ADD COLUMN userok BYTE DEFAULT 0 NOT NULL", 8},
        {"CREATE TABLE `receive` (`code` LONG DEFAULT 0 NOT NULL, PRIMARY KEY (`code`))",
         " CREATE TABLE `receive`( `code` AUTOINCREMENT,`ocode` SMALLINT NOT NULL DEFAULT 1,`dealdate` VARCHAR(10) "
         "NOT NULL DEFAULT '',`ccode` VARCHAR(6) NOT NULL DEFAULT '',`amount` DOUBLE NOT NULL DEFAULT 0,`dc` DOUBLE "
         "NOT NULL DEFAULT 0,`charge` VARCHAR(2) NOT NULL DEFAULT '',`bigo` VARCHAR(50) NOT NULL DEFAULT "
         "'',`regucode` VARCHAR(2) NOT NULL DEFAULT '',`deallistno` VARCHAR(12) NOT NULL DEFAULT '',`dealtime` "
         "VARCHAR(4) NOT NULL DEFAULT '0000', PRIMARY KEY(code))",
         9},
        {"ALTER TABLE taxlist_m ADD COLUMN cng_reason VARCHAR(10) DEFAULT \"\" NOT NULL",
         "ALTER TABLE taxlist_m ADD COLUMN cng_reason TEXT(10)  DEFAULT \"\" NOT NULL", 10},
        {"ALTER TABLE sale_m ADD COLUMN maildate VARCHAR(10) DEFAULT \"\" NOT NULL",
         "ALTER TABLE `sale_m` ADD COLUMN `maildate` VARCHAR(10)  DEFAULT \"\" NOT NULL", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        dialogs.shown.clear();
        build("quickbilII", {c.existing});
        EXPECT_FALSE(migrate());
        ASSERT_EQ(dialogs.shown.size(), 1u) << messages();
        const std::string& msg = dialogs.shown[0].text;
        EXPECT_EQ(msg.rfind("Error -2147217900 (", 0), 0u) << msg;
        EXPECT_NE(msg.find(") in procedure ChkDBpatch of Module modMain_dbPatch"), std::string::npos) << msg;
        EXPECT_EQ(msg.find("ChkDBpatch_SUB"), std::string::npos) << msg;
        EXPECT_EQ(trace.back(), c.failing);
        EXPECT_EQ(stepsRun().back(), c.step);
        EXPECT_EQ(version(), 1);

        // A second run starts again at step 2, whose column the first run
        // added, and stops there.
        dialogs.shown.clear();
        EXPECT_FALSE(migrate());
        EXPECT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(trace.back(), cases.front().failing);
        EXPECT_EQ(version(), 1);
    }
}

}  // namespace
