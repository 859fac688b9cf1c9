// The command table and the dispatcher: words, counts, shapes, the parameter
// check, and the generic registry commands end to end through RunScriptLine.

#include <gtest/gtest.h>

#include <set>

#include "engine/dispatch.h"
#include "platform/registry_ops.h"
#include "support/platform_rig.h"

namespace veldan::engine {
namespace {

using machine::HKEY_LOCAL_MACHINE;

TEST(CommandTable, HoldsThe105WordsOnce) {
    const auto& table = CommandTable();
    EXPECT_EQ(table.size(), 105u);
    std::set<std::string_view> words;
    for (const auto& c : table) {
        EXPECT_TRUE(words.insert(c.word).second) << c.word;
        EXPECT_GE(c.paramCount, 0);
        EXPECT_LE(c.paramCount, 4);
    }
}

TEST(CommandTable, CountsAndCaseSensitivity) {
    test::PlatformRig rig;
    auto& ctx = rig.Load();
    EXPECT_EQ(GetParamCount(ctx, "MType"), 4);
    EXPECT_EQ(GetParamCount(ctx, "DType"), 3);
    EXPECT_EQ(GetParamCount(ctx, "CheckBHO"), 0);
    EXPECT_EQ(GetParamCount(ctx, "FileFromSys_"), 1);
    EXPECT_EQ(rig.debug.Text(), "");
    EXPECT_EQ(GetParamCount(ctx, "file"), -1);
    EXPECT_EQ(rig.debug.Text(), "GetParamCount... file\n");
}

TEST(ExecFuncTest, WrongParameterCountDumpsTheParameters) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Bad]\r\n");
    auto& ctx = rig.Load();
    EXPECT_EQ(ExecFunc(ctx, "Key", {"HKLM", "Software\\Bad", "extra"}, 1), 0);
    EXPECT_EQ(rig.debug.Text(),
              "ExecFunc... # of param... Key\n\"HKLM\"\n\"Software\\Bad\"\n\"extra\"\n");
    EXPECT_EQ(ctx.report().found().Count(), 0);
}

TEST(ExecFuncTest, CureOnlyWordsNeverFindAnything) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Empty]\r\n");
    auto& ctx = rig.Load();
    EXPECT_EQ(ExecFunc(ctx, "EmptyKey", {"HKLM", "Software\\Empty"}, 1), 0);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Empty"), 1);
    EXPECT_EQ(ExecFunc(ctx, "EmptyKey", {"HKLM", "Software\\Empty"}, 0), 1);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Empty"), 0);
}

TEST(ExecFuncTest, EveryWordHasItsHandler) {
    for (const auto& c : CommandTable()) EXPECT_TRUE(HasHandler(c.word)) << c.word;
}

TEST(RegistryCommands, ScanThenCureThroughScriptLines) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\AdWidget\\Sub]\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                  "\"AdWidget\"=\"C:\\\\Program Files\\\\AdWidget\\\\adw.exe /tray\"\r\n"
                  "\"Keep\"=\"C:\\\\WINDOWS\\\\system32\\\\ctfmon.exe\"\r\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Holder]\r\n"
                  "\"Path\"=\"c:\\\\program files\\\\adwidget\"\r\n"
                  "\"Other\"=dword:00000001\r\n");
    auto& ctx = rig.Load();
    // Stored lines are normalised: the hive is a parameter of its own.
    const char* lines[] = {
        "Key HKLM Software\\AdWidget ",
        "Value HKCU Software\\Microsoft\\Windows\\CurrentVersion\\Run AdWidget ",
        "ValueByData HKCU Software\\Microsoft\\Windows\\CurrentVersion\\Run adwidget ",
        "KeyByData HKLM Software\\Holder \"Program Files\\AdWidget\" ",
    };
    EXPECT_EQ(RunScriptLine(ctx, lines[0], 1), 1);
    EXPECT_EQ(RunScriptLine(ctx, lines[1], 1), 1);
    EXPECT_EQ(RunScriptLine(ctx, lines[2], 1), 0);  // the same value again: nothing new
    EXPECT_EQ(RunScriptLine(ctx, lines[3], 1), 1);
    const auto& found = ctx.report().found();
    ASSERT_EQ(found.Count(), 3);  // the Run value is found twice but listed once
    EXPECT_EQ(found.At(0).text, "HKLM\\Software\\AdWidget");
    EXPECT_EQ(found.At(1).text,
              "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"AdWidget\"=\"C:\\Program "
              "Files\\AdWidget\\adw.exe /tray\"");
    EXPECT_EQ(found.At(2).text, "HKLM\\Software\\Holder \"Path\"=\"c:\\program files\\adwidget\"");

    for (const char* l : lines) RunScriptLine(ctx, l, 0);
    EXPECT_EQ(ctx.report().failed().Count(), 0);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\AdWidget"), 0);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Holder"), 0);
    EXPECT_EQ(
        platform::ValueExists(ctx, machine::HKEY_CURRENT_USER,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "AdWidget"),
        0);
    EXPECT_EQ(platform::ValueExists(ctx, machine::HKEY_CURRENT_USER,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Keep"),
              1);
    // A line that does not parse runs nothing.
    EXPECT_EQ(RunScriptLine(ctx, "Bogus HKLM Software ", 1), 0);
}

TEST(RegistryCommands, ProtectedTreeIsCuredOnNtAndFailsOn9x) {
    for (const char* os : {"nt", "9x"}) {
        test::PlatformRig rig;
        rig.image
            .Ini(std::string("[machine]\nos=") + os +
                 "\n[protected]\nkey=HKLM\\Software\\Locked\\Inner\n")
            .Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Locked\\Inner]\r\n");
        auto& ctx = rig.Load();
        RunScriptLine(ctx, "Key HKLM Software\\Locked ", 0);
        bool nt = std::string(os) == "nt";
        EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Locked"), nt ? 0 : 1)
            << os;
        EXPECT_EQ(ctx.report().failed().Count(), nt ? 0 : 1) << os;
        if (!nt) {
            EXPECT_TRUE(rig.debug.Contains("FAIL.REGKEY HKLM\\Software\\Locked\n"));
        }
    }
}

}  // namespace
}  // namespace veldan::engine
