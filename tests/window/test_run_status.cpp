// What the window says after a run beside the grid: the status line under
// it, the list of the differences the grid leaves out, the emptied grid, one
// run per key press, and paths remembered absolute.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "GridTableModel.h"
#include "GridView.h"
#include "WindowFixture.h"

using namespace dex::test;
using dex::Form1;

namespace {

dex::FieldDef textField(const char* name, int size) {
    dex::FieldDef f;
    f.name = name;
    f.type = dex::daotype::Text;
    f.size = size;
    f.allowZeroLength = true;
    return f;
}

dex::IndexDef primaryKey(const char* field) {
    dex::IndexDef ix;
    ix.name = "PrimaryKey";
    ix.primary = ix.unique = true;
    ix.fields = {field};
    return ix;
}

// Dialogs that record, as each message appears, how many rows the grid's
// view shows, and that can take the focus away as a real message box does
// (the window is not active again until later).
class WatchingDialogs : public dex::RecordingDialogs {
public:
    std::function<int()> shownRows;
    std::vector<int> rowsAtMessage;
    bool stealFocus = false;
    void message(const std::string& text, const std::string& title, dex::Icon icon) override {
        RecordingDialogs::message(text, title, icon);
        if (shownRows) rowsAtMessage.push_back(shownRows());
        if (stealFocus) {
            QWidget box;
            box.show();
            box.activateWindow();
            (void)QTest::qWaitForWindowActive(&box);
        }
    }
};

class RunStatusTest : public WindowTest {
protected:
    // A is the customer's database: no table "extra", no field memo, name
    // 50 long; B, the reference, has them and name 40 long. No row of the
    // grid differs.
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        a = dir.filePath("a.mdb").toStdString();
        b = dir.filePath("b.mdb").toStdString();
        for (const auto& p : {a, b}) {
            QFile f(QString::fromStdString(p));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        engine.files[a].tables = {{"customer", {textField("code", 6), textField("name", 50)}, {primaryKey("code")}}};
        engine.files[b].tables = {{"customer", {textField("code", 6), textField("name", 40), textField("memo", 10)},
                                   {primaryKey("code")}},
                                  {"extra", {textField("x", 5)}, {}}};
    }

    Form1& openWith(WatchingDialogs& watching) {
        form = std::make_unique<Form1>(engine, watching, settings, [](bool) {});
        watching.shownRows = [this] { return form->gridView()->model()->rowCount(); };
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    void fill(const std::string& pathA, const std::string& pathB) {
        box(0)->setText(QString::fromStdString(pathA));
        box(1)->setText(QString::fromStdString(pathB));
    }
    QPushButton* compareButton() { return child<QPushButton>("cmdComp"); }

    QTemporaryDir dir;
    std::string a, b;
};

}  // namespace

TEST_F(RunStatusTest, NoMarkedRowStillSaysWhatElseDiffersAndLeadsToIt) {
    open();
    fill(a, b);
    compareButton()->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "두 DB의 구조가 일치 합니다.");
    EXPECT_EQ(form->statusText().toStdString(),
              "그 밖의 차이: B (기준)에만 있는 테이블 1, B (기준)에만 있는 필드 1, 설정이 다른 필드 1  "
              "(Ctrl+D: 목록, Ctrl+Shift+O: 한쪽 필드 표시)");
    // The line lies under the grid; the grid keeps its place.
    auto* status = child<QLabel>("lblStatus");
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(form->gridView()->y(), form->twipsToPixelsY(1245));
    EXPECT_EQ(status->y(), form->gridView()->geometry().bottom() + 1);
    EXPECT_EQ(status->geometry().bottom() + 1, form->height());

    // One key opens the list; each line leads to its table's details.
    form->gridView()->setFocus();
    press(Qt::Key_D, Qt::ControlModifier);
    auto* others = form->othersBox();
    ASSERT_NE(others, nullptr);
    auto* list = others->findChild<QListWidget*>("lstOthers");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text().toStdString(), "B (기준)에만 있는 테이블: extra");
    EXPECT_EQ(list->item(1)->text().toStdString(), "B (기준)에만 있는 필드: customer.memo");
    EXPECT_EQ(list->item(2)->text().toStdString(), "필드 설정: customer.name: 크기 A 50, B 40");
    for (int row : {0, 2}) {
        emit list->itemActivated(list->item(row));
        ASSERT_NE(form->detailsBox(), nullptr);
        EXPECT_EQ(form->detailsBox()->findChild<QLabel*>("lblTable")->text().toStdString(),
                  row == 0 ? "테이블: extra (B에만 있음)" : "테이블: customer");
    }
}

TEST_F(RunStatusTest, IdenticalDatabasesSayNothingElseDiffers) {
    open();
    fill(a, a);
    compareButton()->click();
    EXPECT_EQ(form->statusText().toStdString(), "그 밖의 차이 없음");
}

