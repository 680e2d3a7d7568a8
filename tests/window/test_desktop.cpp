// The window on a desktop: its language (Qt's own Korean dialogs, or the
// window's English translation), access keys and accessible names, its icon,
// and the size and place it comes back with.
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QStyle>

#include "GridView.h"
#include "GuiMain.h"
#include "Products.h"
#include "Version.h"
#include "WindowFixture.h"

using namespace dex::test;
using dex::Form1;
using dex::words::Language;

namespace {

bool hasHangul(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3) return true;
    return false;
}

// Every text the window shows or gives to assistive tools: its title, each
// named control's text, tool tip and accessible name, the list's entries,
// the grid's header and the context menu.
QStringList windowTexts(Form1& form) {
    QStringList texts{form.windowTitle()};
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        texts << w->toolTip() << w->accessibleName();
        if (auto* b = qobject_cast<QPushButton*>(w)) texts << b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w); e && e->isReadOnly()) texts << e->text();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
    }
    auto* model = form.gridView()->model();
    for (int c = 0; c < model->columnCount(); ++c) texts << model->headerData(c, Qt::Horizontal).toString();
    for (QAction* a : form.gridView()->actions()) texts << a->text();
    return texts;
}

}  // namespace

TEST(Translations, AKoreanDesktopGetsQtsOwnKoreanDialogs) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ko.qm")))
        GTEST_SKIP() << "Qt's Korean translation is not installed (qt6-translations-l10n) in " << folder.toStdString();
    {
        const dex::Translations korean(Language::Korean);
        EXPECT_TRUE(korean.complete());
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dexmira"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("예(&Y)"));
        EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("아니요(&N)"));
        QFileDialog save;
        save.setOption(QFileDialog::DontUseNativeDialog);
        save.setAcceptMode(QFileDialog::AcceptSave);
        EXPECT_EQ(save.windowTitle(), QStringLiteral("다른 이름으로 저장"));
        // The window's own texts are the Korean ones already.
        EXPECT_EQ(Form1::uiLanguage(), Language::Korean);
    }
    QMessageBox plain(QMessageBox::NoIcon, QStringLiteral("Dexmira"), QStringLiteral("?"), QMessageBox::Yes);
    EXPECT_EQ(plain.button(QMessageBox::Yes)->text(), QStringLiteral("&Yes")) << "the translation outlived its holder";
}

TEST_F(WindowTest, AnEnglishDesktopGetsTheWindowInEnglish) {
    const dex::Translations english(Language::English);
    ASSERT_TRUE(english.complete());
    open();
    EXPECT_EQ(Form1::uiLanguage(), Language::English);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Dexmira - Orvessa for support staff ") +
                                       QString::fromLatin1(DEXMIRA_VERSION_TEXT));
    EXPECT_EQ(child<QPushButton>("cmdComp")->text(), QStringLiteral("&Compare"));
    EXPECT_EQ(child<QPushButton>("cmdDB_1")->text(), QStringLiteral("DB (&B)..."));
    EXPECT_EQ(child<QLabel>("Label1")->text(), QStringLiteral("※ One-sided fields left out / indexes only"));
    EXPECT_EQ(list()->itemText(0), QStringLiteral("[Product]"));
    EXPECT_EQ(form->gridView()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Table"));
    for (const QString& text : windowTexts(*form)) EXPECT_FALSE(hasHangul(text)) << text.toStdString();
    // A translated access key is the key the button answers to, and the
    // texts fit the designed controls, as the Korean ones do.
    for (const char* name : {"cmdComp", "cmdDB_0", "cmdDB_1", "cmdAccess_0", "cmdAccess_1", "cmdCompact_0",
                             "cmdCompact_1"}) {
        auto* b = child<QPushButton>(name);
        EXPECT_EQ(QKeySequence::mnemonic(b->text()), b->shortcut()) << name;
        const int margins = 2 * b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
        EXPECT_LE(b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + margins, b->width())
            << name;
    }
    auto* label = child<QLabel>("Label1");
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(list()->fontMetrics().horizontalAdvance(list()->itemText(0)) +
                  list()->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
              list()->width() - 8);
    // Entries are still chosen by their designed text.
    choose(1);
    EXPECT_EQ(form->productCode(), dex::ProductTable()[1].code);
    EXPECT_EQ(list()->currentData().toString().toStdString(), dex::ProductTable()[1].text);
}

