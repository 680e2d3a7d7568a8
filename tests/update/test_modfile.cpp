// The file version reader: PE files written by the tests, read back through
// the PE reader and modFile.
#include <gtest/gtest.h>

#include <set>

#include "Dialogs.h"
#include "PeVersion.h"
#include "PeWriter.h"
#include "TempDir.h"
#include "modFile.h"

namespace dex {
namespace {

using test::Bytes;
using test::PeKind;
using test::VersionInfo;

constexpr uint32_t kRtIcon = 3, kRtVersion = 16;

VersionInfo KoreanInfo() {
    VersionInfo info;
    info.tableKey = "041204B0";
    info.language = 0x0412, info.codePage = 0x04B0;
    info.strings = {{"CompanyName", u"다로 테스트"},
                    {"FileDescription", u"Version checker"},
                    {"FileVersion", u"1.00.0007"},
                    {"InternalName", u"checker"},
                    {"LegalCopyright", u"(c) 2009"},
                    {"OriginalFilename", u"checker.exe"},
                    {"ProductName", u"Checker"},
                    {"ProductVersion", u"1.00.0007"},
                    {"LegalTrademarks", u"TM"},
                    {"PrivateBuild", u"p1"},
                    {"SpecialBuild", u"s1"}};
    return info;
}

VersionInfo WithFileVersion(const std::string& tableKey, const std::u16string& fileVersion) {
    VersionInfo info;
    info.tableKey = tableKey;
    info.strings = {{"CompanyName", u"Dexmira"}, {"FileVersion", fileVersion}};
    return info;
}

class ModFileTest : public ::testing::Test {
protected:
    std::string writePe(const std::string& name, const std::vector<test::Resource>& resources,
                        PeKind kind = PeKind::Pe32) {
        const std::string path = dir.file(name);
        test::WriteFile(path, test::BuildPe(kind, resources));
        return path;
    }
    std::string writeVersioned(const std::string& name, const VersionInfo& info, PeKind kind = PeKind::Pe32) {
        return writePe(name, {{kRtVersion, 1, info.language, test::BuildVersionBlock(info)}}, kind);
    }

    test::TempDir dir;
    RecordingDialogs dialogs;
    modFile files{dialogs};
};

TEST_F(ModFileTest, KoreanStringTableGivesAllThirteenItems) {
    const auto items = files.GetFileVerInfo(writeVersioned("ko.exe", KoreanInfo()));
    ASSERT_TRUE(items);
    const std::vector<std::string> expected{
        "CompanyName: 다로 테스트", "FileDescription: Version checker", "FileVersion: 1.00.0007",
        "InternalName: checker", "LegalCopyright: (c) 2009", "OriginalFilename: checker.exe",
        "ProductName: Checker", "ProductVersion: 1.00.0007", "Comments: Not specified",
        "LegalTrademarks: TM", "PrivateBuild: p1", "SpecialBuild: s1", "Language: Korean"};
    EXPECT_EQ(*items, expected);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ModFileTest, LanguageComesFromTheStringTableKey) {
    struct Case {
        std::string key, expected;
    } cases[] = {{"040904E4", "Language: English - United States"},
                 {"041204b0", "Language: Korean"},      // lower case is found all the same
                 {"7F7F04B0", "Language: "},            // not in the table
                 {"041404E4", "Language: Norwegian - Bokm책l"}};
    for (const Case& c : cases) {
        const auto items = files.GetFileVerInfo(writeVersioned("l.exe", WithFileVersion(c.key, u"1.0")));
        ASSERT_TRUE(items) << c.key;
        EXPECT_EQ((*items)[12], c.expected) << c.key;
    }
}

TEST_F(ModFileTest, BlockWithoutStringFileInfoLeavesLanguageBare) {
    VersionInfo info = WithFileVersion("040904E4", u"1.0");
    info.withStringFileInfo = false;
    const auto items = files.GetFileVerInfo(writeVersioned("bare.exe", info));
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[12], "Language");
    EXPECT_EQ((*items)[2], "FileVersion: Not specified");
}

TEST_F(ModFileTest, Pe32PlusAndFirstLanguageOfSeveral) {
    VersionInfo korean = WithFileVersion("041204B0", u"3.1.0002");
    VersionInfo english = WithFileVersion("040904E4", u"9.9.9999");
    const Bytes icon(40, 0x11);
    const std::string path = writePe("multi.exe",
                                     {{kRtIcon, 1, 0x0409, icon},
                                      {kRtVersion, 1, 0x0412, test::BuildVersionBlock(korean)},
                                      {kRtVersion, 1, 0x0409, test::BuildVersionBlock(english)}},
                                     PeKind::Pe32Plus);
    const auto items = files.GetFileVerInfo(path);
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[2], "FileVersion: 3.1.0002");
    EXPECT_EQ((*items)[12], "Language: Korean");
    EXPECT_EQ(ReadVersionBlock(path), test::BuildVersionBlock(korean));
}

