// The database loader: counts, kill-bit pairs, exclusions, cookies, the choice
// of plain or scrambled files, damaged databases, and the deep-scan database.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/database_file.h"
#include "engine/loader.h"
#include "engine/scramble.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::engine {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;
const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";

class LoaderTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::unique_ptr<test::BuiltMachine> machine =
        test::ImageBuilder(dir)
            .Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\V]\r\n\"Dir\"=\"C:\\\\V\"\r\n")
            .Load();
    text::CaptureDebugSink sink;
    platform::Context ctx{*machine, sink};
    platform::CSignatureDb& db = ctx.db();

    void SetUp() override { ctx.setProgramFolder((dir.path() / "prog").string()); }
    void Load(std::string_view addb) {
        dir.Write("prog/core/addb.txt", addb);
        LoadDatabases(ctx);
    }
    void WriteScrambled(const std::string& name, const Strings& cp949Lines) {
        std::string out, line;
        for (const auto& l : cp949Lines) out += (Scramble(l, line), line) + "\r\n";
        dir.Write("prog/data/" + name, out);
    }
    Pairs KillBits() {
        Pairs out;
        EXPECT_EQ(db.KillBitClsids.size(), db.KillBitNames.size());
        for (std::size_t i = 0; i < db.KillBitClsids.size(); ++i)
            out.emplace_back(db.KillBitClsids[i], db.KillBitNames[i]);
        return out;
    }
};

TEST_F(LoaderTest, CountingRule) {
    struct Case {
        std::string text;
        int patterns, entries;
    } cases[] = {
        {"#NAME Foo\nFile x.exe\nKey HKLM\\Software\\Foo\n", 3, 1},
        {"DType abc.dll " + kA + " u\n", 2, 1},
        {"#VERSION 1\n^" + kA + "\n# c\n// c\n\n \nfile x\nKey HKLM \"\"\n;\n; \n", 0, 0},
        {"Key HKLM A B C\nCheckBHO extra\n", 2, 0},  // wrong counts parse and count
        {"#NAME\nFile a.exe\nDType .dll " + kA + " u\n", 3, 0},
        {";#NAME H\n;File a.exe\n;DType h.dll " + kA + " u\n", 4, 2},
        {"File REGSTR(HKLM Software\\V Dir)\\x\nFile REGSTR(HKLM Software\\V No)\\x\n", 1, 0},
    };
    for (const Case& c : cases) {
        Load(c.text);
        EXPECT_EQ(db.PatternCount, c.patterns) << c.text;
        EXPECT_EQ(db.EntryCount, c.entries) << c.text;
    }
    Load("#NAME\nDType .dll " + kA + " u\n");
    EXPECT_TRUE(sink.Contains("NAME is empty... #NAME \n"));
    EXPECT_TRUE(sink.Contains("NAME is empty... DType .dll " + kA + " u \n"));
}

TEST_F(LoaderTest, KillBitPairs) {
    Load("#NAME One\nCLSID {cccccccc-1111-2222-3333-444444444444}\nCLSIDOnly " + kA +
         "\nAx c:\\a.ocx {EEEEEEEE-1111-2222-3333-444444444444}\nAllAx a "
         "{FFFFFFFF-1111-2222-3333-444444444444}\n"
         "SType s {00000000-1111-2222-3333-444444444444}\nKey HKCR CLSID\\" +
         kB + "\nRunValue " + kB + "\nCLSID not-a-clsid\n#NAME Two\nWType w.ocx " + kB +
         " u f\nAx x {aaaaaaaa-1111-2222-3333-444444444444}\n"
         ";MType m.ocx {22222222-1111-2222-3333-444444444444} u m\nDType .x "
         "{33333333-1111-2222-3333-444444444444} u\n");
    EXPECT_EQ(KillBits(), (Pairs{{"{CCCCCCCC-1111-2222-3333-444444444444}", "One"},
                                 {kA, "One"},
                                 {"{EEEEEEEE-1111-2222-3333-444444444444}", "One"},
                                 {"{FFFFFFFF-1111-2222-3333-444444444444}", "One"},
                                 {"{00000000-1111-2222-3333-444444444444}", "One"},
                                 {kB, "Elink.w"},
                                 {"{22222222-1111-2222-3333-444444444444}", "INBEE.m"},
                                 {"{33333333-1111-2222-3333-444444444444}", ""}}));
    EXPECT_TRUE(sink.Contains("CLSID... NOT-A-CLSID\n"));
    EXPECT_EQ(IsKillBitClsid(ctx, kA), 1);
    EXPECT_EQ(IsKillBitClsid(ctx, "{aaaaaaaa-1111-2222-3333-444444444444}"), 0);
}

