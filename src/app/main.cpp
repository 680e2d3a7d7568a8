// dexmira: without a command it opens the window; with one it runs headless.
#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "CliHelp.h"
#include "GuiMain.h"
#include "AnyEngine.h"
#include "ProductMigrator.h"
#include "modAutoUpdateV1_Launcher.h"

namespace {

// A first argument that is neither a command nor an option opens the window
// with it as a file when it names one (or looks like a path, as a desktop
// hands over); anything else is a mistyped command.
bool looksLikeFile(const std::string& word) {
    std::error_code ec;
    return std::filesystem::exists(word, ec) || word.find_first_of("/.") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    // Freed memory stays with the process up to 256 MiB instead of going back
    // to the system at once: a migration frees and takes back large amounts
    // again and again, and each page taken back from the system costs a
    // fault, on the second thread of a comparison most of all.
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    std::vector<std::string> args(argv + 1, argv + argc);
    // Help and version never need a display: answered before any window exists.
    if (!args.empty()) {
        const std::string& first = args[0];
        if (first == "--help" || first == "-h") {
            std::cout << dex::cli::usage();
            return dex::cli::kOk;
        }
        if (first == "--version") {
            std::cout << dex::cli::versionText();
            return dex::cli::kOk;
        }
        if (first == "help") {
            if (args.size() == 1) {
                std::cout << dex::cli::usage();
                return dex::cli::kOk;
            }
            if (dex::cli::isCommand(args[1])) {
                std::cout << dex::cli::usageOf(args[1]);
                return dex::cli::kOk;
            }
            std::cerr << "unknown command '" << args[1] << "'\n" << dex::cli::usage();
            return dex::cli::kFailure;
        }
    }
    const bool windowWanted = args.empty() || args[0].rfind("-", 0) == 0 ||
                              (!dex::cli::isCommand(args[0]) && looksLikeFile(args[0]));
    if (windowWanted) {
        // Checked before Qt starts, which would stop at a missing display.
        std::string problem;
        const auto environment = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value ? value : "");
        };
        if (!dex::CheckWindowArguments(args, environment, problem)) {
            std::cerr << "dexmira: " << problem << "\n\n" << dex::cli::usage();
            return dex::cli::kFailure;
        }
    }
    auto engine = dex::makeDatabaseEngine();
    if (!windowWanted) {
        bool known = false;
        const int status = dex::cli::run(*engine, args, std::cout, std::cerr, known);
        if (known) return status;
        std::cerr << "unknown command '" << args[0] << "'\n" << dex::cli::usage();
        return dex::cli::kFailure;
    }
    dex::GuiServices services;
    services.runAutoUpdate = [](dex::Dialogs& dialogs, bool skipRefresh) {
        dex::modAutoUpdateV1_Launcher::ForRunningProgram(dialogs).RunAutoUpdate(skipRefresh);
    };
    services.makeMigrator = [](dex::Dialogs& dialogs) -> std::unique_ptr<dex::Migrator> {
        return std::make_unique<dex::ProductMigrator>(dialogs);
    };
    return dex::runGui(argc, argv, *engine, services);
}
