#include "CliCheck.h"

#include "CliHelp.h"
#include "FileKind.h"
#include "JetCheck.h"

namespace dex::cli {

namespace {

void printJson(const std::string& file, const jetfile::JetCheckReport& r, std::ostream& out) {
    out << "{\"file\": " << jsonString(file) << ", \"sound\": " << (r.sound() ? "true" : "false")
        << ", \"tables\": " << r.tables << ", \"rows\": " << r.rows << ", \"indexes\": " << r.indexes
        << ", \"pages\": " << r.pages << ",\n \"problems\": [";
    for (size_t i = 0; i < r.problems.size(); ++i) {
        const auto& p = r.problems[i];
        out << (i ? ",\n  " : "\n  ") << "{\"table\": " << jsonString(p.table) << ", \"index\": " << jsonString(p.index)
            << ", \"page\": " << p.page << ", \"what\": " << jsonString(p.what) << "}";
    }
    out << (r.problems.empty() ? "]" : "\n ]") << ",\n \"notes\": [";
    for (size_t i = 0; i < r.notes.size(); ++i) out << (i ? ", " : "") << jsonString(r.notes[i]);
    out << "]}\n";
}

}  // namespace

int runCheck(Args args, std::ostream& out, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    const bool json = args.flag("--json");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf("check");
        return kFailure;
    }
    if (args.rest().size() != 1) {
        err << usageOf("check");
        return kFailure;
    }
    const std::string& file = args.rest()[0];
    if (detectFileKind(file) == FileKind::Store) {
        err << "'" << file << "' is a store, not a real Jet (Access) file; check reads Jet files\n";
        return kFailure;
    }
    jetfile::JetCheckReport report;
    try {
        report = jetfile::checkJetFile(*jetfile::JetModel::open(file, password));
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << ")\n";
        return kFailure;
    }
    if (json) {
        printJson(file, report, out);
    } else {
        for (const auto& p : report.problems) out << p.text() << "\n";
        for (const auto& n : report.notes) out << "note: " << n << "\n";
        out << (report.sound() ? "sound" : std::to_string(report.problems.size()) + " problem(s)") << ": " << file
            << " (" << report.tables << " tables, " << report.rows << " rows, " << report.indexes << " indexes, "
            << report.pages << " pages)\n";
    }
    return report.sound() ? kOk : kDifferences;
}

}  // namespace dex::cli
