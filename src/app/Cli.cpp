#include "Cli.h"

#include <filesystem>
#include <iostream>

#include "DbSession.h"
#include "FileKind.h"
#include "ErrorText.h"
#include "CliMigrate.h"
#include "CompactOpen.h"
#include "CliVersionInfo.h"
#include "JetImport.h"
#include "JetStore.h"
#include "modDBsub.h"

namespace dex::cli {

namespace {

bool rejectUnknown(const Args& args, std::ostream& err) {
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n";
        return true;
    }
    return false;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

int cmdCreate(Args args, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err)) return kFailure;
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

int cmdExec(DbEngine& engine, Args args, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err)) return kFailure;
    if (args.rest().empty()) {
        err << "usage: dexmira exec FILE [--password PW] [SQL ...]  (no SQL: one statement per line on stdin)\n";
        return kFailure;
    }
    std::vector<std::string> statements(args.rest().begin() + 1, args.rest().end());
    if (statements.empty())
        for (std::string line; std::getline(in, line);)
            if (!trimmed(line).empty() && trimmed(line).rfind("--", 0) != 0) statements.push_back(line);

    ConsoleDialogs dialogs(err, false, false);
    DbSession session(engine, dialogs);
    try {
        modDBsub::DBOpen(session, args.rest()[0], password);
    } catch (const DbError& e) {
        err << errorFrame(e.number(), e.description(), "DBOpen", "Module modDBsub") << "\n";
        return kFailure;
    }
    for (auto& sql : statements) {
        try {
            const int32_t rows = modDBsub::DBExecute(session, sql);
            out << rows << "\n";
        } catch (const DbError& e) {
            err << "Error " << e.number() << " (" << e.description() << ") in: " << sql << "\n";
            return kFailure;
        }
    }
    return dialogs.messages().empty() ? kOk : kFailure;
}

int cmdImport(Args args, std::ostream& err) {
    const std::string password = args.option("--password").value_or("");
    if (rejectUnknown(args, err)) return kFailure;
    if (args.rest().size() != 2) {
        err << "usage: dexmira import JETFILE STORE [--password PW]\n";
        return kFailure;
    }
    const std::string& jet = args.rest()[0];
    const std::string& store = args.rest()[1];
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

int cmdCompact(DbEngine& engine, Args args, std::ostream& err) {
    const bool yes = args.flag("--yes");
    if (rejectUnknown(args, err)) return kFailure;
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
    if (command == "compare") return cmdCompare(engine, std::move(args), out, err);
    if (command == "structure") return cmdStructure(engine, std::move(args), out, err);
    if (command == "create") return cmdCreate(std::move(args), err);
    if (command == "exec") return cmdExec(engine, std::move(args), std::cin, out, err);
    if (command == "version-info") return cliVersionInfo(args.rest(), out, err);
    if (command == "compact") return cmdCompact(engine, std::move(args), err);
    if (command == "import") return cmdImport(std::move(args), err);
    if (command == "migrate") return cliMigrate(engine, args.rest(), out, err);
    known = false;
    return kFailure;
}

}  // namespace dex::cli
