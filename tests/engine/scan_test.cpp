// The scan and the cure: entry grouping, detection, the match between rows and
// their stored lines, progress, cancelling, the deep-scan pass and row statuses.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "engine/loader.h"
#include "engine/scan.h"
#include "platform/registry_ops.h"
#include "support/platform_rig.h"

namespace veldan::engine {
namespace {

using machine::HKEY_LOCAL_MACHINE;

class Recorder : public ScanObserver {
  public:
    void OnRange(int total) override { range = total; }
    void OnProgress(int percent, int position, int total) override {
        lastPercent = percent;
        lastPosition = position;
        ++progressCalls;
    }
    void OnRow(int index, const ScanRow& row) override { rows.push_back(row.name); }
    void OnDeepScan(std::uint64_t files) override { deepScan.push_back(files); }
    void OnRowStatus(int index, std::string_view status) override {
        statuses.push_back(std::to_string(index) + ":" + std::string(status));
    }
    int range = -1, lastPercent = 0, lastPosition = 0, progressCalls = 0;
    std::vector<std::string> rows, statuses;
    std::vector<std::uint64_t> deepScan;
};

struct ScanRig : test::PlatformRig {
    ScanResult result;
    Recorder observer;
    std::atomic<int> cancel{0};

    platform::Context& Setup(std::string_view addb, std::string_view dsdb = "") {
        dir.Write("prog/core/addb.txt", addb);
        if (!dsdb.empty()) dir.Write("prog/core/dsdb.txt", dsdb);
        auto& ctx = Load();
        ctx.setProgramFolder((dir.path() / "prog").string());
        LoadDatabases(ctx);
        return ctx;
    }
    int Scan() { return RunScan(*ctx, result, observer, cancel); }
    int Cure() { return RunCure(*ctx, result, observer, cancel); }
    bool Has(std::string_view sub) {
        return platform::KeyExists(*ctx, HKEY_LOCAL_MACHINE, sub) != 0;
    }
};

constexpr std::string_view kKeys =
    "[HKEY_LOCAL_MACHINE\\Software\\Pre]\r\n[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\A2]\r\n[HKEY_LOCAL_MACHINE\\Software\\B]\r\n";

TEST(ScanEngine, DetectedEntriesBecomeRowsWithTheirItemsAndLines) {
    ScanRig rig;
    rig.image.Reg("1.reg", kKeys);
    auto& ctx = rig.Setup(
        "#NAME A\nKey HKLM\\Software\\A\nKey HKLM\\Software\\Missing\n"
        "#NAME NotHere\nKey HKLM\\Software\\Nothing\n"
        "#NAME OnlyCure\n;Key HKLM\\Software\\B\n"
        "#NAME B\nKey HKLM\\Software\\B\nValue HKLM Software\\B v\n");
    ASSERT_EQ(rig.Scan(), 1);
    ASSERT_EQ(rig.result.rows.size(), 2u);
    EXPECT_EQ(rig.result.rows[0].name, "A");
    EXPECT_EQ(rig.result.rows[0].itemCount, 1);
    EXPECT_EQ(rig.result.rows[1].name, "B");
    EXPECT_EQ(rig.result.rows[1].itemStart, 1);
    EXPECT_EQ(rig.observer.rows, (std::vector<std::string>{"A", "B"}));
    // Only the detected entries' lines form the cure script, cure-only lines without ';'.
    EXPECT_EQ(rig.result.cureScript,
              (std::vector<std::string>{"#NAME A ", "Key HKLM Software\\A ",
                                        "Key HKLM Software\\Missing ", "#NAME B ",
                                        "Key HKLM Software\\B ", "Value HKLM Software\\B v "}));
    // The found list keeps only the detected entries' items.
    EXPECT_EQ(ctx.report().found().Count(), 2);
    // The progress ran over every counted line: the loader's pattern count.
    EXPECT_EQ(rig.observer.range, ctx.db().PatternCount);
    EXPECT_EQ(rig.observer.lastPosition, ctx.db().PatternCount);
    EXPECT_EQ(rig.observer.lastPercent, 100);
}

TEST(ScanEngine, TypeLinesOpenTheirOwnEntry) {
    ScanRig rig;
    rig.image.Reg("1.reg", kKeys);
    rig.Setup(
        "#NAME A\nDType abc.dll {AAAAAAAA-1111-2222-3333-444444444444} x\nKey HKLM\\Software\\B\n");
    ASSERT_EQ(rig.Scan(), 1);
    ASSERT_EQ(rig.result.rows.size(), 1u);
    EXPECT_EQ(rig.result.rows[0].name, "NUNE.abc");
    EXPECT_EQ(rig.result.cureScript.front(), "#NAME NUNE.abc");
}

// Rows must meet their own lines in the cure, also for the row of the lines
// before the first entry (no "#NAME" line) and for an entry holding an empty
// "#NAME" line (which opens nothing).
TEST(ScanEngine, CureRunsExactlyTheCheckedRowsLines) {
    const char* db =
        "Key HKLM\\Software\\Pre\n"
        "#NAME A\nKey HKLM\\Software\\A\n#NAME\nKey HKLM\\Software\\A2\n"
        "#NAME B\nKey HKLM\\Software\\B\n";
    {
        ScanRig rig;
        rig.image.Reg("1.reg", kKeys);
        rig.Setup(db);
        ASSERT_EQ(rig.Scan(), 1);
        ASSERT_EQ(rig.result.rows.size(), 3u);
        EXPECT_EQ(rig.result.rows[0].name, "");
        EXPECT_EQ(rig.result.rows[1].itemCount, 2);
        rig.result.rows[2].checked = true;
        ASSERT_EQ(rig.Cure(), 1);
        EXPECT_FALSE(rig.Has("Software\\B"));
        EXPECT_TRUE(rig.Has("Software\\Pre"));
        EXPECT_TRUE(rig.Has("Software\\A"));
        EXPECT_TRUE(rig.Has("Software\\A2"));
        EXPECT_EQ(rig.result.rows[2].status, "완료");
        EXPECT_EQ(rig.result.rows[0].status, "");
    }
    {
        ScanRig rig;
        rig.image.Reg("1.reg", kKeys);
        rig.Setup(db);
        ASSERT_EQ(rig.Scan(), 1);
        rig.result.rows[1].checked = true;
        ASSERT_EQ(rig.Cure(), 1);
        EXPECT_FALSE(rig.Has("Software\\A"));
        EXPECT_FALSE(rig.Has("Software\\A2"));
        EXPECT_TRUE(rig.Has("Software\\Pre"));
        EXPECT_TRUE(rig.Has("Software\\B"));
    }
}

TEST(ScanEngine, FailedRemovalsMarkTheRowFailed) {
    ScanRig rig;
    rig.image.Ini("[machine]\nos=9x\n[protected]\nkey=HKLM\\Software\\A\n").Reg("1.reg", kKeys);
    rig.Setup("#NAME A\nKey HKLM\\Software\\A\n#NAME B\nKey HKLM\\Software\\B\n");
    ASSERT_EQ(rig.Scan(), 1);
    for (auto& row : rig.result.rows) row.checked = true;
    ASSERT_EQ(rig.Cure(), 1);
    EXPECT_EQ(rig.result.rows[0].status, "실패");
    EXPECT_EQ(rig.result.rows[1].status, "완료");
    EXPECT_EQ(rig.ctx->report().failed().Count(), 1);
    // The found list is what the scan left; the log still lists both.
    EXPECT_EQ(ScanLogText(*rig.ctx), "HKLM\\Software\\A\r\nHKLM\\Software\\B\r\n");
}

TEST(ScanEngine, CancellingStopsBeforeTheNextLineAndSkipsDeepScan) {
    ScanRig rig;
    rig.image.Reg("1.reg", kKeys).File("C:\\x.bin", "abc");
    rig.Setup("#NAME A\nKey HKLM\\Software\\A\n",
              "#NAME X\nx.bin|3|900150983cd24fb0d6963f7d28e17f72\n");
    rig.cancel = 1;
    EXPECT_EQ(rig.Scan(), 0);
    EXPECT_TRUE(rig.result.rows.empty());
    rig.cancel = 0;
    EXPECT_EQ(rig.Scan(), 1);
    EXPECT_EQ(rig.result.rows.size(), 2u);
}

TEST(DeepScan, FingerprintHitsGroupByEntry) {
    ScanRig rig;
    // md5("abc") and md5("hello"); a third file has a fingerprint size but another digest.
    rig.image.File("C:\\WINDOWS\\a.bin", "abc")
        .File("C:\\Temp\\Sub\\b.bin", "abc")
        .File("C:\\other.bin", "xyz")
        .File("C:\\hello.txt", "hello")
        .File("C:\\known.bin", "hello");
    rig.Setup("#NAME Known\nFile C:\\known.bin\n",
              "#NAME First\nabc|3|900150983CD24FB0D6963F7D28E17F72\n"
              "#NAME Second\nhello|5|5d41402abc4b2a76b9719d911017c592\n");
    ASSERT_EQ(rig.Scan(), 1);
    ASSERT_EQ(rig.result.rows.size(), 3u);
    EXPECT_EQ(rig.result.rows[1].name, "First (Deep Scan)");
    EXPECT_EQ(rig.result.rows[1].itemCount, 2);
    EXPECT_EQ(rig.result.rows[2].name, "Second (Deep Scan)");
    EXPECT_EQ(rig.result.rows[2].itemCount, 1);  // known.bin was found by its File line already
    std::vector<std::string> lines(rig.result.cureScript.begin() + 2, rig.result.cureScript.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"#NAME First (Deep Scan)", "File C:\\Temp\\Sub\\b.bin",
                                        "File C:\\WINDOWS\\a.bin", "#NAME Second (Deep Scan)",
                                        "File C:\\hello.txt"}));
    // The cure removes the files the deep scan found.
    for (auto& row : rig.result.rows) row.checked = true;
    ASSERT_EQ(rig.Cure(), 1);
    EXPECT_FALSE(std::filesystem::exists(rig.image.Host("C:\\WINDOWS\\a.bin")));
    EXPECT_TRUE(std::filesystem::exists(rig.image.Host("C:\\other.bin")));
    EXPECT_TRUE(rig.ctx->db().DeepScanRecords.empty());  // freed after the pass
}

