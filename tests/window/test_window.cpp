// The main window: start-up, product choice and inference, remembered paths,
// browsing, dropping, keys, resize, tab order.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <cmath>

#include "GridView.h"
#include "JetDamage.h"
#include "JetFile.h"
#include "JetModel.h"
#include "Version.h"
#include "WindowFixture.h"

using namespace dex::test;
using dex::Form1;

namespace {

const std::string kQuensaII = R"(C:\QuensaII\DBS\dbMain.mdb)";

}  // namespace

// ---------------------------------------------------------------- start-up

TEST_F(WindowTest, StartUpFillsRememberedPathsWithoutChoosingAProduct) {
    settings.set("환경설정", "최근DB_A", kQuensaII);
    settings.set("환경설정", "최근DB_B", "/srv/ref/dbMain.mdb");
    const int writesBefore = settings.writes;
    open();
    EXPECT_EQ(text(0), kQuensaII);
    EXPECT_EQ(text(1), "/srv/ref/dbMain.mdb");
    EXPECT_EQ(list()->currentIndex(), 0);
    EXPECT_EQ(list()->currentText(), QStringLiteral("[제품선택]"));
    EXPECT_EQ(form->productCode(), "");
    EXPECT_EQ(settings.writes, writesBefore) << "start-up wrote settings back";
    // The update check ran once, first, with skip-refresh False, before the
    // window became visible.
    ASSERT_EQ(autoUpdateCalls.size(), 1u);
    EXPECT_FALSE(autoUpdateCalls[0]);
    EXPECT_FALSE(visibleAtAutoUpdate[0]);
    EXPECT_TRUE(form->grid().locked());
    EXPECT_EQ(form->grid().rowCount(), 0);
}

TEST_F(WindowTest, TitleCarriesVersionWithoutBlank) {
    open();
    const QString expected = QStringLiteral("Dexmira - Orvessa 상담원용") + QString::number(DEXMIRA_VERSION_MAJOR) +
                             "." + QString::number(DEXMIRA_VERSION_MINOR) + "." +
                             QString::number(DEXMIRA_VERSION_PATCH);
    EXPECT_EQ(form->windowTitle(), expected);
    EXPECT_FALSE(form->windowTitle().contains(QStringLiteral("용 ")));
}

TEST_F(WindowTest, ExplicitLoadBeforeShowRunsOnce) {
    open(false);
    form->load();
    EXPECT_TRUE(form->isLoaded());
    form->show();
    EXPECT_EQ(autoUpdateCalls.size(), 1u);
}

TEST_F(WindowTest, ControlsCarryTheirTexts) {
    open();
    EXPECT_EQ(child<QPushButton>("cmdComp")->text(), QStringLiteral("비교"));
    EXPECT_EQ(child<QPushButton>("cmdDB_0")->text(), QStringLiteral("DB (A)..."));
    EXPECT_EQ(child<QPushButton>("cmdDB_1")->text(), QStringLiteral("DB (B)..."));
    EXPECT_EQ(child<QPushButton>("cmdAccess_1")->text(), QStringLiteral("<< 엑세스열기"));
    EXPECT_EQ(child<QPushButton>("cmdCompact_0")->text(), QStringLiteral("<< 압축및복구"));
    EXPECT_EQ(child<QPushButton>("cmdMove_0")->text(), QStringLiteral("Next F3"));
    EXPECT_EQ(child<QPushButton>("cmdMove_1")->text(), QStringLiteral("Prev +F3"));
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral("※ 한쪽만 존재하는 필드 제외 /  인덱스만 비교"));
    EXPECT_EQ(child<QLineEdit>("maketb")->text(), QStringLiteral("최신버전파일을 생성중입니다."));
    EXPECT_FALSE(child<QPushButton>("cmdMove_0")->isVisible());
    EXPECT_FALSE(child<QPushButton>("cmdMove_1")->isVisible());
    EXPECT_FALSE(child<QLineEdit>("maketb")->isVisible());
    EXPECT_FALSE(child<QProgressBar>("ProgressBar1_0")->isVisible());
    EXPECT_FALSE(child<QProgressBar>("ProgressBar1_1")->isVisible());
    EXPECT_DOUBLE_EQ(box(0)->font().pointSizeF(), 9.75);
    EXPECT_DOUBLE_EQ(child<QLineEdit>("maketb")->font().pointSizeF(), 20.25);
    QStringList entries;
    for (int i = 0; i < list()->count(); ++i) entries << list()->itemText(i);
    EXPECT_EQ(entries, (QStringList{"[제품선택]", "VelmoraII", "VelmoraLite", "QuensaII", "QuensaPro", "TallyvoII"}));
    // Box A sits right of the list on row A, at its designed place.
    EXPECT_EQ(box(0)->x(), form->twipsToPixelsX(3915));
    EXPECT_EQ(box(1)->y(), form->twipsToPixelsY(510));
}

