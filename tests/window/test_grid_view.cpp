// The comparison grid on screen: header rows, widths, colours, locking, and
// the view following the grid (hidden rows, active cell, suspended painting).
#include <QFile>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "GridHeaderView.h"
#include "GridTableModel.h"
#include "GridView.h"
#include "QtSettings.h"
#include "WindowFixture.h"

using namespace dex::test;
using dex::GridTableModel;

namespace {

QVariant header(GridTableModel* m, int section, int role) { return m->headerData(section, Qt::Horizontal, role); }

}  // namespace

TEST_F(WindowTest, HeaderRowsCarryLabelsJoinsAndKeyColumns) {
    open();
    auto* view = form->gridView();
    auto* model = view->gridModel();
    ASSERT_EQ(model->columnCount(), 23);
    const QStringList labels{"테이블명", "P", "F", "I", "필드명", "Type", "Size", "Def", "Null", "Zro"};
    for (int base : {0, 12})
        for (int i = 0; i < 10; ++i) EXPECT_EQ(header(model, base + i, Qt::DisplayRole).toString(), labels[i]);
    EXPECT_EQ(header(model, 11, GridTableModel::UpperHeaderRole).toString(), QStringLiteral("비교"));
    EXPECT_EQ(header(model, 11, GridTableModel::JoinFirstRole).toInt(), -1);
    // Columns 1-11 and 13-23 each form one upper cell.
    EXPECT_EQ(header(model, 4, GridTableModel::JoinFirstRole).toInt(), 0);
    EXPECT_EQ(header(model, 4, GridTableModel::JoinLastRole).toInt(), 10);
    EXPECT_EQ(header(model, 20, GridTableModel::JoinFirstRole).toInt(), 12);
    EXPECT_EQ(header(model, 20, GridTableModel::JoinLastRole).toInt(), 22);
    EXPECT_EQ(form->grid().headerText(11, true), "RKEY");
    EXPECT_EQ(form->grid().headerText(23, true), "RKEY");
    EXPECT_TRUE(view->isColumnHidden(10));
    EXPECT_TRUE(view->isColumnHidden(22));
    EXPECT_FALSE(view->isColumnHidden(11));

    // The joined cell shows the text the loads put into its first column.
    form->grid().setHeaderText(13, true, "/data/b.mdb");
    EXPECT_EQ(header(model, 17, GridTableModel::UpperHeaderRole).toString(), QStringLiteral("/data/b.mdb"));
    auto* hv = view->gridHeader();
    const QRect joined = hv->upperCellRect(17);
    EXPECT_EQ(joined, hv->upperCellRect(12));
    EXPECT_EQ(joined.left(), hv->sectionViewportPosition(12));
    EXPECT_EQ(joined.right() + 1, hv->sectionViewportPosition(21) + hv->sectionSize(21));
    EXPECT_GE(hv->height(), 2 * hv->fontMetrics().height());
}

TEST_F(WindowTest, ColumnWidthsFollowCharacterUnits) {
    open();
    auto* view = form->gridView();
    EXPECT_EQ(view->columnWidth(0), view->charUnitsToPixels(11));
    EXPECT_EQ(view->columnWidth(4), view->charUnitsToPixels(12));
    EXPECT_EQ(view->columnWidth(1), view->charUnitsToPixels(2));
    EXPECT_EQ(view->columnWidth(11), view->charUnitsToPixels(4.75));
    EXPECT_EQ(view->columnWidth(12), view->columnWidth(0));
    EXPECT_LT(view->columnWidth(1), view->columnWidth(5));
    EXPECT_LT(view->columnWidth(0), view->columnWidth(4));
    // The type names and three-digit sizes the loads write fit their cells.
    const QFontMetrics fm = view->fontMetrics();
    for (const char* type : {"Integer", "Double", "Boolean"})
        EXPECT_GE(view->columnWidth(5), fm.horizontalAdvance(QString::fromLatin1(type)) + 2) << type;
    EXPECT_GE(view->columnWidth(6), fm.horizontalAdvance(QStringLiteral("255")) + 2);
    EXPECT_GE(view->columnWidth(6), fm.horizontalAdvance(QStringLiteral("Size")) + 2);
}