TEST(DeepScan, TellsHowFarTheWalkGotAndNamesLongPathsWhole) {
    ScanRig rig;
    for (int i = 0; i < 600; ++i) rig.image.File("C:\\many\\f" + std::to_string(i) + ".txt", "zz");
    // A fingerprinted file whose path is longer than the platform's 260-byte buffer.
    std::string deep = "C:\\deep";
    while (deep.size() < 300) deep += "\\folder";
    rig.image.File(deep + "\\spy.bin", "abc");
    rig.Setup("#NAME Nothing\nFile C:\\none.exe\n",
              "#NAME Spy\nabc|3|900150983CD24FB0D6963F7D28E17F72\n");
    ASSERT_EQ(rig.Scan(), 1);
    EXPECT_EQ(rig.observer.deepScan, (std::vector<std::uint64_t>{0, 256, 512}));
    ASSERT_EQ(rig.result.rows.size(), 1u);
    ASSERT_EQ(rig.ctx->report().found().Count(), 1);
    EXPECT_EQ(rig.ctx->report().found().At(0).text, deep + "\\spy.bin");
    // The cure removes the file the report names.
    rig.result.rows[0].checked = true;
    ASSERT_EQ(rig.Cure(), 1);
    EXPECT_FALSE(std::filesystem::exists(rig.image.Host(deep + "\\spy.bin")));
}