// ---------------------------------------------------------------- product and inference

TEST_F(WindowTest, ProdbUnderQuensaIISelectsQuensaPro) {
    open();
    box(0)->setText(R"(C:\QuensaII\DBS\prodb.mdb)");
    EXPECT_EQ(list()->currentIndex(), 4);
    EXPECT_EQ(form->productCode(), "FornPro");
    EXPECT_EQ(setting("최근DB_A"), R"(C:\QuensaII\DBS\prodb.mdb)");
}

TEST_F(WindowTest, TypedQuensaProPathSelectsNothingUntilChosen) {
    open();
    box(0)->setText(R"(C:\QuensaPro\DBS\dbMain.mdb)");
    EXPECT_EQ(list()->currentIndex(), 0);
    EXPECT_EQ(form->productCode(), "");
    choose(4);
    EXPECT_EQ(form->productCode(), "FornPro");
    EXPECT_EQ(text(0), R"(C:\QuensaPro\DBS\dbMain.mdb)");
}

TEST_F(WindowTest, BothVelmoraEntriesShareOneCodeAndFilledBoxStays) {
    settings.set("환경설정", "최근DB_A", "/data/customer.mdb");
    open();
    choose(2);
    EXPECT_EQ(form->productCode(), "vardoII");
    choose(1);
    EXPECT_EQ(form->productCode(), "vardoII");
    EXPECT_EQ(text(0), "/data/customer.mdb");
    choose(0);
    EXPECT_EQ(form->productCode(), "");
}

TEST_F(WindowTest, ChoosingWithEmptyBoxOffersDefaultPathAndStoresIt) {
    open();
    ASSERT_EQ(text(0), "");
    choose(3);
    EXPECT_EQ(text(0), kQuensaII);
    EXPECT_EQ(setting("최근DB_A"), kQuensaII);
    EXPECT_EQ(form->productCode(), "FornII");
    EXPECT_EQ(list()->currentIndex(), 3);
    // Re-choosing the entry after emptying the box offers the path again.
    box(0)->clear();
    choose(3);
    EXPECT_EQ(text(0), kQuensaII);
}

TEST_F(WindowTest, BoxHoldingBlanksIsLeftAlone) {
    open();
    box(0)->setText("  ");
    choose(5);
    EXPECT_EQ(text(0), "  ");
    EXPECT_EQ(form->productCode(), "quickbilII");
}

TEST_F(WindowTest, TypingInBoxBStoresItAndInfersFromBoxA) {
    settings.set("환경설정", "최근DB_A", R"(D:\VelmoraII\copy.mdb)");
    open();
    EXPECT_EQ(form->productCode(), "");
    box(1)->setFocus();
    QTest::keyClick(box(1), Qt::Key_X);
    EXPECT_EQ(setting("최근DB_B"), "x");
    EXPECT_EQ(list()->currentIndex(), 1);
    EXPECT_EQ(form->productCode(), "vardoII");
}

TEST_F(WindowTest, EveryIntermediateTextIsStored) {
    open();
    box(0)->setFocus();
    QTest::keyClicks(box(0), "ab");
    EXPECT_EQ(setting("최근DB_A"), "ab");
    EXPECT_EQ(settings.writes, 2);
}

TEST_F(WindowTest, HiddenWindowWritesNothing) {
    open(false);
    form->load();
    box(0)->setText(R"(C:\TallyvoII\x.mdb)");
    EXPECT_EQ(settings.writes, 0);
    EXPECT_EQ(list()->currentIndex(), 0);
}

// ---------------------------------------------------------------- browse

