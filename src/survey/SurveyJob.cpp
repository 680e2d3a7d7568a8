#include "SurveyJob.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <vector>

#include "CompactOpen.h"
#include "CompareRun.h"
#include "DifferenceSummary.h"
#include "DisplayText.h"
#include "MigrationEngine.h"
#include "ProductMigrator.h"
#include "Report.h"
#include "Workbench.h"
#include "Words.h"
#include "modDBsub.h"
#include "NameText.h"

namespace dex::survey {

namespace fs = std::filesystem;

namespace {
struct Headless {
    Headless(DbEngine& engine, Dialogs& dialogs) : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(gridlayout::kColumns);
    }
    Grid grid;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    Workbench wb;
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
        MakeWorkingCopy(req.source, copy, req.password);
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

}  // namespace

std::optional<long> WholeNumber(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || p != end || text.empty()) return std::nullopt;
    return value;
}

std::string JobOutcome::line() const {
    const auto number = [](const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("-"); };
    std::string oneLine = OneLineMessage(error);
    std::replace(oneLine.begin(), oneLine.end(), '\t', ' ');
    return std::string(kTag) + "\t" + status + "\t" + number(version) + "\t" + number(marked) + "\t" +
           number(others) + "\t" + (report ? "1" : "0") + "\t" + oneLine;
}

std::optional<JobOutcome> JobOutcome::fromLine(const std::string& line) {
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields.size() != 7 || fields[0] != kTag || fields[1].empty()) return std::nullopt;
    JobOutcome o;
    o.status = fields[1];
    o.version = WholeNumber(fields[2]);
    o.marked = WholeNumber(fields[3]);
    o.others = WholeNumber(fields[4]);
    o.report = fields[5] == "1";
    o.error = fields[6];
    return o;
}

JobOutcome RunJob(DbEngine& engine, const JobRequest& req) {
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
    const long count = static_cast<long>(report::CountMarked(report::TakeGridRows(h.grid)));
    outcome.marked = count;
    const summary::Counts others =
        loaded.complete() ? summary::CountOf(indexdiff::CompareStructures(loaded.tablesA, loaded.tablesB))
                          : summary::Counts{};
    outcome.others = static_cast<long>(others.total());
    // A finished run shows one message, its result; any other one fails the row.
    if (dialogs.shown.size() > 1) outcome.error = naming(messagesText(dialogs, 0, dialogs.shown.size() - 1));
    outcome.status = !outcome.error.empty() ? "failed" : summary::AnythingDiffers(count, others) ? "differs" : "same";
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

}  // namespace dex::survey
