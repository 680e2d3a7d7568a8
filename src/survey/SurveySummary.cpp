#include "SurveySummary.h"

#include <algorithm>

namespace dex::survey {

const char* StatusName(Status s) {
    switch (s) {
        case Status::Same: return "same";
        case Status::Differs: return "differs";
        case Status::Failed: return "failed";
    }
    return "";
}

std::string NumberText(const std::optional<long>& v) { return v ? std::to_string(*v) : "-"; }

std::string StatusText(const Row& r) { return r.status == Status::Failed ? "failed: " + r.error : StatusName(r.status); }

size_t CountRows(const std::vector<Row>& rows, Status s) {
    return static_cast<size_t>(std::count_if(rows.begin(), rows.end(), [s](const Row& r) { return r.status == s; }));
}

std::string TotalsText(const std::vector<Row>& rows) {
    return std::to_string(rows.size()) + (rows.size() == 1 ? " database: " : " databases: ") +
           std::to_string(CountRows(rows, Status::Differs)) + " differ, " +
           std::to_string(CountRows(rows, Status::Same)) + " same, " +
           std::to_string(CountRows(rows, Status::Failed)) + " failed";
}

void SortForSummary(std::vector<Row>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if ((a.status == Status::Failed) != (b.status == Status::Failed)) return b.status == Status::Failed;
        return a.status != Status::Failed && a.marked.value_or(0) > b.marked.value_or(0);
    });
}

}  // namespace dex::survey
