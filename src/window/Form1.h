#pragma once
// The main window: product list, the two path rows with their buttons, the
// Compare button, the comparison grid, two progress bars and the notice box.
// Handlers keep the names of the window's events and call the Qt-free logic
// (Form1Logic, modCmpDB, RunComparison). No exception leaves a handler: it
// is reported as "Error N (D) in procedure P of Form Form1".
//
// Below the grid's marks: a double click or Enter on a row opens the details
// box of its table (TableDetailsDialog); a P/F/I mark's tool tip names the indexes
// behind it; the grid's context menu (with its shortcuts, window-wide) saves
// a report or a fix script and switches the mode that keeps one-sided
// fields. These work on the structures the last run loaded.
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "CompactOpen.h"
#include "DbEngine.h"
#include "CompareRun.h"
#include "Dialogs.h"
#include "Form1Logic.h"
#include "Grid.h"
#include "ProgressBar.h"
#include "Report.h"
#include "Settings.h"
#include "Words.h"
#include "Workbench.h"

class QAction;
class QComboBox;
class QFrame;
class QIcon;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;

namespace dex {

class GridView;

class Form1 : public QWidget, public WindowServices {
    Q_OBJECT
public:
    // runAutoUpdate is called first thing at start-up with skip-refresh False.
    Form1(dex::DbEngine& engine, dex::Dialogs& dialogs, dex::Settings& settings,
          std::function<void(bool)> runAutoUpdate, QWidget* parent = nullptr);
    ~Form1() override;

    // Runs Form_Load once; showing the window runs it too, before the window
    // becomes visible.
    void load();
    bool isLoaded() const { return loaded_; }

    const std::string& productCode() const { return ProductCode; }
    const std::string& lastDir() const { return LastDir; }
    dex::Grid& grid() { return grid_; }
    dex::ProgressBar& itemBar() { return itemBar_; }
    dex::ProgressBar& overallBar() { return overallBar_; }
    dex::GridView* gridView() const { return spList; }
    std::string pathText(int index) const;
    // How cmdAccess hands a file to the desktop (default: the first desktop
    // application registered for Access files that is not Dexmira).
    void setOpenDocument(std::function<void(const std::string&)> open) { openDocument_ = std::move(open); }
    // Migrates the copies when a product is chosen; without one, a product
    // run reports that its catalogue is unavailable.
    void setMigrator(dex::Migrator* migrator) { migrator_ = migrator; }

    // Twips of the design to pixels of this screen, and back.
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;
    int pixelsToTwipsX(int pixels) const;
    int pixelsToTwipsY(int pixels) const;

    // The structures the last run loaded.
    const dex::LoadedStructures& loadedStructures() const { return structures_; }
    bool keepsOneSidedFields() const { return keepOneSidedFields_; }
    // Opens the details box of the table on grid row row (from 1) and returns
    // it; nullptr when the row holds no table. One box at a time.
    QDialog* showDetails(int row);
    QDialog* detailsBox() const { return details_.data(); }
    QDialog* othersBox() const { return others_.data(); }
    // The line under the grid: what else the last run found, and where its
    // copies are.
    QString statusText() const;
    // Opens the details box of a table by name (as either side names it).
    QDialog* showTableDetails(const std::string& table);

    // The language of the translation installed (Korean when none is), in
    // which the window also writes reports and the details of a table.
    static dex::words::Language uiLanguage();
    // The program's icon, as the window carries it.
    static QIcon windowIconOfProgram();

