// The start-up entry commands as the dispatcher runs them, in scan and cure
// mode: which places each searches, in which order, what it records and what
// the machine holds after the cure. Also LSPFix from a script line.

#include "commands/startup.h"

#include <gtest/gtest.h>

#include <optional>

#include "engine/dispatch.h"
#include "platform/folders.h"
#include "platform/muicache.h"
#include "platform/winsock.h"
#include "support/lnk_writer.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using namespace machine;
using platform::CScanItem;
using Texts = std::vector<std::string>;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kHklmRun = "HKLM\\" + kRun;
const std::string kHkcuRun = "HKCU\\" + kRun;
const std::string kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::string kNtWindows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kExeOpen = "exefile\\shell\\open\\command";

class Startup : public ::testing::Test {
  protected:
    // Loads the image with the .reg text and machine.ini; the folder table and
    // the MUICache list are filled as at scan start.
    platform::Context& Load(std::string_view reg = "", std::string_view ini = "") {
        if (!reg.empty()) rig.image.Reg("a.reg", reg);
        if (!ini.empty()) rig.image.Ini(ini);
        platform::Context& ctx = rig.Load();
        test::CreateShellFolders(*rig.machine);
        platform::InitFolderTable(ctx);
        platform::BuildMuiCacheList(ctx);
        return ctx;
    }
    platform::Context& ctx() { return *rig.ctx; }
    int Scan(std::string_view word, std::vector<std::string> params = {}) {
        return engine::ExecFunc(ctx(), word, params, Mode::Scan);
    }
    int Cure(std::string_view word, std::vector<std::string> params = {}) {
        return engine::ExecFunc(ctx(), word, params, Mode::Cure);
    }
    Texts Found() {
        Texts out;
        for (const CScanItem& i : ctx().report().found().items()) out.push_back(i.text);
        return out;
    }
    Texts Failed() {
        Texts out;
        for (const CScanItem& i : ctx().report().failed().items()) out.push_back(i.text);
        return out;
    }
    bool Exists(std::string_view path) {
        std::uint32_t a = 0;
        return ctx().files().GetAttributes(path, a) == ERROR_SUCCESS;
    }
    // A string value's text; nullopt when it is absent.
    std::optional<std::string> Str(HKEY hive, std::string_view key, std::string_view name) {
        RegValue v;
        if (rig.raw().QueryValue(hive, key, name, v) != ERROR_SUCCESS) return std::nullopt;
        return v.AsString();
    }
    std::uint32_t Type(HKEY hive, std::string_view key, std::string_view name) {
        RegValue v;
        EXPECT_EQ(rig.raw().QueryValue(hive, key, name, v), ERROR_SUCCESS) << name;
        return v.type;
    }
    // A Win.ini / System.ini value; "<none>" when it is missing.
    std::string Ini(std::string_view file, std::string_view section, std::string_view key) {
        return ctx().machine().profiles().GetString(section, key, "<none>", file);
    }
    // A shell link in `folder` pointing at `target`; its path.
    std::string Link(std::string_view folder, std::string_view name, std::string_view target) {
        test::LnkSpec link;
        link.target = std::string(target);
        const std::string path = std::string(folder) + "\\" + std::string(name);
        EXPECT_EQ(ctx().files().WriteFile(path, test::MakeShellLink(link)), ERROR_SUCCESS);
        return path;
    }
    const platform::FolderTable& folders() { return ctx().folders(); }

    test::PlatformRig rig;
};

// ---- RunValue and RunValueB

