// The found and failure lists, their trace lines and the report operations.

#include <gtest/gtest.h>

#include "platform/found_items.h"
#include "platform/reports.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using machine::HKEY_CURRENT_CONFIG;
using machine::HKEY_LOCAL_MACHINE;

CScanItem Item(std::int32_t status, std::int32_t type, std::string text) {
    CScanItem item;
    item.status = status;
    item.type = type;
    item.text = std::move(text);
    return item;
}

TEST(ScanItemTexts, LabelsNamesAndTraceLines) {
    const char* labels[] = {"키", "값", "데이터", "프로필", "파일", "폴더", "LSP"};
    const char* names[] = {"REGKEY", "REGVAL", "REGDAT", "PROSTR", "FILE", "DIR", "LSP"};
    for (int t = REGKEY; t <= LSP; ++t) {
        EXPECT_EQ(TypeLabel(t), labels[t - 1]);
        EXPECT_EQ(TypeName(t), names[t - 1]);
    }
    EXPECT_EQ(TypeLabel(0), "");
    EXPECT_EQ(TypeName(8), "");

    EXPECT_EQ(TraceLine(Item(SCAN, REGKEY, "HKLM\\X")), "SCAN.REGKEY HKLM\\X\n");
    EXPECT_EQ(TraceLine(Item(FAIL, FILE, "C:\\a.exe")), "FAIL.FILE   C:\\a.exe\n");
    EXPECT_EQ(TraceLine(Item(FAIL, DIR, "C:\\d")), "FAIL.DIR    C:\\d\n");
    EXPECT_EQ(TraceLine(Item(SCAN, LSP, "HKLM\\P")), "SCAN.LSP    HKLM\\P\n");
    EXPECT_EQ(TraceLine(Item(3, 9, "t")), "????.?????? t\n");
}

TEST(ScanItemList, DuplicatesIgnoreAsciiCaseAndTypeAndSurviveTruncation) {
    ScanItemList list;
    EXPECT_TRUE(list.Add(Item(SCAN, FILE, "C:\\WINDOWS\\x.exe")));
    EXPECT_FALSE(list.Add(Item(SCAN, DIR, "c:\\windows\\X.EXE")));
    // Only ASCII letters fold: "É" and "é" are different texts.
    EXPECT_TRUE(list.Add(Item(SCAN, FILE, "C:\\\xC3\x89")));
    EXPECT_TRUE(list.Add(Item(SCAN, FILE, "C:\\\xC3\xA9")));
    EXPECT_TRUE(list.Add(Item(SCAN, REGKEY, "HKLM\\가A")));
    EXPECT_FALSE(list.Add(Item(SCAN, REGKEY, "hklm\\가a")));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_TRUE(list.ContainsText("C:\\Windows\\X.exe"));

    list.Truncate(0);
    EXPECT_EQ(list.Count(), 4);
    list.Truncate(2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(1).text, "C:\\\xC3\x89");
    EXPECT_FALSE(list.ContainsText("hklm\\가a"));
    EXPECT_TRUE(list.Add(Item(SCAN, REGKEY, "hklm\\가a")));  // free again after truncation
    list.Truncate(99);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.Add(Item(SCAN, FILE, "C:\\WINDOWS\\x.exe")));
    list.Clear();
    EXPECT_FALSE(list.ContainsText("C:\\WINDOWS\\x.exe"));
}

