#pragma once
// What the comparison workbench's Qt-free logic works on: the grid, the two
// progress bars, the database engine, the dialogs, and the few window
// services (focus, notice box, hourglass) that the window provides.
#include <string>
#include <vector>

#include "DbEngine.h"
#include "Dialogs.h"
#include "Grid.h"
#include "Products.h"
#include "ProgressBar.h"

namespace dex {

// The program's title: caption of every message box and settings application.
inline const std::string kAppTitle = "Dexmira";

class WindowServices {
public:
    virtual ~WindowServices() = default;
    virtual void focusPathBox(int index) = 0;
    virtual void showNotice(bool shown) = 0;   // the notice box maketb
    virtual void setBusy(bool busy) = 0;       // hourglass pointer
};

// Stand-in used by the command line and by tests: records what it was told.
class RecordingWindow : public WindowServices {
public:
    int focusedBox = -1;
    bool noticeShown = false;
    int noticeShowCount = 0;
    bool busy = false;
    void focusPathBox(int index) override { focusedBox = index; }
    void showNotice(bool shown) override {
        noticeShown = shown;
        if (shown) ++noticeShowCount;
    }
    void setBusy(bool b) override { busy = b; }
};

// The two sides' structures as the last load read them: the tables whose
// fields went into the grid (system tables and filtered-out tables left out),
// kept so that the comparison can be explained and remedied without reading
// the files again. Loading side A starts a new pair.
struct LoadedStructures {
    std::string pathA, pathB;  // the files read (the migrated copies after a product's run)
    std::vector<TableDef> tablesA, tablesB;
    bool loadedA = false, loadedB = false;

    bool complete() const { return loadedA && loadedB; }
};

struct Workbench {
    Grid& grid;
    DbEngine& engine;
    Dialogs& dialogs;
    ProgressBar& itemBar;     // ProgressBar1(0)
    ProgressBar& overallBar;  // ProgressBar1(1)
    WindowServices& window;
    // Where the loads keep what they read; none: nothing is kept.
    LoadedStructures* structures = nullptr;
    // Fields present on one side only stay in the grid, facing empty cells,
    // marked and counted, instead of being left out of the comparison.
    bool keepOneSidedFields = false;
};

}  // namespace dex
