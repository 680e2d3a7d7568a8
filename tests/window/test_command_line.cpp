// "dexmira A B" as a desktop starts it: both boxes filled as if typed.
#include "GuiMain.h"
#include "WindowFixture.h"

using namespace dex::test;

TEST_F(WindowTest, TwoFilesOnTheCommandLineFillBothBoxesAsTyped) {
    open();
    ASSERT_TRUE(dex::applyCommandLine(*form, {QStringLiteral("dexmira"), QStringLiteral(R"(C:\QuensaII\DBS\prodb.mdb)"),
                                              QStringLiteral("/data/고객.mdb")}));
    EXPECT_EQ(text(0), R"(C:\QuensaII\DBS\prodb.mdb)");
    EXPECT_EQ(text(1), "/data/고객.mdb");
    // Product inference and the remembered paths, as for typed text.
    EXPECT_EQ(form->productCode(), "FornPro");
    EXPECT_EQ(setting("최근DB_A"), R"(C:\QuensaII\DBS\prodb.mdb)");
    EXPECT_EQ(setting("최근DB_B"), "/data/고객.mdb");
}

TEST_F(WindowTest, OneFileFillsBoxAOnlyAndAThirdIsRefused) {
    open();
    ASSERT_TRUE(dex::applyCommandLine(*form, {QStringLiteral("dexmira"), QStringLiteral("/data/a.mdb")}));
    EXPECT_EQ(text(0), "/data/a.mdb");
    EXPECT_EQ(text(1), "");
    EXPECT_FALSE(dex::applyCommandLine(*form, {QStringLiteral("dexmira"), QStringLiteral("a"), QStringLiteral("b"),
                                               QStringLiteral("c")}));
}