TEST_F(Startup, RunValueLooksInEveryRunKeyAndBothStartupFolders) {
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Evil"="C:\\WINDOWS\\evil.exe"
"Other"="C:\\WINDOWS\\other.exe"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnceEx]
"evil"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunServicesOnce]
"Evil"="x"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunOnceEx]
"Evil"="not a user key"
)");
    const std::string user = Link(folders().STARTUPDIR, "Evil.lnk", "C:\\WINDOWS\\evil.exe");
    const std::string common = Link(folders().CMNSTARTUPDIR, "evil.lnk", "C:\\WINDOWS\\evil.exe");

    EXPECT_EQ(engine::RunScriptLine(ctx(), "RunValue Evil ", Mode::Scan), 1);
    EXPECT_EQ(Found(),
              (Texts{kHklmRun + " \"Evil\"=\"C:\\WINDOWS\\evil.exe\"", kHklmRun + "OnceEx \"Evil\"",
                     kHkcuRun + "ServicesOnce \"Evil\"=\"x\"", user, common}));
    EXPECT_EQ(Scan("RunValue", {"Nothing"}), 0);

    EXPECT_EQ(engine::RunScriptLine(ctx(), "RunValue Evil ", Mode::Cure), 1);
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, "Evil"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun + "OnceEx", "Evil"));
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun + "ServicesOnce", "Evil"));
    EXPECT_TRUE(Str(HKEY_CURRENT_USER, kRun + "OnceEx", "Evil"));
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, "Other"));
    EXPECT_FALSE(Exists(user));
    EXPECT_FALSE(Exists(common));
    EXPECT_EQ(Failed(), Texts{});
}

TEST_F(Startup, RunValueBFollowsOnePathToItsFile) {
    rig.image.File("C:\\WINDOWS\\evil.exe", "MZ");
    rig.image.File("C:\\Tools\\tool.exe", "MZ");
    rig.image.File("C:\\Quoted\\q.exe", "MZ");
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Evil"="%SystemRoot%\\evil.exe"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"Evil"="C:\\Tools\\tool.exe /silent"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunOnce]
"Evil"="\"C:\\Quoted\\q.exe\""
)",
         "[process evil]\nimage=C:\\WINDOWS\\evil.exe\n");

    EXPECT_EQ(Scan("RunValueB", {"Evil"}), 1);
    EXPECT_EQ(Found(),
              (Texts{kHklmRun + " \"Evil\"=\"%SystemRoot%\\evil.exe\"", "C:\\WINDOWS\\evil.exe",
                     kHkcuRun + " \"Evil\"=\"C:\\Tools\\tool.exe /silent\"",
                     kHkcuRun + "Once \"Evil\"=\"\"C:\\Quoted\\q.exe\"\"", "C:\\Quoted\\q.exe"}));
    // Values already recorded are not followed again.
    EXPECT_EQ(Scan("RunValueB", {"Evil"}), 0);

    EXPECT_EQ(Cure("RunValueB", {"Evil"}), 1);
    EXPECT_TRUE(text::ContainsNoCase(rig.debug.Text(), "Kill... C:\\WINDOWS\\evil.exe\n"))
        << rig.debug.Text();
    EXPECT_TRUE(ctx().machine().processes().List().empty());
    EXPECT_FALSE(Exists("C:\\WINDOWS\\evil.exe"));
    EXPECT_FALSE(Exists("C:\\Quoted\\q.exe"));
    EXPECT_TRUE(Exists("C:\\Tools\\tool.exe"));  // data with a switch is not one path
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, "Evil"));
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun, "Evil"));
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun + "Once", "Evil"));
    EXPECT_EQ(Failed(), Texts{});
}

// ---- RunValueByData

const char kByDataReg[] = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Good"="C:\\WINDOWS\\system32\\ctfmon.exe"
"Bad"="C:\\WINDOWS\\EvilBar.exe /start"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunServicesOnce]
"Bad2"="c:\\windows\\evilbar.exe"
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunOnceEx]
"Skip"="evilbar.exe"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Winlogon]
"Userinit"="C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\evilbar.exe"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Windows]
"AppInit_DLLs"="evilbar.dll"
"Run"=""
"Load"="evilbar.exe"
[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows]
"Run"="C:\\other.exe"
[HKEY_LOCAL_MACHINE\Software\Classes\exefile\shell\open\command]
@="evilbar.exe \"%1\" %*"
)";

