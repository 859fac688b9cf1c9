// Moving machines between the image form and the installation form: what each
// key becomes, what cannot move, and that a round trip keeps the registry.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/backends/hive_convert.h"
#include "machine/image/image_machine.h"
#include "machine/reg_file.h"
#include "support/hive_factory.h"
#include "support/image_builder.h"
#include "text/codepage.h"

namespace veldan::machine::hive {
namespace {

using image::ImageMachine;
using test::ImageBuilder;
using test::TempDir;
namespace fs = std::filesystem;

// Every key and value under root\path of `a` is in `b` with the same data.
void ExpectContained(const Registry& a, const Registry& b, HKEY root, const std::string& path) {
    SCOPED_TRACE(path);
    ASSERT_EQ(b.OpenKey(root, path), ERROR_SUCCESS);
    std::string name;
    RegValue va, vb;
    for (std::uint32_t i = 0; a.EnumValue(root, path, i, name, &va) == ERROR_SUCCESS; ++i) {
        ASSERT_EQ(b.QueryValue(root, path, name, vb), ERROR_SUCCESS) << name;
        EXPECT_EQ(va, vb) << name;
    }
    for (std::uint32_t i = 0; a.EnumKey(root, path, i, name) == ERROR_SUCCESS; ++i) {
        ExpectContained(a, b, root, path.empty() ? name : path + "\\" + name);
    }
}

constexpr std::string_view kUserSid = "S-1-5-21-5-6-7-1000";

ImageBuilder& SampleImage(ImageBuilder& image) {
    std::string bigValue;
    for (int i = 0; i < 6000; ++i) bigValue += "00,";
    bigValue += "01";
    return image
        .Ini(
            "[machine]\nos=nt\nuser=Owner\n[process explorer]\nimage=C:\\WINDOWS\\explorer.exe\n"
            "[protected]\nkey=HKLM\\SOFTWARE\\Spy\n")
        .Reg("10.reg",
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" +
                 std::string(kUserSid) +
                 "]\r\n\"ProfileImagePath\"=\"C:\\\\Documents and Settings\\\\owner\\\\\"\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Spy]\r\n\"blob\"=hex:" +
                 bigValue +
                 "\r\n"
                 "\"한글\"=\"값\"\r\n\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{9}]\r\n@=\"machine\"\r\n"
                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000003\r\n"
                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spy]\r\n\"Start\"="
                 "dword:2\r\n"
                 "[HKEY_USERS\\.DEFAULT\\Software\\Spy]\r\n"
                 "[HKEY_USERS\\" +
                 std::string(kUserSid) +
                 "\\Software\\Spy]\r\n"
                 "\"both\"=\"from HKU\"\r\n\"hku\"=\"only HKU\"\r\n"
                 "[HKEY_USERS\\" +
                 std::string(kUserSid) +
                 "_Classes\\.spy]\r\n@=\"spyfile\"\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Spy]\r\n\"both\"=\"from HKCU\"\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{9}]\r\n@=\"user\"\r\n")
        .File("C:\\WINDOWS\\explorer.exe", "MZ");
}

TEST(ConvertToInstallation, PutsEachTreeIntoTheHiveWindowsKeepsItIn) {
    TempDir dir;
    ImageBuilder image(dir);
    SampleImage(image);
    const std::string target = (dir.path() / "xp").string();
    ConvertReport report;
    ConvertError error;
    ASSERT_TRUE(ConvertImageToInstallation(image.folder(), target, report, error)) << error.message;
    EXPECT_EQ(report.written.size(), 5u);
    ASSERT_EQ(report.notes.size(), 2u);
    EXPECT_EQ(report.notes[0],
              "1 processes and 0 windows left out: nothing runs on an installation");
    EXPECT_NE(report.notes[1].find("1 protected keys left out"), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(target) / "WINDOWS" / "explorer.exe"));

