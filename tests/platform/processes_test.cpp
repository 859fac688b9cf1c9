// Listing processes, ending them by image path with retries, and closing
// Explorer and browser windows, on machine images with a manual clock.

#include "platform/processes.h"

#include <gtest/gtest.h>

#include "machine/folder/machine_ini.h"
#include "platform/registry_ops.h"
#include "support/platform_rig.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using namespace machine;  // errors, ManualClock

constexpr const char* kIe = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
constexpr const char* kAccessDenied = "TerminateProcess() error... Access is denied.\r\n\n";

class Processes : public ::testing::Test {
  protected:
    // Loads an image whose machine.ini holds `ini` after the [machine] section;
    // every process image named in `images` exists as a file.
    Context& Load(std::string_view ini, std::initializer_list<std::string_view> images = {},
                  bool nt = true) {
        std::string text = nt ? "[machine]\nos=nt\n" : "[machine]\nos=9x\n";
        text.append(ini);
        rig.image.Ini(text);
        for (std::string_view image : images) rig.image.File(image);
        return rig.Load();
    }
    ManualClock& clock() { return dynamic_cast<ManualClock&>(rig.ctx->clock()); }
    std::vector<std::string> Running() {
        std::vector<std::string> out;
        for (const ProcessInfo& p : rig.ctx->machine().processes().List())
            out.push_back(p.imagePath);
        return out;
    }
    int Count(std::string_view fragment) {
        const std::string all = rig.debug.Text();
        int n = 0;
        for (std::size_t at = all.find(fragment); at != std::string::npos;
             at = all.find(fragment, at + fragment.size()))
            ++n;
        return n;
    }
    test::PlatformRig rig;
};

TEST_F(Processes, ListHoldsEveryRunningProcessWithItsImagePath) {
    Context& ctx = Load(
        "[process a]\nimage=C:\\WINDOWS\\a.exe\n"
        "[process b]\nimage=C:\\gone\\b.exe\n",
        {"C:\\WINDOWS\\a.exe"});
    ProcessList list(ctx);
    ASSERT_EQ(list.Refresh(), 1);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0).imageName, "C:\\WINDOWS\\a.exe");
    EXPECT_EQ(list.At(1).imageName, "C:\\gone\\b.exe");
    EXPECT_NE(list.At(0).processId, list.At(1).processId);
    EXPECT_EQ(list.At(0).moduleId, 0x00400000u);  // PSAPI: the image base

    ASSERT_EQ(ctx.machine().processes().Terminate(list.At(0).processId, 1), ERROR_SUCCESS);
    list.Refresh();  // afresh, not appended
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).imageName, "C:\\gone\\b.exe");
}

TEST_F(Processes, MatchesThroughLongAndShortFormIgnoringCase) {
    // The short form of the browser's folder as the file system makes it: Wine
    // makes short names with a hash (PROGR~XX), Windows and images PROGRA~1.
    std::string shortFolder = "C:\\PROGRA~1\\INTERN~1";
#ifdef _WIN32
    rig.image.File(kIe);
    ASSERT_EQ(rig.image.Load()->files().GetShortPathName(
                  "C:\\Program Files\\Internet Explorer", shortFolder),
              ERROR_SUCCESS);
#endif
    const std::string lowerShort = text::LowerAscii(shortFolder);
    const std::string mixed =
        "c:\\program files" + lowerShort.substr(lowerShort.rfind('\\'));  // long, then short
    Context& ctx = Load(std::string("[process ie]\nimage=") + kIe + "\n[process ie2]\nimage=" +
                            shortFolder + "\\iexplore.exe\n"
                            "[process ghost]\nimage=C:\\nowhere\\iexplore.exe\n"
                            "[process other]\nimage=C:\\WINDOWS\\explorer.exe\n",
                        {kIe, "C:\\WINDOWS\\explorer.exe"});
    // Both the capitalised image and the one given in short form match; an
    // image that does not exist never does.
    EXPECT_EQ(KillProcessesByPath(ctx, "\\iexplore.exe", false), 2);
    EXPECT_EQ(KillProcessesByPath(ctx, "\\IEXPLORE.EXE", false), 2);
    EXPECT_EQ(KillProcessesByPath(ctx, lowerShort + "\\", false), 2);
    EXPECT_EQ(KillProcessesByPath(ctx, "C:\\Program Files\\Internet Explorer", false), 2);
    EXPECT_EQ(KillProcessesByPath(ctx, mixed, false), 0);  // mixed forms
    EXPECT_EQ(KillProcessesByPath(ctx, "EXPLORE", false), 3);
    EXPECT_EQ(KillProcessesByPath(ctx, "\\nowhere\\", false), 0);
    // Counting ends nothing.
    EXPECT_EQ(Running().size(), 4u);
    EXPECT_EQ(rig.debug.Text(), "");
}

