// dexmira compare / structure: the Compare button's run and one side's load,
// printed for a terminal or as JSON.
#include <cstring>
#include <iomanip>
#include <sstream>

#include "Cli.h"
#include "CliHelp.h"
#include "CliSupport.h"
#include "CompareRun.h"
#include "DifferenceSummary.h"
#include "FixScript.h"
#include "ProductCatalogues.h"
#include "Products.h"
#include "ProductMigrator.h"
#include "Report.h"
#include "modCmpDB.h"

namespace dex::cli {

namespace {

struct Headless {
    explicit Headless(DbEngine& engine, ConsoleDialogs& dialogs)
        : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(gridlayout::kColumns);
    }
    Grid grid;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    Workbench wb;
};

using gridlayout::Side;
using gridlayout::SideColumn;

void printMessagesJson(std::ostream& out, const ConsoleDialogs& dialogs) {
    out << "\"messages\":[";
    bool first = true;
    for (const auto& m : dialogs.messages()) {
        out << (first ? "" : ",") << "{\"title\":" << jsonString(m.title) << ",\"text\":" << jsonString(m.text)
            << ",\"icon\":" << jsonString(iconName(m.icon)) << "}";
        first = false;
    }
    out << "]";
}

// A row of one side's load: side A's eleven cells.
void printRowJson(std::ostream& out, const report::GridRow& row) {
    out << "{\"row\":" << row.row << ",\"hidden\":" << (row.hidden ? "true" : "false") << ",\"cells\":[";
    const int first = gridlayout::FirstColumn(Side::A);
    for (int c = first; c <= gridlayout::LastColumn(Side::A); ++c) out << (c > first ? "," : "") << jsonString(row.at(c));
    out << "]}";
}

// The run as a report snapshot: the grid, the kept structures, the messages.
report::ReportData reportData(const Headless& h, const ConsoleDialogs& dialogs, const LoadedStructures* structures) {
    std::vector<report::Message> messages;
    for (const auto& m : dialogs.messages()) messages.push_back({m.title, m.text, m.icon});
    // The HTML and CSV speak the desktop's language, as the window does.
    return report::MakeReportData(h.grid, structures, std::move(messages), words::DesktopLanguage());
}

// One side of a row: table.field with its P F I marks.
std::string sideText(const report::GridRow& row, Side side) {
    const std::string& table = row.cell(side, SideColumn::Table);
    const std::string& field = row.cell(side, SideColumn::Field);
    if (table.empty() && field.empty()) return "(none)";
    std::string marks;
    static const std::pair<SideColumn, const char*> names[] = {
        {SideColumn::PrimaryKey, "P"}, {SideColumn::ForeignKey, "F"}, {SideColumn::OtherIndex, "I"}};
    for (const auto& [column, name] : names) marks += row.cell(side, column) == "v" ? name : ".";
    return report::OneLineText(table) + "." + report::OneLineText(field) + " [" + marks + "]";
}

// "A (customer): FILE", and the copy compared when it is not the file itself.
void printSide(std::ostream& out, const char* label, const std::string& given, const std::string& compared) {
    out << label << report::OneLineText(given.empty() ? compared : given);
    if (!given.empty() && !compared.empty() && given != compared)
        out << " (compared as its copy " << report::OneLineText(compared) << ")";
    out << "\n";
}

void printCompareText(std::ostream& out, const Headless& h, const std::vector<report::GridRow>& rows, int64_t count,
                      const CompareRequest& request) {
    printSide(out, "A (customer): ", request.pathA, report::GridPath(h.grid, Side::A));
    printSide(out, "B (reference): ", request.pathB, report::GridPath(h.grid, Side::B));
    out << "Marks [P F I]: primary key, foreign key, other index; '.' none. "
           "\"(none)\" faces a row shifted to line the two sides up.\n";
    size_t width = 10;
    for (const auto& row : rows)
        if (!row.hidden) width = std::max(width, sideText(row, Side::A).size());
    for (const auto& row : rows) {
        if (row.hidden) continue;
        out << std::setw(5) << row.row << "  " << std::left << std::setw(static_cast<int>(width))
            << sideText(row, Side::A) << std::right << "  " << (row.mark().empty() ? " " : row.mark()) << "  "
            << sideText(row, Side::B) << "\n";
    }
    out << "count: " << count << "\n";
}

// After the marked rows: every difference the grid leaves out.
void printOtherDifferences(std::ostream& out, const indexdiff::StructureDiff& diff) {
    const auto lines = summary::DifferenceLines(diff, words::Language::English);
    out << "other differences: " << lines.size() << "\n";
    for (const auto& line : lines) out << "  " << report::OneLineText(line) << "\n";
}

// --report FILE: the run as an HTML, CSV or JSON file.
bool writeReport(const std::string& path, report::ReportData data, const CompareRequest& request,
                 const std::string& product, std::ostream& err) {
    data.requestedA = request.pathA;
    data.requestedB = request.pathB;
    data.product = product;
    try {
        report::WriteReport(path, data);
        return true;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return false;
    }
}

// --fix-sql FILE: the statements that make the target's keys the other side's.
bool writeFixScript(DbEngine& engine, const std::string& path, const LoadedStructures& loaded,
                    fixscript::Target target, const std::string& password, std::ostream& err) {
    fixscript::EngineOrphanCheck orphans(engine, target == fixscript::Target::B ? loaded.pathB : loaded.pathA,
                                         password);
    try {
        report::WriteWholeFile(path, fixscript::MakeFixScript(loaded, target, &orphans), "The fix script");
        return true;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return false;
    }
}

}  // namespace

