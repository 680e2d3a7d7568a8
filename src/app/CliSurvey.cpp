// dexmira survey and its internal job command: their arguments, and the
// summary printed as a table or as JSON. The survey itself is in survey/.
#include "CliSurvey.h"

#include <signal.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "CliHelp.h"
#include "DisplayText.h"
#include "ProductCatalogues.h"
#include "Products.h"
#include "Report.h"
#include "ReportIndex.h"
#include "Survey.h"
#include "SurveyJob.h"
#include "SurveyMerge.h"
#include "Workbench.h"

namespace dex::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSynopsis =
    "usage: dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] [--shard K/N]\n"
    "                      [--password-db PW] [--password-ref PW]\n"
    "       dexmira survey --merge DIR|FILE.json... [--report OUT] [--json]\n";

using survey::Row;
using survey::Status;

std::string shardText(const survey::SurveyOptions& o) {
    return std::to_string(o.shardK) + "/" + std::to_string(o.shardN);
}

// The summary as a table: one row per database, then the totals and a note
// (the shard, an interruption).
void printTable(const std::vector<Row>& rows, const std::string& note, std::ostream& out) {
    const std::vector<std::string> head{"file", "version", "marked", "others", "status"};
    std::vector<size_t> width{DisplayWidth(head[0]), head[1].size(), head[2].size(), head[3].size()};
    for (const auto& r : rows) {
        width[0] = std::max(width[0], DisplayWidth(report::OneLineText(r.file)));
        width[2] = std::max(width[2], survey::NumberText(r.marked).size());
        width[3] = std::max(width[3], survey::NumberText(r.others).size());
    }
    auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                    const std::string& e) {
        out << PadToWidth(a, width[0]) << "  " << PadToWidth(b, width[1]) << "  " << PadToWidth(c, width[2]) << "  "
            << PadToWidth(d, width[3]) << "  " << e << "\n";
    };
    line(head[0], head[1], head[2], head[3], head[4]);
    for (const auto& r : rows)
        line(report::OneLineText(r.file), survey::NumberText(r.version), survey::NumberText(r.marked),
             survey::NumberText(r.others), report::OneLineText(survey::StatusText(r)));
    out << survey::TotalsText(rows) << note << "\n";
}

survey::Summary summaryOf(const survey::Survey& s) {
    return {s.options().reference, s.options().product, s.referenceVersion(), s.rows()};
}

std::optional<std::string> shardOf(const survey::SurveyOptions& o) {
    return o.sharded ? std::optional(shardText(o)) : std::nullopt;
}

std::string noteOf(const survey::Survey& s) {
    std::string note = s.options().sharded ? " (shard " + shardText(s.options()) + ")" : "";
    if (s.planned())
        note += " (interrupted: " + std::to_string(s.rows().size()) + " of " + std::to_string(s.planned()) + " done)";
    return note;
}

void printSummary(const survey::Survey& s, bool json, std::ostream& out, std::ostream& err) {
    const std::string document = survey::SummaryJson(summaryOf(s), shardOf(s.options()), s.planned() > 0);
    if (json) out << document;
    else printTable(s.rows(), noteOf(s), out);
    out << std::flush;
    // Beside the index, the summary that --merge reads back.
    if (s.options().reportDir) {
        try {
            report::WriteWholeFile((fs::u8path(*s.options().reportDir) / survey::kSummaryFile).string(), document,
                                   "The survey's summary");
        } catch (const std::exception& e) {
            err << e.what() << "\n";
        }
    }
}

int exitStatusOf(const std::vector<Row>& rows) {
    if (survey::CountRows(rows, Status::Failed) > 0) return kFailure;
    return survey::CountRows(rows, Status::Differs) > 0 ? kDifferences : kOk;
}

// dexmira survey --merge INPUT... [--report OUT] [--json]
int runMerge(Args& args, bool json, const std::optional<std::string>& reportDir, std::ostream& out, std::ostream& err) {
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf("survey");
        return kFailure;
    }
    if (args.rest().empty()) {
        err << kSynopsis;
        return kFailure;
    }
    if (reportDir && !survey::UseReportFolder(*reportDir, err)) return kFailure;
    survey::Summary merged;
    if (!survey::MergeSummaries(args.rest(), reportDir, merged, err)) return kFailure;
    if (json) out << survey::SummaryJson(merged, std::nullopt, false);
    else printTable(merged.rows, "", out);
    return exitStatusOf(merged.rows);
}

}  // namespace

