// Shortcut files of the machine image, through the ShellLinks interface, and the
// .lnk files the test writer makes.

#include <gtest/gtest.h>

#include <cstdint>

#include "machine/folder/host_paths.h"
#include "machine/folder/image_profiles.h"
#include "machine/folder/image_shell_links.h"
#include "support/lnk_writer.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace veldan::machine {
namespace {

std::uint32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

class ShellLinksTest : public ::testing::Test {
  protected:
    // Writes a file below C:\ and returns its Windows path.
    std::string Put(const std::string& relative, std::string_view bytes) {
        dir_.Write("drive_c/" + relative, bytes);
        std::string win = "C:\\" + relative;
        for (char& c : win) c = c == '/' ? '\\' : c;
        return win;
    }

    test::TempDir dir_;
    image::HostPaths paths_{dir_.str() + "/drive_c"};
    image::ImageProfiles profiles_{paths_, "C:\\WINDOWS"};
    image::ImageShellLinks image_{paths_, profiles_};
    ShellLinks& links_ = image_;
};

test::LnkSpec FullLink() {
    test::LnkSpec lnk;
    lnk.target = "C:\\Program Files\\악성\\툴바.exe";
    lnk.arguments = "/설치 --quiet \"C:\\a b\"";
    lnk.workingDirectory = "C:\\Program Files\\악성";
    lnk.description = "검색 도우미";
    lnk.iconLocation = "C:\\WINDOWS\\system32\\shell32.dll";
    lnk.iconIndex = -14;
    lnk.hotKey = 0x0641;  // Ctrl+Shift+A
    lnk.showCommand = 7;  // SW_SHOWMINNOACTIVE
    return lnk;
}

void ExpectSameFields(const test::LnkSpec& lnk, const ShellLinkData& link) {
    EXPECT_EQ(link.target, lnk.target);
    EXPECT_EQ(link.arguments, lnk.arguments);
    EXPECT_EQ(link.workingDirectory, lnk.workingDirectory);
    EXPECT_EQ(link.description, lnk.description);
    EXPECT_EQ(link.iconLocation, lnk.iconLocation);
    EXPECT_EQ(link.iconIndex, lnk.iconIndex);
    EXPECT_EQ(link.hotKey, lnk.hotKey);
    EXPECT_EQ(link.showCommand, lnk.showCommand);
}

TEST_F(ShellLinksTest, WrittenLinkReadsBackWithEveryField) {
    for (bool unicode : {true, false}) {
        SCOPED_TRACE(unicode ? "UTF-16 strings" : "CP949 strings");
        test::LnkSpec lnk = FullLink();
        lnk.unicode = unicode;
        std::string path =
            Put("Documents and Settings/Owner/바탕 화면/툴바.lnk", test::MakeShellLink(lnk));
        ShellLinkData link;
        ASSERT_EQ(links_.LoadShellLink(path, link), ERROR_SUCCESS);
        ExpectSameFields(lnk, link);
    }
}

TEST_F(ShellLinksTest, TargetsOfEveryKindAndEmptyFields) {
    test::LnkSpec lnk;
    lnk.showCommand = 3;
    // Characters CP949 lacks travel in the UTF-16 copy of the local path.
    for (std::string target : {"C:\\们\\x.exe", "%windir%\\시스템\\a.exe", "..\\rel\\b.exe"}) {
        SCOPED_TRACE(target);
        lnk.target = target;
        std::string path = Put("l.lnk", test::MakeShellLink(lnk));
        ShellLinkData link;
        link.arguments = "stale";
        ASSERT_EQ(links_.LoadShellLink(path, link), ERROR_SUCCESS);
        ExpectSameFields(lnk, link);
    }
}

TEST_F(ShellLinksTest, WriterLaysOutHeaderAndLinkInfo) {
    test::LnkSpec lnk = FullLink();
    const std::string ansi = test::MakeShellLink(lnk);
    ASSERT_GT(ansi.size(), 0x4Cu + 0x1Cu);
    EXPECT_EQ(Le32(ansi, 0), 0x4Cu);
    EXPECT_EQ(ansi.substr(4, 16),
              std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16));
    // HasLinkInfo, HasName, HasWorkingDir, HasArguments, HasIconLocation, IsUnicode.
    EXPECT_EQ(Le32(ansi, 0x14), 0xF6u);
    EXPECT_EQ(Le32(ansi, 0x4C + 4), 0x1Cu);  // CP949 holds the path: no Unicode copy
    EXPECT_EQ(Le32(ansi, 0x4C + 8), 1u);     // VolumeIDAndLocalBasePath
    const std::uint32_t base = 0x4C + Le32(ansi, 0x4C + 16);
    EXPECT_EQ(ansi.substr(base, text::Utf8ToCp949(lnk.target).size() + 1),
              text::Utf8ToCp949(lnk.target) + '\0');
    EXPECT_EQ(Le32(ansi, 0x4C + Le32(ansi, 0x4C + 12) + 4), 3u);  // DRIVE_FIXED
    // The string data starts right after the LinkInfo with the description's length.
    const std::uint32_t strings = 0x4C + Le32(ansi, 0x4C);
    EXPECT_EQ(static_cast<unsigned char>(ansi[strings]),
              text::Utf8ToUtf16Le(lnk.description).size() / 2);
    EXPECT_EQ(Le32(ansi, ansi.size() - 4), 0u);  // terminal block

