// The machine image as a whole: loading and its errors, processes and windows,
// held files, delete at restart, restart, save and load, system information.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "machine/reg_file.h"
#include "support/image_builder.h"

namespace veldan::machine::image {
namespace {

using folder::kPendingRenamesValue;
using folder::kSessionManagerKey;

using test::ImageBuilder;
using test::TempDir;

std::string RegText(ImageMachine& m) {
    return WriteRegText(m.imageRegistry(), RegWriteOptions{});
}

std::string LoadError(const ImageBuilder& b) {
    MachineError error;
    auto m = ImageMachine::Load(b.folder(), error);
    EXPECT_EQ(m, nullptr);
    return error.ToString();
}

TEST(ImageLoad, ReportsWhatIsWrongAndWhere) {
    TempDir dir;
    MachineError error;
    EXPECT_EQ(ImageMachine::Load((dir.path() / "nowhere").string(), error), nullptr);
    EXPECT_NE(error.ToString().find("nowhere"), std::string::npos);

    ImageBuilder bad(dir, "bad-ini");
    bad.Ini("[machine]\nos=nt\nflavour=vanilla\n");
    EXPECT_NE(LoadError(bad).find("machine.ini:3:"), std::string::npos);

    ImageBuilder badOs(dir, "bad-os");
    badOs.Ini("[machine]\nos=linux\n");
    EXPECT_NE(LoadError(badOs).find("os must be nt or 9x"), std::string::npos);

    ImageBuilder badReg(dir, "bad-reg");
    badReg.Reg("01.reg", "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"x\"=dword:zz\r\n");
    std::string msg = LoadError(badReg);
    EXPECT_NE(msg.find("01.reg:4:"), std::string::npos) << msg;

    ImageBuilder badKey(dir, "bad-protected");
    badKey.Ini("[protected]\nkey=HKLM\\Software\\Missing\n");
    EXPECT_NE(LoadError(badKey).find("HKLM\\Software\\Missing"), std::string::npos);

    std::filesystem::create_directories(dir.path() / "no-drive");
    EXPECT_EQ(ImageMachine::Load((dir.path() / "no-drive").string(), error), nullptr);
    EXPECT_NE(error.ToString().find("drive_c"), std::string::npos);
}

TEST(ImageLoad, RegFilesApplyInFileNameOrder) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Reg("20-later.reg", "[HKEY_CURRENT_USER\\Software\\X]\r\n\"v\"=\"second\"\r\n")
        .Reg("10-first.reg",
             "[HKEY_CURRENT_USER\\Software\\X]\r\n\"v\"=\"first\"\r\n\"w\"=\"kept\"\r\n");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    RegValue v;
    ASSERT_EQ(m->registry().QueryValue(HKEY_CURRENT_USER, "Software\\X", "v", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsString(), "second");
    ASSERT_EQ(m->registry().QueryValue(HKEY_CURRENT_USER, "Software\\X", "w", v), ERROR_SUCCESS);
}

const char* kTwoProcesses =
    "[machine]\nos=nt\n"
    "[process adware]\nimage=C:\\Program "
    "Files\\Bad\\bad.exe\nholds=C:\\WINDOWS\\system32\\badhook.dll\n"
    "[process guard]\nimage=C:\\WINDOWS\\guard.exe\nterminable=no\n"
    "[window ie]\nclass=IEFrame\nprocess=adware\n"
    "[window stubborn]\nclass=CabinetWClass\ncloses=no\n";

TEST(ImageProcessesTest, ListTerminateAndWindows) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini(kTwoProcesses).File("C:\\Program Files\\Bad\\bad.exe").File("C:\\WINDOWS\\guard.exe");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    auto list = m->processes().List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].imagePath, "C:\\Program Files\\Bad\\bad.exe");
    EXPECT_NE(list[0].id, list[1].id);

    EXPECT_EQ(m->processes().Terminate(list[1].id, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(m->processes().Terminate(99999, 1), ERROR_INVALID_PARAMETER);

    std::uint32_t ie = m->windows().FindByClass("ieframe");
    ASSERT_NE(ie, 0u);
    EXPECT_EQ(m->windows().Enumerate().size(), 2u);
    // Ending the owner closes its window.
    EXPECT_EQ(m->processes().Terminate(list[0].id, 1), ERROR_SUCCESS);
    EXPECT_EQ(m->processes().List().size(), 1u);
    EXPECT_EQ(m->windows().FindByClass("IEFrame"), 0u);
    EXPECT_EQ(m->processes().Terminate(list[0].id, 1), ERROR_INVALID_PARAMETER);

    // A window that ignores WM_CLOSE stays; posting to a gone window fails.
    std::uint32_t cab = m->windows().FindByClass("CabinetWClass");
    EXPECT_EQ(m->windows().PostMessage(cab, WM_CLOSE), ERROR_SUCCESS);
    EXPECT_EQ(m->windows().FindByClass("CabinetWClass"), cab);
    EXPECT_NE(m->windows().PostMessage(ie, WM_CLOSE), ERROR_SUCCESS);
}

TEST(ImageProcessesTest, HeldFilesAreReleasedWhenTheProcessEnds) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini(kTwoProcesses)
        .File("C:\\Program Files\\Bad\\bad.exe")
        .File("C:\\WINDOWS\\system32\\badhook.dll")
        .File("C:\\WINDOWS\\guard.exe");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    FileSystem& fs = m->files();
    // Held through any spelling of the path.
    EXPECT_EQ(fs.DeleteFile("c:\\program files\\bad\\BAD.EXE"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(fs.DeleteFile("C:\\PROGRA~1\\Bad\\bad.exe"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(fs.DeleteFile("C:\\WINDOWS\\system32\\badhook.dll"), ERROR_SHARING_VIOLATION);
    // A held file can still be read.
    std::string bytes;
    EXPECT_EQ(fs.ReadFile("C:\\WINDOWS\\system32\\badhook.dll", bytes), ERROR_SUCCESS);

    ASSERT_EQ(m->processes().Terminate(m->processes().List()[0].id, 1), ERROR_SUCCESS);
    EXPECT_EQ(fs.DeleteFile("C:\\Program Files\\Bad\\bad.exe"), ERROR_SUCCESS);
    EXPECT_EQ(fs.DeleteFile("C:\\WINDOWS\\system32\\badhook.dll"), ERROR_SUCCESS);
    // The process that may not be ended keeps its image.
    EXPECT_EQ(fs.DeleteFile("C:\\WINDOWS\\guard.exe"), ERROR_SHARING_VIOLATION);
}

TEST(ImageRestart, NtPendingDeletesGoThroughTheRegistry) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini(kTwoProcesses)
        .File("C:\\Program Files\\Bad\\bad.exe")
        .File("C:\\WINDOWS\\system32\\badhook.dll")
        .File("C:\\WINDOWS\\guard.exe");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    // The image has no Session Manager key: it is created.
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\Program Files\\Bad\\bad.exe"), ERROR_SUCCESS);
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\system32\\badhook.dll"), ERROR_SUCCESS);
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\gone.dll"), ERROR_SUCCESS);

    RegValue v;
    ASSERT_EQ(
        m->registry().QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v),
        ERROR_SUCCESS);
    EXPECT_EQ(v.type, REG_MULTI_SZ);
    std::string expected = std::string("\\??\\C:\\Program Files\\Bad\\bad.exe") + '\0' + '\0' +
                           "\\??\\C:\\WINDOWS\\system32\\badhook.dll" + '\0' + '\0' +
                           "\\??\\C:\\WINDOWS\\gone.dll" + '\0' + '\0' + '\0';
    EXPECT_EQ(v.data, expected);
    EXPECT_EQ(m->PendingDeletes().size(), 3u);
    // Entries written by others that name nothing on this drive are refused, not "gone".
    v.data.pop_back();
    v.data += std::string("\\??\\D:\\other.dll") + '\0' + '\0' + "\\??\\C:\\..\\..\\etc" + '\0' +
              '\0' + '\0';
    ASSERT_EQ(m->registry().SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v),
              ERROR_SUCCESS);

    // Saved and loaded again, the operations are still pending; the restart carries them out.
    MachineError error;
    ASSERT_TRUE(m->Save(error)) << error.ToString();
    m = b.Load();
    ASSERT_NE(m, nullptr);
    auto actions = m->Restart();
    ASSERT_EQ(actions.size(), 5u);
    EXPECT_TRUE(actions[0].done);
    EXPECT_TRUE(actions[1].done);
    EXPECT_FALSE(actions[2].done);
    EXPECT_EQ(actions[2].note, "already gone");
    for (int i : {3, 4}) {
        EXPECT_FALSE(actions[i].done);
        EXPECT_EQ(actions[i].note.rfind("refused", 0), 0u) << actions[i].note;
    }
    EXPECT_FALSE(std::filesystem::exists(b.Host("C:\\Program Files\\Bad\\bad.exe")));
    EXPECT_TRUE(m->processes().List().empty());
    EXPECT_TRUE(m->windows().Enumerate().empty());
    EXPECT_TRUE(m->PendingDeletes().empty());
    // The guard could not be ended by the user, but a restart ends everything.
    ASSERT_TRUE(m->Save(error)) << error.ToString();
    m = b.Load();
    EXPECT_TRUE(m->processes().List().empty());
}

TEST(ImageRestart, NineXPendingDeletesGoToWininit) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini("[machine]\nos=9x\n")
        .File("C:\\WINDOWS\\a.dll")
        .File("C:\\WINDOWS\\b.dll")
        .Folder("C:\\WINDOWS");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\a.dll"), ERROR_SUCCESS);
    ASSERT_EQ(m->files().DeleteAtRestart("C:\\WINDOWS\\b.dll"), ERROR_SUCCESS);
    // Both files stay scheduled: the second line does not replace the first.
    auto section = m->profiles().GetSection("Rename", "WININIT.INI");
    ASSERT_EQ(section.size(), 2u);
    EXPECT_EQ(section[0].first, "NUL");
    EXPECT_EQ(section[1].second, "C:\\WINDOWS\\b.dll");
    // No registry value on 9x.
    EXPECT_NE(m->registry().OpenKey(HKEY_LOCAL_MACHINE, kSessionManagerKey), ERROR_SUCCESS);

    auto actions = m->Restart();
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_TRUE(actions[0].done && actions[1].done);
    EXPECT_FALSE(std::filesystem::exists(b.Host("C:\\WINDOWS\\a.dll")));
    EXPECT_TRUE(m->profiles().GetSection("Rename", "Wininit.ini").empty());
}

