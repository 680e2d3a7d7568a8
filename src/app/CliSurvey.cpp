// dexmira survey and its internal job command.
//
// The survey (the parent) checks its arguments, makes one private folder
// under the system's temporary folder, has a job prepare the reference there
// once (copy or import, then migrate), then starts up to --jobs jobs at a
// time, one per database. Each job runs this program again with
// kSurveyJobCommand in a folder of its own inside the survey's folder and
// prints one result line. The parent keeps one summary row per database, copies
// each finished job's report into the report folder and its migration log
// into the program's log, then removes the job's folder.
//
// Why processes and not threads: the Jet reader (libmdb) may crash on a
// damaged file and points the process's stderr at /dev/null while it runs,
// and each database engine is meant for one thread. A child that dies only
// fails its own row.
#include "CliSurvey.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "CliHelp.h"
#include "CompactOpen.h"
#include "CompareRun.h"
#include "DbSession.h"
#include "FileCopy.h"
#include "JetStore.h"
#include "MigrationEngine.h"
#include "MigrationLog.h"
#include "ProductCatalogues.h"
#include "Report.h"
#include "Version.h"
#include "Workbench.h"
#include "modCmpDB.h"
#include "ProductMigrator.h"
#include "modDBsub.h"

extern char** environ;

namespace dex::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCopyA = "temp(A).mdb";
constexpr const char* kCopyB = "temp(B).mdb";
constexpr const char* kJobReport = "report.html";
constexpr const char* kSynopsis =
    "usage: dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] [--shard K/N]\n";

// ---- text helpers ----

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size())
        out += text.substr(pos, hit - pos) + to;
    return out + text.substr(pos);
}

// The length of the valid UTF-8 sequence at s[i] (2 to 4 bytes), 0 when none.
size_t utf8Sequence(const std::string& s, size_t i, uint32_t* codePoint = nullptr) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07;
    else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    if (codePoint) *codePoint = cp;
    return len;
}

// Columns a text takes in a terminal: Hangul and CJK characters two.
size_t displayWidth(const std::string& s) {
    size_t width = 0;
    for (size_t i = 0; i < s.size();) {
        uint32_t cp = 0;
        const size_t len = static_cast<unsigned char>(s[i]) < 0x80 ? 1 : utf8Sequence(s, i, &cp);
        if (len == 0) {
            ++width, ++i;
            continue;
        }
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6);
        width += wide ? 2 : 1;
        i += len;
    }
    return width;
}

std::string padded(const std::string& s, size_t width) {
    const size_t w = displayWidth(s);
    return w >= width ? s : s + std::string(width - w, ' ');
}

// A report's file name: the database's ordinal, then its base name with
// every byte that is not a letter, digit, '.', '-', '_' or part of a valid
// UTF-8 character replaced by '_' (at most 100 bytes of it). Two databases
// may share a base name; their ordinals differ.
std::string reportFileName(size_t ordinal, size_t total, const std::string& path) {
    std::string digits = std::to_string(ordinal);
    const size_t width = std::max<size_t>(4, std::to_string(total).size());
    digits.insert(0, width - std::min(width, digits.size()), '0');
    const std::string base = fs::path(path).filename().string();
    std::string safe;
    constexpr size_t kMaxBytes = 100;
    for (size_t i = 0; i < base.size() && safe.size() < kMaxBytes;) {
        const auto c = static_cast<unsigned char>(base[i]);
        if (c < 0x80) {
            safe += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
            ++i;
            continue;
        }
        const size_t len = utf8Sequence(base, i);
        if (len == 0) {
            safe += '_';
            ++i;
            continue;
        }
        if (safe.size() + len > kMaxBytes) break;
        safe.append(base, i, len);
        i += len;
    }
    if (safe.empty()) safe = "database";
    return digits + "-" + safe + ".html";
}

