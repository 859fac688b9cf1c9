// OpenMachine picks the backend from what the folder holds, and every backend
// answers the LoadedMachine questions in its own way.
#include "machine/backends/open_machine.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "machine/folder/folder_machine.h"
#include "machine/hive/installation_machine.h"
#include "machine/image/image_machine.h"
#include "support/hive_factory.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::machine {
namespace {

using folder::kPendingRenamesValue;
using folder::kSessionManagerKey;
using test::ImageBuilder;
using test::TempDir;
namespace fs = std::filesystem;

// An NT image of user Kim with one file to delete and one to keep.
ImageBuilder& NtImage(ImageBuilder& b) {
    b.Ini("[machine]\nos=nt\nuser=Kim\nwindir=C:\\WINDOWS\n")
        .Reg("10.reg",
             "REGEDIT4\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"v\"=\"machine\"\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000001\r\n"
             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
             "[HKEY_CURRENT_USER\\Software\\Spy]\r\n\"u\"=\"user\"\r\n")
        .File("C:\\WINDOWS\\system32\\spy.dll", "MZ")
        .File("C:\\WINDOWS\\system32\\keep.dll", "MZ")
        .Folder("C:\\Documents and Settings\\Kim");
    return b;
}

TEST(OpenMachine, AnImageFolderOpensAsAnImage) {
    TempDir dir;
    ImageBuilder b(dir);
    NtImage(b);
    MachineError error;
    auto m = OpenMachine(b.folder(), {}, error);
    ASSERT_NE(m, nullptr) << error.ToString();
    EXPECT_NE(dynamic_cast<image::ImageMachine*>(m.get()), nullptr);
    EXPECT_EQ(m->folder(), b.folder());
    EXPECT_EQ(m->userName(), "Kim");
    // An image is replaced whole on save: it keeps no backups.
    ASSERT_EQ(
        m->registry().SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "w", RegValue::String("x")),
        ERROR_SUCCESS);
    ASSERT_TRUE(m->Save(error)) << error.ToString();
    EXPECT_TRUE(m->Backups().empty());

    // An image has one user: naming one is refused with the command line's words.
    auto named = OpenMachine(b.folder(), {"Kim", false}, error);
    EXPECT_EQ(named, nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::UserNotApplicable);
    EXPECT_EQ(error.ToString(), "--user applies to Windows installations only; " + b.folder() +
                                    " is a machine image");
}

TEST(OpenMachine, AnInstallationFolderOpensAsAnInstallation) {
    TempDir dir;
    ImageBuilder b(dir, "image");
    NtImage(b);
    const std::string folder = test::MakeInstallation(b, dir);
    ASSERT_FALSE(folder.empty());
    MachineError error;
    auto m = OpenMachine(folder, {}, error);
    ASSERT_NE(m, nullptr) << error.ToString();
    EXPECT_NE(dynamic_cast<hive::InstallationMachine*>(m.get()), nullptr);
    EXPECT_EQ(m->userName(), "Kim");
    RegValue v;
    ASSERT_EQ(m->registry().QueryValue(HKEY_CURRENT_USER, "Software\\Spy", "u", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "user");

    // The hives changed are backed up before they are replaced.
    EXPECT_TRUE(m->Backups().empty());
    ASSERT_EQ(
        m->registry().SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "w", RegValue::String("x")),
        ERROR_SUCCESS);
    ASSERT_TRUE(m->CheckWritable(error)) << error.ToString();
    ASSERT_TRUE(m->Save(error)) << error.ToString();
    ASSERT_EQ(m->Backups().size(), 1u);
    EXPECT_TRUE(fs::exists(m->Backups()[0])) << m->Backups()[0];

    // A profile that does not exist is the user's to correct.
    EXPECT_EQ(OpenMachine(folder, {"Nobody", false}, error), nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::UnknownUser);
    EXPECT_TRUE(error.choosesUser());
}

TEST(OpenMachine, AFolderThatIsNeitherIsRefusedWithItsReason) {
    TempDir dir;
    dir.Write("plain/readme.txt", "not a machine");
    dir.Write("file.txt", "a file");
    MachineError error;
    EXPECT_EQ(OpenMachine(dir.str() + "/plain", {}, error), nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::NotAMachine);
    EXPECT_EQ(error.ToString(), dir.str() + "/plain/drive_c: the image has no drive_c folder");

    EXPECT_EQ(OpenMachine(dir.str() + "/nowhere", {}, error), nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::FolderMissing);
    EXPECT_EQ(error.message, "no machine image here (folder not found)");

    EXPECT_EQ(OpenMachine(dir.str() + "/file.txt", {}, error), nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::NotAMachine);

    // Hive files in the wrong place make no installation either.
    dir.Write("half/WINDOWS/system32/config/SOFTWARE", "regf");
    EXPECT_EQ(OpenMachine(dir.str() + "/half", {}, error), nullptr);
    EXPECT_EQ(error.kind, MachineErrorKind::NotAMachine);
}

// Nothing runs on an installation: its restart is the pending file operations
// alone, carried out on the drive and cleared from its hives.
TEST(OpenMachine, AnInstallationRestartCarriesOutItsPendingDeletes) {
    TempDir dir;
    ImageBuilder b(dir, "image");
    NtImage(b);
    const std::string folder = test::MakeInstallation(b, dir);
    ASSERT_FALSE(folder.empty());
    MachineError error;
    auto m = OpenMachine(folder, {}, error);
    ASSERT_NE(m, nullptr) << error.ToString();
    EXPECT_TRUE(m->processes().List().empty());

    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\system32\\spy.dll"), ERROR_SUCCESS);
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\system32\\gone.dll"), ERROR_SUCCESS);
    EXPECT_EQ(m->PendingDeletes(), (std::vector<std::string>{"C:\\WINDOWS\\system32\\spy.dll",
                                                             "C:\\WINDOWS\\system32\\gone.dll"}));
    ASSERT_TRUE(m->Save(error)) << error.ToString();

    // Opened again, the operations are still pending in the hive.
    m = OpenMachine(folder, {}, error);
    ASSERT_NE(m, nullptr) << error.ToString();
    ASSERT_EQ(m->PendingDeletes().size(), 2u);
    const auto actions = m->Restart();
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_TRUE(actions[0].done);
    EXPECT_EQ(actions[0].note, "deleted");
    EXPECT_FALSE(actions[1].done);
    EXPECT_EQ(actions[1].note, "already gone");
    const fs::path system32 = fs::path(folder) / "WINDOWS" / "system32";
    EXPECT_FALSE(fs::exists(system32 / "spy.dll"));
    EXPECT_TRUE(fs::exists(system32 / "keep.dll"));
    EXPECT_TRUE(m->PendingDeletes().empty());
    RegValue v;
    EXPECT_NE(
        m->registry().QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v),
        ERROR_SUCCESS);
}

}  // namespace
}  // namespace veldan::machine
