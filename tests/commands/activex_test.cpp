// The ActiveX and COM commands run from script lines, and the kill-bit and
// cookie-block primitives the immunization pages use.

#include "commands/activex.h"

#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "platform/folders.h"
#include "platform/muicache.h"
#include "platform/shortcuts.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using namespace machine;
using platform::Context;

const std::string kI = "{1A2B3C4D-0000-1111-2222-33334444ABCZ}";  // Z: any letter counts
const std::string kT = "{77777777-0000-1111-2222-333344445555}";
const std::string kA = "{AAAAAAAA-0000-1111-2222-333344445555}";
const std::string kCompat = std::string(kActiveXCompatibilityKey);
const std::string kHistory = std::string(kP3PHistoryKey);
const std::string kDu = std::string(kDistributionUnitsKey);
const std::string kServer = "C:\\WINDOWS\\system32\\bad.dll";
const std::string kModuleUsage = "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
const std::string kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kIE = "Software\\Microsoft\\Internet Explorer";
const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion";

class ActiveX : public testing::Test {
  protected:
    Context& Load() {
        Context& ctx = rig.Load();
        platform::InitFolderTable(ctx);
        return ctx;
    }
    void Key(HKEY h, const std::string& k) { ASSERT_EQ(rig.raw().CreateKey(h, k), ERROR_SUCCESS); }
    void Set(HKEY h, const std::string& k, const std::string& n, const RegValue& v) {
        Key(h, k);
        ASSERT_EQ(rig.raw().SetValue(h, k, n, v), ERROR_SUCCESS);
    }
    void Str(HKEY h, const std::string& k, const std::string& n, const std::string& s) {
        Set(h, k, n, RegValue::String(s));
    }
    bool Has(HKEY h, const std::string& k) { return rig.raw().OpenKey(h, k) == ERROR_SUCCESS; }
    bool HasValue(HKEY h, const std::string& k, const std::string& n) {
        RegValue v;
        return rig.raw().QueryValue(h, k, n, v) == ERROR_SUCCESS;
    }
    bool HasFile(const std::string& path) {
        std::uint32_t a = 0;
        return rig.ctx->files().GetAttributes(path, a) == ERROR_SUCCESS;
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const auto& item : rig.ctx->report().found().items()) out.push_back(item.text);
        return out;
    }
    std::vector<std::string> Launched() {
        return rig.machine->image().imageLauncher().requests();
    }
    // A class registered in all twelve places, its server file deleted.
    void RegisterEverywhere() {
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI, "", "Bad Bar");
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\AppID", "", kA);
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\InprocServer32", "", kServer);
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\ProgID", "", "Bad.Bar.1");
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\TypeLib", "", kT);
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\VersionIndependentProgID", "", "Bad.Bar");
        Key(HKEY_CLASSES_ROOT, kA);
        Str(HKEY_CLASSES_ROOT, "Bad.Bar.1\\CLSID", "", kI);
        Key(HKEY_CLASSES_ROOT, "TypeLib\\" + kT);
        Key(HKEY_CLASSES_ROOT, "Bad.Bar");
        Key(HKEY_LOCAL_MACHINE, kModuleUsage + "\\C:/WINDOWS/system32/bad.dll");
        Set(HKEY_LOCAL_MACHINE, kSharedDlls, kServer, RegValue::Dword(1));
        Key(HKEY_LOCAL_MACHINE, kDu + "\\" + kI);
        Key(HKEY_LOCAL_MACHINE, kCV + "\\Explorer\\Browser Helper Objects\\" + kI);
        Set(HKEY_LOCAL_MACHINE, kIE + "\\ToolBar", kI, RegValue::Dword(0));
        Set(HKEY_CURRENT_USER, kIE + "\\ToolBar\\ShellBrowser", kI, RegValue::Dword(0));
        Key(HKEY_LOCAL_MACHINE, kIE + "\\Explorer Bars\\" + kI);
        Str(HKEY_CURRENT_USER, kIE + "\\URLSearchHooks", kI, "");
        Str(HKEY_LOCAL_MACHINE, kCV + "\\Shell Extensions\\Approved", kI, "Bad");
        Str(HKEY_LOCAL_MACHINE, kCV + "\\Explorer\\ShellExecuteHooks", kI, "");
        Key(HKEY_LOCAL_MACHINE, kCV + "\\App Management\\ARPCache\\" + kI);
        Str(HKEY_CLASSES_ROOT, "PROTOCOLS\\Filter\\text/html", "CLSID", kI);
        Str(HKEY_CLASSES_ROOT, "PROTOCOLS\\Filter\\text/plain", "CLSID", kI);
        Str(HKEY_CLASSES_ROOT, "PROTOCOLS\\Filter\\text/plain", "other", "{keep}");
        Key(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Active Setup\\Installed Components\\" + kI);
        Str(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Active Setup\\ClsIdFeature", kI, "x");
    }
    test::PlatformRig rig;
};

