// A Windows installation as a machine: finding its hives whatever the case of
// their names, choosing the user, the registry as that user sees it, the image
// backend's services over the drive, and writing the hives back safely.

#include <gtest/gtest.h>

#include <filesystem>

#include "host/file_read.h"
#include "machine/hive/hive_registry.h"
#include "machine/hive/hive_writer.h"
#include "machine/hive/installation.h"
#include "machine/hive/installation_machine.h"
#include "machine/backends/open_machine.h"
#include "support/hive_factory.h"
#include "support/image_builder.h"
#include "text/codepage.h"

namespace veldan::machine::hive {
namespace {

using machine::MachineError;
using image::ImageMachine;
using machine::LoadOptions;
using test::ImageBuilder;
using test::TempDir;
namespace fs = std::filesystem;

constexpr std::string_view kProfileList =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
    "NT\\CurrentVersion\\ProfileList\\S-1-5-18]\r\n"
    "\"ProfileImagePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,\\\r\n"
    "  6f,00,74,00,25,00,00,00\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
    "S-1-5-21-11-22-33-1003]\r\n"
    "\"ProfileImagePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,44,00,72,00,69,\\\r\n"
    "  00,76,00,65,00,25,00,5c,00,44,00,6f,00,63,00,75,00,6d,00,65,00,6e,00,74,00,73,\\\r\n"
    "  00,20,00,61,00,6e,00,64,00,20,00,53,00,65,00,74,00,74,00,69,00,6e,00,67,00,73,\\\r\n"
    "  00,5c,00,4b,00,69,00,6d,00,00,00\r\n";  // %SystemDrive%\Documents and Settings\Kim

// An installation of user Kim with a Windows folder named WINNT.
class Installation : public ::testing::Test {
  protected:
    void SetUp() override {
        ImageBuilder image(dir, "image");
        image.Ini("[machine]\nos=nt\nuser=Kim\nwindir=C:\\WINNT\n")
            .Reg("10.reg",
                 std::string(kProfileList) +
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"v\"=\"machine\"\r\n"
                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000001\r\n"
                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spy]\r\n"
                     "[HKEY_USERS\\.DEFAULT\\Software\\Default]\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                     "Explorer\\User Shell Folders]\r\n"
                     "\"Desktop\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,"
                     "46,00,49,00,4c,00,45,00,25,00,5c,00,44,00,65,00,73,00,6b,00,00,00\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Spy]\r\n\"u\"=\"user\"\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Classes\\.spy]\r\n@=\"spyfile\"\r\n")
            .File("C:\\WINNT\\system32\\spy.dll", "MZ")
            .Folder("C:\\Documents and Settings\\Kim\\Desk");
        folder = test::MakeInstallation(image, dir);
        ASSERT_FALSE(folder.empty());
    }
    std::string Host(std::string_view relative) const {
        return (fs::path(folder) / fs::path(std::string(relative))).string();
    }
    // A second user profile: a copy of Kim's.
    void AddProfile(const std::string& name) {
        fs::create_directories(Host("Documents and Settings/" + name));
        fs::copy_file(Host("Documents and Settings/Kim/NTUSER.DAT"),
                      Host("Documents and Settings/" + name + "/NTUSER.DAT"));
    }
    MachineError LoadError(const LoadOptions& options = {}) const {
        MachineError error;
        EXPECT_EQ(OpenMachine(folder, options, error), nullptr);
        return error;
    }

    TempDir dir;
    std::string folder;
};

