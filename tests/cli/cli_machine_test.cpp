// veldan-cli reg export and machine restart, run as a user runs them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/image_builder.h"
#include "support/run_program.h"

namespace veldan::test {
namespace {

TEST(CliUsage, BadUsageExitsTwoWithOneLine) {
    auto r = RunProgram("veldan-cli", {});
    EXPECT_EQ(r.exitCode, 2);
    r = RunProgram("veldan-cli", {"frobnicate"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    r = RunProgram("veldan-cli", {"reg", "export"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--machine"), std::string::npos);
    r = RunProgram("veldan-cli", {"reg", "export", "--machine"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunProgram("veldan-cli", {"reg", "export", "--machine", "/x", "HKXX\\Software"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(CliUsage, UserOptionIsForInstallationsOnly) {
    TempDir dir;
    ImageBuilder b(dir);
    auto r = RunProgram("veldan-cli", {"reg", "export", "--machine", b.folder(), "--user", "Kim"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--user"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST(CliRegExport, SortedWholeRegistryAndOneTree) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Reg("1.reg",
          "[HKEY_LOCAL_MACHINE\\Software\\Zeta]\r\n\"b\"=\"2\"\r\n\"A\"=\"1\"\r\n@=\"d\"\r\n"
          "[HKEY_LOCAL_MACHINE\\Software\\alpha]\r\n"
          "[HKEY_CURRENT_USER\\Software\\U]\r\n\"x\"=dword:0000000a\r\n");
    auto r = RunProgram("veldan-cli", {"reg", "export", "--machine", b.folder()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    auto pos = [&](const char* s) { return r.out.find(s); };
    EXPECT_LT(pos("[HKEY_CURRENT_USER\\Software\\U]"),
              pos("[HKEY_LOCAL_MACHINE\\Software\\alpha]"));
    EXPECT_LT(pos("[HKEY_LOCAL_MACHINE\\Software\\alpha]"),
              pos("[HKEY_LOCAL_MACHINE\\Software\\Zeta]"));
    // Values sorted too, the default first.
    EXPECT_LT(pos("@=\"d\""), pos("\"A\"=\"1\""));
    EXPECT_LT(pos("\"A\"=\"1\""), pos("\"b\"=\"2\""));

    r = RunProgram("veldan-cli",
                   {"reg", "export", "--machine", b.folder(), "HKLM\\software\\zeta"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("[HKEY_LOCAL_MACHINE\\Software\\Zeta]"), std::string::npos);
    EXPECT_EQ(r.out.find("alpha"), std::string::npos);
    r = RunProgram("veldan-cli", {"reg", "export", "--machine", b.folder(),
                                  "HKEY_LOCAL_MACHINE\\Software\\Zeta"});
    EXPECT_EQ(r.exitCode, 0);

    r = RunProgram("veldan-cli",
                   {"reg", "export", "--machine", b.folder(), "HKLM\\Software\\Missing"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
}

TEST(CliRegExport, UnreadableImagesFailWithTheirPath) {
    TempDir dir;
    auto r =
        RunProgram("veldan-cli", {"reg", "export", "--machine", (dir.path() / "absent").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("absent"), std::string::npos);

    ImageBuilder b(dir);
    b.Reg("broken.reg", "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"unterminated=\"x\r\n");
    r = RunProgram("veldan-cli", {"reg", "export", "--machine", b.folder()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broken.reg:4"), std::string::npos) << r.err;
}

TEST(CliMachineRestart, CarriesOutPendingDeletesAndSaves) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini("[machine]\nos=nt\n[process bad]\nimage=C:\\bad.exe\n")
        .File("C:\\bad.exe")
        .Reg("1.reg",
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
             "\"PendingFileRenameOperations\"=hex(7):5c,00,3f,00,3f,00,5c,00,43,00,3a,00,5c,00,62,"
             "00,61,"
             "00,64,00,2e,00,65,00,78,00,65,00,00,00,00,00,00,00\r\n");
    auto r = RunProgram("veldan-cli", {"machine", "restart", "--machine", b.folder()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("C:\\bad.exe: deleted"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(b.Host("C:\\bad.exe")));
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->processes().List().empty());
    EXPECT_TRUE(m->PendingDeletes().empty());
}

TEST(CliBundledImage, SampleMachineLoadsAndExports) {
    TempDir dir;
    std::string copy = (dir.path() / "sample").string();
    CopyTree(SourceFolder() + "/examples/machines/sample-xp", copy);
    auto r = RunProgram("veldan-cli", {"reg", "export", "--machine", copy,
                                       "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("ctfmon.exe"), std::string::npos);
    r = RunProgram("veldan-cli", {"machine", "restart", "--machine", copy});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
}  // namespace veldan::test