TEST(ClsidText, ShapeOfAClassIdentifier) {
    EXPECT_TRUE(IsWellFormedClsid(kI));
    EXPECT_TRUE(IsWellFormedClsid("{zzzzzzzz-ZZZZ-0000-gggg-QQQQQQQQQQQQ}"));
    EXPECT_FALSE(IsWellFormedClsid(kI.substr(1, 36)));  // no braces
    EXPECT_FALSE(IsWellFormedClsid(kI + " "));          // something after "}"
    EXPECT_FALSE(IsWellFormedClsid("{1A2B3C4-D0000-1111-2222-33334444ABCZ}"));  // group lengths
    EXPECT_FALSE(IsWellFormedClsid("{1A2B3C4D-0000-1111-2222-33334444AB_Z}"));
    test::PlatformRig rig;
    Context& ctx = rig.Load();
    EXPECT_EQ(CheckClsid(ctx, kI), 1);
    EXPECT_EQ(rig.debug.Text(), "");
    EXPECT_EQ(CheckClsid(ctx, "{x}"), 0);
    EXPECT_EQ(rig.debug.Text(), "CLSID... {x}\n");
}

TEST_F(ActiveX, KillBitIsSetOnlyByTheExactFlag) {
    Context& ctx = Load();
    Set(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags", RegValue::Dword(0x400));
    EXPECT_EQ(QueryKillBit(ctx, kI), 1);
    Set(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags", RegValue::Dword(0x401));
    EXPECT_EQ(QueryKillBit(ctx, kI), 0);
    // Read as four bytes, whatever the type says.
    Set(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags",
        RegValue{REG_BINARY, std::string("\x00\x04\x00\x00", 4)});
    EXPECT_EQ(QueryKillBit(ctx, kI), 1);
    Set(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags",
        RegValue{REG_BINARY, std::string("\x00\x04\x00\x00\x00", 5)});
    EXPECT_EQ(QueryKillBit(ctx, kI), 0);
    EXPECT_EQ(rig.debug.Text(), "");
    EXPECT_EQ(QueryKillBit(ctx, "{bad}"), 0);
    EXPECT_EQ(rig.debug.Text(), "CLSID... {bad}\n");
}

TEST_F(ActiveX, SetKillBitNeedsTheCompatibilityKeyAndDeleteRemovesTheWholeKey) {
    Context& ctx = Load();
    EXPECT_EQ(SetKillBit(ctx, kI, true), 0);
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat));  // not created

    Key(HKEY_LOCAL_MACHINE, kCompat);
    EXPECT_EQ(SetKillBit(ctx, kI, true), 1);
    RegValue v;
    ASSERT_EQ(
        rig.raw().QueryValue(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags", v),
        ERROR_SUCCESS);
    EXPECT_EQ(v, RegValue::Dword(0x400));
    EXPECT_EQ(QueryKillBit(ctx, kI), 1);

    EXPECT_EQ(SetKillBit(ctx, kI, false), 1);  // the key stays with the value 0
    ASSERT_EQ(
        rig.raw().QueryValue(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI, "Compatibility Flags", v),
        ERROR_SUCCESS);
    EXPECT_EQ(v, RegValue::Dword(0));
    EXPECT_EQ(QueryKillBit(ctx, kI), 0);

    Key(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI + "\\Sub");
    EXPECT_EQ(DeleteKillBit(ctx, kI), 1);
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat + "\\" + kI));
    EXPECT_TRUE(Has(HKEY_LOCAL_MACHINE, kCompat));
    EXPECT_EQ(DeleteKillBit(ctx, kI), 0);  // nothing left to delete

    rig.faults().ClearCalls();
    EXPECT_EQ(SetKillBit(ctx, "{bad}", true), 0);
    EXPECT_EQ(DeleteKillBit(ctx, "{bad}"), 0);
    EXPECT_TRUE(rig.faults().calls().empty());
    EXPECT_EQ(rig.debug.Text(), "CLSID... {bad}\nCLSID... {bad}\n");

    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "SetValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(SetKillBit(ctx, kI, true), 0);
    EXPECT_EQ(ctx.report().failed().Count(), 0);  // not a cure failure
}

