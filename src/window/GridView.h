#pragma once
// The comparison grid on screen: a QTableView over GridTableModel with the
// two-row header. It follows the grid's active cell, hidden rows, hidden
// columns, widths and focus requests, and reports the user's own cell
// selection back to the grid as its active cell.
#include <QSet>
#include <QTableView>

#include "Grid.h"

namespace dex {

class GridTableModel;
class GridHeaderView;

class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(Grid& grid, QWidget* parent = nullptr);

    GridTableModel* gridModel() const { return model_; }
    GridHeaderView* gridHeader() const { return header_; }
    Grid& grid() const;

    // Width in pixels of a width given in the grid's character units (the
    // average character width of the grid's font, plus the cell margins).
    int charUnitsToPixels(double units) const;

    // Display setting of a column: a cell repeating the text of the visible
    // row above it is drawn without its text, so that runs of one table name
    // read as one block (model column, from 0).
    void setMergeRepeats(int column, bool merge);
    bool mergeRepeats(int column) const { return mergedColumns_.contains(column); }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void applyColumns();
    void applyHiddenRows();
    void followActiveCell(int row, int column);

    GridTableModel* model_;
    GridHeaderView* header_;
    QSet<int> mergedColumns_;
    bool following_ = false;
};

}  // namespace dex
