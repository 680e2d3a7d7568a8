#include "CliJetFile.h"

#include <cstdlib>
#include <filesystem>

#include "CliSupport.h"
#include "FileCopy.h"
#include "JetCompact.h"
#include "JetImport.h"
#include "DbSession.h"
#include "ErrorText.h"
#include "JetStoreRoute.h"
#include "MigrationEngine.h"
#include "MigrationLog.h"
#include "ProductCatalogues.h"
#include "Products.h"
#include "modDBsub.h"

namespace dex {

namespace {

std::vector<std::string> passwordsFor(const std::string& given) {
    std::vector<std::string> out{kProductPassword};
    if (!given.empty()) out.push_back(given);
    return out;
}

// The route, its messages on err: 0 when the file was replaced.
int runRoute(const std::string& file, JetRouteOptions options,
             const std::function<bool(const std::string&, const std::string&)>& change, const char* what,
             std::ostream& err) {
    try {
        const JetRouteOutcome done = changeJetFileThroughStore(file, options, change);
        if (!done.changed) {
            err << "the " << what << " of '" << file << "' did not finish; the file was left unchanged\n";
            return cli::kFailure;
        }
        err << what << " done: '" << file << "' was rewritten, read back and checked; the original is kept as '"
            << done.backup << "'\n";
        return cli::kOk;
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << ")\n";
        return cli::kFailure;
    } catch (const std::exception& e) {
        err << "Error " << kRuntimeErrorNumber << " (" << e.what() << "); the file '" << file
            << "' was left unchanged\n";
        return cli::kFailure;
    }
}

}  // namespace

int migrateJetFile(DbEngine& engine, const std::string& file, const std::string& code, const std::string& password,
                   bool generalSortOrder, bool trace, std::ostream& out, std::ostream& err) {
    migration::MigrationLog log(migration::DefaultLogFolder());
    JetRouteOptions options;
    options.passwords = passwordsFor(password);
    options.generalSortOrder = generalSortOrder;
    options.log = [&](const std::string& line) {
        err << line << "\n";
        auto section = log.openSection("Jet file " + file);
        section.line(line);
        section.finish();
    };
    auto change = [&](const std::string& store, const std::string& pw) {
        cli::ConsoleDialogs dialogs(err, false, false);
        DbSession session(engine, dialogs);
        try {
            modDBsub::DBOpen(session, store, pw);
        } catch (const DbError& e) {
            err << errorFrame(e.number(), e.description(), "DBOpen", "Module modDBsub") << "\n";
            return false;
        }
        if (trace) session.setTrace([&out](const std::string& sql) { out << sql << "\n"; });
        migration::MigrationContext ctx{session, log};
        const bool migrated = migration::ChkDBpatchFor(code, ctx) && dialogs.messages().empty();
        session.closeConnection();
        return migrated;
    };
    return runRoute(file, options, change, "migration", err);
}

int execOnJetFile(const std::string& file, const std::string& password,
                  const std::function<bool(const std::string&, const std::string&)>& run, std::ostream& err) {
    JetRouteOptions options;
    options.passwords = passwordsFor(password);
    options.log = [&](const std::string& line) { err << line << "\n"; };
    return runRoute(file, options, run, "exec", err);
}

int queryJetFile(const std::string& file, const std::string& password,
                 const std::function<bool(const std::string&, const std::string&)>& run, std::ostream& err) {
    try {
        const std::string pw = jetPasswordOf(file, passwordsFor(password));
        const char* tmp = std::getenv("TMPDIR");
        OwnFolder work(std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / "dexmira-query-XXXXXX");
        const std::string store = (work.path() / "query.mdb").string();
        ImportJetFile(file, store, pw);
        return run(store, pw) ? cli::kOk : cli::kFailure;
    } catch (const DbError& e) {
        err << "Error " << e.number() << " (" << e.description() << ")\n";
        return cli::kFailure;
    } catch (const std::exception& e) {
        err << "Error " << kRuntimeErrorNumber << " (" << e.what() << ")\n";
        return cli::kFailure;
    }
}

}  // namespace dex
