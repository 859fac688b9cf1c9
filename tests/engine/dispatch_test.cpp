// The command table and the dispatcher: words, counts, shapes, the parameter
// check, and the generic registry commands end to end through RunScriptLine.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "commands/command_rows.h"
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
    EXPECT_EQ(ExecFunc(ctx, "Key", {"HKLM", "Software\\Bad", "extra"}, Mode::Scan), 0);
    EXPECT_EQ(rig.debug.Text(),
              "ExecFunc... # of param... Key\n\"HKLM\"\n\"Software\\Bad\"\n\"extra\"\n");
    EXPECT_EQ(ctx.report().found().Count(), 0);
}

TEST(ExecFuncTest, CureOnlyWordsNeverFindAnything) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Empty]\r\n");
    auto& ctx = rig.Load();
    EXPECT_EQ(ExecFunc(ctx, "EmptyKey", {"HKLM", "Software\\Empty"}, Mode::Scan), 0);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Empty"), 1);
    EXPECT_EQ(ExecFunc(ctx, "EmptyKey", {"HKLM", "Software\\Empty"}, Mode::Cure), 1);
    EXPECT_EQ(platform::KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Empty"), 0);
}

TEST(ExecFuncTest, EveryWordHasItsHandler) {
    for (const auto& c : CommandTable()) EXPECT_TRUE(HasHandler(c.word)) << c.word;
}

// The dispatcher knows a word exactly when a family lists it, with the
// family's count and shape, and calls the family's own handlers.
TEST(FamilyRows, AreWhatTheDispatcherSees) {
    std::map<std::string_view, const commands::CommandRow*> rows;
    for (const commands::CommandRow& row : commands::AllCommandRows()) {
        EXPECT_TRUE(rows.emplace(row.word, &row).second) << "listed twice: " << row.word;
        EXPECT_TRUE(commands::RowComplete(row)) << row.word;
    }
    ASSERT_EQ(rows.size(), CommandTable().size());
    for (const CommandInfo& info : CommandTable()) {
        auto it = rows.find(info.word);
        ASSERT_NE(it, rows.end()) << info.word;
        EXPECT_EQ(info.paramCount, it->second->paramCount) << info.word;
        EXPECT_EQ(info.shape, it->second->shape) << info.word;
    }
    // Each family adds its own words: one word of each family reaches its handlers.
    for (auto family : {commands::RegistryRows, commands::FileRows, commands::ShortcutRows,
                        commands::RegistryPlaceRows, commands::ActiveXRows, commands::BrowserRows,
                        commands::StartupRows, commands::SystemRows}) {
        ASSERT_FALSE(family().empty());
        EXPECT_TRUE(HasHandler(family().front().word)) << family().front().word;
    }
}

TEST(FamilyRows, TableOrderIgnoresCase) {
    const auto& table = CommandTable();
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table.front().word, "Adtomi");
    EXPECT_EQ(table.back().word, "WWWPrefix");
    auto at = [&](std::string_view word) {
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].word == word) return i;
        return table.size();
    };
    EXPECT_LT(at("CheckWinIniRun"), at("CLSID"));
    EXPECT_LT(at("FilesFromWin"), at("FTPPrefix"));
    EXPECT_LT(at("FileFromSys"), at("FileFromSys_"));
    EXPECT_LT(at("FileFromSys_"), at("FileFromTemp"));
}

