#pragma once
// The survey's summary: one row per database, and the texts the table, the
// JSON and the report index share.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace dex::survey {

enum class Status { Same, Differs, Failed };

struct Row {
    size_t ordinal = 0;  // 1-based position in the command's list of databases
    std::string file;
    std::optional<long> version;
    std::optional<long> marked;
    std::optional<long> others;  // differences beside the marked rows
    Status status = Status::Failed;
    std::string error;
    std::string report;  // the report's file name in the report folder, "" when none
    bool done = false;   // its job has ended (an interrupted survey keeps only these)
};

// "same", "differs", "failed".
const char* StatusName(Status s);
// The number, or "-" for none.
std::string NumberText(const std::optional<long>& v);
// "failed: " and the error for a failed row, else the status's name.
std::string StatusText(const Row& r);
size_t CountRows(const std::vector<Row>& rows, Status s);
// "3 databases: 1 differ, 1 same, 1 failed".
std::string TotalsText(const std::vector<Row>& rows);
// Most marked rows first, ties in the order given; failed rows last, in the
// order given, where a terminal keeps them in sight.
void SortForSummary(std::vector<Row>& rows);

}  // namespace dex::survey
