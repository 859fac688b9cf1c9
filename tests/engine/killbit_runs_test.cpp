// The kill-bit maintenance runs: which kill bits the disarm run removes, and
// the logs the comparison run writes from the identifier lists in core/.

#include "engine/killbit_runs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/platform_rig.h"
#include "text/codepage.h"

namespace veldan::engine {
namespace {

using namespace machine;
namespace fs = std::filesystem;

const std::string kCompat = "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string kC = "{CCCCCCCC-1111-2222-3333-444444444444}";
const std::string kD = "{DDDDDDDD-1111-2222-3333-444444444444}";
const std::string kLowerA = "{aaaaaaaa-1111-2222-3333-444444444444}";
const std::string kLowerB = "{bbbbbbbb-1111-2222-3333-444444444444}";

std::string Separator() {
    std::string s;
    for (int i = 0; i < 30; ++i) s += "━";
    return s + "\n";
}

class KillBitRuns : public testing::Test {
  protected:
    Context& Load() {
        Context& ctx = rig.Load();
        ctx.setProgramFolder(prog.str());
        EXPECT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE, kCompat), ERROR_SUCCESS);
        return ctx;
    }
    void SetKillBit(const std::string& clsid) {
        ASSERT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE, kCompat + "\\" + clsid), ERROR_SUCCESS);
        ASSERT_EQ(rig.raw().SetValue(HKEY_LOCAL_MACHINE, kCompat + "\\" + clsid,
                                     "Compatibility Flags", RegValue::Dword(0x400)),
                  ERROR_SUCCESS);
    }
    bool HasKillBit(const std::string& clsid) {
        return rig.raw().OpenKey(HKEY_LOCAL_MACHINE, kCompat + "\\" + clsid) == ERROR_SUCCESS;
    }
    bool Exists(const std::string& relative) { return fs::exists(prog.path() / relative); }
    // Every file of core/ whose name starts with "log_".
    int LogFileCount() {
        int n = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(prog.path() / "core", ec)) {
            if (e.path().filename().string().rfind("log_", 0) == 0) ++n;
        }
        return n;
    }
    test::PlatformRig rig;
    test::TempDir prog;
};

// ---- the disarm run

TEST_F(KillBitRuns, DisarmRemovesNoadAndExclusionKillBitsButLeavesIllFormedLines) {
    prog.Write("core/noad.txt",
               kA + "\r\n\r\n   " + kLowerB + " \t\r\nnot-a-clsid\r\n" + kC + "x\r\n");
    prog.Write("core/adspider.txt", kD + "\n");  // a source list, but no addb.txt
    Context& ctx = Load();
    ctx.db().ExclusionList = {kC};
    for (const auto& c : {kA, kB, kC, kD}) SetKillBit(c);

    RunKillBitRuns(ctx);

    EXPECT_FALSE(HasKillBit(kA));
    EXPECT_FALSE(HasKillBit(kB));  // trimmed; the registry ignores the case
    EXPECT_FALSE(HasKillBit(kC));  // from the exclusion list
    EXPECT_TRUE(HasKillBit(kD));
    EXPECT_EQ(rig.debug.Text(), Separator() + "disarm noad... begin... " +
                                    "CLSID... not-a-clsid\n" + "CLSID... " + kC + "x\n" + "end\n" +
                                    "disarm white... begin... end\n");
    EXPECT_EQ(LogFileCount(), 0);
}

TEST_F(KillBitRuns, DisarmWithoutNoadStillClearsTheExclusionList) {
    Context& ctx = Load();
    ctx.db().ExclusionList = {kA, kB};
    for (const auto& c : {kA, kB, kC}) SetKillBit(c);

    RunKillBitDisarm(ctx);

    EXPECT_FALSE(HasKillBit(kA));
    EXPECT_FALSE(HasKillBit(kB));
    EXPECT_TRUE(HasKillBit(kC));
    EXPECT_EQ(rig.debug.Text(), Separator() + "disarm white... begin... end\n");
}

TEST_F(KillBitRuns, AFolderNamedNoadIsNotAList) {
    fs::create_directories(prog.path() / "core" / "noad.txt");
    Context& ctx = Load();
    RunKillBitDisarm(ctx);
    EXPECT_FALSE(rig.debug.Contains("disarm noad"));
}

// ---- the comparison run

class ListComparison : public KillBitRuns {
  protected:
    Context& LoadWithDb() {
        prog.Write("core/addb.txt", "#VERSION 1\r\n");
        Context& ctx = Load();
        ctx.db().KillBitClsids = {kA, kC};
        ctx.db().KillBitNames = {"Alpha", "Gamma"};
        return ctx;
    }
};

TEST_F(ListComparison, UpperCasedSourcesLogTheKeysTheKillBitListLacks) {
    prog.Write("core/noad.txt", kLowerA + "\r\n" + kLowerB + "\r\n");
    prog.Write("core/adspider.txt", "  " + kLowerB + "  \n\n" + kC + "\n" + kD);
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_EQ(prog.Read("core/log_noad.txt"), kB + "\r\n");
    EXPECT_EQ(prog.Read("core/log_adspider.txt"), kB + "\r\n" + kD + "\r\n");
}