TEST(ImageSave, LoadingTheSavedImageGivesTheSameMachine) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini(std::string(kTwoProcesses) + "[protected]\nkey=HKLM\\Software\\Locked\n")
        .Reg("1.reg",
             "[HKEY_LOCAL_MACHINE\\Software\\Locked\\Inner]\r\n@=\"x\"\r\n"
             "[HKEY_CURRENT_USER\\Software\\Zed]\r\n\"b\"=dword:00000002\r\n\"a\"=hex:01,02\r\n")
        .Reg("2.reg", "[HKEY_USERS\\.DEFAULT\\Software]\r\n");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(
        m->registry().SetValue(HKEY_CURRENT_USER, "Software\\Zed", "new", RegValue::String("v")),
        ERROR_SUCCESS);
    ASSERT_EQ(m->processes().Terminate(m->processes().List()[0].id, 1), ERROR_SUCCESS);
    std::string before = RegText(*m);

    MachineError error;
    ASSERT_TRUE(m->Save(error)) << error.ToString();
    auto again = b.Load();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(RegText(*again), before);
    ASSERT_EQ(again->processes().List().size(), 1u);
    EXPECT_EQ(again->processes().List()[0].imagePath, "C:\\WINDOWS\\guard.exe");
    EXPECT_EQ(again->windows().Enumerate().size(), 1u);  // the browser window went with its process
    KeySecurity sec;
    ASSERT_EQ(again->registry().GetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\Locked", sec),
              ERROR_SUCCESS);
    EXPECT_TRUE(sec.denyDelete);
    // One registry file replaces the several it was loaded from; no work folders stay behind.
    int regFiles = 0;
    for (auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(b.folder()) / "registry")) {
        (void)e;
        ++regFiles;
    }
    EXPECT_EQ(regFiles, 1);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(b.folder()) / "registry.saving"));
    // Saving twice changes nothing.
    ASSERT_TRUE(again->Save(error));
    EXPECT_EQ(RegText(*b.Load()), before);
}