    lnk.target = "C:\\们.exe";
    EXPECT_EQ(Le32(test::MakeShellLink(lnk), 0x4C + 4), 0x24u);
}

TEST_F(ShellLinksTest, DamagedOrMissingLinks) {
    const std::string good = test::MakeShellLink(FullLink());
    ShellLinkData link;
    link.target = "untouched";
    for (const std::string& bad :
         {std::string(), std::string("not a shell link at all, just some text"), good.substr(0, 40),
          good.substr(0, 0x4C + 10)}) {
        EXPECT_EQ(links_.LoadShellLink(Put("bad.lnk", bad), link), ERROR_INVALID_DATA);
    }
    EXPECT_EQ(link.target, "untouched");
    EXPECT_EQ(links_.LoadShellLink("C:\\none.lnk", link), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(links_.LoadShellLink("C:\\nofolder\\none.lnk", link), ERROR_PATH_NOT_FOUND);
}

// A LinkInfo whose size field claims far more than the file holds (about
// 2.5 GB here, found by fuzz_lnk) is refused as damaged.
TEST_F(ShellLinksTest, LinkInfoSizeBeyondTheFile) {
    std::string bytes = test::MakeShellLink(FullLink());
    ASSERT_EQ(Le32(bytes, 0x14) & 1u, 0u);  // no ID list: the LinkInfo follows the header
    for (std::size_t i = 0; i < 4; ++i) bytes[0x4C + i] = '\x97';
    ShellLinkData link;
    link.target = "untouched";
    EXPECT_EQ(links_.LoadShellLink(Put("huge.lnk", bytes), link), ERROR_INVALID_DATA);
    EXPECT_EQ(link.target, "untouched");
}

// The LinkInfo is found after an ID list too: a link with an (empty) ID list
// still loads, and one whose LinkInfo there is one byte too large does not.
TEST_F(ShellLinksTest, LinkInfoAfterAnIdList) {
    const test::LnkSpec wanted = FullLink();
    std::string bytes = test::MakeShellLink(wanted);
    bytes[0x14] = static_cast<char>(bytes[0x14] | 0x01);     // HasLinkTargetIDList
    bytes.insert(0x4C, std::string("\x02\x00\x00\x00", 4));  // size 2: the terminal item
    ShellLinkData link;
    ASSERT_EQ(links_.LoadShellLink(Put("idlist.lnk", bytes), link), ERROR_SUCCESS);
    EXPECT_EQ(link.target, wanted.target);

    const std::size_t linkInfo = 0x4C + 4;
    const std::uint32_t tooLarge = static_cast<std::uint32_t>(bytes.size() - linkInfo + 1);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[linkInfo + i] = static_cast<char>(tooLarge >> (8 * i));
    EXPECT_EQ(links_.LoadShellLink(Put("idlist.lnk", bytes), link), ERROR_INVALID_DATA);
}

TEST_F(ShellLinksTest, UrlShortcutFields) {
    std::string path =
        Put("Documents and Settings/Owner/Favorites/광고.url",
            text::Utf8ToCp949("[DEFAULT]\r\nBASEURL=http://base/\r\n"
                              "[InternetShortcut]\r\nURL=http://광고.example/?a=1\r\n"
                              "IconFile=C:\\WINDOWS\\ad.ico\r\nIconIndex=-2\r\n"
                              "WorkingDirectory=C:\\WINDOWS\r\nHotKey=1601\r\n"
                              "ShowCommand=3\r\n"));
    UrlShortcutData url;
    ASSERT_EQ(links_.LoadUrlShortcut(path, url), ERROR_SUCCESS);
    EXPECT_EQ(url.url, "http://광고.example/?a=1");
    EXPECT_EQ(url.iconLocation, "C:\\WINDOWS\\ad.ico");
    EXPECT_EQ(url.iconIndex, -2);
    EXPECT_EQ(url.workingDirectory, "C:\\WINDOWS");
    EXPECT_EQ(url.hotKey, 1601);
    EXPECT_EQ(url.showCommand, 3);
}

TEST_F(ShellLinksTest, UrlShortcutLowerCaseKeysDefaultsAndMissing) {
    UrlShortcutData url;
    ASSERT_EQ(links_.LoadUrlShortcut(Put("a.url", "[internetshortcut]\nurl=http://x/\n"), url),
              ERROR_SUCCESS);
    EXPECT_EQ(url.url, "http://x/");
    EXPECT_EQ(url.iconIndex, 0);
    EXPECT_EQ(url.showCommand, 1);
    EXPECT_EQ(url.hotKey, 0);

    // Without a URL key the shortcut still loads, with no URL.
    ASSERT_EQ(links_.LoadUrlShortcut(Put("b.url", "[InternetShortcut]\nIconIndex=x\n"), url),
              ERROR_SUCCESS);
    EXPECT_EQ(url.url, "");
    EXPECT_EQ(url.iconIndex, 0);

    url.url = "untouched";
    EXPECT_EQ(links_.LoadUrlShortcut("C:\\none.url", url), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(url.url, "untouched");
}

}  // namespace
}  // namespace veldan::machine
