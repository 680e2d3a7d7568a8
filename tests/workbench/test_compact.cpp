// Compact and repair, and open, over an engine whose compaction writes a
// chosen content: the path checks, the swap and its failures.
#include "UniqueFolder.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CompactOpen.h"
#include "FakeEngine.h"
#include "JetDamage.h"

using namespace dex;
namespace fs = std::filesystem;

namespace {

// Compaction writes `output` to the destination (nothing when empty), or throws.
class CompactingEngine : public test::FakeEngine {
public:
    std::string output = "compacted";
    bool fail = false;
    bool destinationExisted = false;
    std::string lastConnect;
    void compactDatabase(const std::string&, const std::string& destination, const std::string& connect) override {
        lastConnect = connect;
        destinationExisted = fs::exists(destination);
        if (fail) throw DbError(3031, "Not a valid password.");
        if (!output.empty()) std::ofstream(destination, std::ios::binary) << output;
    }
};

// Fails the n-th rename (1-based).
class FailingRename : public FileOps {
public:
    int failAt = 0, calls = 0;
    void rename(const std::string& from, const std::string& to) override {
        if (++calls == failAt) throw fs::filesystem_error("rename refused", from, to, std::make_error_code(std::errc::permission_denied));
        FileOps::rename(from, to);
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class CompactTest : public ::testing::Test {
protected:
    CompactTest() : wb{grid, engine, dialogs, bar0, bar1, window} {
        dir = dex::test::makeUniqueFolder("dexmira_compact");
        fs::remove_all(dir);
        fs::create_directories(dir);
        db = (dir / "dbMain.mdb").string();
        std::ofstream(db) << "original";
        dialogs.answerYes = true;
    }
    ~CompactTest() override { fs::remove_all(dir); }
    std::string last() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }

    fs::path dir;
    std::string db;
    Grid grid;
    CompactingEngine engine;
    RecordingDialogs dialogs;
    ProgressBar bar0, bar1;
    RecordingWindow window;
    Workbench wb;
    FileOps files;
};

}  // namespace

TEST(CompactPath, EveryLowerCaseMdbIsReplaced) {
    EXPECT_EQ(CompactTempPath("/d/dbMain.mdb"), "/d/dbMain_compactTemp.mdb");
    EXPECT_EQ(CompactTempPath("/x.mdb/a.mdb"), "/x_compactTemp.mdb/a_compactTemp.mdb");
    EXPECT_EQ(CompactTempPath("/d/A.MDB"), "/d/A.MDB");
}

TEST_F(CompactTest, AnsweringNoValidatesAndChangesNothing) {
    dialogs.answerYes = false;
    EXPECT_FALSE(cmdCompact_Click(wb, "", 0, files));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "정말 압축 및 복구를 하시겠습니까?");
    EXPECT_EQ(window.focusedBox, -1);
}

TEST_F(CompactTest, PathChecksShowTheirMessagesAndFocusTheBox) {
    EXPECT_FALSE(CheckDBPath(wb, "   ", 1));
    EXPECT_EQ(last(), "DB경로가 입력되지 않았습니다.");
    EXPECT_EQ(window.focusedBox, 1);

    const std::string txt = (dir / "x.txt").string();
    std::ofstream(txt) << "t";
    EXPECT_FALSE(CheckDBPath(wb, txt, 0));
    EXPECT_EQ(last(), "mdb파일이 아닙니다.\r\n\r\n" + txt);
    EXPECT_EQ(window.focusedBox, 0);

    EXPECT_FALSE(CheckDBPath(wb, (dir / "none.mdb").string(), 0));
    EXPECT_EQ(last(), "파일을 찾을 수 없습니다.\r\n\r\n" + (dir / "none.mdb").string());

    const std::string nodot = (dir / "backupmdb").string();
    std::ofstream(nodot) << "b";
    EXPECT_TRUE(CheckDBPath(wb, nodot, 0)) << "a name ending in mdb needs no dot";
    const std::string upper = (dir / "X.MDB").string();
    std::ofstream(upper) << "b";
    EXPECT_TRUE(CheckDBPath(wb, upper, 0));
}

TEST_F(CompactTest, SuccessReplacesTheDatabaseUnderItsOwnName) {
    const std::string leftover = (dir / "dbMain_compactTemp.mdb").string();
    std::ofstream(leftover) << "stale";
    EXPECT_TRUE(cmdCompact_Click(wb, db, 0, files));
    EXPECT_FALSE(engine.destinationExisted) << "a leftover temporary file is deleted first";
    EXPECT_EQ(engine.lastConnect, ";pwd=kt5316");
    EXPECT_EQ(readFile(db), "compacted");
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "nothing left beside it";
    EXPECT_EQ(last(), "압축 및 복구를 완료하였습니다.");
    EXPECT_EQ(dialogs.shown.back().icon, Icon::Information);
    EXPECT_FALSE(window.busy);
}