TEST_F(Installation, IsFoundByItsHivesWhateverTheCaseOfTheirNames) {
    InstallationLayout layout;
    ASSERT_TRUE(FindInstallation(folder, layout));
    EXPECT_EQ(layout.windirName, "WINNT");
    EXPECT_EQ(layout.software, Host("WINNT/system32/config/SOFTWARE"));
    ASSERT_EQ(layout.profiles.size(), 1u);
    EXPECT_FALSE(layout.profiles[0].usrClass.empty());

    // Windows spells them as it likes.
    fs::rename(Host("WINNT"), Host("winnt"));
    fs::rename(Host("winnt/system32/config/SOFTWARE"), Host("winnt/system32/config/software"));
    fs::rename(Host("Documents and Settings/Kim/NTUSER.DAT"),
               Host("Documents and Settings/Kim/ntuser.dat"));
    ASSERT_TRUE(FindInstallation(folder, layout));
    EXPECT_EQ(layout.software, Host("winnt/system32/config/software"));
    EXPECT_EQ(layout.profiles[0].ntuser, Host("Documents and Settings/Kim/ntuser.dat"));
    auto m = test::LoadMachine(folder);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->system().WindowsDirectory(), "C:\\winnt");

    // Any folder holding system32\config with both machine hives will do; one
    // without SYSTEM is no installation.
    fs::rename(Host("winnt"), Host("Win"));
    EXPECT_TRUE(IsInstallation(folder));
    fs::remove(Host("Win/system32/config/SYSTEM"));
    EXPECT_FALSE(IsInstallation(folder));
    MachineError error;
    EXPECT_EQ(image::ImageMachine::Load(folder, error), nullptr);
    EXPECT_NE(error.message.find("drive_c"), std::string::npos);
}

TEST_F(Installation, ShowsTheRegistryAsItsUserSeesIt) {
    auto m = test::LoadMachine(folder);
    ASSERT_NE(m, nullptr);
    ASSERT_NE(dynamic_cast<InstallationMachine*>(m.get()), nullptr);
    const Registry& reg = m->registry();
    RegValue v;
    EXPECT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, "Software\\Vendor", "v", v), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Spy"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Spy"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_USERS, ".DEFAULT\\Software\\Default"), ERROR_SUCCESS);
    ASSERT_EQ(reg.QueryValue(HKEY_USERS, "S-1-5-21-11-22-33-1003\\Software\\Spy", "u", v),
              ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "user");
    EXPECT_EQ(reg.OpenKey(HKEY_USERS, "S-1-5-21-11-22-33-1003_Classes\\.spy"), ERROR_SUCCESS);
    ASSERT_EQ(reg.QueryValue(HKEY_CLASSES_ROOT, ".spy", "", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "spyfile");
    EXPECT_EQ(reg.OpenKey(HKEY_USERS, "S-1-5-18"), ERROR_FILE_NOT_FOUND);

    // The rest is the image backend's, over the drive itself.
    auto& sys = m->system();
    EXPECT_EQ(sys.UserName(), "Kim");
    EXPECT_EQ(sys.SystemDirectory(), "C:\\WINNT\\system32");
    std::string path;
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, false, path), ERROR_SUCCESS);
    EXPECT_EQ(path, "C:\\Documents and Settings\\Kim\\Desk");
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_FAVORITES, false, path), ERROR_SUCCESS);
    EXPECT_EQ(path, "C:\\Documents and Settings\\Kim\\Favorites");
    std::uint32_t attrs = 0;
    EXPECT_EQ(m->files().GetAttributes("C:\\winnt\\SYSTEM32\\spy.dll", attrs), ERROR_SUCCESS);
    std::string shortPath;
    ASSERT_EQ(m->files().GetShortPathName("C:\\Documents and Settings\\Kim", shortPath),
              ERROR_SUCCESS);
    EXPECT_EQ(shortPath, "C:\\DOCUME~1\\Kim");
    EXPECT_TRUE(m->processes().List().empty());
}

TEST_F(Installation, TakesTheOnlyUserAndOtherwiseAsksForOne) {
    // The system's own profiles do not count.
    for (const char* service : {"Default User", "LocalService", "NetworkService"}) {
        AddProfile(service);
    }
    auto m = test::LoadMachine(folder);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->system().UserName(), "Kim");

    AddProfile("Lee");
    MachineError error = LoadError();
    EXPECT_TRUE(error.choosesUser());
    EXPECT_EQ(error.profiles, (std::vector<std::string>{"Kim", "Lee"}));
    EXPECT_NE(error.message.find("--user: Kim, Lee"), std::string::npos) << error.message;

    m = test::LoadMachine(folder, LoadOptions{"lee", false});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->system().UserName(), "Lee");
    // Lee has no ProfileList entry: no HKU\<SID>, HKCU all the same.
    EXPECT_EQ(m->registry().OpenKey(HKEY_USERS, "S-1-5-21-11-22-33-1003"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m->registry().OpenKey(HKEY_CURRENT_USER, "Software\\Spy"), ERROR_SUCCESS);

    error = LoadError(LoadOptions{"Park", false});
    EXPECT_TRUE(error.choosesUser());
    EXPECT_NE(error.message.find("no user profile 'Park'"), std::string::npos) << error.message;

    fs::remove_all(Host("Documents and Settings/Kim"));
    fs::remove_all(Host("Documents and Settings/Lee"));
    error = LoadError();
    EXPECT_FALSE(error.choosesUser());
    EXPECT_NE(error.message.find("no user profile"), std::string::npos);
}