TEST(DeepScan, FileMd5) {
    test::PlatformRig rig;
    rig.image.File("C:\\empty.bin", "").File("C:\\abc.bin", "abc");
    auto& ctx = rig.Load();
    EXPECT_EQ(FileMd5(ctx, "C:\\empty.bin"), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileMd5(ctx, "c:\\ABC.BIN"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileMd5(ctx, "C:\\missing.bin"), "");
}

TEST(CureStart, NamesAndEndsTheProgramsThatWouldBeInTheWay) {
    test::PlatformRig rig;
    rig.image
        .Ini(
            "[process ie]\nimage=C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\n"
            "[process host]\nimage=C:\\WINDOWS\\system32\\rundll32.exe\n"
            "[process shell]\nimage=C:\\WINDOWS\\explorer.exe\n"
            "[window f]\nclass=CabinetWClass\nprocess=shell\n")
        .File("C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE")
        .File("C:\\WINDOWS\\system32\\rundll32.exe")
        .File("C:\\WINDOWS\\explorer.exe");
    auto& ctx = rig.Load();
    EXPECT_EQ(ProgramsToClose(ctx), "Windows 탐색기, Internet Explorer, RUNDLL32");
    CloseProgramsForCure(ctx);
    EXPECT_EQ(ProgramsToClose(ctx), "");
    ASSERT_EQ(ctx.machine().processes().List().size(), 1u);  // the shell stays
    EXPECT_EQ(WriteStartPage(ctx, "about:blank"), 1);
    std::string page;
    platform::ReadStringValue(ctx, machine::HKEY_CURRENT_USER,
                              "Software\\Microsoft\\Internet Explorer\\Main", "Start Page", page);
    EXPECT_EQ(page, "about:blank");
}

}  // namespace
}  // namespace veldan::engine