class ByData : public Startup {
  protected:
    void SetUp() override {
        rig.image.File("C:\\WINDOWS\\win.ini",
                       "[windows]\r\nrun=hpfsched\r\nload= EvilBar.exe \r\ndevice=printer\r\n"
                       "[winnt]\r\nopen=x.exe\r\n");
        rig.image.File("C:\\WINDOWS\\system.ini", "[boot]\r\nshell=Explorer.exe evilbar.exe\r\n");
        Load(kByDataReg);
        a = Link(folders().STARTUPDIR, "a.lnk", "C:\\WINDOWS\\evilbar.exe");
        b = Link(folders().STARTUPDIR, "b.lnk", "C:\\WINDOWS\\EVILBAR.EXE");
        c = Link(folders().CMNSTARTUPDIR, "c.lnk", "C:\\WINDOWS\\notepad.exe");
        d = Link(folders().CMNSTARTUPDIR, "d.lnk", "C:\\WINDOWS\\evilbar.exe");
    }
    std::string a, b, c, d;
};

TEST_F(ByData, ScanRecordsEveryStartupPlaceInOrder) {
    EXPECT_EQ(Scan("RunValueByData", {"EVILBAR"}), 1);
    EXPECT_EQ(
        Found(),
        (Texts{
            kHklmRun + " \"Bad\"=\"C:\\WINDOWS\\EvilBar.exe /start\"",
            kHkcuRun + "ServicesOnce \"Bad2\"=\"c:\\windows\\evilbar.exe\"",
            "Win.ini [windows] \"load\"=\"EvilBar.exe\"",
            "System.ini [boot] \"Shell\"=\"Explorer.exe evilbar.exe\"",
            "HKLM\\" + kWinlogon +
                " \"Userinit\"=\"C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\evilbar.exe\"",
            "HKLM\\" + kNtWindows + " \"AppInit_DLLs\"=\"evilbar.dll\"",
            "HKLM\\" + kNtWindows + " \"Load\"=\"evilbar.exe\"",
            "HKCR\\" + kExeOpen + " \"\"=\"evilbar.exe \"%1\" %*\"",
            a,  // the walk of a folder stops at its first new match
            d,
        }));
    // The second link of the user's folder is met once the first is recorded.
    EXPECT_EQ(Scan("RunValueByData", {"evilbar"}), 1);
    EXPECT_EQ(Found().back(), b);
    EXPECT_EQ(Scan("RunValueByData", {"evilbar"}), 0);
}

TEST_F(ByData, CureRepairsEveryStartupPlace) {
    EXPECT_EQ(Cure("RunValueByData", {"EvilBar"}), 1);
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, "Good"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, "Bad"));
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun + "ServicesOnce", "Bad2"));
    EXPECT_TRUE(Str(HKEY_CURRENT_USER, kRun + "OnceEx", "Skip"));
    // All five Win.ini entries go, the harmless ones too; others stay.
    for (auto [section, key] :
         {std::pair{"windows", "run"}, std::pair{"windows", "load"}, std::pair{"winnt", "open"}}) {
        EXPECT_EQ(Ini("Win.ini", section, key), "<none>") << section << " " << key;
    }
    EXPECT_EQ(Ini("Win.ini", "windows", "device"), "printer");
    EXPECT_EQ(Ini("System.ini", "boot", "Shell"), "Explorer.exe");
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"),
              "C:\\WINDOWS\\system32\\userinit.exe,");
    EXPECT_EQ(Type(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"), REG_SZ);
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kNtWindows, "AppInit_DLLs"), "");
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(Str(hive, kNtWindows, "Run"));
        EXPECT_FALSE(Str(hive, kNtWindows, "Load"));
    }
    EXPECT_EQ(Str(HKEY_CLASSES_ROOT, kExeOpen, ""), "\"%1\" %*");
    EXPECT_FALSE(Exists(a));
    EXPECT_FALSE(Exists(b));
    EXPECT_TRUE(Exists(c));
    EXPECT_FALSE(Exists(d));
    EXPECT_EQ(Failed(), Texts{});
}

