#pragma once
// One job of a survey, run in a process of its own: a database (or, once,
// the reference) copied or imported into the job's folder, migrated with the
// product's catalogue, and compared with the prepared reference. What it
// found travels to the survey as one line of the job's output.
#include <filesystem>
#include <optional>
#include <string>

#include "DbEngine.h"

namespace dex::survey {

// The internal command a survey starts for one database (not listed in the
// program's usage).
inline constexpr const char* kJobCommand = "survey-job";

// The job's copies in its folder, and the report it writes there.
inline constexpr const char* kCopyA = "temp(A).mdb";
inline constexpr const char* kCopyB = "temp(B).mdb";
inline constexpr const char* kJobReport = "report.html";

// A whole number written in full (no sign but '-', nothing after it).
std::optional<long> WholeNumber(const std::string& text);

// What one job found. status: "ready" (the reference), "same", "differs", "failed".
// The job prints it as one line of tab-separated fields after a tag:
// status, version, marked rows ("-" for none), other differences (tables
// and fields on one side only, field settings, index details; "-" for
// none), report written (1 or 0), error. "same" only when nothing differs.
struct JobOutcome {
    static constexpr const char* kTag = "dexmira-survey-result";
    std::string status = "failed";
    std::optional<long> version;  // stored before the migration
    std::optional<long> marked;
    std::optional<long> others;
    std::string error;
    bool report = false;

    std::string line() const;
    static std::optional<JobOutcome> fromLine(const std::string& line);
};

struct JobRequest {
    std::string source;        // the user's database
    std::string productName;   // as given to the survey
    std::string productCode;
    std::filesystem::path folder;  // the job's own folder
    std::string referenceCopy, referenceName;  // empty: this job prepares the reference
    std::string reportFile;    // empty: no report
    std::string password;      // opens source (its copy then takes the product's)
};

// Where a survey hands the databases' and the reference's passwords to its
// jobs: in their environment, which, unlike a command line, no other user
// can read.
inline constexpr const char* kDatabasePasswordVariable = "DEXMIRA_SURVEY_DB_PASSWORD";
inline constexpr const char* kReferencePasswordVariable = "DEXMIRA_SURVEY_REF_PASSWORD";

// Prepares the reference (no referenceCopy) or compares one database with
// it. Messages name the user's files, never the job's copies.
JobOutcome RunJob(DbEngine& engine, const JobRequest& req);

}  // namespace dex::survey