TEST(ScanReport, FailuresAreTracedAndRolledBackByTypeAndText) {
    text::CaptureDebugSink debug;
    ScanReport report(debug);
    EXPECT_EQ(report.AddFoundItem(Item(SCAN, FILE, "C:\\f.exe")), 1);
    EXPECT_EQ(debug.Text(), "");  // found items are not traced
    EXPECT_EQ(report.AddFailedItem(Item(FAIL, FILE, "C:\\A.exe")), 1);
    EXPECT_EQ(report.AddFailedItem(Item(FAIL, DIR, "C:\\Dir")), 1);
    EXPECT_EQ(report.AddFailedItem(Item(FAIL, FILE, "c:\\a.EXE")), 0);
    EXPECT_EQ(debug.Text(), "FAIL.FILE   C:\\A.exe\nFAIL.DIR    C:\\Dir\n");

    debug.Clear();
    EXPECT_EQ(report.RollBack(DIR, "C:\\A.exe"), 0);  // same text, other type
    EXPECT_EQ(report.RollBackFile("c:\\a.exe"), 1);
    EXPECT_EQ(debug.Text(), "RollBack... FAIL.FILE   C:\\A.exe\n");
    ASSERT_EQ(report.failed().Count(), 1);
    EXPECT_EQ(report.failed().At(0).type, DIR);
    EXPECT_EQ(report.RollBackFile("C:\\A.exe"), 0);
    EXPECT_EQ(report.AddFailedItem(Item(FAIL, FILE, "C:\\A.exe")), 1);  // index rebuilt
    EXPECT_EQ(report.found().Count(), 1);

    report.ClearAll();
    EXPECT_EQ(report.found().Count() + report.failed().Count(), 0);
}

class Reports : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.image.File("C:\\Program Files\\Long Folder Name\\Some Program.exe")
            .Reg("a.reg",
                 "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n"
                 "\"Str\"=\"Some Data\"\r\n"
                 "\"Num\"=dword:00000005\r\n"
                 "\"Long\"=\"" +
                     std::string(300, 'x') + "\"\r\n");
        rig.Load();
    }
    ScanReport& report() { return rig.ctx->report(); }
    test::PlatformRig rig;
};

TEST_F(Reports, FilesAndFoldersCarryTheLongPath) {
    Context& ctx = *rig.ctx;
    std::string shortPath;
    ASSERT_EQ(ctx.files().GetShortPathName("C:\\Program Files\\Long Folder Name\\Some Program.exe",
                                           shortPath),
              machine::ERROR_SUCCESS);
    ASSERT_NE(shortPath.find('~'), std::string::npos);
    EXPECT_EQ(ReportFile(ctx, kFound, shortPath), 1);
    EXPECT_EQ(ReportFile(ctx, kFound, "c:\\program files\\long folder name\\SOME PROGRAM.EXE"), 0);
    EXPECT_EQ(report().found().At(0).text, "C:\\Program Files\\Long Folder Name\\Some Program.exe");
    EXPECT_EQ(report().found().At(0).type, FILE);
    EXPECT_EQ(ReportDir(ctx, kFound, "C:\\PROGRAM FILES"), 1);
#ifdef _WIN32
    // GetLongPathName of Windows keeps a long name in the case it was given.
    EXPECT_EQ(report().found().At(1).text, "C:\\PROGRAM FILES");
#else
    EXPECT_EQ(report().found().At(1).text, "C:\\Program Files");
#endif

    // A path longer than the platform's buffer is reported whole, never as "".
    std::string deep = "C:\\Deep";
    while (deep.size() < 300) deep += "\\folder";
    ASSERT_EQ(ctx.files().CreateDirectory("C:\\Deep"), machine::ERROR_SUCCESS);
    for (std::size_t at = deep.find('\\', 8); at != std::string::npos; at = deep.find('\\', at + 1))
        ASSERT_EQ(ctx.files().CreateDirectory(deep.substr(0, at)), machine::ERROR_SUCCESS);
    ASSERT_EQ(ctx.files().CreateDirectory(deep), machine::ERROR_SUCCESS);
    EXPECT_EQ(ReportDir(ctx, kFound, deep), 1);
    EXPECT_EQ(report().found().At(2).text, deep);

    EXPECT_EQ(ReportFile(ctx, kFailed, "C:\\missing.exe"),
              1);  // a path that is gone has no long form
    EXPECT_EQ(report().failed().At(0).text, "");
    EXPECT_EQ(rig.debug.Text(), "FAIL.FILE   \n");
}