TEST_F(ActiveX, CookieBlockIsTheDwordFiveOfTheDomainKey) {
    Context& ctx = Load();
    EXPECT_EQ(QueryCookieBlock(ctx, "ads.test"), 0);
    EXPECT_EQ(SetCookieBlock(ctx, "ads.test", true), 1);  // History is created as needed
    RegValue v;
    ASSERT_EQ(rig.raw().QueryValue(HKEY_CURRENT_USER, kHistory + "\\ads.test", "", v),
              ERROR_SUCCESS);
    EXPECT_EQ(v, RegValue::Dword(5));
    EXPECT_EQ(QueryCookieBlock(ctx, "ADS.test"), 1);

    Set(HKEY_CURRENT_USER, kHistory + "\\str.test", "", RegValue::String("5"));
    Set(HKEY_CURRENT_USER, kHistory + "\\allow.test", "", RegValue::Dword(1));
    EXPECT_EQ(QueryCookieBlock(ctx, "str.test"), 0);
    EXPECT_EQ(QueryCookieBlock(ctx, "allow.test"), 0);

    EXPECT_EQ(SetCookieBlock(ctx, "ads.test", false), 1);
    EXPECT_FALSE(Has(HKEY_CURRENT_USER, kHistory + "\\ads.test"));
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kHistory + "\\allow.test"));
    // A domain that names no key of its own must not take the history with it.
    EXPECT_EQ(SetCookieBlock(ctx, "\\", false), 0);
    EXPECT_EQ(SetCookieBlock(ctx, "\\\\", true), 0);
    EXPECT_TRUE(Has(HKEY_CURRENT_USER, kHistory + "\\allow.test"));
}

