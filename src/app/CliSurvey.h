#pragma once
// dexmira survey: every database of a list compared with one reference of a
// product, several at a time, one summary row per database (survey/Survey.h);
// and the internal job command each of its child processes runs.
#include <ostream>
#include <string>

#include "CliSupport.h"
#include "DbEngine.h"
#include "SurveyJob.h"

namespace dex::cli {

// The internal command a survey starts for one database (not listed in the
// program's usage).
inline constexpr const char* kSurveyJobCommand = survey::kJobCommand;

int runSurvey(Args args, std::ostream& out, std::ostream& err);
int runSurveyJob(DbEngine& engine, Args args, std::ostream& out, std::ostream& err);

}  // namespace dex::cli
