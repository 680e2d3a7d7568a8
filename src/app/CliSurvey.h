#pragma once
// dexmira survey: every database of a list compared with one reference of a
// product, several at a time, one summary row per database.
//
// The survey process only schedules: each database (and the reference, once)
// is done by a child process that runs this same program with the internal
// job command, in a private temporary folder of its own, and prints one JSON
// line with its result. A file that crashes a reader fails its row, not the
// survey, and no reader shares a process with another.
#include <ostream>
#include <string>

#include "CliSupport.h"
#include "DbEngine.h"

namespace dex::cli {

// The internal command a survey starts for one database (not listed in the
// program's usage).
inline constexpr const char* kSurveyJobCommand = "survey-job";

int cmdSurvey(Args args, std::ostream& out, std::ostream& err);
int cmdSurveyJob(DbEngine& engine, Args args, std::ostream& out, std::ostream& err);

}  // namespace dex::cli
