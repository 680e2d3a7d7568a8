#include <gtest/gtest.h>

#include "Grid.h"

using dex::Grid;

namespace {

Grid makeGrid(int rows) {
    Grid g;
    g.setColumnCount(23);
    g.setRowCount(rows);
    return g;
}

struct CountingObserver : dex::GridObserver {
    int resets = 0, cells = 0, focus = 0;
    void gridReset() override { ++resets; }
    void cellsChanged(int, int, int, int) override { ++cells; }
    void focusRequested() override { ++focus; }
};

}  // namespace

TEST(Grid, RowCountAndDataRowCount) {
    Grid g = makeGrid(5);
    EXPECT_EQ(g.dataRowCount(), 0);
    g.setText(7, 3, "x");
    EXPECT_EQ(g.dataRowCount(), 3);
    g.setText(1, 4, "y");
    EXPECT_EQ(g.dataRowCount(), 4);
    g.setRowCount(0);
    EXPECT_EQ(g.rowCount(), 0);
    g.setRowCount(4);
    EXPECT_FALSE(g.text(7, 3).has_value()) << "setting 0 must remove the data rows";
}

TEST(Grid, SearchColumnIgnoresCaseAndHonoursBounds) {
    Grid g = makeGrid(6);
    g.setText(5, 2, "Code");
    g.setText(5, 5, "CODE");
    EXPECT_EQ(g.searchColumn(5, 0, 6, "code"), 2);
    EXPECT_EQ(g.searchColumn(5, 2, 6, "code"), 5) << "search starts below the given row";
    EXPECT_EQ(g.searchColumn(5, 2, 4, "code"), -1) << "search stops at the last row";
    EXPECT_EQ(g.searchColumn(5, 0, 6, "cod"), -1) << "whole-cell match only";
    EXPECT_EQ(g.searchColumn(5, 0, 100, "code"), 2) << "a last row past the end is clamped";
}

TEST(Grid, MoveBlockUpLeavesEmptyCellsAndCarriesColours) {
    Grid g = makeGrid(4);
    for (int r = 1; r <= 4; ++r) {
        g.setText(1, r, "a" + std::to_string(r));
        g.setText(13, r, "b" + std::to_string(r));
    }
    g.setBackColor(1, 3, 1, 3, 0xFF);
    g.moveBlock(1, 3, 11, 4, 2);
    EXPECT_EQ(g.text(1, 1).value_or(""), "a1");
    EXPECT_EQ(g.text(1, 2).value_or(""), "a3");
    EXPECT_EQ(g.text(1, 3).value_or(""), "a4");
    EXPECT_FALSE(g.text(1, 4).has_value());
    EXPECT_EQ(g.backColor(1, 2).value_or(0), 0xFFu);
    EXPECT_FALSE(g.backColor(1, 3).has_value());
    EXPECT_EQ(g.text(13, 4).value_or(""), "b4") << "columns outside the block stay put";
}

TEST(Grid, MoveBlockDownReplacesDestination) {
    Grid g = makeGrid(5);
    for (int r = 1; r <= 5; ++r) g.setText(2, r, std::to_string(r));
    g.moveBlock(1, 1, 11, 2, 4);
    EXPECT_FALSE(g.text(2, 1).has_value());
    EXPECT_FALSE(g.text(2, 2).has_value());
    EXPECT_EQ(g.text(2, 3).value_or(""), "3");
    EXPECT_EQ(g.text(2, 4).value_or(""), "1");
    EXPECT_EQ(g.text(2, 5).value_or(""), "2");
}

TEST(Grid, ClearBlockRemovesFormatting) {
    Grid g = makeGrid(2);
    g.setText(3, 1, "v");
    g.setBackColor(3, 1, 3, 1, 0x1234);
    g.clearBlock(1, 1, 11, 1);
    EXPECT_FALSE(g.text(3, 1).has_value());
    EXPECT_FALSE(g.backColor(3, 1).has_value());
}

TEST(Grid, HiddenRowsKeepTheirData) {
    Grid g = makeGrid(3);
    g.setText(1, 2, "t");
    g.setRowHidden(2, true);
    EXPECT_TRUE(g.rowHidden(2));
    EXPECT_EQ(g.text(1, 2).value_or(""), "t");
    EXPECT_FALSE(g.rowHidden(3));
}

TEST(Grid, SuspendedPaintingCollapsesNotifications) {
    Grid g = makeGrid(2);
    CountingObserver o;
    g.setObserver(&o);
    g.suspendPainting();
    g.setText(1, 1, "x");
    g.setRowCount(10);
    EXPECT_EQ(o.resets + o.cells, 0);
    g.resumePainting();
    EXPECT_EQ(o.resets, 1);
    g.setText(1, 2, "y");
    EXPECT_EQ(o.cells, 1);
    g.requestFocus();
    EXPECT_EQ(o.focus, 1);
}

TEST(Grid, HeaderJoins) {
    Grid g = makeGrid(0);
    g.joinHeader(1, 11);
    g.joinHeader(13, 23);
    ASSERT_TRUE(g.joinOf(5).has_value());
    EXPECT_EQ(g.joinOf(5)->first, 1);
    EXPECT_EQ(g.joinOf(20)->last, 23);
    EXPECT_FALSE(g.joinOf(12).has_value());
}

TEST(Grid, UpperTextLeavesKoreanAlone) {
    EXPECT_EQ(dex::upperText("abc_테이블"), "ABC_테이블");
    EXPECT_TRUE(dex::equalsNoCase("Sale.Code", "SALE.code"));
    EXPECT_FALSE(dex::equalsNoCase("sale", "sales"));
}