TEST_F(ModFileTest, FilesWithoutVersionInformationHaveNone) {
    const VersionInfo info = WithFileVersion("040904E4", u"1.0");
    Bytes truncated = test::BuildPe(PeKind::Pe32, {{kRtVersion, 1, 0x0409, test::BuildVersionBlock(info)}});
    truncated.resize(truncated.size() - 0x180);  // cut inside the version data
    test::WriteFile(dir.file("cut.exe"), truncated);
    test::WriteText(dir.file("notes.txt"), "This is not a program.\n");
    test::WriteText(dir.file("mz.exe"), "MZ");

    const std::string paths[] = {writePe("icons.exe", {{kRtIcon, 1, 0x0409, Bytes(64, 1)}}),
                                 writePe("plain.exe", {}),
                                 writePe("plain64.exe", {}, PeKind::Pe32Plus),
                                 dir.file("cut.exe"),
                                 dir.file("notes.txt"),
                                 dir.file("mz.exe"),
                                 dir.file("missing.exe")};
    for (const std::string& path : paths) {
        EXPECT_TRUE(ReadVersionBlock(path).empty()) << path;
        EXPECT_FALSE(files.GetFileVerInfo(path)) << path;
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The version data is the last thing in the resource section. Its section's
// stored size is cut to end exactly where the block ends, and the file with
// it: the block is read whole. One byte shorter, and it is not stored at all.
TEST_F(ModFileTest, BlockEndingExactlyAtTheEndOfItsSectionAndFile) {
    const Bytes block = test::BuildVersionBlock(WithFileVersion("040904E4", u"2.0.0001"));
    Bytes pe = test::BuildPe(PeKind::Pe32, {{kRtVersion, 1, 0x0409, block}});
    const uint32_t peAt = Get32(pe, 0x3C);
    const size_t rsrc = peAt + 24 + (pe[peAt + 20] | (pe[peAt + 21] << 8)) + 40;  // the second section header
    const uint32_t virtualSize = Get32(pe, rsrc + 8), rawOffset = Get32(pe, rsrc + 20);
    ASSERT_EQ(std::vector<uint8_t>(pe.begin() + rawOffset + virtualSize - block.size(), pe.begin() + rawOffset + virtualSize),
              block);

    Put32(pe, rsrc + 16, virtualSize);
    pe.resize(rawOffset + virtualSize);
    const std::string exact = dir.file("exact.exe");
    test::WriteFile(exact, pe);
    EXPECT_EQ(ReadVersionBlock(exact), block);
    const auto items = files.GetFileVerInfo(exact);
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[2], "FileVersion: 2.0.0001");

    Put32(pe, rsrc + 16, virtualSize - 1);
    pe.resize(rawOffset + virtualSize - 1);
    const std::string short1 = dir.file("short.exe");
    test::WriteFile(short1, pe);
    EXPECT_TRUE(ReadVersionBlock(short1).empty());
    EXPECT_FALSE(files.GetFileVerInfo(short1));
}

struct VersionCase {
    std::u16string fileVersion;
    std::string keepLast, withoutLast;
};

class GetFileVerTest : public ModFileTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(GetFileVerTest, BothModes) {
    const VersionCase& c = GetParam();
    for (const std::string key : {"041204B0", "040904E4"}) {
        const std::string path = writeVersioned("v.exe", WithFileVersion(key, c.fileVersion));
        EXPECT_EQ(files.GetFileVer(path, true, false), c.keepLast);
        EXPECT_EQ(files.GetFileVer(path, false, false), c.withoutLast);
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, GetFileVerTest,
                         ::testing::Values(VersionCase{u"2.10.0123", "2.10.123", "2.10"},
                                           VersionCase{u"1.2.3.4", "1.2.3.4", "1.2.3"},
                                           VersionCase{u"1.00.0007", "1.00.7", "1.00"},
                                           VersionCase{u"1.0.abc", "1.0.abc", "1.0"},
                                           VersionCase{u"5.000", "5.0", "5"}));

TEST_F(ModFileTest, GetFileVerFailuresAreReportedUnlessSilent) {
    const std::string none = writePe("none.exe", {});
    EXPECT_EQ(files.GetFileVer(none, true, true), "");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(files.GetFileVer(none, true, false), "");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Error 13 (Type mismatch) in procedure GetFileVer of Module mdlFile");
    EXPECT_EQ(dialogs.shown[0].title, "Dexmira");

    // A version without any "." has no last part to drop.
    const std::string dotless = writeVersioned("dotless.exe", WithFileVersion("040904E4", u"0007"));
    EXPECT_EQ(files.GetFileVer(dotless, true, false), "7");
    EXPECT_EQ(files.GetFileVer(dotless, false, true), "");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(files.GetFileVer(dotless, false, false), "");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text,
              "Error 5 (Invalid procedure call or argument) in procedure GetFileVer of Module mdlFile");
}

// A block whose CompanyName value runs to the end without a terminator.
std::vector<uint8_t> UnterminatedBlock(const std::string&) {
    std::u16string units = u"\x0001" u"CompanyName";
    units += u'\0';
    units += u"\x0001" u"FileVersion";
    units += u'\0';
    units += u'\0';
    units += u"4.5.6";
    units += u'\0';
    units += u"\x0001" u"ProductName";
    units += u'\0';
    units += u"ABC";  // no terminator: blanks follow in the buffer
    std::vector<uint8_t> bytes;
    for (char16_t u : units) bytes.push_back(u & 0xFF), bytes.push_back(u >> 8);
    return bytes;
}

TEST(ModFileBlock, AnUnterminatedValueIsReportedAndReadingGoesOn) {
    RecordingDialogs dialogs;
    modFile files(dialogs, &UnterminatedBlock);
    const auto items = files.GetFileVerInfo("any");
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[2], "FileVersion: 4.5.6");
    EXPECT_EQ((*items)[6], "ProductName");  // the failed item keeps its bare name
    EXPECT_EQ((*items)[7], "ProductVersion: Not specified");
    EXPECT_EQ((*items)[12], "Language");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Error 5 (Invalid procedure call or argument) in procedure GetFileVer of Module mdlFile");
    // GetFileVerInfo reports its own failures even for a silent GetFileVer.
    EXPECT_EQ(files.GetFileVer("any", true, true), "4.5.6");
    EXPECT_EQ(dialogs.shown.size(), 2u);
}

TEST(ModFileLanguages, TableAndLookup) {
    const auto table = modFile::LanguageTable();
    EXPECT_EQ(table.size(), 116u);
    std::set<std::string> keys;
    for (const auto& [key, name] : table) {
        const std::string k = key;
        EXPECT_EQ(k.size(), 4u);
        EXPECT_EQ(k.find_first_not_of("0123456789ABCDEF"), std::string::npos) << k;
        EXPECT_FALSE(std::string(name).empty());
        keys.insert(k);
    }
    EXPECT_EQ(keys.size(), 116u);
    EXPECT_EQ(modFile::GetLangName("0412"), "Korean");
    EXPECT_EQ(modFile::GetLangName("0c0a04b0"), "");
    EXPECT_EQ(modFile::GetLangName("2c0a04b0"), "Spanish - Argentina");
    EXPECT_EQ(modFile::GetLangName("0435"), "Zulu");
    EXPECT_EQ(modFile::GetLangName("0436"), "Afrikaans");
    EXPECT_EQ(modFile::GetLangName("041"), "");
    EXPECT_EQ(modFile::GetLangName(""), "");
}

}  // namespace
}  // namespace dex