TEST_F(ListComparison, SpywareGuideLinesAreBracedBeforeTheyAreCompared) {
    prog.Write("core/spywareguide.txt",
               "aaaaaaaa-1111-2222-3333-444444444444\nbbbbbbbb-1111-2222-3333-444444444444\n");
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_EQ(prog.Read("core/log_spywareguide.txt"), kB + "\r\n");
}

TEST_F(ListComparison, SysinfoLinesAreKeyedUpToTheirFirstBraceAndLoggedWhole) {
    prog.Write("core/sysinfo_bho.txt", kLowerA + " Known helper\n" + kLowerB +
                                           "}  Other helper }\nno brace at all\n" + kC +
                                           "trailing\n");
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    // kC + "trailing" keys as kC: listed, so not logged.
    EXPECT_EQ(prog.Read("core/log_sysinfo_bho.txt"), kLowerB + "}  Other helper }\r\n");
}

TEST_F(ListComparison, LastThreeSourcesCompareTheLinesAsRead) {
    for (const char* name : {"spywareblaster", "spybot", "veldan"}) {
        prog.Write(std::string("core/") + name + ".txt", kLowerA + "\n" + kA + "\n" + kB + "\n");
    }
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    for (const char* name : {"spywareblaster", "spybot", "veldan"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(prog.Read(std::string("core/log_") + name + ".txt"),
                  kLowerA + "\r\n" + kB + "\r\n");
    }
}

TEST_F(ListComparison, HeadersFollowTheSourceOrderAndMissingSourcesLeaveNoTrace) {
    for (const char* name : {"veldan", "sysinfo_bho", "noad", "spywareguide"}) {
        prog.Write(std::string("core/") + name + ".txt", kA + "\n");
    }
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_EQ(rig.debug.Text(), Separator() + "NOAD... begin... end\n" +
                                    "SPYWAREGUIDE... begin...end\n" +
                                    "SYSINFO_BHO... begin... end\n" + "VELDAN... begin... end\n");
    EXPECT_EQ(LogFileCount(), 4);
    EXPECT_FALSE(Exists("core/log_adspider.txt"));
    EXPECT_FALSE(Exists("core/log_spybot.txt"));
    EXPECT_FALSE(Exists("core/log_spywareblaster.txt"));
    // Every identifier of those lists is known: the logs are empty.
    EXPECT_TRUE(Exists("core/log_noad.txt"));
    EXPECT_EQ(prog.Read("core/log_noad.txt"), "");
}

TEST_F(ListComparison, BothRunsWriteTheirSeparatorsInOrder) {
    prog.Write("core/spybot.txt", kB + "\n");
    Context& ctx = LoadWithDb();

    RunKillBitRuns(ctx);

    EXPECT_EQ(rig.debug.Text(), Separator() + "disarm white... begin... end\n" + Separator() +
                                    "SPYBOT... begin... end\n");
}

TEST_F(ListComparison, AnOldLogIsReplacedWhole) {
    prog.Write("core/log_spybot.txt", std::string(200, 'x'));
    prog.Write("core/spybot.txt", kB + "\n");
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_EQ(prog.Read("core/log_spybot.txt"), kB + "\r\n");
}

TEST_F(ListComparison, Cp949SourcesAreLoggedAsUtf8) {
    prog.Write("core/sysinfo_bho.txt", text::Utf8ToCp949(kB + " 광고 도우미\r\n"));
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_EQ(prog.Read("core/log_sysinfo_bho.txt"), kB + " 광고 도우미\r\n");
}

TEST_F(ListComparison, ALogThatCannotBeWrittenIsSkippedAndTheRunGoesOn) {
    fs::create_directories(prog.path() / "core" / "log_noad.txt");
    prog.Write("core/noad.txt", kB + "\n");
    prog.Write("core/spybot.txt", kD + "\n");
    Context& ctx = LoadWithDb();

    RunListComparison(ctx);

    EXPECT_TRUE(fs::is_directory(prog.path() / "core" / "log_noad.txt"));
    EXPECT_EQ(prog.Read("core/log_spybot.txt"), kD + "\r\n");
    EXPECT_TRUE(rig.debug.Contains("NOAD... begin... end\n"));
}

TEST_F(ListComparison, NothingIsComparedWithoutThePlainDetectionDatabase) {
    prog.Write("core/spybot.txt", kB + "\n");
    fs::create_directories(prog.path() / "core" / "addb.txt");  // a folder does not open
    Context& ctx = Load();

    RunListComparison(ctx);

    EXPECT_EQ(LogFileCount(), 0);
    EXPECT_EQ(rig.debug.Text(), "");
}

}  // namespace
}  // namespace veldan::engine
