// Structure loading, the three comparison passes, navigation and the run's
// validation, over an in-memory engine.
#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CompareRun.h"
#include "FakeEngine.h"
#include "modCmpDB.h"

using namespace dex;
using namespace dex::test;

namespace {

class CompareTest : public ::testing::Test {
protected:
    CompareTest() : wb{grid, engine, dialogs, itemBar, overallBar, window} { grid.setColumnCount(23); }

    std::string cell(int col, int row) const { return modCmpDB::GetCellText(grid, col, row); }
    std::vector<int> markedRows() const {
        std::vector<int> rows;
        for (int r = 1; r <= grid.rowCount(); ++r)
            if (cell(12, r) == "!") rows.push_back(r);
        return rows;
    }
    std::vector<int> visibleRows() const {
        std::vector<int> rows;
        for (int r = 1; r <= grid.rowCount(); ++r)
            if (!grid.rowHidden(r)) rows.push_back(r);
        return rows;
    }
    int64_t loadAndCompare(const std::string& a = "A.mdb", const std::string& b = "B.mdb") {
        EXPECT_TRUE(modCmpDB::LoadDBStruct(wb, a, true, kProductPassword, ""));
        EXPECT_TRUE(modCmpDB::LoadDBStruct(wb, b, false, kProductPassword, ""));
        return modCmpDB::CompareStruct(wb);
    }
    std::string lastMessage() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }
    // Every coloured cell of the grid as "column,row=colour", row by row.
    std::vector<std::string> colouredCells() const {
        std::vector<std::string> out;
        for (int r = 1; r <= grid.rowCount(); ++r)
            for (int c = 1; c <= 23; ++c)
                if (auto colour = grid.backColor(c, r))
                    out.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + std::to_string(*colour));
        return out;
    }

    Grid grid;
    FakeEngine engine;
    RecordingDialogs dialogs;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    Workbench wb;
};

TableDef customer() {
    return TableDef{"customer",
                    {textField("code", 6), textField("name", 50), longField("gcode")},
                    {primaryKey({"code"}), foreignKey("fk_cust_group", {"gcode"})}};
}

}  // namespace

TEST_F(CompareTest, LoadWritesOneRowPerFieldWithMarksAndTypes) {
    TableDef t{"product_m",
               {textField("code", 6), FieldDef{"memo", daotype::Memo, 0, "", false, true},
                FieldDef{"flag", daotype::Byte, 1, "1", true, false}, longField("qcode")},
               {primaryKey({"code"}), plainIndex("idx_code", {"CODE"}), foreignKey("fk_pd_qlty", {"qcode"})}};
    engine.files["A.mdb"].tables = {t};
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, kProductPassword, ""));
    ASSERT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(grid.headerText(1, true), "A.mdb");
    // code: Text(6), primary key and another index
    EXPECT_EQ(cell(1, 1), "product_m");
    EXPECT_EQ(cell(2, 1), "v");
    EXPECT_EQ(cell(3, 1), "");
    EXPECT_EQ(cell(4, 1), "v") << "an index naming the field in another case still marks it";
    EXPECT_EQ(cell(5, 1), "code");
    EXPECT_EQ(cell(6, 1), "Text");
    EXPECT_EQ(cell(7, 1), "6");
    EXPECT_EQ(cell(8, 1), "\"\"");
    EXPECT_EQ(cell(9, 1), "X");
    EXPECT_EQ(cell(10, 1), "O");
    EXPECT_EQ(cell(11, 1), "product_m.code");
    // memo: no size, no zero-length mark, nullable
    EXPECT_EQ(cell(6, 2), "Memo");
    EXPECT_EQ(cell(7, 2), "");
    EXPECT_EQ(cell(10, 2), "");
    EXPECT_EQ(cell(9, 2), "O");
    // byte: shown by its code
    EXPECT_EQ(cell(6, 3), "2");
    EXPECT_EQ(cell(8, 3), "1");
    // foreign-key index
    EXPECT_EQ(cell(3, 4), "v");
    EXPECT_EQ(cell(2, 4), "");
    EXPECT_EQ(engine.opens, engine.closes) << "the database is closed before the load returns";
}

