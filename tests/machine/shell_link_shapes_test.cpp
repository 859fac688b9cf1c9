// Shortcut files of every shape Windows opens, through the ShellLinks interface of
// the machine image: what the shell reports as target, arguments and icon.

#include <gtest/gtest.h>

#include "machine/folder/host_paths.h"
#include "machine/folder/image_profiles.h"
#include "machine/folder/image_shell_links.h"
#include "machine/folder/lnk_reader.h"
#include "support/lnk_parts.h"
#include "support/temp_dir.h"

namespace veldan::machine {
namespace {

namespace parts = test::lnk;
namespace flags = image::lnk;

class ShellLinkShapesTest : public ::testing::Test {
  protected:
    // Loads `bytes` as a .lnk file of the image.
    WinError Load(const std::string& bytes, ShellLinkData& link) {
        dir_.Write("drive_c/s.lnk", bytes);
        return links_.LoadShellLink("C:\\s.lnk", link);
    }

    static std::string SystemCmdIdList() {
        return parts::IdList({parts::MyComputerItem(), parts::DriveItem("C:\\"),
                              parts::FileItem("WINDOWS", "WINDOWS", true),
                              parts::FileItem("system32", "system32", true),
                              parts::FileItem("cmd.exe", "cmd.exe", false)});
    }

    test::TempDir dir_;
    image::HostPaths paths_{dir_.str() + "/drive_c"};
    image::ImageProfiles profiles_{paths_, "C:\\WINDOWS"};
    image::ImageShellLinks links_{paths_, profiles_};
};

// The malicious shape: only an ID list, no LinkInfo, and the command line pushed
// out of sight behind a working folder padded with spaces.
TEST_F(ShellLinkShapesTest, IdListOnlyLinkWithHiddenArgumentsReadsInFull) {
    const std::string padded = "%SystemRoot%" + std::string(1000, ' ');
    const std::string hidden = std::string(300, ' ') + std::string(200, '\n') +
                               "/c start /min powershell -w hidden -enc SQBFAFgA & 악성.exe";
    const std::string bytes =
        parts::Header(flags::kHasLinkTargetIdList | flags::kHasWorkingDir | flags::kHasArguments |
                          flags::kHasIconLocation | flags::kIsUnicode,
                      70, 7) +
        SystemCmdIdList() + parts::String(padded, true) + parts::String(hidden, true) +
        parts::String("%SystemRoot%\\system32\\shell32.dll", true) + parts::TrackerBlock("victim") +
        parts::Terminal();
    ShellLinkData link;
    ASSERT_EQ(Load(bytes, link), ERROR_SUCCESS);
    EXPECT_EQ(link.target, "C:\\WINDOWS\\system32\\cmd.exe");
    EXPECT_EQ(link.arguments, hidden);
    EXPECT_EQ(link.workingDirectory, padded);
    EXPECT_EQ(link.iconLocation, "%SystemRoot%\\system32\\shell32.dll");
    EXPECT_EQ(link.iconIndex, 70);
    EXPECT_EQ(link.showCommand, 7);
}

TEST_F(ShellLinkShapesTest, TargetFollowsTheShellsOrder) {
    const std::string info = parts::LocalLinkInfo("C:\\info\\a.exe", "", false);
    const std::string env =
        parts::EnvironmentBlock(flags::kEnvironmentBlock, "%windir%\\e.exe", true);
    const std::string relative = parts::String("..\\rel.exe", false);
    struct Case {
        std::uint32_t flags;
        std::string body;
        std::string target;
    };
    const Case cases[] = {
        // The environment target when the flags say so, before the LinkInfo.
        {flags::kHasLinkTargetIdList | flags::kHasLinkInfo | flags::kHasExpString,
         SystemCmdIdList() + info + env, "%windir%\\e.exe"},
        // Without the flag the block is not the target.
        {flags::kHasLinkTargetIdList | flags::kHasLinkInfo, SystemCmdIdList() + info + env,
         "C:\\info\\a.exe"},
        // The LinkInfo the flags tell to ignore gives way to the ID list.
        {flags::kHasLinkTargetIdList | flags::kHasLinkInfo | flags::kForceNoLinkInfo,
         SystemCmdIdList() + info, "C:\\WINDOWS\\system32\\cmd.exe"},
        {flags::kHasLinkInfo, parts::NetworkLinkInfo("\\\\SRV\\share", "Z:", "a.exe"),
         "\\\\SRV\\share\\a.exe"},
        // An ID list of another shape: the relative path as stored.
        {flags::kHasLinkTargetIdList | flags::kHasRelativePath,
         parts::IdList({parts::OtherItem()}) + relative, "..\\rel.exe"},
        {flags::kHasRelativePath, relative, "..\\rel.exe"},
        {0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        ShellLinkData link;
        ASSERT_EQ(Load(parts::Header(c.flags) + c.body + parts::Terminal(), link), ERROR_SUCCESS);
        EXPECT_EQ(link.target, c.target);
    }
}

// Tracker, environment and property store blocks in an order other writers do
// not use, with an icon-environment block the flags point at.
TEST_F(ShellLinkShapesTest, ExtraBlocksInUnusualOrder) {
    const std::string bytes =
        parts::Header(flags::kHasLinkTargetIdList | flags::kHasName | flags::kHasIconLocation |
                      flags::kHasExpString | flags::kHasExpIcon) +
        SystemCmdIdList() + parts::String("광고 바로 가기", false) +
        parts::String("C:\\old.ico", false) + parts::TrackerBlock("pc") +
        parts::EnvironmentBlock(flags::kEnvironmentBlock, "%ProgramFiles%\\광고\\ad.exe", false) +
        parts::PropertyStoreBlock() + parts::TrackerBlock("pc2") +
        parts::EnvironmentBlock(flags::kIconEnvironmentBlock, "%ProgramFiles%\\광고\\ad.ico",
                                true) +
        parts::Terminal();
    ShellLinkData link;
    ASSERT_EQ(Load(bytes, link), ERROR_SUCCESS);
    EXPECT_EQ(link.target, "%ProgramFiles%\\광고\\ad.exe");
    EXPECT_EQ(link.iconLocation, "%ProgramFiles%\\광고\\ad.ico");
    EXPECT_EQ(link.description, "광고 바로 가기");

    // Without HasExpIcon the stored icon location stays.
    std::string plain = bytes;
    plain[0x15] = static_cast<char>(plain[0x15] & ~0x40);
    ASSERT_EQ(Load(plain, link), ERROR_SUCCESS);
    EXPECT_EQ(link.iconLocation, "C:\\old.ico");
}

}  // namespace
}  // namespace veldan::machine