TEST_F(ActiveX, ClsidScanFollowsTheTwelvePlacesInOrder) {
    rig.image.File("C:\\WINDOWS\\system32\\keep.dll");
    Context& ctx = Load();
    RegisterEverywhere();
    Str(HKEY_CURRENT_USER, platform::kMuiCacheKey.data(), kServer, "Bad");
    platform::BuildMuiCacheList(ctx);

    ASSERT_EQ(engine::RunScriptLine(ctx, "CLSID " + kI + " ", Mode::Scan), 1);
    const std::string hklmCV = "HKLM\\" + kCV;
    EXPECT_EQ(Found(),
              (std::vector<std::string>{
                  "HKCR\\CLSID\\" + kI,
                  "HKCR\\" + kA,
                  // The server file is gone; its usage traces are still looked up.
                  hklmCV + "\\ModuleUsage\\C:/WINDOWS/system32/bad.dll",
                  hklmCV + "\\SharedDLLs \"" + kServer + "\"",
                  "HKCU\\" + std::string(platform::kMuiCacheKey) + " \"" + kServer + "\"=\"Bad\"",
                  "HKCR\\Bad.Bar.1",
                  "HKCR\\TypeLib\\" + kT,
                  "HKCR\\Bad.Bar",
                  "HKLM\\" + kDu + "\\" + kI,
                  hklmCV + "\\Explorer\\Browser Helper Objects\\" + kI,
                  "HKLM\\" + kIE + "\\ToolBar \"" + kI + "\"",
                  "HKCU\\" + kIE + "\\ToolBar\\ShellBrowser \"" + kI + "\"",
                  "HKLM\\" + kIE + "\\Explorer Bars\\" + kI,
                  "HKCU\\" + kIE + "\\URLSearchHooks \"" + kI + "\"=\"\"",
                  hklmCV + "\\Shell Extensions\\Approved \"" + kI + "\"=\"Bad\"",
                  hklmCV + "\\Explorer\\ShellExecuteHooks \"" + kI + "\"=\"\"",
                  hklmCV + "\\App Management\\ARPCache\\" + kI,
                  "HKCR\\PROTOCOLS\\Filter\\text/html \"CLSID\"=\"" + kI + "\"",
                  "HKCR\\PROTOCOLS\\Filter\\text/plain \"CLSID\"=\"" + kI + "\"",
                  "HKLM\\Software\\Microsoft\\Active Setup\\Installed Components\\" + kI,
                  "HKLM\\Software\\Microsoft\\Active Setup\\ClsIdFeature \"" + kI + "\"=\"x\"",
              }));
    // A second run finds only duplicates; a malformed identifier looks nowhere.
    EXPECT_EQ(engine::RunScriptLine(ctx, "CLSID " + kI + " ", Mode::Scan), 0);
    rig.faults().ClearCalls();
    EXPECT_EQ(engine::ExecFunc(ctx, "CLSID", {"{nope}"}, Mode::Scan), 0);
    EXPECT_TRUE(rig.faults().calls().empty());
    EXPECT_TRUE(rig.debug.Contains("CLSID... {nope}\n"));
}

TEST_F(ActiveX, ClsidCureRemovesEveryPlaceButNoSharedKey) {
    Context& ctx = Load();
    RegisterEverywhere();
    ASSERT_EQ(engine::RunScriptLine(ctx, "CLSID " + kI + " ", Mode::Cure), 1);
    for (const std::string& k :
         {"CLSID\\" + kI, kA, std::string("Bad.Bar.1"), "TypeLib\\" + kT, std::string("Bad.Bar"),
          std::string("PROTOCOLS\\Filter\\text/html")}) {
        EXPECT_FALSE(Has(HKEY_CLASSES_ROOT, k)) << k;
    }
    for (const std::string& k :
         {kDu + "\\" + kI, kCV + "\\Explorer\\Browser Helper Objects\\" + kI,
          kIE + "\\Explorer Bars\\" + kI, kCV + "\\App Management\\ARPCache\\" + kI,
          kModuleUsage + "\\C:/WINDOWS/system32/bad.dll",
          "Software\\Microsoft\\Active Setup\\Installed Components\\" + kI}) {
        EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, k)) << k;
    }
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kIE + "\\ToolBar", kI));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kIE + "\\ToolBar\\ShellBrowser", kI));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kIE + "\\URLSearchHooks", kI));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kCV + "\\Shell Extensions\\Approved", kI));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kSharedDlls, kServer));
    // The text/plain filter still serves another class: its key stays.
    EXPECT_TRUE(HasValue(HKEY_CLASSES_ROOT, "PROTOCOLS\\Filter\\text/plain", "other"));
    EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

TEST_F(ActiveX, RegistrationDataNamesOnlyKeysOfTheClass) {
    Context& ctx = Load();
    Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\ProgID", "", "CLSID");
    Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\VersionIndependentProgID", "", "Shell.Good");
    Str(HKEY_CLASSES_ROOT, "CLSID\\" + kI + "\\TypeLib", "", "\\");
    Str(HKEY_CLASSES_ROOT, "Shell.Good\\CLSID", "", kT);  // another class's ProgID
    Key(HKEY_CLASSES_ROOT, "CLSID\\" + kT);
    Key(HKEY_CLASSES_ROOT, "TypeLib\\" + kA);

    ASSERT_EQ(engine::RunScriptLine(ctx, "CLSID " + kI + " ", Mode::Scan), 1);
    EXPECT_EQ(Found(), std::vector<std::string>{"HKCR\\CLSID\\" + kI});
    engine::RunScriptLine(ctx, "CLSID " + kI + " ", Mode::Cure);
    EXPECT_FALSE(Has(HKEY_CLASSES_ROOT, "CLSID\\" + kI));
    EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "CLSID\\" + kT));
    EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "Shell.Good"));
    EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "TypeLib\\" + kA));
    EXPECT_TRUE(rig.debug.Contains("ComObject... not a class key... CLSID\n"));
    EXPECT_TRUE(rig.debug.Contains("ComObject... not a class key... Shell.Good\n"));
}

