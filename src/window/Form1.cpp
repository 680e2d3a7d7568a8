#include "Form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "CompareRun.h"
#include "DesktopHandlers.h"
#include "DifferenceSummary.h"
#include "ErrorText.h"
#include "FixScript.h"
#include "TableDetailsDialog.h"
#include "GridTableModel.h"
#include "GridView.h"
#include "TableDetails.h"
#include "Version.h"
#include "modCmpDB.h"

namespace dex {

using namespace form1;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The first local file among the dragged data's URLs; "" when there is none.
QString firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

// The window's designed texts are held by the Qt-free rules (Form1Logic,
// modCmpDB) in Korean; the translations know them under the context
// "Form1", as these marks tell the translation tools.
const char* const kDesignedTexts[] = {
    QT_TRANSLATE_NOOP("Form1", "Dexmira - Orvessa 상담원용"),
    QT_TRANSLATE_NOOP("Form1", "최신버전파일을 생성중입니다."),
    QT_TRANSLATE_NOOP("Form1", "※ 한쪽만 존재하는 필드 제외 /  인덱스만 비교"),
    QT_TRANSLATE_NOOP("Form1", "한쪽에만 있는 필드 표시"),
    QT_TRANSLATE_NOOP("Form1", "[제품선택]"),
};
// The grid's header words (SetupGridLayout); the rest of its header is
// English or the compared files' paths.
const struct {
    const char* source;
    const char* comment;
} kGridWords[] = {
    QT_TRANSLATE_NOOP3("Form1", "테이블명", "grid column"),
    QT_TRANSLATE_NOOP3("Form1", "필드명", "grid column"),
    QT_TRANSLATE_NOOP3("Form1", "비교", "grid column"),
};


// Passes everything on to the window's dialogs and keeps the messages (and
// questions) shown, so that a report can tell what the run said.
// A message of the run shows over the grid as the run has left it so far,
// although the grid's painting is held until the run ends.
class KeptMessages : public Dialogs {
public:
    KeptMessages(Dialogs& shown, std::vector<report::Message>& kept, Grid& grid)
        : shown_(shown), kept_(kept), grid_(grid) {}
    void message(const std::string& text, const std::string& title, Icon icon) override {
        kept_.push_back({title, text, icon});
        if (grid_.paintingSuspended()) grid_.publish();
        shown_.message(text, title, icon);
    }
    bool askYesNo(const std::string& text, const std::string& title, bool defaultNo) override {
        kept_.push_back({title, text, Icon::Question});
        return shown_.askYesNo(text, title, defaultNo);
    }
    OpenFileResult openFile(const OpenFileRequest& request) override { return shown_.openFile(request); }
    OpenFileResult saveFile(const OpenFileRequest& request) override { return shown_.saveFile(request); }
    std::optional<std::string> askPassword(const std::string& text, const std::string& title) override {
        return shown_.askPassword(text, title);
    }

private:
    Dialogs& shown_;
    std::vector<report::Message>& kept_;
    Grid& grid_;
};

}  // namespace

QString Form1::translated(const std::string& korean) {
    for (const char* text : kDesignedTexts)
        if (korean == text) return QCoreApplication::translate("Form1", text);
    return qs(korean);
}

Form1::Form1(DbEngine& engine, Dialogs& dialogs, Settings& settings, std::function<void(bool)> runAutoUpdate,
             QWidget* parent)
    : QWidget(parent),
      engine_(engine),
      dialogs_(dialogs),
      settings_(settings),
      runAutoUpdate_(std::move(runAutoUpdate)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(translated(kCaption));
    setWindowIcon(windowIconOfProgram());
    createControls();
    applyTabOrder();
    bindProgressBar(itemBar_, ProgressBar1[0]);
    bindProgressBar(overallBar_, ProgressBar1[1]);
    resize(twipsToPixelsX(design::innerWidth), twipsToPixelsY(design::innerHeight));
    updateMinimumSize();
    // Keys reach the window before the control that has the focus.
    qApp->installEventFilter(this);
}

