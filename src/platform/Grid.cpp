#include "Grid.h"

#include <algorithm>
#include <stdexcept>

namespace dex {

void Grid::setColumnCount(int n) {
    n = std::max(0, n);
    columns_.resize(static_cast<size_t>(n));
    for (auto& r : rows_) r.resize(static_cast<size_t>(n));
    if (auto* o = live()) o->gridReset();
}

Grid::Column& Grid::column(int col) {
    if (col < 1 || col > columnCount()) throw std::out_of_range("grid column");
    return columns_[static_cast<size_t>(col - 1)];
}

const Grid::Column& Grid::column(int col) const {
    if (col < 1 || col > columnCount()) throw std::out_of_range("grid column");
    return columns_[static_cast<size_t>(col - 1)];
}

void Grid::setColumnWidth(int col, double width) {
    column(col).width = width;
    if (auto* o = live()) o->headerChanged();
}

void Grid::setHeaderText(int col, bool upper, const std::string& text) {
    auto& c = column(col);
    (upper ? c.upperHeader : c.lowerHeader) = text;
    if (auto* o = live()) o->headerChanged();
}

const std::string& Grid::headerText(int col, bool upper) const {
    const auto& c = column(col);
    return upper ? c.upperHeader : c.lowerHeader;
}

void Grid::joinHeader(int first, int last) {
    if (first > last) std::swap(first, last);
    joins_.erase(std::remove_if(joins_.begin(), joins_.end(),
                                [&](const HeaderJoin& j) { return j.first <= last && first <= j.last; }),
                 joins_.end());
    joins_.push_back({first, last});
    if (auto* o = live()) o->headerChanged();
}

std::optional<Grid::HeaderJoin> Grid::joinOf(int col) const {
    for (const auto& j : joins_)
        if (col >= j.first && col <= j.last) return j;
    return std::nullopt;
}

void Grid::setRowCount(int n) {
    n = std::max(0, n);
    rows_.resize(static_cast<size_t>(n), std::vector<Cell>(columns_.size()));
    hidden_.resize(static_cast<size_t>(n), false);
    if (activeRow_ > std::max(1, n)) activeRow_ = std::max(1, n);
    if (auto* o = live()) o->gridReset();
}

int Grid::dataRowCount() const {
    for (int r = rowCount(); r >= 1; --r)
        for (const auto& c : rows_[static_cast<size_t>(r - 1)])
            if (!c.text.empty()) return r;
    return 0;
}

Grid::Cell* Grid::cellAt(int col, int row) {
    if (row < 1 || row > rowCount() || col < 1 || col > columnCount()) return nullptr;
    return &rows_[static_cast<size_t>(row - 1)][static_cast<size_t>(col - 1)];
}

const Grid::Cell* Grid::cellAt(int col, int row) const {
    if (row < 1 || row > rowCount() || col < 1 || col > columnCount()) return nullptr;
    return &rows_[static_cast<size_t>(row - 1)][static_cast<size_t>(col - 1)];
}

void Grid::setText(int col, int row, const std::string& text) {
    Cell* c = cellAt(col, row);
    if (!c) throw std::out_of_range("grid cell");
    c->text = text;
    if (auto* o = live()) o->cellsChanged(col, row, col, row);
}

std::optional<std::string> Grid::text(int col, int row) const {
    const Cell* c = cellAt(col, row);
    if (!c || c->text.empty()) return std::nullopt;
    return c->text;
}

std::optional<Color> Grid::backColor(int col, int row) const {
    const Cell* c = cellAt(col, row);
    return c ? c->back : std::nullopt;
}

int Grid::searchColumn(int col, int afterRow, int lastRow, const std::string& text) const {
    if (col < 1 || col > columnCount()) return -1;
    lastRow = std::min(lastRow, rowCount());
    for (int r = std::max(1, afterRow + 1); r <= lastRow; ++r)
        if (equalsNoCase(rows_[static_cast<size_t>(r - 1)][static_cast<size_t>(col - 1)].text, text))
            return r;
    return -1;
}

void Grid::clampRange(int& c1, int& r1, int& c2, int& r2) const {
    if (c1 > c2) std::swap(c1, c2);
    if (r1 > r2) std::swap(r1, r2);
    c1 = std::max(c1, 1);
    r1 = std::max(r1, 1);
    c2 = std::min(c2, columnCount());
    r2 = std::min(r2, rowCount());
}

void Grid::moveBlock(int c1, int r1, int c2, int r2, int toRow) {
    clampRange(c1, r1, c2, r2);
    if (c1 > c2 || r1 > r2 || toRow == r1) return;
    const int height = r2 - r1 + 1;
    // Take the block out, then write it at its destination; rows beyond the
    // grid's end are dropped, as the grid has no cells there.
    std::vector<std::vector<Cell>> block(static_cast<size_t>(height));
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) {
            Cell* cell = cellAt(c, r);
            block[static_cast<size_t>(r - r1)].push_back(std::move(*cell));
            *cell = Cell{};
        }
    for (int i = 0; i < height; ++i) {
        const int r = toRow + i;
        if (r < 1 || r > rowCount()) continue;
        for (int c = c1; c <= c2; ++c)
            *cellAt(c, r) = std::move(block[static_cast<size_t>(i)][static_cast<size_t>(c - c1)]);
    }
    if (auto* o = live())
        o->cellsChanged(c1, std::min(r1, toRow), c2, std::min(rowCount(), std::max(r2, toRow + height - 1)));
}