// A file name as a relative URL: every byte but the unreserved ones in %XX.
std::string urlPath(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string elapsedText(std::chrono::steady_clock::duration d) {
    const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
    char buf[32];
    if (s >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

std::string nowText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::optional<long> wholeNumber(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || p != end || text.empty()) return std::nullopt;
    return value;
}

size_t coreCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<size_t>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

// ---- the job's result line ----

// What one job found. status: "ready" (the reference), "same", "differs", "failed".
// The job prints it as one line of tab-separated fields after a tag:
// status, version, marked rows ("-" for none), report written (1 or 0), error.
struct JobOutcome {
    static constexpr const char* kTag = "dexmira-survey-result";
    std::string status = "failed";
    std::optional<long> version;  // stored before the migration
    std::optional<long> marked;
    std::string error;
    bool report = false;

    std::string line() const {
        const auto number = [](const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("-"); };
        std::string oneLine = OneLineMessage(error);
        std::replace(oneLine.begin(), oneLine.end(), '\t', ' ');
        return std::string(kTag) + "\t" + status + "\t" + number(version) + "\t" + number(marked) + "\t" +
               (report ? "1" : "0") + "\t" + oneLine;
    }

    static std::optional<JobOutcome> fromLine(const std::string& line) {
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (fields.size() != 6 || fields[0] != kTag || fields[1].empty()) return std::nullopt;
        JobOutcome o;
        o.status = fields[1];
        o.version = wholeNumber(fields[2]);
        o.marked = wholeNumber(fields[3]);
        o.report = fields[4] == "1";
        o.error = fields[5];
        return o;
    }
};

// ---- the job ----

struct Headless {
    Headless(DbEngine& engine, Dialogs& dialogs) : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(modCmpDB::kColumns);
    }
    Grid grid;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    Workbench wb;
};

struct JobRequest {
    std::string source;        // the user's database
    std::string productName;   // as given to the survey
    std::string productCode;
    fs::path folder;           // the job's own folder
    std::string referenceCopy, referenceName;  // empty: this job prepares the reference
    std::string reportFile;    // empty: no report
};

// The messages shown from index `from` on, each on one line, joined by " / ".
std::string messagesText(const RecordingDialogs& dialogs, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to && i < dialogs.shown.size(); ++i)
        text += (text.empty() ? "" : " / ") + OneLineMessage(dialogs.shown[i].text);
    return text;
}

// Copies (or imports) the source into the job's folder, reads the stored
// version and migrates the copy with the product's catalogue, exactly as the
// Compare button migrates its copies, but with the migration log in the
// job's folder. False: the copy cannot be used (outcome.error says why).
bool prepareCopy(const JobRequest& req, const std::string& copy, RecordingDialogs& dialogs, JobOutcome& outcome) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::u8path(req.source), ec)) {
        outcome.error = OneLineMessage(FileNotFoundText(req.source));
        return false;
    }
    try {
        MakeWorkingCopy(req.source, copy);
        ProductMigrator migrator(dialogs, req.folder);  // its log in the job's folder
        modDBsub::DBOpen(migrator.session(), copy, kProductPassword);
        try {
            if (auto v = migration::ReadStoredVersionRow(migrator.session())) outcome.version = *v;
        } catch (const DbError&) {
            // No readable version: the migration reports it in its own words.
        }
        const size_t before = dialogs.shown.size();
        const bool migrated = migrator.migrate(req.productCode, copy);
        migrator.release();
        if (!migrated) {
            outcome.error = messagesText(dialogs, before, dialogs.shown.size());
            if (outcome.error.empty()) outcome.error = "The migration stopped.";
            return false;
        }
        return true;
    } catch (const DbError& e) {
        outcome.error = "Error " + std::to_string(e.number()) + " (" + e.description() + ")";
    } catch (const fs::filesystem_error& e) {
        outcome.error = e.code().message() + ": '" + e.path1().string() + "'";
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    return false;
}