Form1::~Form1() {
    if (qApp) qApp->removeEventFilter(this);
    setBusy(false);
    // Closing the window moves the focus out of a path box, which would
    // call back into this half-destroyed object: no signal of the children
    // reaches it any more.
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
    // The view's model observes grid_, a member that dies before the
    // children of this widget: take the view down first.
    delete spList;
    spList = nullptr;
}

std::string Form1::pathText(int index) const { return txtDBPath[index & 1]->text().toStdString(); }

Workbench Form1::workbench() { return workbench(dialogs_); }

Workbench Form1::workbench(Dialogs& dialogs) {
    return Workbench{grid_, engine_, dialogs, itemBar_, overallBar_, *this, &structures_, keepOneSidedFields_};
}

void Form1::guarded(const char* procedure, const std::function<void()>& body) noexcept {
    try {
        body();
    } catch (...) {
        const ErrorReport report = DescribeCurrentException();
        try {
            dialogs_.message(errorFrame(report.number, report.description, procedure, kFormOwner), kAppTitle, Icon::Critical);
        } catch (...) {
            std::cerr << errorFrame(report.number, report.description, procedure, kFormOwner) << '\n';
        }
    }
}

// ---------------------------------------------------------------- start-up

void Form1::load() {
    if (loaded_) return;
    loaded_ = true;
    guarded("Form_Load", [this] { Form_Load(); });
    restorePlacement();
}

QIcon Form1::windowIconOfProgram() {
    QIcon icon;
    for (int size : {48, 256})
        icon.addFile(QStringLiteral(":/icons/dexmira-%1.png").arg(size), QSize(size, size));
    return icon;
}

words::Language Form1::uiLanguage() {
    //: The code of this translation's language: "en" for English. The
    //: window writes its reports and details in that language.
    return tr("ko", "language code") == QLatin1String("en") ? words::Language::English : words::Language::Korean;
}

// The window's size and position, beside the remembered paths under a key
// of their own; a saved place outside today's screens is moved onto one.
void Form1::restorePlacement() {
    const std::string saved = settings_.get(kSettingsSection, kPlacementKey);
    if (!saved.empty()) restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(saved)));
}

void Form1::closeEvent(QCloseEvent* event) {
    guarded("closeEvent", [this] {
        settings_.set(kSettingsSection, kPlacementKey, saveGeometry().toBase64().toStdString());
    });
    QWidget::closeEvent(event);
}

void Form1::setVisible(bool visible) {
    // Form_Load runs while the window is still hidden, so that filling the
    // boxes and the list neither writes settings nor chooses a product.
    if (visible && !loaded_) load();
    QWidget::setVisible(visible);
}

void Form1::Form_Load() {
    if (runAutoUpdate_) runAutoUpdate_(false);
    InitList();
    setWindowTitle(qs(WindowTitle(translated(kCaption).toStdString(), DEXMIRA_VERSION_MAJOR, DEXMIRA_VERSION_MINOR,
                                  DEXMIRA_VERSION_PATCH)));
    for (int i = 0; i < 2; ++i) txtDBPath[i]->setText(qs(settings_.get(kSettingsSection, kSettingKey[i])));
    cmbApp->setCurrentIndex(0);
    grid_.setLocked(true);
}

void Form1::InitList() {
    using namespace gridlayout;
    if (grid_.columnCount() != kColumns) {
        SetupGridLayout(grid_);
        translateGridHeader();
    }
    grid_.setRowCount(0);
    grid_.joinHeader(FirstColumn(Side::A), LastColumn(Side::A));
    grid_.joinHeader(FirstColumn(Side::B), LastColumn(Side::B));
    // Display settings: runs of one table name read as one block, and a
    // read-only grid selecting single cells.
    spList->setMergeRepeats(ViewColumn(Column(Side::A, SideColumn::Table)), true);
    spList->setMergeRepeats(ViewColumn(Column(Side::B, SideColumn::Table)), true);
    spList->setSelectionMode(QAbstractItemView::SingleSelection);
}

