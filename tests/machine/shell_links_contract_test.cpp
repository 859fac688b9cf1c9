// Shortcut files through the ShellLinks interface, against the backend of the
// build (support/shell_link_backends.h): the links the shell writes, with every
// field and Korean text, internet shortcuts, and the errors for missing files
// and files that are not links.

#include <gtest/gtest.h>

#include "support/lnk_writer.h"
#include "support/shell_link_backends.h"
#include "text/codepage.h"

namespace veldan::machine {
namespace {

using test::ShellLinksQuirk;

// Every field but the show command, which has cases of its own.
void ExpectSameFields(const test::LnkSpec& lnk, const ShellLinkData& link) {
    EXPECT_EQ(link.target, lnk.target);
    EXPECT_EQ(link.arguments, lnk.arguments);
    EXPECT_EQ(link.workingDirectory, lnk.workingDirectory);
    EXPECT_EQ(link.description, lnk.description);
    EXPECT_EQ(link.iconLocation, lnk.iconLocation);
    EXPECT_EQ(link.iconIndex, lnk.iconIndex);
    EXPECT_EQ(link.hotKey, lnk.hotKey);
}

class ShellLinksTest : public ::testing::Test {
  protected:
    // Writes a file below C:\ and returns its Windows path.
    std::string Put(std::string_view relative, std::string_view bytes) {
        return backend_.Put(relative, bytes);
    }
    static std::string Differs(ShellLinksQuirk quirk) {
        return test::ShellLinksBackend::Differs(quirk);
    }
    // Writes `lnk` as the file `relative` of drive C: and expects its fields back.
    void ExpectLoadsBack(const test::LnkSpec& lnk, std::string_view relative) {
        ShellLinkData link;
        ASSERT_EQ(links_.LoadShellLink(Put(relative, test::MakeShellLink(lnk)), link),
                  ERROR_SUCCESS);
        ExpectSameFields(lnk, link);
    }