TEST_F(ActiveX, AppIdNamesItsKeyInEitherFormButNoSharedKey) {
    Context& ctx = Load();
    // The registration's AppID text and the key it names ("" when none), with
    // @ standing for the case's own application identifier.
    const std::pair<std::string, std::string> cases[] = {
        {"AppID\\@", "AppID\\@"}, {"appid\\@", "appid\\@"}, {"@", "@"},
        {"AppID", ""},              {"AppID\\", ""},            {"AppID\\@\\..", ""},
        {"CLSID", ""},
    };
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const auto& [pattern, named] = cases[i];
        SCOPED_TRACE(pattern);
        const std::string clsid = text::Format("{1A2B3C4D-0000-1111-2222-%012d}", i);
        const std::string app = text::Format("{AAAAAAAA-0000-1111-2222-%012d}", i);
        auto fill = [&](std::string s) {
            const auto at = s.find('@');
            return at == std::string::npos ? s : s.replace(at, 1, app);
        };
        Str(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\AppID", "", fill(pattern));
        Key(HKEY_CLASSES_ROOT, "AppID\\" + app);
        Key(HKEY_CLASSES_ROOT, app);
        ctx.report().ClearAll();
        ASSERT_EQ(engine::RunScriptLine(ctx, "CLSID " + clsid + " ", Mode::Scan), 1);
        std::vector<std::string> expected{"HKCR\\CLSID\\" + clsid};
        if (!named.empty()) expected.push_back("HKCR\\" + fill(named));
        EXPECT_EQ(Found(), expected);
        engine::RunScriptLine(ctx, "CLSID " + clsid + " ", Mode::Cure);
        EXPECT_EQ(Has(HKEY_CLASSES_ROOT, "AppID\\" + app),
                  !text::EqualsNoCase(named, "AppID\\@"));
        EXPECT_EQ(Has(HKEY_CLASSES_ROOT, app), named != "@");
        EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "AppID"));
        EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "CLSID"));
    }
}

TEST_F(ActiveX, ClsidOnlyTakesAnyTextButNeverTheClassRoot) {
    Context& ctx = Load();
    Key(HKEY_CLASSES_ROOT, "CLSID\\{short}");
    Key(HKEY_CLASSES_ROOT, "CLSID\\" + kT);
    EXPECT_EQ(engine::ExecFunc(ctx, "CLSIDOnly", {"{short}"}, Mode::Scan), 1);
    EXPECT_EQ(Found(), std::vector<std::string>{"HKCR\\CLSID\\{short}"});
    EXPECT_EQ(engine::ExecFunc(ctx, "CLSIDOnly", {"\\"}, Mode::Scan), 0);
    EXPECT_EQ(engine::ExecFunc(ctx, "CLSIDOnly", {"\\"}, Mode::Cure), 0);
    EXPECT_EQ(engine::ExecFunc(ctx, "CLSIDOnly", {"{short}"}, Mode::Cure), 1);
    EXPECT_FALSE(Has(HKEY_CLASSES_ROOT, "CLSID\\{short}"));
    EXPECT_TRUE(Has(HKEY_CLASSES_ROOT, "CLSID\\" + kT));
}