TEST_F(Processes, KillEndsEveryMatchAndWaitsAfterEach) {
    Context& ctx = Load(
        "[process a]\nimage=C:\\Bad\\A.exe\n"
        "[process b]\nimage=C:\\Bad\\sub\\b.exe\n"
        "[process c]\nimage=C:\\Good\\c.exe\n",
        {"C:\\Bad\\A.exe", "C:\\Bad\\sub\\b.exe", "C:\\Good\\c.exe"});
    EXPECT_EQ(KillProcessesByPath(ctx, "c:\\bad\\", true), 1);
    EXPECT_EQ(Running(), std::vector<std::string>{"C:\\Good\\c.exe"});
    // The remembered long form was lower-cased for the comparison.
    EXPECT_EQ(rig.debug.Text(), "Kill... c:\\bad\\a.exe\nKill... c:\\bad\\sub\\b.exe\n");
    EXPECT_EQ(clock().sleeps(), 2);
    EXPECT_EQ(clock().slept(), 1000u);
}

TEST_F(Processes, NothingToEndSucceedsAtOnce) {
    Context& ctx = Load("[process c]\nimage=C:\\Good\\c.exe\nterminable=no\n", {"C:\\Good\\c.exe"});
    EXPECT_EQ(KillProcessesByPath(ctx, "\\bad.exe", true), 1);
    EXPECT_EQ(KillProcessRetry(ctx, "\\bad.exe"), 1);
    // An empty text is contained in every path; it must not end every process.
    EXPECT_EQ(KillProcessesByPath(ctx, "", false), 0);
    EXPECT_EQ(KillProcessRetry(ctx, ""), 1);
    EXPECT_EQ(Running().size(), 1u);
    EXPECT_EQ(rig.debug.Text(), "");
    EXPECT_EQ(clock().sleeps(), 0);
}

TEST_F(Processes, UnendableMatchMakesNinePassesAndFails) {
    Context& ctx = Load(
        "[process stuck]\nimage=C:\\Bad\\stuck.exe\nterminable=no\n"
        "[process easy]\nimage=C:\\Bad\\easy.exe\n",
        {"C:\\Bad\\stuck.exe", "C:\\Bad\\easy.exe"});
    EXPECT_EQ(KillProcessRetry(ctx, "C:\\Bad"), 0);
    EXPECT_EQ(Running(), std::vector<std::string>{"C:\\Bad\\stuck.exe"});
    // One failed termination per pass, each logged with its path.
    EXPECT_EQ(Count(std::string(kAccessDenied) + "c:\\bad\\stuck.exe\n"), 9);
    EXPECT_EQ(Count("Kill... c:\\bad\\easy.exe\n"), 1);
    EXPECT_EQ(clock().sleeps(), 1);  // only the successful termination waits
}

TEST_F(Processes, NineXListsLikeToolhelpAndKillsAlike) {
    Context& ctx =
        Load("[process a]\nimage=C:\\WINDOWS\\BAD.EXE\n", {"C:\\WINDOWS\\BAD.EXE"}, false);
    ProcessList list(ctx);
    list.Refresh();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0).imageName, "C:\\WINDOWS\\BAD.EXE");
    EXPECT_EQ(KillProcessRetry(ctx, "c:\\windows\\bad.exe"), 1);
    EXPECT_TRUE(Running().empty());
    EXPECT_EQ(rig.debug.Text(), "Kill... c:\\windows\\bad.exe\n");
}

