// The shortcut commands run through the dispatcher: scans read the caches of
// the scan, cures walk their folder lists afresh, name commands look in fixed
// folders; which folders each list holds decides what is found and removed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/shortcut_ops.h"
#include "engine/dispatch.h"
#include "platform/folders.h"
#include "platform/shortcuts.h"
#include "support/lnk_writer.h"
#include "support/platform_rig.h"

namespace veldan::commands {
namespace {

using engine::ExecFunc;
using engine::RunScriptLine;
using platform::Context;

const std::string kProfile = "C:\\Documents and Settings\\Owner";
const std::string kAllUsers = "C:\\Documents and Settings\\All Users";
const std::string kDesktop = kProfile + "\\Desktop";
const std::string kCmnDesktop = kAllUsers + "\\Desktop";
const std::string kFavorites = kProfile + "\\Favorites";
const std::string kSendTo = kProfile + "\\SendTo";
const std::string kPrograms = kProfile + "\\Start Menu\\Programs";
const std::string kStartup = kProfile + "\\Start Menu\\Programs\\Startup";

std::string Url(std::string_view address, std::string_view icon = "") {
    std::string s = "[InternetShortcut]\r\nURL=";
    s.append(address).append("\r\n");
    if (!icon.empty()) s.append("IconFile=").append(icon).append("\r\nIconIndex=0\r\n");
    return s;
}

std::string Lnk(std::string target, std::string arguments = "", std::string icon = "") {
    test::LnkSpec lnk;
    lnk.target = std::move(target);
    lnk.arguments = std::move(arguments);
    lnk.iconLocation = std::move(icon);
    return test::MakeShellLink(lnk);
}

class ShortcutOps : public ::testing::Test {
  protected:
    // Loads the image, fills the folder table and builds the caches, as a scan starts.
    Context& Start() {
        Context& ctx = rig.Load();
        test::CreateShellFolders(*rig.machine);
        platform::InitFolderTable(ctx);
        platform::BuildShortcutCaches(ctx);
        return ctx;
    }
    bool Exists(std::string_view path) {
        std::uint32_t attributes = 0;
        return rig.ctx->files().GetAttributes(path, attributes) == machine::ERROR_SUCCESS;
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const auto& item : rig.ctx->report().found().items()) out.push_back(item.text);
        return out;
    }

    test::PlatformRig rig;
};

// ---- folder lists

TEST(ShortcutFolderLists, ListsTakeTheirFoldersInOrderAndLeaveOutUnknownOnes) {
    platform::FolderTable t;
    t.DESKTOPDIR = "D", t.CMNDESKTOPDIR = "CD", t.STARTMENUDIR = "SM", t.PROGRAMSDIR = "P";
    t.CMNPROGRAMSDIR = "CP", t.FAVDIR = "F", t.CMNFAVDIR = "CF", t.QUICKLAUNCHDIR = "Q";
    t.SENDTODIR = "ST", t.STARTUPDIR = "SU", t.CMNSTARTUPDIR = "CSU", t.WINDIR = "W";
    // CMNSTARTMENUDIR stays empty: not on this machine.
    using L = ShortcutFolderList;
    using V = std::vector<std::string>;
    const V nine = {"D", "CD", "SM", "P", "CP", "F", "CF", "Q"};
    const V twelve = {"D", "CD", "SM", "P", "CP", "F", "CF", "Q", "ST", "SU", "CSU"};
    EXPECT_EQ(ShortcutFolders(t, L::ProgramWalk), twelve);
    EXPECT_EQ(ShortcutFolders(t, L::ProgramNames), twelve);
    EXPECT_EQ(ShortcutFolders(t, L::UrlWalkByAddress),
              (V{"C:", "D", "CD", "SM", "P", "CP", "F", "CF", "Q"}));
    EXPECT_EQ(ShortcutFolders(t, L::UrlWalkByIcon), nine);
    EXPECT_EQ(ShortcutFolders(t, L::UrlNames), nine);
    EXPECT_EQ(ShortcutFolders(t, L::StartupFolders), (V{"SU", "CSU"}));
    t.STARTUPDIR.clear();
    EXPECT_EQ(ShortcutFolders(t, L::StartupFolders), (V{"CSU"}));
}

// ---- by target and icon

TEST_F(ShortcutOps, ByTargetAndIconTheRootShortcutIsFoundButNotCured) {
    rig.image.File(kDesktop + "\\Evil.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    rig.image.File(kSendTo + "\\Evil Send.lnk", Lnk("C:\\PROGRAM FILES\\EVIL\\send.exe"));
    rig.image.File(kStartup + "\\Evil Start.lnk", Lnk("C:\\Program Files\\Evil\\start.exe"));
    rig.image.File("C:\\Evil Root.lnk", Lnk("C:\\Program Files\\Evil\\root.exe"));
    rig.image.File(kPrograms + "\\Evil\\Deep.lnk", Lnk("C:\\Program Files\\Evil\\deep.exe"));
    rig.image.File(kDesktop + "\\Good.lnk", Lnk("C:\\WINDOWS\\casino.exe"));
    rig.image.File(kDesktop + "\\Casino.lnk",
                   Lnk("C:\\WINDOWS\\explorer.exe", "", "C:\\WINDOWS\\casino.ico"));
    Context& ctx = Start();

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByTarget \"program files\\evil\" ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kDesktop + "\\Evil.lnk", "C:\\Evil Root.lnk",
                                                 kStartup + "\\Evil Start.lnk",
                                                 kSendTo + "\\Evil Send.lnk"}));

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByTarget \"program files\\evil\" ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kDesktop + "\\Evil.lnk"));
    EXPECT_FALSE(Exists(kSendTo + "\\Evil Send.lnk"));
    EXPECT_FALSE(Exists(kStartup + "\\Evil Start.lnk"));
    EXPECT_TRUE(Exists("C:\\Evil Root.lnk"));
    EXPECT_TRUE(Exists(kPrograms + "\\Evil\\Deep.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\Good.lnk"));

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByIcon CASINO.ICO ", Mode::Scan), 1);
    EXPECT_EQ(Found().back(), kDesktop + "\\Casino.lnk");
    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByIcon CASINO.ICO ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kDesktop + "\\Casino.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\Good.lnk"));
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

