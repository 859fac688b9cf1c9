// Why a machine cannot be opened, in Korean: each failure the machine layer
// reports (in English, for the command line) carries its kind, which the
// window tells with the file and line it concerns, without the English text.
#include "ui/machine_error_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "machine/backends/open_machine.h"
#include "machine/image/image_machine.h"
#include "support/temp_dir.h"

namespace veldan::ui {
namespace {

using machine::MachineError;
using machine::image::ImageMachine;
using Kind = machine::MachineErrorKind;

class MachineErrorTextTest : public ::testing::Test {
  protected:
    // Opens `folder` (below the temporary folder) and returns the failure.
    MachineError OpenFails(const std::string& folder) {
        MachineError error;
        auto machine = machine::OpenMachine(dir.str() + "/" + folder, {}, error);
        EXPECT_EQ(machine, nullptr) << folder;
        return error;
    }
    // The text told to the user: Korean, naming the file, not the English message.
    QString Told(const MachineError& error) {
        const QString text = MachineErrorText(error);
        EXPECT_FALSE(text.contains(QString::fromStdString(error.message))) << text.toStdString();
        if (!error.file.empty() && error.kind != Kind::NotAMachine) {
            EXPECT_TRUE(text.contains(QString::fromStdString(error.file))) << text.toStdString();
        }
        return text;
    }

    test::TempDir dir;
};

TEST_F(MachineErrorTextTest, AFolderThatIsNoMachineSaysWhatToChoose) {
    const MachineError missing = OpenFails("nowhere");
    EXPECT_EQ(missing.kind, Kind::FolderMissing);
    EXPECT_TRUE(Told(missing).startsWith("폴더가 없습니다."));

    dir.Write("plain/readme.txt", "not a machine");
    const MachineError notMachine = OpenFails("plain");
    EXPECT_EQ(notMachine.kind, Kind::NotAMachine);
    EXPECT_TRUE(Told(notMachine).contains("drive_c"));
    EXPECT_FALSE(Told(notMachine).contains("the image has no"));
    // It names the folder that was chosen.
    EXPECT_TRUE(Told(notMachine).endsWith(QString::fromStdString("위치: " + dir.str() + "/plain")))
        << Told(notMachine).toStdString();
}

TEST_F(MachineErrorTextTest, BadLinesOfMachineIniAndRegFilesNameFileAndLine) {
    dir.Write("ini/drive_c/.keep", "");
    dir.Write("ini/machine.ini", "[machine]\nos=nt\ncolour=blue\n");
    const MachineError ini = OpenFails("ini");
    EXPECT_EQ(ini.kind, Kind::BadLine);
    EXPECT_TRUE(Told(ini).contains("(3번째 줄)")) << Told(ini).toStdString();

    dir.Write("reg/drive_c/.keep", "");
    dir.Write("reg/registry/1.reg", "REGEDIT4\n\n[HKEY_NOWHERE\\X]\n");
    const MachineError reg = OpenFails("reg");
    EXPECT_EQ(reg.kind, Kind::BadLine);
    EXPECT_TRUE(Told(reg).contains("1.reg"));
    EXPECT_TRUE(Told(reg).contains("번째 줄)"));
}

TEST_F(MachineErrorTextTest, AMissingProtectedKeyIsNamed) {
    dir.Write("prot/drive_c/.keep", "");
    dir.Write("prot/machine.ini", "[protected]\nkey=HKLM\\Software\\Gone\n");
    const MachineError error = OpenFails("prot");
    EXPECT_EQ(error.kind, Kind::ProtectedKeyMissing);
    EXPECT_TRUE(Told(error).contains("HKLM\\Software\\Gone"));
    EXPECT_TRUE(Told(error).startsWith("machine.ini의 보호 키가 레지스트리에 없습니다"));
}

TEST_F(MachineErrorTextTest, InstallationFailuresTellTheUserWhatToDo) {
    // As the installation reader reports them.
    MachineError several{Kind::ChooseUser, "/mnt/xp", 0,
                         "the installation has several user profiles; choose one with --user: "
                         "Alice, Bob"};
    several.profiles = {"Alice", "Bob"};
    EXPECT_TRUE(Told(several).contains("--user"));
    EXPECT_TRUE(Told(several).contains("Alice, Bob"));

    MachineError unknown{Kind::UnknownUser, "/mnt/xp", 0,
                         "no user profile 'Carol' (profiles: Alice, Bob)"};
    unknown.profiles = {"Alice", "Bob"};
    EXPECT_TRUE(Told(unknown).startsWith("사용자 프로필 'Carol'이(가) 없습니다."));

    const MachineError dirty{Kind::HiveNotClean, "/mnt/xp/WINDOWS/system32/config/SOFTWARE", 0,
                             "/mnt/xp/WINDOWS/system32/config/SOFTWARE: the hive was not cleanly "
                             "written (sequence numbers 5 and 4)"};
    EXPECT_TRUE(Told(dirty).contains("--force"));
}

TEST_F(MachineErrorTextTest, FilesDamagedHivesAndReadOnlyMachinesAreTold) {
    dir.Write("passwd", "root:x:0:0");
    const MachineError file = OpenFails("passwd");
    EXPECT_EQ(file.kind, Kind::NotAMachine);
    EXPECT_TRUE(Told(file).contains(QString::fromStdString(dir.str() + "/passwd")));

    const MachineError damaged{Kind::HiveUnreadable, "/mnt/xp/WINDOWS/system32/config/SYSTEM", 0,
                               "damaged at offset 0x1000: no valid hive bin there"};
    EXPECT_TRUE(Told(damaged).startsWith("레지스트리 파일로 읽을 수 없습니다."));

    dir.Write("ro/drive_c/.keep", "");
    MachineError error;
    auto machine = ImageMachine::Load(dir.str() + "/ro", error);
    ASSERT_NE(machine, nullptr) << error.ToString();
    std::filesystem::permissions(dir.str() + "/ro", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(machine->CheckWritable(error));
    std::filesystem::permissions(dir.str() + "/ro", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(error.kind, Kind::ReadOnly);
    EXPECT_TRUE(Told(error).startsWith("읽기 전용입니다."));
}

TEST_F(MachineErrorTextTest, AUserNamedForAnImageIsTold) {
    dir.Write("img/drive_c/.keep", "");
    MachineError error;
    EXPECT_EQ(machine::OpenMachine(dir.str() + "/img", {"Kim", false}, error), nullptr);
    EXPECT_EQ(error.kind, Kind::UserNotApplicable);
    EXPECT_TRUE(Told(error).contains("--user"));
    EXPECT_TRUE(Told(error).contains("machine.ini"));
}

// The text follows the kind, not the message: the same words under another
// kind are told otherwise.
TEST_F(MachineErrorTextTest, TheKindNotTheMessageChoosesTheText) {
    const MachineError readOnly{Kind::ReadOnly, "/x", 0, "the hive was not cleanly written"};
    EXPECT_TRUE(Told(readOnly).startsWith("읽기 전용입니다."));
    const MachineError missing{Kind::FolderMissing, "/x", 0, "read-only"};
    EXPECT_TRUE(Told(missing).startsWith("폴더가 없습니다."));
}

TEST_F(MachineErrorTextTest, AnUnknownFailureIsStillKorean) {
    const MachineError odd{Kind::Other, "/x", 0, "something new went wrong"};
    EXPECT_EQ(Told(odd), "알 수 없는 오류가 발생했습니다.\n\n위치: /x");
}

}  // namespace
}  // namespace veldan::ui
