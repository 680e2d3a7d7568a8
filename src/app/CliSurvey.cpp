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
#include "Workbench.h"

namespace dex::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSynopsis =
    "usage: dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] [--shard K/N]\n"
    "                      [--password-db PW] [--password-ref PW]\n";

using survey::Row;
using survey::Status;

std::string shardText(const survey::SurveyOptions& o) {
    return std::to_string(o.shardK) + "/" + std::to_string(o.shardN);
}

void printTable(const survey::Survey& s, std::ostream& out) {
    const auto& rows = s.rows();
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
    out << survey::TotalsText(rows) << (s.options().sharded ? " (shard " + shardText(s.options()) + ")" : "") << "\n";
}

void printJson(const survey::Survey& s, std::ostream& out) {
    const auto& o = s.options();
    const auto& rows = s.rows();
    auto number = [](const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("null"); };
    out << "{\"reference\":" << jsonString(o.reference) << ",\"referenceVersion\":" << number(s.referenceVersion())
        << ",\"product\":" << jsonString(o.product) << ",\"shard\":"
        << (o.sharded ? jsonString(shardText(o)) : "null") << ",\"databases\":[";
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        out << (i ? ",\n" : "\n") << "{\"ordinal\":" << r.ordinal << ",\"file\":" << jsonString(r.file)
            << ",\"version\":" << number(r.version) << ",\"marked\":" << number(r.marked) << ",\"others\":" << number(r.others)
            << ",\"status\":" << jsonString(survey::StatusName(r.status))
            << ",\"error\":" << (r.status == Status::Failed ? jsonString(r.error) : "null")
            << ",\"report\":" << (r.report.empty() ? "null" : jsonString(r.report)) << "}";
    }
    out << "],\n\"differ\":" << survey::CountRows(rows, Status::Differs)
        << ",\"same\":" << survey::CountRows(rows, Status::Same)
        << ",\"failed\":" << survey::CountRows(rows, Status::Failed) << "}\n";
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
        case survey::Survey::End::Interrupted: return kInterrupted;
        case survey::Survey::End::Finished: break;
    }
    if (json) printJson(s, out);
    else printTable(s, out);
    if (survey::CountRows(s.rows(), Status::Failed) > 0 || !s.indexed()) return kFailure;
    return survey::CountRows(s.rows(), Status::Differs) > 0 ? kDifferences : kOk;
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
