// Below the grid's marks: the details box of a row's table, the tool tips of
// the P/F/I marks, and the grid's context menu (report, fix scripts, the mode
// that keeps one-sided fields).
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

#include "GridTableModel.h"
#include "GridView.h"
#include "GuiMain.h"
#include "JetCheck.h"
#include "JetFile.h"
#include "JetModel.h"
#include "JetWriter.h"
#include "WindowFixture.h"

using namespace dex::test;

namespace {

dex::FieldDef textField(const char* name, int size, bool required = false) {
    dex::FieldDef f;
    f.name = name;
    f.type = dex::daotype::Text;
    f.size = size;
    f.required = required;
    f.allowZeroLength = !required;
    return f;
}

dex::FieldDef intField(const char* name, const char* defaultValue) {
    dex::FieldDef f;
    f.name = name;
    f.type = dex::daotype::Integer;
    f.size = 2;
    f.defaultValue = defaultValue;
    return f;
}

dex::IndexDef index(const char* name, std::vector<std::string> fields, bool primary = false, bool unique = false) {
    dex::IndexDef ix;
    ix.name = name;
    ix.primary = primary;
    ix.unique = unique || primary;
    ix.fields = std::move(fields);
    return ix;
}

dex::IndexDef foreignKey(const char* name, const char* field, const char* table, const char* refField) {
    dex::IndexDef ix = index(name, {field});
    ix.foreign = true;
    ix.referencedTable = table;
    ix.referencedFields = {refField};
    return ix;
}

const QColor kRed(255, 0, 0);
const QColor kPaleYellow(0xFF, 0xFF, 0x80);

class DetailsTest : public WindowTest {
protected:
    // A: customer without its foreign key, a plain name index, an index of
    // its own, name 50 long and a field of its own; B: the foreign key, a
    // unique name index, name 40 long. The grid marks one row
    // (customer.office: I on A only, F on B only).
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        a = dir.filePath("a.mdb").toStdString();
        b = dir.filePath("b.mdb").toStdString();
        for (const auto& p : {a, b}) {
            QFile f(QString::fromStdString(p));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        const dex::TableDef officeTable{"office", {intField("code", ""), textField("name", 30)},
                                        {index("pk_office", {"code"}, true)}};
        engine.files[a].tables = {
            {"customer",
             {textField("code", 6, true), textField("name", 50), intField("office", "0"), textField("extra", 10)},
             {index("pk_customer", {"code"}, true), index("idx_name", {"name"}),
              index("idx_name_office", {"name", "office"})}},
            officeTable};
        engine.files[b].tables = {
            {"customer",
             {textField("code", 6, true), textField("name", 40), intField("office", "0")},
             {index("pk_customer", {"code"}, true), foreignKey("fk_customer_office", "office", "office", "code"),
              index("idx_name", {"name"}, false, true)}},
            officeTable};
        open();
        box(0)->setText(QString::fromStdString(a));
        box(1)->setText(QString::fromStdString(b));
    }

    void compare() { child<QPushButton>("cmdComp")->click(); }
    std::string lastMessage() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }
    dex::GridView* grid() { return form->gridView(); }
    QAction* action(const char* name) {
        for (QAction* act : grid()->actions())
            if (act->objectName() == QLatin1String(name)) return act;
        ADD_FAILURE() << "no action " << name;
        return nullptr;
    }
    // The texts of a details table's row, its cells joined by "|".
    static std::string rowText(const QTableWidget* t, int row) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c) cells << (t->item(row, c) ? t->item(row, c)->text() : QString());
        return cells.join(QLatin1Char('|')).toStdString();
    }
    static QColor back(const QTableWidget* t, int row, int column) {
        const QBrush brush = t->item(row, column)->background();
        return brush.style() == Qt::NoBrush ? QColor() : brush.color();
    }
    std::string readFile(const std::string& path) {
        QFile f(QString::fromStdString(path));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path;
        return f.readAll().toStdString();
    }

    QTemporaryDir dir;
    std::string a, b;
};

}  // namespace

