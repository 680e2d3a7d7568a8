// CREATE TABLE / CREATE INDEX / DROP TABLE statements as the catalogues send
// them, and the structure the store reports for them afterwards.
#include "StoreFixture.h"

namespace dex::test {
namespace {

class Ddl : public StoreFixture {};

TEST_F(Ddl, PrivMenuWithLeadingBlankAndParenthesisAfterName) {
    exec(" CREATE TABLE `priv_menu`(  `menuid`        LONG            DEFAULT 0       NOT NULL, "
         " `ucode`         VARCHAR(2)      DEFAULT ''      NOT NULL, PRIMARY KEY(menuid, ucode))");
    TableDef t = table("priv_menu");
    ASSERT_EQ(t.fields.size(), 2u);
    EXPECT_EQ(t.fields[0].name, "menuid");
    EXPECT_EQ(t.fields[0].type, daotype::Long);
    EXPECT_EQ(t.fields[0].size, 4);
    EXPECT_EQ(t.fields[0].defaultValue, "0");
    EXPECT_TRUE(t.fields[0].required);
    EXPECT_EQ(t.fields[1].type, daotype::Text);
    EXPECT_EQ(t.fields[1].size, 2);
    EXPECT_EQ(t.fields[1].defaultValue, "''");
    EXPECT_TRUE(t.fields[1].allowZeroLength);
    const IndexDef* pk = index(t, "PrimaryKey");
    ASSERT_NE(pk, nullptr);
    EXPECT_TRUE(pk->primary);
    EXPECT_EQ(pk->fields, (std::vector<std::string>{"menuid", "ucode"}));
}

TEST_F(Ddl, ReceiveWithNotNullBeforeDefaultAndAutoIncrement) {
    exec(" CREATE TABLE `receive`( `code` AUTOINCREMENT,`ocode` SMALLINT NOT NULL DEFAULT 1,"
         "`dealdate` VARCHAR(10) NOT NULL DEFAULT '',`amount` DOUBLE NOT NULL DEFAULT 0,"
         "`dealtime` VARCHAR(4) NOT NULL DEFAULT '0000', PRIMARY KEY(code))");
    TableDef t = table("receive");
    EXPECT_EQ(field(t, "code").type, daotype::Long);
    EXPECT_FALSE(field(t, "code").required);
    EXPECT_EQ(field(t, "ocode").type, daotype::Integer);
    EXPECT_EQ(field(t, "ocode").size, 2);
    EXPECT_EQ(field(t, "ocode").defaultValue, "1");
    EXPECT_EQ(field(t, "amount").type, daotype::Double);
    EXPECT_EQ(field(t, "amount").size, 8);
    EXPECT_EQ(field(t, "dealtime").defaultValue, "'0000'");
    exec("INSERT INTO receive (dealdate) VALUES ('2024-01-01')");
    exec("INSERT INTO receive (dealdate) VALUES ('2024-01-02')");
    EXPECT_EQ(scalar("SELECT MAX(code) FROM receive"), "2");
    EXPECT_EQ(scalar("SELECT dealtime FROM receive WHERE code = 1"), "0000");
}

TEST_F(Ddl, DefaultsReadBackAsWritten) {
    exec("CREATE TABLE approval_details (code AUTOINCREMENT, old_code INT NOT NULL, "
         "trade_number VARCHAR(30) NOT NULL DEFAULT \"\", tax_mode INT NOT NULL DEFAULT -1, "
         "data_created DATETIME NOT NULL, data_updated DATETIME NOT NULL DEFAULT NOW(), "
         "stime1 VARCHAR(5) DEFAULT \"00:00\" NOT NULL, codet VARCHAR(12) DEFAULT \"\", "
         "settings TEXT NULL, h_taxno VARCHAR(12) NULL DEFAULT NULL, dealtime VARCHAR(4) DEFAULT 0000, "
         "PRIMARY KEY (code))");
    TableDef t = table("approval_details");
    EXPECT_EQ(field(t, "trade_number").defaultValue, "\"\"");
    EXPECT_EQ(field(t, "tax_mode").defaultValue, "-1");
    EXPECT_EQ(field(t, "data_created").defaultValue, "");
    EXPECT_EQ(field(t, "data_created").type, daotype::Date);
    EXPECT_EQ(field(t, "data_updated").defaultValue, "NOW()");
    EXPECT_EQ(field(t, "stime1").defaultValue, "\"00:00\"");
    EXPECT_FALSE(field(t, "codet").required);
    EXPECT_EQ(field(t, "settings").type, daotype::Memo);
    EXPECT_EQ(field(t, "settings").size, 0);
    EXPECT_FALSE(field(t, "settings").required);
    EXPECT_EQ(field(t, "h_taxno").defaultValue, "NULL");
    EXPECT_EQ(field(t, "dealtime").defaultValue, "0000");
    // The defaults work as values: "" is an empty text, NOW() the current time.
    exec("INSERT INTO approval_details (old_code, data_created) VALUES (7, '2024-01-01 00:00:00')");
    EXPECT_EQ(scalar("SELECT trade_number || '|' || stime1 || '|' || tax_mode FROM approval_details"), "|00:00|-1");
    EXPECT_EQ(scalar("SELECT LEN(data_updated) FROM approval_details"), "19");
}

TEST_F(Ddl, TypeWordsMapToDaoCodesAndSizes) {
    exec("CREATE TABLE types (a INT, b TINYINT, c BYTE, d TEXT(50), e DATETIME, f DATE, g LONG, h SMALLINT, "
         "i DOUBLE, j VARCHAR(6), k TEXT, l BIT, m CURRENCY, n REAL, o INTEGER, p MEMO, q VARCHAR)");
    TableDef t = table("types");
    std::vector<std::pair<int, int>> expected = {{4, 4},  {2, 1},  {2, 1}, {10, 50}, {8, 8},  {8, 8},
                                                 {4, 4},  {3, 2},  {7, 8}, {10, 6},  {12, 0}, {1, 1},
                                                 {5, 8},  {6, 4},  {4, 4}, {12, 0},  {10, 255}};
    ASSERT_EQ(t.fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(t.fields[i].type, expected[i].first) << t.fields[i].name;
        EXPECT_EQ(t.fields[i].size, expected[i].second) << t.fields[i].name;
        EXPECT_EQ(t.fields[i].allowZeroLength, expected[i].first == 10 || expected[i].first == 12);
    }
}

TEST_F(Ddl, AutoIncrementInTwoColumnKeyNumbersRows) {
    exec("CREATE TABLE buy_log (logno AUTOINCREMENT, part TINYINT DEFAULT 0 NOT NULL, "
         "buyno VARCHAR(12) DEFAULT \"\" NOT NULL, PRIMARY KEY (logno, part))");
    exec("INSERT INTO buy_log (part, buyno) VALUES (0, 'a')");
    exec("INSERT INTO buy_log (part, buyno) VALUES (1, 'b')");
    exec("INSERT INTO buy_log (logno, part, buyno) VALUES (10, 0, 'c')");
    exec("INSERT INTO buy_log (part, buyno) VALUES (0, 'd')");
    EXPECT_EQ(scalar("SELECT logno FROM buy_log WHERE buyno = 'b'"), "2");
    EXPECT_EQ(scalar("SELECT logno FROM buy_log WHERE buyno = 'd'"), "11");
    TableDef t = table("buy_log");
    EXPECT_EQ(field(t, "logno").type, daotype::Long);
    EXPECT_EQ(index(t, "PrimaryKey")->fields, (std::vector<std::string>{"logno", "part"}));
}

TEST_F(Ddl, AutoIncrementNotNullWithoutBackquotes) {
    exec("CREATE TABLE officegroup (code AUTOINCREMENT NOT NULL, name VARCHAR(30) DEFAULT \"\" NOT NULL, "
         "PRIMARY KEY (code))");
    exec("INSERT INTO officegroup (name) VALUES ('미지정')");
    EXPECT_EQ(scalar("SELECT code FROM officegroup WHERE name = '미지정'"), "1");
    EXPECT_TRUE(field(table("officegroup"), "code").required);
}

TEST_F(Ddl, IndexesWithoutBlankBeforeParenthesis) {
    exec("CREATE TABLE holiday1_d (h_num LONG DEFAULT 0 NOT NULL, h_date VARCHAR(10) DEFAULT \"\" NOT NULL, "
         "PRIMARY KEY (h_num, h_date))");
    exec("CREATE INDEX idx_holiday1_d_h_date ON holiday1_d(h_date)");
    exec("CREATE UNIQUE INDEX idx_u ON holiday1_d(h_date, h_num)");
    TableDef t = table("holiday1_d");
    const IndexDef* ix = index(t, "idx_holiday1_d_h_date");
    ASSERT_NE(ix, nullptr);
    EXPECT_FALSE(ix->primary);
    EXPECT_FALSE(ix->foreign);
    EXPECT_EQ(ix->fields, std::vector<std::string>{"h_date"});
    ASSERT_NE(index(t, "idx_u"), nullptr);
    EXPECT_TRUE(index(t, "idx_u")->unique);
    EXPECT_EQ(index(t, "idx_u")->fields, (std::vector<std::string>{"h_date", "h_num"}));
    EXPECT_EQ(failure("CREATE INDEX idx_holiday1_d_h_date ON holiday1_d(h_date)", dberr::SyntaxError),
              "Index 'idx_holiday1_d_h_date' already exists.");
    failure("CREATE INDEX idx_x ON holiday1_d(nothere)", dberr::MissingColumn);
    failure("CREATE INDEX idx_x ON nothere(a)", dberr::MissingTable);
}

TEST_F(Ddl, TablesSortedWithoutCaseIncludingSystemTablesFieldsInOrder) {
    exec("CREATE TABLE zeta (b LONG, a LONG)");
    exec("CREATE TABLE Alpha (x LONG)");
    exec("CREATE TABLE beta (x LONG)");
    auto db = engine->openDatabase(path, 0, false, ";pwd=kt5316");
    std::vector<std::string> names;
    for (auto& t : db->tableDefs()) names.push_back(t.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "MSysStore", "zeta"}));
    EXPECT_EQ(table("zeta").fields[0].name, "b");
}

