#pragma once
// Adapts the plain grid (dex::Grid) to Qt's item views. The grid stays the
// only owner of the data; this model observes it and re-announces its
// changes. Row and column numbers of the grid count from 1, the model's
// from 0.
#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <string>

#include "Grid.h"

namespace dex {

class GridTableModel : public QAbstractTableModel, private GridObserver {
    Q_OBJECT
public:
    // Header roles beyond Qt's own (horizontal headers only).
    enum HeaderRole {
        UpperHeaderRole = Qt::UserRole + 1,  // text of the upper header cell (of its join)
        JoinFirstRole,                       // first section of the join, -1 when none
        JoinLastRole,                        // last section of the join, -1 when none
        WidthRole,                           // width in character units (double)
        HiddenRole,                          // the column is hidden (bool)
    };

    explicit GridTableModel(Grid& grid, QObject* parent = nullptr);
    ~GridTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Grid& grid() { return grid_; }
    const Grid& grid() const { return grid_; }

    // &H00BBGGRR to a QColor.
    static QColor toQColor(Color color);

    // Where cells' tool tips come from: the text for a grid column and row
    // (from 1), "" for none. None set: no tool tips.
    using ToolTipSource = std::function<std::string(int column, int row)>;
    void setToolTipSource(ToolTipSource source) { toolTips_ = std::move(source); }

signals:
    void rowHiddenSet(int row, bool hidden);      // model row
    void columnsChanged();                        // widths or hidden columns
    void activeCellMoved(int row, int column);    // model row and column
    void focusWanted();
    void layoutReset();                           // after a reset: re-apply hidden rows

private:
    void gridReset() override;
    void cellsChanged(int c1, int r1, int c2, int r2) override;
    void rowHiddenChanged(int row, bool hidden) override;
    void headerChanged() override;
    void activeCellChanged(int col, int row) override;
    void focusRequested() override;

    Grid& grid_;
    ToolTipSource toolTips_;
    // Sizes as last announced to the views; while the grid's painting is
    // suspended the grid may already hold more or fewer rows.
    int rows_ = 0, columns_ = 0;
};

}  // namespace dex
