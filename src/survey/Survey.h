#pragma once
// dexmira survey: every database of a list compared with one reference of a
// product, several at a time, one summary row per database.
//
// The survey (the parent) makes one private folder under the system's
// temporary folder, has a job prepare the reference there once (copy or
// import, then migrate), then starts up to `jobs` jobs at a time, one per
// database. Each job runs this program again with kJobCommand in a folder of
// its own inside the survey's folder and prints one result line. The parent
// keeps one summary row per database, copies each finished job's report into
// the report folder and its migration log into the program's log, then
// removes the job's folder.
//
// Why processes and not threads: the Jet reader may crash on a damaged file,
// and each database engine is meant for one thread. A child that dies only
// fails its own row.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "JobPool.h"
#include "SurveySummary.h"

namespace dex::survey {

class StopSignals;

struct SurveyOptions {
    std::string reference;
    std::vector<std::string> databases;
    std::string product, productCode;
    std::optional<std::string> reportDir;
    size_t jobs = 1;
    size_t shardK = 1, shardN = 1;
    bool sharded = false;
};

// The processors this process may run on: the default number of jobs.
size_t CoreCount();

class Survey {
public:
    enum class End { Finished, Failed, Interrupted };

    // Progress and problems go to err (one line rewritten in place on a terminal).
    Survey(SurveyOptions o, std::ostream& err);
    // Runs every job; when Finished, rows() holds the summary in its order
    // and the report index has been written (indexed() tells whether it could be).
    End run();

    const SurveyOptions& options() const { return o_; }
    const std::vector<Row>& rows() const { return rows_; }
    const std::optional<long>& referenceVersion() const { return referenceVersion_; }
    bool indexed() const { return indexed_; }
    // After an interruption: how many databases the survey was to compare
    // (rows() then holds those that were done).
    size_t planned() const { return planned_; }

private:
    std::vector<std::string> jobArgs(const std::filesystem::path& jobFolder) const;
    void status(const std::string& text);
    void progress();
    void endProgress();
    bool waitReadable(std::vector<Child*>& children, std::vector<Child*>& ended);
    End prepareReference();
    void startJob(size_t rowIndex);
    bool runJobs();
    void finish(size_t rowIndex, const JobOutcome& outcome, const std::filesystem::path& jobFolder);
    void keepLog(const std::filesystem::path& jobFolder);
    End interrupted();

    SurveyOptions o_;
    std::ostream& err_;
    bool tty_;
    std::chrono::steady_clock::time_point start_;
    std::filesystem::path folder_;
    StopSignals* signals_ = nullptr;
    std::vector<Row> rows_;
    std::vector<Child> running_;
    std::string referenceCopy_;
    std::optional<long> referenceVersion_;
    size_t done_ = 0, failed_ = 0;
    bool logWarned_ = false;
    bool indexed_ = true;
    size_t planned_ = 0;
};

}  // namespace dex::survey