TEST_F(Ddl, CreateTableErrors) {
    exec("CREATE TABLE t (a LONG)");
    EXPECT_EQ(failure("CREATE TABLE T (a LONG)", dberr::SyntaxError), "Table 'T' already exists.");
    failure("CREATE TABLE u (a LONG, PRIMARY KEY (b))", dberr::MissingColumn);
    failure("CREATE TABLE u (a)", dberr::SyntaxError);
    failure("CREATE TABLE u (a LONG", dberr::SyntaxError);
}

TEST_F(Ddl, DropTableRefusedWhileReferenced) {
    exec("CREATE TABLE calclist_temp (pcode VARCHAR(6) DEFAULT \"\" NOT NULL, PRIMARY KEY (pcode))");
    exec("CREATE TABLE child (pcode VARCHAR(6), CONSTRAINT fk_c FOREIGN KEY (pcode) REFERENCES calclist_temp (pcode))");
    failure("DROP TABLE `calclist_temp`", dberr::SyntaxError);
    exec("DROP TABLE child");
    exec("DROP TABLE `calclist_temp`");
    failure("SELECT * FROM calclist_temp", dberr::MissingTable);
    failure("DROP TABLE `calclist_temp`", dberr::MissingTable);
}

}  // namespace
}  // namespace dex::test