TEST_F(DetailsTest, DoubleClickAndEnterOpenTheTablesDetails) {
    compare();
    ASSERT_EQ(lastMessage(), "1건의 다른곳이 발견 되었습니다.");
    const QModelIndex office = grid()->gridModel()->index(2, 4);  // customer.office
    ASSERT_FALSE(grid()->isRowHidden(2));
    const QPoint at = grid()->visualRect(office).center();
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    auto* box = qobject_cast<QDialog*>(form->detailsBox());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->objectName(), QStringLiteral("frmDetails"));
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(form->grid().locked());
    EXPECT_TRUE(grid()->findChildren<QLineEdit*>().isEmpty()) << "a double click started an editor";
    EXPECT_EQ(box->findChild<QLabel*>("lblTable")->text(), QStringLiteral("테이블: customer"));

    auto* indexes = box->findChild<QTableWidget*>("tblIndexes");
    ASSERT_NE(indexes, nullptr);
    ASSERT_EQ(indexes->columnCount(), 11);
    EXPECT_EQ(indexes->horizontalHeaderItem(0)->text(), QStringLiteral("A 이름"));
    EXPECT_EQ(indexes->horizontalHeaderItem(5)->text(), QStringLiteral("비교"));
    EXPECT_EQ(indexes->horizontalHeaderItem(9)->text(), QStringLiteral("B 필드"));
    ASSERT_EQ(indexes->rowCount(), 4);
    EXPECT_EQ(rowText(indexes, 0), "pk_customer|기본키|O|code|||pk_customer|기본키|O|code|");
    EXPECT_EQ(rowText(indexes, 1), "idx_name|인덱스||name||다름: 고유|idx_name|인덱스|O|name|");
    EXPECT_EQ(rowText(indexes, 2), "idx_name_office|인덱스||name, office||A에만|||||");
    EXPECT_EQ(rowText(indexes, 3), "|||||B에만|fk_customer_office|외래키||office|office (code)");
    EXPECT_FALSE(back(indexes, 0, 0).isValid());
    EXPECT_EQ(back(indexes, 1, 2), kRed);  // unique, both sides
    EXPECT_EQ(back(indexes, 1, 8), kRed);
    EXPECT_FALSE(back(indexes, 1, 0).isValid());
    EXPECT_FALSE(back(indexes, 1, 3).isValid());
    EXPECT_EQ(back(indexes, 2, 0), kRed);
    EXPECT_FALSE(back(indexes, 2, 6).isValid());
    EXPECT_EQ(back(indexes, 3, 6), kRed);
    EXPECT_EQ(back(indexes, 3, 10), kRed);

    auto* fields = box->findChild<QTableWidget*>("tblFields");
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(fields->horizontalHeaderItem(11)->text(), QStringLiteral("B 필수"));
    ASSERT_EQ(fields->rowCount(), 4);
    EXPECT_EQ(rowText(fields, 0), "code|Text|6||예|아니오||code|Text|6||예|아니오");
    EXPECT_EQ(rowText(fields, 1), "name|Text|50||아니오|예|다름: 크기|name|Text|40||아니오|예");
    EXPECT_EQ(rowText(fields, 2), "office|Integer||0|아니오|||office|Integer||0|아니오|");
    EXPECT_EQ(rowText(fields, 3), "extra|Text|10||아니오|예|A에만||||||");
    EXPECT_EQ(back(fields, 1, 2), kRed);  // size, both sides
    EXPECT_EQ(back(fields, 1, 9), kRed);
    EXPECT_FALSE(back(fields, 1, 1).isValid());
    EXPECT_EQ(back(fields, 3, 0), kPaleYellow);
    EXPECT_FALSE(back(fields, 3, 7).isValid());
    box->close();
    QTest::qWait(1);
    ASSERT_EQ(form->detailsBox(), nullptr);

    // Enter on the grid opens it too, and the window's keys still work.
    form->activateWindow();
    grid()->setFocus();
    grid()->setCurrentIndex(grid()->gridModel()->index(2, 16));
    QTest::keyClick(grid(), Qt::Key_Return);
    ASSERT_NE(form->detailsBox(), nullptr);
    EXPECT_EQ(form->detailsBox()->findChild<QTableWidget*>("tblIndexes")->rowCount(), 4);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    form->detailsBox()->close();
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_F3);
    EXPECT_EQ(lastMessage(), "더이상 비교결과에서 다른곳을 찾을 수 없습니다.");
}

