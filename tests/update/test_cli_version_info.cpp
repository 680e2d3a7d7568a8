// dexmira version-info FILE.
#include <gtest/gtest.h>

#include <sstream>

#include "CliVersionInfo.h"
#include "PeWriter.h"
#include "TempDir.h"

namespace dex {
namespace {

TEST(CliVersionInfo, PrintsTheThirteenItems) {
    test::TempDir dir;
    test::VersionInfo info;
    info.tableKey = "041204B0";
    info.strings = {{"CompanyName", u"회사"}, {"FileVersion", u"2.10.0123"}, {"Comments", u"note"}};
    const std::string path = dir.file("prog.exe");
    test::WriteFile(path, test::BuildPe(test::PeKind::Pe32Plus, {{16, 1, 0x0412, test::BuildVersionBlock(info)}}));

    std::ostringstream out, err;
    EXPECT_EQ(runVersionInfo({path}, out, err), 0);
    EXPECT_EQ(out.str(),
              "CompanyName: 회사\nFileDescription: Not specified\nFileVersion: 2.10.0123\n"
              "InternalName: Not specified\nLegalCopyright: Not specified\nOriginalFilename: Not specified\n"
              "ProductName: Not specified\nProductVersion: Not specified\nComments: note\n"
              "LegalTrademarks: Not specified\nPrivateBuild: Not specified\nSpecialBuild: Not specified\n"
              "Language: Korean\n");
    EXPECT_EQ(err.str(), "");
}

TEST(CliVersionInfo, BadInputFailsWithAMessage) {
    test::TempDir dir;
    test::WriteText(dir.file("text.txt"), "plain text");
    const std::vector<std::vector<std::string>> cases{
        {}, {"a", "b"}, {dir.file("missing.exe")}, {dir.file("text.txt")}, {dir.path().string()}};
    for (const auto& args : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runVersionInfo(args, out, err), 2);
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(err.str().empty());
        EXPECT_EQ(err.str().back(), '\n');
    }
}

}  // namespace
}  // namespace dex
