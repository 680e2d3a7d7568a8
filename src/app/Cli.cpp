#include "Cli.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#include "DbSession.h"
#include "FileKind.h"
#include "ErrorText.h"
#include "CliCheck.h"
#include "CliHelp.h"
#include "CliMigrate.h"
#include "CliSurvey.h"
#include "CompactOpen.h"
#include "CliVersionInfo.h"
#include "JetExport.h"
#include "JetImport.h"
#include "JetStore.h"
#include "modDBsub.h"
#include "NameText.h"

namespace dex::cli {

namespace {

bool rejectUnknown(const Args& args, std::ostream& err, const std::string& command) {
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << usageOf(command);
        return true;
    }
    return false;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}
// The statement's first word in upper case, after blanks and comments.
std::string firstWord(const std::string& sql) {
    size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            i = std::min(sql.find('\n', i), sql.size());
        } else if (sql.compare(i, 2, "/*") == 0) {
            const size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    size_t end = i;
    while (end < sql.size() && (std::isalpha(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) ++end;
    return upperText(sql.substr(i, end - i));
}

// exec runs a script as one transaction of its own: a statement may not
// start, end or split one.
bool controlsTransaction(const std::string& sql) {
    const std::string w = firstWord(sql);
    return w == "BEGIN" || w == "COMMIT" || w == "END" || w == "ROLLBACK" || w == "SAVEPOINT" || w == "RELEASE";
}

// A statement that hands back rows: it opens with SELECT (or TRANSFORM) and
// stores nothing (SELECT ... INTO makes a table and counts its rows).
bool returnsRows(const std::string& sql) {
    const std::string first = firstWord(sql);
    if (first != "SELECT" && first != "TRANSFORM") return false;
    std::string spaced = upperText(sql);
    for (char& c : spaced)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return spaced.find(" INTO ") == std::string::npos;
}

std::string jsonValue(const Value& v) {
    if (isNull(v)) return "null";
    if (std::holds_alternative<int64_t>(v) || std::holds_alternative<double>(v)) return valueToText(v);
    return jsonString(valueToText(v));
}

// The rows of an open row set: a header line of the column names, then one
// tab-separated line per row; with json, one array of objects.
void printRows(Recordset& rs, bool json, bool& firstJson, std::ostream& out) {
    const int n = rs.fieldCount();
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) names.push_back(rs.fieldName(i));
    if (!json) {
        for (int i = 0; i < n; ++i) out << (i ? "\t" : "") << names[i];
        out << "\n";
    }
    for (; !rs.eof(); rs.moveNext()) {
        if (json) {
            out << (firstJson ? "\n  {" : ",\n  {");
            firstJson = false;
            for (int i = 0; i < n; ++i)
                out << (i ? ", " : "") << jsonString(names[i]) << ": " << jsonValue(rs.field(i));
            out << "}";
        } else {
            for (int i = 0; i < n; ++i) out << (i ? "\t" : "") << valueToText(rs.field(i));
            out << "\n";
        }
    }
}

}  // namespace

int runCreate(Args args, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err, "create")) return kFailure;
    if (args.rest().size() != 1) {
        err << "usage: dexmira create FILE [--password PW]\n";
        return kFailure;
    }
    try {
        createStore(args.rest()[0], password);
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << ")\n";
        return kFailure;
    }
    return kOk;
}

// A script is applied all or nothing: every statement runs in one
// transaction, committed after the last one; a statement that fails rolls
// back all that ran before it.
int runExec(DbEngine& engine, Args args, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    const bool json = args.flag("--json");
    if (rejectUnknown(args, err, "exec")) return kFailure;
    if (args.rest().empty()) {
        err << "usage: dexmira exec FILE [--password PW] [SQL ...]  (no SQL: one statement per line on stdin)\n";
        return kFailure;
    }
    const std::string& file = args.rest()[0];
    std::vector<std::string> statements(args.rest().begin() + 1, args.rest().end());
    if (statements.empty())
        for (std::string line; std::getline(in, line);)
            if (!trimmed(line).empty() && trimmed(line).rfind("--", 0) != 0) statements.push_back(line);
    for (const auto& sql : statements)
        if (controlsTransaction(sql)) {
            err << "exec applies all the statements as one transaction, so none may begin or end one; nothing was "
                   "run: "
                << sql << "\n";
            return kFailure;
        }

    ConsoleDialogs dialogs(err, false, false);
    DbSession session(engine, dialogs);
    try {
        modDBsub::DBOpen(session, file, password);
    } catch (const DbError& e) {
        err << errorFrame(e.number(), e.description(), "DBOpen", "Module modDBsub") << "\n";
        return kFailure;
    }
    // A real Jet file is only ever read: there is nothing to undo.
    const bool transaction = detectFileKind(file) != FileKind::Jet;
    // With --json every SELECT's rows go into one array; other statements
    // still print their count, on the error stream so the document stays whole.
    bool firstJson = true;
    if (json) out << "[";
    auto finishJson = [&] {
        if (json) out << (firstJson ? "]\n" : "\n]\n");
    };
    auto fail = [&](const DbError& e, const std::string& sql) {
        finishJson();
        err << "Error " << e.number() << " (" << e.description() << ") in: " << sql << "\n";
        if (!transaction) return kFailure;
        try {
            session.execute("ROLLBACK TRANSACTION");
        } catch (const DbError&) {
            // The engine ended the transaction itself (a full disk, a lost lock).
        }
        err << "nothing was changed: the statements are applied all or nothing\n";
        return kFailure;
    };
    std::string current = "BEGIN TRANSACTION";
    try {
        if (transaction) session.execute(current);
        for (auto& sql : statements) {
            current = sql;
            if (returnsRows(sql)) {
                std::unique_ptr<Recordset> rs = session.query(sql);
                if (rs->state() == Recordset::StateOpen && rs->fieldCount() > 0) {
                    printRows(*rs, json, firstJson, out);
                    modDBsub::DBCloseRS(rs);
                    continue;
                }
                modDBsub::DBCloseRS(rs);
                (json ? err : out) << 0 << "\n";
                continue;
            }
            const int32_t rows = modDBsub::DBExecute(session, sql);
            (json ? err : out) << rows << "\n";
        }
        current = "COMMIT TRANSACTION";
        if (transaction) session.execute(current);
    } catch (const DbError& e) {
        return fail(e, current);
    }
    finishJson();
    return dialogs.messages().empty() ? kOk : kFailure;
}