TEST_F(Reports, ValuesBecomeDataOnlyWhenTheyAreShortStrings) {
    Context& ctx = *rig.ctx;
    EXPECT_EQ(ReportValue(ctx, kFound, HKEY_LOCAL_MACHINE, "Software\\T", "Str"), 1);
    EXPECT_EQ(ReportValue(ctx, kFound, HKEY_LOCAL_MACHINE, "Software\\T", "Num"), 1);
    EXPECT_EQ(ReportValue(ctx, kFound, HKEY_LOCAL_MACHINE, "Software\\T", "Long"), 1);
    EXPECT_EQ(ReportValue(ctx, kFound, HKEY_LOCAL_MACHINE, "Software\\T", "Gone"), 1);
    const auto& items = report().found().items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].type, REGDAT);
    EXPECT_EQ(items[0].text, "HKLM\\Software\\T \"Str\"=\"Some Data\"");
    EXPECT_EQ(items[0].hive, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(items[0].keyPath, "Software\\T");
    EXPECT_EQ(items[0].valueName, "Str");
    EXPECT_EQ(items[0].data, "Some Data");
    EXPECT_EQ(items[1].type, REGVAL);
    EXPECT_EQ(items[1].text, "HKLM\\Software\\T \"Num\"");
    EXPECT_EQ(items[1].data, "");
    EXPECT_EQ(items[2].type, REGVAL);
    EXPECT_EQ(items[3].type, REGVAL);

    EXPECT_EQ(ReportFoundLsp(ctx, HKEY_LOCAL_MACHINE, "Software\\P\\0001", "Bad LSP"), 1);
    EXPECT_EQ(report().found().At(4).text, "HKLM\\Software\\P\\0001");
    EXPECT_EQ(report().found().At(4).extra, "Bad LSP");
    EXPECT_EQ(report().found().At(4).type, LSP);
}

TEST_F(Reports, FailuresCarryOnlyTheirText) {
    Context& ctx = *rig.ctx;
    EXPECT_EQ(ReportData(ctx, kFailed, HKEY_LOCAL_MACHINE, "Software\\T", "", "v"), 1);
    EXPECT_EQ(ReportValue(ctx, kFailed, HKEY_LOCAL_MACHINE, "Software\\T", "Str"), 1);
    EXPECT_EQ(ReportKey(ctx, kFailed, HKEY_LOCAL_MACHINE, "Software\\T"), 1);
    const CScanItem& data = report().failed().At(0);
    EXPECT_EQ(data.text, "HKLM\\Software\\T \"\"=\"v\"");
    EXPECT_EQ(data.status, FAIL);
    EXPECT_EQ(data.hive, 0u);
    EXPECT_TRUE(data.keyPath.empty() && data.valueName.empty() && data.data.empty());
    EXPECT_EQ(rig.debug.Text(),
              "FAIL.REGDAT HKLM\\Software\\T \"\"=\"v\"\n"
              "FAIL.REGVAL HKLM\\Software\\T \"Str\"\n"
              "FAIL.REGKEY HKLM\\Software\\T\n");
}

TEST_F(Reports, ProfileStringsAndUnknownHives) {
    Context& ctx = *rig.ctx;
    EXPECT_EQ(ReportProfileString(ctx, kFound, "boot", "Shell", "explorer.exe", "System.ini"), 1);
    EXPECT_EQ(ReportProfileString(ctx, kFailed, "boot", "Shell", "explorer.exe", "System.ini"), 1);
    EXPECT_EQ(report().found().At(0).text, "System.ini [boot] \"Shell\"=\"explorer.exe\"");
    EXPECT_EQ(report().failed().At(0).text, "System.ini boot \"Shell\"=\"explorer.exe\"");

    rig.debug.Clear();
    EXPECT_EQ(ReportKey(ctx, kFound, HKEY_CURRENT_CONFIG, "Software"), 0);
    EXPECT_EQ(ReportValue(ctx, kFailed, HKEY_CURRENT_CONFIG, "Software", "x"), 0);
    EXPECT_EQ(report().found().Count(), 1);
    EXPECT_EQ(report().failed().Count(), 1);
    EXPECT_EQ(rig.debug.Text(), "HKEY2STR... -2147483643\nHKEY2STR... -2147483643\n");
}

}  // namespace
}  // namespace veldan::platform
