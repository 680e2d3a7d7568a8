// The FornII and FornPro ladders on real stores built from their sample base
// schemas: full runs, runs from the boundary versions, runs from above the
// target, and the unguarded ALTER that stops every run.
#include <gtest/gtest.h>

#include <set>

#include "ProductLadder.h"

using namespace dex;
using namespace dex::migration;

namespace {

constexpr const char* kVersionRead = "SELECT ver FROM dbversion WHERE dbid='main'";
constexpr const char* kStockuseupAlter = "ALTER TABLE `product_m` ADD `stockuseup` INTEGER DEFAULT 0 NOT NULL";
constexpr const char* kAsmemoToText = "ALTER TABLE `aslist`  ALTER COLUMN `asmemo` TEXT DEFAULT \"\" NOT NULL";

class FornLadderTest : public dex::test::ProductLadderTest {};

TEST_F(FornLadderTest, StepFingerprintsAreDistinct) {
    for (const char* product : {"FornII", "FornPro", "quickbilII"}) {
        code = product;
        std::set<std::string> seen;
        for (const Step& s : catalogue().steps)
            EXPECT_TRUE(seen.insert(dex::test::FirstStatement(catalogue(), s.ops)).second) << product << " step " << s.number;
    }
}

TEST_F(FornLadderTest, FornIIFullLadderFromVersion1WithoutAnyMessage) {
    build("FornII");
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(version(), 135);
    EXPECT_EQ(trace.front(), kVersionRead);
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 135 WHERE dbid = 'main'");
    EXPECT_EQ(stepsRun(), stepsFrom(2, {11, 13}));

    // vardoII's steps 2, 3 and 28 have no counterpart.
    EXPECT_FALSE(traced("SELECT boxqnt FROM sale"));
    EXPECT_FALSE(tracedStartingWith("CREATE TABLE `invn_move`"));
    EXPECT_FALSE(tracedStartingWith("CREATE TABLE `makelist_m`"));
    // The FornII variants.
    EXPECT_TRUE(traced("ALTER TABLE delcar ADD CONSTRAINT fk_office_delcar FOREIGN KEY (ocode) REFERENCES office "
                       "(code) ON DELETE CASCADE"));
    EXPECT_TRUE(traced("ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty (code) "
                       "ON DELETE CASCADE"));
    EXPECT_TRUE(traced(kStockuseupAlter));
    EXPECT_TRUE(traced("UPDATE `product_m` SET `stockuseup` = 0 WHERE `stockuseup`  IS NULL"));
    EXPECT_TRUE(traced("UPDATE taxlist_m SET iscard = 0 WHERE iscard IS NULL"));

    TableDef aslist = table("aslist");
    ASSERT_NE(field(aslist, "asmemo"), nullptr);
    EXPECT_EQ(field(aslist, "asmemo")->type, daotype::Text) << "created as VARCHAR(100), step 11 did not run";
    EXPECT_EQ(field(aslist, "asmemo")->size, 100);
    EXPECT_EQ(field(table("constrt"), "ocode")->defaultValue, "0");
    EXPECT_EQ(field(table("product_m"), "stockuseup")->type, daotype::Long);
    EXPECT_EQ(field(table("customer"), "usesmartphone")->type, daotype::Integer);
    EXPECT_NE(field(table("makelist_m"), "maketype"), nullptr);
    EXPECT_NE(field(table("makelist_m"), "makeno"), nullptr);
    EXPECT_EQ(text("SELECT COUNT(*) FROM makelist_o"), "0");
    EXPECT_EQ(text("SELECT COUNT(*) FROM makeplan_d"), "0");

    TableDef serial = table("serial");
    EXPECT_NE(index(serial, "idx_serial_ocode"), nullptr);
    EXPECT_NE(index(serial, "idx_serial_pcode"), nullptr);
    EXPECT_EQ(index(serial, "idx_serial_serial"), nullptr);
    TableDef interest = table("custprodinterest");
    ASSERT_NE(index(interest, "idx_custprodinterest_pcode"), nullptr);
    EXPECT_TRUE(index(interest, "idx_custprodinterest_pcode")->unique);
    EXPECT_EQ(index(interest, "custprodinterest_pcode_fk"), nullptr);
    for (const IndexDef& i : table("product_h_sync").indexes) EXPECT_FALSE(i.foreign) << i.name;
    for (const IndexDef& i : table("customer_h_sync").indexes) EXPECT_FALSE(i.foreign) << i.name;
    EXPECT_NE(index(table("sale_h_tax_d"), "fk_sale_h_tax_d__h_appv_no"), nullptr);

    // The copied sub-procedures with code of their own did their work.
    EXPECT_EQ(text("SELECT COUNT(*) FROM office_store"), "4");
    EXPECT_EQ(text("SELECT COUNT(*) FROM billnote WHERE outtype = 2"), "2");
    EXPECT_EQ(text("SELECT COUNT(*) FROM holiday1_m"), "11");
    EXPECT_EQ(text("SELECT name FROM pclass WHERE code = '0004'"), "기본 중분류");

    ASSERT_TRUE(migrate());
    EXPECT_EQ(trace, std::vector<std::string>{kVersionRead});
}

TEST_F(FornLadderTest, FornIIFromTheElseIfAndRangeBoundaries) {
    struct Case {
        int stored;
        std::vector<int> except;  // steps above `stored` that do not run
    };
    for (const Case& c : {Case{7, {11, 13}}, Case{8, {11}}, Case{10, {}}, Case{12, {}}}) {
        SCOPED_TRACE("stored version " + std::to_string(c.stored));
        prepareAt("FornII", c.stored);
        ASSERT_TRUE(migrate()) << messages();
        EXPECT_TRUE(dialogs.shown.empty()) << messages();
        EXPECT_EQ(stepsRun(), stepsFrom(c.stored + 1, c.except));
        EXPECT_EQ(version(), 135);
        // Step 8 creates constrt with startdate and charge; step 13 only
        // looks for them.
        EXPECT_NE(field(table("constrt"), "startdate"), nullptr);
        EXPECT_EQ(traced("SELECT startdate FROM constrt"), c.stored >= 8);
        EXPECT_FALSE(tracedStartingWith("ALTER TABLE `constrt`  ADD COLUMN `startdate`"));
        int asmemo = field(table("aslist"), "asmemo")->type;
        EXPECT_EQ(traced(kAsmemoToText), c.stored == 10);
        EXPECT_EQ(asmemo, c.stored == 10 ? daotype::Memo : daotype::Text);
    }
}

TEST_F(FornLadderTest, FromAboveTheTargetOnlyTheVersionIsRewritten) {
    struct Case {
        const char* product;
        int target;
    };
    for (const Case& c : {Case{"FornII", 135}, Case{"FornPro", 70}, Case{"quickbilII", 14}}) {
        SCOPED_TRACE(c.product);
        build(c.product);
        setVersion(c.target + 7);
        ASSERT_TRUE(migrate()) << messages();
        EXPECT_TRUE(dialogs.shown.empty()) << messages();
        EXPECT_EQ(trace, (std::vector<std::string>{
                             kVersionRead, "UPDATE dbversion SET ver = " + std::to_string(c.target) + " WHERE dbid = 'main'"}));
        EXPECT_EQ(version(), c.target);
    }
}

TEST_F(FornLadderTest, UnguardedStockuseupAlterStopsEveryRunInTheEntry) {
    struct Case {
        const char* product;
        int failingStep;
    };
    for (const Case& c : {Case{"FornII", 67}, Case{"FornPro", 10}}) {
        SCOPED_TRACE(c.product);
        dialogs.shown.clear();
        build(c.product, {"ALTER TABLE `product_m` ADD COLUMN `stockuseup` SMALLINT DEFAULT 0 NOT NULL"});
        EXPECT_FALSE(migrate());
        ASSERT_EQ(dialogs.shown.size(), 1u) << messages();
        const std::string& msg = dialogs.shown[0].text;
        EXPECT_EQ(msg.rfind("Error -", 0), 0u) << msg;
        EXPECT_NE(msg.find(") in procedure ChkDBpatch of Module modMain_dbPatch"), std::string::npos) << msg;
        EXPECT_EQ(msg.find("ChkDBpatch_SUB"), std::string::npos) << msg;
        EXPECT_EQ(trace.back(), kStockuseupAlter);
        EXPECT_EQ(version(), 1);
        // Every step below the failing one ran; none after it.
        std::vector<int> ran = stepsRun();
        ASSERT_FALSE(ran.empty());
        EXPECT_EQ(ran.back(), c.failingStep);
        EXPECT_EQ(ran.front(), 2);
        EXPECT_FALSE(traced("SELECT weight FROM product_m"));
    }
}

TEST_F(FornLadderTest, FornProFullLadderFromVersion1WithoutAnyMessage) {
    build("FornPro");
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(version(), 70);
    EXPECT_EQ(trace.front(), kVersionRead);
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 70 WHERE dbid = 'main'");
    EXPECT_EQ(stepsRun(), stepsFrom(2));
    EXPECT_EQ(catalogue().step(52), nullptr);

    // The consignment step (23) runs before ordbook_m.regucode (24).
    long consignment = position(dex::test::FirstStatement(catalogue(), catalogue().step(23)->ops));
    long regucode = position("SELECT regucode FROM ordbook_m");
    ASSERT_GE(consignment, 0);
    EXPECT_LT(consignment, regucode);

    EXPECT_NE(field(table("makeord_m"), "makemode"), nullptr);
    EXPECT_EQ(field(table("makelist_m"), "makemode")->defaultValue, "1");
    EXPECT_EQ(field(table("ordbook_d"), "workordno")->type, daotype::Long);
    EXPECT_EQ(field(table("product_m"), "stockuseup")->type, daotype::Long);
    EXPECT_EQ(field(table("customer"), "usesmartphone")->type, daotype::Integer);
    EXPECT_NE(field(table("custprodmatch"), "lastmodify"), nullptr);
    // vardoII's serial, FornII's custprodinterest and sale_h_tax.
    EXPECT_NE(index(table("serial"), "idx_serial_serial"), nullptr);
    EXPECT_EQ(index(table("serial"), "idx_serial_ocode"), nullptr);
    EXPECT_TRUE(index(table("custprodinterest"), "idx_custprodinterest_pcode")->unique);
    for (const IndexDef& i : table("product_h_sync").indexes) EXPECT_FALSE(i.foreign) << i.name;
    EXPECT_NE(index(table("office"), "fk_office_group"), nullptr);

    EXPECT_EQ(text("SELECT COUNT(*) FROM billnote WHERE outtype = 2"), "2");
    EXPECT_EQ(text("SELECT outbigo FROM billnote WHERE code = 'R2024-001'"), "한빛");
    EXPECT_EQ(text("SELECT COUNT(*) FROM office_store"), "4");
    EXPECT_EQ(text("SELECT etaxcharge FROM office WHERE code = 1"), "김대표");
    EXPECT_TRUE(std::filesystem::exists(log->filePath()));
}

TEST_F(FornLadderTest, FornProFrom51And52RunsFrom53) {
    for (int stored : {51, 52}) {
        SCOPED_TRACE("stored version " + std::to_string(stored));
        prepareAt("FornPro", stored);
        ASSERT_TRUE(migrate()) << messages();
        EXPECT_TRUE(dialogs.shown.empty()) << messages();
        EXPECT_EQ(stepsRun(), stepsFrom(53));
        EXPECT_EQ(stepsRun().front(), 53);
        EXPECT_EQ(version(), 70);
    }
}

TEST_F(FornLadderTest, FornIIBillNoteRepairKeepsApostrophes) {
    build("FornII", {"UPDATE customer SET compalias = 'O''Neil' WHERE code = '000001'"});
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(text("SELECT outbigo FROM billnote WHERE code = 'R2024-001'"), "O'Neil");
}

}  // namespace
