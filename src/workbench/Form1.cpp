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
#include <iostream>

#include "CompareRun.h"
#include "ApplyFix.h"
#include "FixScript.h"
#include "Form1Details.h"
#include "GridTableModel.h"
#include "GridView.h"
#include "TableDetails.h"
#include "Version.h"
#include "modCmpDB.h"

using namespace dex;
using namespace dex::form1;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The first local file among the dragged data's URLs; "" when there is none.
QString firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

int keyCodeOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_F3: return kKeyF3;
    case Qt::Key_F5: return kKeyF5;
    case Qt::Key_Escape: return kKeyEscape;
    default: return 0;
    }
}

int shiftStateOf(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? kShiftMask : 0) | (m & Qt::ControlModifier ? kCtrlMask : 0) |
           (m & Qt::AltModifier ? kAltMask : 0);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
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

// A designed text in the window's language.
QString translated(const std::string& korean) {
    for (const char* text : kDesignedTexts)
        if (korean == text) return QCoreApplication::translate("Form1", text);
    return qs(korean);
}

// An access key, Alt+key, whatever the button's text says: the designed
// Korean texts carry no "&" (a translation underlines the same letter).
// The tool tip names the control and its keys (otherKey first, if any).
void giveAccessKey(QPushButton* button, Qt::Key key, const QString& name, const QString& otherKey = {}) {
    button->setShortcut(QKeySequence(Qt::ALT | key));
    button->setAccessibleName(name);
    const QString keys = button->shortcut().toString(QKeySequence::NativeText);
    button->setToolTip(name + QStringLiteral(" (") + (otherKey.isEmpty() ? keys : otherKey + QStringLiteral(", ") + keys) +
                       QLatin1Char(')'));
}

// Passes everything on to the window's dialogs and keeps the messages (and
// questions) shown, so that a report can tell what the run said.
class KeptMessages : public Dialogs {
public:
    KeptMessages(Dialogs& shown, std::vector<report::Message>& kept) : shown_(shown), kept_(kept) {}
    void message(const std::string& text, const std::string& title, Icon icon) override {
        kept_.push_back({title, text, icon});
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
};

}  // namespace

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
    // The view's model observes grid_, a member that dies before the
    // children of this widget: take the view down first.
    delete spList;
    spList = nullptr;
}

// ---------------------------------------------------------------- controls

int Form1::twipsToPixelsX(int twips) const { return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0)); }
int Form1::twipsToPixelsY(int twips) const { return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0)); }
int Form1::pixelsToTwipsX(int pixels) const { return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpiX())); }
int Form1::pixelsToTwipsY(int pixels) const { return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpiY())); }

void Form1::place(QWidget* widget, const TwipRect& r) {
    widget->setGeometry(twipsToPixelsX(r.left), twipsToPixelsY(r.top), twipsToPixelsX(r.width),
                        twipsToPixelsY(r.height));
}

