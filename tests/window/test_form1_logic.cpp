// The window's rules without a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "DbError.h"
#include "ErrorText.h"
#include "Form1Logic.h"

using namespace dex::form1;

TEST(Form1Logic, PatternMatching) {
    EXPECT_TRUE(MatchesPattern(R"(C:\VelmoraII\DBS\dbMain.mdb)", R"(*VelmoraII\*)"));
    EXPECT_TRUE(MatchesPattern(R"(VelmoraII\)", R"(*VelmoraII\*)"));  // both stars empty
    EXPECT_FALSE(MatchesPattern(R"(C:\VelmoraIIx\a.mdb)", R"(*VelmoraII\*)"));
    EXPECT_TRUE(MatchesPattern("/opt/VelmoraII/a.mdb", R"(*VelmoraII\*)"));  // "/" is the separator here
    EXPECT_FALSE(MatchesPattern("/opt/VelmoraII.old/a.mdb", R"(*VelmoraII\*)"));
    EXPECT_FALSE(MatchesPattern(R"(C:\velmoraii\a.mdb)", R"(*VelmoraII\*)"));  // case counts
    EXPECT_TRUE(MatchesPattern("abprocd", "*pro*"));
    EXPECT_FALSE(MatchesPattern("Pro", "*pro*"));
    EXPECT_TRUE(MatchesPattern("aXbXc", "*X*X*"));
    EXPECT_TRUE(MatchesPattern("", "*"));
    EXPECT_FALSE(MatchesPattern("", "*pro*"));
    EXPECT_TRUE(MatchesPattern("한글Tally경로", "*Tally*"));
}

TEST(Form1Logic, InferenceOrderLetsLaterTestsWin) {
    EXPECT_EQ(InferredEntries(R"(C:\QuensaII\DBS\prodb.mdb)"), (std::vector<int>{3, 4}));
    EXPECT_EQ(InferredEntries(R"(C:\QuensaPro\DBS\dbMain.mdb)"), std::vector<int>{});
    EXPECT_EQ(InferredEntries(R"(C:\VelmoraLite\DBS\dbMain.mdb)"), std::vector<int>{2});
    EXPECT_EQ(InferredEntries(R"(C:\TallyvoII\DBS\dbMain.mdb)"), std::vector<int>{5});
    EXPECT_EQ(InferredEntries(R"(C:\VelmoraII\Tally\program.mdb)"), (std::vector<int>{1, 4, 5}));
    EXPECT_TRUE(InferredEntries("").empty());
}

TEST(Form1Logic, DefaultPathsAgreeWithInference) {
    // Offering an entry's default path never makes the inference pick
    // another entry.
    const auto& table = dex::ProductTable();
    for (size_t i = 1; i < table.size(); ++i) {
        const auto entries = InferredEntries(table[i].defaultPath);
        if (!entries.empty()) {
            EXPECT_EQ(entries.back(), static_cast<int>(i)) << table[i].text;
        }
        EXPECT_EQ(LookUpProduct(table[i].text).code, table[i].code);
    }
    EXPECT_EQ(LookUpProduct("VelmoraLite").code, "vardoII");
    EXPECT_EQ(LookUpProduct("[제품선택]").code, "");
    EXPECT_EQ(LookUpProduct("velmoraii").code, "");  // exact, case-sensitive
    EXPECT_EQ(LookUpProduct("QuensaPro").defaultPath, R"(C:\QuensaPro\DBS\dbMain.mdb)");
}

TEST(Form1Logic, Title) { EXPECT_EQ(WindowTitle(1, 2, 8), "Dexmira - Orvessa 상담원용1.2.8"); }

TEST(Form1Logic, KeyRouting) {
    EXPECT_EQ(RouteKey(kKeyF3, 0), KeyAction::NextDifference);
    EXPECT_EQ(RouteKey(kKeyF3, kShiftMask), KeyAction::PreviousDifference);
    EXPECT_EQ(RouteKey(kKeyF3, kShiftMask | kCtrlMask), KeyAction::NextDifference);
    EXPECT_EQ(RouteKey(kKeyF3, kShiftMask | kAltMask), KeyAction::NextDifference);
    EXPECT_EQ(RouteKey(kKeyF3, kCtrlMask), KeyAction::NextDifference);
    EXPECT_EQ(RouteKey(kKeyF5, kShiftMask | kCtrlMask), KeyAction::Compare);
    EXPECT_EQ(RouteKey(kKeyEscape, kAltMask), KeyAction::Close);
    EXPECT_EQ(RouteKey(115, 0), KeyAction::None);
}

