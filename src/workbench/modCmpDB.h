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
int64_t CompareStruct(Workbench& wb);
// The line that tells which mode the comparison runs in: "" for the usual
// one, a text when one-sided fields are kept.
std::string OneSidedModeLabel(bool keepOneSidedFields);

// F3 / Shift+F3: index 0 next difference, any other previous.
void cmdMove_Click(Workbench& wb, int16_t index);

// Name of a DAO type code as the grid shows it.
std::string TypeName(int daoType);

}  // namespace dex::modCmpDB