JobOutcome runJob(DbEngine& engine, const JobRequest& req) {
    JobOutcome outcome;
    RecordingDialogs dialogs;  // questions are answered No, as compare does without --yes
    const bool reference = req.referenceCopy.empty();
    const std::string copy = (req.folder / (reference ? kCopyB : kCopyA)).string();
    // Messages name the user's files, never the copies the user never chose.
    auto naming = [&](const std::string& text) {
        std::string t = replaceAll(text, copy, req.source);
        return reference ? t : replaceAll(t, req.referenceCopy, req.referenceName);
    };
    const bool prepared = prepareCopy(req, copy, dialogs, outcome);
    const size_t migrationMessages = dialogs.shown.size();
    if (!prepared || reference) {
        // The catalogue may go on after a step's error and still finish; as
        // for compare, any message shown makes the run a failure.
        if (prepared && migrationMessages > 0) outcome.error = messagesText(dialogs, 0, migrationMessages);
        outcome.status = prepared && migrationMessages == 0 ? "ready" : "failed";
        outcome.error = naming(outcome.error);
        return outcome;
    }
    Headless h(engine, dialogs);
    LoadedStructures loaded;
    h.wb.structures = &loaded;
    bool ran = false;
    try {
        ran = LoadAndCompare(h.wb, copy, req.referenceCopy);
    } catch (const std::exception& e) {
        dialogs.message(e.what(), kAppTitle, Icon::None);
    }
    if (!ran) {
        outcome.error = naming(messagesText(dialogs, 0, dialogs.shown.size()));
        if (outcome.error.empty()) outcome.error = "The structures could not be loaded.";
        return outcome;
    }
    long count = 0;
    for (int r = 1; r <= h.grid.rowCount(); ++r)
        if (modCmpDB::GetCellText(h.grid, modCmpDB::kMarkColumn, r) == "!") ++count;
    outcome.marked = count;
    // A finished run shows one message, its result; any other one fails the row.
    if (dialogs.shown.size() > 1) outcome.error = naming(messagesText(dialogs, 0, dialogs.shown.size() - 1));
    outcome.status = !outcome.error.empty() ? "failed" : count > 0 ? "differs" : "same";
    if (!req.reportFile.empty()) {
        std::vector<report::Message> messages;
        for (const auto& m : dialogs.shown) messages.push_back({m.title, m.text, m.icon});
        report::ReportData data =
            report::MakeReportData(h.grid, &loaded, std::move(messages), words::DesktopLanguage());
        data.requestedA = req.source;
        data.requestedB = req.referenceName;
        data.product = req.productName;
        try {
            report::WriteReport(req.reportFile, data);
            outcome.report = true;
        } catch (const std::exception& e) {
            outcome.status = "failed";
            outcome.error = e.what();
        }
    }
    return outcome;
}

// ---- the survey ----

volatile sig_atomic_t g_stopSignal = 0;
int g_wakeFd = -1;

extern "C" void onStopSignal(int signo) {
    g_stopSignal = signo;
    if (g_wakeFd >= 0) {
        const int saved = errno;
        [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, "x", 1);
        errno = saved;
    }
}

// SIGINT, SIGTERM and SIGHUP set a flag and wake the survey's poll through a
// pipe; the handlers are put back when the survey ends.
class StopSignals {
public:
    StopSignals() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
        g_stopSignal = 0;
        g_wakeFd = fds_[1];
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: a blocking wait returns with EINTR
        for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &sa, &old_[i]);
    }
    ~StopSignals() {
        for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
        g_wakeFd = -1;
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int wakeFd() const { return fds_[0]; }
    bool stopped() const { return g_stopSignal != 0; }
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

private:
    int fds_[2] = {-1, -1};
    struct sigaction old_[3] {};
};

// The survey's private folder under the system's temporary folder ($TMPDIR
// honoured), removed with everything in it.
class SurveyFolder : public OwnFolder {
public:
    SurveyFolder() : OwnFolder(fs::temp_directory_path() / "dexmira-survey-XXXXXX") {}
};

enum class Status { Same, Differs, Failed };

struct Row {
    size_t ordinal = 0;  // 1-based position in the command's list of databases
    std::string file;
    std::optional<long> version;
    std::optional<long> marked;
    Status status = Status::Failed;
    std::string error;
    std::string report;  // the report's file name in the report folder, "" when none
};

const char* statusName(Status s) {
    switch (s) {
        case Status::Same: return "same";
        case Status::Differs: return "differs";
        case Status::Failed: return "failed";
    }
    return "";
}

struct Child {
    pid_t pid = -1;
    int fd = -1;       // the job's stdout
    size_t row = 0;    // index into the rows (unused for the reference)
    fs::path folder;
    std::string output;
};