TEST_F(ByData, EmptyTextFindsAndChangesNothing) {
    EXPECT_EQ(engine::RunScriptLine(ctx(), "RunValueByData \"\" ", Mode::Scan), 0);
    EXPECT_EQ(Found(), Texts{});
    EXPECT_EQ(engine::RunScriptLine(ctx(), "RunValueByData \"\" ", Mode::Cure), 0);
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, "Good"));
    EXPECT_EQ(Ini("Win.ini", "windows", "run"), "hpfsched");
    EXPECT_TRUE(Exists(c));
    EXPECT_EQ(Str(HKEY_CLASSES_ROOT, kExeOpen, ""), "evilbar.exe \"%1\" %*");
}

TEST_F(ByData, FailedUserinitWriteIsReportedAsData) {
    rig.faults().hook = [](const test::RegCall& call) {
        return call.op == "SetValue" && call.name == "Userinit" ? ERROR_ACCESS_DENIED
                                                                : ERROR_SUCCESS;
    };
    Cure("RunValueByData", {"evilbar"});
    ASSERT_EQ(Failed(), (Texts{"HKLM\\" + kWinlogon +
                               " \"Userinit\"=\"C:\\WINDOWS\\system32\\userinit.exe,\""}));
    EXPECT_EQ(ctx().report().failed().At(0).type, platform::REGDAT);
    EXPECT_EQ(Str(HKEY_CLASSES_ROOT, kExeOpen, ""), "\"%1\" %*");  // the others still ran
}

// ---- the FileFrom..._ variants

TEST_F(Startup, FileFromWinSearchesTheFolderAndTheStartupPlaces) {
    rig.image.File("C:\\WINDOWS\\evil.exe", "abc");
    Load(R"(
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"X"="C:\\WINDOWS\\evil.exe"
)");
    EXPECT_EQ(engine::RunScriptLine(ctx(), "FileFromWin_ evil.exe|3 ", Mode::Scan), 1);
    const Texts both = {"C:\\WINDOWS\\evil.exe", kHkcuRun + " \"X\"=\"C:\\WINDOWS\\evil.exe\""};
    EXPECT_EQ(Found(), both);

    // The size takes part in the file test only.
    ctx().report().ClearAll();
    EXPECT_EQ(Scan("FileFromWin_", {"evil.exe|4"}), 1);
    EXPECT_EQ(Found(), Texts{both[1]});

    EXPECT_EQ(Cure("FileFromWin_", {"evil.exe|4"}), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\evil.exe"));
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun, "X"));
    EXPECT_EQ(Scan("FileFromWin_", {""}), 0);
}

TEST_F(Startup, FileFromSysAddsTheExactNameSearch) {
    rig.image.File("C:\\WINDOWS\\system32\\evil.exe", "x");
    rig.image.File("C:\\WINDOWS\\win.ini", "[windows]\r\nload=EVIL.EXE\r\nrun=hpfsched\r\n");
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"A"="evil.exe"
"B"="C:\\WINDOWS\\system32\\evil.exe -x"
"C"="C:\\WINDOWS\\system32\\notevil.exe"
"D"="myevil.exe"
)");
    EXPECT_EQ(Scan("FileFromSys_", {"evil.exe"}), 1);
    EXPECT_EQ(Found(), (Texts{
                           "C:\\WINDOWS\\system32\\evil.exe",
                           kHklmRun + " \"B\"=\"C:\\WINDOWS\\system32\\evil.exe -x\"",
                           kHklmRun + " \"A\"=\"evil.exe\"",
                           "Win.ini [windows] \"load\"=\"EVIL.EXE\"",
                       }));

    EXPECT_EQ(Cure("FileFromSys_", {"evil.exe"}), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\system32\\evil.exe"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, "A"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, "B"));
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, "C"));
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, "D"));
    EXPECT_EQ(Ini("Win.ini", "windows", "load"), "<none>");
    EXPECT_EQ(Ini("Win.ini", "windows", "run"), "<none>");
}

