#pragma once
// Loading two databases' structures into the grid and comparing them.
#include <cstdint>
#include <memory>
#include <string>

#include "GridLayout.h"
#include "Workbench.h"

namespace dex::modCmpDB {

// Opens a database through DAO; shows the MyOpenDB message and returns false
// when the open fails.
bool MyOpenDB(Workbench& wb, const std::string& path, int16_t options, const std::string& password,
              std::unique_ptr<DaoDatabase>& db);
void CloseDB(std::unique_ptr<DaoDatabase>& db);
// Text of a cell; -2 stands for the active column or row; "" for no text.
std::string GetCellText(const Grid& grid, int column, int row);

// Writes one side's fields into the grid. False when the database cannot be
// opened or its structure cannot be read (a message has been shown).
bool LoadDBStruct(Workbench& wb, const std::string& path, bool sideA, const std::string& password,
                  const std::string& filter);
// Drops one-sided fields, aligns, marks, colours, hides and reports.
// Returns the number of marked rows. With wb.keepOneSidedFields, fields on
// one side only are not dropped: each faces empty cells, in pale yellow,
// marked and counted like any other difference.
//
// An example, each side as table.field [P F I] (its key, table.field, is
// what the sides are matched by). LoadDBStruct left four rows on each side:
//
//   row  A (columns 1-11)       B (columns 13-23)
//    1   customer.code [P..]    customer.code [P..]
//    2   customer.memo [...]    customer.name [..I]   (memo only in A)
//    3   customer.name [...]    office.code   [...]
//    4   office.code   [P..]    office.name   [...]   (office.name only in B)
//
// CompareStruct drops customer.memo and office.name, the rows close up, and
// rows whose table, marks or field name differ (letter case ignored) get
// "!" in column 12, their differing cells red (the I of row 2, the P of
// row 3); unmarked rows are hidden and "2건의 다른곳이 발견 되었습니다."
// is shown:
//
//   row  A                      !  B
//    1   customer.code [P..]       customer.code [P..]   (hidden)
//    2   customer.name [...]    !  customer.name [..I]
//    3   office.code   [P..]    !  office.code   [...]
//
// Where the keys of a row differ (the sides' fields in another order), the
// side whose key comes later on the other side moves down to meet it, and
// the field names facing the gap turn pale blue.
int64_t CompareStruct(Workbench& wb);
// The line that tells which mode the comparison runs in: "" for the usual
// one, a text when one-sided fields are kept.
std::string OneSidedModeLabel(bool keepOneSidedFields);

// F3 / Shift+F3: index 0 next difference, any other previous.
void cmdMove_Click(Workbench& wb, int16_t index);

// Name of a DAO type code as the grid shows it.
std::string TypeName(int daoType);

}  // namespace dex::modCmpDB