// An image whose save changes both the registry and machine.ini: a protected
// key is taken over and deleted, and a process ends.
struct SaveScenario {
    explicit SaveScenario(const TempDir& dir, std::string_view name) : b(dir, name) {
        b.Ini(std::string(kTwoProcesses) + "[protected]\nkey=HKLM\\Software\\Locked\n")
            .Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Locked\\Inner]\r\n@=\"x\"\r\n");
        auto m = b.Load();
        before = RegText(*m);
    }
    // Loads the image and makes the changes; their registry text in `after`.
    std::unique_ptr<ImageMachine> Change() {
        auto m = b.Load();
        EXPECT_EQ(m->registry().SetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\Locked",
                                               KeySecurity::FullControl()),
                  ERROR_SUCCESS);
        EXPECT_EQ(m->registry().DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Locked"), ERROR_SUCCESS);
        EXPECT_EQ(m->processes().Terminate(m->processes().List()[0].id, 1), ERROR_SUCCESS);
        after = RegText(*m);
        return m;
    }
    ImageBuilder b;
    std::string before, after;
};

TEST(ImageSave, ACutAtAnyStepLeavesAnImageThatLoadsWhollyBeforeOrAfter) {
    TempDir dir;
    int cutAt = 0;
    bool sawBefore = false, sawAfter = false;
    for (;; ++cutAt) {
        SCOPED_TRACE("cut at step " + std::to_string(cutAt));
        SaveScenario s(dir, "image" + std::to_string(cutAt));
        auto m = s.Change();
        bool cut = false;
        m->SetSaveCutForTesting([&](int step) { return cut = cut || step == cutAt; });
        MachineError error;
        const bool saved = m->Save(error);
        m.reset();
        MachineError loadError;
        auto again = ImageMachine::Load(s.b.folder(), loadError);
        ASSERT_NE(again, nullptr) << loadError.ToString();
        const std::string text = RegText(*again);
        const std::size_t running = again->processes().List().size();
        if (text == s.before) {
            EXPECT_EQ(running, 2u);  // machine.ini as before as well
            sawBefore = true;
        } else {
            EXPECT_EQ(text, s.after);
            EXPECT_EQ(running, 1u);
            sawAfter = true;
        }
        for (const char* left : {"registry.saving", "registry.commit", "registry.old",
                                 "registry/machine.ini.pending"}) {
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(s.b.folder()) / left))
                << left;
        }
        if (!cut) {
            EXPECT_TRUE(saved) << error.ToString();
            break;
        }
        EXPECT_FALSE(saved);
    }
    EXPECT_GE(cutAt, 4);
    EXPECT_TRUE(sawBefore);
    EXPECT_TRUE(sawAfter);
}