TEST_F(CompareTest, SystemTablesAreSkippedAndFilterIgnoresCase) {
    engine.files["A.mdb"].tables = {TableDef{"MSysObjects", {longField("Id")}, {}},
                                    TableDef{"msysconf", {longField("x")}, {}}, customer(),
                                    TableDef{"sale", {longField("code")}, {}}};
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, "", "CUSTOMER"));
    EXPECT_EQ(grid.rowCount(), 3);
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(cell(1, r), "customer");
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, "", "msysconf"));
    EXPECT_EQ(grid.rowCount(), 0) << "a system table is never loaded, whatever the filter";
    EXPECT_EQ(itemBar.value(), 4) << "the bar counts every table definition, taken or skipped";
    // Only the four letters "MSys", in any case, make a system table.
    engine.files["C.mdb"].tables = {TableDef{"MSYnote", {longField("n")}, {}}, TableDef{"mSySx", {longField("x")}, {}},
                                    TableDef{"Msy", {longField("m")}, {}}};
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "C.mdb", true, "", ""));
    ASSERT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(cell(11, 1), "MSYnote.n");
    EXPECT_EQ(cell(11, 2), "Msy.m");
}

TEST_F(CompareTest, IdenticalDatabasesEmptyTheGridAndKeepThePaths) {
    engine.files["A.mdb"].tables = {customer()};
    engine.files["B.mdb"].tables = {customer()};
    EXPECT_EQ(loadAndCompare(), 0);
    EXPECT_EQ(grid.rowCount(), 0);
    EXPECT_EQ(lastMessage(), "두 DB의 구조가 일치 합니다.");
    EXPECT_EQ(grid.headerText(1, true), "A.mdb");
    EXPECT_EQ(grid.headerText(13, true), "B.mdb");
    EXPECT_EQ(overallBar.value(), 3) << "three passes each add one step";
}

TEST_F(CompareTest, OneSidedFieldsAreDroppedAndNotCounted) {
    TableDef a = customer(), b = customer();
    a.fields.insert(a.fields.begin() + 1, textField("onlyA"));
    b.fields.push_back(textField("onlyB"));
    engine.files["A.mdb"].tables = {a, TableDef{"extra", {longField("e")}, {}}};
    engine.files["B.mdb"].tables = {b};
    EXPECT_EQ(loadAndCompare(), 0);
    EXPECT_EQ(lastMessage(), "두 DB의 구조가 일치 합니다.");
}

TEST_F(CompareTest, IndexOnOneSideMarksOneRowAndColoursBothCells) {
    TableDef a = customer(), b = customer();
    a.indexes.push_back(plainIndex("idx_name", {"name"}));
    engine.files["A.mdb"].tables = {a};
    engine.files["B.mdb"].tables = {b};
    EXPECT_EQ(loadAndCompare(), 1);
    EXPECT_EQ(lastMessage(), "1건의 다른곳이 발견 되었습니다.");
    ASSERT_EQ(markedRows(), std::vector<int>{2});
    EXPECT_EQ(visibleRows(), std::vector<int>{2});
    EXPECT_EQ(grid.backColor(4, 2).value_or(0), Color{0x000000FF});
    EXPECT_EQ(grid.backColor(16, 2).value_or(0), Color{0x000000FF});
    EXPECT_FALSE(grid.backColor(5, 2).has_value()) << "agreeing cells keep their colour";
    EXPECT_EQ(grid.activeRow(), 2);
    EXPECT_EQ(grid.activeColumn(), 12);
}

TEST_F(CompareTest, LetterCaseOfNamesIsIgnored) {
    TableDef b = customer();
    b.name = "CUSTOMER";
    b.fields[1].name = "NAME";
    engine.files["A.mdb"].tables = {customer()};
    engine.files["B.mdb"].tables = {b};
    EXPECT_EQ(loadAndCompare(), 0);
}

TEST_F(CompareTest, SwappedFieldsShiftOneSideAndCountOnce) {
    engine.files["A.mdb"].tables = {TableDef{"T", {longField("x"), longField("y")}, {}}};
    engine.files["B.mdb"].tables = {TableDef{"T", {longField("y"), longField("x")}, {}}};
    EXPECT_EQ(loadAndCompare(), 1);
    EXPECT_EQ(markedRows(), std::vector<int>{1});
    EXPECT_EQ(cell(17, 1), "y");
    EXPECT_EQ(cell(5, 1), "") << "A's cells of the shifted row are empty";
    EXPECT_EQ(grid.backColor(17, 1).value_or(0), Color{0x00FFC0C0});
    EXPECT_EQ(cell(5, 2), "x");
    EXPECT_EQ(cell(17, 2), "x");
    EXPECT_EQ(cell(5, 3), "y") << "A's y is pushed below the examined rows";
    EXPECT_TRUE(grid.rowHidden(2));
    EXPECT_TRUE(grid.rowHidden(3));
}

