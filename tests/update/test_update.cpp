// The update check at start-up, against a local HTTP server on 127.0.0.1,
// with stand-in checker and changer programs written as shell scripts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "DbError.h"
#include "Dialogs.h"
#include "HttpTestServer.h"
#include "PeWriter.h"
#include "TempDir.h"
#include "modAutoUpdateV1_Download.h"
#include "modAutoUpdateV1_Launcher.h"
#include "modFile.h"
#include "modWaitProc.h"

namespace dex {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::ReadText;
using test::WriteScript;
using test::WriteText;

const std::string kBase = "/download/자동업데이트_v1/";
const std::string kVersionFile = kBase + "DaroRerirodArodoruV1_lastver.txt";
const std::string kCheckerUrl = kBase + "DaroRerirodArodoruV1.exe";
const std::string kChangerUrl = kBase + "filechanger.exe";
const std::string kUnreadable = "DaroRerirodArodoruV1.exe의 최신버전 정보를 읽어올 수 없습니다!";

std::vector<std::string> FolderListing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Waits for a file that a detached process writes (renamed into place
// once complete).
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 100 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path);
}

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(folder());
        WriteText(program(), "the running program");
    }

    fs::path folder() const { return dir.path() / "app folder"; }
    std::string inFolder(const std::string& name) const { return (folder() / name).string(); }
    std::string program() const { return inFolder("tool.exe"); }
    std::string log(const std::string& name) const { return dir.file(name); }

    // A checker that records its argument and working folder; `extra` runs
    // after that (e.g. leaving a newer build behind).
    std::string checkerScript(const std::string& tag, const std::string& extra = "") const {
        return "printf '%s\\n%s\\n%s\\n' '" + tag + "' \"$1\" \"$(pwd)\" > '" + log("checker.log") + "'\n" + extra;
    }
    // A changer that records its argument, working folder and whether it
    // runs in a session of its own.
    std::string changerScript() const {
        const std::string out = log("changer.log");
        return "sid=$(cut -d' ' -f6 /proc/$$/stat)\n"
               "printf '%s\\n%s\\n%s\\n' \"$1\" \"$(pwd)\" \"$sid\" > '" + out + ".tmp'\n"
               "mv '" + out + ".tmp' '" + out + "'\n";
    }
    void placeChecker(const std::string& extra = "") { WriteScript(inFolder(modAutoUpdateV1_Launcher::kChecker), checkerScript("local", extra)); }
    void placeChanger() { WriteScript(inFolder(modAutoUpdateV1_Launcher::kChanger), changerScript()); }

    // The stand-in checker is a script and so cannot carry a version
    // resource; its version is that of a PE file written for it (the real
    // reading of a PE checker is covered by RealPeChecker below).
    void setLocalCheckerVersion(const std::u16string& fileVersion) {
        test::VersionInfo info;
        info.strings = {{"FileVersion", fileVersion}};
        test::WriteFile(log("twin.exe"), test::BuildPe(test::PeKind::Pe32, {{16, 1, 0x0409, test::BuildVersionBlock(info)}}));
    }

    modAutoUpdateV1_Launcher launcher(const std::string& server) {
        UpdateActions actions;
        actions.endProgram = [this] { ++ended; };
        actions.openFolder = [this](const std::string& f) { opened.push_back(f); };
        if (fs::exists(log("twin.exe"))) {
            actions.checkerVersion = [this](const std::string& path) {
                EXPECT_EQ(path, inFolder(modAutoUpdateV1_Launcher::kChecker));
                return modFile(dialogs).GetFileVer(log("twin.exe"), true, true);
            };
        }
        return modAutoUpdateV1_Launcher({folder().string(), "tool.exe", 15}, server, UpdateTrust{}, dialogs, actions);
    }
    void run(bool skipRefresh = false) { launcher(server.url()).RunAutoUpdate(skipRefresh); }

    void expectCheckerRan(const std::string& tag) {
        ASSERT_TRUE(fs::exists(log("checker.log")));
        EXPECT_EQ(ReadText(log("checker.log")), tag + "\n15;tool.exe\n" + folder().string() + "\n");
    }

    test::TempDir dir;
    HttpTestServer server;
    RecordingDialogs dialogs;
    int ended = 0;
    std::vector<std::string> opened;
};

