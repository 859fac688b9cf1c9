#include "machine/folder/host_paths.h"

#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace veldan::machine::image {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

TEST(ParseWindowsPathTest, NormalisesAcceptedForms) {
    const std::tuple<const char*, Strings, bool> cases[] = {
        {"C:\\a\\b", {"a", "b"}, false},
        {"c:/a/b", {"a", "b"}, false},
        {"\\\\?\\C:\\a", {"a"}, false},
        {"\\??\\C:\\a", {"a"}, false},
        {"C:", {}, false},
        {"C:\\", {}, true},
        {"C:\\\\a//b\\", {"a", "b"}, true},
        {"C:\\a\\.\\b\\..\\c", {"a", "c"}, false},
        {"C:\\foo. \\bar..", {"foo", "bar"}, false},
    };
    for (const auto& [path, components, trailing] : cases) {
        WindowsPath p;
        ASSERT_EQ(ParseWindowsPath(path, p), ERROR_SUCCESS) << path;
        EXPECT_EQ(p.components, components) << path;
        EXPECT_EQ(p.trailingSeparator, trailing) << path;
    }
    const std::pair<const char*, WinError> errors[] = {
        {"", ERROR_INVALID_NAME},          {"a\\b", ERROR_INVALID_NAME},
        {"\\WINDOWS", ERROR_INVALID_NAME}, {"D:\\a", ERROR_PATH_NOT_FOUND},
        {"C:\\..", ERROR_PATH_NOT_FOUND},  {"C:\\a\\..\\..\\b", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& [path, err] : errors) {
        WindowsPath p;
        p.drive = "untouched";
        EXPECT_EQ(ParseWindowsPath(path, p), err) << path;
        EXPECT_EQ(p.drive, "untouched") << path;
    }
}

TEST(MatchWildcardTest, FollowsWindowsRules) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.*", "readme", true},          {"readme.*", "readme", true},
        {"readme.*", "README.TXT", true}, {"readme.*", "readme2", false},
        {"*.txt", "a.txt.bak", false},    {"*a*b", "xaxxb", true},
        {"*a*b", "xaxxbc", false},        {"a?c", "ac", false},
        {"a?c", "abbc", false},           {"?.txt", "한.txt", true},
        {"??.txt", "한.txt", false},      {"?A.TXT", "한a.txt", true},
        {"*글.DOC", "한글.doc", true},    {"한*", "글한.doc", false},
    };
    for (const auto& [pattern, name, match] : cases) {
        EXPECT_EQ(MatchWildcard(pattern, name), match) << pattern << " / " << name;
    }
}

TEST(IsShortNameTest, AcceptsOnlyValid83Names) {
    for (const char* name : {"README.TXT", "readme.txt", "ABCDEFGH.ABC", "A~1.T_T", "한글문서.txt",
                             "ABCDEF한.TXT", "A.한"}) {
        EXPECT_TRUE(IsShortName(name)) << name;
    }
    for (const char* name : {"ABCDEFGHI", "A.ABCD", "a b.txt", "a.b.c", ".txt", "a.", "ab[1].gif",
                             "한글문서a.txt", "ABCDEFG한.TXT", "A.BC한", "a+b.txt"}) {
        EXPECT_FALSE(IsShortName(name)) << name;
    }
}

class HostPathsTest : public ::testing::Test {
  protected:
    HostPathsTest() : root_((dir_.path() / "drive_c").string()), paths_(root_ + "/") {
        fs::create_directories(root_);
    }
    void File(const std::string& rel) { dir_.Write("drive_c/" + rel, "x"); }
    void Folder(const std::string& rel) { fs::create_directories(Host(rel)); }
    std::string Host(const std::string& rel) const {
        return rel.empty() ? root_ : root_ + "/" + rel;
    }
    std::string Short(const std::string& folder, const std::string& name) const {
        return paths_.ShortName(Host(folder), name);
    }

    test::TempDir dir_;
    std::string root_;
    HostPaths paths_;
};