TEST_F(CompareTest, ShiftOfSideBColoursAsFieldNames) {
    // B's row 1 (y) meets A's row 2 before A's row 1 (x) meets any B row.
    engine.files["A.mdb"].tables = {TableDef{"T", {longField("x"), longField("y"), longField("z")}, {}}};
    engine.files["B.mdb"].tables = {TableDef{"T", {longField("y"), longField("z"), longField("x")}, {}}};
    EXPECT_EQ(loadAndCompare(), 1);
    EXPECT_EQ(markedRows(), std::vector<int>{1});
    EXPECT_EQ(cell(5, 1), "x");
    EXPECT_EQ(cell(17, 1), "");
    EXPECT_EQ(grid.backColor(5, 1).value_or(0), Color{0x00FFC0C0});
    EXPECT_EQ(cell(17, 2), "y");
    EXPECT_EQ(cell(17, 3), "z");
}

// The pale blue of a shift covers exactly the rows that were opened up (the
// examined row to the one before the match), in the column of the side that
// faces them; nothing else is coloured.
TEST_F(CompareTest, AShiftOfTwoRowsColoursTwoCellsOnEitherSide) {
    const std::string blue = std::to_string(0xFFC0C0);
    // A's a is found two rows down in B: A's block moves down two rows.
    engine.files["A.mdb"].tables = {TableDef{"T", {longField("a"), longField("b"), longField("c")}, {}}};
    engine.files["B.mdb"].tables = {TableDef{"T", {longField("c"), longField("b"), longField("a")}, {}}};
    EXPECT_EQ(loadAndCompare(), 2);
    EXPECT_EQ(markedRows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(colouredCells(), (std::vector<std::string>{"17,1=" + blue, "17,2=" + blue}));
    EXPECT_EQ(cell(5, 3), "a");
    EXPECT_EQ(cell(17, 3), "a");

    // B's c is found two rows down in A: B's block moves down two rows.
    grid.setRowCount(0);
    engine.files["A.mdb"].tables = {TableDef{"T", {longField("a"), longField("b"), longField("c"), longField("d")}, {}}};
    engine.files["B.mdb"].tables = {TableDef{"T", {longField("c"), longField("d"), longField("b"), longField("a")}, {}}};
    EXPECT_EQ(loadAndCompare(), 2);
    EXPECT_EQ(markedRows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(colouredCells(), (std::vector<std::string>{"5,1=" + blue, "5,2=" + blue}));
    EXPECT_EQ(cell(5, 3), "c");
    EXPECT_EQ(cell(17, 3), "c");
}

// Names that differ only in letter case are the same field, so the row is
// marked for its differing index mark; but its keys are not equal as text,
// and only rows whose keys are equal as text get red cells: no cell of the
// row, nor of any other, is coloured.
TEST_F(CompareTest, NamesInAnotherCaseWithADifferingMarkAreMarkedButNotColoured) {
    TableDef a = customer(), b = customer();
    a.indexes.push_back(plainIndex("idx_name", {"name"}));
    b.name = "CUSTOMER";
    for (auto& f : b.fields) f.name = f.name == "name" ? "Name" : f.name;
    engine.files["A.mdb"].tables = {a};
    engine.files["B.mdb"].tables = {b};
    EXPECT_EQ(loadAndCompare(), 1);
    ASSERT_EQ(markedRows(), std::vector<int>{2});
    EXPECT_EQ(cell(4, 2), "v");
    EXPECT_EQ(cell(16, 2), "");
    EXPECT_EQ(cell(17, 2), "Name");
    EXPECT_EQ(colouredCells(), std::vector<std::string>{});
    EXPECT_EQ(grid.rowCount(), 3) << "no shift";
}

TEST_F(CompareTest, NoSharedFieldsGivesNoDifferenceAndValidBars) {
    engine.files["A.mdb"].tables = {TableDef{"a", {longField("x")}, {}}};
    engine.files["B.mdb"].tables = {TableDef{"b", {longField("y")}, {}}};
    EXPECT_EQ(loadAndCompare(), 0);
    EXPECT_EQ(lastMessage(), "두 DB의 구조가 일치 합니다.");
    EXPECT_GE(itemBar.maximum(), 1);
    EXPECT_LE(itemBar.value(), itemBar.maximum());
}

TEST_F(CompareTest, OpenFailureShowsTheMyOpenDbFrame) {
    engine.files["A.mdb"].password = "secret";
    EXPECT_FALSE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, kProductPassword, ""));
    EXPECT_EQ(lastMessage(), "Error 3031 (Not a valid password.) in procedure MyOpenDB of Module modCmpDB");
    EXPECT_FALSE(modCmpDB::LoadDBStruct(wb, "missing.mdb", true, kProductPassword, ""));
    EXPECT_EQ(lastMessage(),
              "Error 3024 (Could not find file 'missing.mdb'.) in procedure MyOpenDB of Module modCmpDB");
}

