#pragma once
// A comparison's result as a file: an HTML page to read or print, a CSV of
// the marked rows for a spreadsheet, or the JSON document of `compare --json`
// with the index-level comparison added. ReportData is a snapshot taken after
// the run, so a report can be written while the grid changes again.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Grid.h"
#include "GridLayout.h"
#include "IndexDiff.h"
#include "Words.h"
#include "Workbench.h"

namespace dex::report {

// One row of the comparison grid, taken out of it: what every reader of a
// comparison's result outside the grid code works on.
struct GridRow {
    int row = 0;
    bool hidden = false;
    std::vector<std::string> cells;           // columns 1..23 (gridlayout)
    std::vector<std::optional<Color>> colors;  // columns 1..23
    std::string difference;                    // marked rows: what differs, in words

    // A side's cell, "" when the row has none.
    const std::string& cell(gridlayout::Side side, gridlayout::SideColumn column) const {
        return at(gridlayout::Column(side, column));
    }
    // The mark column: "!" on a marked row.
    const std::string& mark() const { return at(gridlayout::kMarkColumn); }
    bool marked() const { return mark() == "!"; }
    // The cell of a grid column, "" when the row has none.
    const std::string& at(int column) const;
    std::optional<Color> colorAt(int column) const;
};

// The grid's row as a GridRow (no difference in words).
GridRow TakeGridRow(const Grid& grid, int row);
// Every grid row, hidden ones included.
std::vector<GridRow> TakeGridRows(const Grid& grid);
// The number of marked rows.
int64_t CountMarked(const std::vector<GridRow>& rows);
// A side's path, as the grid's upper header shows it ("" when none).
std::string GridPath(const Grid& grid, gridlayout::Side side);

struct Message {
    std::string title, text;
    Icon icon = Icon::None;
};

struct ReportData {
    std::string pathA, pathB;            // the files compared (the grid's header cells)
    std::string requestedA, requestedB;  // the files given, when they differ (a product's run compares copies)
    std::string product;                 // "" when none was chosen
    std::string createdAt;               // local date and time, "2025-03-07 14:05:09"
    std::string version;                 // the program's version
    std::vector<GridRow> rows;           // every grid row, hidden ones included
    int64_t count = 0;                   // marked rows
    int activeColumn = 1, activeRow = 1;
    std::vector<Message> messages;       // the messages the run showed, in order
    // The comparison of indexes and field settings; absent when the
    // structures were not kept (or one side failed to load).
    std::optional<indexdiff::StructureDiff> structure;
    // The language of the HTML page and the CSV (the JSON document is the
    // same in every language).
    words::Language language = words::Language::Korean;

    // The run's result: the text of its last message ("" when none).
    std::string resultMessage() const { return messages.empty() ? std::string() : messages.back().text; }
};

// Takes the snapshot: the grid's rows and marks (what differs in words, in
// language), the index-level comparison of the kept structures (when given
// and complete), the time and version.
ReportData MakeReportData(const Grid& grid, const LoadedStructures* structures, std::vector<Message> messages,
                          words::Language language = words::Language::Korean);

std::string HtmlReport(const ReportData& data);
std::string CsvReport(const ReportData& data);
// The `compare --json` object (no line break after it); withStructure adds
// "product", "created", "version", "indexes" and "settings".
void WriteCompareJson(std::ostream& out, const ReportData& data, bool withStructure);

// Whether path ends in .html / .htm, .csv or .json (letter case ignored).
bool IsReportPath(const std::string& path);
// Writes path.html / .htm, .csv or .json. Throws std::runtime_error for
// another extension or a file that cannot be written; a file already there
// is then left as it was.
void WriteReport(const std::string& path, const ReportData& data);
// Writes text to path through a new file beside it (a fresh name, created
// exclusively, never through a link) that replaces path only when complete
// and synced; throws std::runtime_error naming what, the file and the
// system's reason when that fails, and path is then left as it was.
void WriteWholeFile(const std::string& path, const std::string& text, const std::string& what);

// Text helpers shared with the command line.
std::string JsonString(const std::string& s);
std::string HtmlEscape(const std::string& s);
std::string CsvField(const std::string& s);
// s on one line of a text output: a backslash doubled, tab, line feed and
// carriage return as \t \n \r, any other control character as \xHH and the
// Unicode line separators as \u0085 \u2028 \u2029, so that a name keeps
// its row and column (and a comment its line).
std::string OneLineText(const std::string& s);
// 0x00BBGGRR -> "#RRGGBB"; -> "&H00BBGGRR".
std::string CssColor(Color color);
std::string VbColor(Color color);
std::string IconName(Icon icon);

}  // namespace dex::report