TEST_F(LoaderTest, VersionExclusionsAndCookies) {
    dir.Write("prog/core/ckdb.txt", "  a.com \r\n\r\n\t\n# kept\n");
    Load("#VERSION 2005.03.01\n^ " + kA +
         " \n^{aaaaaaaa-1111-2222-3333-444444444444}\n^{broken}\n^" + kB + "\n");
    EXPECT_EQ(db.DatabaseVersion, "2005.03.01 ");
    EXPECT_EQ(db.ExclusionList, (Strings{kA, kB}));
    EXPECT_EQ(db.CookieList, (Strings{"a.com", "# kept"}));
    EXPECT_TRUE(sink.Contains("CLSID... {broken}\n"));
    EXPECT_TRUE(sink.Contains("CLSID: 0, COOKIE: 2\n"));
    EXPECT_EQ(AddExclusion(ctx, "{bbbbbbbb-1111-2222-3333-444444444444}"), 0);
    EXPECT_EQ(AddExclusion(ctx, "{CCCCCCCC-1111-2222-3333-444444444444}"), 1);
    EXPECT_EQ(db.ExclusionList.size(), 3u);

    Load("#NAME A\n");  // a second load starts afresh
    EXPECT_EQ(db.DatabaseVersion, "");
    EXPECT_TRUE(db.ExclusionList.empty());
    EXPECT_EQ(db.CookieList.size(), 2u);
}

// A reload replaces the whole state: what only the earlier databases held,
// and whatever a run left in the state, is gone.
TEST_F(LoaderTest, ReloadLeavesNothingOfTheEarlierState) {
    dir.Write("prog/core/ckdb.txt", "a.com\nb.com\n");
    Load("#VERSION 7\n^" + kB + "\n#NAME Foo\nCLSID " + kA + "\nFile x.exe\n");
    ASSERT_FALSE(db.DatabaseVersion.empty());
    ASSERT_EQ(db.ExclusionList.size(), 1u);
    ASSERT_EQ(db.CookieList.size(), 2u);
    ASSERT_EQ(KillBits().size(), 1u);
    db.DeepScanNames = {"left over"};
    db.DeepScanRecords.push_back({0, 10, "d41d8cd98f00b204e9800998ecf8427e"});
    db.DeepScanMinSize = db.DeepScanMaxSize = 10;

    std::filesystem::remove(dir.path() / "prog/core/ckdb.txt");
    Load("#NAME Bar\nFile y.exe\n");
    EXPECT_EQ(db.DatabaseVersion, "");
    EXPECT_EQ(db.PatternCount, 2);
    EXPECT_EQ(db.EntryCount, 1);
    EXPECT_TRUE(KillBits().empty());
    EXPECT_TRUE(db.ExclusionList.empty());
    EXPECT_TRUE(db.CookieList.empty());
    EXPECT_TRUE(db.DeepScanNames.empty());
    EXPECT_TRUE(db.DeepScanRecords.empty());
    EXPECT_EQ(db.DeepScanMinSize, 0xFFFFFFFFu);
    EXPECT_EQ(db.DeepScanMaxSize, 0xFFFFFFFFu);
}

