// The comparison run with a product: copies beside A, migration order and
// its failures, refused paths, and the user's files left untouched.
#include "RunProgram.h"
#include "UniqueFolder.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CompareRun.h"
#include "FakeEngine.h"

using namespace dex;
using namespace dex::test;
namespace fs = std::filesystem;

namespace {

// A file that starts like a store (a sound SQLite header) and is told apart
// from the others by its tag: the fake engine opens it by its whole content.
std::string storeBytes(const std::string& tag) {
    std::string bytes("SQLite format 3\0\x10\x00\x01\x01\x00\x40\x20\x20", 24);
    bytes.resize(100, '\0');
    return bytes + tag;
}

// Records the calls and "migrates" a copy by appending to it, so that a
// change reaching the user's file would show.
class FakeMigrator : public Migrator {
public:
    std::vector<std::string> calls;
    std::string failOn;         // a copy path whose catalogue returns False
    bool throwOnOpen = false;   // DBOpen fails
    RecordingWindow* window = nullptr;
    bool noticeDuringMigration = false;

    bool migrate(const std::string& code, const std::string& path) override {
        calls.push_back(code + ":" + fs::path(path).filename().string());
        if (window) noticeDuringMigration = window->noticeShown;
        if (throwOnOpen) throw DbError(3031, "Not a valid password.");
        if (path == failOn) return false;
        std::ofstream(path, std::ios::app) << "";  // opened for writing like a migration would
        return true;
    }
    void release() override { calls.push_back("release"); }

    // With a twin, copy B is migrated on a second thread by a migrator that
    // appends "+twin", asks a question, fails with a message naming the
    // copy it works on, or throws an error naming it.
    enum class Twin { None, Appends, Asks, Fails, Throws };
    Twin twin = Twin::None;
    std::vector<std::string> twinPaths;  // written by the second thread, read after the run

    TwinMaker twinMaker() override {
        if (twin == Twin::None) return {};
        return [this](Dialogs& dialogs, const std::string&, const std::atomic<bool>&) -> std::unique_ptr<Migrator> {
            return std::make_unique<TwinOf>(*this, dialogs);
        };
    }
    void adoptTwin(const std::vector<RecordingDialogs::Shown>& messages, const std::string&) override {
        std::string texts;
        for (const auto& m : messages) texts += ":" + m.text;
        calls.push_back("adopt" + texts);
    }

private:
    struct TwinOf : Migrator {
        TwinOf(FakeMigrator& of, Dialogs& d) : of(of), dialogs(d) {}
        bool migrate(const std::string&, const std::string& path) override {
            of.twinPaths.push_back(path);
            switch (of.twin) {
                case Twin::Asks: dialogs.askYesNo("go on?", "t", true); break;
                case Twin::Fails: dialogs.message("step failed in " + path, "t", Icon::None); return false;
                case Twin::Throws: throw DbError(3049, "'" + path + "' is damaged");
                default: break;
            }
            std::ofstream(path, std::ios::app) << "+twin";
            return true;
        }
        void release() override {}
        FakeMigrator& of;
        Dialogs& dialogs;
    };
};

class RunTest : public ::testing::Test {
protected:
    RunTest() : wb{grid, engine, dialogs, bar0, bar1, window} {
        grid.setColumnCount(23);
        root = dex::test::makeUniqueFolder("dexmira_run");
        fs::remove_all(root);
        fs::create_directories(root / "DBS");
        fs::create_directories(root / "backup");
        a = root / "DBS" / "dbMain.mdb";
        b = root / "backup" / "x.mdb";
        std::ofstream(a) << storeBytes("file-A");
        std::ofstream(b) << storeBytes("file-B");
        TableDef t{"customer", {longField("code"), longField("gcode")}, {primaryKey({"code"})}};
        TableDef u = t;
        u.indexes.push_back(plainIndex("i", {"gcode"}));
        engine.byContent[storeBytes("file-A")].tables = {t};
        engine.byContent[storeBytes("file-B")].tables = {u};
        migrator.window = &window;
    }
    ~RunTest() override { fs::remove_all(root); }

    bool run(const std::string& code = "vardoII") {
        return RunComparison(wb, {a.string(), b.string(), code}, &migrator);
    }
    void expectUserFilesUntouched() {
        EXPECT_EQ(dex::test::readWhole(a), storeBytes("file-A"));
        EXPECT_EQ(dex::test::readWhole(b), storeBytes("file-B"));
    }
    std::string last() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }

