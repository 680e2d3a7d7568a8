#include "CliMigrate.h"

#include <filesystem>

#include "CliSupport.h"
#include "DbSession.h"
#include "ErrorText.h"
#include "MigrationEngine.h"
#include "MigrationLog.h"
#include "ProductCatalogues.h"
#include "modDBsub.h"

namespace dex {

namespace {

constexpr const char* kUsage = "usage: dexmira migrate FILE --product NAME [--trace-sql]\n";
constexpr const char* kProductPassword = "kt5316";

}  // namespace

int cliMigrate(DbEngine& engine, const std::vector<std::string>& words, std::ostream& out,
               std::ostream& err) {
    cli::Args args(words);
    const std::optional<std::string> product = args.option("--product");
    const bool trace = args.flag("--trace-sql");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << kUsage;
        return cli::kFailure;
    }
    if (args.rest().size() != 1 || !product) {
        err << kUsage;
        return cli::kFailure;
    }
    const std::string& file = args.rest()[0];
    const std::string code = migration::ProductCodeFor(*product);
    if (code.empty()) {
        err << "unknown product '" << *product
            << "' (VelmoraII, VelmoraLite, QuensaII, QuensaPro, TallyvoII or a product code)\n";
        return cli::kFailure;
    }
    if (!migration::CatalogueFor(code)) {
        err << "no migration catalogue for product code '" << code << "'\n";
        return cli::kFailure;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        err << "file not found: " << file << "\n";
        return cli::kFailure;
    }

    cli::ConsoleDialogs dialogs(err, false, false);
    DbSession session(engine, dialogs);
    if (trace) session.setTrace([&out](const std::string& sql) { out << sql << "\n"; });
    try {
        modDBsub::DBOpen(session, file, kProductPassword);
    } catch (const DbError& e) {
        err << errorFrame(e.number(), e.description(), "DBOpen", "Module modDBsub") << "\n";
        return cli::kFailure;
    }
    migration::MigrationLog log(migration::DefaultLogFolder());
    migration::MigrationContext ctx{session, log};
    return migration::ChkDBpatchFor(code, ctx) ? cli::kOk : cli::kFailure;
}

}  // namespace dex