// ---- other signature commands

TEST_F(Startup, ShellServiceObjectsAndSharedTaskScheduler) {
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\ShellServiceObjectDelayLoad]
"SysTray"="{35CEC8A3-2BE6-11D2-8773-92E220524153}"
"Evil"="{AAAA0000-1111-2222-3333-444455556666}"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\SharedTaskScheduler]
"{AAAA0000-1111-2222-3333-444455556666}"="evil"
)");
    const std::string ssodl =
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
    const std::string sts =
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
    EXPECT_EQ(Scan("ShellServiceObjectDelayLoad", {"{aaaa0000"}), 1);
    EXPECT_EQ(Scan("ShellServiceObjectDelayLoad", {""}), 0);
    EXPECT_EQ(Scan("SharedTaskScheduler", {"{AAAA0000-1111-2222-3333-444455556666}"}), 1);
    EXPECT_EQ(Found(), (Texts{ssodl + " \"Evil\"=\"{AAAA0000-1111-2222-3333-444455556666}\"",
                              sts + " \"{AAAA0000-1111-2222-3333-444455556666}\"=\"evil\""}));

    EXPECT_EQ(Cure("ShellServiceObjectDelayLoad", {""}), 0);
    EXPECT_EQ(Cure("ShellServiceObjectDelayLoad", {"{aaaa0000"}), 1);
    EXPECT_EQ(Cure("SharedTaskScheduler", {"{AAAA0000-1111-2222-3333-444455556666}"}), 1);
    const std::string ssodlKey = ssodl.substr(5);
    EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, ssodlKey, "SysTray"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, ssodlKey, "Evil"));
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, sts.substr(5), "{AAAA0000-1111-2222-3333-444455556666}"));
}

// ---- the generic checks

TEST_F(Startup, CheckRunValueFindsSinglePathsToMissingFiles) {
    rig.image.File("C:\\WINDOWS\\notepad.exe", "MZ");
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"Gone"="C:\\gone\\x.exe"
"Quoted"="\"C:\\gone\\y.exe\""
"Here"="C:\\WINDOWS\\notepad.exe"
"QuotedHere"="\"C:\\WINDOWS\\notepad.exe\""
"Switch"="C:\\gone\\z.exe /s"
"Folder"="C:\\WINDOWS"
"Env"="%windir%\\gone.exe"
"Empty"=""
"Num"=dword:00000001
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\RunServices]
"Lost"="D:\\x.exe"
)");
    EXPECT_EQ(Scan("CheckRunValue"), 1);
    const Texts found{kHklmRun + " \"Gone\"=\"C:\\gone\\x.exe\"",
                      kHklmRun + " \"Quoted\"=\"\"C:\\gone\\y.exe\"\"",
                      kHklmRun + " \"Folder\"=\"C:\\WINDOWS\"",
                      kHkcuRun + "Services \"Lost\"=\"D:\\x.exe\""};
    // Wine lists the values of a key in the order of their names.
    EXPECT_EQ(Found(), (test::OnWine() ? Texts{found[2], found[0], found[1], found[3]} : found));
    EXPECT_EQ(Scan("CheckRunValue"), 0);

    EXPECT_EQ(Cure("CheckRunValue"), 1);
    for (const char* gone : {"Gone", "Quoted", "Folder"}) {
        EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kRun, gone)) << gone;
    }
    EXPECT_FALSE(Str(HKEY_CURRENT_USER, kRun + "Services", "Lost"));
    for (const char* kept : {"Here", "QuotedHere", "Switch", "Env", "Empty", "Num"}) {
        EXPECT_TRUE(Str(HKEY_LOCAL_MACHINE, kRun, kept)) << kept;
    }
    EXPECT_EQ(Cure("CheckRunValue"), 0);
}