TEST_F(DetailsTest, MarksNameTheIndexesBehindThem) {
    compare();
    auto* model = grid()->gridModel();
    auto tip = [&](int row, int column) { return model->index(row - 1, column - 1).data(Qt::ToolTipRole); };
    EXPECT_EQ(tip(3, 15).toString(), QStringLiteral("외래키 fk_customer_office (office) → office (code)"));
    EXPECT_EQ(tip(1, 2).toString(), QStringLiteral("기본키 pk_customer (code)"));
    EXPECT_EQ(tip(2, 16).toString(), QStringLiteral("고유 인덱스 idx_name (name)"));
    EXPECT_EQ(tip(2, 4).toString(), QStringLiteral("인덱스 idx_name (name)\n인덱스 idx_name_office (name, office)"));
    EXPECT_EQ(tip(3, 4).toString(), QStringLiteral("인덱스 idx_name_office (name, office)"));
    EXPECT_FALSE(tip(3, 3).isValid()) << "an empty mark cell has a tool tip";
    EXPECT_FALSE(tip(3, 5).isValid());
}

TEST_F(DetailsTest, ContextMenuOffersItsActionsWithShortcuts) {
    EXPECT_EQ(grid()->contextMenuPolicy(), Qt::ActionsContextMenu);
    const std::pair<const char*, const char*> expected[] = {
        {"mnuDetails", ""},
        {"mnuSaveReport", "Ctrl+S"},
        {"mnuFixB", "Ctrl+Shift+B"},
        {"mnuFixA", "Ctrl+Shift+A"},
        {"mnuOneSided", "Ctrl+Shift+O"},
    };
    for (const auto& [name, keys] : expected) {
        QAction* act = action(name);
        ASSERT_NE(act, nullptr);
        EXPECT_EQ(act->shortcut().toString(), QString::fromLatin1(keys)) << name;
    }
    EXPECT_EQ(action("mnuSaveReport")->text(), QStringLiteral("비교 보고서 저장..."));
    EXPECT_EQ(action("mnuOneSided")->text(), QStringLiteral("한쪽에만 있는 필드 표시"));
    EXPECT_TRUE(action("mnuOneSided")->isCheckable());

    // The shortcuts reach the menu from any control of the window.
    box(0)->setFocus();
    QTest::keyClick(box(0), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(form->keepsOneSidedFields());
    QTest::keyClick(list(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(form->keepsOneSidedFields());

    // Nothing to save before a run.
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(lastMessage(), "저장할 비교 결과가 없습니다. 먼저 비교하세요.");
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

TEST_F(DetailsTest, SavesReportAndFixScriptsThroughTheDialogs) {
    compare();
    const std::string report = dir.filePath("report.html").toStdString();
    dialogs.nextSaveFile = dex::OpenFileResult{false, false, report};
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].fileName, "compare-report.html");
    EXPECT_EQ(dialogs.saveRequests[0].initialDir, dir.path().toStdString());
    EXPECT_EQ(dialogs.saveRequests[0].filterPattern, "*.html *.csv *.json");
    EXPECT_EQ(lastMessage(), "보고서를 저장했습니다.\r\n\r\n" + report);
    EXPECT_EQ(dialogs.shown.back().icon, dex::Icon::Information);
    const std::string html = readFile(report);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("1건의 다른곳이 발견 되었습니다."), std::string::npos);
    EXPECT_NE(html.find("fk_customer_office"), std::string::npos);

    // B made like A drops B's foreign key; A made like B creates it.
    const std::string fixB = dir.filePath("fix-B.sql").toStdString(), fixA = dir.filePath("fix-A.sql").toStdString();
    dialogs.nextSaveFile = dex::OpenFileResult{false, false, fixB};
    QTest::keyClick(grid(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_EQ(dialogs.saveRequests[1].fileName, "fix-B.sql");
    EXPECT_EQ(dialogs.saveRequests[1].filterPattern, "*.sql");
    EXPECT_EQ(lastMessage(), "B의 키와 인덱스를 A와 같게 만드는 스크립트를 저장했습니다.\r\n\r\n" + fixB);
    EXPECT_NE(readFile(fixB).find("\nALTER TABLE [customer] DROP CONSTRAINT [fk_customer_office]\n"),
              std::string::npos);

    dialogs.nextSaveFile = dex::OpenFileResult{false, false, fixA};
    QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(lastMessage(), "A의 키와 인덱스를 B와 같게 만드는 스크립트를 저장했습니다.\r\n\r\n" + fixA);
    // The orphan check asked the engine, which cannot run queries here.
    EXPECT_NE(readFile(fixA).find("-- could not check customer for rows that match no row of office; if it has any, "
                                  "this statement fails until they are mended\n"
                                  "ALTER TABLE [customer] ADD CONSTRAINT [fk_customer_office] FOREIGN KEY ([office]) "
                                  "REFERENCES [office] ([code])\n"),
              std::string::npos);

    // A cancelled dialog writes nothing and says nothing.
    const size_t messages = dialogs.shown.size();
    dialogs.nextSaveFile = dex::OpenFileResult{true, false, {}};
    action("mnuSaveReport")->trigger();
    EXPECT_EQ(dialogs.shown.size(), messages);
}

// A is a real Jet file with A's tables: "apply to A" asks first, then
// rewrites it with B's keys, the original kept beside it.
TEST_F(DetailsTest, AppliesTheFixScriptToARealJetFileAfterAsking) {
    using dex::test::WColumn;
    using dex::test::WIndex;
    dex::test::WDatabase jet;
    jet.password = "kt5316";
    jet.tables = {{"customer",
                   {WColumn{"code", 0x0A, 6}, WColumn{"name", 0x0A, 50}, WColumn{"office", 0x03},
                    WColumn{"extra", 0x0A, 10}},
                   {WIndex{"pk_customer", true, true, {"code"}, {}}, WIndex{"idx_name", false, false, {"name"}, {}},
                    WIndex{"idx_name_office", false, false, {"name", "office"}, {}}},
                   {{std::string("c1"), std::string("하나"), int64_t{1}, std::string()}}},
                  {"office",
                   {WColumn{"code", 0x03}, WColumn{"name", 0x0A, 30}},
                   {WIndex{"pk_office", true, true, {"code"}, {}}},
                   {{int64_t{1}, std::string("본사")}}}};
    QFile::remove(QString::fromStdString(a));
    dex::test::writeJetFile(a, jet);
    const std::string before = readFile(a);
    compare();

    dialogs.answerYes = false;
    action("mnuApplyA")->trigger();
    EXPECT_EQ(lastMessage(), "정말 수정 스크립트를 적용하시겠습니까?\r\n\r\n" + a);
    EXPECT_EQ(readFile(a), before) << "No changes nothing";

    dialogs.answerYes = true;
    action("mnuApplyA")->trigger();
    const std::string backup = dir.filePath("a.bak.mdb").toStdString();
    EXPECT_EQ(lastMessage(), "수정 스크립트를 적용하였습니다.\r\n\r\n" + a +
                                 "\r\n\r\n원본 파일은 다음 이름으로 보관했습니다:\r\n" + backup);
    EXPECT_EQ(readFile(backup), before);
    const auto changed = dex::jetfile::openJetFile(a, "kt5316");
    ASSERT_EQ(changed->schema().relationships.size(), 1u);
    EXPECT_EQ(changed->schema().relationships[0].name, "fk_customer_office");
    for (const auto& t : changed->schema().tables)
        if (t.name == "customer")
            for (const auto& ix : t.indexes) {
                EXPECT_NE(ix.name, "idx_name_office");
                if (ix.name == "idx_name") EXPECT_TRUE(ix.unique);
            }
    EXPECT_TRUE(dex::jetfile::checkJetFile(changed->model()).sound());
}

TEST_F(DetailsTest, OneSidedModeCountsFieldsOfOneSideAndSaysSo) {
    auto* label = child<QLabel>("Label1");
    const QRect where = label->geometry();
    compare();
    EXPECT_EQ(lastMessage(), "1건의 다른곳이 발견 되었습니다.");
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(action("mnuOneSided")->isChecked());
    EXPECT_TRUE(form->keepsOneSidedFields());
    EXPECT_EQ(label->text(), QStringLiteral("한쪽에만 있는 필드 표시"));
    EXPECT_EQ(label->geometry(), where);
    compare();
    EXPECT_EQ(lastMessage(), "2건의 다른곳이 발견 되었습니다.");
    const int row = form->grid().searchColumn(11, 0, form->grid().rowCount(), "customer.extra");
    ASSERT_GT(row, 0);
    EXPECT_EQ(grid()->gridModel()->index(row - 1, 0).data(Qt::BackgroundRole).value<QColor>(), kPaleYellow);

    action("mnuOneSided")->trigger();
    EXPECT_FALSE(form->keepsOneSidedFields());
    EXPECT_EQ(label->text(), QStringLiteral("※ 한쪽만 존재하는 필드 제외 /  인덱스만 비교"));
    compare();
    EXPECT_EQ(lastMessage(), "1건의 다른곳이 발견 되었습니다.");
}

namespace {

// The same comparison on an English desktop.
class EnglishDetailsTest : public DetailsTest {
protected:
    void SetUp() override {
        english = std::make_unique<dex::Translations>(dex::words::Language::English);
        ASSERT_TRUE(english->complete());
        DetailsTest::SetUp();
    }
    void TearDown() override {
        DetailsTest::TearDown();
        english.reset();
    }
    std::unique_ptr<dex::Translations> english;
};

}  // namespace

TEST_F(EnglishDetailsTest, DetailsTipsAndReportSpeakEnglish) {
    compare();
    auto* model = grid()->gridModel();
    EXPECT_EQ(model->index(2, 14).data(Qt::ToolTipRole).toString(),
              QStringLiteral("foreign key fk_customer_office (office) references office (code)"));

    auto* box = form->showDetails(3);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Table details - customer"));
    EXPECT_EQ(box->findChild<QLabel*>("lblTable")->text(), QStringLiteral("Table: customer"));
    auto* indexes = box->findChild<QTableWidget*>("tblIndexes");
    EXPECT_EQ(indexes->horizontalHeaderItem(0)->text(), QStringLiteral("A Name"));
    EXPECT_EQ(rowText(indexes, 1), "idx_name|Index||name||Differs: Unique|idx_name|Index|O|name|");
    EXPECT_EQ(rowText(indexes, 3), "|||||Only in B|fk_customer_office|Foreign key||office|office (code)");
    auto* fields = box->findChild<QTableWidget*>("tblFields");
    EXPECT_EQ(rowText(fields, 1), "name|Text|50||No|Yes|Differs: Size|name|Text|40||No|Yes");
    EXPECT_EQ(box->findChild<QPushButton*>("cmdClose")->text(), QStringLiteral("Close"));
    box->close();

    const std::string report = dir.filePath("report.csv").toStdString();
    dialogs.nextSaveFile = dex::OpenFileResult{false, false, report};
    action("mnuSaveReport")->trigger();
    EXPECT_EQ(lastMessage(), "The report was saved.\r\n\r\n" + report);
    const std::string csv = readFile(report);
    // The result first, then an empty line and the marked rows.
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF" "Result,\"The databases differ: 1 marked rows, 5 other differences\"\r\n", 0), 0u)
        << csv;
    EXPECT_NE(csv.find("\r\n\r\nA Table,A P,A F,A I,A Field,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",Difference\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",\"foreign key: A no, B yes; index: A yes, B no; "), std::string::npos) << csv;
    EXPECT_NE(csv.find("; customer: foreign key fk_customer_office (office) references office (code) only in B"),
              std::string::npos)
        << csv;
}