TEST_F(WindowTest, BrowsingForEmptyBoxStartsFromTheOtherBox) {
    settings.set("환경설정", "최근DB_A", " /data/a/customer.mdb");
    open();
    dialogs.nextFile = dex::OpenFileResult{false, false, "/data/ref/reference.mdb"};
    child<QPushButton>("cmdDB_1")->click();
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    const auto& req = dialogs.fileRequests[0];
    EXPECT_EQ(req.fileName, " /data/a/customer.mdb");  // the other box, untrimmed
    EXPECT_EQ(req.initialDir, QCoreApplication::applicationDirPath().toStdString());
    EXPECT_EQ(req.filterLabel, "MDB File (mdb)");
    EXPECT_EQ(req.filterPattern, "*.mdb");
    EXPECT_EQ(text(1), "/data/ref/reference.mdb");
    EXPECT_EQ(form->lastDir(), "/data/ref");

    // Browsing for A: its own text trimmed, and the folder chosen last.
    dialogs.nextFile = dex::OpenFileResult{true, false, {}};
    child<QPushButton>("cmdDB_0")->click();
    ASSERT_EQ(dialogs.fileRequests.size(), 2u);
    EXPECT_EQ(dialogs.fileRequests[1].fileName, "/data/a/customer.mdb");
    EXPECT_EQ(dialogs.fileRequests[1].initialDir, "/data/ref");
    EXPECT_EQ(text(0), " /data/a/customer.mdb") << "cancelling changed the box";
}

TEST_F(WindowTest, FailedDialogKeepsTheGivenPath) {
    open();
    box(0)->setText("/x/y.mdb");
    dialogs.nextFile = dex::OpenFileResult{false, true, {}};
    EXPECT_EQ(form->OpenMdbDialog("/x/y.mdb"), "/x/y.mdb");
    EXPECT_EQ(form->lastDir(), QCoreApplication::applicationDirPath().toStdString());
}