int runSurvey(Args args, std::ostream& out, std::ostream& err) {
    survey::SurveyOptions o;
    const bool json = args.flag("--json");
    const auto product = args.option("--product");
    o.reportDir = args.option("--report");
    const auto jobs = args.option("--jobs");
    const auto shard = args.option("--shard");
    const auto passwordDb = args.option("--password-db"), passwordRef = args.option("--password-ref");
    if (args.flag("--merge")) return runMerge(args, json, o.reportDir, out, err);
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
            << "': give a list entry (" << ProductEntryNames() << ") or a product code\n";
        return kFailure;
    }
    o.jobs = survey::CoreCount();
    if (jobs) {
        const auto n = survey::WholeNumber(*jobs);
        if (!n || *n < 1 || *n > 1024) {
            err << "--jobs wants a whole number from 1 to 1024, not '" << *jobs << "'\n";
            return kFailure;
        }
        o.jobs = static_cast<size_t>(*n);
    }
    if (shard) {
        const size_t slash = shard->find('/');
        const auto k = slash == std::string::npos ? std::nullopt : survey::WholeNumber(shard->substr(0, slash));
        const auto n = slash == std::string::npos ? std::nullopt : survey::WholeNumber(shard->substr(slash + 1));
        if (!k || !n || *n < 1 || *k < 1 || *k > *n) {
            err << "--shard wants K/N with N at least 1 and K from 1 to N (K counts from 1), not '" << *shard << "'\n";
            return kFailure;
        }
        o.shardK = static_cast<size_t>(*k);
        o.shardN = static_cast<size_t>(*n);
        o.sharded = true;
    }
    if (o.reportDir && !survey::UseReportFolder(*o.reportDir, err)) return kFailure;
    // The jobs inherit them (see SurveyJob.h).
    if (passwordDb) ::setenv(survey::kDatabasePasswordVariable, passwordDb->c_str(), 1);
    if (passwordRef) ::setenv(survey::kReferencePasswordVariable, passwordRef->c_str(), 1);
    o.reference = args.rest()[0];
    o.databases.assign(args.rest().begin() + 1, args.rest().end());
    survey::Survey s(std::move(o), err);
    switch (s.run()) {
        case survey::Survey::End::Failed: return kFailure;
        case survey::Survey::End::Interrupted:
            // The databases done so far, then the status of an interruption.
            printSummary(s, json, out, err);
            return kInterrupted;
        case survey::Survey::End::Finished: break;
    }
    printSummary(s, json, out, err);
    if (!s.indexed()) return kFailure;
    return exitStatusOf(s.rows());
}

int runSurveyJob(DbEngine& engine, Args args, std::ostream& out, std::ostream& err) {
    // A job outlives no survey: when the survey is gone, nobody reads its result.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    survey::JobRequest req;
    const auto product = args.option("--product");
    const auto folder = args.option("--folder");
    req.referenceCopy = args.option("--reference").value_or("");
    req.referenceName = args.option("--reference-name").value_or(req.referenceCopy);
    req.reportFile = args.option("--report-file").value_or("");
    const char* password =
        std::getenv(req.referenceCopy.empty() ? survey::kReferencePasswordVariable : survey::kDatabasePasswordVariable);
    req.password = password ? password : kProductPassword;
    if (args.unknownOption() || args.rest().size() != 1 || !product || !folder ||
        migration::ProductCodeFor(*product).empty()) {
        err << usageOf(kSurveyJobCommand);
        return kFailure;
    }
    req.source = args.rest()[0];
    req.productName = *product;
    req.productCode = migration::ProductCodeFor(*product);
    req.folder = fs::u8path(*folder);
    survey::JobOutcome outcome;
    try {
        outcome = survey::RunJob(engine, req);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    out << outcome.line() << "\n" << std::flush;
    return kOk;
}

}  // namespace dex::cli
