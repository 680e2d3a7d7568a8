// Form1's controls: made, placed in twips, named, given their access keys,
// tool tips and signals; the grid's context menu; the tab order.
#include "Form1.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "GridTableModel.h"
#include "GridView.h"
#include "modCmpDB.h"

namespace dex {

using namespace form1;

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
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

}  // namespace

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
    // Enter on the focused button runs the comparison, as a click does.
    cmdComp->setAutoDefault(true);
    connect(cmdComp, &QPushButton::clicked, this, &Form1::cmdComp_Click);

    cmbApp = new QComboBox(Frame1);
    cmbApp->setObjectName(QStringLiteral("cmbApp"));
    cmbApp->setAccessibleName(tr("제품"));
    // Each entry shows its text in the window's language and keeps the
    // designed text, which the product rules look up, as its data.
    for (const auto& entry : ProductTable()) cmbApp->addItem(translated(entry.text), QString::fromStdString(entry.text));
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
        // A path typed relative is shown and remembered absolute once typed.
        connect(txtDBPath[i], &QLineEdit::editingFinished, this,
                [this, i] { guarded("txtDBPath_LostFocus", [this, i] { makePathAbsolute(i); }); });
        txtDBPath[i]->setPlaceholderText(i == 0 ? tr("A (고객): 고객의 DB 파일") : tr("B (기준): 기준 DB 파일"));

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
        if (index.isValid()) openRowDetails(index.row() + 1);
    });
    spList->gridModel()->setToolTipSource([this](int column, int row) { return markToolTip(column, row); });
    createGridMenu();

    // Under the grid: what else the last run found (the grid leaves fields
    // on one side only and field settings out) and where its copies are.
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAccessibleName(tr("비교 상태"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setContentsMargins(4, 0, 4, 0);
    lblStatus->setText(tr("비교하려면 F5를 누르세요."));
    lblStatus->setGeometry(0, spList->geometry().bottom() + 1, spList->width(), lblStatus->fontMetrics().height() + 6);

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
    add(mnuOthers, "mnuOthers", tr("그 밖의 차이 목록..."), QKeySequence(Qt::CTRL | Qt::Key_D));
    spList->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(mnuDetails, &QAction::triggered, this, [this] {
        const QModelIndex current = spList->currentIndex();
        if (current.isValid()) openRowDetails(current.row() + 1);
    });
    connect(mnuSaveReport, &QAction::triggered, this, &Form1::saveReport);
    connect(mnuFixB, &QAction::triggered, this, [this] { saveFixScript(1); });
    connect(mnuFixA, &QAction::triggered, this, [this] { saveFixScript(0); });
    connect(mnuApplyA, &QAction::triggered, this, [this] { applyFixScript(0); });
    connect(mnuApplyB, &QAction::triggered, this, [this] { applyFixScript(1); });
    connect(mnuOneSided, &QAction::toggled, this, &Form1::showOneSidedFields);
    connect(mnuOthers, &QAction::triggered, this, [this] { guarded("mnuOthers_Click", [this] { showOtherDifferences(); }); });
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

}  // namespace dex