TEST_F(WindowTest, FocusSelectsTheWholePath) {
    settings.set("환경설정", "최근DB_B", "/data/b.mdb");
    open();
    child<QPushButton>("cmdDB_1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // cmdDB(1) -> txtDBPath(0)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // -> txtDBPath(1)
    ASSERT_EQ(QApplication::focusWidget(), box(1));
    EXPECT_EQ(box(1)->selectedText(), QStringLiteral("/data/b.mdb"));
    box(1)->deselect();
    box(0)->setFocus(Qt::MouseFocusReason);
    box(1)->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(box(1)->selectedText(), QStringLiteral("/data/b.mdb"));
}

// ---------------------------------------------------------------- drop

namespace {

bool sendDrag(QWidget* target, QMimeData* data, QEvent::Type type) {
    const QPoint pos(5, 5);
    if (type == QEvent::DragEnter) {
        QDragEnterEvent e(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
        return e.isAccepted() && e.dropAction() != Qt::IgnoreAction;
    }
    if (type == QEvent::DragMove) {
        QDragMoveEvent e(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
        return e.isAccepted() && e.dropAction() != Qt::IgnoreAction;
    }
    QDropEvent e(QPointF(pos), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
    return e.isAccepted();
}

}  // namespace

TEST_F(WindowTest, DroppingTwoFilesTakesTheFirst) {
    open();
    box(0)->setText("/data/a.mdb");
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/drop/first.mdb"), QUrl::fromLocalFile("/drop/second.mdb")});
    EXPECT_TRUE(sendDrag(box(1), &files, QEvent::DragEnter));
    EXPECT_TRUE(sendDrag(box(1), &files, QEvent::DragMove));
    EXPECT_TRUE(sendDrag(box(1), &files, QEvent::Drop));
    EXPECT_EQ(text(1), "/drop/first.mdb");
    EXPECT_EQ(text(0), "/data/a.mdb");
    EXPECT_EQ(setting("최근DB_B"), "/drop/first.mdb");
}

TEST_F(WindowTest, PlainTextCannotBeDropped) {
    open();
    box(0)->setText("/data/a.mdb");
    QMimeData plain;
    plain.setText("/drop/first.mdb");
    EXPECT_FALSE(sendDrag(box(0), &plain, QEvent::DragEnter));
    EXPECT_FALSE(sendDrag(box(0), &plain, QEvent::DragMove));
    EXPECT_FALSE(sendDrag(box(0), &plain, QEvent::Drop));
    EXPECT_EQ(text(0), "/data/a.mdb");
}

// ---------------------------------------------------------------- keys

class KeyTest : public WindowTest {
protected:
    // Five rows, marks on rows 2 and 4, active cell on row 3.
    void SetUp() override {
        open();
        auto& g = form->grid();
        g.setRowCount(5);
        for (int r = 1; r <= 5; ++r) g.setText(1, r, "t" + std::to_string(r));
        g.setText(12, 2, "!");
        g.setText(12, 4, "!");
        g.setActiveCell(1, 3);
        box(1)->setFocus();
    }
};

TEST_F(KeyTest, F3GoesToNextDifference) {
    press(Qt::Key_F3);
    EXPECT_EQ(form->grid().activeRow(), 4);
    EXPECT_EQ(form->grid().activeColumn(), 12);
    EXPECT_EQ(QApplication::focusWidget(), form->gridView());
}

TEST_F(KeyTest, ShiftF3GoesToPreviousDifference) {
    press(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(form->grid().activeRow(), 2);
}

TEST_F(KeyTest, CtrlShiftF3GoesToNextDifference) {
    press(Qt::Key_F3, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form->grid().activeRow(), 4);
}

TEST_F(KeyTest, KeyReachesWindowOnceFromAnyControl) {
    // The grid ignores F3 and passes it to its parents: still one move.
    form->gridView()->setFocus();
    form->grid().setActiveCell(1, 1);
    press(Qt::Key_F3);
    EXPECT_EQ(form->grid().activeRow(), 2);
    child<QComboBox>("cmbApp")->setFocus();
    press(Qt::Key_F3);
    EXPECT_EQ(form->grid().activeRow(), 4);
    press(Qt::Key_F3);
    EXPECT_EQ(form->grid().activeRow(), 4);
    EXPECT_TRUE(shown("더이상 비교결과에서 다른곳을 찾을 수 없습니다."));
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(KeyTest, F5RunsTheComparison) {
    press(Qt::Key_F5);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "DataBase 파일을 선택하세요.");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
    EXPECT_EQ(QApplication::focusWidget(), box(0));
}

TEST_F(KeyTest, EscClosesTheWindow) {
    ASSERT_TRUE(form->isVisible());
    press(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

// ---------------------------------------------------------------- resize and tab order

TEST_F(WindowTest, WindowKeepsItsMinimumSize) {
    open();
    form->resize(40, 40);
    QTest::qWait(20);
    const QSize outer = form->frameGeometry().size();
    EXPECT_GE(form->pixelsToTwipsX(outer.width()), 5000);
    EXPECT_GE(form->pixelsToTwipsY(outer.height()), 5000);
    // At that width the rules give both boxes a negative width: they are 0
    // and the buttons follow right of box A.
    EXPECT_EQ(box(0)->width(), 0);
    EXPECT_EQ(box(1)->width(), 0);
    EXPECT_EQ(child<QPushButton>("cmdAccess_0")->x(), form->twipsToPixelsX(3915 + 50));
    // Between 5205 and 6885 twips only box A is clamped.
    form->resize(form->twipsToPixelsX(6000), form->height());
    QTest::qWait(20);
    EXPECT_EQ(box(0)->width(), 0);
    EXPECT_GT(box(1)->width(), 0);
    EXPECT_LE(box(1)->geometry().right(), child<QPushButton>("cmdAccess_1")->x());
}

TEST_F(WindowTest, ResizeStretchesRowsGridAndBars) {
    open();
    form->resize(1100, 800);
    QTest::qWait(20);
    ASSERT_EQ(form->size(), QSize(1100, 800));
    const int gap = form->twipsToPixelsX(50);
    auto* access0 = child<QPushButton>("cmdAccess_0");
    auto* compact0 = child<QPushButton>("cmdCompact_0");
    // Both rows end at one right edge; the buttons line up in two columns.
    EXPECT_NEAR(box(0)->geometry().right(), box(1)->geometry().right(), 1);
    EXPECT_EQ(access0->x(), child<QPushButton>("cmdAccess_1")->x());
    EXPECT_EQ(compact0->x(), child<QPushButton>("cmdCompact_1")->x());
    EXPECT_NEAR(compact0->x() + compact0->width(), 1100 - gap, 2);
    EXPECT_EQ(box(0)->x(), form->twipsToPixelsX(3915));
    auto* grid = form->gridView();
    EXPECT_EQ(grid->width(), 1100);
    // The status line takes the bottom of the grid's area.
    auto* status = child<QLabel>("lblStatus");
    EXPECT_EQ(status->width(), 1100);
    EXPECT_EQ(status->y(), grid->geometry().bottom() + 1);
    EXPECT_NEAR(status->geometry().bottom() + 1, 800, 1);
    auto* bar0 = child<QProgressBar>("ProgressBar1_0");
    auto* bar1 = child<QProgressBar>("ProgressBar1_1");
    EXPECT_EQ(bar1->width(), 1100);
    EXPECT_NEAR(bar1->geometry().bottom() + 1, 800, 1);
    EXPECT_NEAR(bar0->geometry().bottom() + 1, bar1->y(), 1);
}

TEST_F(WindowTest, TabVisitsControlsInDesignedOrder) {
    open();
    child<QPushButton>("cmdComp")->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // Hidden controls (the move buttons, the notice) and the bars are
    // passed over.
    EXPECT_EQ(visited, (QStringList{"cmdComp", "cmdDB_0", "cmdDB_1", "txtDBPath_0", "txtDBPath_1", "spList",
                                    "cmdAccess_0", "cmdAccess_1", "cmbApp", "cmdCompact_1", "cmdCompact_0",
                                    "cmdComp"}));
}

// ---------------------------------------------------------------- run services and failures

TEST_F(WindowTest, ProgressBarsFollowTheRun) {
    open();
    auto* bar = child<QProgressBar>("ProgressBar1_1");
    form->overallBar().setMaximum(5);
    form->overallBar().setValue(2);
    form->overallBar().setVisible(true);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 5);
    EXPECT_EQ(bar->value(), 2);
    form->overallBar().setVisible(false);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(WindowTest, NoticeAndHourglass) {
    open();
    auto* notice = child<QLineEdit>("maketb");
    form->showNotice(true);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), notice);
    form->showNotice(false);
    EXPECT_FALSE(notice->isVisible());
    form->setBusy(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form->setBusy(true);
    form->setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

namespace {

struct FailingSettings : dex::MemorySettings {
    void set(const std::string&, const std::string&, const std::string&) override {
        throw dex::DbError(70, "Permission denied");
    }
};

}  // namespace

TEST_F(WindowTest, HandlerFailureIsReportedNotThrown) {
    FailingSettings failing;
    form = std::make_unique<Form1>(engine, dialogs, failing, [](bool) {});
    form->show();
    box(0)->setText("/x.mdb");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error 70 (Permission denied) in procedure txtDBPath_Change of Form Form1");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
}

TEST_F(WindowTest, RowButtonsActOnTheirOwnRow) {
    QTemporaryDir dir;
    const QString b = dir.filePath("reference.mdb");
    {
        QFile f(b);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    settings.set("환경설정", "최근DB_A", "  ");
    settings.set("환경설정", "최근DB_B", b.toStdString());
    open();
    std::vector<std::string> opened;
    form->setOpenDocument([&](const std::string& p) { opened.push_back(p); });

    child<QPushButton>("cmdAccess_1")->click();
    EXPECT_EQ(opened, std::vector<std::string>{b.toStdString()});
    EXPECT_TRUE(dialogs.shown.empty());

    child<QPushButton>("cmdAccess_0")->click();
    EXPECT_EQ(opened.size(), 1u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "DB경로가 입력되지 않았습니다.");
    EXPECT_EQ(QApplication::focusWidget(), box(0));

    // Compact asks first; No leaves everything as it was.
    dialogs.answerYes = false;
    child<QPushButton>("cmdCompact_1")->click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "정말 압축 및 복구를 하시겠습니까?");
    EXPECT_TRUE(QFile::exists(b));
}

// The compact button on a real Jet file with a password of its own: the
// same question, a password prompt, then the file rewritten and the
// original kept beside it.
TEST_F(WindowTest, CompactButtonCompactsARealJetFile) {
    QTemporaryDir dir;
    const std::string b = dir.filePath("customer.mdb").toStdString();
    dex::test::WDatabase jet;
    jet.password = "other";
    jet.tables = {dex::test::labelTable("labels", 200)};
    dex::test::writeJetFile(b, jet);
    settings.set("환경설정", "최근DB_B", b);
    open();
    dialogs.answerYes = true;
    dialogs.passwords = {"other"};
    child<QPushButton>("cmdCompact_1")->click();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[0].text, "정말 압축 및 복구를 하시겠습니까?");
    EXPECT_EQ(dialogs.shown[1].text,
              "이 파일은 제품 암호로 열리지 않습니다. 데이터베이스 암호를 입력하십시오.\r\n\r\n" + b);
    const std::string backup = dir.filePath("customer.bak.mdb").toStdString();
    EXPECT_EQ(dialogs.shown[2].text,
              "압축 및 복구를 완료하였습니다.\r\n\r\n원본 파일은 다음 이름으로 보관했습니다:\r\n" + backup);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(backup)));
    EXPECT_EQ(dex::jetfile::openJetFile(b, "other")->model().rowSet("labels").rows.size(), 200u);
}
