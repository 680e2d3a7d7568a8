#include "GridView.h"

#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

#include "GridHeaderView.h"
#include "GridTableModel.h"

namespace dex {

namespace {

// Draws a merged column's cell without its text when the nearest visible row
// above holds the same text.
class MergeDelegate : public QStyledItemDelegate {
public:
    explicit MergeDelegate(GridView* view) : QStyledItemDelegate(view), view_(view) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!view_->mergeRepeats(index.column()) || option->text.isEmpty()) return;
        for (int r = index.row() - 1; r >= 0; --r) {
            if (view_->isRowHidden(r)) continue;
            if (index.model()->index(r, index.column()).data().toString() == option->text) option->text.clear();
            return;
        }
    }

private:
    GridView* view_;
};

}  // namespace

GridView::GridView(Grid& grid, QWidget* parent)
    : QTableView(parent), model_(new GridTableModel(grid, this)), header_(new GridHeaderView(this)) {
    setHorizontalHeader(header_);
    setModel(model_);
    setItemDelegate(new MergeDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // Tab leaves the grid for the next control, as in every other control.
    setTabKeyNavigation(false);
    // Text wider than its cell is cut at the cell's edge, not shortened with "...".
    setTextElideMode(Qt::ElideNone);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    // Narrow columns ("P", "F", "I") keep the width their units give.
    header_->setMinimumSectionSize(std::max(1, fontMetrics().averageCharWidth()));

    connect(model_, &GridTableModel::columnsChanged, this, &GridView::applyColumns);
    connect(model_, &GridTableModel::layoutReset, this, &GridView::applyHiddenRows);
    connect(model_, &GridTableModel::rowHiddenSet, this, [this](int row, bool hidden) { setRowHidden(row, hidden); });
    connect(model_, &GridTableModel::activeCellMoved, this, &GridView::followActiveCell);
    connect(model_, &GridTableModel::focusWanted, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, header_->viewport(), [this] { header_->viewport()->update(); });
    applyColumns();
    applyHiddenRows();
}

Grid& GridView::grid() const { return model_->grid(); }

int GridView::charUnitsToPixels(double units) const {
    // One unit is a character of the grid's font as the grid's texts use
    // them: no narrower than a digit, nor than the average letter or digit
    // (a font's average character counts narrow punctuation too, and then
    // "Integer", "Double", "Size" and three-digit sizes are cut); plus the
    // margins on both sides of a cell.
    static const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    const QFontMetrics fm = fontMetrics();
    const int letters = (fm.horizontalAdvance(sample) + static_cast<int>(sample.size()) - 1) / static_cast<int>(sample.size());
    const int unit = std::max({fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0')), letters});
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    return static_cast<int>(std::lround(units * unit)) + margin;
}

void GridView::setMergeRepeats(int column, bool merge) {
    if (merge)
        mergedColumns_.insert(column);
    else
        mergedColumns_.remove(column);
    viewport()->update();
}

void GridView::applyColumns() {
    const Grid& g = grid();
    for (int c = 1; c <= g.columnCount() && c <= model_->columnCount(); ++c) {
        const auto& column = g.column(c);
        setColumnHidden(c - 1, column.hidden);
        if (!column.hidden) setColumnWidth(c - 1, charUnitsToPixels(column.width));
    }
    header_->viewport()->update();
}

void GridView::applyHiddenRows() {
    const Grid& g = grid();
    // Each row hidden while updates are on makes the header work out every
    // section's position again, so that hiding a long result row by row took
    // time growing with the square of the rows; with updates off it is one
    // pass, and one repaint follows.
    const bool updating = updatesEnabled();
    if (updating) setUpdatesEnabled(false);
    for (int r = 0; r < model_->rowCount(); ++r) setRowHidden(r, g.rowHidden(r + 1));
    if (updating) setUpdatesEnabled(true);
    followActiveCell(g.activeRow() - 1, g.activeColumn() - 1);
}

void GridView::followActiveCell(int row, int column) {
    const QModelIndex index = model_->index(row, column);
    if (!index.isValid()) return;
    following_ = true;
    setCurrentIndex(index);
    following_ = false;
    scrollTo(index);
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid()) return;
    Grid& g = grid();
    if (g.activeColumn() != current.column() + 1 || g.activeRow() != current.row() + 1)
        g.setActiveCell(current.column() + 1, current.row() + 1);
}

}  // namespace dex