TEST_F(UpdateTest, SameVersionRunsTheCheckerWithoutDownloading) {
    placeChecker();
    setLocalCheckerVersion(u"1.00.0007");
    server.serve(kVersionFile, "7");
    server.serve(kCheckerUrl, "new checker");
    run();
    EXPECT_EQ(server.requestedPaths(), std::vector<std::string>{kVersionFile});
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.headers.at("cache-control"), "no-cache");
    EXPECT_EQ(request.headers.at("pragma"), "no-cache");
    expectCheckerRan("local");
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(UpdateTest, NewerVersionDownloadsBothProgramsThenRunsTheNewChecker) {
    placeChecker();
    setLocalCheckerVersion(u"1.00.0007");
    server.serve(kVersionFile, " 8 ");
    const std::string newChecker = "#!/bin/sh\n" + checkerScript("downloaded");
    const std::string newChanger = "#!/bin/sh\n" + changerScript();
    server.serve(kCheckerUrl, newChecker);
    server.serve(kChangerUrl, newChanger);
    run();
    EXPECT_EQ(server.requestedPaths(), (std::vector<std::string>{kVersionFile, kCheckerUrl, kChangerUrl}));
    EXPECT_EQ(ReadText(inFolder("DaroRerirodArodoruV1.exe")), newChecker);
    EXPECT_EQ(ReadText(inFolder("filechanger.exe")), newChanger);
    expectCheckerRan("downloaded");
    // Nothing but the programs is left behind: no temporary download files.
    EXPECT_EQ(FolderListing(folder()),
              (std::vector<std::string>{"DaroRerirodArodoruV1.exe", "filechanger.exe", "tool.exe"}));
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(UpdateTest, MissingLocalCheckerCountsAsVersionZero) {
    server.serve(kVersionFile, "1\n");
    server.serve(kCheckerUrl, "#!/bin/sh\n" + checkerScript("downloaded"));
    server.serve(kChangerUrl, "#!/bin/sh\nexit 0\n");
    run();
    EXPECT_EQ(server.requestedPaths().size(), 3u);
    expectCheckerRan("downloaded");
}

TEST_F(UpdateTest, OnlyTheFirstTwentyBytesOfTheVersionFileCount) {
    placeChecker();
    setLocalCheckerVersion(u"1.00.0007");
    server.serve(kVersionFile, "00000000000000000007" "9");  // 21 bytes: read as 7, not 79
    run();
    EXPECT_EQ(server.requestedPaths(), std::vector<std::string>{kVersionFile});
    expectCheckerRan("local");
    EXPECT_EQ(modAutoUpdateV1_Download::OpenUrl(server.url() + kVersionFile), "00000000000000000007");
}

TEST_F(UpdateTest, UnreachableServerIsReportedAndTheCheckerIsNotRun) {
    placeChecker();
    const std::string closed = "http://127.0.0.1:" + std::to_string(HttpTestServer::closedPort());
    for (const std::string& url : {closed, server.url()}) {  // no server; no version file (404)
        dialogs.shown.clear();
        launcher(url).RunAutoUpdate(false);
        ASSERT_EQ(dialogs.shown.size(), 1u) << url;
        EXPECT_EQ(dialogs.shown[0].text, kUnreadable);
        EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
        EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    }
    EXPECT_FALSE(fs::exists(log("checker.log")));
    EXPECT_EQ(ended, 0);
}

TEST_F(UpdateTest, BlankVersionFileIsReportedLikeAnUnreachableServer) {
    server.serve(kVersionFile, "   ");
    EXPECT_FALSE(launcher(server.url()).AutoUpdaterSelfUpdate());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, kUnreadable);
}

