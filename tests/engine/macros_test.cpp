// Folder and registry macros of script parameters.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/macros.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::engine {
namespace {

class MacrosTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::unique_ptr<test::BuiltMachine> machine =
        test::ImageBuilder(dir)
            .Reg("1.reg",
                 "[HKEY_LOCAL_MACHINE\\Software\\App]\r\n"
                 "\"Dir\"=\"C:\\\\Program Files\\\\App\"\r\n@=\"default\"\r\n\"Empty\"=\"\"\r\n"
                 "\"Number\"=dword:00000001\r\n"
                 "\"Expand\"=hex(2):25,00,57,00,49,00,4e,00,44,00,49,00,52,00,25,00,00,00\r\n"
                 "\"Long\"=\"" +
                     std::string(300, 'L') +
                     "\"\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\My App]\r\n\"Path\"=\"C:\\\\My\"\r\n"
                     "[HKEY_CURRENT_USER\\Software\\C:\\WINDOWS]\r\n\"v\"=\"via folder\"\r\n")
            .Load();
    text::CaptureDebugSink sink;
    platform::Context ctx{*machine, sink};

    std::string Env(std::string text) { return ExpandEnvStr(ctx, text), text; }
    std::string Reg(std::string text) { return ExpandRegStr(ctx, text) ? text : "<fail>"; }
};

TEST_F(MacrosTest, EachFolderMacroNamesItsOwnEntry) {
    platform::FolderTable& f = ctx.folders();
    std::pair<const char*, std::string*> macros[] = {
        {"%WINDIR%", &f.WINDIR},
        {"%SYSDIR%", &f.SYSDIR},
        {"%FAVDIR%", &f.FAVDIR},
        {"%TEMPLATEDIR%", &f.TEMPLATEDIR},
        {"%PFDIR%", &f.PFDIR},
        {"%CFDIR%", &f.CFDIR},
        {"%AXCACHEDIR%", &f.AXCACHEDIR},
        {"%APPDATADIR%", &f.APPDATADIR},
        {"%CMNAPPDATADIR%", &f.CMNAPPDATADIR},
        {"%TEMPDIR%", &f.TEMPDIR},
        {"%STARTUPDIR%", &f.STARTUPDIR},
        {"%CMNSTARTUPDIR%", &f.CMNSTARTUPDIR},
    };
    int n = 0;
    for (auto& [macro, entry] : macros) *entry = "C:\\f" + std::to_string(n++);
    f.FONTSDIR = f.WINTEMPDIR = f.SYSTEM32DIR = "C:\\wrong";
    for (auto& [macro, entry] : macros)
        EXPECT_EQ(Env(std::string(macro) + "\\x;" + macro), *entry + "\\x;" + *entry);
    f.CFDIR = "";
    EXPECT_EQ(Env("%CFDIR%\\x.dll"), "\\x.dll");
    f.FAVDIR = "%FAVDIR%";  // inserted text is not expanded again
    EXPECT_EQ(Env("%FAVDIR%"), "%FAVDIR%");
    sink.Clear();
    EXPECT_EQ(Env("WINDIR\\x"), "WINDIR\\x");
    EXPECT_EQ(sink.Text(), "");
    EXPECT_EQ(Env("%windir%\\x.exe"), "%windir%\\x.exe");
    EXPECT_EQ(Env("%WINDIR%\\100%"), "C:\\f0\\100%");
    EXPECT_EQ(sink.Text(), "ExpandEnvStr... %windir%\\x.exe\nExpandEnvStr... C:\\f0\\100%\n");
}

TEST_F(MacrosTest, RegistryValueReplacesTheFirstMacro) {
    ctx.folders().WINDIR = "C:\\WINDOWS";
    EXPECT_EQ(Reg("C:\\x.exe"), "C:\\x.exe");
    EXPECT_EQ(Reg("regstr(HKLM a b)"), "regstr(HKLM a b)");
    EXPECT_EQ(Reg("REGSTR(HKLM Software\\App Dir)\\x.exe"), "C:\\Program Files\\App\\x.exe");
    EXPECT_EQ(Reg("a REGSTR(  hklm  Software\\App  Dir ) b"), "a C:\\Program Files\\App b");
    EXPECT_EQ(Reg("REGSTR(HKLM Software\\App Dir);REGSTR(HKLM Software\\App Dir)"),
              "C:\\Program Files\\App;REGSTR(HKLM Software\\App Dir)");
    EXPECT_EQ(Reg("REGSTR(HKLM \"Software\\My App\" Path)"), "C:\\My");
    EXPECT_EQ(Reg("REGSTR(HKCU Software\\%WINDIR% v)"), "via folder");
    EXPECT_EQ(Reg("REGSTR(HKLM Software\\App Expand)"), "%WINDIR%");  // taken as stored
    EXPECT_EQ(sink.Text(), "");
    // An empty piece is reported but counts: "" names the default value.
    EXPECT_EQ(Reg("REGSTR(HKLM Software\\App \"\")"), "default");
    EXPECT_EQ(sink.Text(), "ExpandRegStr... empty param... HKLM Software\\App \"\" \n");
}

TEST_F(MacrosTest, UnresolvableMacrosFail) {
    struct Case {
        std::string text, debug;
    } cases[] = {
        {"REGSTR(HKLM Software\\App Missing)", ""},
        {"REGSTR(HKLM Software\\App Empty)", ""},
        {"REGSTR(HKLM Software\\App Number)", ""},
        {"REGSTR(HKLM Software\\App Long)", ""},
        {"REGSTR(HKLM Software\\Nowhere Dir)", ""},
        {"REGSTR(HKLM Software\\App Dir",
         "ExpandRegStr... ) mismatch...REGSTR(HKLM Software\\App Dir\n"},
        {"REGSTR(HKLM Software\\App)", "ExpandRegStr... # of param... HKLM Software\\App \n"},
        {"REGSTR(HKLM Software\\My App Path)",
         "ExpandRegStr... # of param... HKLM Software\\My App Path \n"},
        {"REGSTR(HKLM Software\\App \"Dir)",
         "ExpandRegStr... # of param... HKLM Software\\App \"Dir \n"},
        {"REGSTR(HKXX Software\\App Dir)", "STR2HKEY... HKXX\n"},
        {"REGSTR(HKLM REGSTR(HKLM Software\\App Dir) x)",
         "ExpandRegStr... ) mismatch...REGSTR(HKLM\n"},
    };
    for (const Case& c : cases) {
        sink.Clear();
        EXPECT_EQ(Reg(c.text), "<fail>") << c.text;
        EXPECT_EQ(sink.Text(), c.debug) << c.text;
    }
}

TEST_F(MacrosTest, FolderEntryReferringToItselfThroughAMacroDoesNotRecurseForever) {
    ctx.folders().FAVDIR = "REGSTR(HKLM %FAVDIR% x)";
    EXPECT_EQ(Reg("REGSTR(HKLM %FAVDIR% x)"), "<fail>");
    EXPECT_TRUE(sink.Contains("ExpandRegStr... too deep... "));
}

}  // namespace
}  // namespace veldan::engine