TEST_F(HostPathsTest, GeneratesShortNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"page.html", "PAGE~1.HTM"},
        {"a+b,c;d=e[f]g.txt", "A_B_C_~1.TXT"},
        {"my.long.file.name.text", "MYLONG~1.TEX"},
        {".htaccess", "HTACCE~1"},
        {"한글문서파일.txt", "한글문~1.TXT"},  // six CP949 bytes
        {"가a나다라.txt", "가A나~1.TXT"},      // 다 would make seven
    };
    int n = 0;
    for (const auto& [name, expected] : cases) {
        const std::string folder = "case" + std::to_string(n++);
        File(folder + "/" + name);
        EXPECT_EQ(Short(folder, name), expected) << name;
    }
    EXPECT_EQ(Short("case0", "missing long name.txt"), "");

    // Numbers follow the ordinal order of the upper-cased names and skip long 8.3 names.
    for (const char* name : {"Programs Old", "PROGRA~3", "Program Files", "program data"})
        Folder(name);
    EXPECT_EQ(Short("", "program data"), "PROGRA~1");
    EXPECT_EQ(Short("", "Program Files"), "PROGRA~2");
    EXPECT_EQ(Short("", "Programs Old"), "PROGRA~4");
    for (int i = 0; i < 10; ++i) File("docs/document " + std::to_string(i) + ".txt");
    EXPECT_EQ(Short("docs", "document 9.txt"), "DOCUM~10.TXT");
}

TEST_F(HostPathsTest, ShortNamesStayStableAndAreNeverReused) {
    Folder("Program Files");
    Folder("Program Data");
    ASSERT_EQ(Short("", "Program Data"), "PROGRA~1");
    Folder("Program Apps");  // sorts first, but comes late
    EXPECT_EQ(Short("", "Program Apps"), "PROGRA~3");
    EXPECT_EQ(Short("", "Program Files"), "PROGRA~2");

    fs::remove(Host("Program Data"));
    Folder("Program Zoo");
    EXPECT_EQ(Short("", "Program Zoo"), "PROGRA~4");
    std::string host;
    EXPECT_EQ(paths_.Resolve("C:\\PROGRA~1", host), ERROR_FILE_NOT_FOUND);
    Folder("Program Data");  // the same long name gets its old short name back
    EXPECT_EQ(Short("", "Program Data"), "PROGRA~1");
}

TEST_F(HostPathsTest, ResolvesAnyCaseAndShortNamesPreferringExactNames) {
    File("Program Files/Internet Explorer/iexplore.exe");
    for (const char* path :
         {"c:/PROGRAM FILES/internet explorer/IEXPLORE.EXE", "c:\\progra~1\\INTERN~1\\iexplore.exe",
          "\\??\\C:\\Program Files\\x\\..\\Internet Explorer\\iexplore.exe"}) {
        std::string host;
        EXPECT_EQ(paths_.Resolve(path, host), ERROR_SUCCESS) << path;
        EXPECT_EQ(host, Host("Program Files/Internet Explorer/iexplore.exe")) << path;
    }
    Folder("Foo");
    Folder("foo");
    File("progra~1");  // a later long name equal to a short name given before
    const std::pair<const char*, const char*> picks[] = {
        {"C:\\foo", "foo"}, {"C:\\FOO", "Foo"}, {"C:\\PROGRA~1", "progra~1"}, {"C:\\", ""}};
    for (const auto& [path, rel] : picks) {
        std::string host;
        EXPECT_EQ(paths_.Resolve(path, host), ERROR_SUCCESS) << path;
        EXPECT_EQ(host, Host(rel)) << path;
    }
    std::string host = "untouched";
    EXPECT_EQ(paths_.Resolve("C:\\WIN*", host), ERROR_INVALID_NAME);
    EXPECT_EQ(host, "untouched");
}