TEST_F(Startup, CheckWinIniRunRemovesAllFiveEntriesForOneSuspiciousOne) {
    const char kWinIni[] = "C:\\WINDOWS\\win.ini";
    rig.image.File(kWinIni,
                   "[windows]\r\nrun=hpfsched\r\n"
                   "load=C:\\PROGRA~1\\V3\\SYSMON32.EXE  lxdboxcp.exe\r\n");
    Load();
    // Known programs alone are not suspicious.
    EXPECT_EQ(Scan("CheckWinIniRun"), 0);
    EXPECT_EQ(Cure("CheckWinIniRun"), 0);
    EXPECT_EQ(Ini("Win.ini", "windows", "run"), "hpfsched");

    ASSERT_EQ(ctx().files().WriteFile(kWinIni,
                                      "[windows]\r\nrun=hpfsched C:\\evil.exe\r\n"
                                      "load=hpfsched\r\n[winnt]\r\nopen=x.exe\r\n"
                                      "[other]\r\nrun=keep\r\n"),
              ERROR_SUCCESS);
    EXPECT_EQ(Scan("CheckWinIniRun"), 1);
    EXPECT_EQ(Found(), (Texts{"Win.ini [windows] \"run\"=\"hpfsched C:\\evil.exe\"",
                              "Win.ini [winnt] \"open\"=\"x.exe\""}));
    EXPECT_EQ(Scan("CheckWinIniRun"), 0);
    EXPECT_EQ(Cure("CheckWinIniRun"), 1);
    EXPECT_EQ(Ini("Win.ini", "windows", "run"), "<none>");
    EXPECT_EQ(Ini("Win.ini", "windows", "load"), "<none>");
    EXPECT_EQ(Ini("Win.ini", "winnt", "open"), "<none>");
    EXPECT_EQ(Ini("Win.ini", "other", "run"), "keep");
}

TEST_F(Startup, CheckSysIniShellWantsExplorer) {
    const char kSystemIni[] = "C:\\WINDOWS\\system.ini";
    Load();
    // No System.ini: nothing found and nothing created.
    EXPECT_EQ(Scan("CheckSysIniShell"), 0);
    EXPECT_EQ(Cure("CheckSysIniShell"), 0);
    EXPECT_FALSE(Exists(kSystemIni));
    // Explorer in the Windows folder, in any case, is the standard shell.
    ASSERT_EQ(ctx().files().WriteFile(kSystemIni, "[boot]\r\nshell=c:\\windows\\EXPLORER.EXE\r\n"),
              ERROR_SUCCESS);
    EXPECT_EQ(Scan("CheckSysIniShell"), 0);
    EXPECT_EQ(Cure("CheckSysIniShell"), 0);
    EXPECT_EQ(Ini("System.ini", "boot", "shell"), "c:\\windows\\EXPLORER.EXE");

    ASSERT_EQ(ctx().files().WriteFile(kSystemIni, "[boot]\r\nshell=Explorer.exe evil.exe\r\n"),
              ERROR_SUCCESS);
    EXPECT_EQ(Scan("CheckSysIniShell"), 1);
    EXPECT_EQ(Found(), Texts{"System.ini [boot] \"Shell\"=\"Explorer.exe evil.exe\""});
    EXPECT_EQ(Cure("CheckSysIniShell"), 1);
    EXPECT_EQ(Ini("System.ini", "boot", "shell"), "Explorer.exe");
}

