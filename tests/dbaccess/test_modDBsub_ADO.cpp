#include <gtest/gtest.h>

#include "FakeEngine.h"
#include "modDBsub.h"
#include "modDBsub_ADO.h"

using namespace dex;
using namespace dex::modDBsub_ADO;
using dex::test::FakeAnswer;
using FakeEngine = dex::test::RecordingEngine;

namespace {

const Value kQQ{std::string("\"\"")};

class PrimitivesTest : public ::testing::Test {
protected:
    FakeEngine engine;
    RecordingDialogs dialogs;
    DbSession session{engine, dialogs};

    void SetUp() override {
        modDBsub::DBOpen(session, "/data/db.mdb", "kt5316");
        // Column probes find nothing unless a test says otherwise.
        engine.state->answer = [](const std::string& sql) -> std::optional<FakeAnswer> {
            if (sql.rfind("SELECT ", 0) == 0 && sql.find(" LEFT JOIN ") == std::string::npos &&
                sql.find("SELECT existing ") != 0)
                return FakeAnswer::Fail(dberr::MissingColumn, "No value given for one or more required parameters.");
            return std::nullopt;
        };
    }
    std::vector<std::string>& sent() { return engine.state->statements; }
    // The statements after the existence probe.
    std::vector<std::string> executed() const {
        std::vector<std::string> out;
        for (const auto& s : engine.state->statements)
            if (s.rfind("SELECT ", 0) != 0) out.push_back(s);
        return out;
    }
};

TEST_F(PrimitivesTest, AddColumnStatementOfTheExample) {
    int32_t size = 0;
    Value def{int64_t{2}};
    EXPECT_TRUE(AddColumn(session, "pclass", "plevel", coltype::LONG, size, def, "UPDATE pclass SET plevel = 2"));
    EXPECT_EQ(sent(), (std::vector<std::string>{"SELECT plevel FROM pclass",
                                                "ALTER TABLE `pclass`  ADD COLUMN `plevel` LONG DEFAULT 2 NOT NULL",
                                                "UPDATE pclass SET plevel = 2"}));
}

TEST_F(PrimitivesTest, AddColumnOnAnExistingColumnExecutesNothing) {
    int32_t size = 10;
    Value def = kQQ;
    EXPECT_TRUE(AddColumn(session, "pclass", "existing", coltype::VARCHAR, size, def, "UPDATE pclass SET x = 1"));
    EXPECT_EQ(sent(), (std::vector<std::string>{"SELECT existing FROM pclass"}));
}

TEST_F(PrimitivesTest, AddColumnVarcharSizeZeroAndDefaultNormalisation) {
    int32_t size = 0;
    Value def{std::string()};
    AddColumn(session, "t", "c", coltype::VARCHAR, size, def, "");
    EXPECT_EQ(executed().back(), "ALTER TABLE `t`  ADD COLUMN `c` VARCHAR(255) DEFAULT \"\" NOT NULL");
    EXPECT_EQ(size, 255);
    EXPECT_EQ(def, kQQ);

    Value quotes{std::string("\"\"\"\"")};
    int32_t size2 = 20;
    AddColumn(session, "t", "d", coltype::TEXT, size2, quotes, "");
    EXPECT_EQ(executed().back(), "ALTER TABLE `t`  ADD COLUMN `d` TEXT DEFAULT \"\" NOT NULL");
    EXPECT_EQ(quotes, kQQ);
    EXPECT_EQ(size2, 20);

    Value zeros{std::string("0000")};
    int32_t size3 = 4;
    AddColumn(session, "sale", "dealtime", coltype::VARCHAR, size3, zeros, "");
    EXPECT_EQ(executed().back(), "ALTER TABLE `sale`  ADD COLUMN `dealtime` VARCHAR(4) DEFAULT 0000 NOT NULL");
}

TEST_F(PrimitivesTest, AddColumnDefUpdateBackfills) {
    int32_t size = 10;
    Value def = kQQ;
    AddColumn(session, "sale", "maildate", coltype::VARCHAR, size, def, kDefUpdate);
    EXPECT_EQ(executed().back(), "UPDATE `sale` SET `maildate` = '' WHERE `maildate` IS NULL");

    int32_t s2 = 0;
    Value one{int64_t{1}};
    AddColumn(session, "office", "gcode", coltype::LONG, s2, one, kDefUpdate);
    EXPECT_EQ(executed().back(), "UPDATE `office` SET `gcode` = 1 WHERE `gcode` IS NULL");

    Value zero{int64_t{0}};
    AddColumn(session, "customer", "taxptype", coltype::TINYINT, s2, zero, kDefUpdate);
    EXPECT_EQ(executed()[executed().size() - 2],
              "ALTER TABLE `customer`  ADD COLUMN `taxptype` TINYINT DEFAULT 0 NOT NULL");
    EXPECT_EQ(executed().back(), "UPDATE `customer` SET `taxptype` = 0 WHERE `taxptype` IS NULL");

    Value now{std::string("Now()")};
    AddColumn(session, "t", "d", coltype::DATE, s2, now, kDefUpdate);
    EXPECT_EQ(executed()[executed().size() - 2], "ALTER TABLE `t`  ADD COLUMN `d` DATE DEFAULT Now() NOT NULL");
    EXPECT_EQ(executed().back(), "UPDATE `t` SET `d` = '' WHERE `d` IS NULL");
}

TEST_F(PrimitivesTest, AddColumnNullDefaultAndUnknownType) {
    int32_t size = 0;
    Value null;
    AddColumn(session, "t", "n", coltype::LONG, size, null, kDefUpdate);
    EXPECT_EQ(executed()[0], "ALTER TABLE `t`  ADD COLUMN `n` LONG DEFAULT NULL NOT NULL");
    EXPECT_EQ(executed()[1], "UPDATE `t` SET `n` = NULL WHERE `n` IS NULL");

    Value zero{int64_t{0}};
    AddColumn(session, "t", "u", 9, size, zero, kDefUpdate);
    EXPECT_EQ(executed()[2], "ALTER TABLE `t`  ADD COLUMN `u`  DEFAULT 0 NOT NULL");
    EXPECT_EQ(executed()[3], "UPDATE `t` SET `u` =  WHERE `u` IS NULL");
}

TEST_F(PrimitivesTest, AddColumnFailureReachesTheCaller) {
    engine.state->onPrefix("ALTER TABLE `nosuch`", FakeAnswer::Fail(dberr::MissingTable, "Table 'nosuch' not found."));
    int32_t size = 0;
    Value zero{int64_t{0}};
    EXPECT_THROW(AddColumn(session, "nosuch", "c", coltype::LONG, size, zero, ""), DbError);
}

TEST_F(PrimitivesTest, AlterColumnStatements) {
    int32_t size = 100;
    Value def = kQQ;
    EXPECT_TRUE(AlterColumn(session, "estimate_m", "paytype", coltype::VARCHAR, size, def));
    int32_t s2 = 0;
    Value zero{int64_t{0}};
    AlterColumn(session, "customer", "sale_dc", coltype::DOUBLE, s2, zero);
    AlterColumn(session, "t", "d", coltype::DATE, s2, zero);
    AlterColumn(session, "t", "b", coltype::TINYINT, s2, zero);
    Value null;
    AlterColumn(session, "t", "n", coltype::LONG, s2, null);
    EXPECT_EQ(sent(), (std::vector<std::string>{
                          "ALTER TABLE `estimate_m`  ALTER COLUMN `paytype` VARCHAR(100) DEFAULT \"\" NOT NULL",
                          "ALTER TABLE `customer`  ALTER COLUMN `sale_dc` DOUBLE DEFAULT 0 NOT NULL",
                          "ALTER TABLE `t`  ALTER COLUMN `d`  DEFAULT 0 NOT NULL",
                          "ALTER TABLE `t`  ALTER COLUMN `b`  DEFAULT 0 NOT NULL",
                          "ALTER TABLE `t`  ALTER COLUMN `n` LONG DEFAULT  NOT NULL",
                      }));
}

TEST_F(PrimitivesTest, AddForeignKeyWithoutOrphansAddsTheConstraint) {
    EXPECT_TRUE(AddForeignKey(session, "fk_pd_qlty", "qlty", "product_m", "code", "qcode", fkflags::Both));
    EXPECT_EQ(sent(), (std::vector<std::string>{
                          "SELECT product_m.qcode FROM product_m LEFT JOIN qlty ON product_m.qcode = qlty.code "
                          "WHERE qlty.code IS NULL GROUP BY product_m.qcode",
                          "ALTER TABLE product_m ADD CONSTRAINT fk_pd_qlty FOREIGN KEY (qcode) REFERENCES qlty "
                          "(code) ON DELETE CASCADE ON UPDATE CASCADE",
                      }));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PrimitivesTest, AddForeignKeyFlags) {
    AddForeignKey(session, "f0", "r", "t", "rc", "c", 0);
    AddForeignKey(session, "f1", "r", "t", "rc", "c", 1);
    AddForeignKey(session, "f2", "r", "t", "rc", "c", 2);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "ALTER TABLE t ADD CONSTRAINT f0 FOREIGN KEY (c) REFERENCES r (rc)",
                              "ALTER TABLE t ADD CONSTRAINT f1 FOREIGN KEY (c) REFERENCES r (rc) ON DELETE CASCADE",
                              "ALTER TABLE t ADD CONSTRAINT f2 FOREIGN KEY (c) REFERENCES r (rc) ON UPDATE CASCADE",
                          }));
}