void Form1::translateGridHeader() {
    for (int c = 1; c <= grid_.columnCount(); ++c)
        for (bool upper : {false, true})
            for (const auto& word : kGridWords)
                if (grid_.headerText(c, upper) == word.source)
                    grid_.setHeaderText(c, upper,
                                        QCoreApplication::translate("Form1", word.source, word.comment).toStdString());
}

// ---------------------------------------------------------------- product and paths

std::string Form1::entryText() const { return cmbApp->currentData().toString().toStdString(); }

void Form1::selectEntry(int entry) {
    if (cmbApp->currentIndex() == entry) return;
    cmbApp->setCurrentIndex(entry);
    cmbApp_Click();
}

void Form1::cmbApp_Click() {
    guarded("cmbApp_Click", [this] {
        if (!isVisible()) return;
        const ProductChoice choice = LookUpProduct(entryText());
        ProductCode = choice.code;
        if (txtDBPath[0]->text().isEmpty()) txtDBPath[0]->setText(qs(choice.defaultPath));
    });
}

void Form1::txtDBPath_Change(int index) {
    guarded("txtDBPath_Change", [this, index] {
        if (!isVisible()) return;
        settings_.set(kSettingsSection, kSettingKey[index & 1], pathText(index));
        for (int entry : InferredEntries(pathText(0))) selectEntry(entry);
    });
}

void Form1::txtDBPath_GotFocus(int index) { txtDBPath[index & 1]->selectAll(); }

bool Form1::txtDBPath_OLEDragOver(int, const QMimeData* data) { return !firstDroppedFile(data).isEmpty(); }

bool Form1::txtDBPath_OLEDragDrop(int index, const QMimeData* data) {
    const QString file = firstDroppedFile(data);
    if (file.isEmpty()) return false;
    guarded("txtDBPath_OLEDragDrop", [this, index, &file] { txtDBPath[index & 1]->setText(file); });
    return true;
}

void Form1::cmdDB_Click(int index) {
    guarded("cmdDB_Click", [this, index] {
        const int i = index & 1;
        std::string start = TrimBlanks(pathText(i));
        if (start.empty()) start = pathText(1 - i);
        const std::string chosen = OpenMdbDialog(start);
        if (!chosen.empty()) txtDBPath[i]->setText(qs(chosen));
    });
}

std::string Form1::OpenMdbDialog(const std::string& initialPath) {
    if (LastDir.empty()) LastDir = QCoreApplication::applicationDirPath().toStdString();
    OpenFileResult result;
    try {
        result = dialogs_.openFile({initialPath, LastDir, "MDB File (mdb)", "*.mdb"});
    } catch (...) {
        // A failing dialog hands back the path it was given.
        result = OpenFileResult{false, true, initialPath};
    }
    if (result.cancelled) return {};
    if (result.failed) return initialPath;
    const std::string folder = FolderOf(result.fileName);
    if (!folder.empty()) LastDir = folder;
    return result.fileName;
}

// ---------------------------------------------------------------- the run and navigation

void Form1::makePathAbsolute(int index) {
    const std::string typed = pathText(index);
    if (TrimBlanks(typed).empty()) return;
    const std::string absolute = AbsolutePath(typed);
    if (absolute != typed) txtDBPath[index & 1]->setText(qs(absolute));  // stores it, as typing does
}

void Form1::cmdComp_Click() {
    // One run at a time: a key or click reaching the window while a run's
    // message box is open does not start another.
    if (running_) return;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    guarded("cmdComp_Click", [this] {
        for (int i = 0; i < 2; ++i) makePathAbsolute(i);
        runFinished_ = false;
        runMessages_.clear();
        // A details box open from the last run would no longer match the grid.
        if (details_) details_->close();
        runPathA_ = pathText(0);
        runPathB_ = pathText(1);
        runProduct_ = ProductCode.empty() ? std::string() : entryText();
        CompareRequest request{pathText(0), pathText(1), ProductCode};
        if (!askFilePasswords(request)) return;
        KeptMessages kept(dialogs_, runMessages_, grid_);
        Workbench wb = workbench(kept);
        try {
            runFinished_ = RunComparison(wb, request, migrator_);
        } catch (...) {
            recoverAfterFailedRun();
            updateStatusLine();
            throw;
        }
        updateStatusLine();
    });
}

