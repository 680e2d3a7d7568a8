// The comparison passes as they first were: rows moved one grid block at a
// time, with a cost that grows with the square of the rows. Kept as the
// reference the linear passes must match cell for cell.
#include "ReferencePasses.h"

#include <unordered_set>

#include "modCmpDB.h"

namespace dex::reference {

using modCmpDB::GetCellText;

// The grid's layout and colours, written out as the reference has them.
constexpr int kBaseA = 0, kBaseB = 12, kMarkColumn = 12;
constexpr Color kRed = 0x000000FF, kPaleBlue = 0x00FFC0C0, kPaleYellow = 0x0080FFFF;

namespace {

constexpr int kKeyA = 11, kKeyB = 23;

// Removes the rows of one side whose key the other side lacks.
// keyCol/otherKeyCol: 11/23 for A, 23/11 for B; first/last: the side's block.
// Only this side's block moves during the pass, so the other side's keys
// (rows 1 to n, letter case ignored) are gathered once instead of searching
// the column for every row.
void dropOneSided(Workbench& wb, int n, int keyCol, int otherKeyCol, int first, int last) {
    Grid& grid = wb.grid;
    std::unordered_set<std::string> otherKeys;
    for (int r = 1; r <= n; ++r) otherKeys.insert(upperText(GetCellText(grid, otherKeyCol, r)));
    wb.itemBar.setMaximum(n);
    wb.itemBar.setValue(0);
    int i = 1;
    while (i <= n) {
        const std::string key = GetCellText(grid, keyCol, i);
        if (key.empty()) break;
        const bool found = otherKeys.count(upperText(key)) > 0;
        if (!found && i < n) {
            grid.moveBlock(first, i + 1, last, n, i);  // row i is examined again
        } else if (!found) {
            grid.clearBlock(first, n, last, n);
            ++i;
        } else {
            ++i;
        }
        wb.itemBar.step();
    }
    wb.overallBar.step();
}

bool rowDiffers(const Grid& grid, int row) {
    for (int j = 1; j <= 5; ++j)
        if (upperText(GetCellText(grid, j, row)) != upperText(GetCellText(grid, j + 12, row))) return true;
    return false;
}

void colourDifferingCells(Grid& grid, int row) {
    for (int j = 1; j <= 5; ++j)
        if (upperText(GetCellText(grid, j, row)) != upperText(GetCellText(grid, j + 12, row))) {
            grid.setBackColor(j, row, j, row, kRed);
            grid.setBackColor(j + 12, row, j + 12, row, kRed);
        }
}

// Looks for the nearest later row where one side's key meets the other's and
// shifts that side's block down to it.
void alignRows(Grid& grid, int i, int n, const std::string& keyA, const std::string& keyB) {
    for (int k = i + 1; k <= n; ++k) {
        if (equalsNoCase(keyA, GetCellText(grid, kKeyB, k))) {
            grid.setRowCount(grid.rowCount() + (k - i));
            grid.moveBlock(1, i, 11, n, k);
            grid.setBackColor(17, i, 17, k - 1, kPaleBlue);
            return;
        }
        if (equalsNoCase(GetCellText(grid, kKeyA, k), keyB)) {
            grid.setRowCount(grid.rowCount() + (k - i));
            grid.moveBlock(13, i, 23, n, k);
            grid.setBackColor(5, i, 5, k - 1, kPaleBlue);
            return;
        }
    }
}

// The keys (table.field, upper case) of both sides, for the mode that keeps
// one-sided fields.
class SideKeys {
public:
    SideKeys(const Grid& grid, int n) {
        for (int r = 1; r <= n; ++r) {
            a_.insert(upperText(GetCellText(grid, kKeyA, r)));
            b_.insert(upperText(GetCellText(grid, kKeyB, r)));
        }
    }
    bool onlyInA(const std::string& key) const { return !key.empty() && b_.count(upperText(key)) == 0; }
    bool onlyInB(const std::string& key) const { return !key.empty() && a_.count(upperText(key)) == 0; }

private:
    std::unordered_set<std::string> a_, b_;
};

// A one-sided field at row i that faces a field of the other side gets an
// empty row facing it instead: the other side's block moves down one row.
void openGapFacingOneSided(Grid& grid, int i, const SideKeys& keys) {
    const std::string keyA = GetCellText(grid, kKeyA, i), keyB = GetCellText(grid, kKeyB, i);
    int first = 0;
    if (keys.onlyInA(keyA) && !keyB.empty()) first = kBaseB + 1;
    else if (keys.onlyInB(keyB) && !keyA.empty()) first = kBaseA + 1;
    if (first == 0) return;
    const int last = grid.rowCount();
    grid.setRowCount(last + 1);
    grid.moveBlock(first, i, first + 10, last, i + 1);
}

void colourOneSided(Grid& grid, int i, const SideKeys& keys) {
    if (keys.onlyInA(GetCellText(grid, kKeyA, i))) grid.setBackColor(kBaseA + 1, i, kBaseA + 10, i, kPaleYellow);
    if (keys.onlyInB(GetCellText(grid, kKeyB, i))) grid.setBackColor(kBaseB + 1, i, kBaseB + 10, i, kPaleYellow);
}

void hideSameRows(Grid& grid) {
    const int n = grid.dataRowCount();
    for (int r = 1; r <= n; ++r)
        if (GetCellText(grid, kMarkColumn, r).empty()) grid.setRowHidden(r, true);
}

}  // namespace

int64_t CompareStruct(Workbench& wb) {
    Grid& grid = wb.grid;
    const int n0 = grid.dataRowCount();
    const bool keep = wb.keepOneSidedFields;
    const SideKeys keys(grid, keep ? n0 : 0);
    if (keep) {
        wb.overallBar.step();
        wb.overallBar.step();
    } else {
        dropOneSided(wb, n0, kKeyA, kKeyB, 1, 11);
        dropOneSided(wb, n0, kKeyB, kKeyA, 13, 23);
    }
    grid.setRowCount(grid.dataRowCount());

    // Keeping one-sided fields, the pass runs to the last row of either side
    // (rows that an alignment pushes down are examined too), so that no
    // one-sided field goes unmarked.
    int n = grid.dataRowCount();
    wb.itemBar.setMaximum(n);
    wb.itemBar.setValue(0);
    int64_t count = 0;  // wide: a 16-bit counter would overflow past 32767 rows
    int first = 0;
    for (int i = 1; i <= n; ++i) {
        if (keep) {
            openGapFacingOneSided(grid, i, keys);
            n = grid.dataRowCount();
        }
        if (rowDiffers(grid, i)) {
            grid.setActiveCell(kMarkColumn, i);
            grid.setText(kMarkColumn, i, "!");
            ++count;
            if (first == 0) first = i;
            const std::string keyA = GetCellText(grid, kKeyA, i);
            const std::string keyB = GetCellText(grid, kKeyB, i);
            if (keyA == keyB) colourDifferingCells(grid, i);
            if (!keyA.empty() && !keyB.empty() && keyA != keyB) alignRows(grid, i, n, keyA, keyB);
            if (keep) colourOneSided(grid, i, keys);
        }
        wb.itemBar.step();
        if (keep) n = grid.dataRowCount();
    }
    wb.overallBar.step();
    grid.setRowCount(grid.dataRowCount());

    if (count == 0) {
        grid.setRowCount(0);
        wb.dialogs.message("두 DB의 구조가 일치 합니다.", kAppTitle, Icon::None);
        return 0;
    }
    hideSameRows(grid);
    wb.dialogs.message(std::to_string(count) + "건의 다른곳이 발견 되었습니다.", kAppTitle, Icon::None);
    grid.setActiveCell(kMarkColumn, first);
    grid.requestFocus();
    return count;
}

}  // namespace dex::reference