    auto m = test::LoadMachine(target);
    ASSERT_NE(m, nullptr);
    const Registry& reg = m->registry();
    RegValue v;
    // The current control set became the set Select names.
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet003\\Services\\Spy"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001"), ERROR_FILE_NOT_FOUND);
    // HKU\<SID> and HKCU are one hive; HKCU's values win.
    ASSERT_EQ(reg.QueryValue(HKEY_CURRENT_USER, "Software\\Spy", "both", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "from HKCU");
    ASSERT_EQ(reg.QueryValue(HKEY_CURRENT_USER, "Software\\Spy", "hku", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "only HKU");
    // The classes of the user are UsrClass.dat, over the machine's in HKCR.
    EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Classes\\.spy"), ERROR_SUCCESS);
    ASSERT_EQ(reg.QueryValue(HKEY_CLASSES_ROOT, "CLSID\\{9}", "", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "user");
    EXPECT_EQ(reg.OpenKey(HKEY_USERS, ".DEFAULT\\Software\\Spy"), ERROR_SUCCESS);

    // Everything the image held is there, big values and Hangul names included.
    auto original = image.Load();
    ASSERT_NE(original, nullptr);
    for (auto [root, path] :
         {std::pair{HKEY_LOCAL_MACHINE, "SOFTWARE"}, std::pair{HKEY_LOCAL_MACHINE, "SYSTEM"},
          std::pair{HKEY_USERS, ".DEFAULT"}, std::pair{HKEY_CURRENT_USER, ""}}) {
        ExpectContained(original->registry(), reg, root, path);
    }
    ASSERT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Spy", "blob", v), ERROR_SUCCESS);
    EXPECT_EQ(v.data.size(), 6001u);
}

TEST(ConvertToInstallation, RefusesWhatNoHiveCanHoldAndWritesNothing) {
    TempDir dir;
    ImageBuilder image(dir);
    image.Reg("10.reg",
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\Description]\r\n"
              "[HKEY_USERS\\S-1-5-19\\Software]\r\n[HKEY_USERS\\.DEFAULT\\Software]\r\n");
    const std::string target = (dir.path() / "xp").string();
    ConvertReport report;
    ConvertError error;
    EXPECT_FALSE(ConvertImageToInstallation(image.folder(), target, report, error));
    EXPECT_EQ(error.message,
              "no hive of an installation holds these keys: HKLM\\HARDWARE HKU\\S-1-5-19");
    EXPECT_FALSE(fs::exists(target));

    ImageBuilder nineX(dir, "98");
    nineX.Ini("[machine]\nos=9x\n");
    EXPECT_FALSE(ConvertImageToInstallation(nineX.folder(), target, report, error));
    EXPECT_NE(error.message.find("9x"), std::string::npos);

    ImageBuilder good(dir, "good");
    dir.Write("busy/file", "x");
    EXPECT_FALSE(
        ConvertImageToInstallation(good.folder(), (dir.path() / "busy").string(), report, error));
    EXPECT_NE(error.message.find("new or empty folder"), std::string::npos);
    EXPECT_EQ(dir.Read("busy/file"), "x");

    // An installation is no image to convert, and an image no installation.
    ASSERT_TRUE(ConvertImageToInstallation(good.folder(), target, report, error)) << error.message;
    EXPECT_FALSE(
        ConvertImageToInstallation(target, (dir.path() / "again").string(), report, error));
    EXPECT_NE(error.message.find("installation already"), std::string::npos);
    EXPECT_FALSE(ConvertInstallationToImage(good.folder(), {}, (dir.path() / "again").string(),
                                            report, error));
    EXPECT_NE(error.message.find("no Windows installation"), std::string::npos);
}

TEST(Convert, ATargetInsideOrAroundTheSourceIsRefusedAndAFailedConvertLeavesNoTarget) {
    TempDir dir;
    ImageBuilder image(dir);
    SampleImage(image);
    ConvertReport report;
    ConvertError error;
    const std::string inside = image.folder() + "/drive_c/out";
    EXPECT_FALSE(ConvertImageToInstallation(image.folder(), inside, report, error));
    EXPECT_NE(error.message.find("inside the machine being converted"), std::string::npos)
        << error.message;
    EXPECT_FALSE(fs::exists(inside));
    EXPECT_FALSE(ConvertImageToInstallation(image.folder(), image.folder() + "/", report, error));
    EXPECT_FALSE(ConvertImageToInstallation(image.folder(), dir.str(), report, error));
    EXPECT_NE(error.message.find("inside the target folder"), std::string::npos) << error.message;

    const std::string installation = test::MakeInstallation(image, dir);
    EXPECT_FALSE(ConvertInstallationToImage(installation, {}, installation + "/WINDOWS/img", report,
                                            error));
    EXPECT_NE(error.message.find("inside the machine being converted"), std::string::npos);
    EXPECT_FALSE(fs::exists(installation + "/WINDOWS/img"));

    // Failing half way (the hive folder is taken by a file) removes what was
    // written; an empty folder given as the target stays, empty.
    ImageBuilder broken(dir, "broken");
    SampleImage(broken).File("C:\\WINDOWS\\system32\\config", "not a folder");
    const std::string target = (dir.path() / "xp").string();
    EXPECT_FALSE(ConvertImageToInstallation(broken.folder(), target, report, error));
    EXPECT_FALSE(fs::exists(target)) << error.message;
    fs::create_directory(target);
    EXPECT_FALSE(ConvertImageToInstallation(broken.folder(), target, report, error));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(fs::is_empty(target));
}

TEST(ConvertToImage, KeepsTheRegistryTheUserSeesAndTheDrive) {
    TempDir dir;
    ImageBuilder image(dir);
    SampleImage(image);
    const std::string installation = test::MakeInstallation(image, dir);
    ASSERT_FALSE(installation.empty());
    fs::create_directories(fs::path(installation) / "Documents and Settings" / "Guest");
    fs::copy_file(fs::path(installation) / "Documents and Settings" / "Owner" / "NTUSER.DAT",
                  fs::path(installation) / "Documents and Settings" / "Guest" / "NTUSER.DAT");
    std::ofstream(fs::path(installation) / "pagefile.sys") << "swap";

    const std::string back = (dir.path() / "back").string();
    ConvertReport report;
    ConvertError error;
    EXPECT_FALSE(ConvertInstallationToImage(installation, {}, back, report, error));
    EXPECT_TRUE(error.chooseUser);
    EXPECT_EQ(error.profiles, (std::vector<std::string>{"Guest", "Owner"}));
    ASSERT_TRUE(ConvertInstallationToImage(installation, {"Owner", false}, back, report, error))
        << error.message;
    EXPECT_EQ(report.written,
              (std::vector<std::string>{back + "/registry/machine.reg", back + "/machine.ini"}));
    EXPECT_FALSE(fs::exists(fs::path(back) / "drive_c" / "pagefile.sys"));
    EXPECT_TRUE(fs::exists(fs::path(back) / "drive_c" / "WINDOWS" / "explorer.exe"));

    auto from = test::LoadMachine(installation, {"Owner", false});
    auto to = test::LoadMachine(back);
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    EXPECT_NE(dynamic_cast<ImageMachine*>(to.get()), nullptr);
    EXPECT_EQ(to->userName(), "Owner");
    EXPECT_EQ(to->system().WindowsDirectory(), "C:\\WINDOWS");
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        ExpectContained(from->registry(), to->registry(), root, "");
        ExpectContained(to->registry(), from->registry(), root, "");
    }

    // And back again: the same registry once more.
    const std::string again = (dir.path() / "again").string();
    ASSERT_TRUE(ConvertImageToInstallation(back, again, report, error)) << error.message;
    auto twice = test::LoadMachine(again, {"Owner", false});
    ASSERT_NE(twice, nullptr);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        ExpectContained(from->registry(), twice->registry(), root, "");
        ExpectContained(twice->registry(), from->registry(), root, "");
    }
}

}  // namespace
}  // namespace veldan::machine::hive
