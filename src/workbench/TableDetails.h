#pragma once
// What the window's details box shows for one table of a comparison, as
// plain text and colours: both sides' keys and indexes set side by side, and
// both sides' field settings, each difference coloured as the grid colours
// differences. Also the text that names the indexes behind a P/F/I mark.
// The window only puts these sheets on screen.
#include <optional>
#include <string>
#include <vector>

#include "Grid.h"
#include "Words.h"
#include "Workbench.h"

namespace dex::details {

struct Cell {
    std::string text;
    std::optional<Color> back;  // a difference's colour; none: the box's own
};

// A table of texts: column headers and rows of cells (one per header).
struct Sheet {
    std::vector<std::string> headers;
    std::vector<std::vector<Cell>> rows;
};

// Both sheets are laid out as the grid is: A's columns, the comparison
// column ("비교"), then B's columns.
//   indexes: 이름 종류 고유 필드 참조 | 비교 | 이름 종류 고유 필드 참조
//   fields:  필드명 형식 크기 기본값 필수 빈 문자열 | 비교 | the same for B
// A definition or setting that differs is red (gridlayout::kRed) on both
// sides; an index only one side has is red on that side; a field only one
// side has is pale yellow (gridlayout::kPaleYellow), as the grid shows it.
struct TableDetails {
    std::string tableA, tableB;  // the table's name on each side; "" where that side lacks it
    Sheet indexes, fields;
    bool found() const { return !tableA.empty() || !tableB.empty(); }
};

// The details of the table named table (letter case ignored) in the kept
// structures. Differences are marked only when both sides were loaded.
// The texts are in language.
TableDetails MakeTableDetails(const LoadedStructures& structures, const std::string& table,
                              words::Language language = words::Language::Korean);

// Columns of the sheets.
constexpr int kIndexSideColumns = 5, kFieldSideColumns = 6;

// "기본키", "외래키", "인덱스" (the grid's P, F and I), in language.
std::string KindText(const IndexDef& index, words::Language language = words::Language::Korean);

// The indexes behind the mark in grid column column (a P, F or I column of
// either side, gridlayout::IsIndexMark) on the row of table.field: one line per index, such as
// "기본키 pk_customer (code)" or
// "외래키 fk_customer_office (office) → office (code)" (in language, as
// indexdiff::DescribeIndex says it); "" when none.
std::string MarkTip(const LoadedStructures& structures, int column, const std::string& table,
                    const std::string& field, words::Language language = words::Language::Korean);

}  // namespace dex::details
