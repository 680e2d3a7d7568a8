// The program's command-line manners: help, version and mistakes answered
// without a display, and exec printing the rows a SELECT returns.
#include <gtest/gtest.h>

#include "RunProgram.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;

namespace dex::test {
namespace {

const std::vector<std::string> kNoDisplay{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

ProgramResult headless(const std::vector<std::string>& args, const std::string& input = "") {
    return runProgram(DEXMIRA_BIN, args, input, 0, kNoDisplay);
}

TEST(CliManners, HelpListsEveryCommandWithAnExample) {
    for (const std::string flag : {"--help", "-h"}) {
        auto r = headless({flag});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: dexmira [FILE_A [FILE_B]]", 0), 0u) << r.out;
        for (const char* line : {"usage: dexmira compare A B", "usage: dexmira structure FILE",
                                 "usage: dexmira create FILE", "usage: dexmira exec FILE",
                                 "usage: dexmira import JETFILE STORE", "usage: dexmira migrate FILE",
                                 "usage: dexmira compact FILE", "usage: dexmira version-info FILE",
                                 "example: dexmira compact customer.mdb --yes"})
            EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
}

TEST(CliManners, HelpOfOneCommand) {
    auto r = headless({"help", "compact"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "usage: dexmira compact FILE [--yes] [--password PW]\n"
              "  Compacts and repairs FILE in place. A real Jet 4 file is rewritten from its model (deleted\n"
              "  rows and free pages dropped, unsound indexes rebuilt, every other object carried over), read\n"
              "  back, checked and swapped in; the original is kept as NAME.bak.mdb. The product password is\n"
              "  tried first, then PW.\n"
              "  example: dexmira compact customer.mdb --yes\n");
    EXPECT_EQ(headless({"compact", "--help"}).out, r.out);
    auto unknown = headless({"help", "frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.rfind("unknown command 'frobnicate'\nUsage: dexmira", 0), 0u) << unknown.err;
}

TEST(CliManners, Version) {
    auto r = headless({"--version"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Dexmira 1.2.8\n");
}

TEST(CliManners, UnknownOptionPrintsTheCommandsUsage) {
    auto r = headless({"compact", "--frobnicate", "x.mdb"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "unknown option --frobnicate\n"
              "usage: dexmira compact FILE [--yes] [--password PW]\n"
              "  Compacts and repairs FILE in place. A real Jet 4 file is rewritten from its model (deleted\n"
              "  rows and free pages dropped, unsound indexes rebuilt, every other object carried over), read\n"
              "  back, checked and swapped in; the original is kept as NAME.bak.mdb. The product password is\n"
              "  tried first, then PW.\n"
              "  example: dexmira compact customer.mdb --yes\n");
    auto compare = headless({"compare", "a.mdb", "b.mdb", "--colour"});
    EXPECT_EQ(compare.status, 2);
    EXPECT_EQ(compare.err.rfind("unknown option --colour\nusage: dexmira compare A B", 0), 0u) << compare.err;
    auto command = headless({"frobnicate"});
    EXPECT_EQ(command.status, 2);
    EXPECT_EQ(command.err.rfind("unknown command 'frobnicate'\nUsage: dexmira", 0), 0u) << command.err;
}

TEST(CliManners, WindowOptionsAreCheckedBeforeAnyWindowExists) {
    // Without a display: usage and status 2, never Qt's abort at a missing
    // display (status 134).
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"a.mdb", "--bogus"}, {"--product"}, {"a.mdb", "b.mdb", "c.mdb"}}) {
        auto r = headless(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("\n\nUsage: dexmira [FILE_A [FILE_B]]"), std::string::npos) << r.err;
    }
    EXPECT_EQ(headless({"--bogus"}).err.rfind("dexmira: unknown option --bogus\n", 0), 0u);
    EXPECT_EQ(headless({"--product"}).err.rfind("dexmira: option --product needs a value\n", 0), 0u);
    // Known options, but nowhere to show the window.
    auto noDisplay = headless({"a.mdb", "--product", "VelmoraII"});
    EXPECT_EQ(noDisplay.status, 2);
    EXPECT_EQ(noDisplay.err.rfind("dexmira: the window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set", 0),
              0u)
        << noDisplay.err;
    // With a display, an unknown option is refused before Qt starts too.
    auto shown = runProgram(DEXMIRA_BIN, {"--bogus"}, "", 0, kNoDisplay, {{"DISPLAY", ":99"}});
    EXPECT_EQ(shown.status, 2);
    EXPECT_EQ(shown.err.rfind("dexmira: unknown option --bogus\n", 0), 0u) << shown.err;
    // Qt's own options pass, -platform included: the window starts on the
    // offscreen platform and stops at the product that is not in its list.
    const fs::path config = makeUniqueFolder("dex_window_options");
    auto qt = runProgram(DEXMIRA_BIN, {"-platform", "offscreen", "-style=Fusion", "--product", "Nope"}, "", 0, kNoDisplay,
                         {{"XDG_CONFIG_HOME", config.string()}, {"XDG_RUNTIME_DIR", config.string()}});
    EXPECT_EQ(qt.status, 2);
    // (Qt may say something of its own first.)
    EXPECT_NE(qt.err.find("dexmira: no product list entry named 'Nope'\n"), std::string::npos) << qt.err;
    EXPECT_EQ(qt.err.find("Usage:"), std::string::npos) << qt.err;
    fs::remove_all(config);
}

class ExecRows : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder("dex_exec_rows");
        file = (dir / "rows.mdb").string();
        ASSERT_EQ(headless({"create", file}).status, 0);
        auto r = headless({"exec", file, "CREATE TABLE item (code LONG, name TEXT(50), price DOUBLE)",
                           "INSERT INTO item (code, name, price) VALUES (1, '볼트', 2.5)",
                           "INSERT INTO item (code, name, price) VALUES (2, NULL, 10)",
                           "INSERT INTO item (code, name, price) VALUES (3, 'nut', NULL)"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    std::string file;
};

TEST_F(ExecRows, SelectPrintsAHeaderAndOneLinePerRow) {
    auto r = headless({"exec", file, "SELECT code, name, price FROM item ORDER BY code"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "code\tname\tprice\n"
              "1\t볼트\t2.5\n"
              "2\t\t10\n"
              "3\tnut\t\n");
}

TEST_F(ExecRows, JsonAndCounts) {
    auto r = headless({"exec", file, "--json", "SELECT code, name FROM item WHERE code < 3 ORDER BY code"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[\n  {\"code\": 1, \"name\": \"볼트\"},\n  {\"code\": 2, \"name\": null}\n]\n");
    auto update = headless({"exec", file}, "UPDATE item SET price = 1 WHERE code >= 2\nSELECT COUNT(*) AS n FROM item WHERE price = 1\n");
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(update.out, "2\nn\n2\n");
}

}  // namespace
}  // namespace dex::test