TEST_F(CompactTest, EmptyResultIsAFailureAndKeepsTheDatabase) {
    engine.output.clear();
    EXPECT_FALSE(cmdCompact_Click(wb, db, 0, files));
    EXPECT_EQ(last(), "압축 및 복구 실패!");
    EXPECT_EQ(dialogs.shown.back().icon, Icon::Warning);
    EXPECT_EQ(readFile(db), "original");
}

TEST_F(CompactTest, EngineErrorIsReportedInTheHandlerFrame) {
    engine.fail = true;
    EXPECT_FALSE(cmdCompact_Click(wb, db, 1, files));
    EXPECT_EQ(last(), "Error 3031 (Not a valid password.) in procedure cmdCompact_Click of Form Form1");
    EXPECT_EQ(readFile(db), "original");
    EXPECT_FALSE(window.busy);
}

TEST_F(CompactTest, PathWithoutLowerCaseMdbIsRefusedBeforeAnythingIsDeleted) {
    const std::string upper = (dir / "DBMAIN.MDB").string();
    std::ofstream(upper) << "upper";
    EXPECT_FALSE(cmdCompact_Click(wb, upper, 0, files));
    EXPECT_NE(last().find("압축 및 복구를 할 수 없는 파일 이름입니다."), std::string::npos);
    EXPECT_EQ(readFile(upper), "upper");
    EXPECT_TRUE(engine.lastConnect.empty()) << "the engine is never asked";
}

TEST_F(CompactTest, FailedSwapPutsTheOriginalBack) {
    FailingRename failing;
    failing.failAt = 2;  // the compacted copy cannot move in
    EXPECT_FALSE(cmdCompact_Click(wb, db, 0, failing));
    EXPECT_EQ(readFile(db), "original");
    EXPECT_NE(last().find("in procedure cmdCompact_Click of Form Form1"), std::string::npos);
    EXPECT_NE(last().find("원본 DB를 원래 이름으로 되돌렸습니다"), std::string::npos);

    FailingRename first;
    first.failAt = 1;  // the original cannot even be moved aside
    EXPECT_FALSE(cmdCompact_Click(wb, db, 0, first));
    EXPECT_EQ(readFile(db), "original");
}

TEST_F(CompactTest, JetFileIsRefusedAndLeftAlone) {
    // Only a Jet signature: no file to rewrite, so the error frame and nothing else.
    std::string jet(64, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    std::ofstream(db, std::ios::binary) << jet;
    EXPECT_FALSE(cmdCompact_Click(wb, db, 0, files));
    EXPECT_NE(last().find("Error 3343 ("), std::string::npos) << last();
    EXPECT_NE(last().find(") in procedure cmdCompact_Click of Form Form1"), std::string::npos) << last();
    EXPECT_EQ(readFile(db), jet);
    EXPECT_TRUE(engine.lastConnect.empty());
    EXPECT_FALSE(fs::exists(dir / "dbMain.bak.mdb"));
}

// A real Jet file with a password of its own: the product password fails,
// the user is asked, a wrong answer asks again, the right one compacts.
TEST_F(CompactTest, RealJetFileAsksForItsPasswordAndKeepsTheOriginal) {
    dex::test::WDatabase jet;
    jet.password = "geheim";
    jet.tables = {dex::test::labelTable("labels", 50)};
    fs::remove(db);
    dex::test::writeJetFile(db, jet);
    const std::string before = readFile(db);
    dialogs.passwords = {"wrong", "geheim"};
    EXPECT_TRUE(cmdCompact_Click(wb, db, 0, files));
    ASSERT_GE(dialogs.shown.size(), 4u);
    EXPECT_EQ(dialogs.shown[1].text,
              "이 파일은 제품 암호로 열리지 않습니다. 데이터베이스 암호를 입력하십시오.\r\n\r\n" + db);
    EXPECT_EQ(dialogs.shown[2].text, dialogs.shown[1].text);
    EXPECT_EQ(last(), "압축 및 복구를 완료하였습니다.\r\n\r\n원본 파일은 다음 이름으로 보관했습니다:\r\n" +
                          (dir / "dbMain.bak.mdb").string());
    EXPECT_EQ(dialogs.shown.back().icon, Icon::Information);
    EXPECT_EQ(readFile((dir / "dbMain.bak.mdb").string()), before);
    EXPECT_TRUE(engine.lastConnect.empty()) << "a Jet file is not the store engine's";

    // Cancelled: the error frame, the file as it was.
    const std::string compacted = readFile(db);
    dialogs.shown.clear();
    EXPECT_FALSE(cmdCompact_Click(wb, db, 0, files));
    EXPECT_NE(last().find("Error 3031 ("), std::string::npos) << last();
    EXPECT_EQ(readFile(db), compacted);
    EXPECT_FALSE(fs::exists(dir / "dbMain.bak2.mdb"));
}

TEST_F(CompactTest, OpenChecksThePathFirst) {
    std::vector<std::string> opened;
    auto open = [&](const std::string& p) { opened.push_back(p); };
    cmdAccess_Click(wb, "", 0, open);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(last(), "DB경로가 입력되지 않았습니다.");
    cmdAccess_Click(wb, db, 1, open);
    EXPECT_EQ(opened, std::vector<std::string>{db});
}