// A word with one handler is told the mode: in a scan AppInit_DLLs is only
// looked at, in a cure it is emptied.
TEST(FamilyRows, ModeReachesTheCheck) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]"
                  "\r\n\"AppInit_DLLs\"=\"evil.dll\"\r\n");
    auto& ctx = rig.Load();
    EXPECT_EQ(ExecFunc(ctx, "CheckAppInit_DLLs", {}, Mode::Scan), 1);
    EXPECT_EQ(ctx.report().found().Count(), 1);
    std::string data;
    platform::ReadStringValue(ctx, HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                              "AppInit_DLLs", data);
    EXPECT_EQ(data, "evil.dll");
    EXPECT_EQ(ExecFunc(ctx, "CheckAppInit_DLLs", {}, Mode::Cure), 1);
    platform::ReadStringValue(ctx, HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                              "AppInit_DLLs", data);
    EXPECT_EQ(data, "");
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
    EXPECT_EQ(RunScriptLine(ctx, lines[0], Mode::Scan), 1);
    EXPECT_EQ(RunScriptLine(ctx, lines[1], Mode::Scan), 1);
    EXPECT_EQ(RunScriptLine(ctx, lines[2], Mode::Scan), 0);  // the same value again: nothing new
    EXPECT_EQ(RunScriptLine(ctx, lines[3], Mode::Scan), 1);
    const auto& found = ctx.report().found();
    ASSERT_EQ(found.Count(), 3);  // the Run value is found twice but listed once
    EXPECT_EQ(found.At(0).text, "HKLM\\Software\\AdWidget");
    EXPECT_EQ(found.At(1).text,
              "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"AdWidget\"=\"C:\\Program "
              "Files\\AdWidget\\adw.exe /tray\"");
    EXPECT_EQ(found.At(2).text, "HKLM\\Software\\Holder \"Path\"=\"c:\\program files\\adwidget\"");

    for (const char* l : lines) RunScriptLine(ctx, l, Mode::Cure);
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
    EXPECT_EQ(RunScriptLine(ctx, "Bogus HKLM Software ", Mode::Scan), 0);
}

// The hive is a short text in any case; a text that names no root touches
// nothing and runs nothing (the registry operations take the root itself).
TEST(RegistryCommands, HiveTextsNameTheRoot) {
    test::PlatformRig rig;
    rig.image.Reg("1.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}]\r\n"
                  "[HKEY_CURRENT_USER\\S]\r\n\"n\"=dword:00000001\r\n");
    auto& ctx = rig.Load();
    EXPECT_EQ(ExecFunc(ctx, "Key", {"hkcr", "CLSID\\{1}"}, Mode::Scan), 1);
    EXPECT_EQ(ExecFunc(ctx, "Value", {"HKCU", "S", "n"}, Mode::Scan), 1);
    EXPECT_EQ(ctx.report().found().Count(), 2);

    rig.faults().ClearCalls();
    EXPECT_EQ(ExecFunc(ctx, "Key", {"HKEY_CURRENT_USER", "S"}, Mode::Scan), 0);
    EXPECT_EQ(ExecFunc(ctx, "Key", {"HKLM\\", "S"}, Mode::Cure), 0);
    EXPECT_EQ(ExecFunc(ctx, "EmptyKey", {"HKXX", "S"}, Mode::Cure), 0);
    EXPECT_EQ(ExecFunc(ctx, "ValueByData", {"", "S", "1"}, Mode::Cure), 0);
    EXPECT_TRUE(rig.faults().calls().empty());
    EXPECT_NE(rig.debug.Text().find("STR2HKEY... HKLM\\\n"), std::string::npos);

    EXPECT_EQ(ExecFunc(ctx, "Value", {"hkcu", "S", "n"}, Mode::Cure), 1);
    EXPECT_EQ(platform::ValueExists(ctx, machine::HKEY_CURRENT_USER, "S", "n"), 0);
}

TEST(RegistryCommands, ProtectedTreeIsCuredOnNtAndFailsOn9x) {
    for (const char* os : {"nt", "9x"}) {
        test::PlatformRig rig;
        rig.image
            .Ini(std::string("[machine]\nos=") + os +
                 "\n[protected]\nkey=HKLM\\Software\\Locked\\Inner\n")
            .Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Locked\\Inner]\r\n");
        auto& ctx = rig.Load();
        RunScriptLine(ctx, "Key HKLM Software\\Locked ", Mode::Cure);
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