int runImport(Args args, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err, "import")) return kFailure;
    if (args.rest().size() != 2) {
        err << "usage: dexmira import JETFILE STORE [--password PW]\n";
        return kFailure;
    }
    const std::string& jet = args.rest()[0];
    const std::string& store = args.rest()[1];
    if (const std::string what = notAFileText(jet, "a Jet (Access) database file"); !what.empty()) {
        err << what << "\n";
        return kFailure;
    }
    if (detectFileKind(jet) != FileKind::Jet) {
        err << "'" << jet << "' is not a real Jet (Access) database file; only those can be imported\n";
        return kFailure;
    }
    try {
        ImportJetFile(jet, store, password, [&err](const ImportProgress& p) {
            err << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": " << p.rows
                << (p.rows == 1 ? " row" : " rows") << "\n";
        });
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << "); no store was written: " << store << "\n";
        return kFailure;
    }
    err << "imported '" << jet << "' into '" << store << "'\n";
    return kOk;
}

int runExport(Args args, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err, "export")) return kFailure;
    if (args.rest().size() != 2) {
        err << usageOf("export");
        return kFailure;
    }
    const std::string& store = args.rest()[0];
    const std::string& jet = args.rest()[1];
    if (detectFileKind(store) != FileKind::Store) {
        err << "'" << store << "' is not a store; only stores can be exported to a Jet file\n";
        return kFailure;
    }
    try {
        ExportStoreToJet(store, jet, password, [&err](const ExportProgress& p) {
            err << "[" << p.stage << " " << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": " << p.rows
                << (p.rows == 1 ? " row" : " rows") << "\n";
        });
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << "); no file was written: " << jet << "\n";
        return kFailure;
    }
    err << "exported '" << store << "' to '" << jet << "', read back and checked\n";
    return kOk;
}

int runCompact(DbEngine& engine, Args args, std::ostream& err) {
    const bool yes = args.flag("--yes");
    if (rejectUnknown(args, err, "compact")) return kFailure;
    if (args.rest().size() != 1) {
        err << "usage: dexmira compact FILE [--yes]\n";
        return kFailure;
    }
    ConsoleDialogs dialogs(err, false, yes);
    Grid grid;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    Workbench wb{grid, engine, dialogs, itemBar, overallBar, window};
    FileOps files;
    return cmdCompact_Click(wb, args.rest()[0], 0, files) ? kOk : kFailure;
}

int run(DbEngine& engine, const std::vector<std::string>& all, std::ostream& out, std::ostream& err, bool& known) {
    known = true;
    if (all.empty()) {
        known = false;
        return kOk;
    }
    const std::string command = all[0];
    Args args(std::vector<std::string>(all.begin() + 1, all.end()));
    if (isCommand(command) && (args.flag("--help") || args.flag("-h"))) {
        out << usageOf(command);
        return kOk;
    }
    if (command == "compare") return runCompare(engine, std::move(args), out, err);
    if (command == "structure") return runStructure(engine, std::move(args), out, err);
    if (command == "create") return runCreate(std::move(args), err);
    if (command == "exec") return runExec(engine, std::move(args), std::cin, out, err);
    if (command == "version-info") return runVersionInfo(args.rest(), out, err);
    if (command == "compact") return runCompact(engine, std::move(args), err);
    if (command == "import") return runImport(std::move(args), err);
    if (command == "export") return runExport(std::move(args), err);
    if (command == "check") return runCheck(std::move(args), out, err);
    if (command == "migrate") return runMigrate(engine, args.rest(), out, err);
    if (command == "survey") return runSurvey(std::move(args), out, err);
    if (command == kSurveyJobCommand) return runSurveyJob(engine, std::move(args), out, err);
    known = false;
    return kFailure;
}

}  // namespace dex::cli