TEST(Form1Logic, TrimAndFolder) {
    EXPECT_EQ(TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks("\ta\t"), "\ta\t");  // only blanks
    EXPECT_EQ(FolderOf(R"(C:\data\x.mdb)"), R"(C:\data)");
    EXPECT_EQ(FolderOf("/home/u/x.mdb"), "/home/u");
    EXPECT_EQ(FolderOf(R"(/mnt/c\x.mdb)"), "/mnt/c");
    EXPECT_EQ(FolderOf("x.mdb"), "");
}

TEST(Form1Logic, ResizeAtDesignSize) {
    const ResizeLayout l = ComputeResize(design::innerWidth, design::innerHeight);
    EXPECT_EQ(l.frameWidth, 13065);
    EXPECT_EQ(l.pathWidth[0], 13065 - 3915 - 1410 - 1410 - 150);
    EXPECT_EQ(l.pathWidth[1], 13065 - 2235 - 1410 - 1410 - 150);
    // Both rows end at one right edge, with the buttons 50 twips apart.
    EXPECT_EQ(3915 + l.pathWidth[0], 2235 + l.pathWidth[1]);
    EXPECT_EQ(l.accessLeft, 3915 + l.pathWidth[0] + 50);
    EXPECT_EQ(l.compactLeft, l.accessLeft + 1410 + 50);
    EXPECT_EQ(l.gridHeight, 10605 - 1245);
    EXPECT_EQ(l.barTop[1] + 255, 10605);
    EXPECT_EQ(l.barTop[0] + 255, l.barTop[1]);
}

TEST(Form1Logic, ResizeClampsNegativeWidths) {
    // Below 6885 twips box A's rule goes negative; below 5205 box B's.
    ResizeLayout l = ComputeResize(6000, 5000);
    EXPECT_EQ(l.pathWidth[0], 0);
    EXPECT_EQ(l.pathWidth[1], 6000 - 5205);
    EXPECT_EQ(l.accessLeft, 3915 + 50);
    l = ComputeResize(6885, 5000);
    EXPECT_EQ(l.pathWidth[0], 0);
    l = ComputeResize(6886, 5000);
    EXPECT_EQ(l.pathWidth[0], 1);
    l = ComputeResize(5000, 1000);
    EXPECT_EQ(l.pathWidth[1], 0);
    EXPECT_EQ(l.gridHeight, 0);
}

TEST(Form1Logic, GridLayout) {
    dex::Grid g;
    SetupGridLayout(g);
    ASSERT_EQ(g.columnCount(), 23);
    EXPECT_EQ(g.headerText(1, false), "테이블명");
    EXPECT_EQ(g.headerText(17, false), "필드명");
    EXPECT_EQ(g.headerText(22, false), "Zro");
    EXPECT_DOUBLE_EQ(g.column(13).width, 11);
    EXPECT_DOUBLE_EQ(g.column(12).width, 4.75);
    EXPECT_EQ(g.headerText(12, true), "비교");
    EXPECT_EQ(g.column(12).back, 0x00FFFF80u);
    EXPECT_EQ(g.column(12).fore, 0x000000FFu);
    EXPECT_TRUE(g.column(11).hidden);
    EXPECT_TRUE(g.column(23).hidden);
    EXPECT_FALSE(g.column(12).hidden);
}

TEST(Form1Logic, ErrorReports) {
    EXPECT_EQ(dex::errorFrame(3031, "Not a valid password.", "cmdComp_Click", "Form Form1"),
              "Error 3031 (Not a valid password.) in procedure cmdComp_Click of Form Form1");
    auto describe = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return DescribeCurrentException();
        }
        return ErrorReport{0, ""};
    };
    auto r = describe([] { throw dex::DbError(-2147217865, "no table"); });
    EXPECT_EQ(r.number, -2147217865);
    EXPECT_EQ(r.description, "no table");
    r = describe([] { std::filesystem::copy_file("/nonexistent/dexmira/a", "/tmp/x"); });
    EXPECT_EQ(r.number, 53);
    EXPECT_NE(r.description.find("/nonexistent/dexmira/a"), std::string::npos);
    r = describe([] { throw std::runtime_error("odd"); });
    EXPECT_EQ(r.number, 5);
    EXPECT_EQ(r.description, "odd");
}