TEST_F(LoaderTest, PlainOrScrambledOrNothing) {
    LoadDatabases(ctx);
    EXPECT_EQ(db.PatternCount, 0);
    EXPECT_EQ(sink.Text(), "CLSID: 0, COOKIE: 0\n");

    WriteScrambled("addb", {"#VERSION 9", "#NAME \xC7\xD1\xB1\xDB", "CLSID " + kA, "File b"});
    WriteScrambled("ckdb", {" ads.example.com ", "", "\xC7\xD1.kr"});
    LoadDatabases(ctx);
    EXPECT_EQ(db.DatabaseVersion, "9 ");
    EXPECT_EQ(db.PatternCount, 3);
    EXPECT_EQ(KillBits(), (Pairs{{kA, "\xED\x95\x9C\xEA\xB8\x80"}}));
    EXPECT_EQ(db.CookieList, (Strings{"ads.example.com", "\xED\x95\x9C.kr"}));

    Load("#NAME P\nCLSID " + kB + "\n");  // the plain file hides the scrambled one
    EXPECT_EQ(db.PatternCount, 2);
    EXPECT_EQ(KillBits(), (Pairs{{kB, "P"}}));
}

TEST_F(LoaderTest, ASignatureProblemNamesWhatIsMissing) {
    LoadDatabases(ctx);
    EXPECT_NE(SignatureProblem(ctx).find("no detection database"), std::string::npos);
    EXPECT_NE(SignatureProblem(ctx).find("addb.txt"), std::string::npos);
    Load("#VERSION 1\n// only a comment\n");
    EXPECT_NE(SignatureProblem(ctx).find("holds no detection entries"), std::string::npos);
    Load("#NAME A\nFile a.exe\n");
    EXPECT_EQ(SignatureProblem(ctx), "");
    // A folder where the file should be cannot be read.
    std::filesystem::remove(dir.path() / "prog/core/addb.txt");
    std::filesystem::create_directories(dir.path() / "prog/core/addb.txt");
    LoadDatabases(ctx);
    EXPECT_NE(SignatureProblem(ctx).find("cannot be read"), std::string::npos) << SignatureProblem(ctx);
}

TEST_F(LoaderTest, DamagedDatabasesLoadWhatIsValid) {
    std::string garbage;
    for (int i = 0; i < (1 << 20); ++i) garbage.push_back(static_cast<char>((i * 131) % 256));
    Load("#NAME A\nCLSID " + kA + "\n" + garbage + "\nFile " + std::string(1 << 20, 'x') +
         "\n\xB0\xA1\xFF\n" + "Fi\0le y\n#NAME B\nFile z.exe\n"s);
    EXPECT_GE(db.PatternCount, 4);  // the 1 MB line is too long to be a command
    EXPECT_GE(db.EntryCount, 2);
    EXPECT_EQ(KillBits().at(0), (std::pair{kA, "A"s}));

    std::string text, line;
    text += (Scramble("#NAME A", line), line) + "\r\nnot scrambled\r\n" +
            std::string(1 << 20, 'Z') + "\r\n";
    text += (Scramble("File ok.exe", line), line) + "\r\n";
    std::filesystem::remove(dir.path() / "prog/core/addb.txt");
    dir.Write("prog/data/addb", text);
    LoadDatabases(ctx);
    EXPECT_GE(db.PatternCount, 2);
    EXPECT_EQ(db.EntryCount, 1);
}

// A line too long for any real database is skipped and told; memory stays
// bounded by the limit, not by the line.
TEST_F(LoaderTest, OverlongLinesAreSkippedAndTold) {
    const std::string huge = "File " + std::string(kMaxDatabaseLine * 3, 'q');
    Load("#NAME A\n" + huge + "\nCLSID " + kA + "\n");
    EXPECT_EQ(db.PatternCount, 2);
    EXPECT_EQ(KillBits(), (Pairs{{kA, "A"}}));
    EXPECT_NE(sink.Text().find("ReadLine... line too long, skipped... File qqq"), std::string::npos)
        << sink.Text();

    // Scrambled, and a list file.
    std::filesystem::remove(dir.path() / "prog/core/addb.txt");
    WriteScrambled("addb", {"#NAME S", huge, "CLSID " + kB});
    dir.Write("prog/core/ckdb.txt", "a.com\n" + std::string(kMaxDatabaseLine + 1, 'c') + "\nb.com");
    LoadDatabases(ctx);
    EXPECT_EQ(KillBits(), (Pairs{{kB, "S"}}));
    EXPECT_EQ(db.CookieList, (Strings{"a.com", "b.com"}));

    // The longest line allowed is read.
    Load("#NAME L\nFile " + std::string(kMaxDatabaseLine - 5, 'x') + "\nCLSID " + kA + "\n");
    EXPECT_EQ(db.PatternCount, 3);
}