TEST_F(UpdateTest, FailedDownloadKeepsTheOldFileSilently) {
    placeChecker();
    setLocalCheckerVersion(u"1.00.0007");
    const std::string old = ReadText(inFolder("DaroRerirodArodoruV1.exe"));
    server.serve(kVersionFile, "8");
    const HttpTestServer::Response failures[] = {
        {404, "missing", 0},            // not on the server
        {200, "", 0},                   // empty body
        {200, "#!/bin/sh\ntrunc", 500}  // connection lost before the announced length
    };
    for (const auto& failure : failures) {
        server.serve(kCheckerUrl, failure);
        run();
        EXPECT_EQ(ReadText(inFolder("DaroRerirodArodoruV1.exe")), old) << failure.status;
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(fs::exists(log("checker.log")));  // the update stops; the tool starts normally
    EXPECT_EQ(FolderListing(folder()), (std::vector<std::string>{"DaroRerirodArodoruV1.exe", "tool.exe"}));
}

TEST_F(UpdateTest, FailedChangerDownloadStopsAfterTheChecker) {
    setLocalCheckerVersion(u"1.00.0007");
    server.serve(kVersionFile, "9");
    server.serve(kCheckerUrl, "#!/bin/sh\n" + checkerScript("downloaded"));
    EXPECT_FALSE(launcher(server.url()).AutoUpdaterSelfUpdate());
    EXPECT_TRUE(fs::exists(inFolder("DaroRerirodArodoruV1.exe")));
    EXPECT_FALSE(fs::exists(inFolder("filechanger.exe")));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(UpdateTest, VersionTooLargeIsReportedAndTheDownloadFollows) {
    setLocalCheckerVersion(u"1.00.0007");
    server.serve(kVersionFile, "99999999999");
    server.serve(kCheckerUrl, "checker");
    server.serve(kChangerUrl, "changer");
    EXPECT_TRUE(launcher(server.url()).AutoUpdaterSelfUpdate());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Error 6 (Overflow) in procedure AutoUpdaterSelfUpdate of Module modAutoUpdateV1_Launcher");
    EXPECT_EQ(ReadText(inFolder("filechanger.exe")), "changer");
}

TEST_F(UpdateTest, NoNewBuildLetsTheToolStart) {
    placeChecker();
    placeChanger();
    run(true);
    expectCheckerRan("local");
    EXPECT_TRUE(server.requests().empty());  // skip refresh: no server contact
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(fs::exists(log("changer.log")));
}

TEST_F(UpdateTest, NewBuildStartsTheChangerInItsOwnSessionAndEnds) {
    placeChecker(": > New_tool.exe\n");
    placeChanger();
    run(true);
    expectCheckerRan("local");
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(opened.empty());
    ASSERT_TRUE(WaitForFile(log("changer.log")));
    const std::string text = ReadText(log("changer.log"));
    const std::string expected = "tool.exe;New_tool.exe\n" + folder().string() + "\n";
    ASSERT_EQ(text.substr(0, expected.size()), expected);
    const pid_t changerSession = std::stoi(text.substr(expected.size()));
    EXPECT_NE(changerSession, getsid(0));
}

TEST_F(UpdateTest, NewBuildWithoutChangerShowsTheFolderAndEnds) {
    placeChecker(": > New_tool.exe\n");
    run(true);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "파일교체 프로그램을 찾을 수 없습니다.\r\n\r\n" + inFolder("filechanger.exe"));
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
    EXPECT_EQ(opened, std::vector<std::string>{folder().string()});
    EXPECT_EQ(ended, 1);
}

TEST_F(UpdateTest, ProgramFileNotFoundStopsAfterTheRefresh) {
    placeChecker(": > New_tool.exe\n");
    placeChanger();
    setLocalCheckerVersion(u"1.00.0007");
    fs::remove(program());
    server.serve(kVersionFile, "7");
    run();
    EXPECT_EQ(server.requestedPaths(), std::vector<std::string>{kVersionFile});
    EXPECT_FALSE(fs::exists(log("checker.log")));
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(UpdateTest, NoServerConfiguredSkipsTheWholeCheck) {
    placeChecker(": > New_tool.exe\n");
    launcher("").RunAutoUpdate(false);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(fs::exists(log("checker.log")));
    EXPECT_EQ(ended, 0);
}

TEST_F(UpdateTest, RealPeCheckerVersionIsReadFromTheFile) {
    test::VersionInfo info;
    info.tableKey = "041204B0";
    info.strings = {{"FileVersion", u"1.00.0007"}};
    const std::string checker = inFolder("DaroRerirodArodoruV1.exe");
    test::WriteFile(checker, test::BuildPe(test::PeKind::Pe32, {{16, 1, 0x0412, test::BuildVersionBlock(info)}}));
    server.serve(kVersionFile, "7");
    EXPECT_TRUE(launcher(server.url()).AutoUpdaterSelfUpdate());
    EXPECT_EQ(server.requestedPaths().size(), 1u);

    server.serve(kVersionFile, "8");
    server.serve(kCheckerUrl, "checker 8");
    server.serve(kChangerUrl, "changer 8");
    EXPECT_TRUE(launcher(server.url()).AutoUpdaterSelfUpdate());
    EXPECT_EQ(ReadText(checker), "checker 8");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(UpdateTest, DownloadedFilesAreExecutableAndReplaceTheTarget) {
    const std::string target = inFolder("prog");
    WriteText(target, "old");
    server.serve("/dir/프로그램 1", "new body");
    ASSERT_TRUE(modAutoUpdateV1_Download::DownloadFile(server.url() + "/dir/프로그램 1", target));
    EXPECT_EQ(ReadText(target), "new body");
    EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(modAutoUpdateV1_Download::DownloadFile(server.url() + "/none", target));
    EXPECT_FALSE(modAutoUpdateV1_Download::DownloadFile(server.url() + "/x", dir.file("no such folder/prog")));
    EXPECT_FALSE(modAutoUpdateV1_Download::DownloadFile("file:///etc/hostname", target));
    EXPECT_EQ(ReadText(target), "new body");
}

TEST(UpdateText, NumbersNamesAndAddresses) {
    EXPECT_EQ(Val("7"), 7);
    EXPECT_EQ(Val(" 8 "), 8);
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val(" 1 2\t3\n"), 123);
    EXPECT_EQ(Val("-2.5x"), -2.5);
    EXPECT_EQ(Val("1e3"), 1000);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(RoundToLong(2.5), 2);
    EXPECT_EQ(RoundToLong(3.5), 4);
    EXPECT_EQ(RoundToLong(-2147483648.0), INT32_MIN);
    EXPECT_THROW(RoundToLong(2147483648.0), DbError);
    EXPECT_EQ(VersionFileName("DaroRerirodArodoruV1.exe"), "DaroRerirodArodoruV1_lastver.txt");
    EXPECT_EQ(VersionFileName("a.b.exe"), "a.b_lastver.txt");
    EXPECT_EQ(VersionFileName("checker"), "checker_lastver.txt");
    EXPECT_EQ(UpdateBaseUrl("http://h:81"), "http://h:81/download/자동업데이트_v1/");
    EXPECT_EQ(UpdateBaseUrl("http://h/"), "http://h/download/자동업데이트_v1/");
    EXPECT_EQ(UpdateBaseUrl("http://h/other"), "http://h/other/");
    EXPECT_EQ(UpdateBaseUrl(""), "");
}

TEST(WaitProc, RunAndWaitReturnsAfterTheProgramHasEnded) {
    test::TempDir dir;
    const std::string script = dir.file("slow.sh");
    WriteScript(script, "sleep 0.3\nprintf '%s|%s' \"$1\" \"$#\" > done.txt\n");
    modWaitProc::RunAndWait(script, 0, "15;tool.exe", dir.path().string(), false, false);
    EXPECT_EQ(ReadText(dir.file("done.txt")), "15;tool.exe|1");
    modWaitProc::RunAndWait(script, 0, "", dir.path().string(), true, false);
    EXPECT_EQ(ReadText(dir.file("done.txt")), "|0");
    // A program that cannot be started: nothing to wait for.
    modWaitProc::RunAndWait(dir.file("missing"), 0, "x", dir.path().string(), false, true);
}

}  // namespace
}  // namespace dex