void Form1::createTopBand() {
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    place(Frame1, design::Frame1);

    Frame1->setAccessibleName(tr("경로와 명령"));

    cmdComp = makeButton(Frame1, "cmdComp", tr("비교"));
    giveAccessKey(cmdComp, Qt::Key_C, tr("두 DB 비교"), QStringLiteral("F5"));
    QPalette pal = cmdComp->palette();
    pal.setColor(QPalette::Button, GridTableModel::toQColor(0x00FFC0C0));
    cmdComp->setPalette(pal);
    cmdComp->setAutoFillBackground(true);
    place(cmdComp, design::cmdComp);
    connect(cmdComp, &QPushButton::clicked, this, &Form1::cmdComp_Click);

    cmbApp = new QComboBox(Frame1);
    cmbApp->setObjectName(QStringLiteral("cmbApp"));
    cmbApp->setAccessibleName(tr("제품"));
    // Each entry shows its text in the window's language and keeps the
    // designed text, which the product rules look up, as its data.
    for (const auto& entry : ProductTable()) cmbApp->addItem(translated(entry.text), qs(entry.text));
    place(cmbApp, design::cmbApp);
    // The user's choice (mouse, keys, wheel); choices made by the program
    // call cmbApp_Click themselves (selectEntry).
    connect(cmbApp, &QComboBox::activated, this, [this](int) { cmbApp_Click(); });

    QFont pathFont(QStringLiteral("굴림"));
    pathFont.setPointSizeF(9.75);
    static const char* const dbNames[2] = {"cmdDB_0", "cmdDB_1"};
    static const char* const pathNames[2] = {"txtDBPath_0", "txtDBPath_1"};
    static const char* const accessNames[2] = {"cmdAccess_0", "cmdAccess_1"};
    static const char* const compactNames[2] = {"cmdCompact_0", "cmdCompact_1"};
    static const char* const moveNames[2] = {"cmdMove_0", "cmdMove_1"};
    static const char* const moveTexts[2] = {"Next F3", "Prev +F3"};
    const QString dbTextsShown[2] = {tr("DB (A)..."), tr("DB (B)...")};
    const QString accessTexts[2] = {tr("<< 엑세스열기", "row A"), tr("<< 엑세스열기", "row B")};
    const QString compactTexts[2] = {tr("<< 압축및복구", "row A"), tr("<< 압축및복구", "row B")};
    const QString dbNamesSpoken[2] = {tr("DB A 파일 선택"), tr("DB B 파일 선택")};
    const QString pathNamesSpoken[2] = {tr("DB A 경로"), tr("DB B 경로")};
    const QString accessNamesSpoken[2] = {tr("DB A를 엑세스에서 열기"), tr("DB B를 엑세스에서 열기")};
    const QString compactNamesSpoken[2] = {tr("DB A 압축 및 복구"), tr("DB B 압축 및 복구")};
    const QString moveNamesSpoken[2] = {tr("다음 차이"), tr("이전 차이")};
    static const Qt::Key dbKeys[2] = {Qt::Key_A, Qt::Key_B};
    static const Qt::Key accessKeys[2] = {Qt::Key_O, Qt::Key_P};
    static const Qt::Key compactKeys[2] = {Qt::Key_M, Qt::Key_T};
    for (int i = 0; i < 2; ++i) {
        cmdDB[i] = makeButton(Frame1, dbNames[i], dbTextsShown[i]);
        giveAccessKey(cmdDB[i], dbKeys[i], dbNamesSpoken[i]);
        place(cmdDB[i], design::cmdDB[i]);
        connect(cmdDB[i], &QPushButton::clicked, this, [this, i] { cmdDB_Click(i); });

        txtDBPath[i] = new QLineEdit(Frame1);
        txtDBPath[i]->setObjectName(QString::fromLatin1(pathNames[i]));
        txtDBPath[i]->setAccessibleName(pathNamesSpoken[i]);
        txtDBPath[i]->setFont(pathFont);
        txtDBPath[i]->setAcceptDrops(true);
        place(txtDBPath[i], design::txtDBPath[i]);
        connect(txtDBPath[i], &QLineEdit::textChanged, this, [this, i] { txtDBPath_Change(i); });

        cmdAccess[i] = makeButton(Frame1, accessNames[i], accessTexts[i]);
        giveAccessKey(cmdAccess[i], accessKeys[i], accessNamesSpoken[i]);
        place(cmdAccess[i], design::cmdAccess[i]);
        connect(cmdAccess[i], &QPushButton::clicked, this, [this, i] { cmdAccess_Click(i); });

        cmdCompact[i] = makeButton(Frame1, compactNames[i], compactTexts[i]);
        giveAccessKey(cmdCompact[i], compactKeys[i], compactNamesSpoken[i]);
        place(cmdCompact[i], design::cmdCompact[i]);
        connect(cmdCompact[i], &QPushButton::clicked, this, [this, i] { cmdCompact_Click(i); });

        cmdMove[i] = makeButton(Frame1, moveNames[i], QString::fromLatin1(moveTexts[i]));
        cmdMove[i]->setAccessibleName(moveNamesSpoken[i]);
        place(cmdMove[i], design::cmdMove[i]);
        cmdMove[i]->setVisible(false);
        connect(cmdMove[i], &QPushButton::clicked, this, [this, i] { cmdMove_Click(static_cast<int16_t>(i)); });
    }

    Label1 = new QLabel(translated(kLabelText), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAccessibleName(tr("비교 범위"));
    place(Label1, design::Label1);
    // Tall enough for its font, which may be larger than the design's.
    Label1->resize(Label1->width(), std::max(Label1->height(), Label1->fontMetrics().height()));
}

void Form1::createControls() {
    createTopBand();

    spList = new GridView(grid_, this);
    spList->setObjectName(QStringLiteral("spList"));
    spList->setAccessibleName(tr("비교 결과"));
    place(spList, design::spList);
    // A double click (or Enter, see gridKeyFilter) opens the row's details
    // box; the cells are never edited.
    QAbstractItemView::EditTriggers triggers = spList->editTriggers();
    triggers.setFlag(QAbstractItemView::DoubleClicked, false);
    spList->setEditTriggers(triggers);
    connect(spList, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) spList_DblClick(index.row() + 1);
    });
    spList->gridModel()->setToolTipSource([this](int column, int row) { return markToolTip(column, row); });
    createGridMenu();

    static const char* const barNames[2] = {"ProgressBar1_0", "ProgressBar1_1"};
    const QString barNamesSpoken[2] = {tr("항목 진행률"), tr("전체 진행률")};
    for (int i = 0; i < 2; ++i) {
        ProgressBar1[i] = new QProgressBar(this);
        ProgressBar1[i]->setObjectName(QString::fromLatin1(barNames[i]));
        ProgressBar1[i]->setAccessibleName(barNamesSpoken[i]);
        ProgressBar1[i]->setRange(0, 100);
        ProgressBar1[i]->setTextVisible(false);
        place(ProgressBar1[i], design::ProgressBar1[i]);
        ProgressBar1[i]->setVisible(false);
    }

    maketb = new QLineEdit(translated(kNoticeText), this);
    maketb->setObjectName(QStringLiteral("maketb"));
    maketb->setAccessibleName(tr("알림"));
    maketb->setReadOnly(true);
    QFont noticeFont(QStringLiteral("굴림"));
    noticeFont.setPointSizeF(20.25);
    maketb->setFont(noticeFont);
    place(maketb, design::maketb);
    maketb->setVisible(false);
}

