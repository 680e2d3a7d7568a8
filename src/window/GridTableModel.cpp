#include "GridTableModel.h"

#include <algorithm>

namespace dex {

GridTableModel::GridTableModel(Grid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.rowCount()), columns_(grid.columnCount()) {
    grid_.setObserver(this);
}

GridTableModel::~GridTableModel() { grid_.setObserver(nullptr); }

QColor GridTableModel::toQColor(Color color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

int GridTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int GridTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int col = index.column() + 1, row = index.row() + 1;
    if (col > grid_.columnCount() || row > grid_.rowCount()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(grid_.text(col, row).value_or(std::string()));
    case Qt::BackgroundRole:
        if (auto back = grid_.backColor(col, row)) return toQColor(*back);
        if (auto back = grid_.column(col).back) return toQColor(*back);
        return {};
    case Qt::ForegroundRole:
        if (auto fore = grid_.column(col).fore) return toQColor(*fore);
        return {};
    case Qt::ToolTipRole:
        if (toolTips_) {
            const std::string tip = toolTips_(col, row);
            if (!tip.empty()) return QString::fromStdString(tip);
        }
        return {};
    default:
        return {};
    }
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || grid_.locked()) return false;
    const int col = index.column() + 1, row = index.row() + 1;
    if (col > grid_.columnCount() || row > grid_.rowCount()) return false;
    grid_.setText(col, row, value.toString().toStdString());
    return true;
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole) return section + 1;
        return {};
    }
    const int col = section + 1;
    if (col < 1 || col > grid_.columnCount()) return {};
    const auto& column = grid_.column(col);
    const auto join = grid_.joinOf(col);
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(column.lowerHeader);
    case UpperHeaderRole:
        return QString::fromStdString(join ? grid_.column(join->first).upperHeader : column.upperHeader);
    case JoinFirstRole: return join ? join->first - 1 : -1;
    case JoinLastRole: return join ? std::min(join->last, grid_.columnCount()) - 1 : -1;
    case WidthRole: return column.width;
    case HiddenRole: return column.hidden;
    default: return {};
    }
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!grid_.locked()) f |= Qt::ItemIsEditable;
    return f;
}

void GridTableModel::gridReset() {
    beginResetModel();
    rows_ = grid_.rowCount();
    columns_ = grid_.columnCount();
    endResetModel();
    emit columnsChanged();
    emit layoutReset();
}

void GridTableModel::cellsChanged(int c1, int r1, int c2, int r2) {
    c1 = std::max(c1, 1);
    r1 = std::max(r1, 1);
    c2 = std::min(c2, columns_);
    r2 = std::min(r2, rows_);
    if (c1 > c2 || r1 > r2) return;
    emit dataChanged(index(r1 - 1, c1 - 1), index(r2 - 1, c2 - 1));
}

void GridTableModel::rowHiddenChanged(int row, bool hidden) {
    if (row >= 1 && row <= rows_) emit rowHiddenSet(row - 1, hidden);
}

void GridTableModel::headerChanged() {
    if (columns_ != grid_.columnCount()) {
        gridReset();
        return;
    }
    if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    emit columnsChanged();
}

void GridTableModel::activeCellChanged(int col, int row) { emit activeCellMoved(row - 1, col - 1); }

void GridTableModel::focusRequested() { emit focusWanted(); }

}  // namespace dex
