// The well-known folder table on Windows XP and Windows 98 images, and its
// fallbacks when the shell does not know a folder.

#include "platform/folders.h"

#include <gtest/gtest.h>

#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;  // CSIDL_* and errors

constexpr const char* kOwner = "C:\\Documents and Settings\\Owner";
constexpr const char* kAll = "C:\\Documents and Settings\\All Users";

class Folders : public ::testing::Test {
  protected:
    const FolderTable& Init() {
        InitFolderTable(*rig.ctx);
        return rig.ctx->folders();
    }
    test::PlatformRig rig;
};

TEST_F(Folders, WindowsXpDefaults) {
    rig.Load();
    const FolderTable& t = Init();
    const std::string owner = kOwner, all = kAll;
    EXPECT_EQ(t.WINDIR, "C:\\WINDOWS");
    EXPECT_EQ(t.SYSDIR, "C:\\WINDOWS\\system32");
    EXPECT_EQ(t.FAVDIR, owner + "\\Favorites");
    EXPECT_EQ(t.CMNFAVDIR, all + "\\Favorites");
    EXPECT_EQ(t.LINKSDIR, owner + "\\Favorites\\Links");
    EXPECT_EQ(t.CMNLINKSDIR, all + "\\Favorites\\Links");
    EXPECT_EQ(t.CMNDESKTOPDIR, all + "\\Desktop");
    EXPECT_EQ(t.LOCALAPPDATADIR, owner + "\\Local Settings\\Application Data");
    EXPECT_EQ(t.QUICKLAUNCHDIR,
              owner + "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(t.AXCACHEDIR, "C:\\WINDOWS\\Downloaded Program Files");
    EXPECT_EQ(t.TEMPDIR, owner + "\\Local Settings\\Temp");
    EXPECT_EQ(t.CMNSTARTUPDIR, all + "\\Start Menu\\Programs\\Startup");
    EXPECT_EQ(t.PROFILEDIR, owner);
    EXPECT_EQ(t.PFDIR, "C:\\Program Files");
    EXPECT_EQ(t.SYSTEMDIR, "C:\\WINDOWS\\system");
    EXPECT_EQ(t.SYSTEM32DIR, "C:\\WINDOWS\\system32");
    EXPECT_EQ(t.WINTEMPDIR, "C:\\WINDOWS\\temp");  // whether it exists or not

    // Filling the table only reads: shell folders are asked for without the
    // create flag, and missing ones stay missing.
    EXPECT_FALSE(rig.machine->fakeSystem().asked.empty());
    for (const auto& [csidl, create] : rig.machine->fakeSystem().asked)
        EXPECT_FALSE(create) << csidl;
    std::uint32_t attributes = 0;
    EXPECT_NE(rig.ctx->files().GetAttributes(t.STARTUPDIR, attributes), ERROR_SUCCESS);
    EXPECT_NE(rig.ctx->files().GetAttributes(t.WINTEMPDIR, attributes), ERROR_SUCCESS);
}

TEST_F(Folders, Windows98FallsBackToTheUsersFolders) {
    rig.image.Ini("[machine]\nos=9x\n");
    rig.Load();
    const FolderTable& t = Init();
    EXPECT_EQ(t.SYSDIR, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(t.CMNSTARTUPDIR, t.STARTUPDIR);
    EXPECT_EQ(t.STARTUPDIR, "C:\\WINDOWS\\Start Menu\\Programs\\StartUp");
    EXPECT_EQ(t.CMNDESKTOPDIR, t.DESKTOPDIR);
    EXPECT_EQ(t.CMNFAVDIR, t.FAVDIR);
    EXPECT_EQ(t.CMNLINKSDIR, t.LINKSDIR);
    EXPECT_EQ(t.CMNPROGRAMSDIR, t.PROGRAMSDIR);
    EXPECT_EQ(t.CMNSTARTMENUDIR, t.STARTMENUDIR);
    EXPECT_EQ(t.APPDATADIR, "C:\\WINDOWS\\Application Data");
    EXPECT_EQ(t.LOCALAPPDATADIR, t.APPDATADIR);  // no local, no common: the user's
    EXPECT_EQ(t.CMNAPPDATADIR, t.APPDATADIR);
    EXPECT_EQ(t.PROFILEDIR, "C:\\WINDOWS");
    EXPECT_EQ(t.TEMPDIR, "C:\\WINDOWS\\TEMP");
}

TEST_F(Folders, RegistryFallbacksWhenTheShellDoesNotKnowAFolder) {
    rig.image.Reg(
        "a.reg",
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\r\n"
        "\"ProgramFilesDir\"=\"D:\\\\Programs\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders]\r\n"
        "\"Common Startup\"=\"D:\\\\Startup\"\r\n\"Local AppData\"=\"D:\\\\Local\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\ToolBar]\r\n"
        "\"LinksFolderName\"=\"Verknüpfungen\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\CurrentVersion\\Internet Settings]\r\n"
        "\"ActiveXCache\"=\"D:\\\\Ax\"\r\n");
    rig.Load();
    auto& fake = rig.machine->fakeSystem();
    for (int csidl : {CSIDL_COMMON_STARTUP, CSIDL_LOCAL_APPDATA, CSIDL_PROGRAM_FILES,
                      CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROFILE, CSIDL_FAVORITES}) {
        fake.folders[csidl] = "";
    }
    fake.folders[CSIDL_COMMON_FAVORITES] = std::string(300, 'F');  // too long for the buffer
    fake.tempPath = "C:\\TMP\\\\";
    const FolderTable& t = Init();
    EXPECT_EQ(t.CMNSTARTUPDIR, "D:\\Startup");
    EXPECT_EQ(t.LOCALAPPDATADIR, "D:\\Local");
    EXPECT_EQ(t.PFDIR, "D:\\Programs");
    EXPECT_EQ(t.CFDIR, "");  // no value to fall back on
    EXPECT_EQ(t.PROFILEDIR, "C:\\WINDOWS");
    EXPECT_EQ(t.FAVDIR, "");
    EXPECT_EQ(t.CMNFAVDIR, "");
    EXPECT_EQ(t.LINKSDIR, "\\Verknüpfungen");
    EXPECT_EQ(t.AXCACHEDIR, "D:\\Ax");
    EXPECT_EQ(t.TEMPDIR, "C:\\TMP\\");  // one backslash only
}

TEST_F(Folders, LastResortsAndIgnoredValues) {
    rig.image.Reg("a.reg",
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\ToolBar]\r\n"
                  "\"LinksFolderName\"=dword:00000001\r\n");
    rig.Load();
    auto& fake = rig.machine->fakeSystem();
    for (int csidl : {CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_APPDATA})
        fake.folders[csidl] = "";
    fake.tempPath = "";
    ASSERT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE,
                                  "Software\\Microsoft\\CurrentVersion\\Internet Settings"),
              ERROR_SUCCESS);
    ASSERT_EQ(rig.raw().SetValue(HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\CurrentVersion\\Internet Settings",
                                 "ActiveXCache", RegValue::String(std::string(300, 'a'))),
              ERROR_SUCCESS);
    const FolderTable& t = Init();
    EXPECT_EQ(t.APPDATADIR, "");
    EXPECT_EQ(t.LOCALAPPDATADIR, "");
    EXPECT_EQ(t.QUICKLAUNCHDIR, "\\Microsoft\\Internet Explorer\\Quick Launch");
    EXPECT_EQ(t.LINKSDIR, std::string(kOwner) + "\\Favorites\\Links");
    EXPECT_EQ(t.AXCACHEDIR, "C:\\WINDOWS\\Downloaded Program Files");
    EXPECT_EQ(t.TEMPDIR, "");
}

}  // namespace
}  // namespace veldan::platform
