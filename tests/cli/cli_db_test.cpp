// veldan-cli db info, db scramble and db unscramble, run as a user runs them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/scramble.h"
#include "support/image_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";

RunResult Db(const TempDir& prog, Strings args) {
    args.insert(args.begin(), {"--program-folder", prog.str(), "db"});
    return RunProgram("veldan-cli", args);
}

int LineCount(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

TEST(CliDb, BadUsageExitsTwoWithOneLine) {
    TempDir dir;
    for (Strings args : std::vector<Strings>{{},
                                             {"frob"},
                                             {"info", "extra"},
                                             {"info", "--bogus"},
                                             {"info", "--machine"},
                                             {"scramble", "a"},
                                             {"unscramble", "a", "b", "c"},
                                             {"scramble", "--json", "a", "b"}}) {
        auto r = Db(dir, args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(LineCount(r.err), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CliDb, InfoHumanAndJson) {
    TempDir dir;
    auto r = Db(dir, {"info", "--json"});  // no databases: not an error
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        R"({"version": "", "patterns": 0, "entries": 0, "killbits": [], "exclusions": [], "cookies": []})"
        "\n");

    dir.Write("core/addb.txt", "#VERSION 2005.04.01\r\n^" + kB +
                                   "\r\n#NAME q\"b\\s \xC7\xD1\r\nCLSID " + kA +
                                   "\r\nFile x.exe\r\nDType abc.dll " + kB + " u\r\n");  // CP949
    dir.Write("core/ckdb.txt", "a.com\ntab\there\n");
    r = Db(dir, {"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "version: 2005.04.01\npatterns: 5\nentries: 2\nkill-bits: 2\nexclusions: 1\ncookies: 2\n");
    r = Db(dir, {"info", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        R"({"version": "2005.04.01", "patterns": 5, "entries": 2, "killbits": [{"clsid": ")" + kA +
            R"(", "name": "q\"b\\s )"
            "\xED\x95\x9C"
            R"("}, {"clsid": ")" +
            kB + R"(", "name": "NUNE.abc"}], "exclusions": [")" + kB +
            R"("], "cookies": ["a.com", "tab\there"]})"
            "\n");
}

TEST(CliDb, RegistryMacrosResolveOnlyAgainstAMachine) {
    TempDir dir, prog;
    ImageBuilder image(dir);
    image.Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\V]\r\n\"Dir\"=\"C:\\\\V\"\r\n");
    prog.Write("core/addb.txt", "#NAME A\nFile REGSTR(HKLM Software\\V Dir)\\x.exe\n");
    auto r = Db(prog, {"info", "--machine", image.folder()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("patterns: 2\n"), std::string::npos) << r.out;
    r = Db(prog, {"info"});
    EXPECT_NE(r.out.find("patterns: 1\n"), std::string::npos) << r.out;
    r = Db(prog, {"info", "--machine", (dir.path() / "absent").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
}

TEST(CliDb, InfoWithoutAMachineNeedsNoTemporaryFolder) {
    TempDir prog;
    prog.Write("core/addb.txt", "#VERSION 7\n#NAME A\nFile x.exe\n");
    // A temporary folder that cannot be used: nothing may need one.
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", (prog.path() / "no-such-folder").c_str(), 1);
    auto r = Db(prog, {"info"});
    auto version = RunProgram("veldan-cli", {"--program-folder", prog.str(), "--version"});
    auto withUser = Db(prog, {"info", "--user", "Owner"});
    if (saved) {
        ::setenv("TMPDIR", savedValue.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("version: 7\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nentries: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(version.out.find("\ndatabase 7\n"), std::string::npos) << version.out;
    EXPECT_EQ(withUser.exitCode, 2);
    EXPECT_EQ(LineCount(withUser.err), 1) << withUser.err;
    EXPECT_FALSE(fs::exists(prog.path() / "no-such-folder"));
}

TEST(CliDb, ScrambleUnscrambleRoundTripReadableByTheLoader) {
    TempDir dir;
    std::string plain =
        "#VERSION 3\n#NAME \xED\x95\x9C\xEA\xB8\x80\nCLSID " + kA + "\n\nFile a b.exe\n";  // UTF-8
    dir.Write("src.txt", plain);
    fs::create_directories(dir.path() / "data");
    std::string scrambled = (dir.path() / "data/addb").string();
    auto r = Db(dir, {"scramble", (dir.path() / "src.txt").string(), scrambled});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    // Lines of letters with CR LF, CP949 bytes inside, as the Windows program writes them.
    std::string bytes = dir.Read("data/addb"), line;
    EXPECT_EQ(bytes.find_first_not_of("ABCDEFGHIJKLMNOP\r\n"), std::string::npos);
    Strings lines;
    for (std::size_t pos = 0, end; (end = bytes.find("\r\n", pos)) != std::string::npos;
         pos = end + 2) {
        lines.push_back(bytes.substr(pos, end - pos));
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(LineCount(bytes), 5);
    engine::Unscramble(lines[1], line);
    EXPECT_EQ(line, "#NAME \xC7\xD1\xB1\xDB");

    r = Db(dir, {"unscramble", scrambled, (dir.path() / "back.txt").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir.Read("back.txt"), plain);

    auto fromScrambled = Db(dir, {"info", "--json"});
    dir.Write("core/addb.txt", plain);
    auto fromPlain = Db(dir, {"info", "--json"});
    EXPECT_NE(fromPlain.out.find("\"patterns\": 3"), std::string::npos) << fromPlain.out;
    EXPECT_EQ(fromScrambled.out, fromPlain.out);
}

TEST(CliDb, FailuresLeaveNothingHalfWritten) {
    TempDir dir;
    dir.Write("out/addb", "previous");
    dir.Write("in.txt", "File x\n");
    std::string in = (dir.path() / "in.txt").string(), out = (dir.path() / "out/addb").string();
    for (Strings args :
         std::vector<Strings>{{"scramble", (dir.path() / "missing").string(), out},
                              {"unscramble", (dir.path() / "out").string(), out},
                              {"scramble", in, (dir.path() / "nowhere/addb").string()},
                              {"scramble", in, (dir.path() / "out").string()}}) {
        auto r = Db(dir, args);
        EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args);
        EXPECT_EQ(LineCount(r.err), 1) << r.err;
    }
    EXPECT_EQ(dir.Read("out/addb"), "previous");
    auto r = Db(dir, {"scramble", in, out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(dir.Read("out/addb"), "previous");
    // No temporary files stay behind.
    Strings names;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"addb", "in.txt", "out"}));
}

}  // namespace
}  // namespace veldan::test