// Starts this program with the job command: stdin from /dev/null, stdout
// into a pipe, stderr shared, in a process group of its own (so a Ctrl+C on
// the terminal reaches only the survey, which then stops its jobs), with the
// usual signal dispositions.
std::optional<Child> spawnJob(const std::vector<std::string>& args, std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot start a job: ") + std::strerror(errno);
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigemptyset(&defaults);
    for (int s : StopSignals::kSignals) sigaddset(&defaults, s);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, "/proc/self/exe", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        error = std::string("cannot start a job: ") + std::strerror(rc);
        return std::nullopt;
    }
    Child c;
    c.pid = pid;
    c.fd = fds[0];
    return c;
}

// Reads what is there; false at the end of the job's output.
bool readSome(Child& c) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(c.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        constexpr size_t kMaxOutput = 1 << 20;  // a result line is small; more is not read into memory
        if (c.output.size() < kMaxOutput) c.output.append(buf, static_cast<size_t>(n));
        return true;
    }
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The job's result, or a failure saying how the job ended without one.
JobOutcome outcomeOf(const Child& c, int waitStatus) {
    std::string last;
    std::istringstream lines(c.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(JobOutcome::kTag, 0) == 0) last = line;
    if (auto o = JobOutcome::fromLine(last); o && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0) return *o;
    JobOutcome failed;
    if (WIFSIGNALED(waitStatus))
        failed.error = "The job for this database ended without a result (signal " +
                       std::to_string(WTERMSIG(waitStatus)) + ", " + strsignal(WTERMSIG(waitStatus)) + ").";
    else
        failed.error = "The job for this database ended without a result (exit status " +
                       std::to_string(WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1) + ").";
    return failed;
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

// The report folder: made when missing; a link or a file there is refused.
bool useReportFolder(std::string dir, std::ostream& err) {
    if (dir.empty()) {
        err << "the report folder must be named: --report DIR\n";
        return false;
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    struct stat st {};
    if (::lstat(dir.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            err << "the report folder '" << dir << "' is a symbolic link; give a real folder\n";
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {
            err << "the report folder '" << dir << "' is not a folder\n";
            return false;
        }
        return true;
    }
    std::error_code ec;
    fs::create_directories(fs::u8path(dir), ec);
    if (ec) {
        err << "the report folder '" << dir << "' cannot be made (" << ec.message() << ")\n";
        return false;
    }
    return true;
}

struct Options {
    std::string reference;
    std::vector<std::string> databases;
    std::string product, productCode;
    std::optional<std::string> reportDir;
    size_t jobs = 1;
    bool json = false;
    size_t shardK = 1, shardN = 1;
    bool sharded = false;
};

class Survey {
public:
    Survey(Options o, std::ostream& out, std::ostream& err)
        : o_(std::move(o)), out_(out), err_(err), tty_(::isatty(STDERR_FILENO) == 1),
          start_(std::chrono::steady_clock::now()) {}

    int run() {
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
            return kFailure;
        }
        folder_ = folder->path();
        StopSignals signals;
        signals_ = &signals;
        const int prepared = prepareReference();
        if (prepared != kOk) return prepared;
        progress();
        if (!runJobs()) return interrupted();
        endProgress();
        folder.reset();  // nothing is left behind once the summary is out
        // Most marked rows first, ties in the order given; failed rows last,
        // in the order given, where a terminal keeps them in sight.
        std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) {
            if ((a.status == Status::Failed) != (b.status == Status::Failed)) return b.status == Status::Failed;
            return a.status != Status::Failed && a.marked.value_or(0) > b.marked.value_or(0);
        });
        const bool indexed = !o_.reportDir || writeIndex();
        if (o_.json) printJson();
        else printTable();
        if (count(Status::Failed) > 0 || !indexed) return kFailure;
        return count(Status::Differs) > 0 ? kDifferences : kOk;
    }

private:
    size_t count(Status s) const {
        return static_cast<size_t>(std::count_if(rows_.begin(), rows_.end(), [s](const Row& r) { return r.status == s; }));
    }

    std::vector<std::string> jobArgs(const fs::path& jobFolder) const {
        return {"dexmira", kSurveyJobCommand, "--product", o_.product, "--folder", jobFolder.string()};
    }

    void status(const std::string& text) {
        if (tty_) err_ << "\r" << text << "\x1b[K" << std::flush;
        else err_ << text << "\n";
    }
    void progress() {
        status("survey: " + std::to_string(done_) + "/" + std::to_string(rows_.size()) + " done, " +
               std::to_string(failed_) + " failed, " +
               elapsedText(std::chrono::steady_clock::now() - start_) + " elapsed");
    }
    void endProgress() {
        if (tty_) err_ << "\n";
    }

    // Waits for one job's output or a stop signal; false when stopped.
    bool waitReadable(std::vector<Child*>& children, std::vector<Child*>& ended) {
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
                if (fds[i].revents && !readSome(*children[i - 1])) ended.push_back(children[i - 1]);
            return true;
        }
        return false;
    }

    int prepareReference() {
        status("survey: preparing the reference '" + o_.reference + "'");
        const fs::path refFolder = folder_ / "reference";
        std::error_code ec;
        fs::create_directory(refFolder, ec);
        std::string error;
        auto args = jobArgs(refFolder);
        args.push_back(o_.reference);
        auto child = spawnJob(args, error);
        JobOutcome outcome;
        if (child) {
            running_.push_back(std::move(*child));
            std::vector<Child*> children{&running_.back()}, ended;
            while (ended.empty())
                if (!waitReadable(children, ended)) return interrupted();
            outcome = outcomeOf(running_.back(), waitFor(running_.back().pid));
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
            return kFailure;
        }
        referenceCopy_ = (refFolder / kCopyB).string();
        referenceVersion_ = outcome.version;
        return kOk;
    }

    void startJob(size_t rowIndex) {
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
        auto child = spawnJob(args, error);
        if (!child) {
            finish(rowIndex, JobOutcome{"failed", std::nullopt, std::nullopt, error, false}, jobFolder);
            return;
        }
        child->row = rowIndex;
        child->folder = jobFolder;
        running_.push_back(std::move(*child));
    }

    // False when a stop signal ended the survey.
    bool runJobs() {
        size_t next = 0;
        while (next < rows_.size() || !running_.empty()) {
            if (signals_->stopped()) return false;
            while (running_.size() < o_.jobs && next < rows_.size()) startJob(next++);
            if (running_.empty()) continue;
            std::vector<Child*> children, ended;
            for (auto& c : running_) children.push_back(&c);
            if (!waitReadable(children, ended)) return false;
            for (Child* c : ended) {
                const int st = waitFor(c->pid);
                ::close(c->fd);
                finish(c->row, outcomeOf(*c, st), c->folder);
                c->pid = -1;
            }
            running_.erase(std::remove_if(running_.begin(), running_.end(), [](const Child& c) { return c.pid < 0; }),
                           running_.end());
        }
        return !signals_->stopped();
    }

    void finish(size_t rowIndex, const JobOutcome& outcome, const fs::path& jobFolder) {
        Row& row = rows_[rowIndex];
        row.version = outcome.version;
        row.marked = outcome.marked;
        row.error = outcome.error;
        row.status = outcome.status == "same" ? Status::Same : outcome.status == "differs" ? Status::Differs : Status::Failed;
        if (row.status == Status::Failed && row.error.empty()) row.error = "The job reported '" + outcome.status + "'.";
        if (outcome.report && o_.reportDir) {
            const std::string name = reportFileName(row.ordinal, o_.databases.size(), row.file);
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

    void keepLog(const fs::path& jobFolder) {
        std::string problem;
        if (!appendLog(jobFolder, problem) && !logWarned_) {
            logWarned_ = true;
            if (tty_) err_ << "\n";
            err_ << "survey: " << problem << "\n";
        }
    }

    int interrupted() {
        for (auto& c : running_) ::kill(c.pid, SIGKILL);
        for (auto& c : running_) {
            waitFor(c.pid);
            ::close(c.fd);
        }
        running_.clear();
        std::error_code ec;
        fs::remove_all(folder_, ec);
        endProgress();
        err_ << "survey interrupted: " << done_ << " of " << rows_.size()
             << " databases were done; the running jobs were stopped and the temporary files removed\n";
        return kInterrupted;
    }

    std::string versionText(const std::optional<long>& v) const { return v ? std::to_string(*v) : "-"; }
    std::string statusText(const Row& r) const {
        return r.status == Status::Failed ? "failed: " + r.error : statusName(r.status);
    }

    std::string totals() const {
        return std::to_string(rows_.size()) + (rows_.size() == 1 ? " database: " : " databases: ") +
               std::to_string(count(Status::Differs)) + " differ, " + std::to_string(count(Status::Same)) +
               " same, " + std::to_string(count(Status::Failed)) + " failed";
    }

    void printTable() {
        const std::vector<std::string> head{"file", "version", "marked", "status"};
        std::vector<size_t> width{displayWidth(head[0]), head[1].size(), head[2].size()};
        for (const auto& r : rows_) {
            width[0] = std::max(width[0], displayWidth(report::OneLineText(r.file)));
            width[2] = std::max(width[2], r.marked ? std::to_string(*r.marked).size() : 1);
        }
        auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
            out_ << padded(a, width[0]) << "  " << padded(b, width[1]) << "  " << padded(c, width[2]) << "  " << d << "\n";
        };
        line(head[0], head[1], head[2], head[3]);
        for (const auto& r : rows_)
            line(report::OneLineText(r.file), versionText(r.version), versionText(r.marked),
                 report::OneLineText(statusText(r)));
        out_ << totals() << (o_.sharded ? " (shard " + std::to_string(o_.shardK) + "/" + std::to_string(o_.shardN) + ")" : "")
             << "\n";
    }

    void printJson() {
        auto number = [](const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("null"); };
        out_ << "{\"reference\":" << jsonString(o_.reference) << ",\"referenceVersion\":" << number(referenceVersion_)
             << ",\"product\":" << jsonString(o_.product) << ",\"shard\":"
             << (o_.sharded ? jsonString(std::to_string(o_.shardK) + "/" + std::to_string(o_.shardN)) : "null")
             << ",\"databases\":[";
        for (size_t i = 0; i < rows_.size(); ++i) {
            const Row& r = rows_[i];
            out_ << (i ? ",\n" : "\n") << "{\"ordinal\":" << r.ordinal << ",\"file\":" << jsonString(r.file)
                 << ",\"version\":" << number(r.version) << ",\"marked\":" << number(r.marked)
                 << ",\"status\":" << jsonString(statusName(r.status))
                 << ",\"error\":" << (r.status == Status::Failed ? jsonString(r.error) : "null")
                 << ",\"report\":" << (r.report.empty() ? "null" : jsonString(r.report)) << "}";
        }
        out_ << "],\n\"differ\":" << count(Status::Differs) << ",\"same\":" << count(Status::Same)
             << ",\"failed\":" << count(Status::Failed) << "}\n";
    }

    // index.html in the report folder: every database in the summary's
    // order, each report linked. False when it cannot be written.
    bool writeIndex() {
        using report::HtmlEscape;
        std::ostringstream h;
        h << "<!DOCTYPE html>\n<html lang=\"ko\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
          << HtmlEscape("Dexmira survey " + nowText()) << "</title>\n<style>\n"
          << "body { font-family: sans-serif; font-size: 10pt; margin: 1.5em; }\n"
          << "table { border-collapse: collapse; }\n"
          << "th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; vertical-align: top; }\n"
          << "td.n { text-align: right; }\n.failed { color: #B00000; }\n"
          << "@media print { @page { size: A4; margin: 12mm; } }\n"
          << "</style>\n</head>\n<body>\n<h1>Survey</h1>\n<table>\n"
          << "<tr><th>Reference</th><td>" << HtmlEscape(o_.reference) << "</td></tr>\n"
          << "<tr><th>Product</th><td>" << HtmlEscape(o_.product) << "</td></tr>\n"
          << "<tr><th>Date</th><td>" << HtmlEscape(nowText()) << "</td></tr>\n"
          << "<tr><th>Program</th><td>" << HtmlEscape(std::string("Dexmira ") + DEXMIRA_VERSION_TEXT) << "</td></tr>\n"
          << "<tr><th>Result</th><td>" << HtmlEscape(totals()) << "</td></tr>\n</table>\n"
          << "<h2>Databases</h2>\n<table>\n<thead><tr><th>#</th><th>Database</th><th>Stored version</th>"
          << "<th>Marked rows</th><th>Status</th></tr></thead>\n<tbody>\n";
        for (const auto& row : rows_) {
            const Row* r = &row;
            h << "<tr><td class=\"n\">" << r->ordinal << "</td><td>";
            if (r->report.empty()) h << HtmlEscape(r->file);
            else h << "<a href=\"" << HtmlEscape(urlPath(r->report)) << "\">" << HtmlEscape(r->file) << "</a>";
            h << "</td><td class=\"n\">" << HtmlEscape(versionText(r->version)) << "</td><td class=\"n\">"
              << HtmlEscape(versionText(r->marked)) << "</td><td" << (r->status == Status::Failed ? " class=\"failed\"" : "")
              << ">" << HtmlEscape(statusText(*r)) << "</td></tr>\n";
        }
        h << "</tbody>\n</table>\n</body>\n</html>\n";
        try {
            report::WriteWholeFile((fs::u8path(*o_.reportDir) / "index.html").string(), h.str(), "The survey's index");
            return true;
        } catch (const std::exception& e) {
            err_ << e.what() << "\n";
            return false;
        }
    }

    Options o_;
    std::ostream& out_;
    std::ostream& err_;
    bool tty_;
    std::chrono::steady_clock::time_point start_;
    fs::path folder_;
    StopSignals* signals_ = nullptr;
    std::vector<Row> rows_;
    std::vector<Child> running_;
    std::string referenceCopy_;
    std::optional<long> referenceVersion_;
    size_t done_ = 0, failed_ = 0;
    bool logWarned_ = false;
};

}  // namespace

