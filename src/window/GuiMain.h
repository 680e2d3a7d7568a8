#pragma once
// Starts the window: the program's entry when no command is given.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QStringList>

#include "CompareRun.h"
#include "DbEngine.h"
#include "Dialogs.h"
#include "Words.h"

class QTranslator;

namespace dex {

class Form1;

// Whether the window can start with the arguments after the program's
// name, before any window or Qt application exists: every option is one of
// runGui's below or one of Qt's own (-platform, -style, ...), and there is a
// display to show it on (DISPLAY or WAYLAND_DISPLAY, or a platform chosen
// by QT_QPA_PLATFORM or -platform). False with the reason in problem.
// environment: name -> value, "" when unset.
bool CheckWindowArguments(const std::vector<std::string>& args,
                          const std::function<std::string(const char*)>& environment, std::string& problem);

// The translations for language, installed in the application while this
// lives: for Korean Qt's own (qtbase_ko from Qt's translations folder: the
// dialogs' buttons, the file dialogs), for English the window's English
// translation (Qt itself speaks English). Needs a QCoreApplication.
class Translations {
public:
    explicit Translations(words::Language language);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;
    // Whether every file the language needs was found and installed.
    bool complete() const { return complete_; }

private:
    std::vector<std::unique_ptr<QTranslator>> installed_;
    bool complete_ = true;
};

// Fills the window's boxes and product from the options in args (args[0]
// is the program), as runGui does once the window is shown; each box gets
// its text as if typed. False, with a message on stderr, for a bad option.
bool applyCommandLine(Form1& form, const QStringList& args);

// Options (besides Qt's own):
//   --gui                 accepted and ignored
//   --path-a P, --path-b P  fill box A / box B once the window is shown
//   FILE_A [FILE_B]       the same, as a desktop opens files with the program
//   --product NAME        choose the list entry with that text
//   --compare             run the comparison once the window is shown
//   --screenshot FILE     after the comparison, save the window as PNG and quit;
//                         with DEXMIRA_SCREENSHOT_DETAILS_ROW=N in the
//                         environment, also the details box of grid row N
//                         as FILE's name + "-details" (scripts/screenshot.sh)
//   --dialogs-log         messages go to stderr instead of blocking boxes;
//                         questions are answered No, file dialogs cancelled
// Returns the process exit status (2 for bad options or a failed screenshot).
int runGui(int argc, char** argv, DbEngine& engine);

// What the program plugs into the window beyond the engine.
struct GuiServices {
    // The start-up update check, run before the window loads (skip-refresh flag).
    std::function<void(Dialogs&, bool)> runAutoUpdate;
    // Migrates the comparison's copies with a product's catalogue.
    std::function<std::unique_ptr<Migrator>(Dialogs&)> makeMigrator;
};
int runGui(int argc, char** argv, DbEngine& engine, const GuiServices& services);

}  // namespace dex