// Snapshot look-ups find a path's folder by the text before its last component
// and keep what they found, missing folders too: every spelling must give what
// the full walk of checked listings gives, the first time and again.
TEST_F(HostPathsTest, SnapshotLookUpsAgreeWithFullWalks) {
    File("Program Files/Internet Explorer/iexplore.exe");
    File("WINDOWS/system32/drivers/etc/hosts");
    File("WINDOWS/notepad.exe");
    Folder("WINDOWS/Temp");
    const HostPaths snapshot(root_ + "/", nullptr, HostPaths::Listings::kSnapshot);
    const HostPaths checked(root_ + "/", nullptr, HostPaths::Listings::kChecked);
    const char* paths[] = {"C:\\WINDOWS\\notepad.exe",
                           "c:/windows/NOTEPAD.EXE",
                           "C:\\WINDOWS\\\\notepad.exe",
                           "C:\\WINDOWS\\notepad.exe.",
                           "C:\\WINDOWS\\notepad.exe \\",
                           "C:\\WINDOWS\\notepad.exe\\",
                           "C:\\WINDOWS\\notepad.exe\\x",
                           "C:\\WINDOWS\\Temp\\",
                           "C:\\WINDOWS\\Temp\\..",
                           "C:\\WINDOWS\\Temp\\.",
                           "C:\\WINDOWS\\Temp\\...",
                           "C:\\WINDOWS\\system32\\..\\notepad.exe",
                           "C:\\PROGRA~1\\INTERN~1\\iexplore.exe",
                           "C:\\Program Files\\INTERN~9\\iexplore.exe",
                           "C:\\WINDOWS\\NOTEPA~1.EXE",
                           "C:\\WINDOWS\\missing.exe",
                           "C:\\Missing\\deeper\\x.exe",
                           "C:\\Missing\\x.exe",
                           "C:\\WINDOWS\\no<pe.exe",
                           "C:\\WIN*\\notepad.exe",
                           "C:\\notepad.exe",
                           "C:\\WINDOWS",
                           "C:\\",
                           "C:",
                           "C:x",
                           "D:\\WINDOWS\\notepad.exe",
                           "\\\\?\\C:\\WINDOWS\\x",
                           "\\??\\c:\\windows\\notepad.exe",
                           "\\\\?\\x",
                           "\\x",
                           "|WINDOWS\\\\notepad.exe",
                           "C:\\..\\WINDOWS\\notepad.exe",
                           "C:\\WINDOWS\\system32\\drivers\\etc\\HOSTS",
                           "WINDOWS\\notepad.exe",
                           ""};
    for (int round = 0; round < 2; ++round) {
        for (const char* path : paths) {
            std::string expected = "none", got = "none";
            EXPECT_EQ(snapshot.Resolve(path, got), checked.Resolve(path, expected))
                << path << " " << round;
            EXPECT_EQ(got, expected) << path << " " << round;
            expected = got = "none";
            EXPECT_EQ(snapshot.ResolveForCreate(path, got),
                      checked.ResolveForCreate(path, expected))
                << path << " " << round;
            EXPECT_EQ(got, expected) << path << " " << round;
        }
    }
    // What the snapshot kept follows the changes it is told of.
    std::string host;
    EXPECT_EQ(snapshot.Resolve("C:\\Missing\\x.exe", host), ERROR_PATH_NOT_FOUND);
    File("Missing/x.exe");
    snapshot.Changed(Host("Missing"));
    EXPECT_EQ(snapshot.Resolve("C:\\Missing\\x.exe", host), ERROR_SUCCESS);
    EXPECT_EQ(host, Host("Missing/x.exe"));
}

TEST_F(HostPathsTest, LongAndShortPathsKeepTheDriveAsGiven) {
    File("Program Files/Internet Explorer/iexplore.exe");
    std::string out;
    ASSERT_EQ(paths_.LongPath("c:\\PROGRA~1\\intern~1\\IEXPLORE.EXE", out), ERROR_SUCCESS);
    EXPECT_EQ(out, "c:\\Program Files\\Internet Explorer\\iexplore.exe");
    ASSERT_EQ(paths_.ShortPath("C:/program files/internet explorer/iexplore.exe", out),
              ERROR_SUCCESS);
    EXPECT_EQ(out, "C:\\PROGRA~1\\INTERN~1\\iexplore.exe");
    ASSERT_EQ(paths_.ShortPath("c:", out), ERROR_SUCCESS);
    EXPECT_EQ(out, "c:\\");
    EXPECT_EQ(paths_.LongPath("C:\\PROGRA~1\\missing", out), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(out, "c:\\");

    EXPECT_EQ(paths_.ToWindowsPath(root_ + "/WINDOWS/x.dll"), "C:\\WINDOWS\\x.dll");
    EXPECT_EQ(paths_.ToWindowsPath(root_), "C:\\");
    EXPECT_EQ(paths_.ToWindowsPath(root_ + "2/x"), "");
}

TEST_F(HostPathsTest, ConcurrentListingsAgreeOnUniqueShortNames) {
    for (int i = 0; i < 200; ++i) File("many/long file name " + std::to_string(i) + ".text");
    std::vector<std::vector<FolderEntry>> results(8);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back(
            [&] { EXPECT_EQ(paths_.ListFolder(Host("many"), result), ERROR_SUCCESS); });
    }
    for (auto& t : threads) t.join();
    std::set<std::string> shorts;
    for (const FolderEntry& e : results[0]) shorts.insert(e.shortName);
    EXPECT_EQ(shorts.size(), 200u);
    for (const auto& result : results) {
        ASSERT_EQ(result.size(), 200u);
        for (std::size_t i = 0; i < result.size(); ++i) {
            EXPECT_EQ(result[i].name + result[i].shortName,
                      results[0][i].name + results[0][i].shortName);
        }
    }
}

}  // namespace
}  // namespace veldan::machine::image