TEST_F(CompareTest, ReadFailureAfterOpenIsReportedAndTheDatabaseClosed) {
    engine.files["A.mdb"].failOnRead = true;
    EXPECT_FALSE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, kProductPassword, ""));
    EXPECT_NE(lastMessage().find("in procedure MyOpenDB of Module modCmpDB"), std::string::npos);
    EXPECT_EQ(engine.opens, 1);
    EXPECT_EQ(engine.closes, 1);
}

TEST_F(CompareTest, NavigationStepsThroughMarksAndStopsAtBothEnds) {
    TableDef a = customer(), b = customer();
    a.indexes.push_back(plainIndex("i1", {"code"}));
    a.indexes.push_back(plainIndex("i2", {"gcode"}));
    engine.files["A.mdb"].tables = {a};
    engine.files["B.mdb"].tables = {b};
    ASSERT_EQ(loadAndCompare(), 2);
    ASSERT_EQ(markedRows(), (std::vector<int>{1, 3}));
    EXPECT_EQ(grid.activeRow(), 1);
    dialogs.shown.clear();

    grid.setActiveCell(3, 1);
    modCmpDB::cmdMove_Click(wb, 0);
    EXPECT_EQ(grid.activeRow(), 3) << "next skips the active row itself";
    EXPECT_EQ(grid.activeColumn(), 12);
    modCmpDB::cmdMove_Click(wb, 0);
    EXPECT_EQ(grid.activeRow(), 3);
    EXPECT_EQ(lastMessage(), "더이상 비교결과에서 다른곳을 찾을 수 없습니다.");
    modCmpDB::cmdMove_Click(wb, 1);
    EXPECT_EQ(grid.activeRow(), 1);
    dialogs.shown.clear();
    modCmpDB::cmdMove_Click(wb, 1);
    EXPECT_EQ(dialogs.shown.size(), 1u) << "previous from row 1 reports at once";
    EXPECT_EQ(grid.activeRow(), 1);
}

TEST_F(CompareTest, NavigationOnAnEmptyGridReports) {
    modCmpDB::cmdMove_Click(wb, 0);
    modCmpDB::cmdMove_Click(wb, 1);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    for (const auto& m : dialogs.shown) EXPECT_EQ(m.text, "더이상 비교결과에서 다른곳을 찾을 수 없습니다.");
}

TEST_F(CompareTest, GetCellTextResolvesTheActiveCell) {
    grid.setRowCount(2);
    grid.setText(5, 2, "field");
    grid.setActiveCell(5, 2);
    EXPECT_EQ(modCmpDB::GetCellText(grid, -2, -2), "field");
    EXPECT_EQ(modCmpDB::GetCellText(grid, 5, 99), "");
}

TEST_F(CompareTest, RunValidatesBoxAFirst) {
    EXPECT_FALSE(RunComparison(wb, {"", "", ""}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "DataBase 파일을 선택하세요.");
    EXPECT_EQ(window.focusedBox, 0);

    dialogs.shown.clear();
    EXPECT_FALSE(RunComparison(wb, {"   ", "x", ""}));
    EXPECT_EQ(dialogs.shown.at(0).text, "파일을 찾을 수 없습니다.\r\n\r\n   ") << "blanks are used as typed";
    EXPECT_EQ(window.focusedBox, 0);
}

TEST_F(CompareTest, RunWithoutProductLoadsTheFilesThemselves) {
    const auto dir = dex::test::makeUniqueFolder("dexmira_run_test");
    std::filesystem::create_directories(dir);
    const std::string a = (dir / "a.mdb").string(), b = (dir / "b.mdb").string();
    std::ofstream(a) << "x";
    std::ofstream(b) << "y";
    TableDef tb = customer();
    tb.indexes.clear();
    engine.files[a].tables = {customer()};
    engine.files[b].tables = {tb};

    EXPECT_FALSE(RunComparison(wb, {a, (dir / "none.mdb").string(), ""}));
    EXPECT_EQ(window.focusedBox, 1);

    dialogs.shown.clear();
    EXPECT_TRUE(RunComparison(wb, {a, b, ""}));
    EXPECT_EQ(lastMessage(), "2건의 다른곳이 발견 되었습니다.");
    EXPECT_EQ(window.noticeShowCount, 0);
    EXPECT_FALSE(window.busy);
    EXPECT_FALSE(itemBar.visible());
    EXPECT_FALSE(overallBar.visible());
    EXPECT_EQ(overallBar.value(), 5);
    EXPECT_FALSE(grid.paintingSuspended());
    std::filesystem::remove_all(dir);
}
