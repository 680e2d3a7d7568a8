#pragma once
// The survey's running jobs: each one this program again with the job
// command, its result read from a pipe.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "SurveyJob.h"

namespace dex::survey {

struct Child {
    pid_t pid = -1;
    int fd = -1;       // the job's stdout
    size_t row = 0;    // index into the rows (unused for the reference)
    std::filesystem::path folder;
    std::string output;
};

// Starts this program with the job command: stdin from /dev/null, stdout
// into a pipe, stderr shared, in a process group of its own (so a Ctrl+C on
// the terminal reaches only the survey, which then stops its jobs), with the
// usual signal dispositions. Nothing, and `error` set, when it cannot start.
std::optional<Child> StartJob(const std::vector<std::string>& args, std::string& error);

// Reads what is there; false at the end of the job's output.
bool ReadSome(Child& c);

// The job's result, or a failure saying how the job ended without one.
JobOutcome OutcomeOf(const Child& c, int waitStatus);

}  // namespace dex::survey
