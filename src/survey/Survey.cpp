#include "Survey.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include "DbError.h"
#include "FileCopy.h"
#include "MigrationLog.h"
#include "Process.h"
#include "Report.h"
#include "ReportIndex.h"
#include "StopSignals.h"

namespace dex::survey {

namespace fs = std::filesystem;

namespace {

std::string elapsedText(std::chrono::steady_clock::duration d) {
    const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
    char buf[32];
    if (s >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Appends a finished job's migration log to the program's log. Only the
// survey itself appends, one job after another, so sections of different
// jobs never interleave.
bool appendLog(const fs::path& jobFolder, std::string& problem) {
    try {
        migration::MigrationLog(migration::DefaultLogFolder()).appendFrom(jobFolder / migration::kLogFileName);
        return true;
    } catch (const DbError& e) {
        problem = "The migration log could not be written: " + e.description();
        return false;
    }
}

// The survey's private folder under the system's temporary folder ($TMPDIR
// honoured), removed with everything in it.
class SurveyFolder : public OwnFolder {
public:
    SurveyFolder() : OwnFolder(fs::temp_directory_path() / "dexmira-survey-XXXXXX") {}
};

}  // namespace

size_t CoreCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<size_t>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

Survey::Survey(SurveyOptions o, std::ostream& err)
    : o_(std::move(o)), err_(err), tty_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

Survey::End Survey::run() {
    for (size_t i = 0; i < o_.databases.size(); ++i)
        if (i % o_.shardN == o_.shardK - 1) {
            Row row;
            row.ordinal = i + 1;
            row.file = o_.databases[i];
            rows_.push_back(std::move(row));
        }
    std::optional<SurveyFolder> folder;
    try {
        folder.emplace();
    } catch (const std::exception& e) {
        err_ << "the survey cannot make its temporary folder: " << e.what() << "\n";
        return End::Failed;
    }
    folder_ = folder->path();
    StopSignals signals;
    signals_ = &signals;
    const End prepared = prepareReference();
    if (prepared != End::Finished) return prepared;
    progress();
    if (!runJobs()) return interrupted();
    endProgress();
    folder.reset();  // nothing is left behind once the summary is out
    SortForSummary(rows_);
    indexed_ = !o_.reportDir || WriteIndex(*o_.reportDir, {o_.reference, o_.product}, rows_, err_);
    return End::Finished;
}

std::vector<std::string> Survey::jobArgs(const fs::path& jobFolder) const {
    return {"dexmira", kJobCommand, "--product", o_.product, "--folder", jobFolder.string()};
}

void Survey::status(const std::string& text) {
    if (tty_) err_ << "\r" << text << "\x1b[K" << std::flush;
    else err_ << text << "\n";
}

void Survey::progress() {
    status("survey: " + std::to_string(done_) + "/" + std::to_string(rows_.size()) + " done, " +
           std::to_string(failed_) + " failed, " + elapsedText(std::chrono::steady_clock::now() - start_) +
           " elapsed");
}

void Survey::endProgress() {
    if (tty_) err_ << "\n";
}

// Waits for one job's output or a stop signal; false when stopped.
bool Survey::waitReadable(std::vector<Child*>& children, std::vector<Child*>& ended) {
    std::vector<pollfd> fds{{signals_->wakeFd(), POLLIN, 0}};
    for (auto* c : children) fds.push_back({c->fd, POLLIN, 0});
    while (!signals_->stopped()) {
        const int n = ::poll(fds.data(), fds.size(), tty_ ? 1000 : -1);
        if (signals_->stopped()) break;
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            progress();  // the elapsed time on a terminal
            continue;
        }
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents && !ReadSome(*children[i - 1])) ended.push_back(children[i - 1]);
        return true;
    }
    return false;
}

Survey::End Survey::prepareReference() {
    status("survey: preparing the reference '" + o_.reference + "'");
    const fs::path refFolder = folder_ / "reference";
    std::error_code ec;
    fs::create_directory(refFolder, ec);
    std::string error;
    auto args = jobArgs(refFolder);
    args.push_back(o_.reference);
    auto child = StartJob(args, error);
    JobOutcome outcome;
    if (child) {
        running_.push_back(std::move(*child));
        std::vector<Child*> children{&running_.back()}, ended;
        while (ended.empty())
            if (!waitReadable(children, ended)) return interrupted();
        outcome = OutcomeOf(running_.back(), WaitForExit(running_.back().pid));
        ::close(running_.back().fd);
        running_.clear();
        keepLog(refFolder);
    } else {
        outcome.error = error;
    }
    if (outcome.status != "ready") {
        endProgress();
        err_ << "the reference '" << o_.reference << "' could not be prepared, so nothing was compared: "
             << outcome.error << "\n";
        return End::Failed;
    }
    referenceCopy_ = (refFolder / kCopyB).string();
    referenceVersion_ = outcome.version;
    return End::Finished;
}

void Survey::startJob(size_t rowIndex) {
    Row& row = rows_[rowIndex];
    const fs::path jobFolder = folder_ / ("job-" + std::to_string(row.ordinal));
    std::error_code ec;
    fs::create_directory(jobFolder, ec);
    auto args = jobArgs(jobFolder);
    for (const std::string& a : {std::string("--reference"), referenceCopy_, std::string("--reference-name"), o_.reference})
        args.push_back(a);
    if (o_.reportDir) {
        args.push_back("--report-file");
        args.push_back((jobFolder / kJobReport).string());
    }
    args.push_back(row.file);
    std::string error;
    auto child = StartJob(args, error);
    if (!child) {
        finish(rowIndex, JobOutcome{"failed", std::nullopt, std::nullopt, std::nullopt, error, false}, jobFolder);
        return;
    }
    child->row = rowIndex;
    child->folder = jobFolder;
    running_.push_back(std::move(*child));
}

// False when a stop signal ended the survey.
bool Survey::runJobs() {
    size_t next = 0;
    while (next < rows_.size() || !running_.empty()) {
        if (signals_->stopped()) return false;
        while (running_.size() < o_.jobs && next < rows_.size()) startJob(next++);
        if (running_.empty()) continue;
        std::vector<Child*> children, ended;
        for (auto& c : running_) children.push_back(&c);
        if (!waitReadable(children, ended)) return false;
        for (Child* c : ended) {
            const int st = WaitForExit(c->pid);
            ::close(c->fd);
            finish(c->row, OutcomeOf(*c, st), c->folder);
            c->pid = -1;
        }
        running_.erase(std::remove_if(running_.begin(), running_.end(), [](const Child& c) { return c.pid < 0; }),
                       running_.end());
    }
    return !signals_->stopped();
}

void Survey::finish(size_t rowIndex, const JobOutcome& outcome, const fs::path& jobFolder) {
    Row& row = rows_[rowIndex];
    row.done = true;
    row.version = outcome.version;
    row.marked = outcome.marked;
    row.others = outcome.others;
    row.error = outcome.error;
    row.status = outcome.status == "same" ? Status::Same : outcome.status == "differs" ? Status::Differs : Status::Failed;
    if (row.status == Status::Failed && row.error.empty()) row.error = "The job reported '" + outcome.status + "'.";
    if (outcome.report && o_.reportDir) {
        const std::string name = ReportFileName(row.ordinal, o_.databases.size(), row.file);
        try {
            report::WriteWholeFile((fs::u8path(*o_.reportDir) / name).string(), readFile(jobFolder / kJobReport),
                                   "The report");
            row.report = name;
        } catch (const std::exception& e) {
            row.status = Status::Failed;
            row.error = e.what();
        }
    }
    keepLog(jobFolder);
    std::error_code ec;
    fs::remove_all(jobFolder, ec);
    ++done_;
    if (row.status == Status::Failed) ++failed_;
    progress();
}

void Survey::keepLog(const fs::path& jobFolder) {
    std::string problem;
    if (!appendLog(jobFolder, problem) && !logWarned_) {
        logWarned_ = true;
        if (tty_) err_ << "\n";
        err_ << "survey: " << problem << "\n";
    }
}

Survey::End Survey::interrupted() {
    for (auto& c : running_) ::kill(c.pid, SIGKILL);
    for (auto& c : running_) {
        WaitForExit(c.pid);
        ::close(c.fd);
    }
    running_.clear();
    std::error_code ec;
    fs::remove_all(folder_, ec);
    endProgress();
    err_ << "survey interrupted: " << done_ << " of " << rows_.size()
         << " databases were done; the running jobs were stopped and the temporary files removed\n";
    // What was done is not thrown away: the summary (and index) of those.
    planned_ = rows_.size();
    rows_.erase(std::remove_if(rows_.begin(), rows_.end(), [](const Row& r) { return !r.done; }), rows_.end());
    SortForSummary(rows_);
    if (o_.reportDir && !rows_.empty()) indexed_ = WriteIndex(*o_.reportDir, {o_.reference, o_.product}, rows_, err_);
    return End::Interrupted;
}

}  // namespace dex::survey