    fs::path root, a, b;
    Grid grid;
    FakeEngine engine;
    RecordingDialogs dialogs;
    ProgressBar bar0, bar1;
    RecordingWindow window;
    FakeMigrator migrator;
    Workbench wb;
};

}  // namespace

TEST(CopyPaths, FormedFromPathA) {
    CopyPaths p = FormCopyPaths("/home/u/VelmoraII/DBS/dbMain.mdb");
    EXPECT_EQ(p.folder, "/home/u/VelmoraII/DBS/dbMaintemp");
    EXPECT_EQ(p.copyA, "/home/u/VelmoraII/DBS/dbMaintemp/temp(A).mdb");
    EXPECT_EQ(p.copyB, "/home/u/VelmoraII/DBS/dbMaintemp/temp(B).mdb");
}

TEST_F(RunTest, CopiesGoBesideAAndAreMigratedInOrder) {
    EXPECT_TRUE(run());
    const fs::path folder = root / "DBS" / "dbMaintemp";
    EXPECT_EQ(dex::test::readWhole(folder / "temp(A).mdb"), storeBytes("file-A"));
    EXPECT_EQ(dex::test::readWhole(folder / "temp(B).mdb"), storeBytes("file-B"));
    EXPECT_EQ(migrator.calls, (std::vector<std::string>{"release", "vardoII:temp(A).mdb", "vardoII:temp(B).mdb"}));
    EXPECT_TRUE(migrator.noticeDuringMigration);
    EXPECT_FALSE(window.noticeShown);
    EXPECT_EQ(grid.headerText(1, true), (folder / "temp(A).mdb").string());
    EXPECT_EQ(last(), "1건의 다른곳이 발견 되었습니다.");
    EXPECT_FALSE(fs::exists(root / "backup" / "xtemp")) << "nothing is made beside B";
    expectUserFilesUntouched();
}

TEST_F(RunTest, SecondRunReusesTheFolderAndReplacesTheCopies) {
    ASSERT_TRUE(run());
    std::ofstream(root / "DBS" / "dbMaintemp" / "temp(A).mdb-wal") << "stale journal";
    std::ofstream(b) << storeBytes("file-A");  // B now equals A
    EXPECT_TRUE(run());
    EXPECT_EQ(dex::test::readWhole(root / "DBS" / "dbMaintemp" / "temp(B).mdb"), storeBytes("file-A"));
    EXPECT_FALSE(fs::exists(root / "DBS" / "dbMaintemp" / "temp(A).mdb-wal"));
    EXPECT_EQ(last(), "두 DB의 구조가 일치 합니다.");
}

TEST_F(RunTest, SamePathForBothSidesMakesTwoCopies) {
    EXPECT_TRUE(RunComparison(wb, {a.string(), a.string(), "FornII"}, &migrator));
    EXPECT_EQ(dex::test::readWhole(root / "DBS" / "dbMaintemp" / "temp(B).mdb"), storeBytes("file-A"));
    EXPECT_EQ(last(), "두 DB의 구조가 일치 합니다.");
}

TEST_F(RunTest, FailedMigrationOfAStopsBeforeB) {
    grid.setRowCount(1);
    grid.setText(1, 1, "previous run");
    migrator.failOn = (root / "DBS" / "dbMaintemp" / "temp(A).mdb").string();
    EXPECT_FALSE(run());
    EXPECT_EQ(migrator.calls, (std::vector<std::string>{"release", "vardoII:temp(A).mdb"}));
    EXPECT_FALSE(window.noticeShown);
    EXPECT_EQ(grid.text(1, 1).value_or(""), "previous run") << "the grid keeps the previous run";
    EXPECT_TRUE(dialogs.shown.empty()) << "the catalogue has shown its own message";
    expectUserFilesUntouched();
}

TEST_F(RunTest, OpenErrorIsReportedInTheRunFrame) {
    migrator.throwOnOpen = true;
    EXPECT_FALSE(run());
    EXPECT_EQ(last(), "Error 3031 (Not a valid password.) in procedure cmdComp_Click of Form Form1");
    EXPECT_FALSE(window.noticeShown);
    EXPECT_EQ(migrator.calls.size(), 2u);
}