void Grid::clearBlock(int c1, int r1, int c2, int r2) {
    clampRange(c1, r1, c2, r2);
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) *cellAt(c, r) = Cell{};
    if (c1 <= c2 && r1 <= r2)
        if (auto* o = live()) o->cellsChanged(c1, r1, c2, r2);
}

void Grid::setBackColor(int c1, int r1, int c2, int r2, Color color) {
    clampRange(c1, r1, c2, r2);
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) cellAt(c, r)->back = color;
    if (c1 <= c2 && r1 <= r2)
        if (auto* o = live()) o->cellsChanged(c1, r1, c2, r2);
}

std::vector<std::vector<Grid::Cell>> Grid::takeRows() {
    std::vector<std::vector<Cell>> rows = std::move(rows_);
    rows_.clear();
    hidden_.clear();
    activeRow_ = 1;
    if (auto* o = live()) o->gridReset();
    return rows;
}

void Grid::replaceRows(std::vector<std::vector<Cell>> rows, std::vector<bool> hidden) {
    rows_ = std::move(rows);
    for (auto& r : rows_) r.resize(columns_.size());
    hidden_ = std::move(hidden);
    hidden_.resize(rows_.size(), false);
    if (activeRow_ > std::max(1, rowCount())) activeRow_ = std::max(1, rowCount());
    if (auto* o = live()) o->gridReset();
}

void Grid::setRowHidden(int row, bool hidden) {
    if (row < 1 || row > rowCount()) return;
    hidden_[static_cast<size_t>(row - 1)] = hidden;
    if (auto* o = live()) o->rowHiddenChanged(row, hidden);
}

bool Grid::rowHidden(int row) const {
    if (row < 1 || row > rowCount()) return false;
    return hidden_[static_cast<size_t>(row - 1)];
}

void Grid::setActiveCell(int col, int row) {
    activeCol_ = std::max(1, col);
    activeRow_ = std::max(1, row);
    if (auto* o = live()) o->activeCellChanged(activeCol_, activeRow_);
}

void Grid::suspendPainting() { ++suspend_; }

void Grid::publish() {
    if (!observer_) return;
    observer_->headerChanged();
    observer_->gridReset();
    observer_->activeCellChanged(activeCol_, activeRow_);
}

void Grid::resumePainting() {
    if (suspend_ == 0) return;
    if (--suspend_ == 0 && observer_) {
        observer_->headerChanged();
        observer_->gridReset();
        observer_->activeCellChanged(activeCol_, activeRow_);
    }
}

void Grid::requestFocus() {
    if (observer_) observer_->focusRequested();
}

}  // namespace dex
