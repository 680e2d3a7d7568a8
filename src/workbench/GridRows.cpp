// The rows of a comparison's grid as plain values (what the command line,
// the reports, the survey and the details read instead of grid cells).
#include "Report.h"

#include "modCmpDB.h"

namespace dex::report {

using namespace gridlayout;

const std::string& GridRow::at(int column) const {
    static const std::string none;
    const size_t i = CellIndex(column);
    return column >= 1 && i < cells.size() ? cells[i] : none;
}

std::optional<Color> GridRow::colorAt(int column) const {
    const size_t i = CellIndex(column);
    return column >= 1 && i < colors.size() ? colors[i] : std::nullopt;
}

GridRow TakeGridRow(const Grid& grid, int r) {
    GridRow row;
    row.row = r;
    row.hidden = grid.rowHidden(r);
    for (int c = FirstColumn(Side::A); c <= LastColumn(Side::B); ++c) {
        row.cells.push_back(modCmpDB::GetCellText(grid, c, r));
        row.colors.push_back(grid.backColor(c, r));
    }
    return row;
}

std::vector<GridRow> TakeGridRows(const Grid& grid) {
    std::vector<GridRow> rows;
    for (int r = 1; r <= grid.rowCount(); ++r) rows.push_back(TakeGridRow(grid, r));
    return rows;
}

int64_t CountMarked(const std::vector<GridRow>& rows) {
    int64_t count = 0;
    for (const auto& r : rows)
        if (r.marked()) ++count;
    return count;
}

std::string GridPath(const Grid& grid, Side side) {
    const int column = FirstColumn(side);
    return grid.columnCount() >= column ? grid.headerText(column, true) : "";
}

}  // namespace dex::report