TEST_F(Installation, RefusesUncleanHivesUnlessForced) {
    const std::string ntuser = Host("Documents and Settings/Kim/NTUSER.DAT");
    test::SetHiveSequences(ntuser, 20, 19);
    MachineError error = LoadError();
    EXPECT_FALSE(error.choosesUser());
    EXPECT_NE(error.ToString().find("NTUSER.DAT"), std::string::npos);
    EXPECT_NE(error.message.find("not cleanly written"), std::string::npos);

    auto m = test::LoadMachine(folder, LoadOptions{"", true});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->registry().DeleteTree(HKEY_CURRENT_USER, "Software\\Spy"), ERROR_SUCCESS);
    MachineError saveError;
    ASSERT_TRUE(m->Save(saveError)) << saveError.ToString();
    // Written back by this system, the hive is a clean one again.
    EXPECT_NE(test::LoadMachine(folder), nullptr);
}

TEST_F(Installation, SaveWritesTheChangedHivesAfterBackingThemUp) {
    const std::string software = Host("WINNT/system32/config/SOFTWARE");
    const std::string system = Host("WINNT/system32/config/SYSTEM");
    std::string softwareBefore, systemBefore, defaultBefore;
    ASSERT_TRUE(host::ReadWholeFile(software, softwareBefore));
    ASSERT_TRUE(host::ReadWholeFile(system, systemBefore));
    {
        auto m = test::LoadMachine(folder);
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(m->registry().DeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "v"),
                  ERROR_SUCCESS);
        // A deletion at restart lands in the control set in use.
        ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINNT\\system32\\spy.dll"), ERROR_SUCCESS);
        EXPECT_EQ(m->PendingDeletes(), (std::vector<std::string>{"C:\\WINNT\\system32\\spy.dll"}));
        // Nothing reaches the disk before Save.
        std::string now;
        ASSERT_TRUE(host::ReadWholeFile(software, now));
        EXPECT_EQ(now, softwareBefore);
        MachineError error;
        ASSERT_TRUE(m->Save(error)) << error.ToString();
    }
    std::string backup;
    ASSERT_TRUE(host::ReadWholeFile(software + ".veldan-backup", backup));
    EXPECT_EQ(backup, softwareBefore);
    ASSERT_TRUE(host::ReadWholeFile(system + ".veldan-backup", backup));
    EXPECT_EQ(backup, systemBefore);
    EXPECT_FALSE(fs::exists(Host("Documents and Settings/Kim/NTUSER.DAT.veldan-backup")));
    EXPECT_FALSE(fs::exists(Host("WINNT/system32/config/DEFAULT.veldan-backup")));

    auto m = test::LoadMachine(folder);
    ASSERT_NE(m, nullptr);
    RegValue v;
    EXPECT_EQ(m->registry().QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "v", v),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m->registry().QueryValue(HKEY_LOCAL_MACHINE,
                                       "SYSTEM\\ControlSet001\\Control\\Session Manager",
                                       "PendingFileRenameOperations", v),
              ERROR_SUCCESS);
    // The restart carries it out and clears it.
    auto actions = m->Restart();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].note, "deleted");
    EXPECT_FALSE(fs::exists(Host("WINNT/system32/spy.dll")));
    EXPECT_TRUE(m->PendingDeletes().empty());
}

}  // namespace
}  // namespace veldan::machine::hive