TEST_F(WindowTest, ButtonsHaveAccessKeysAndEveryControlAName) {
    open();
    const std::pair<const char*, const char*> keys[] = {
        {"cmdComp", "Alt+C"},     {"cmdDB_0", "Alt+A"},      {"cmdDB_1", "Alt+B"},     {"cmdAccess_0", "Alt+O"},
        {"cmdAccess_1", "Alt+P"}, {"cmdCompact_0", "Alt+M"}, {"cmdCompact_1", "Alt+T"},
    };
    for (const auto& [name, key] : keys) {
        auto* b = child<QPushButton>(name);
        EXPECT_EQ(b->shortcut().toString(), QString::fromLatin1(key)) << name;
        EXPECT_TRUE(b->toolTip().endsWith(QString::fromLatin1(key) + QLatin1Char(')'))) << b->toolTip().toStdString();
    }
    // Alt+A and Alt+B browse for box A and box B, from wherever the focus is
    // (a button's key clicks it as the mouse does, after a short delay).
    box(1)->setFocus();
    press(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialogs.fileRequests.size() == 1; }));
    press(Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialogs.fileRequests.size() == 2; }));
    ASSERT_EQ(dialogs.fileRequests.size(), 2u);

    QSet<QString> names;
    int named = 0;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        ++named;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        EXPECT_FALSE(names.contains(w->accessibleName())) << w->accessibleName().toStdString();
        names.insert(w->accessibleName());
    }
    EXPECT_EQ(named, 19) << "Frame1 and its 13 controls, the grid, the status line, two progress bars, the notice box";
    EXPECT_EQ(child<QLineEdit>("txtDBPath_0")->accessibleName(), QStringLiteral("DB A 경로"));
    EXPECT_EQ(child<QPushButton>("cmdComp")->toolTip(), QStringLiteral("두 DB 비교 (F5, Alt+C)"));
}

TEST_F(WindowTest, CarriesTheProgramsIcon) {
    open();
    const QIcon icon = form->windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(48, 48), QSize(256, 256)}));
    EXPECT_FALSE(icon.pixmap(48).toImage().pixelColor(24, 24).alpha() == 0 &&
                 icon.pixmap(48).toImage().pixelColor(10, 10).alpha() == 0)
        << "the icon is empty";
}

TEST_F(WindowTest, RemembersItsSizeAndPlaceBesideThePaths) {
    settings.set("환경설정", "최근DB_A", "/data/a.mdb");
    open();
    const QSize designed = form->size();
    form->setGeometry(QRect(QPoint(30, 40), QSize(700, 480)));
    const QRect placed = form->geometry();
    ASSERT_NE(placed.size(), designed);
    form->close();
    EXPECT_FALSE(setting("창위치").empty());
    // The two paths' settings are as they were; the place has a key of its own.
    std::vector<std::string> keys;
    for (const auto& [key, value] : settings.values) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"환경설정/창위치", "환경설정/최근DB_A"}));
    EXPECT_EQ(setting("최근DB_A"), "/data/a.mdb");

    form.reset();
    open();
    EXPECT_EQ(form->geometry(), placed);
    EXPECT_EQ(text(0), "/data/a.mdb");

    // Something unreadable under the key: the designed size.
    form.reset();
    settings.set("환경설정", "창위치", "not a saved place");
    open();
    EXPECT_EQ(form->size(), designed);
}
