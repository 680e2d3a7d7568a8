#pragma once
// dexmira survey --merge: the summaries of a survey spread over machines
// (each machine ran one --shard K/N), read back from their report folders'
// survey.json or from their --json outputs, made one summary again.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "SurveySummary.h"

namespace dex::survey {

// One survey's summary as its JSON document holds it.
struct Summary {
    std::string reference, product;
    std::optional<long> referenceVersion;
    std::vector<Row> rows;
};

// The JSON document of a summary ("databases" in the summary's order).
std::string SummaryJson(const Summary& s, const std::optional<std::string>& shard, bool interrupted);
// Reads a summary back; throws std::runtime_error naming what is wrong.
Summary ParseSummaryJson(const std::string& text);

// The name of the summary a survey leaves in its report folder.
inline constexpr const char* kSummaryFile = "survey.json";

// Reads each input (a report folder, from its survey.json, or a JSON file)
// and joins their rows in the summary's order. With reportDir, each report
// a folder holds is copied there and one index.html (and survey.json)
// written for all of them. False, with the reason on err, when an input
// cannot be read, the inputs are of different references or products, or a
// database comes twice.
bool MergeSummaries(const std::vector<std::string>& inputs, const std::optional<std::string>& reportDir,
                    Summary& merged, std::ostream& err);

}  // namespace dex::survey
