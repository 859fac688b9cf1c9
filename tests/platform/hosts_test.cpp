// Host files and the random-name program family: which Run values, start-up
// shortcuts and Windows-folder programs are taken for the family, what a scan
// records and what a cure removes.

#include "platform/hosts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/folders.h"
#include "support/lnk_writer.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kStartup = "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup";
const std::string kCmnStartup =
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup";
const std::string kFamilyA(static_cast<std::size_t>(kRandomNameSizeA), 'A');
const std::string kFamilyB(static_cast<std::size_t>(kRandomNameSizeB), 'B');

std::string Lnk(std::string target) {
    test::LnkSpec lnk;
    lnk.target = std::move(target);
    return test::MakeShellLink(lnk);
}

// A .reg string literal of `text` (backslashes and quotes escaped).
std::string RegString(std::string_view text) {
    std::string s = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') s += '\\';
        s += c;
    }
    return s + "\"";
}

class Hosts : public ::testing::Test {
  protected:
    Context& Load() {
        Context& ctx = rig.Load();
        InitFolderTable(ctx);
        return ctx;
    }
    bool Exists(std::string_view path) {
        std::uint32_t attributes = 0;
        return rig.ctx->files().GetAttributes(path, attributes) == ERROR_SUCCESS;
    }
    bool HasValue(HKEY hive, std::string_view key, std::string_view name) {
        RegValue v;
        return rig.raw().QueryValue(hive, key, name, v) == ERROR_SUCCESS;
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const auto& item : rig.ctx->report().found().items()) out.push_back(item.text);
        return out;
    }
    std::vector<std::string> Failed() {
        std::vector<std::string> out;
        for (const auto& item : rig.ctx->report().failed().items()) out.push_back(item.text);
        return out;
    }

    test::PlatformRig rig;
};

// ---- host files

TEST_F(Hosts, DeleteHostsFilesRemovesAReadOnlyFileAndSchedulesALockedOne) {
    const std::string sys = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";
    rig.image.Ini("[process lock]\nimage=C:\\WINDOWS\\lock.exe\nholds=" + sys + "\n");
    rig.image.File("C:\\WINDOWS\\lock.exe");
    rig.image.File(sys, "127.0.0.1 bank.example\r\n");
    rig.image.File("C:\\WINDOWS\\hosts", "127.0.0.1 bank.example\r\n");
    Context& ctx = Load();
    ASSERT_EQ(ctx.files().SetAttributes("C:\\WINDOWS\\hosts", FILE_ATTRIBUTE_READONLY),
              ERROR_SUCCESS);

    EXPECT_EQ(SystemHostsPath(ctx), sys);
    EXPECT_EQ(DeleteHostsFiles(ctx), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\hosts"));
    EXPECT_EQ(Failed(), (std::vector<std::string>{sys}));
    EXPECT_EQ(rig.machine->image().PendingDeletes(), std::vector<std::string>{sys});
}

TEST_F(Hosts, UnknownFoldersNeverPutPathsAtADriveRoot) {
    rig.image.File("C:\\hosts");
    rig.image.File("C:\\drivers\\etc\\hosts");
    rig.image.File("C:\\zz99aa11.exe", kFamilyA);
    rig.image.Reg("10-run.reg",
                  "[HKEY_CURRENT_USER\\" + kRun + "]\n\"evil\"=\"\\\\zz99aa11.exe /dk\"\n");
    Context& ctx = Load();
    ctx.folders().WINDIR.clear();
    ctx.folders().SYSDIR.clear();
    EXPECT_EQ(DeleteHostsFiles(ctx), 1);
    EXPECT_EQ(RemoveRandomNamePrograms(ctx, true), 0);
    EXPECT_TRUE(Exists("C:\\hosts"));
    EXPECT_TRUE(Exists("C:\\drivers\\etc\\hosts"));
    EXPECT_TRUE(Exists("C:\\zz99aa11.exe"));
    EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, kRun, "evil"));
}

// ---- names

TEST(RandomName, EightLettersOrDigitsAtTheStart) {
    EXPECT_EQ(IsRandomName("abcd1234.exe"), 1);
    EXPECT_EQ(IsRandomName("ABCDwxyz"), 1);
    EXPECT_EQ(IsRandomName("12345678"), 1);
    EXPECT_EQ(IsRandomName("abcd_234.exe"), 0);
    EXPECT_EQ(IsRandomName("abcd 234.exe"), 0);
    EXPECT_EQ(IsRandomName("abcd123"), 0);
    EXPECT_EQ(IsRandomName(""), 0);
    EXPECT_EQ(IsRandomName("abc\xed\x95\x9c"
                           "1234"),
              0);
}

// ---- Run values

