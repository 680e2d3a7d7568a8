#include "modCmpDB.h"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <string_view>
#include <utility>

#include "ConnectionText.h"
#include "ErrorText.h"
#include "NameText.h"

namespace dex::modCmpDB {

using namespace gridlayout;
using GridSide = gridlayout::Side;

namespace {

void reportOpenError(Workbench& wb, int32_t number, const std::string& description) {
    wb.dialogs.message(errorFrame(number, description, "MyOpenDB", "Module modCmpDB"), kAppTitle,
                       Icon::None);
}

// Writes one field's row for a side.
void writeFieldRow(Grid& grid, GridSide side, int row, const std::string& table, const FieldDef& f) {
    const auto put = [&](SideColumn c, const std::string& text) { grid.setText(Column(side, c), row, text); };
    put(SideColumn::Table, table);
    put(SideColumn::Field, f.name);
    put(SideColumn::Key, table + "." + f.name);
    put(SideColumn::Type, TypeName(f.type));
    if (f.type == daotype::Text) {
        put(SideColumn::Size, std::to_string(f.size));
        put(SideColumn::ZeroLength, f.allowZeroLength ? "O" : "X");
    }
    put(SideColumn::Default, f.defaultValue);
    put(SideColumn::Required, f.required ? "X" : "O");
}

// Puts the index marks of one table on its rows (those below startRow).
void markIndexes(Grid& grid, GridSide side, int startRow, const TableDef& t) {
    for (const auto& index : t.indexes) {
        const SideColumn mark = index.primary   ? SideColumn::PrimaryKey
                                : index.foreign ? SideColumn::ForeignKey
                                                : SideColumn::OtherIndex;
        for (const auto& field : index.fields) {
            const int row = grid.searchColumn(Column(side, SideColumn::Field), startRow, grid.rowCount(), field);
            if (row > 0) grid.setText(Column(side, mark), row, "v");
        }
    }
}

bool takesTable(const std::string& name, const std::string& filter) {
    if (upperText(name.substr(0, 4)) == "MSYS") return false;
    return filter.empty() || equalsNoCase(filter, name);
}

// Writes the side's tables into the grid; returns the tables it wrote.
std::vector<TableDef> writeTables(Workbench& wb, DaoDatabase& db, GridSide side, const std::string& filter) {
    Grid& grid = wb.grid;
    std::vector<TableDef> tables = db.tableDefs();
    wb.itemBar.setMaximum(static_cast<int>(tables.size()));
    wb.itemBar.setValue(0);
    std::vector<TableDef> written;
    int i = 0;
    for (auto& t : tables) {
        if (takesTable(t.name, filter)) {
            const int start = i;
            const int end = start + static_cast<int>(t.fields.size());
            if (grid.rowCount() < end) grid.setRowCount(end);  // the table's rows at once
            for (const auto& f : t.fields) writeFieldRow(grid, side, ++i, t.name, f);
            markIndexes(grid, side, start, t);
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

// The comparison works on the rows LoadDBStruct wrote: each side's fields
// from row 1 down, without gaps. It takes the rows out of the grid once, moves
// them as lists and writes the grid back once, so that its cost grows with
// the number of fields (n log n at most) instead of with its square.

// A side's cell of a column, within the side's block of cells.
constexpr int cellOf(SideColumn c) { return static_cast<int>(c) - 1; }
// The cells that are compared: table, the three index marks, field name.
constexpr int kCompared = cellOf(SideColumn::Field) + 1;
constexpr int kFieldCell = cellOf(SideColumn::Field);
constexpr int kKeyCell = cellOf(SideColumn::Key);
// Where a side's block of cells starts in a row of cells.
constexpr size_t blockOf(GridSide side) { return CellIndex(FirstColumn(side)); }

// One field row of one side. Its cells stay where the grid had them (in the
// rows taken out of it) until the grid is written back.
struct FieldRow {
    Grid::Cell* cells = nullptr;  // the side's eleven columns
    int src = 0;                  // the row, counted from 0, the cells are on
    bool oneSided = false;        // the other side has no field of this key
    int row = 0;                  // the grid row it ends on; 0 once overwritten
    std::string_view key() const { return cells[kKeyCell].text; }
};


const std::string& cellText(const FieldRow* f, int cell) {
    static const std::string none;
    return f ? f->cells[static_cast<size_t>(cell)].text : none;
}

// One side's rows during the marking pass. Rows not yet passed move down
// together, so row j of the list stands on grid row j + 1 + shift_. A move
// made before the pass's last row (limit) pushes the rows that cross it
// below the limit, where they stay, and where a later move replaces them
// with the rows it pushes there in turn: the grid blocks move exactly so.
class PassRows {
public:
    PassRows(std::vector<FieldRow> rows, int limit) : rows_(std::move(rows)), limit_(limit) {
        live_ = static_cast<int>(rows_.size());
        byKey_.reserve(rows_.size());
        for (int j = 0; j < live_; ++j) byKey_.emplace_back(rows_[static_cast<size_t>(j)].key(), j);
        std::sort(byKey_.begin(), byKey_.end(), keyLess);
    }

    // The field on grid row i (the first row not passed), or null.
    FieldRow* at(int i) {
        if (next_ >= live_ || rowOf(next_) != i) return nullptr;
        return &rows_[static_cast<size_t>(next_)];
    }

    // The nearest grid row after i whose field has key (letter case
    // ignored); 0 when none.
    int nextRowWith(std::string_view key, int i) const {
        const int from = std::max(next_, i - shift_);
        const auto it = std::lower_bound(byKey_.begin(), byKey_.end(), KeyAt(key, from), keyLess);
        if (it == byKey_.end() || compareNoCase(it->first, key) != 0 || it->second >= live_) return 0;
        return rowOf(it->second);
    }

    // Moves every row not yet passed down by d. The d rows that cross the
    // limit, fields or empty, replace the d rows below it.
    void moveDown(int d) {
        const int shifted = shift_ + d;
        for (int p = 0; p < d && static_cast<size_t>(p) < below_.size(); ++p) {
            int& held = below_[static_cast<size_t>(p)];
            if (held >= 0) rows_[static_cast<size_t>(held)].row = 0;
            held = -1;
        }
        const int firstOut = std::max(next_, limit_ - shifted);
        if (firstOut < live_) {
            if (below_.size() < static_cast<size_t>(d)) below_.resize(static_cast<size_t>(d), -1);
            for (int j = firstOut; j < live_; ++j) {
                FieldRow& f = rows_[static_cast<size_t>(j)];
                f.row = j + 1 + shifted;
                below_[static_cast<size_t>(f.row - limit_ - 1)] = j;
            }
            live_ = firstOut;
        }
        shift_ = shifted;
    }

    // Colours one cell of the fields on grid rows first..last.
    void colour(int first, int last, int cell, Color color) {
        for (int r = first; r <= last; ++r) {
            const int j = r - 1 - shift_;
            if (j >= next_ && j < live_) rows_[static_cast<size_t>(j)].cells[cell].back = color;
        }
    }

    // Row i is done: its field, if any, stays there.
    void pass(int i) {
        if (FieldRow* f = at(i)) {
            f->row = i;
            ++next_;
        }
    }
    bool allPassed() const { return next_ >= live_; }
    std::vector<FieldRow>& rows() { return rows_; }

private:
    int rowOf(int j) const { return j + 1 + shift_; }

    std::vector<FieldRow> rows_;
    using KeyAt = std::pair<std::string_view, int>;  // a key and a list index
    static bool keyLess(const KeyAt& a, const KeyAt& b) {
        const int c = compareNoCase(a.first, b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    }
    std::vector<KeyAt> byKey_;  // sorted
    int limit_;
    int next_ = 0, live_ = 0, shift_ = 0;
    std::vector<int> below_;  // rows below the limit: list index per grid row limit+1...
};
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
            db = wb.engine.openDatabase(path, options, false, daoConnectText(password));
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
    const GridSide side = sideA ? GridSide::A : GridSide::B;
    try {
        wb.grid.setHeaderText(FirstColumn(side), true, path);
        keepStructure(wb, sideA, path, writeTables(wb, *db, side, filter));
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

namespace {

// One side's field rows: those on the side's eleven columns of the rows
// taken out of the grid.
std::vector<FieldRow> sideRows(std::vector<std::vector<Grid::Cell>>& grid, int rows, GridSide which) {
    const size_t base = blockOf(which);
    std::vector<FieldRow> side;
    side.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        auto& cells = grid[static_cast<size_t>(r)];
        if (cells.size() < base + kSideColumns) break;
        if (cells[base + kKeyCell].text.empty()) break;
        side.push_back(FieldRow{cells.data() + base, r, false, 0});
    }
    return side;
}

// The side's keys, sorted, for look-ups by binary search.
std::vector<std::string_view> keysOf(const std::vector<FieldRow>& side) {
    std::vector<std::string_view> keys;
    keys.reserve(side.size());
    for (const auto& f : side) keys.push_back(f.key());
    std::sort(keys.begin(), keys.end(), lessNoCase);
    return keys;
}

bool hasKey(const std::vector<std::string_view>& keys, std::string_view key) {
    return std::binary_search(keys.begin(), keys.end(), key, lessNoCase);
}

// Drops the one-sided fields, unless the comparison keeps them.
void sortOutOneSided(Workbench& wb, std::vector<FieldRow>& side, int n, bool keep) {
    if (keep) {
        wb.overallBar.step();
        return;
    }
    wb.itemBar.setMaximum(n);
    wb.itemBar.setValue(static_cast<int>(side.size()));
    for (auto& f : side)
        if (f.oneSided) std::fill(f.cells, f.cells + kSideColumns, Grid::Cell{});  // gone from the grid
    std::erase_if(side, [](const FieldRow& f) { return f.oneSided; });
    wb.overallBar.step();
}

bool rowDiffers(const FieldRow* a, const FieldRow* b) {
    for (int c = 0; c < kCompared; ++c)
        if (!equalsNoCase(cellText(a, c), cellText(b, c))) return true;
    return false;
}

void colourDifferingCells(FieldRow& a, FieldRow& b) {
    for (int c = 0; c < kCompared; ++c)
        if (!equalsNoCase(cellText(&a, c), cellText(&b, c))) {
            a.cells[c].back = kRed;
            b.cells[c].back = kRed;
        }
}

void colourOneSided(FieldRow* f) {
    if (!f || !f->oneSided) return;
    for (int c = 0; c < kSideColumns - 1; ++c) f->cells[c].back = kPaleYellow;
}

// The nearest later row where one side's key meets the other's: that side
// moves down to it, and the rows it leaves face pale blue names.
void alignRows(PassRows& a, PassRows& b, int i, const std::string& keyA, const std::string& keyB) {
    const int toA = b.nextRowWith(keyA, i);  // A's field appears later in B
    const int toB = a.nextRowWith(keyB, i);  // B's field appears later in A
    if (toA > 0 && (toB == 0 || toA <= toB)) {
        b.colour(i, toA - 1, kFieldCell, kPaleBlue);
        a.moveDown(toA - i);
    } else if (toB > 0) {
        a.colour(i, toB - 1, kFieldCell, kPaleBlue);
        b.moveDown(toB - i);
    }
}

// A one-sided field facing a field of the other side gets an empty row
// facing it instead: the other side moves down one row.
void openGapFacingOneSided(PassRows& a, PassRows& b, int i) {
    const FieldRow* fa = a.at(i);
    const FieldRow* fb = b.at(i);
    if (fa && fa->oneSided && fb) b.moveDown(1);
    else if (fb && fb->oneSided && fa) a.moveDown(1);
}

using SideBlock = std::array<Grid::Cell, kSideColumns>;

// Moves one side's fields from the rows they were taken on to the rows they
// end on, in place: a field whose target row still holds a field that moves
// on is placed after that one. Fields keep their order, so the moves never
// close a circle; a spare block would carry one all the same. Cells left
// behind are emptied, colours too.
void moveSide(std::vector<std::vector<Grid::Cell>>& rows, GridSide side, std::vector<FieldRow>& fields) {
    const size_t base = blockOf(side);
    const auto takeBlock = [&](int r) {
        SideBlock block;
        auto* cells = rows[static_cast<size_t>(r)].data() + base;
        for (int c = 0; c < kSideColumns; ++c) block[static_cast<size_t>(c)] = std::exchange(cells[c], Grid::Cell{});
        return block;
    };
    const auto putBlock = [&](int r, SideBlock&& block) {
        auto* cells = rows[static_cast<size_t>(r)].data() + base;
        for (int c = 0; c < kSideColumns; ++c) cells[c] = std::move(block[static_cast<size_t>(c)]);
    };
    std::vector<int> fieldAt(rows.size(), -1);  // by row taken from
    std::vector<char> done(fields.size(), 0);
    for (size_t k = 0; k < fields.size(); ++k) {
        FieldRow& f = fields[k];
        fieldAt[static_cast<size_t>(f.src)] = static_cast<int>(k);
        if (f.row == 0) {
            takeBlock(f.src);  // overwritten by a move: gone
            done[k] = 1;
        } else if (f.row - 1 == f.src) {
            done[k] = 1;
        }
    }
    std::vector<int> chain;
    for (size_t k = 0; k < fields.size(); ++k) {
        if (done[k]) continue;
        chain.clear();
        bool circle = false;
        for (int j = static_cast<int>(k);;) {
            chain.push_back(j);
            const int next = fieldAt[static_cast<size_t>(fields[static_cast<size_t>(j)].row - 1)];
            if (next < 0 || done[static_cast<size_t>(next)]) break;
            if (next == static_cast<int>(k)) {
                circle = true;
                break;
            }
            j = next;
        }
        SideBlock spare;
        if (circle) spare = takeBlock(fields[k].src);
        for (size_t i = chain.size(); i-- > 0;) {
            FieldRow& f = fields[static_cast<size_t>(chain[i])];
            putBlock(f.row - 1, circle && i == 0 ? std::move(spare) : takeBlock(f.src));
            done[static_cast<size_t>(chain[i])] = 1;
        }
    }
}

// Puts both sides and the marks back into the grid, up to the last row with
// text, in the rows taken out of it.
void writeBack(Grid& grid, std::vector<std::vector<Grid::Cell>>& rows, PassRows& a, PassRows& b,
               const std::vector<int>& marked) {
    int last = marked.empty() ? 0 : marked.back();
    for (PassRows* s : {&a, &b})
        for (const auto& f : s->rows()) last = std::max(last, f.row);
    const size_t columns = static_cast<size_t>(grid.columnCount());
    if (rows.size() < static_cast<size_t>(last)) rows.resize(static_cast<size_t>(last));
    for (auto& cells : rows) cells.resize(columns);
    if (columns >= static_cast<size_t>(LastColumn(GridSide::B))) {
        moveSide(rows, GridSide::A, a.rows());
        moveSide(rows, GridSide::B, b.rows());
    }
    rows.resize(static_cast<size_t>(last));
    std::vector<bool> hidden(static_cast<size_t>(last), true);
    for (const int r : marked) {
        if (columns >= kMarkColumn) rows[static_cast<size_t>(r - 1)][CellIndex(kMarkColumn)].text = "!";
        hidden[static_cast<size_t>(r - 1)] = false;
    }
    grid.replaceRows(std::move(rows), std::move(hidden));
}

}  // namespace

int64_t CompareStruct(Workbench& wb) {
    Grid& grid = wb.grid;
    const int n0 = grid.dataRowCount();
    const bool keep = wb.keepOneSidedFields;
    std::vector<std::vector<Grid::Cell>> taken = grid.takeRows();
    std::vector<FieldRow> rowsA = sideRows(taken, n0, GridSide::A);
    std::vector<FieldRow> rowsB = sideRows(taken, n0, GridSide::B);
    {
        // Both sides' keys are taken before either side drops a field.
        const std::vector<std::string_view> keysA = keysOf(rowsA), keysB = keysOf(rowsB);
        for (auto& f : rowsA) f.oneSided = !hasKey(keysB, f.key());
        for (auto& f : rowsB) f.oneSided = !hasKey(keysA, f.key());
    }
    sortOutOneSided(wb, rowsA, n0, keep);
    sortOutOneSided(wb, rowsB, n0, keep);

    // Without one-sided fields, rows that a move pushes below the last row
    // are not examined again. Keeping them, the pass runs until both sides'
    // rows are passed, so that no one-sided field goes unmarked.
    const int n = keep ? 0 : static_cast<int>(std::max(rowsA.size(), rowsB.size()));
    const int limit = keep ? std::numeric_limits<int>::max() / 2 : n;
    PassRows a(std::move(rowsA), limit), b(std::move(rowsB), limit);
    wb.itemBar.setMaximum(keep ? n0 : n);
    wb.itemBar.setValue(0);
    std::vector<int> marked;
    for (int i = 1; keep ? !(a.allPassed() && b.allPassed()) : i <= n; ++i) {
        if (keep) openGapFacingOneSided(a, b, i);
        FieldRow* fa = a.at(i);
        FieldRow* fb = b.at(i);
        if (rowDiffers(fa, fb)) {
            marked.push_back(i);
            const std::string& keyA = cellText(fa, kKeyCell);
            const std::string& keyB = cellText(fb, kKeyCell);
            if (fa && fb && keyA == keyB) colourDifferingCells(*fa, *fb);
            if (!keyA.empty() && !keyB.empty() && keyA != keyB) alignRows(a, b, i, keyA, keyB);
            if (keep) {
                colourOneSided(a.at(i));
                colourOneSided(b.at(i));
            }
        }
        a.pass(i);
        b.pass(i);
        wb.itemBar.step();
    }
    wb.overallBar.step();
    writeBack(grid, taken, a, b, marked);

    const auto count = static_cast<int64_t>(marked.size());  // wide: no 16-bit overflow past 32767 rows
    if (count == 0) {
        grid.setRowCount(0);
        wb.dialogs.message("두 DB의 구조가 일치 합니다.", kAppTitle, Icon::None);
        return 0;
    }
    wb.dialogs.message(std::to_string(count) + "건의 다른곳이 발견 되었습니다.", kAppTitle, Icon::None);
    grid.setActiveCell(kMarkColumn, marked.front());
    grid.requestFocus();
    return count;
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