// The file's encoding is decided by all of it, however it is read in pieces.
TEST_F(LoaderTest, EncodingIsDecidedByTheWholeFile) {
    const std::string pad(100000, '/');  // comment lines past the first read
    std::string padLines;
    for (std::size_t i = 0; i < pad.size(); i += 1000) padLines += pad.substr(i, 999) + "\n";
    // CP949 (\xC7\xD1 is 한) far into the file makes the whole file CP949.
    Load("#NAME \xC7\xD1\n" + padLines + "CLSID " + kA + "\n#NAME x\xB1\xDB\n");
    EXPECT_EQ(KillBits(), (Pairs{{kA, "\xED\x95\x9C"}}));
    // UTF-8 whose characters straddle every read boundary stays UTF-8.
    std::string utf8Lines;
    while (utf8Lines.size() < 200000) utf8Lines += "/ \xED\x95\x9C\xEA\xB8\x80\xED\x95\x9C\n";
    Load("\xEF\xBB\xBF#NAME \xED\x95\x9C\n" + utf8Lines + "CLSID " + kB + "\n");
    EXPECT_EQ(KillBits(), (Pairs{{kB, "\xED\x95\x9C"}}));
}

TEST_F(LoaderTest, DeepScanDatabase) {
    EXPECT_EQ(LoadDeepScanDb(ctx), 0);
    dir.Write(
        "prog/core/dsdb.txt",
        "early|1|aa\n#NAME First\na.exe|  1000 |  0123456789ABCDEF0123456789abcdef \n; c|5|x\nno "
        "bars\n"
        "one|bar\n#NAME   Second  \nb|4000000000|ff\nc|12kb|ee\nd||dd\ne|5000000000|cc\nf|7|" +
            std::string(36, 'a') + "\n");
    ASSERT_EQ(LoadDeepScanDb(ctx), 4);
    EXPECT_EQ(LoadDeepScanDb(ctx), 4);  // loading again does not accumulate
    EXPECT_EQ(db.DeepScanNames, (Strings{"First", "Second"}));
    const auto& r = db.DeepScanRecords;
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(std::tuple(r[0].entry, r[0].size, r[0].digest),
              std::tuple(0, 1000u, "0123456789ABCDEF0123456789abcdef"s));
    EXPECT_EQ(std::tuple(r[1].entry, r[1].size), std::tuple(1, 4000000000u));
    EXPECT_EQ(r[2].size, 12u);
    EXPECT_EQ(r[3].size, 0u);
    EXPECT_EQ(db.DeepScanMinSize, 0u);
    EXPECT_EQ(db.DeepScanMaxSize, 4000000000u);  // unsigned

    FreeDeepScanDb(ctx);
    EXPECT_TRUE(db.DeepScanNames.empty() && db.DeepScanRecords.empty());
    EXPECT_EQ(db.DeepScanMinSize, 0xFFFFFFFFu);
    EXPECT_EQ(db.DeepScanMaxSize, 0xFFFFFFFFu);

    std::filesystem::remove(dir.path() / "prog/core/dsdb.txt");
    WriteScrambled("dsdb", {"#NAME S", "f|3000000000|abcd", "g|77|ab"});
    EXPECT_EQ(LoadDeepScanDb(ctx), 2);
    EXPECT_EQ(db.DeepScanMinSize, 77u);
    EXPECT_EQ(db.DeepScanMaxSize, 3000000000u);
}

}  // namespace
}  // namespace veldan::engine