void Form1::createGridMenu() {
    auto add = [this](QAction*& member, const char* name, const QString& text, const QKeySequence& keys) {
        member = new QAction(text, spList);
        member->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) member->setShortcut(keys);
        member->setShortcutContext(Qt::WindowShortcut);
        spList->addAction(member);
    };
    auto separator = [this] {
        auto* line = new QAction(spList);
        line->setSeparator(true);
        spList->addAction(line);
    };
    add(mnuDetails, "mnuDetails", tr("테이블 상세 정보...\tEnter"), {});
    separator();
    add(mnuSaveReport, "mnuSaveReport", tr("비교 보고서 저장..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    add(mnuFixB, "mnuFixB", tr("수정 스크립트 저장: B를 A와 같게..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    add(mnuFixA, "mnuFixA", tr("수정 스크립트 저장: A를 B와 같게..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    add(mnuApplyA, "mnuApplyA", tr("수정 스크립트 적용: A를 B와 같게..."), {});
    add(mnuApplyB, "mnuApplyB", tr("수정 스크립트 적용: B를 A와 같게..."), {});
    separator();
    add(mnuOneSided, "mnuOneSided", translated(modCmpDB::OneSidedModeLabel(true)),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    mnuOneSided->setCheckable(true);
    spList->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(mnuDetails, &QAction::triggered, this, [this] {
        const QModelIndex current = spList->currentIndex();
        if (current.isValid()) spList_DblClick(current.row() + 1);
    });
    connect(mnuSaveReport, &QAction::triggered, this, &Form1::mnuSaveReport_Click);
    connect(mnuFixB, &QAction::triggered, this, [this] { mnuFixScript_Click(1); });
    connect(mnuFixA, &QAction::triggered, this, [this] { mnuFixScript_Click(0); });
    connect(mnuApplyA, &QAction::triggered, this, [this] { mnuApplyFix_Click(0); });
    connect(mnuApplyB, &QAction::triggered, this, [this] { mnuApplyFix_Click(1); });
    connect(mnuOneSided, &QAction::toggled, this, &Form1::mnuOneSided_Click);
}

void Form1::applyTabOrder() {
    const std::array<QWidget*, 16> order{cmdMove[1],    cmdMove[0],    cmdComp,        cmdDB[0],
                                         cmdDB[1],      txtDBPath[0],  txtDBPath[1],   spList,
                                         ProgressBar1[1], ProgressBar1[0], cmdAccess[0], cmdAccess[1],
                                         cmbApp,        cmdCompact[1], cmdCompact[0],  maketb};
    for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void Form1::bindProgressBar(ProgressBar& bar, QProgressBar* widget) {
    bar.onChange = [&bar, widget] {
        widget->setMaximum(bar.maximum());
        widget->setValue(bar.value());
        widget->setVisible(bar.visible());
    };
    bar.onChange();
}

std::string Form1::pathText(int index) const { return txtDBPath[index & 1]->text().toStdString(); }

Workbench Form1::workbench() { return workbench(dialogs_); }

Workbench Form1::workbench(Dialogs& dialogs) {
    return Workbench{grid_, engine_, dialogs, itemBar_, overallBar_, *this, &structures_, keepOneSidedFields_};
}

template <class F>
void Form1::guarded(const char* procedure, F&& body) noexcept {
    try {
        body();
    } catch (...) {
        const ErrorReport report = DescribeCurrentException();
        try {
            dialogs_.message(ErrorText(report.number, report.description, procedure), kAppTitle, Icon::Critical);
        } catch (...) {
            std::cerr << ErrorText(report.number, report.description, procedure) << '\n';
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
    if (grid_.columnCount() != modCmpDB::kColumns) {
        SetupGridLayout(grid_);
        translateGridHeader();
    }
    grid_.setRowCount(0);
    grid_.joinHeader(1, 11);
    grid_.joinHeader(13, 23);
    // Display settings: runs of one table name read as one block, and a
    // read-only grid selecting single cells.
    spList->setMergeRepeats(0, true);
    spList->setMergeRepeats(12, true);
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

void Form1::cmdComp_Click() {
    guarded("cmdComp_Click", [this] {
        runFinished_ = false;
        runMessages_.clear();
        // A details box open from the last run would no longer match the grid.
        if (details_) details_->close();
        runPathA_ = pathText(0);
        runPathB_ = pathText(1);
        runProduct_ = ProductCode.empty() ? std::string() : entryText();
        KeptMessages kept(dialogs_, runMessages_);
        Workbench wb = workbench(kept);
        try {
            runFinished_ = RunComparison(wb, CompareRequest{pathText(0), pathText(1), ProductCode}, migrator_);
        } catch (...) {
            recoverAfterFailedRun();
            throw;
        }
    });
}

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
        dex::cmdAccess_Click(wb, pathText(index), static_cast<int16_t>(index & 1), openDocument_);
    });
}

void Form1::cmdCompact_Click(int index) {
    guarded("cmdCompact_Click", [this, index] {
        Workbench wb = workbench();
        dex::cmdCompact_Click(wb, pathText(index), static_cast<int16_t>(index & 1), fileOps_);
    });
}

// ---------------------------------------------------------------- details, report, fix script

void Form1::spList_DblClick(int row) {
    guarded("spList_DblClick", [this, row] { showDetails(row); });
}

QDialog* Form1::showDetails(int row) {
    std::string table = modCmpDB::GetCellText(grid_, modCmpDB::kBaseA + 1, row);
    if (table.empty()) table = modCmpDB::GetCellText(grid_, modCmpDB::kBaseB + 1, row);
    if (table.empty()) return nullptr;
    const details::TableDetails found = details::MakeTableDetails(structures_, table, uiLanguage());
    if (!found.found()) return nullptr;
    if (details_) details_->close();
    auto* box = new frmDetails(found, structures_.pathA, structures_.pathB, this);
    details_ = box;
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}

std::string Form1::markToolTip(int column, int row) const {
    const int base = column < modCmpDB::kMarkColumn ? modCmpDB::kBaseA : modCmpDB::kBaseB;
    if (column - base < 2 || column - base > 4) return {};
    if (modCmpDB::GetCellText(grid_, column, row) != "v") return {};
    return details::MarkTip(structures_, column, modCmpDB::GetCellText(grid_, base + 1, row),
                            modCmpDB::GetCellText(grid_, base + 5, row), uiLanguage());
}

bool Form1::haveFinishedRun() {
    if (runFinished_ && structures_.complete()) return true;
    dialogs_.message(tr("저장할 비교 결과가 없습니다. 먼저 비교하세요.").toStdString(), kAppTitle, Icon::None);
    return false;
}

std::string Form1::askSavePath(const std::string& name, const std::string& label, const std::string& pattern) {
    std::string folder = FolderOf(TrimBlanks(runPathA_));
    if (folder.empty()) folder = LastDir;
    const OpenFileResult chosen = dialogs_.saveFile({name, folder, label, pattern});
    if (chosen.cancelled || chosen.failed) return {};
    return chosen.fileName;
}

void Form1::mnuSaveReport_Click() {
    guarded("mnuSaveReport_Click", [this] {
        if (!haveFinishedRun()) return;
        const std::string path =
            askSavePath("compare-report.html", "Report (html, csv, json)", "*.html *.csv *.json");
        if (path.empty()) return;
        if (!report::IsReportPath(path)) {
            dialogs_.message(tr("보고서 파일 이름은 .html, .csv 또는 .json으로 끝나야 합니다.").toStdString() +
                                 "\r\n\r\n" + path,
                             kAppTitle, Icon::Warning);
            return;
        }
        report::ReportData data = report::MakeReportData(grid_, &structures_, runMessages_, uiLanguage());
        data.requestedA = runPathA_;
        data.requestedB = runPathB_;
        data.product = runProduct_;
        try {
            report::WriteReport(path, data);
        } catch (const std::exception& e) {
            dialogs_.message(e.what(), kAppTitle, Icon::Critical);
            return;
        }
        dialogs_.message(tr("보고서를 저장했습니다.").toStdString() + "\r\n\r\n" + path, kAppTitle, Icon::Information);
    });
}

void Form1::mnuFixScript_Click(int target) {
    guarded("mnuFixScript_Click", [this, target] {
        if (!haveFinishedRun()) return;
        const bool fixB = target != 0;
        const std::string path = askSavePath(fixB ? "fix-B.sql" : "fix-A.sql", "SQL File (sql)", "*.sql");
        if (path.empty()) return;
        // Rows that would keep a foreign key from being created are counted
        // in the file the script is for (the migrated copy after a product's run).
        fixscript::EngineOrphanCheck orphans(engine_, fixB ? structures_.pathB : structures_.pathA, kProductPassword);
        const std::string script =
            fixscript::MakeFixScript(structures_, fixB ? fixscript::Target::B : fixscript::Target::A, &orphans);
        try {
            report::WriteWholeFile(path, script, "The fix script");
        } catch (const std::exception& e) {
            dialogs_.message(e.what(), kAppTitle, Icon::Critical);
            return;
        }
        const QString what = script.empty() ? tr("두 DB의 키와 인덱스가 같아 빈 스크립트를 저장했습니다.")
                             : fixB         ? tr("B의 키와 인덱스를 A와 같게 만드는 스크립트를 저장했습니다.")
                                            : tr("A의 키와 인덱스를 B와 같게 만드는 스크립트를 저장했습니다.");
        dialogs_.message(what.toStdString() + "\r\n\r\n" + path, kAppTitle, Icon::Information);
    });
}

void Form1::mnuApplyFix_Click(int target) {
    guarded("mnuApplyFix_Click", [this, target] {
        if (!haveFinishedRun()) return;
        const bool fixB = target != 0;
        fixscript::EngineOrphanCheck orphans(engine_, fixB ? structures_.pathB : structures_.pathA, kProductPassword);
        const std::string script =
            fixscript::MakeFixScript(structures_, fixB ? fixscript::Target::B : fixscript::Target::A, &orphans);
        if (script.empty()) {
            dialogs_.message(tr("두 DB의 키와 인덱스가 같아 적용할 것이 없습니다.").toStdString(), kAppTitle,
                             Icon::Information);
            return;
        }
        // The file the user named in the box, not the run's migrated copy.
        Workbench wb = workbench();
        ApplyFixScript(wb, TrimBlanks(fixB ? runPathB_ : runPathA_), static_cast<int16_t>(target & 1), script);
    });
}

void Form1::mnuOneSided_Click(bool checked) {
    keepOneSidedFields_ = checked;
    if (mnuOneSided->isChecked() != checked) mnuOneSided->setChecked(checked);
    // The label under the boxes tells which fields the next run compares.
    Label1->setText(translated(checked ? modCmpDB::OneSidedModeLabel(true) : kLabelText));
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

// ---------------------------------------------------------------- keys, drops, resize

void Form1::Form_KeyDown(int keyCode, int shift) {
    switch (RouteKey(keyCode, shift)) {
    case KeyAction::NextDifference: cmdMove_Click(0); break;
    case KeyAction::PreviousDifference: cmdMove_Click(1); break;
    case KeyAction::Compare: cmdComp_Click(); break;
    case KeyAction::Close: close(); break;
    case KeyAction::None: break;
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (watched == spList && gridKeyFilter(event)) return true;
        return keyPressFilter(watched, event);
    }
    for (int i = 0; i < 2; ++i)
        if (watched == txtDBPath[i]) return pathBoxFilter(i, event);
    return false;
}

bool Form1::keyPressFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    // A key travels from the focused control up through its parents; the
    // window handles it once, when it is delivered to its first receiver.
    QWidget* focus = QApplication::focusWidget();
    QWidget* first = (focus && focus->window() == this) ? focus : this;
    if (widget != first) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int code = keyCodeOf(key->key());
    if (code != 0) Form_KeyDown(code, shiftStateOf(key->modifiers()));
    return false;  // the control receives the key afterwards
}

bool Form1::gridKeyFilter(QEvent* event) {
    // Enter on a cell opens its row's details; the grid itself would only
    // pass the key on.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    Qt::KeyboardModifiers mods = key->modifiers();
    mods.setFlag(Qt::KeypadModifier, false);
    if (mods != Qt::KeyboardModifiers()) return false;
    const QModelIndex current = spList->currentIndex();
    if (!current.isValid()) return false;
    spList_DblClick(current.row() + 1);
    return true;
}

bool Form1::pathBoxFilter(int index, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: txtDBPath_GotFocus(index); return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (txtDBPath_OLEDragOver(index, drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (txtDBPath_OLEDragDrop(index, drop->mimeData())) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        } else {
            drop->ignore();
        }
        return true;
    }
    default: return false;
    }
}

void Form1::updateMinimumSize() {
    // The rule is about the outer size; the frame's share is known once the
    // window has one.
    const QSize frame = isWindow() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    const int minW = static_cast<int>(std::ceil(design::minOuter * logicalDpiX() / 1440.0)) - frame.width();
    const int minH = static_cast<int>(std::ceil(design::minOuter * logicalDpiY() / 1440.0)) - frame.height();
    const QSize minimum(std::max(1, minW), std::max(1, minH));
    if (minimumSize() != minimum) setMinimumSize(minimum);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    guarded("Form_Resize", [this] { Form_Resize(); });
}

void Form1::Form_Resize() {
    if (isMinimized()) return;
    updateMinimumSize();
    const int w = std::max(width(), minimumWidth()), h = std::max(height(), minimumHeight());
    if (w != width() || h != height()) resize(w, h);
    const ResizeLayout l = ComputeResize(pixelsToTwipsX(w), pixelsToTwipsY(h));
    Frame1->setGeometry(0, 0, twipsToPixelsX(l.frameWidth), Frame1->height());
    for (int i = 0; i < 2; ++i) {
        txtDBPath[i]->resize(twipsToPixelsX(l.pathWidth[i]), txtDBPath[i]->height());
        cmdAccess[i]->move(twipsToPixelsX(l.accessLeft), cmdAccess[i]->y());
        cmdCompact[i]->move(twipsToPixelsX(l.compactLeft), cmdCompact[i]->y());
        ProgressBar1[i]->setGeometry(0, twipsToPixelsY(l.barTop[i]), twipsToPixelsX(l.barWidth),
                                     ProgressBar1[i]->height());
        ProgressBar1[i]->raise();
    }
    spList->setGeometry(twipsToPixelsX(l.gridLeft), spList->y(), twipsToPixelsX(l.gridWidth),
                        twipsToPixelsY(l.gridHeight));
}