TEST(ImageSave, AReadOnlyImageIsFoundOutBeforeAnythingChanges) {
    TempDir dir;
    for (const char* readOnly : {"", "machine.ini", "registry"}) {
        SCOPED_TRACE(readOnly);
        SaveScenario s(dir, std::string("image-") + readOnly);
        const std::filesystem::path target = std::filesystem::path(s.b.folder()) / readOnly;
        auto m = s.Change();
        ASSERT_EQ(::chmod(target.c_str(), 0555), 0);
        MachineError error;
        EXPECT_FALSE(m->CheckWritable(error));
        EXPECT_NE(error.ToString().find("read-only"), std::string::npos) << error.ToString();
        EXPECT_FALSE(m->Save(error));
        ASSERT_EQ(::chmod(target.c_str(), 0755), 0);
        auto again = s.b.Load();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(RegText(*again), s.before);
        EXPECT_EQ(again->processes().List().size(), 2u);
        EXPECT_TRUE(m->CheckWritable(error));
        EXPECT_TRUE(m->Save(error)) << error.ToString();
    }
}

TEST(ImageLoad, AFileIsNoMachineAndNothingRunsToWaitFor) {
    TempDir dir;
    MachineError error;
    const std::string file = dir.Write("passwd", "root:x:0:0").string();
    EXPECT_EQ(ImageMachine::Load(file, error), nullptr);
    EXPECT_EQ(error.ToString(), file + ": not a folder: a machine is a folder (a machine image or "
                                       "the root of a Windows installation)");

    // Without a clock of the caller's, sleeps return at once and count as passed.
    ImageBuilder b(dir);
    auto m = ImageMachine::Load(b.folder(), error);
    ASSERT_NE(m, nullptr) << error.ToString();
    const std::uint64_t before = m->clock().TickCount();
    m->clock().Sleep(10 * 60 * 1000);
    EXPECT_GE(m->clock().TickCount(), before + 10 * 60 * 1000);
}

