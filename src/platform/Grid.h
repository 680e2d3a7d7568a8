#pragma once
// The comparison grid as plain data: cells with text and colours, two header
// rows, hidden rows, locked cells and an active cell. Rows and columns count
// from 1. A view (the Qt model) observes it; nothing here knows about Qt.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "NameText.h"

namespace dex {

using Color = uint32_t;  // &H00BBGGRR

class GridObserver {
public:
    virtual ~GridObserver() = default;
    virtual void gridReset() {}                                      // row/column count or bulk change
    virtual void cellsChanged(int /*c1*/, int /*r1*/, int /*c2*/, int /*r2*/) {}
    virtual void rowHiddenChanged(int /*row*/, bool /*hidden*/) {}
    virtual void headerChanged() {}
    virtual void activeCellChanged(int /*col*/, int /*row*/) {}
    virtual void focusRequested() {}
};

class Grid {
public:
    struct Cell {
        std::string text;
        std::optional<Color> back;
    };
    struct Column {
        double width = 8;  // character units
        std::string upperHeader, lowerHeader;
        std::optional<Color> back, fore;
        bool hidden = false;
    };
    struct HeaderJoin {
        int first, last;
    };

    Grid() = default;

    // Layout
    void setColumnCount(int n);
    int columnCount() const { return static_cast<int>(columns_.size()); }
    Column& column(int col);
    const Column& column(int col) const;
    void setColumnWidth(int col, double width);
    void setHeaderText(int col, bool upper, const std::string& text);
    const std::string& headerText(int col, bool upper) const;
    // Joins the upper header cells first..last into one cell whose text is
    // that of the first column.
    void joinHeader(int first, int last);
    const std::vector<HeaderJoin>& headerJoins() const { return joins_; }
    // The join that holds col, or nullopt.
    std::optional<HeaderJoin> joinOf(int col) const;
    void setLocked(bool locked) { locked_ = locked; }
    bool locked() const { return locked_; }

    // Rows
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Setting 0 removes all data rows; raising adds empty rows; lowering drops
    // the rows below.
    void setRowCount(int n);
    // The number of the last row holding text in any column (0 when none).
    int dataRowCount() const;

    // Cells
    void setText(int col, int row, const std::string& text);
    // Text of a cell; nullopt when the cell has none (or lies outside the grid).
    std::optional<std::string> text(int col, int row) const;
    std::optional<Color> backColor(int col, int row) const;
    // First row after afterRow, up to lastRow, whose text in col equals text
    // as a whole with letter case ignored; -1 when none.
    int searchColumn(int col, int afterRow, int lastRow, const std::string& text) const;
    // Moves the block so that its first row lands on toRow, same columns.
    // Cells left behind become empty; cells at the destination are replaced.
    void moveBlock(int c1, int r1, int c2, int r2, int toRow);
    void clearBlock(int c1, int r1, int c2, int r2);
    void setBackColor(int c1, int r1, int c2, int r2, Color color);

    // Bulk access for passes that rework every row: takeRows hands over all
    // rows (rows[r-1][c-1] is the cell at column c, row r) and leaves the
    // grid without rows; replaceRows puts rows back at once, each padded or
    // cut to the column count, with the given hidden flags (missing flags:
    // shown). Observers hear one reset.
    std::vector<std::vector<Cell>> takeRows();
    void replaceRows(std::vector<std::vector<Cell>> rows, std::vector<bool> hidden);

    void setRowHidden(int row, bool hidden);
    bool rowHidden(int row) const;

    // Active cell
    void setActiveCell(int col, int row);
    int activeColumn() const { return activeCol_; }
    int activeRow() const { return activeRow_; }

    // Painting: while suspended, observers hear nothing; resuming sends one reset.
    void suspendPainting();
    void resumePainting();
    bool paintingSuspended() const { return suspend_ > 0; }
    // Tells the observer the grid as it is now, as resuming would, while
    // painting stays suspended (a message box is about to be shown over it).
    void publish();

    void requestFocus();

    void setObserver(GridObserver* observer) { observer_ = observer; }

private:
    Cell* cellAt(int col, int row);
    const Cell* cellAt(int col, int row) const;
    void clampRange(int& c1, int& r1, int& c2, int& r2) const;
    GridObserver* live() const { return suspend_ > 0 ? nullptr : observer_; }

    std::vector<Column> columns_;
    std::vector<std::vector<Cell>> rows_;
    std::vector<bool> hidden_;
    std::vector<HeaderJoin> joins_;
    bool locked_ = false;
    int activeCol_ = 1, activeRow_ = 1;
    int suspend_ = 0;
    GridObserver* observer_ = nullptr;
};

}  // namespace dex