    // WindowServices
    void focusPathBox(int index) override;
    void showNotice(bool shown) override;
    void setBusy(bool busy) override;

public slots:
    void Form_Load();
    void InitList();
    void Form_Resize();
    void Form_KeyDown(int keyCode, int shift);
    void cmbApp_Click();
    void txtDBPath_Change(int index);
    void txtDBPath_GotFocus(int index);
    void cmdDB_Click(int index);
    void cmdComp_Click();
    void cmdMove_Click(int16_t index);
    void cmdAccess_Click(int index);
    void cmdCompact_Click(int index);
    void openRowDetails(int row);
    void saveReport();
    // Target 1: the script makes B like A; 0: A like B.
    void saveFixScript(int target);
    // Applies the fix script to the file in box target (0 A, 1 B), after a question.
    void applyFixScript(int target);
    void showOneSidedFields(bool checked);
    // The list of every difference the grid does not show; Enter or a
    // double click on one opens its table's details. Returns the list box
    // (nullptr when no run has finished).
    QDialog* showOtherDifferences();

public:
    // Whether the dragged data may be dropped on box index (it carries files).
    bool txtDBPath_OLEDragOver(int index, const QMimeData* data);
    // Box index = the first dropped file; false when the data holds none.
    bool txtDBPath_OLEDragDrop(int index, const QMimeData* data);
    // The open-file dialog; the chosen file's full path, or "" on cancel.
    std::string OpenMdbDialog(const std::string& initialPath);

protected:
    void setVisible(bool visible) override;
    void resizeEvent(QResizeEvent* event) override;
    // Remembers the window's size and position for the next start.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A designed text (held in Korean by the Qt-free rules) in the window's language.
    static QString translated(const std::string& korean);
    void createControls();
    void createTopBand();
    void createGridMenu();
    void applyTabOrder();
    void bindProgressBar(dex::ProgressBar& bar, QProgressBar* widget);
    void place(QWidget* widget, const dex::form1::TwipRect& rect);
    void selectEntry(int entry);
    // The chosen list entry's designed text (the text shown may be translated).
    std::string entryText() const;
    void translateGridHeader();
    void restorePlacement();
    void updateMinimumSize();
    void recoverAfterFailedRun();
    bool keyPressFilter(QObject* watched, QEvent* event);
    bool pathBoxFilter(int index, QEvent* event);
    bool gridKeyFilter(QEvent* event);
    // After a run: the status line, from what the run loaded.
    void updateStatusLine();
    // Asks for the password of each file that refuses the product's; false
    // when the user cancelled (no run then).
    bool askFilePasswords(dex::CompareRequest& request);
    // A path as the user typed it, made absolute (relative to the folder
    // the program runs in) so that it means the same file at the next start.
    void makePathAbsolute(int index);
    std::string markToolTip(int column, int row) const;
    // False (with a message) when no run has finished since start-up.
    bool haveFinishedRun();
    // The chosen file's path, or "" when the dialog was cancelled.
    std::string askSavePath(const std::string& name, const std::string& label, const std::string& pattern);
    dex::Workbench workbench();
    dex::Workbench workbench(dex::Dialogs& dialogs);
    // Runs a handler body; any exception is reported instead of escaping.
    void guarded(const char* procedure, const std::function<void()>& body) noexcept;

    dex::DbEngine& engine_;
    dex::Dialogs& dialogs_;
    dex::Migrator* migrator_ = nullptr;
    dex::Settings& settings_;
    std::function<void(bool)> runAutoUpdate_;
    dex::Grid grid_;
    dex::ProgressBar itemBar_, overallBar_;
    dex::FileOps fileOps_;
    std::function<void(const std::string&)> openDocument_;

    // Form-level state.
    std::string ProductCode;
    std::string LastDir;

    bool loaded_ = false;
    bool busy_ = false;

    // What the last run loaded and showed, for its details, report and fix script.
    dex::LoadedStructures structures_;
    std::vector<dex::report::Message> runMessages_;
    std::string runPathA_, runPathB_, runProduct_;
    bool runFinished_ = false;
    bool keepOneSidedFields_ = false;
    QPointer<QDialog> details_;
    QPointer<QDialog> others_;
    // A run in progress: F5 or a click while a run's message box is open
    // starts no second run.
    bool running_ = false;
    // The key press the window handled last, so that the same press passing
    // on to the parents of the focused control is not handled again.
    const QEvent* lastKey_ = nullptr;
    unsigned long lastKeyTime_ = 0;
    QPointer<QWidget> lastKeyReceiver_;

    // Controls (objectName = the member's name, with _0/_1 for the index).
    QFrame* Frame1 = nullptr;
    QPushButton* cmdComp = nullptr;
    std::array<QPushButton*, 2> cmdDB{};
    QComboBox* cmbApp = nullptr;
    std::array<QLineEdit*, 2> txtDBPath{};
    std::array<QPushButton*, 2> cmdAccess{};
    std::array<QPushButton*, 2> cmdCompact{};
    std::array<QPushButton*, 2> cmdMove{};
    QLabel* Label1 = nullptr;
    QLabel* lblStatus = nullptr;
    dex::GridView* spList = nullptr;
    std::array<QProgressBar*, 2> ProgressBar1{};
    QLineEdit* maketb = nullptr;
    // The grid's context menu (objectName = the member's name).
    QAction* mnuDetails = nullptr;
    QAction* mnuSaveReport = nullptr;
    QAction* mnuFixB = nullptr;
    QAction* mnuFixA = nullptr;
    QAction* mnuApplyA = nullptr;
    QAction* mnuApplyB = nullptr;
    QAction* mnuOneSided = nullptr;
    QAction* mnuOthers = nullptr;
};

}  // namespace dex