TEST_F(Processes, CloseWithNothingOpenPostsNothingAndSucceeds) {
    Context& ctx = Load("[window note]\nclass=Notepad\n");
    EXPECT_EQ(CloseBrowserWindows(ctx), 1);
    EXPECT_EQ(clock().sleeps(), 0);
    EXPECT_EQ(ctx.machine().windows().Enumerate().size(), 1u);
}

TEST_F(Processes, CloseShutsShellWindowsThenTheBrowser) {
    Context& ctx = Load(std::string("[process ie]\nimage=") + kIe +
                            "\n[window e]\nclass=ExploreWClass\n"
                            "[window c]\nclass=CabinetWClass\n"
                            "[window b]\nclass=IEFrame\nprocess=ie\n"
                            "[window n]\nclass=Notepad\n",
                        {kIe});
    EXPECT_EQ(CloseBrowserWindows(ctx), 1);
    const auto open = ctx.machine().windows().Enumerate();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].className, "Notepad");
    EXPECT_TRUE(Running().empty());
    // One Explorer round; the browser's process outlives its window here, so
    // the browser rounds run out (8) before the process is ended (one wait).
    EXPECT_EQ(clock().sleeps(), 1 + 8 + 1);
    EXPECT_EQ(rig.debug.Text(), "Kill... c:\\program files\\internet explorer\\iexplore.exe\n");
}

TEST_F(Processes, CloseGivesUpOnWhatStaysOpen) {
    Context& ctx = Load(std::string("[process ie]\nimage=") + kIe +
                            "\nterminable=no\n"
                            "[window e]\nclass=ExploreWClass\ncloses=no\n",
                        {kIe});
    EXPECT_EQ(IsExplorerWindowOpen(ctx), 1);
    EXPECT_EQ(IsBrowserRunning(ctx), 1);  // by its process alone
    EXPECT_EQ(CloseBrowserWindows(ctx), 0);
    // Eight rounds each; failed terminations do not wait.
    EXPECT_EQ(clock().sleeps(), 16);
    EXPECT_EQ(ctx.machine().windows().Enumerate().size(), 1u);
    EXPECT_EQ(Count(kAccessDenied), 9);
}

TEST_F(Processes, TheDebugPrivilegeNeedsAdministrativeRights) {
    Context& ctx = Load("");
    WinError error = ERROR_GEN_FAILURE;
    EXPECT_EQ(SetPrivilege(ctx, "SeDebugPrivilege", true, error), 1);
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_EQ(SetPrivilege(ctx, "SeNoSuchPrivilege", true, error), 0);
    EXPECT_EQ(error, ERROR_NO_SUCH_PRIVILEGE);
}

TEST_F(Processes, WithoutAdministrativeRightsThePrivilegeIsNotAssigned) {
    Context& ctx = Load("admin=no\n");
    WinError error = ERROR_SUCCESS;
    EXPECT_EQ(SetPrivilege(ctx, "SeDebugPrivilege", true, error), 0);
    EXPECT_EQ(error, ERROR_NOT_ALL_ASSIGNED);
    LogLastError(ctx, "SetPrivilege", error);
    EXPECT_EQ(rig.debug.Text(),
              "SetPrivilege() error... Not all privileges referenced are assigned to the "
              "caller.\r\n\n");
}

TEST(MachineIniAdmin, ReadAndWrittenBack) {
    machine::image::MachineIni ini;
    machine::image::IniError error;
    ASSERT_TRUE(machine::image::ParseMachineIni("[machine]\nadmin=no\n", ini, error));
    EXPECT_FALSE(ini.admin);
    machine::image::MachineIni again;
    ASSERT_TRUE(machine::image::ParseMachineIni(machine::image::WriteMachineIni(ini), again, error));
    EXPECT_FALSE(again.admin);
    EXPECT_FALSE(machine::image::ParseMachineIni("[machine]\nadmin=maybe\n", ini, error));
}

}  // namespace
}  // namespace veldan::platform