TEST_F(ActiveX, AxCureRemovesControlClassAndSetupFilesWithoutAControlCache) {
    const std::string ocx = "C:\\WINDOWS\\Downloaded Program Files\\bad.ocx";
    const std::string inf = "C:\\WINDOWS\\Downloaded Program Files\\bad.inf";
    const std::string other = "C:\\WINDOWS\\system32\\msvcrt.dll";
    rig.image.File(ocx).File(inf).File(other).File("C:\\setup.INF");
    Context& ctx = Load();
    Key(HKEY_CLASSES_ROOT, "CLSID\\" + kI);
    Set(HKEY_LOCAL_MACHINE, kDu + "\\" + kI + "\\Contains\\Files", other, RegValue::String(""));
    Set(HKEY_LOCAL_MACHINE, kDu + "\\" + kI + "\\Contains\\Files", inf, RegValue::String(""));
    Str(HKEY_LOCAL_MACHINE, kDu + "\\" + kI + "\\DownloadInformation", "INF", "C:\\setup.INF");
    // The listed files come in the order of the values; Wine keeps them in name order.
    EXPECT_EQ(ReadDownloadCacheFiles(ctx, kI),
              (test::OnWine() ? std::vector<std::string>{inf, other, "C:\\setup.INF"}
                              : std::vector<std::string>{other, inf, "C:\\setup.INF"}));

    EXPECT_EQ(engine::ExecFunc(ctx, "Ax", {ocx, kI}, Mode::Cure), 1);
    EXPECT_FALSE(HasFile(ocx));
    EXPECT_FALSE(HasFile(inf));
    EXPECT_FALSE(HasFile("C:\\setup.INF"));
    EXPECT_TRUE(HasFile(other));  // named by the record, but not a setup file
    EXPECT_FALSE(Has(HKEY_CLASSES_ROOT, "CLSID\\" + kI));
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kDu + "\\" + kI));
}

TEST_F(ActiveX, AllAxSearchesItsFoldersInOrderAndRecordsTheClassOnce) {
    for (const char* f : {"C:\\AX", "C:\\W", "C:\\S1", "C:\\S3", "C:\\T2"}) {
        rig.image.File(std::string(f) + "\\bad.ocx");
    }
    rig.image.File("C:\\bad.ocx");
    Context& ctx = Load();
    platform::FolderTable& t = ctx.folders();
    t.AXCACHEDIR = "C:\\AX", t.WINDIR = "C:\\W", t.SYSDIR = "C:\\S1", t.SYSTEMDIR = "C:\\S2";
    t.SYSTEM32DIR = "C:\\S3", t.TEMPDIR = "", t.WINTEMPDIR = "C:\\T2";
    Key(HKEY_CLASSES_ROOT, "CLSID\\" + kI);

    ASSERT_EQ(engine::RunScriptLine(ctx, "AllAx bad.ocx " + kI + " ", Mode::Scan), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{"C:\\AX\\bad.ocx", "HKCR\\CLSID\\" + kI, "C:\\W\\bad.ocx",
                                        "C:\\S1\\bad.ocx", "C:\\S3\\bad.ocx", "C:\\T2\\bad.ocx",
                                        "C:\\bad.ocx"}));
    EXPECT_EQ(engine::RunScriptLine(ctx, "AllAx bad.ocx " + kI + " ", Mode::Cure), 1);
    for (const char* f : {"C:\\AX", "C:\\W", "C:\\S1", "C:\\S3", "C:\\T2", "C:"}) {
        EXPECT_FALSE(HasFile(std::string(f) + "\\bad.ocx")) << f;
    }
}