TEST(ImageSystem, NtDefaultsAndRegistryFolders) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini("[machine]\nuser=Kim\n")
        .Reg("1.reg",
             "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
             "Shell Folders]\r\n"
             "\"Personal\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,"
             "00,45,00,25,"
             "00,5c,00,44,00,6f,00,63,00,73,00,00,00\r\n"
             "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
             "Folders]\r\n"
             "\"Personal\"=\"C:\\\\Ignored\"\r\n\"Favorites\"=\"D:\\\\Fav\"\r\n");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    SystemInfo& sys = m->system();
    EXPECT_EQ(sys.Family(), OsFamily::Nt);
    EXPECT_EQ(sys.Version() & 0x80000000u, 0u);
    EXPECT_EQ(sys.UserName(), "Kim");
    EXPECT_EQ(sys.SystemDirectory(), "C:\\WINDOWS\\system32");
    EXPECT_EQ(sys.TempPath(), "C:\\Documents and Settings\\Kim\\Local Settings\\Temp\\");

    std::string p;
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_PERSONAL, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "C:\\Documents and Settings\\Kim\\Docs");  // User Shell Folders first, expanded
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_FAVORITES, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "D:\\Fav");
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_COMMON_STARTUP, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup");
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_PROFILE, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "C:\\Documents and Settings\\Kim");

    // The create flag makes the folder and every missing parent.
    EXPECT_FALSE(std::filesystem::exists(b.Host("C:\\Documents and Settings\\Kim\\Start Menu")));
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_STARTUP, true, p), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_directory(
        b.Host("C:\\Documents and Settings\\Kim\\Start Menu\\Programs\\Startup")));
}

TEST(ImageSystem, NineXHasNoCommonOrProfileFolders) {
    TempDir dir;
    ImageBuilder b(dir);
    b.Ini("[machine]\nos=9x\nwindir=C:\\WIN98\\\n");
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    SystemInfo& sys = m->system();
    EXPECT_NE(sys.Version() & 0x80000000u, 0u);
    EXPECT_EQ(sys.WindowsDirectory(), "C:\\WIN98");
    EXPECT_EQ(sys.SystemDirectory(), "C:\\WIN98\\SYSTEM");
    EXPECT_EQ(sys.TempPath(), "C:\\WIN98\\TEMP\\");
    std::string p = "untouched";
    EXPECT_NE(sys.GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, false, p), ERROR_SUCCESS);
    EXPECT_NE(sys.GetSpecialFolderPath(CSIDL_PROFILE, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "untouched");
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, false, p), ERROR_SUCCESS);
    EXPECT_EQ(p, "C:\\WIN98\\Desktop");
}

TEST(ImageLauncherTest, RecordsAndRefuses) {
    TempDir dir;
    ImageBuilder b(dir);
    auto m = b.Load();
    ASSERT_NE(m, nullptr);
    std::uint32_t code = 7;
    EXPECT_EQ(m->launcher().RunAndWait("regsvr32.exe /u /s C:\\x.dll", code), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(m->launcher().ShellOpen("C:\\Temp\\VeldanUpdate.exe", "\"C:\\Veldan\""),
              ERROR_NOT_SUPPORTED);
    ASSERT_EQ(m->imageLauncher().requests().size(), 2u);
    EXPECT_EQ(m->imageLauncher().requests()[0], "regsvr32.exe /u /s C:\\x.dll");
}

TEST(MachineIniText, WriteThenParseIsIdentity) {
    MachineIni ini;
    ini.os = OsFamily::Win9x;
    ini.user = "Lee";
    ini.temp = "C:\\TMP";
    ini.processes.push_back({"p1", "C:\\a.exe", false, {"C:\\b.dll", "C:\\c.dll"}});
    ini.windows.push_back({"w1", "IEFrame", "p1", false});
    ini.protectedKeys = {"HKLM\\Software\\X"};
    MachineIni back;
    IniError error;
    ASSERT_TRUE(ParseMachineIni(WriteMachineIni(ini), back, error)) << error.message;
    EXPECT_EQ(WriteMachineIni(back), WriteMachineIni(ini));
    EXPECT_EQ(back.processes[0].holds.size(), 2u);
    EXPECT_FALSE(back.windows[0].closes);
}

// Found by fuzz_machine_ini: a blank left at the end once the trailing
// separator went was written back and lost on the next read.
TEST(MachineIniText, WindirLosesTrailingSeparatorsAndTheBlanksBeforeThem) {
    MachineIni ini;
    IniError error;
    ASSERT_TRUE(ParseMachineIni("[machine]\nwindir=C:\\W\t\\\n", ini, error)) << error.message;
    EXPECT_EQ(ini.windir, "C:\\W");
    MachineIni back;
    ASSERT_TRUE(ParseMachineIni(WriteMachineIni(ini), back, error)) << error.message;
    EXPECT_EQ(back.windir, ini.windir);
    // Nothing but a drive and a blank before the separator is no full path.
    EXPECT_FALSE(ParseMachineIni("[machine]\nwindir=C: \\\n", ini, error));
}

}  // namespace
}  // namespace veldan::machine::image