TEST_F(ShortcutOps, InternetShortcutTakesAddressesAndBrowserArguments) {
    rig.image.File(kFavorites + "\\Casino.url", Url("http://www.casino.example/"));
    rig.image.File("C:\\Casino Root.url", Url("http://casino.example/root"));
    rig.image.File(
        kCmnDesktop + "\\Casino.lnk",
        Lnk("C:\\Program Files\\Internet Explorer\\iexplore.exe", "http://CASINO.example/go"));
    rig.image.File(kFavorites + "\\News.url", Url("http://news.example/"));
    rig.image.File(kSendTo + "\\Casino Send.url", Url("http://casino.example/send"));
    Context& ctx = Start();

    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcut casino.example ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kFavorites + "\\Casino.url", "C:\\Casino Root.url",
                                                 kCmnDesktop + "\\Casino.lnk"}));

    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcut casino.example ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kFavorites + "\\Casino.url"));
    EXPECT_FALSE(Exists("C:\\Casino Root.url"));
    EXPECT_FALSE(Exists(kCmnDesktop + "\\Casino.lnk"));
    EXPECT_TRUE(Exists(kFavorites + "\\News.url"));
    // Internet shortcuts in the send-to folder are on no list.
    EXPECT_TRUE(Exists(kSendTo + "\\Casino Send.url"));
}

TEST_F(ShortcutOps, InternetShortcutByIconFindsTheRootButDoesNotCureIt) {
    rig.image.File(kFavorites + "\\Casino.url",
                   Url("http://a.example/", "C:\\WINDOWS\\casino.ico"));
    rig.image.File("C:\\Casino Root.url", Url("http://b.example/", "C:\\WINDOWS\\Casino.ico"));
    rig.image.File(kSendTo + "\\Casino Send.url",
                   Url("http://c.example/", "C:\\WINDOWS\\casino.ico"));
    Context& ctx = Start();

    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcutByIcon casino.ico ", Mode::Scan), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{kFavorites + "\\Casino.url", "C:\\Casino Root.url"}));
    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcutByIcon casino.ico ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kFavorites + "\\Casino.url"));
    EXPECT_TRUE(Exists("C:\\Casino Root.url"));
    EXPECT_TRUE(Exists(kSendTo + "\\Casino Send.url"));
}

TEST_F(ShortcutOps, ScansSeeTheShortcutsOfScanStartCuresSeeTheFoldersNow) {
    Context& ctx = Start();
    // Planted after the caches were built.
    test::LnkSpec lnk;
    lnk.target = "C:\\Program Files\\Evil\\late.exe";
    ASSERT_EQ(ctx.files().WriteFile(kDesktop + "\\Late.lnk", test::MakeShellLink(lnk)),
              machine::ERROR_SUCCESS);

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByTarget evil ", Mode::Scan), 0);
    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByTarget evil ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kDesktop + "\\Late.lnk"));
}

