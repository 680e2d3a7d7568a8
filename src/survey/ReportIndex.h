#pragma once
// The survey's report folder: the reports' file names and the index page
// that links them.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "SurveySummary.h"

namespace dex::survey {

// The report folder: made when missing; a link or a file there is refused
// (the reason on err).
bool UseReportFolder(std::string dir, std::ostream& err);

// A report's file name: the database's ordinal, then its parent folder's
// name, '_' and its base name ("0007-kim_dbMain.mdb.html"), every byte that
// is not a letter, digit, '.', '-', '_' or part of a valid UTF-8 character
// replaced by '_' (at most 120 bytes of it). Two databases may share these
// names; their ordinals differ.
std::string ReportFileName(size_t ordinal, size_t total, const std::string& path);

// A file name as a relative URL: every byte but the unreserved ones in %XX.
std::string UrlPath(const std::string& name);

struct IndexHeading {
    std::string reference, product;
};

// index.html in the report folder: every database in the summary's order,
// each report linked. False, and the reason on err, when it cannot be written.
bool WriteIndex(const std::string& reportDir, const IndexHeading& heading, const std::vector<Row>& rows,
                std::ostream& err);

}  // namespace dex::survey