bool Form1::askFilePasswords(CompareRequest& request) {
    for (int i = 0; i < 2; ++i) {
        const std::string path = i == 0 ? request.pathA : request.pathB;
        std::error_code ec;
        if (path.empty() || !std::filesystem::is_regular_file(std::filesystem::u8path(path), ec)) continue;
        if (!RefusesProductPassword(engine_, path)) continue;
        // Used for this run only: kept in the request, never in the settings.
        const auto typed = dialogs_.askPassword(
            tr("%1 파일이 제품 암호로 열리지 않습니다. 이 비교에 쓸 암호를 입력하세요.")
                    .arg(qs(summary::SideLabel(i == 0 ? gridlayout::Side::A : gridlayout::Side::B, uiLanguage())))
                    .toStdString() +
                "\r\n\r\n" + path,
            kAppTitle);
        if (!typed) return false;
        (i == 0 ? request.passwordA : request.passwordB) = *typed;
    }
    return true;
}

void Form1::updateStatusLine() {
    if (others_) others_->close();
    if (!runFinished_ || !structures_.complete()) {
        lblStatus->setText(tr("비교가 끝나지 않았습니다."));
        lblStatus->setToolTip({});
        return;
    }
    const words::Language language = uiLanguage();
    const auto diff = indexdiff::CompareStructures(structures_.tablesA, structures_.tablesB);
    const summary::Counts counts = summary::CountOf(diff);
    QString text = qs(summary::OthersText(counts, language));
    if (counts.total() > 0) {
        text += QStringLiteral("  ");
        text += counts.fieldsOnlyInA + counts.fieldsOnlyInB > 0 ? tr("(Ctrl+D: 목록, Ctrl+Shift+O: 한쪽 필드 표시)")
                                                                 : tr("(Ctrl+D: 목록)");
    }
    // A product's run leaves copies of the customer's data on the disk.
    if (!runProduct_.empty())
        if (const auto copies = DescribeCopies(structures_.pathA))
            text += QStringLiteral("  |  ") +
                    tr("사본: %1 (%2)").arg(qs(copies->folder), qs(SizeText(copies->bytes)));
    lblStatus->setText(text);
    QString tip;
    for (const auto& line : summary::DifferenceLines(diff, language)) tip += qs(line) + QLatin1Char('\n');
    lblStatus->setToolTip(tip.trimmed());
}

QString Form1::statusText() const { return lblStatus->text(); }

void Form1::recoverAfterFailedRun() {
    showNotice(false);
    while (grid_.paintingSuspended()) grid_.resumePainting();
    itemBar_.setVisible(false);
    overallBar_.setVisible(false);
    setBusy(false);
}

void Form1::cmdMove_Click(int16_t index) {
    guarded("cmdMove_Click", [this, index] {
        Workbench wb = workbench();
        modCmpDB::cmdMove_Click(wb, index);
    });
}

void Form1::cmdAccess_Click(int index) {
    guarded("cmdAccess_Click", [this, index] {
        Workbench wb = workbench();
        auto open = openDocument_ ? openDocument_ : [this](const std::string& path) {
            desktop::OpenInApplication(dialogs_, path, desktop::ProcessEnvironment());
        };
        dex::cmdAccess_Click(wb, pathText(index), static_cast<int16_t>(index & 1), open);
    });
}

void Form1::cmdCompact_Click(int index) {
    guarded("cmdCompact_Click", [this, index] {
        Workbench wb = workbench();
        dex::cmdCompact_Click(wb, pathText(index), static_cast<int16_t>(index & 1), fileOps_);
    });
}

// ---------------------------------------------------------------- window services

void Form1::focusPathBox(int index) { txtDBPath[index & 1]->setFocus(Qt::OtherFocusReason); }

void Form1::showNotice(bool shown) {
    maketb->setVisible(shown);
    if (!shown) return;
    maketb->raise();
    maketb->setFocus(Qt::OtherFocusReason);
    // The run holds the window: draw the notice now.
    maketb->repaint();
}

void Form1::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

}  // namespace dex