TEST_F(WindowTest, CellsAreColouredAndLocked) {
    open();
    auto& g = form->grid();
    g.setRowCount(2);
    g.setText(12, 1, "!");
    g.setBackColor(1, 1, 2, 1, 0x000000FF);
    auto* model = form->gridView()->gridModel();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 11).data().toString(), QStringLiteral("!"));
    EXPECT_EQ(model->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(model->index(1, 11).data(Qt::BackgroundRole).value<QColor>(), QColor(0x80, 0xFF, 0xFF));
    EXPECT_EQ(model->index(1, 11).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_FALSE(model->index(1, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(model->index(0, 0), "x"));
    EXPECT_EQ(g.text(1, 1), std::nullopt);
}

TEST_F(WindowTest, ViewFollowsHiddenRowsActiveCellAndSuspension) {
    open();
    auto& g = form->grid();
    auto* view = form->gridView();
    g.setRowCount(4);
    g.setRowHidden(2, true);
    EXPECT_TRUE(view->isRowHidden(1));
    g.setActiveCell(12, 3);
    EXPECT_EQ(view->currentIndex().row(), 2);
    EXPECT_EQ(view->currentIndex().column(), 11);
    // The user's own choice of cell becomes the grid's active cell.
    view->setCurrentIndex(view->gridModel()->index(3, 4));
    EXPECT_EQ(g.activeRow(), 4);
    EXPECT_EQ(g.activeColumn(), 5);

    g.suspendPainting();
    g.setRowCount(10);
    g.setRowHidden(7, true);
    g.setText(1, 9, "late");
    EXPECT_EQ(view->gridModel()->rowCount(), 4) << "the view saw rows while painting was suspended";
    g.resumePainting();
    EXPECT_EQ(view->gridModel()->rowCount(), 10);
    EXPECT_TRUE(view->isRowHidden(6));
    EXPECT_TRUE(view->isRowHidden(1)) << "a row lost its hidden state on reset";
    EXPECT_FALSE(view->isRowHidden(0));
    EXPECT_EQ(view->gridModel()->index(8, 0).data().toString(), QStringLiteral("late"));
}

TEST_F(WindowTest, RepeatedTableNamesReadAsOneBlock) {
    open();
    auto* view = form->gridView();
    EXPECT_TRUE(view->mergeRepeats(0));
    EXPECT_TRUE(view->mergeRepeats(12));
    EXPECT_FALSE(view->mergeRepeats(4));
}

// A whole comparison without a product: the two files are loaded as they
// are, compared, and the grid shows the differing rows only.
TEST_F(WindowTest, CompareShowsDifferencesInTheGrid) {
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.mdb").toStdString(), b = dir.filePath("b.mdb").toStdString();
    for (const auto& p : {a, b}) {
        QFile f(QString::fromStdString(p));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    auto field = [](const char* name) {
        dex::FieldDef f;
        f.name = name;
        f.type = dex::daotype::Long;
        f.size = 4;
        return f;
    };
    dex::TableDef customerA{"customer", {field("code"), field("name")}, {{"PrimaryKey", true, false, true, {"code"}, {}, {}}}};
    dex::TableDef customerB{"customer", {field("code"), field("name")}, {}};
    engine.files[a].tables = {customerA};
    engine.files[b].tables = {customerB};
    settings.set("환경설정", "최근DB_A", a);
    settings.set("환경설정", "최근DB_B", b);
    open();
    child<QPushButton>("cmdComp")->click();

    auto& g = form->grid();
    auto* view = form->gridView();
    // Each file once to try the product's password, then once to load it.
    EXPECT_EQ(engine.opened, (std::vector<std::string>{a, b, a, b}));
    ASSERT_GE(g.rowCount(), 2);
    int marked = 0;
    for (int r = 1; r <= g.rowCount(); ++r) {
        EXPECT_EQ(view->isRowHidden(r - 1), g.rowHidden(r)) << "row " << r;
        if (g.text(12, r).value_or("") == "!") ++marked;
    }
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(view->gridModel()->rowCount(), g.rowCount());
    EXPECT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().text, "1건의 다른곳이 발견 되었습니다.");
    // The header's joined cells show the paths loaded on each side.
    auto* model = view->gridModel();
    EXPECT_EQ(header(model, 0, GridTableModel::UpperHeaderRole).toString().toStdString(), a);
    EXPECT_EQ(header(model, 12, GridTableModel::UpperHeaderRole).toString().toStdString(), b);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(child<QProgressBar>("ProgressBar1_0")->isVisible());
    EXPECT_FALSE(child<QProgressBar>("ProgressBar1_1")->isVisible());
    EXPECT_FALSE(child<QLineEdit>("maketb")->isVisible());
}

TEST(QtSettingsStore, KeepsPathsUnderTheProgramsGroup) {
    {
        dex::QtSettings store;
        store.set("환경설정", "최근DB_A", "/data/한글 경로/a.mdb");
        EXPECT_EQ(store.get("환경설정", "최근DB_A"), "/data/한글 경로/a.mdb");
        EXPECT_EQ(store.get("환경설정", "최근DB_B_missing"), "");
    }
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Dexmira", "Dexmira");
    EXPECT_TRUE(raw.fileName().endsWith(QStringLiteral("Dexmira/Dexmira.conf"))) << raw.fileName().toStdString();
    EXPECT_EQ(raw.value(QStringLiteral("환경설정/최근DB_A")).toString(), QStringLiteral("/data/한글 경로/a.mdb"));
    EXPECT_TRUE(raw.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
}