TEST_F(Hosts, RunValuesOfTheFamilyAreFoundWhateverTheirBlanksAndCase) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"C:\\WINDOWS\\abcd1234.exe /dk", true},
        {"  c:\\windows\\ABCD1234.EXE    /DK  ", true},
        {"C:\\WINDOWS\\abcd1234.exe", false},
        {"C:\\WINDOWS\\abcd1234.exe /dkx", false},
        {"C:\\WINDOWS\\abcd12345.exe /dk", false},
        {"C:\\WINDOWS\\abcd_234.exe /dk", false},
        {"C:\\WINDOWS\\system32\\abcd1234.exe /dk", false},
        {"C:\\WINDOWS\\abcd1234.dll /dk", false},
        {"\"C:\\WINDOWS\\abcd1234.exe\" /dk", false},
    };
    std::string reg = "[HKEY_LOCAL_MACHINE\\" + kRun + "]\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        reg += "\"v" + std::to_string(i) + "\"=" + RegString(cases[i].first) + "\n";
    }
    rig.image.Reg("10-run.reg", reg);
    Context& ctx = Load();

    std::vector<std::string> expected;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].second)
            expected.push_back("HKLM\\" + kRun + " \"v" + std::to_string(i) + "\"=\"" +
                               cases[i].first + "\"");
    }
    EXPECT_EQ(ScanRunValuesForRandomName(ctx, HKEY_LOCAL_MACHINE, kRun, false), 2);
    EXPECT_EQ(Found(), expected);
    // Recorded already.
    EXPECT_EQ(ScanRunValuesForRandomName(ctx, HKEY_LOCAL_MACHINE, kRun, false), 0);

    EXPECT_EQ(ScanRunValuesForRandomName(ctx, HKEY_LOCAL_MACHINE, kRun, true), 2);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(HasValue(HKEY_LOCAL_MACHINE, kRun, "v" + std::to_string(i)), !cases[i].second);
    }
    EXPECT_TRUE(Failed().empty());
}

TEST_F(Hosts, AnUnreadableRunValueIsTracedAndSkipped) {
    rig.image.Reg("10-run.reg", "[HKEY_CURRENT_USER\\" + kRun + "]\n\"long\"=" +
                                    RegString("C:\\WINDOWS\\" + std::string(300, 'x')) +
                                    "\n\"evil\"=\"C:\\\\WINDOWS\\\\zz99aa11.exe /dk\"\n");
    Context& ctx = Load();
    EXPECT_EQ(ScanRunValuesForRandomName(ctx, HKEY_CURRENT_USER, kRun, false), 1);
    EXPECT_EQ(rig.debug.Text(), "SHEnumValue... HKCU\\" + kRun + "\n");
    EXPECT_EQ(Found(), (std::vector<std::string>{"HKCU\\" + kRun +
                                                 " \"evil\"=\"C:\\WINDOWS\\zz99aa11.exe /dk\""}));
}

// ---- start-up shortcuts

TEST_F(Hosts, StartupShortcutsMustPointAtAnExistingProgramOfTheFamilySize) {
    rig.image.File("C:\\WINDOWS\\abcd1234.exe", kFamilyA);
    rig.image.File("C:\\WINDOWS\\wxyz5678.exe", kFamilyA + "x");
    rig.image.File("C:\\WINDOWS\\system32\\qqqq1111.exe", kFamilyB);
    rig.image.File("C:\\WINDOWS\\pppp2222.dat", kFamilyB);
    rig.image.File(kStartup + "\\a.lnk", Lnk("C:\\WINDOWS\\ABCD1234.EXE"));
    rig.image.File(kStartup + "\\b.lnk", Lnk("C:\\WINDOWS\\wxyz5678.exe"));
    rig.image.File(kStartup + "\\c.lnk", Lnk("C:\\WINDOWS\\gone1234.exe"));
    rig.image.File(kStartup + "\\d.lnk", Lnk("C:\\WINDOWS\\system32\\qqqq1111.exe"));
    rig.image.File(kStartup + "\\e.lnk", Lnk("C:\\WINDOWS\\pppp2222.dat"));
    rig.image.File(kStartup + "\\Sub\\f.lnk", Lnk("C:\\WINDOWS\\abcd1234.exe"));
    rig.image.File(kStartup + "\\broken.lnk", "garbage");
    Context& ctx = Load();

    EXPECT_EQ(ScanStartupLinksForRandomName(ctx, kStartup, false), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kStartup + "\\a.lnk"}));
    EXPECT_EQ(rig.debug.Text(), "CShellLink::Load... " + kStartup + "\\broken.lnk\n");

    EXPECT_EQ(ScanStartupLinksForRandomName(ctx, kStartup, true), 1);
    EXPECT_FALSE(Exists(kStartup + "\\a.lnk"));
    for (const char* kept : {"\\b.lnk", "\\c.lnk", "\\d.lnk", "\\e.lnk", "\\Sub\\f.lnk"}) {
        EXPECT_TRUE(Exists(kStartup + kept)) << kept;
    }
    // The shortcut goes; the program is the Windows-folder step's business.
    EXPECT_TRUE(Exists("C:\\WINDOWS\\abcd1234.exe"));
}