    test::ShellLinksBackend backend_;
    ShellLinks& links_ = backend_.links();
};

TEST_F(ShellLinksTest, EveryFieldInUtf16) {
    ExpectLoadsBack(test::EveryFieldLink(), "Documents and Settings/Owner/바탕 화면/툴바.lnk");
}

// Windows 98 writes the strings in the ANSI code page.
TEST_F(ShellLinksTest, EveryFieldInCp949) {
    if (const std::string why = Differs(ShellLinksQuirk::AnsiCodePage); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::LnkSpec lnk = test::EveryFieldLink();
    lnk.unicode = false;
    ExpectLoadsBack(lnk, "WINDOWS/바탕 화면/툴바.lnk");
}

TEST_F(ShellLinksTest, ShowCommandOfTheHeader) {
    if (const std::string why = Differs(ShellLinksQuirk::ShowCommand); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::LnkSpec lnk = test::EveryFieldLink();
    for (int show : {1, 3, 7}) {
        lnk.showCommand = show;
        ShellLinkData link;
        link.showCommand = -1;
        ASSERT_EQ(links_.LoadShellLink(Put("show.lnk", test::MakeShellLink(lnk)), link),
                  ERROR_SUCCESS);
        EXPECT_EQ(link.showCommand, show);
    }
}

// A link that names only its target, with no other field: the others come back
// empty or at their defaults, whatever the structure held before.
void ExpectOnlyTarget(ShellLinks& links, const std::string& path, const std::string& target) {
    ShellLinkData link;
    link.arguments = "stale";
    link.iconIndex = 9;
    link.hotKey = 9;
    ASSERT_EQ(links.LoadShellLink(path, link), ERROR_SUCCESS);
    test::LnkSpec lnk;
    lnk.target = target;
    ExpectSameFields(lnk, link);
}

TEST_F(ShellLinksTest, LocalAndRelativeTargetsWithEmptyFields) {
    for (std::string target : {"C:\\WINDOWS\\시스템\\a.exe", "..\\rel\\b.exe", ""}) {
        SCOPED_TRACE(target);
        test::LnkSpec lnk;
        lnk.target = target;
        ExpectOnlyTarget(links_, Put("l.lnk", test::MakeShellLink(lnk)), target);
    }
}

// Characters CP949 lacks travel in the UTF-16 copy of the local path.
TEST_F(ShellLinksTest, LocalTargetOutsideTheAnsiCodePage) {
    if (const std::string why = Differs(ShellLinksQuirk::UnicodeLocalPath); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::LnkSpec lnk;
    lnk.target = "C:\\们\\x.exe";
    ExpectOnlyTarget(links_, Put("l.lnk", test::MakeShellLink(lnk)), lnk.target);
}

// The target is given as written, its variables not expanded (SLGP_RAWPATH).
TEST_F(ShellLinksTest, EnvironmentTarget) {
    if (const std::string why = Differs(ShellLinksQuirk::EnvironmentTarget); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::LnkSpec lnk;
    lnk.target = "%windir%\\시스템\\a.exe";
    ExpectOnlyTarget(links_, Put("l.lnk", test::MakeShellLink(lnk)), lnk.target);
}

// Fields far longer than a path: a command line that carries a script, a
// description written to be read.
TEST_F(ShellLinksTest, LongFieldsComeBackWhole) {
    test::LnkSpec lnk = test::EveryFieldLink();
    lnk.arguments = "/c ";
    for (int i = 0; i < 400; ++i) lnk.arguments += "광고" + std::to_string(i) + " ";
    lnk.description = std::string(3000, 'd') + "끝";
    ASSERT_GT(lnk.arguments.size(), 3000u);
    ShellLinkData link;
    ASSERT_EQ(links_.LoadShellLink(Put("long.lnk", test::MakeShellLink(lnk)), link), ERROR_SUCCESS);
    EXPECT_EQ(link.arguments, lnk.arguments);
    EXPECT_EQ(link.description, lnk.description);
    EXPECT_EQ(link.target, lnk.target);
}

TEST_F(ShellLinksTest, DamagedMissingOrFolder) {
    const std::string good = test::MakeShellLink(test::EveryFieldLink());
    ShellLinkData link;
    link.target = "untouched";
    for (const std::string& bad :
         {std::string(), std::string("not a shell link at all, just some text"), good.substr(0, 40),
          good.substr(0, 0x4C + 10)}) {
        SCOPED_TRACE(bad.size());
        EXPECT_EQ(links_.LoadShellLink(Put("bad.lnk", bad), link), ERROR_INVALID_DATA);
    }
    EXPECT_EQ(link.target, "untouched");
    EXPECT_EQ(links_.LoadShellLink("C:\\none.lnk", link), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(links_.LoadShellLink("C:\\nofolder\\none.lnk", link), ERROR_PATH_NOT_FOUND);
    Put("folder.lnk/inside.txt", "x");
    EXPECT_EQ(links_.LoadShellLink("C:\\folder.lnk", link), ERROR_ACCESS_DENIED);
    EXPECT_EQ(link.target, "untouched");
}

TEST_F(ShellLinksTest, UrlShortcutFields) {
    std::string path =
        Put("Documents and Settings/Owner/Favorites/광고.url",
            text::Utf8ToCp949("[DEFAULT]\r\nBASEURL=http://base/\r\n"
                              "[InternetShortcut]\r\nURL=http://광고.example/?a=1\r\n"
                              "IconFile=C:\\WINDOWS\\ad.ico\r\nIconIndex=-2\r\n"
                              "WorkingDirectory=C:\\WINDOWS\r\nHotKey=1601\r\n"
                              "ShowCommand=3\r\n"));
    if (const std::string why = Differs(ShellLinksQuirk::AnsiCodePage); !why.empty()) {
        GTEST_SKIP() << why;
    }
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
    EXPECT_EQ(links_.LoadUrlShortcut("C:\\nofolder\\none.url", url), ERROR_PATH_NOT_FOUND);
    Put("folder.url/inside.txt", "[InternetShortcut]\nURL=http://x/\n");
    EXPECT_EQ(links_.LoadUrlShortcut("C:\\folder.url", url), ERROR_ACCESS_DENIED);
    EXPECT_EQ(url.url, "untouched");
}

}  // namespace
}  // namespace veldan::machine