TEST_F(Startup, CheckUserinitDataWantsTheStandardProgram) {
    Load("[HKEY_LOCAL_MACHINE\\" + kWinlogon + "]\r\n\"Shell\"=\"Explorer.exe\"\r\n");
    // Absent: nothing happens, even when repairing.
    EXPECT_EQ(Scan("CheckUserinitData"), 0);
    EXPECT_EQ(Cure("CheckUserinitData"), 0);
    EXPECT_FALSE(Str(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"));

    ASSERT_EQ(rig.raw().SetValue(
                  HKEY_LOCAL_MACHINE, kWinlogon, "Userinit",
                  RegValue::String("C:\\WINDOWS\\SYSTEM32\\userinit.exe,C:\\evil\\add.exe")),
              ERROR_SUCCESS);
    // The standard text followed by another program passes this check...
    EXPECT_EQ(Scan("CheckUserinitData"), 0);
    // ...but not the search for that program.
    EXPECT_EQ(Scan("RunValueByData", {"add.exe"}), 1);
    EXPECT_EQ(Found(),
              Texts{"HKLM\\" + kWinlogon +
                    " \"Userinit\"=\"C:\\WINDOWS\\SYSTEM32\\userinit.exe,C:\\evil\\add.exe\""});

    ASSERT_EQ(rig.raw().SetValue(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit",
                                 RegValue::String("C:\\evil\\userinit.exe,")),
              ERROR_SUCCESS);
    ctx().report().ClearAll();
    EXPECT_EQ(Scan("CheckUserinitData"), 1);
    EXPECT_EQ(Found(), Texts{"HKLM\\" + kWinlogon + " \"Userinit\"=\"C:\\evil\\userinit.exe,\""});
    EXPECT_EQ(Cure("CheckUserinitData"), 1);
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"),
              "C:\\WINDOWS\\system32\\userinit.exe,");
}

TEST_F(Startup, CheckAppInitDllsReportsAndEmptiesTheValue) {
    Load(R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Windows]
"AppInit_DLLs"="  evil.dll "
)");
    EXPECT_EQ(Scan("CheckAppInit_DLLs"), 1);
    EXPECT_EQ(rig.debug.Text(), "AppInit_DLLs : evil.dll\n");
    EXPECT_EQ(Found(), Texts{"HKLM\\" + kNtWindows + " \"AppInit_DLLs\"=\"evil.dll\""});
    EXPECT_EQ(ctx().report().found().At(0).type, platform::REGDAT);

    EXPECT_EQ(Cure("CheckAppInit_DLLs"), 1);
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kNtWindows, "AppInit_DLLs"), "");
    rig.debug.Clear();
    ctx().report().ClearAll();
    EXPECT_EQ(Scan("CheckAppInit_DLLs"), 0);
    EXPECT_EQ(rig.debug.Text(), "AppInit_DLLs : \n");
    EXPECT_EQ(Found(), Texts{});
}

// ---- LSPFix from a script line

TEST_F(Startup, LspFixRunsFromAScriptLine) {
    Load();
    const std::string entries(platform::kProtocolEntriesKey);
    for (int i = 1; i <= 3; ++i) {
        const std::string key = entries + "\\" + text::Format("%012d", i);
        RegValue blob;
        blob.type = REG_BINARY;
        blob.data = std::string(i == 2 ? "C:\\WINDOWS\\system32\\BadLsp.dll" : "C:\\ok.dll") +
                    std::string(1, '\0') + std::to_string(i);
        ASSERT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
        ASSERT_EQ(rig.raw().SetValue(HKEY_LOCAL_MACHINE, key, "PackedCatalogItem", blob),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(engine::RunScriptLine(ctx(), "LSPFix badlsp.dll ", Mode::Scan), 1);
    EXPECT_EQ(Found(), Texts{"HKLM\\" + entries + "\\000000000002"});
    EXPECT_EQ(ctx().report().found().At(0).type, platform::LSP);

    EXPECT_EQ(engine::RunScriptLine(ctx(), "LSPFix badlsp.dll ", Mode::Cure), 1);
    std::string name;
    EXPECT_EQ(rig.raw().EnumKey(HKEY_LOCAL_MACHINE, entries, 1, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "000000000002");
    RegValue moved;
    ASSERT_EQ(rig.raw().QueryValue(HKEY_LOCAL_MACHINE, entries + "\\000000000002",
                                   "PackedCatalogItem", moved),
              ERROR_SUCCESS);
    EXPECT_EQ(moved.data.back(), '3');
    EXPECT_EQ(rig.raw().EnumKey(HKEY_LOCAL_MACHINE, entries, 2, name), ERROR_NO_MORE_ITEMS);
}

}  // namespace
}  // namespace veldan::commands
