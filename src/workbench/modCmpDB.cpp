#include "modCmpDB.h"

#include <exception>
#include <unordered_set>

#include "ErrorText.h"

namespace dex::modCmpDB {

namespace {

constexpr int kKeyA = 11, kKeyB = 23;

void reportOpenError(Workbench& wb, int32_t number, const std::string& description) {
    wb.dialogs.message(errorFrame(number, description, "MyOpenDB", "Module modCmpDB"), kAppTitle,
                       Icon::None);
}

// Writes one field's row for the side whose base column is base.
void writeFieldRow(Grid& grid, int base, int row, const std::string& table, const FieldDef& f) {
    grid.setText(base + 1, row, table);
    grid.setText(base + 5, row, f.name);
    grid.setText(base + 11, row, table + "." + f.name);
    grid.setText(base + 6, row, TypeName(f.type));
    if (f.type == daotype::Text) {
        grid.setText(base + 7, row, std::to_string(f.size));
        grid.setText(base + 10, row, f.allowZeroLength ? "O" : "X");
    }
    grid.setText(base + 8, row, f.defaultValue);
    grid.setText(base + 9, row, f.required ? "X" : "O");
}

// Puts the index marks of one table on its rows (those below startRow).
void markIndexes(Grid& grid, int base, int startRow, const TableDef& t) {
    for (const auto& index : t.indexes) {
        const int col = index.primary ? base + 2 : index.foreign ? base + 3 : base + 4;
        for (const auto& field : index.fields) {
            const int row = grid.searchColumn(base + 5, startRow, grid.rowCount(), field);
            if (row > 0) grid.setText(col, row, "v");
        }
    }
}

bool takesTable(const std::string& name, const std::string& filter) {
    if (upperText(name.substr(0, 4)) == "MSYS") return false;
    return filter.empty() || equalsNoCase(filter, name);
}

// Writes the side's tables into the grid; returns the tables it wrote.
std::vector<TableDef> writeTables(Workbench& wb, DaoDatabase& db, int base, const std::string& filter) {
    Grid& grid = wb.grid;
    std::vector<TableDef> tables = db.tableDefs();
    wb.itemBar.setMaximum(static_cast<int>(tables.size()));
    wb.itemBar.setValue(0);
    std::vector<TableDef> written;
    int i = 0;
    for (auto& t : tables) {
        if (takesTable(t.name, filter)) {
            const int start = i;
            for (const auto& f : t.fields) {
                ++i;
                if (grid.rowCount() < i) grid.setRowCount(grid.rowCount() + 1);
                writeFieldRow(grid, base, i, t.name, f);
            }
            markIndexes(grid, base, start, t);
            written.push_back(std::move(t));
        }
        wb.itemBar.step();
    }
    return written;
}

// Keeps what one side's load read, when the workbench asks for it.
void keepStructure(Workbench& wb, bool sideA, const std::string& path, std::vector<TableDef> tables) {
    if (!wb.structures) return;
    LoadedStructures& s = *wb.structures;
    (sideA ? s.pathA : s.pathB) = path;
    (sideA ? s.tablesA : s.tablesB) = std::move(tables);
    (sideA ? s.loadedA : s.loadedB) = true;
}

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

}  // namespace

std::string OneSidedModeLabel(bool keepOneSidedFields) {
    return keepOneSidedFields ? "한쪽에만 있는 필드 표시" : "";
}

std::string TypeName(int daoType) {
    switch (daoType) {
        case daotype::Boolean: return "Boolean";
        case daotype::Integer: return "Integer";
        case daotype::Long: return "Long";
        case daotype::Currency: return "Currency";
        case daotype::Double: return "Double";
        case daotype::Date: return "Date";
        case daotype::Text: return "Text";
        case daotype::Memo: return "Memo";
        default: return std::to_string(daoType);
    }
}

bool MyOpenDB(Workbench& wb, const std::string& path, int16_t options, const std::string& password,
              std::unique_ptr<DaoDatabase>& db) {
    try {
        if (!password.empty())
            db = wb.engine.openDatabase(path, options, false, ";pwd=" + password);
        else
            db = wb.engine.openDatabase(path, options, false, "");
        return true;
    } catch (const DbError& e) {
        reportOpenError(wb, e.number(), e.description());
    } catch (const std::exception& e) {
        reportOpenError(wb, kRuntimeErrorNumber, e.what());
    }
    db.reset();
    return false;
}

void CloseDB(std::unique_ptr<DaoDatabase>& db) {
    if (!db) return;
    try {
        db->close();
    } catch (const std::exception&) {
        // The file is released with the object either way.
    }
    db.reset();
}

std::string GetCellText(const Grid& grid, int column, int row) {
    if (column == -2) column = grid.activeColumn();
    if (row == -2) row = grid.activeRow();
    return grid.text(column, row).value_or(std::string());
}

bool LoadDBStruct(Workbench& wb, const std::string& path, bool sideA, const std::string& password,
                  const std::string& filter) {
    if (sideA) wb.grid.setRowCount(0);
    if (sideA && wb.structures) *wb.structures = LoadedStructures{};
    if (!sideA && wb.structures) wb.structures->loadedB = false;
    std::unique_ptr<DaoDatabase> db;
    if (!MyOpenDB(wb, path, 0, password, db)) return false;
    const int base = sideA ? kBaseA : kBaseB;
    try {
        wb.grid.setHeaderText(sideA ? 1 : 13, true, path);
        keepStructure(wb, sideA, path, writeTables(wb, *db, base, filter));
    } catch (const DbError& e) {
        // A database that opens but cannot be read is reported like a failed
        // open, and released.
        reportOpenError(wb, e.number(), e.description());
        CloseDB(db);
        return false;
    } catch (const std::exception& e) {
        reportOpenError(wb, kRuntimeErrorNumber, e.what());
        CloseDB(db);
        return false;
    }
    CloseDB(db);
    return true;
}

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
    HideSameRows(grid);
    wb.dialogs.message(std::to_string(count) + "건의 다른곳이 발견 되었습니다.", kAppTitle, Icon::None);
    grid.setActiveCell(kMarkColumn, first);
    grid.requestFocus();
    return count;
}

void HideSameRows(Grid& grid) {
    const int n = grid.dataRowCount();
    for (int r = 1; r <= n; ++r)
        if (GetCellText(grid, kMarkColumn, r).empty()) grid.setRowHidden(r, true);
}

void cmdMove_Click(Workbench& wb, int16_t index) {
    Grid& grid = wb.grid;
    int found = -1;
    if (index == 0) {
        found = grid.searchColumn(kMarkColumn, grid.activeRow(), grid.dataRowCount(), "!");
    } else {
        for (int row = grid.activeRow() - 1; row >= 1; --row)
            if (GetCellText(grid, kMarkColumn, row) == "!") {
                found = row;
                break;
            }
    }
    if (found < 1)
        wb.dialogs.message("더이상 비교결과에서 다른곳을 찾을 수 없습니다.", kAppTitle, Icon::None);
    else
        grid.setActiveCell(kMarkColumn, found);
    grid.requestFocus();
}

}  // namespace dex::modCmpDB