TEST_F(RunStatusTest, GridIsEmptiedAndPaintedBeforeTheCountBox) {
    WatchingDialogs watching;
    openWith(watching);
    // A first run that leaves marked rows: A's name is indexed, B's is not.
    dex::IndexDef byName;
    byName.name = "idx_name";
    byName.fields = {"name"};
    engine.files[a].tables[0].indexes.push_back(byName);
    fill(a, b);
    compareButton()->click();
    ASSERT_EQ(watching.rowsAtMessage.size(), 1u);
    EXPECT_EQ(watching.shown.back().text, "1건의 다른곳이 발견 되었습니다.");
    EXPECT_EQ(watching.rowsAtMessage[0], 2) << "the rows are there when the count box shows";
    // The second run finds no marked row: the grid is empty when the box shows and after.
    engine.files[a].tables[0].indexes.pop_back();
    compareButton()->click();
    ASSERT_EQ(watching.rowsAtMessage.size(), 2u);
    EXPECT_EQ(watching.shown.back().text, "두 DB의 구조가 일치 합니다.");
    EXPECT_EQ(watching.rowsAtMessage[1], 0);
    EXPECT_EQ(form->gridView()->model()->rowCount(), 0);
    EXPECT_EQ(form->grid().headerText(1, true), a) << "the header paths stay";
    EXPECT_EQ(form->grid().headerText(13, true), b);
}

TEST_F(RunStatusTest, F5ButtonAndEnterEachRunOnceAndShowAnErrorOnce) {
    WatchingDialogs watching;
    watching.stealFocus = true;
    openWith(watching);
    // Box A empty: every way of starting the run shows its message once,
    // even when the message box leaves the window without focus.
    compareButton()->setFocus();
    QTest::keyClick(compareButton(), Qt::Key_F5);
    EXPECT_EQ(watching.shown.size(), 1u);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    compareButton()->setFocus();
    QTest::keyClick(compareButton(), Qt::Key_Return);
    EXPECT_EQ(watching.shown.size(), 2u);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    box(1)->setFocus();
    QTest::keyClick(box(1), Qt::Key_F5);
    EXPECT_EQ(watching.shown.size(), 3u);
    for (const auto& s : watching.shown) EXPECT_EQ(s.text, "DataBase 파일을 선택하세요.");
    // A run that reaches the comparison tries each file's password, then
    // loads each database once.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    fill(a, b);
    engine.opened.clear();
    compareButton()->setFocus();
    QTest::keyClick(compareButton(), Qt::Key_F5);
    EXPECT_EQ(engine.opened, (std::vector<std::string>{a, b, a, b}));
}

TEST_F(RunStatusTest, RelativePathIsShownAndRememberedAbsolute) {
    open();
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    box(0)->setFocus();
    box(0)->setText(QStringLiteral("sub/../a.mdb"));
    emit box(0)->editingFinished();
    box(1)->setText(QStringLiteral("b.mdb"));
    compareButton()->click();  // a run makes the boxes absolute too
    QDir::setCurrent(here);
    EXPECT_EQ(text(0), a);
    EXPECT_EQ(setting("최근DB_A"), a);
    EXPECT_EQ(text(1), b);
    EXPECT_EQ(setting("최근DB_B"), b);
}

namespace {

// Records the connect texts A is opened with.
class LockedEngine : public FakeEngine {
public:
    std::string locked;
    std::vector<std::string> connects;
    std::unique_ptr<dex::DaoDatabase> openDatabase(const std::string& path, int options, bool readOnly,
                                                   const std::string& connect) override {
        if (path == locked) connects.push_back(connect);
        return FakeEngine::openDatabase(path, options, readOnly, connect);
    }
};

}  // namespace

TEST_F(RunStatusTest, AFileOfItsOwnPasswordIsAskedForAndTheAnswerIsNotKept) {
    // A refuses every password but "secret", as a customer's file of its own password does.
    LockedEngine locked;
    locked.files = engine.files;
    locked.files[a].password = "secret";
    locked.locked = a;
    form = std::make_unique<Form1>(locked, dialogs, settings, [](bool) {});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    fill(a, b);
    dialogs.passwords = {"secret"};
    compareButton()->click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].icon, dex::Icon::Question);
    EXPECT_EQ(dialogs.shown[0].text,
              "A (고객) 파일이 제품 암호로 열리지 않습니다. 이 비교에 쓸 암호를 입력하세요.\r\n\r\n" + a);
    EXPECT_EQ(dialogs.shown[1].text, "두 DB의 구조가 일치 합니다.") << "the run used the answer";
    EXPECT_EQ(locked.connects.back(), ";pwd=secret");
    for (const auto& key : {"최근DB_A", "최근DB_B", "창위치"}) EXPECT_EQ(setting(key).find("secret"), std::string::npos);

    // The next run asks again; cancelling starts no run.
    compareButton()->click();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].icon, dex::Icon::Question);
    EXPECT_EQ(locked.connects.back(), ";pwd=kt5316");
}
