// "<< 엑세스열기" with a desktop database of handlers made in the test's own
// folder: the desktop's default is taken unless it is Dexmira, then the
// other registered handlers; none, or none that starts, is said.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "DesktopHandlers.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;
using namespace dex::desktop;

namespace {

class DesktopHandlers : public ::testing::Test {
protected:
    void SetUp() override {
        root = dex::test::makeUniqueFolder("dex_desktop");
        env = {{"HOME", (root / "home").string()},
               {"XDG_DATA_HOME", (root / "data").string()},
               {"XDG_DATA_DIRS", (root / "sys1").string() + ":" + (root / "sys2").string()},
               {"XDG_CONFIG_HOME", (root / "config").string()},
               {"XDG_CONFIG_DIRS", (root / "etc").string()}};
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const fs::path& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << text;
    }
    void app(const std::string& folder, const std::string& id, const std::string& name, const std::string& exec,
             const std::string& mime = "application/vnd.ms-access;") {
        write(fs::path(folder) / "applications" / id,
              "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=" + mime + "\n");
    }
    Environment environment() const {
        return [this](const char* name) {
            auto it = env.find(name);
            return it == env.end() ? std::string() : it->second;
        };
    }
    std::vector<std::string> ids() {
        std::vector<std::string> out;
        for (const auto& h : HandlersFor(DatabaseMimeTypes(), environment())) out.push_back(h.id);
        return out;
    }

    fs::path root;
    std::map<std::string, std::string> env;
    dex::RecordingDialogs dialogs;
};

}  // namespace

TEST_F(DesktopHandlers, DexmiraAsTheDefaultIsPassedOverForTheOthers) {
    // The package makes Dexmira the default; two other applications are registered.
    app("sys1", "dexmira.desktop", "Dexmira", "dexmira %F");
    app("sys1", "mdbviewer.desktop", "MDB Viewer", "mdb-viewer %f");
    app("sys2", "libreoffice-base.desktop", "LibreOffice Base", "libreoffice --base %U");
    app("sys2", "wrapped.desktop", "Dexmira again", "env QT_SCALE_FACTOR=2 /usr/bin/dexmira %F");
    write("config/mimeapps.list", "[Default Applications]\napplication/vnd.ms-access=dexmira.desktop;\n");
    write("sys1/applications/mimeinfo.cache",
          "[MIME Cache]\napplication/vnd.ms-access=dexmira.desktop;mdbviewer.desktop;\n");
    EXPECT_EQ(ids(), (std::vector<std::string>{"mdbviewer.desktop", "libreoffice-base.desktop"}));

    // A default other than Dexmira comes first; a removed association is left out.
    write("etc/mimeapps.list", "[Default Applications]\napplication/x-msaccess=libreoffice-base.desktop\n"
                               "[Removed Associations]\napplication/vnd.ms-access=mdbviewer.desktop;\n");
    EXPECT_EQ(ids(), (std::vector<std::string>{"libreoffice-base.desktop"}));

    const auto words = CommandLine(HandlersFor(DatabaseMimeTypes(), environment()).front(), "/d/a b.mdb");
    EXPECT_EQ(words, (std::vector<std::string>{"libreoffice", "--base", "file:///d/a%20b.mdb"}));
}

TEST_F(DesktopHandlers, NoneFoundIsSaidNamingWhatCouldOpenIt) {
    app("sys1", "dexmira.desktop", "Dexmira", "dexmira %F");
    app("sys1", "editor.desktop", "Editor", "editor %f", "text/plain;");
    EXPECT_TRUE(ids().empty());
    EXPECT_FALSE(OpenInApplication(dialogs, "/d/a.mdb", environment()));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "이 파일을 열 프로그램이 없습니다. Access 데이터베이스(.mdb, application/vnd.ms-access)를 여는 "
              "프로그램(Microsoft Access, LibreOffice Base, MDB Viewer 등)을 설치하고 그 프로그램에 .mdb 파일을 "
              "연결하세요. (Dexmira는 여기서 열지 않습니다.)\r\n\r\n/d/a.mdb");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");
}

TEST_F(DesktopHandlers, AFailureToStartIsShownAndTheNextHandlerStarts) {
    const fs::path seen = root / "seen.txt";
    write("bin/viewer", "#!/bin/sh\nprintf '%s' \"$1\" > '" + seen.string() + "'\n");
    fs::permissions(root / "bin/viewer", fs::perms::owner_all);
    app("data", "broken.desktop", "Broken", (root / "bin/no-such-program").string() + " %f");
    app("sys1", "viewer.desktop", "Viewer", (root / "bin/viewer").string() + " %f");
    write("data/applications/mimeapps.list", "[Default Applications]\napplication/vnd.ms-access=broken.desktop;\n");
    EXPECT_TRUE(OpenInApplication(dialogs, "/d/a.mdb", environment()));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Broken (broken.desktop)을(를) 시작할 수 없습니다: No such file or directory\r\n\r\n" +
                                         (root / "bin/no-such-program").string());
    for (int i = 0; i < 200 && !fs::exists(seen); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(seen);
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, "/d/a.mdb");
}
