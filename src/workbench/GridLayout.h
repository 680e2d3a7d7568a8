#pragma once
// The comparison grid's layout (spList), named once: 23 columns, database A
// in 1 to 11, the mark "!" in 12, database B in 13 to 23, both sides with
// the same eleven columns in the same order; their header texts and widths;
// and the colours the comparison paints. Everything outside the grid code
// reads a comparison's result through report::GridRow (Report.h), which
// takes its cells by these names.
#include <array>
#include <optional>

#include "Grid.h"

namespace dex::gridlayout {

constexpr int kColumns = 23;
constexpr int kSideColumns = 11;
constexpr int kMarkColumn = 12;

enum class Side { A, B };

// One side's columns, in their order (the number is the column of side A).
enum class SideColumn : int {
    Table = 1,       // 테이블명
    PrimaryKey,      // P: "v" when the field is in the primary key
    ForeignKey,      // F: in a foreign key
    OtherIndex,      // I: in any other index
    Field,           // 필드명
    Type,            // the DAO type's name (modCmpDB::TypeName)
    Size,            // Text fields only
    Default,         // the default value's text as written
    Required,        // Null: "X" when required, "O" when not
    ZeroLength,      // Zro: Text fields only, "O" when a zero-length text is allowed
    Key,             // RKEY (hidden): table.field, what the two sides are lined up by
};

// The grid column of a side's column.
constexpr int Column(Side side, SideColumn column) {
    return (side == Side::A ? 0 : kMarkColumn) + static_cast<int>(column);
}
constexpr int FirstColumn(Side side) { return Column(side, SideColumn::Table); }
constexpr int LastColumn(Side side) { return Column(side, SideColumn::Key); }

// The side a grid column belongs to; none for the mark column.
constexpr std::optional<Side> SideOf(int column) {
    if (column == kMarkColumn) return std::nullopt;
    return column < kMarkColumn ? Side::A : Side::B;
}
// A side's column from its grid column (a column of a side only).
constexpr SideColumn SideColumnOf(int column) {
    return static_cast<SideColumn>(column < kMarkColumn ? column : column - kMarkColumn);
}
// P, F or I: the columns that mark index membership.
constexpr bool IsIndexMark(SideColumn c) {
    return c == SideColumn::PrimaryKey || c == SideColumn::ForeignKey || c == SideColumn::OtherIndex;
}
// The position of a grid column in a row of cells, and in the window's
// view, counted from 0.
constexpr size_t CellIndex(int column) { return static_cast<size_t>(column - 1); }
constexpr int ViewColumn(int column) { return column - 1; }

// Header texts and widths (in the grid's width unit) of a side's columns;
// Key's text is in the upper header row, the others' in the lower one.
struct SideColumnSpec {
    SideColumn column;
    const char* label;
    double width;
};
inline constexpr std::array<SideColumnSpec, kSideColumns> kSideColumnSpecs{{
    {SideColumn::Table, "테이블명", 11},
    {SideColumn::PrimaryKey, "P", 2},
    {SideColumn::ForeignKey, "F", 2},
    {SideColumn::OtherIndex, "I", 2},
    {SideColumn::Field, "필드명", 12},
    {SideColumn::Type, "Type", 6},
    {SideColumn::Size, "Size", 3},
    {SideColumn::Default, "Def", 3},
    {SideColumn::Required, "Null", 3},
    {SideColumn::ZeroLength, "Zro", 3},
    {SideColumn::Key, "RKEY", 0},
}};
inline constexpr const char* kMarkLabel = "비교";
constexpr double kMarkWidth = 4.75;

// Colours (&H00BBGGRR).
constexpr Color kRed = 0x000000FF;        // cells that differ between the sides
constexpr Color kPaleBlue = 0x00FFC0C0;   // field names facing a row shifted to line the sides up
constexpr Color kPaleYellow = 0x0080FFFF; // a field present on one side only (when such fields are kept)
constexpr Color kMarkBack = 0x00FFFF80;   // the mark column
constexpr Color kMarkFore = 0x000000FF;

}  // namespace dex::gridlayout