// ---- the Windows folder

TEST_F(Hosts, WindowsFolderProgramsNeedTheNameAndOneOfTheTwoSizes) {
    rig.image.Ini("[process abcd1234]\nimage=C:\\WINDOWS\\abcd1234.exe\n");
    rig.image.File("C:\\WINDOWS\\abcd1234.exe", kFamilyA);
    rig.image.File("C:\\WINDOWS\\ZZZZ9999.EXE", kFamilyB);
    rig.image.File("C:\\WINDOWS\\wxyz5678.exe", kFamilyA + "x");
    rig.image.File("C:\\WINDOWS\\notepad.exe", kFamilyA);
    rig.image.File("C:\\WINDOWS\\explorer.exe", std::string(1033728, 'E'));
    rig.image.File("C:\\WINDOWS\\ab_d1234.exe", kFamilyA);
    rig.image.File("C:\\WINDOWS\\system32\\qqqq1111.exe", kFamilyB);
    rig.image.Folder("C:\\WINDOWS\\dddd0000.exe");
    Context& ctx = Load();

    EXPECT_EQ(ScanWindowsFolderForRandomName(ctx, false), 2);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{"C:\\WINDOWS\\abcd1234.exe", "C:\\WINDOWS\\ZZZZ9999.EXE"}));

    EXPECT_EQ(ScanWindowsFolderForRandomName(ctx, true), 2);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\abcd1234.exe"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\ZZZZ9999.EXE"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\wxyz5678.exe"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\notepad.exe"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\explorer.exe"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\ab_d1234.exe"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\system32\\qqqq1111.exe"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\dddd0000.exe"));
    // The running program was ended before its file went.
    EXPECT_TRUE(ctx.machine().processes().List().empty());
    EXPECT_NE(rig.debug.Text().find("Kill... "), std::string::npos);
    EXPECT_TRUE(Failed().empty());
}

// ---- all five steps

class RandomNameFamily : public Hosts {
  protected:
    Context& LoadInfected() {
        rig.image.File("C:\\WINDOWS\\abcd1234.exe", kFamilyA);
        rig.image.Reg("10-run.reg", "[HKEY_LOCAL_MACHINE\\" + kRun +
                                        "]\n\"a\"=\"C:\\\\WINDOWS\\\\abcd1234.exe /dk\"\n"
                                        "\"good\"=\"C:\\\\WINDOWS\\\\system32\\\\ctfmon.exe\"\n"
                                        "[HKEY_CURRENT_USER\\" +
                                        kRun + "]\n\"b\"=\"C:\\\\WINDOWS\\\\abcd1234.exe /dk\"\n");
        rig.image.File(kStartup + "\\x.lnk", Lnk("C:\\WINDOWS\\abcd1234.exe"));
        rig.image.File(kCmnStartup + "\\y.lnk", Lnk("C:\\WINDOWS\\abcd1234.exe"));
        return Load();
    }
};

TEST_F(RandomNameFamily, ScanRecordsEveryStepInOrderCureRemovesThemAll) {
    Context& ctx = LoadInfected();
    EXPECT_EQ(RemoveRandomNamePrograms(ctx, false), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{
                  "HKLM\\" + kRun + " \"a\"=\"C:\\WINDOWS\\abcd1234.exe /dk\"",
                  "HKCU\\" + kRun + " \"b\"=\"C:\\WINDOWS\\abcd1234.exe /dk\"",
                  kStartup + "\\x.lnk", kCmnStartup + "\\y.lnk", "C:\\WINDOWS\\abcd1234.exe"}));
    EXPECT_EQ(RemoveRandomNamePrograms(ctx, false), 0);  // nothing new
    EXPECT_TRUE(Exists("C:\\WINDOWS\\abcd1234.exe"));

    EXPECT_EQ(RemoveRandomNamePrograms(ctx, true), 1);
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kRun, "a"));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kRun, "b"));
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kRun, "good"));
    EXPECT_FALSE(Exists(kStartup + "\\x.lnk"));
    EXPECT_FALSE(Exists(kCmnStartup + "\\y.lnk"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\abcd1234.exe"));
    EXPECT_TRUE(Failed().empty());
    EXPECT_EQ(RemoveRandomNamePrograms(ctx, true), 0);
}

}  // namespace
}  // namespace veldan::platform