TEST_F(PrimitivesTest, AddForeignKeyLeavesATableWithOrphansAlone) {
    engine.state->onPrefix("SELECT sale.tcode FROM sale LEFT JOIN",
                           FakeAnswer::Rows({{Value{int64_t{7}}}, {Value{int64_t{9}}}}));
    EXPECT_FALSE(AddForeignKey(session, "fk_sale_type", "saletype", "sale", "code", "tcode", 3));
    EXPECT_TRUE(executed().empty());  // no DELETE, no ALTER
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PrimitivesTest, AddForeignKeyFailuresAreReported) {
    engine.state->onPrefix("ALTER TABLE product_m ADD CONSTRAINT",
                           FakeAnswer::Fail(-2147217900, "Constraint 'fk_pd_qlty' already exists."));
    EXPECT_FALSE(AddForeignKey(session, "fk_pd_qlty", "qlty", "product_m", "code", "qcode", 3));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "오류번호 : -2147217900\r\n오류내용 : Constraint 'fk_pd_qlty' already exists.");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");

    // A failing orphan query: DBOpenRS reports it, nothing is altered.
    dialogs.shown.clear();
    engine.state->onPrefix("SELECT x.c FROM x", FakeAnswer::Fail(dberr::MissingTable, "Table 'x' not found."));
    size_t before = executed().size();
    EXPECT_FALSE(AddForeignKey(session, "fk_x", "r", "x", "rc", "c", 3));
    EXPECT_EQ(executed().size(), before);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "ERROR");
}

TEST_F(PrimitivesTest, CreateIndexStatementsAndDuplicate) {
    EXPECT_TRUE(CreateIndex(session, "holiday1_d", "h_date", "idx_holiday1_d_h_date", false));
    EXPECT_TRUE(CreateIndex(session, "custprodinterest", "pcode", "idx_custprodinterest_pcode", true));
    EXPECT_EQ(sent(), (std::vector<std::string>{
                          "CREATE INDEX idx_holiday1_d_h_date ON holiday1_d(h_date)",
                          "CREATE UNIQUE INDEX idx_custprodinterest_pcode ON custprodinterest(pcode)",
                      }));
    engine.state->on("CREATE INDEX idx_a ON t(a)", FakeAnswer::Fail(-2147217900, "Index 'idx_a' already exists."));
    EXPECT_FALSE(CreateIndex(session, "t", "a", "idx_a", false));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "오류번호 : -2147217900\r\n오류내용 : Index 'idx_a' already exists.");
}

}  // namespace