TEST_F(ActiveX, RegistrationToolRunsOnlyOnMatchingFilesAndTheFileStays) {
    const std::string appData = "C:\\Documents and Settings\\Owner\\Application Data";
    rig.image.File(appData + "\\hook.dll").File("C:\\x\\reg.ocx", "1234");
    Context& ctx = Load();
    const std::string sys = ctx.folders().SYSDIR;
    Key(HKEY_LOCAL_MACHINE, kModuleUsage + "\\" +
                                "C:/Documents and Settings/Owner/Application "
                                "Data/hook.dll");
    Set(HKEY_LOCAL_MACHINE, kSharedDlls, appData + "\\hook.dll", RegValue::Dword(1));

    EXPECT_EQ(engine::ExecFunc(ctx, "RegAx", {"C:\\x\\reg.ocx|5"}, Mode::Cure), 0);  // wrong size
    EXPECT_TRUE(Launched().empty());
    EXPECT_EQ(engine::ExecFunc(ctx, "RegAx", {"C:\\x\\reg.ocx|4"}, Mode::Cure),
              0);  // cannot run here
    EXPECT_EQ(engine::ExecFunc(ctx, "RegAx", {"C:\\x\\reg.ocx"}, Mode::Scan), 0);  // cure only
    EXPECT_TRUE(rig.debug.Contains("CreateProcess() error... "));

    EXPECT_EQ(engine::ExecFunc(ctx, "UnregFromAppData", {"hook.dll"}, Mode::Scan), 1);
    EXPECT_EQ(engine::ExecFunc(ctx, "UnregFromAppData", {"hook.dll"}, Mode::Cure), 1);
    EXPECT_EQ(Launched(), (std::vector<std::string>{
                              sys + "\\regsvr32.exe /s \"C:\\x\\reg.ocx\"",
                              sys + "\\regsvr32.exe /u /s \"" + appData + "\\hook.dll\""}));
    EXPECT_TRUE(HasFile(appData + "\\hook.dll"));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kSharedDlls, appData + "\\hook.dll"));
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE,
                     kModuleUsage + "\\C:/Documents and Settings/Owner/Application Data/hook.dll"));
}

TEST_F(ActiveX, TypeCommandsTakeTheCompanionSetupFileAndTheirOwnPlaces) {
    EXPECT_EQ(CompanionInfName("bad.ocx|1234"), "bad.inf");
    EXPECT_EQ(CompanionInfName("\xED\x95\x9C\xEA\xB8\x80xyz"), "\xED\x95\x9C\xEA\xB8\x80inf");
    EXPECT_EQ(CompanionInfName("ab"), "");

    const std::string cache = "C:\\WINDOWS\\Downloaded Program Files";
    rig.image.File(cache + "\\bad.ocx").File(cache + "\\bad.inf");
    rig.image.File("C:\\Documents and Settings\\Owner\\Favorites\\Bad.url",
                   "[InternetShortcut]\r\nURL=http://bad.test/\r\n");
    rig.image.Folder("C:\\WINDOWS\\BadDir");
    Context& ctx = Load();
    platform::BuildShortcutCaches(ctx);
    Key(HKEY_LOCAL_MACHINE, kCV + "\\Uninstall\\" + kI);

    ASSERT_EQ(engine::RunScriptLine(ctx, "DType bad.ocx " + kI + " bad.test ", Mode::Scan), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{cache + "\\bad.ocx",
                                        "C:\\Documents and Settings\\Owner\\Favorites\\Bad.url",
                                        cache + "\\bad.inf"}));
    ctx.report().ClearAll();
    ASSERT_EQ(engine::RunScriptLine(ctx, "SType bad.ocx " + kI + " ", Mode::Scan), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{cache + "\\bad.ocx", "HKLM\\" + kCV + "\\Uninstall\\" + kI,
                                        cache + "\\bad.inf"}));
    ctx.report().ClearAll();
    ASSERT_EQ(engine::RunScriptLine(ctx, "WType bad.ocx " + kI + " none.test BadDir ", Mode::Scan),
              1);
    EXPECT_EQ(Found(), (std::vector<std::string>{cache + "\\bad.ocx", "C:\\WINDOWS\\BadDir",
                                                 cache + "\\bad.inf"}));

    ASSERT_EQ(engine::RunScriptLine(ctx, "WType bad.ocx " + kI + " bad.test BadDir ", Mode::Cure),
              1);
    EXPECT_FALSE(HasFile(cache + "\\bad.ocx"));
    EXPECT_FALSE(HasFile(cache + "\\bad.inf"));
    EXPECT_FALSE(HasFile("C:\\Documents and Settings\\Owner\\Favorites\\Bad.url"));
    EXPECT_FALSE(HasFile("C:\\WINDOWS\\BadDir"));
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

}  // namespace
}  // namespace veldan::commands