TEST_F(RunTest, PathAWithoutLowerCaseMdbIsRefusedBeforeCopying) {
    const fs::path upper = root / "DBS" / "MAIN.MDB", bare = root / "DBS" / "main";
    std::ofstream(upper) << storeBytes("file-A");
    std::ofstream(bare) << storeBytes("file-A");
    for (const auto& p : {upper, bare}) {
        dialogs.shown.clear();
        EXPECT_FALSE(RunComparison(wb, {p.string(), b.string(), "vardoII"}, &migrator));
        EXPECT_NE(last().find("\".mdb\""), std::string::npos);
        EXPECT_EQ(window.focusedBox, 0);
    }
    EXPECT_TRUE(migrator.calls.empty());
    EXPECT_EQ(window.noticeShowCount, 0);
}

TEST_F(RunTest, ATemporaryCopyChosenAsInputIsRefused) {
    ASSERT_TRUE(run());
    const fs::path copyA = root / "DBS" / "dbMaintemp" / "temp(A).mdb";
    b = copyA;
    migrator.calls.clear();
    EXPECT_FALSE(run());
    EXPECT_NE(last().find("in procedure cmdComp_Click of Form Form1"), std::string::npos);
    EXPECT_EQ(migrator.calls, std::vector<std::string>{"release"}) << "nothing is migrated";
    EXPECT_FALSE(window.noticeShown);
}

TEST_F(RunTest, FolderThatCannotBeMadeIsReported) {
    std::ofstream(root / "DBS" / "dbMaintemp") << "a file in the folder's place";
    EXPECT_FALSE(run());
    EXPECT_NE(last().find("in procedure cmdComp_Click of Form Form1"), std::string::npos);
    EXPECT_FALSE(window.noticeShown);
    expectUserFilesUntouched();
}

TEST_F(RunTest, NoProductComparesTheFilesWithoutCopying) {
    EXPECT_TRUE(run(""));
    EXPECT_FALSE(fs::exists(root / "DBS" / "dbMaintemp"));
    EXPECT_EQ(window.noticeShowCount, 0);
    EXPECT_TRUE(migrator.calls.empty());
}

TEST_F(RunTest, CopyBMigratedBesideAIsTakenOverOnlyOnceASucceeded) {
    using Twin = FakeMigrator::Twin;
    const fs::path folder = root / "DBS" / "dbMaintemp";
    const std::string copyB = (folder / "temp(B).mdb").string();
    engine.byContent[storeBytes("file-B+twin")] = engine.byContent[storeBytes("file-B")];
    auto staged = [&] {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(".staging", 0) == 0) return true;
        return false;
    };
    struct Case {
        Twin twin;
        bool aFails;
        bool ran;
        std::vector<std::string> calls;
        std::string copyBBytes;
    };
    const std::vector<Case> cases = {
        {Twin::Appends, false, true, {"release", "vardoII:temp(A).mdb", "adopt"}, storeBytes("file-B+twin")},
        // A question only the user can answer: the twin's work is dropped,
        // B is migrated here after A.
        {Twin::Asks, false, true, {"release", "vardoII:temp(A).mdb", "vardoII:temp(B).mdb"}, storeBytes("file-B")},
        {Twin::Fails, false, false, {"release", "vardoII:temp(A).mdb", "adopt:step failed in " + copyB}, storeBytes("file-B")},
        {Twin::Throws, false, false, {"release", "vardoII:temp(A).mdb", "adopt"}, storeBytes("file-B")},
        // A fails: B's work is thrown away, temp(B).mdb stays the plain copy.
        {Twin::Appends, true, false, {"release", "vardoII:temp(A).mdb"}, storeBytes("file-B")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.twin) * 10 + c.aFails);
        migrator.calls.clear();
        migrator.twinPaths.clear();
        dialogs.shown.clear();
        migrator.twin = c.twin;
        migrator.failOn = c.aFails ? (folder / "temp(A).mdb").string() : "";
        EXPECT_EQ(run(), c.ran);
        EXPECT_EQ(migrator.calls, c.calls);
        EXPECT_EQ(dex::test::readWhole(copyB), c.copyBBytes);
        ASSERT_EQ(migrator.twinPaths.size(), 1u);
        EXPECT_NE(migrator.twinPaths[0], copyB) << "the twin works on a scratch copy";
        EXPECT_EQ(fs::path(migrator.twinPaths[0]).filename(), "temp(B).mdb");
        EXPECT_FALSE(staged()) << "the scratch folder is removed";
        if (c.twin == Twin::Throws)
            EXPECT_EQ(last(), "Error 3049 ('" + b.string() + "' is damaged) in procedure cmdComp_Click of Form Form1");
        expectUserFilesUntouched();
    }
}
