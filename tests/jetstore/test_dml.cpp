// Statements and functions of the Jet dialect, row sets and their errors.
#include "StoreFixture.h"

namespace dex::test {
namespace {

class Dml : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        exec("CREATE TABLE pclass (code VARCHAR(4) DEFAULT \"\" NOT NULL, name VARCHAR(20) DEFAULT \"\" NOT NULL, "
             "PRIMARY KEY (code))");
        for (auto c : {"0001", "0041", "ab12", "99"})
            exec(std::string("INSERT INTO pclass (code, name) VALUES ('") + c + "', 'n" + c + "')");
    }
};

TEST_F(Dml, NextCodeQueryWithLenAndIsNumeric) {
    EXPECT_EQ(scalar("SELECT MAX(code) FROM pclass WHERE LEN(code) = 4 AND ISNUMERIC(code)"), "0041");
    EXPECT_EQ(scalar("SELECT MAX(LEFT(code, 3)) FROM pclass WHERE LEN(code) = 4 AND ISNUMERIC(code)"), "004");
    EXPECT_EQ(scalar("SELECT ISNUMERIC('x') & '/' & ISNUMERIC(12)"), "0/-1");
    EXPECT_EQ(scalar("SELECT RIGHT('한글abc', 4) & MID('한글abc', 2, 2) & MID('abc', 2)"), "글abc글abc");
    EXPECT_EQ(scalar("SELECT LEN(NOW())"), "19");
}

TEST_F(Dml, AmpersandConcatenatesInsteadOfBitwiseAnd) {
    exec("ALTER TABLE `pclass`  ADD COLUMN `fullpath` VARCHAR(8) DEFAULT \"\" NOT NULL");
    EXPECT_EQ(exec("UPDATE pclass SET fullpath = '0101' & code"), 4);
    EXPECT_EQ(scalar("SELECT fullpath FROM pclass WHERE code = '0041'"), "01010041");
}

TEST_F(Dml, DeleteStarAndAffectedRows) {
    EXPECT_EQ(exec("DELETE * FROM pclass WHERE code = '0001'"), 1);
    EXPECT_EQ(exec("delete * from pclass where code = 'none'"), 0);
    EXPECT_EQ(exec("insert into pclass (code, name) values ('0002', \"it's\")"), 1);
    EXPECT_EQ(scalar("SELECT name FROM pclass WHERE code = '0002'"), "it's");
    EXPECT_EQ(exec("CREATE INDEX idx_name ON pclass(name)"), 0);
}

TEST_F(Dml, CommaJoinWithAliasesAndRowSet) {
    exec("CREATE TABLE office (code SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (code))");
    exec("CREATE TABLE storehouse (code SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (code))");
    exec("INSERT INTO office (code) VALUES (1)");
    exec("INSERT INTO office (code) VALUES (2)");
    exec("INSERT INTO storehouse (code) VALUES (5)");
    auto rs = conn->query("select o.code, s.code from office AS o, storehouse AS s");
    EXPECT_EQ(rs->state(), Recordset::StateOpen);
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->fieldCount(), 2);
    EXPECT_EQ(std::get<int64_t>(rs->field(1)), 5);
    rs->moveNext();
    EXPECT_EQ(std::get<int64_t>(rs->field(0)), 2);
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field(0), DbError);
    rs->close();
    EXPECT_EQ(rs->state(), Recordset::StateClosed);
}

TEST_F(Dml, OrphanQueryWithLeftJoin) {
    exec("CREATE TABLE qltydc (ccode VARCHAR(6), qcode LONG)");
    exec("INSERT INTO qltydc VALUES ('c1', 1)");
    exec("INSERT INTO qltydc VALUES ('c2', 2)");
    exec("INSERT INTO qltydc VALUES ('c3', 2)");
    exec("CREATE TABLE qlty (code LONG, PRIMARY KEY (code))");
    exec("INSERT INTO qlty VALUES (1)");
    auto rs = conn->query("SELECT qltydc.qcode FROM qltydc LEFT JOIN qlty ON qltydc.qcode = qlty.code "
                          "WHERE qlty.code IS NULL GROUP BY qltydc.qcode");
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(valueToText(rs->field(0)), "2");
}

TEST_F(Dml, ValuesKeepTheirKinds) {
    exec("CREATE TABLE v (a LONG, b DOUBLE, c VARCHAR(5), d DATETIME)");
    exec("INSERT INTO v VALUES (1, 2.5, 'x', '2024-05-06 07:08:09')");
    exec("INSERT INTO v (a) VALUES (NULL)");
    auto rs = conn->query("SELECT a, b, c, d FROM v ORDER BY a DESC");
    EXPECT_EQ(std::get<int64_t>(rs->field(0)), 1);
    EXPECT_DOUBLE_EQ(std::get<double>(rs->field(1)), 2.5);
    EXPECT_EQ(std::get<std::string>(rs->field(2)), "x");
    EXPECT_EQ(std::get<std::string>(rs->field(3)), "2024-05-06 07:08:09");
    rs->moveNext();
    EXPECT_TRUE(isNull(rs->field(0)));
}

TEST_F(Dml, ErrorNumbersTheAccessLayerTellsApart) {
    failure("SELECT * FROM nothere", dberr::MissingTable);
    failure("SELECT nothere FROM pclass", dberr::MissingColumn);
    failure("SELECT FROM WHERE", dberr::SyntaxError);
    EXPECT_EQ(failure("SELECT NOSUCHFUNC(code) FROM pclass", dberr::SyntaxError),
              "Undefined function 'NOSUCHFUNC' in expression.");
    EXPECT_EQ(failure("SELECT 1; SELECT 2", dberr::SyntaxError), "Characters found after end of SQL statement.");
    failure("INSERT INTO pclass (code, name) VALUES ('0001', 'dup')", dberr::ConstraintViolation);
    failure("INSERT INTO pclass (code, name) VALUES ('0009', NULL)", dberr::ConstraintViolation);
    // A double-quoted word is a text in Jet, never a column name.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM pclass WHERE code = \"code\""), "0");
    conn->close();
    try {
        conn->execute("SELECT 1");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), dberr::NoConnection);
    }
}

TEST_F(Dml, StatementWithoutRowsGivesClosedRowSet) {
    auto rs = conn->query("UPDATE pclass SET name = 'x' WHERE code = '0001'");
    EXPECT_EQ(rs->state(), Recordset::StateClosed);
    EXPECT_THROW(rs->eof(), DbError);
    EXPECT_EQ(scalar("SELECT name FROM pclass WHERE code = '0001'"), "x");
}

}  // namespace
}  // namespace dex::test