TEST_F(ShortcutOps, ALockedShortcutIsReportedAndTheOtherFoldersAreStillWalked) {
    rig.image.Ini("[process holder]\nimage=C:\\WINDOWS\\holder.exe\nholds=" + kDesktop +
                  "\\Evil.lnk\n");
    rig.image.File("C:\\WINDOWS\\holder.exe");
    rig.image.File(kDesktop + "\\Evil.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    rig.image.File(kStartup + "\\Evil.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    Context& ctx = Start();

    RunScriptLine(ctx, "ShortcutByTarget evil.exe ", Mode::Cure);
    ASSERT_EQ(ctx.report().failed().Count(), 1);
    EXPECT_EQ(ctx.report().failed().At(0).text, kDesktop + "\\Evil.lnk");
    EXPECT_EQ(ctx.report().failed().At(0).type, platform::FILE);
    EXPECT_TRUE(Exists(kDesktop + "\\Evil.lnk"));
    EXPECT_FALSE(Exists(kStartup + "\\Evil.lnk"));
}

TEST_F(ShortcutOps, AnEmptyTextTakesNoShortcut) {
    rig.image.File(kDesktop + "\\Any.lnk", Lnk("C:\\WINDOWS\\notepad.exe"));
    rig.image.File(kFavorites + "\\Any.url", Url("http://any.example/"));
    Context& ctx = Start();
    for (const char* word :
         {"ShortcutByTarget", "ShortcutByIcon", "InternetShortcut", "InternetShortcutByIcon"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(ExecFunc(ctx, word, {""}, Mode::Scan), 0);
        EXPECT_EQ(ExecFunc(ctx, word, {""}, Mode::Cure), 0);
    }
    EXPECT_TRUE(Exists(kDesktop + "\\Any.lnk"));
    EXPECT_TRUE(Exists(kFavorites + "\\Any.url"));
    EXPECT_TRUE(Found().empty());
}

// ---- by name

TEST_F(ShortcutOps, ShortcutByNameLooksInTheTwelveFoldersAndRecordsTheFileTraces) {
    rig.image.File(kSendTo + "\\Evil Tool.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    rig.image.File(kStartup + "\\Evil Tool.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    rig.image.File("C:\\Evil Tool.lnk", Lnk("C:\\Program Files\\Evil\\evil.exe"));
    rig.image.Reg("10-mu.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                  "ModuleUsage\\C:/Documents and Settings/Owner/SendTo/Evil Tool.lnk]\n");
    Context& ctx = Start();

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByName \"Evil Tool\" ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{
                           kSendTo + "\\Evil Tool.lnk",
                           "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\"
                           "C:/Documents and Settings/Owner/SendTo/Evil Tool.lnk",
                           kStartup + "\\Evil Tool.lnk"}));

    EXPECT_EQ(RunScriptLine(ctx, "ShortcutByName \"Evil Tool\" ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kSendTo + "\\Evil Tool.lnk"));
    EXPECT_FALSE(Exists(kStartup + "\\Evil Tool.lnk"));
    EXPECT_TRUE(Exists("C:\\Evil Tool.lnk"));
    EXPECT_NE(rig.raw().OpenKey(machine::HKEY_LOCAL_MACHINE,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\"
                                "C:/Documents and Settings/Owner/SendTo/Evil Tool.lnk"),
              machine::ERROR_SUCCESS);
}

TEST_F(ShortcutOps, InternetShortcutByNameLeavesTheStartupAndSendToFoldersAlone) {
    rig.image.File(kCmnDesktop + "\\Casino.url", Url("http://casino.example/"));
    rig.image.File(kStartup + "\\Casino.url", Url("http://casino.example/"));
    rig.image.File(kSendTo + "\\Casino.url", Url("http://casino.example/"));
    rig.image.File(kDesktop + "\\Casino.lnk", Lnk("C:\\WINDOWS\\casino.exe"));
    Context& ctx = Start();

    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcutByName Casino ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kCmnDesktop + "\\Casino.url"}));
    EXPECT_EQ(RunScriptLine(ctx, "InternetShortcutByName Casino ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kCmnDesktop + "\\Casino.url"));
    EXPECT_TRUE(Exists(kStartup + "\\Casino.url"));
    EXPECT_TRUE(Exists(kSendTo + "\\Casino.url"));
    EXPECT_TRUE(Exists(kDesktop + "\\Casino.lnk"));
}

TEST_F(ShortcutOps, NamedShortcutsInTheStartupFolders) {
    rig.image.File(kStartup + "\\Evil.lnk", Lnk("C:\\WINDOWS\\evil.exe"));
    rig.image.File(kDesktop + "\\Evil.lnk", Lnk("C:\\WINDOWS\\evil.exe"));
    Context& ctx = Start();
    EXPECT_EQ(NamedShortcuts(ctx, ShortcutFolderList::StartupFolders, "Evil", Mode::Scan), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kStartup + "\\Evil.lnk"}));
    EXPECT_EQ(NamedShortcuts(ctx, ShortcutFolderList::StartupFolders, "Evil", Mode::Cure), 1);
    EXPECT_FALSE(Exists(kStartup + "\\Evil.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\Evil.lnk"));
}

}  // namespace
}  // namespace veldan::commands