int cmdSurvey(Args args, std::ostream& out, std::ostream& err) {
    Options o;
    o.json = args.flag("--json");
    const auto product = args.option("--product");
    o.reportDir = args.option("--report");
    const auto jobs = args.option("--jobs");
    const auto shard = args.option("--shard");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf("survey");
        return kFailure;
    }
    if (args.rest().size() < 2 || !product) {
        err << kSynopsis;
        return kFailure;
    }
    o.product = *product;
    o.productCode = migration::ProductCodeFor(*product);
    if (o.productCode.empty()) {
        err << "unknown product '" << *product
            << "': give a list entry (VelmoraII, VelmoraLite, QuensaII, QuensaPro, TallyvoII) or a product code\n";
        return kFailure;
    }
    o.jobs = coreCount();
    if (jobs) {
        const auto n = wholeNumber(*jobs);
        if (!n || *n < 1 || *n > 1024) {
            err << "--jobs wants a whole number from 1 to 1024, not '" << *jobs << "'\n";
            return kFailure;
        }
        o.jobs = static_cast<size_t>(*n);
    }
    if (shard) {
        const size_t slash = shard->find('/');
        const auto k = slash == std::string::npos ? std::nullopt : wholeNumber(shard->substr(0, slash));
        const auto n = slash == std::string::npos ? std::nullopt : wholeNumber(shard->substr(slash + 1));
        if (!k || !n || *n < 1 || *k < 1 || *k > *n) {
            err << "--shard wants K/N with N at least 1 and K from 1 to N (K counts from 1), not '" << *shard << "'\n";
            return kFailure;
        }
        o.shardK = static_cast<size_t>(*k);
        o.shardN = static_cast<size_t>(*n);
        o.sharded = true;
    }
    if (o.reportDir && !useReportFolder(*o.reportDir, err)) return kFailure;
    o.reference = args.rest()[0];
    o.databases.assign(args.rest().begin() + 1, args.rest().end());
    return Survey(std::move(o), out, err).run();
}

int cmdSurveyJob(DbEngine& engine, Args args, std::ostream& out, std::ostream& err) {
    // A job outlives no survey: when the survey is gone, nobody reads its result.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    JobRequest req;
    const auto product = args.option("--product");
    const auto folder = args.option("--folder");
    req.referenceCopy = args.option("--reference").value_or("");
    req.referenceName = args.option("--reference-name").value_or(req.referenceCopy);
    req.reportFile = args.option("--report-file").value_or("");
    if (args.unknownOption() || args.rest().size() != 1 || !product || !folder ||
        migration::ProductCodeFor(*product).empty()) {
        err << usageOf(kSurveyJobCommand);
        return kFailure;
    }
    req.source = args.rest()[0];
    req.productName = *product;
    req.productCode = migration::ProductCodeFor(*product);
    req.folder = fs::u8path(*folder);
    JobOutcome outcome;
    try {
        outcome = runJob(engine, req);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    out << outcome.line() << "\n" << std::flush;
    return kOk;
}

}  // namespace dex::cli
