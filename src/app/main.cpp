// dexmira: without a command it opens the window; with one it runs headless.
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "GuiMain.h"
#include "AnyEngine.h"
#include "ProductMigrator.h"
#include "modAutoUpdateV1_Launcher.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto engine = dex::makeDatabaseEngine();
    const bool windowWanted = args.empty() || args[0].rfind("--", 0) == 0;
    if (!windowWanted) {
        bool known = false;
        const int status = dex::cli::run(*engine, args, std::cout, std::cerr, known);
        if (known) return status;
        std::cerr << "unknown command '" << args[0]
                  << "'; commands: compare, structure, create, exec, import, migrate, compact, version-info (no command opens the window)\n";
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
