// Private-profile calls through the Profiles interface, against the backend of
// the build (support/profiles_backend.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/profiles_backend.h"
#include "text/codepage.h"

namespace veldan::machine {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

class ProfilesTest : public ::testing::Test {
  protected:
    // The host path of a file of drive C: ("WINDOWS/app.ini").
    std::filesystem::path Host(std::string_view relative) const {
        return backend_.drive() / std::filesystem::path(std::string(relative));
    }
    // Writes a file of drive C:, creating its folders.
    void Write(std::string_view relative, std::string_view bytes) const {
        std::filesystem::create_directories(Host(relative).parent_path());
        std::ofstream(Host(relative), std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // Writes a file of the Windows folder.
    void WriteWin(std::string_view name, std::string_view bytes) {
        Write("WINDOWS/" + std::string(name), bytes);
    }
    std::string ReadWin(std::string_view name) const {
        std::ifstream in(Host("WINDOWS/" + std::string(name)), std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool WinExists(std::string_view name) const {
        return std::filesystem::exists(Host("WINDOWS/" + std::string(name)));
    }

    // Why the backend cannot behave as Windows does here, or "".
    static std::string Differs(test::ProfilesQuirk quirk) {
        return test::ProfilesBackend::Differs(quirk);
    }

    test::ProfilesBackend backend_;
    Profiles& profiles_ = backend_.profiles();
};

// (The cases use app.ini, not win.ini: the NT family's profile calls map
// win.ini's sections to the registry, IniFileMapping.)

TEST_F(ProfilesTest, SectionsAndKeysIgnoreCaseAndBlanks) {
    WriteWin("app.ini", "[ Windows ]\r\n  Load  =  a.exe b  \r\nrun=\r\n");
    EXPECT_EQ(profiles_.GetString("WINDOWS", "LOAD", "d", "app.ini"), "a.exe b");
    EXPECT_EQ(profiles_.GetString("windows", " load ", "d", "app.ini"), "a.exe b");
    EXPECT_EQ(profiles_.GetString("windows", "run", "d", "app.ini"), "");
    EXPECT_EQ(profiles_.GetSection("wINDOWS", "app.ini"),
              (Entries{{"Load", "a.exe b"}, {"run", ""}}));
    EXPECT_EQ(profiles_.GetSectionNames("app.ini"), std::vector<std::string>{"Windows"});
}

TEST_F(ProfilesTest, MissingFileSectionOrKeyGivesDefault) {
    WriteWin("app.ini", "[windows]\nload=x\n");
    EXPECT_EQ(profiles_.GetString("windows", "load", "def", "nope.ini"), "def");
    EXPECT_EQ(profiles_.GetString("other", "load", "def", "app.ini"), "def");
    EXPECT_EQ(profiles_.GetString("windows", "run", "def", "app.ini"), "def");
    EXPECT_TRUE(profiles_.GetSection("other", "app.ini").empty());
    EXPECT_TRUE(profiles_.GetSectionNames("C:\\missing\\x.ini").empty());
}

TEST_F(ProfilesTest, OnePairOfMatchingQuotesIsDropped) {
    WriteWin("q.ini", "[s]\na=\"x y\"\nb=\"\"q\"\"\nc=\"open\nd='s'\ne=\"mixed'\nf=\"\n");
    EXPECT_EQ(profiles_.GetString("s", "a", "", "q.ini"), "x y");
    EXPECT_EQ(profiles_.GetString("s", "b", "", "q.ini"), "\"q\"");
    EXPECT_EQ(profiles_.GetString("s", "c", "", "q.ini"), "\"open");
    EXPECT_EQ(profiles_.GetString("s", "d", "", "q.ini"), "s");
    EXPECT_EQ(profiles_.GetString("s", "e", "", "q.ini"), "\"mixed'");
    EXPECT_EQ(profiles_.GetString("s", "f", "", "q.ini"), "\"");
    // The section listing gives the lines as written.
    EXPECT_EQ(profiles_.GetSection("s", "q.ini")[0].second, "\"x y\"");
}

TEST_F(ProfilesTest, CommentsBareLinesOrphansAndDuplicates) {
    WriteWin("d.ini", "orphan=1\n[a]\n;k=comment\nbare line\nk=1\nk=2\n[b]\nz=0\n[A]\nk=3\nj=4\n");
    EXPECT_EQ(profiles_.GetString("a", "orphan", "def", "d.ini"), "def");
    // A line without '=' is listed but has no value to look up.
    EXPECT_EQ(profiles_.GetString("a", "bare line", "def", "d.ini"), "def");
    // The first of duplicate keys and of duplicate sections wins.
    EXPECT_EQ(profiles_.GetString("a", "k", "", "d.ini"), "1");
    EXPECT_EQ(profiles_.GetString("a", "j", "def", "d.ini"), "def");
    EXPECT_EQ(profiles_.GetSection("a", "d.ini"),
              (Entries{{"bare line", ""}, {"k", "1"}, {"k", "2"}}));

    if (const std::string why = Differs(test::ProfilesQuirk::CommentsAndRepeats); !why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(profiles_.GetString("a", ";k", "def", "d.ini"), "def");
    EXPECT_EQ(profiles_.GetSectionNames("d.ini"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ProfilesTest, BareNameMeansWindowsFolderAndPathsResolve) {
    WriteWin("SYSTEM.INI", "[boot]\nshell=Explorer.exe\n");
    Write("Program Files/App/app.ini", "[s]\nk=v\n");
    EXPECT_EQ(profiles_.GetString("boot", "shell", "", "system.ini"), "Explorer.exe");
    EXPECT_EQ(profiles_.GetString("boot", "shell", "", "c:/windows/System.ini"), "Explorer.exe");
    EXPECT_EQ(profiles_.GetString("s", "k", "def", "app.ini"), "def");

    ASSERT_EQ(profiles_.WriteString("s", "n", "1", "new.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("new.ini"), "[s]\r\nn=1\r\n");
    EXPECT_EQ(profiles_.WriteString("s", "k", "v", "C:\\No Folder\\x.ini"), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(Host("No Folder")));

    if (const std::string why = test::ProfilesBackend::Differs(test::ProfilesQuirk::ShortNameForm);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(profiles_.GetString("s", "k", "", "C:\\PROGRA~1\\app\\APP.INI"), "v");
}

TEST_F(ProfilesTest, EncodingsAreReadAndKeptOnWrite) {
    WriteWin("u16.ini", "\xFF\xFE" + text::Utf8ToUtf16Le("[s]\r\nk=1\r\n"));
    ASSERT_EQ(profiles_.WriteString("s", "j", "값", "u16.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("u16.ini"), "\xFF\xFE" + text::Utf8ToUtf16Le("[s]\r\nk=1\r\nj=값\r\n"));
    WriteWin("bom.ini", "\xEF\xBB\xBF[s]\nk=값\n");
    EXPECT_EQ(profiles_.GetString("s", "k", "", "bom.ini"), "값");

    if (const std::string why = Differs(test::ProfilesQuirk::AnsiCodePage); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::string cp949 = text::Utf8ToCp949("[설정]\r\n이름=한글 값\r\n");
    WriteWin("k.ini", cp949);
    EXPECT_EQ(profiles_.GetString("설정", "이름", "", "k.ini"), "한글 값");
    ASSERT_EQ(profiles_.WriteString("설정", "추가", "값", "k.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("k.ini"), text::Utf8ToCp949("[설정]\r\n이름=한글 값\r\n추가=값\r\n"));

    if (const std::string why = Differs(test::ProfilesQuirk::FileLayout); !why.empty()) {
        GTEST_SKIP() << why;
    }
    ASSERT_EQ(profiles_.WriteString("s", "k", "새", "bom.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("bom.ini"), "\xEF\xBB\xBF[s]\nk=새\n");

    if (const std::string why = Differs(test::ProfilesQuirk::NewFileEncoding); !why.empty()) {
        GTEST_SKIP() << why;
    }
    ASSERT_EQ(profiles_.WriteString("섹션", "키", "값", "fresh.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("fresh.ini"), "[섹션]\r\n키=값\r\n");
}

TEST_F(ProfilesTest, WriteReplacesFirstLineInPlace) {
    if (const std::string why = Differs(test::ProfilesQuirk::FileLayout); !why.empty()) {
        GTEST_SKIP() << why;
    }
    WriteWin("w.ini", "[s]\r\n; note\r\nA = 1\r\nb=2\r\nA=3\r\n[t]\r\nA=4\r\n");
    ASSERT_EQ(profiles_.WriteString("S", "a", "9", "w.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("w.ini"), "[s]\r\n; note\r\na=9\r\nb=2\r\nA=3\r\n[t]\r\nA=4\r\n");
}

TEST_F(ProfilesTest, WriteAddsKeyToSectionOrSectionToFile) {
    if (const std::string why = Differs(test::ProfilesQuirk::FileLayout); !why.empty()) {
        GTEST_SKIP() << why;
    }
    WriteWin("lf.ini", "[s]\nk=1\n\n\n[t]\nx=1\n");
    ASSERT_EQ(profiles_.WriteString("s", "new", "2", "lf.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("lf.ini"), "[s]\nk=1\nnew=2\n\n\n[t]\nx=1\n");
    ASSERT_EQ(profiles_.WriteString("u", "y", "3", "lf.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("lf.ini"), "[s]\nk=1\nnew=2\n\n\n[t]\nx=1\n\n[u]\ny=3\n");

    // A last line without a line end gets one; a blank last line needs no other.
    WriteWin("open.ini", "[s]\r\nk=1");
    ASSERT_EQ(profiles_.WriteString("t", "x", "1", "open.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("open.ini"), "[s]\r\nk=1\r\n\r\n[t]\r\nx=1\r\n");
    WriteWin("blank.ini", "[s]\r\nk=1\r\n\r\n");
    ASSERT_EQ(profiles_.WriteString("t", "x", "1", "blank.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("blank.ini"), "[s]\r\nk=1\r\n\r\n[t]\r\nx=1\r\n");
}

TEST_F(ProfilesTest, DeleteKeyRemovesItsFirstLine) {
    WriteWin("app.ini",
             "[windows]\r\nload=bad.exe\r\nrun=\r\nLOAD=second.exe\r\n[x]\r\nload=y\r\n");
    ASSERT_EQ(profiles_.WriteString("Windows", "Load", std::nullopt, "app.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("app.ini"), "[windows]\r\nrun=\r\nLOAD=second.exe\r\n[x]\r\nload=y\r\n");
    EXPECT_EQ(profiles_.GetString("windows", "load", "", "app.ini"), "second.exe");
}

TEST_F(ProfilesTest, DeletingWhatIsMissingSucceedsAndWritesNothing) {
    WriteWin("app.ini", "[windows]\nload=\n");
    const auto before = std::filesystem::last_write_time(Host("WINDOWS/app.ini"));
    EXPECT_EQ(profiles_.WriteString("windows", "run", std::nullopt, "app.ini"), ERROR_SUCCESS);
    EXPECT_EQ(profiles_.WriteString("nosuch", std::nullopt, std::nullopt, "app.ini"),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("app.ini"), "[windows]\nload=\n");
    EXPECT_EQ(std::filesystem::last_write_time(Host("WINDOWS/app.ini")), before);

    EXPECT_EQ(profiles_.WriteString("s", "k", std::nullopt, "absent.ini"), ERROR_SUCCESS);
    EXPECT_EQ(profiles_.WriteString("s", std::nullopt, std::nullopt, "absent.ini"), ERROR_SUCCESS);
    EXPECT_FALSE(WinExists("absent.ini"));
}

TEST_F(ProfilesTest, DeleteSectionRemovesEveryCopyAndKeepsTheRest) {
    WriteWin("s.ini", "; head\n[keep]\na=1\n[Gone]\nb=2\n\n[keep2]\nc=3\n[GONE]\nd=4\n");
    ASSERT_EQ(profiles_.WriteString("gone", std::nullopt, std::nullopt, "s.ini"), ERROR_SUCCESS);
    EXPECT_TRUE(profiles_.GetSection("gone", "s.ini").empty());
    EXPECT_EQ(profiles_.GetSectionNames("s.ini"), (std::vector<std::string>{"keep", "keep2"}));

    if (const std::string why = Differs(test::ProfilesQuirk::FileLayout); !why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(ReadWin("s.ini"), "; head\n[keep]\na=1\n[keep2]\nc=3\n");
}

TEST_F(ProfilesTest, AppendKeepsDuplicateKeys) {
    ASSERT_EQ(profiles_.AppendString("Rename", "NUL", "C:\\a.dll", "wininit.ini"), ERROR_SUCCESS);
    ASSERT_EQ(profiles_.AppendString("rename", "NUL", "C:\\b.dll", "wininit.ini"), ERROR_SUCCESS);
    EXPECT_EQ(ReadWin("wininit.ini"), "[Rename]\r\nNUL=C:\\a.dll\r\nNUL=C:\\b.dll\r\n");
    EXPECT_EQ(profiles_.GetSection("RENAME", "wininit.ini"),
              (Entries{{"NUL", "C:\\a.dll"}, {"NUL", "C:\\b.dll"}}));
}

TEST_F(ProfilesTest, LineBreaksInNamesOrValuesAreRefused) {
    EXPECT_EQ(profiles_.WriteString("s", "k", "a\r\n[evil]", "x.ini"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(profiles_.AppendString("s", "k\n", "v", "x.ini"), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WinExists("x.ini"));
}

}  // namespace
}  // namespace veldan::machine