int runCompare(DbEngine& engine, Args args, std::ostream& out, std::ostream& err) {
    const bool json = args.flag("--json");
    const bool oneSided = args.flag("--one-sided");
    const std::string product = args.option("--product").value_or("");
    const auto reportPath = args.option("--report");
    const auto fixPath = args.option("--fix-sql");
    const std::string fixTarget = upperText(args.option("--fix-target").value_or("A"));
    const auto passwordA = args.option("--password-a"), passwordB = args.option("--password-b");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf("compare");
        return kFailure;
    }
    if (reportPath && !report::IsReportPath(*reportPath)) {
        err << "the report '" << *reportPath << "' must end in .html, .csv or .json\n";
        return kFailure;
    }
    if (args.rest().size() != 2 || (fixTarget != "A" && fixTarget != "B")) {
        err << "usage: dexmira compare A B [--product NAME] [--json] [--one-sided] [--report FILE.html|.csv|.json]\n"
               "                          [--fix-sql FILE [--fix-target A|B]] [--password-a PW] [--password-b PW]\n";
        return kFailure;
    }
    ConsoleDialogs dialogs(err, json, false);
    Headless h(engine, dialogs);
    LoadedStructures loaded;
    h.wb.structures = &loaded;
    h.wb.keepOneSidedFields = oneSided;
    CompareRequest request{args.rest()[0], args.rest()[1], ""};
    if (passwordA) request.passwordA = *passwordA;
    if (passwordB) request.passwordB = *passwordB;
    if (!product.empty()) {
        request.productCode = migration::ProductCodeFor(product);
        if (request.productCode.empty()) {
            err << "unknown product '" << product
                << "': give a list entry (" << ProductEntryNames() << ") or a product code\n";
            return kFailure;
        }
    }
    // Before the run starts a thread: a stop signal removes the staging
    // folders and unfinished copies of the run and ends it with a line.
    StopOnSignal stop([&request](int signo) {
        return "compare interrupted by signal " + std::to_string(signo) + " (" + strsignal(signo) +
               "): its temporary files were removed; '" + request.pathA + "' and '" + request.pathB +
               "' were left as they were";
    });
    ProductMigrator migrator(dialogs);
    const bool ran = RunComparison(h.wb, request, &migrator);
    const std::vector<report::GridRow> rows = report::TakeGridRows(h.grid);
    const int64_t count = report::CountMarked(rows);
    const auto diff = loaded.complete() ? std::optional(indexdiff::CompareStructures(loaded.tablesA, loaded.tablesB))
                                        : std::nullopt;
    if (json) {
        report::ReportData data = reportData(h, dialogs, &loaded);
        if (!request.productCode.empty()) {
            data.requestedA = request.pathA;
            data.requestedB = request.pathB;
        }
        report::WriteCompareJson(out, data, false);
        out << "\n";
    } else if (ran) {
        printCompareText(out, h, rows, count, request);
        if (diff) printOtherDifferences(out, *diff);
        // A product's run leaves its copies of customer data on the disk.
        if (!request.productCode.empty())
            if (const auto copies = DescribeCopies(loaded.pathA))
                out << "copies: " << report::OneLineText(copies->folder) << " (" << SizeText(copies->bytes) << ")\n";
    }
    if (!ran) return kFailure;
    if (reportPath && !writeReport(*reportPath, reportData(h, dialogs, &loaded), request, product, err))
        return kFailure;
    // With a product the copies were given the product's password.
    const std::string& targetPassword = !request.productCode.empty() ? kProductPassword
                                        : fixTarget == "A"           ? request.passwordA
                                                                     : request.passwordB;
    if (fixPath && !writeFixScript(engine, *fixPath, loaded,
                                   fixTarget == "A" ? fixscript::Target::A : fixscript::Target::B, targetPassword, err))
        return kFailure;
    // A finished run shows one message, its result; any other message (a
    // migration step's error the catalogue went on after) makes it a failure.
    if (dialogs.messages().size() > 1) return kFailure;
    // Anything at all that differs, shown in the grid or not, is a difference.
    const bool differs = summary::AnythingDiffers(count, diff ? summary::CountOf(*diff) : summary::Counts{});
    return differs ? kDifferences : kOk;
}

int runStructure(DbEngine& engine, Args args, std::ostream& out, std::ostream& err) {
    const bool json = args.flag("--json");
    const std::string password = args.option("--password").value_or("");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf("structure");
        return kFailure;
    }
    if (args.rest().size() != 1) {
        err << "usage: dexmira structure FILE [--password PW] [--json]\n";
        return kFailure;
    }
    ConsoleDialogs dialogs(err, json, false);
    Headless h(engine, dialogs);
    const bool ok = modCmpDB::LoadDBStruct(h.wb, args.rest()[0], true, password, "");
    const std::vector<report::GridRow> rows = report::TakeGridRows(h.grid);
    if (json) {
        out << "{\"path\":" << jsonString(args.rest()[0]) << ",\"rows\":[";
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i > 0) out << ",";
            printRowJson(out, rows[i]);
        }
        out << "],";
        printMessagesJson(out, dialogs);
        out << "}\n";
    } else if (ok) {
        for (const auto& spec : gridlayout::kSideColumnSpecs)
            out << (spec.column == SideColumn::Table ? "" : "\t") << spec.label;
        out << "\n";
        for (const auto& row : rows) {
            for (const auto& spec : gridlayout::kSideColumnSpecs)
                out << (spec.column == SideColumn::Table ? "" : "\t")
                    << report::OneLineText(row.cell(Side::A, spec.column));
            out << "\n";
        }
    }
    return ok && dialogs.messages().empty() ? kOk : kFailure;
}

}  // namespace dex::cli
