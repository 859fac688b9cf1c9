// The in-memory machine: what it adds to the contract suites (which run its
// registry and drive): generated short names, processes and windows, pending
// deletions, INI files and shortcuts on its drive, and its system information.

#include "machine/memory/memory_machine.h"

#include <gtest/gtest.h>

#include "machine/reg_file.h"

namespace veldan::machine::memory {
namespace {

using Strings = std::vector<std::string>;

Strings Names(const FileSystem& fs, std::string_view pattern) {
    std::vector<FindData> entries;
    Strings names;
    if (fs.FindFiles(pattern, entries) != ERROR_SUCCESS) return names;
    for (const FindData& e : entries) names.push_back(e.name + "|" + e.shortName);
    return names;
}

TEST(MemoryFileSystem, ShortNamesAreNumberedWithinTheirFolderAndResolve) {
    MemoryFileSystem fs;
    for (const char* folder : {"C:\\Program Files", "C:\\Program Data", "C:\\x\\"}) {
        ASSERT_EQ(fs.CreateDirectory(folder), ERROR_SUCCESS) << folder;
    }
    ASSERT_EQ(fs.WriteFile("C:\\x\\a b+c.jpeg", "1"), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\x\\.hidden", "2"), ERROR_SUCCESS);
    // Numbered in the order the names were made, listed in the order of the names.
    EXPECT_EQ(Names(fs, "C:\\*"),
              (Strings{"Program Data|PROGRA~2", "Program Files|PROGRA~1", "x|"}));
    EXPECT_EQ(Names(fs, "C:\\x\\*.*"),
              (Strings{".|", "..|", ".hidden|_~1.HID", "a b+c.jpeg|AB_C~1.JPE"}));
    std::string longPath;
    ASSERT_EQ(fs.GetLongPathName("c:/progra~1", longPath), ERROR_SUCCESS);
    EXPECT_EQ(longPath, "c:\\Program Files");
    std::string bytes;
    EXPECT_EQ(fs.ReadFile("C:\\X\\AB_C~1.JPE", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "1");
    // Another drive, or no drive at all, is not there.
    std::uint32_t a = 0;
    EXPECT_EQ(fs.GetAttributes("D:\\x", a), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fs.GetAttributes("x", a), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(fs.CreateDirectories("C:\\x\\deep\\er\\"));
    EXPECT_EQ(fs.GetAttributes("C:\\x\\deep\\er", a), ERROR_SUCCESS);
    EXPECT_FALSE(fs.CreateDirectories("C:\\x\\.hidden\\below"));
}

TEST(MemoryFileSystem, AnOpenReaderKeepsTheContentItOpened) {
    MemoryFileSystem fs;
    ASSERT_EQ(fs.WriteFile("C:\\f", "old"), ERROR_SUCCESS);
    std::unique_ptr<FileReader> reader;
    ASSERT_EQ(fs.OpenRead("C:\\f", reader), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\f", "new content"), ERROR_SUCCESS);
    ASSERT_EQ(fs.DeleteFile("C:\\f"), ERROR_SUCCESS);
    char buffer[16];
    ASSERT_EQ(reader->Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "old");
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 0);
}

TEST(MemoryFileSystem, WildcardsFollowWindows) {
    EXPECT_TRUE(MatchesWildcard("*.*", "noext"));
    EXPECT_TRUE(MatchesWildcard("readme.*", "README"));
    EXPECT_TRUE(MatchesWildcard("a?c*", "ABCdef"));
    EXPECT_FALSE(MatchesWildcard("a?c", "ac"));
    EXPECT_FALSE(MatchesWildcard("*.txt", "a.txt.bak"));
    EXPECT_TRUE(MatchesWildcard("*a*a", "banana"));
    EXPECT_FALSE(MatchesWildcard("*.TXT", "."));
}

TEST(MemoryMachine, HeldFilesAreReleasedWhenTheirProcessEnds) {
    MemoryMachine m;
    ASSERT_TRUE(m.memoryFiles().CreateDirectories("C:\\Bad"));
    ASSERT_EQ(m.files().WriteFile("C:\\Bad\\bad.exe", "MZ"), ERROR_SUCCESS);
    ASSERT_EQ(m.files().WriteFile("C:\\Bad\\hook.dll", "MZ"), ERROR_SUCCESS);
    MemoryProcesses& p = m.memoryProcesses();
    const std::uint32_t bad = p.AddProcess({"c:\\bad\\BAD.EXE", {"C:\\Bad\\hook.dll"}, true});
    const std::uint32_t stuck = p.AddProcess({"C:\\stuck.exe", {}, false});
    const std::uint32_t frame = p.AddWindow({"IEFrame", bad, true});
    const std::uint32_t deaf = p.AddWindow({"Deaf", 0, false});

    EXPECT_EQ(m.files().DeleteFile("C:\\Bad\\bad.exe"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(m.files().DeleteFile("C:\\BAD\\HOOK.DLL"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(m.windows().FindByClass("ieframe"), frame);
    ASSERT_EQ(m.windows().Enumerate().size(), 2u);
    EXPECT_EQ(m.windows().Enumerate()[0].handle, deaf);  // the newest window is on top

    EXPECT_EQ(m.processes().Terminate(stuck, 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(m.processes().Terminate(12345, 1), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(m.processes().Terminate(bad, 1), ERROR_SUCCESS);
    EXPECT_EQ(m.windows().FindByClass("IEFrame"), 0u);  // its window went with it
    ASSERT_EQ(m.processes().List().size(), 1u);
    EXPECT_EQ(m.processes().List()[0].imagePath, "C:\\stuck.exe");
    EXPECT_EQ(m.files().DeleteFile("C:\\Bad\\hook.dll"), ERROR_SUCCESS);

    EXPECT_EQ(m.windows().PostMessage(deaf, WM_CLOSE), ERROR_SUCCESS);
    EXPECT_EQ(m.windows().FindByClass("Deaf"), deaf);  // it ignores the request
    EXPECT_EQ(m.windows().PostMessage(frame, WM_CLOSE), ERROR_INVALID_WINDOW_HANDLE);

    EXPECT_EQ(m.processes().AdjustPrivilege("SeDebugPrivilege", true), ERROR_SUCCESS);
    p.setAdmin(false);
    EXPECT_EQ(m.processes().AdjustPrivilege("SeDebugPrivilege", true), ERROR_NOT_ALL_ASSIGNED);
    EXPECT_EQ(m.processes().AdjustPrivilege("SeNothing", true), ERROR_NO_SUCH_PRIVILEGE);
    std::uint32_t code = 0;
    EXPECT_EQ(m.launcher().RunAndWait("cmd /c x", code), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(m.memoryLauncher().requests(), Strings{"cmd /c x"});
}

TEST(MemoryMachine, DeletionsAtRestartGoWhereTheFamilyKeepsThem) {
    MemoryMachine nt;
    ASSERT_EQ(nt.files().DeleteAtRestart("C:\\a.dll"), ERROR_SUCCESS);
    ASSERT_EQ(nt.files().DeleteAtRestart("C:\\b.dll"), ERROR_SUCCESS);
    EXPECT_EQ(nt.PendingDeletes(), (Strings{"C:\\a.dll", "C:\\b.dll"}));
    RegValue v;
    ASSERT_EQ(nt.registry().QueryValue(HKEY_LOCAL_MACHINE,
                                       "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                       "PendingFileRenameOperations", v),
              ERROR_SUCCESS);
    EXPECT_EQ(v.type, REG_MULTI_SZ);
    EXPECT_EQ(v.data, std::string("\\??\\C:\\a.dll\0\0\\??\\C:\\b.dll\0\0\0", 29));

    MemoryMachine nine(SystemSettings{OsFamily::Win9x, "Owner", "C:\\WINDOWS", ""});
    // Wininit.ini lives in the Windows folder, which must exist.
    EXPECT_NE(nine.files().DeleteAtRestart("C:\\a.dll"), ERROR_SUCCESS);
    ASSERT_EQ(nine.files().CreateDirectory("C:\\WINDOWS"), ERROR_SUCCESS);
    ASSERT_EQ(nine.files().DeleteAtRestart("C:\\a.dll"), ERROR_SUCCESS);
    ASSERT_EQ(nine.files().DeleteAtRestart("C:\\b.dll"), ERROR_SUCCESS);
    EXPECT_EQ(nine.PendingDeletes(), (Strings{"C:\\a.dll", "C:\\b.dll"}));
    std::string ini;
    ASSERT_EQ(nine.files().ReadFile("C:\\WINDOWS\\WININIT.INI", ini), ERROR_SUCCESS);
    EXPECT_EQ(ini, "[Rename]\r\nNUL=C:\\a.dll\r\nNUL=C:\\b.dll\r\n");
    EXPECT_EQ(nine.registry().SetKeySecurity(HKEY_LOCAL_MACHINE, "", {}),
              ERROR_CALL_NOT_IMPLEMENTED);
}

TEST(MemoryMachine, ProfilesWriteAsWindowsDoes) {
    MemoryMachine m;
    ASSERT_EQ(m.files().CreateDirectory("C:\\WINDOWS"), ERROR_SUCCESS);
    ASSERT_EQ(m.files().WriteFile("C:\\WINDOWS\\win.ini",
                                  "[windows]\r\nload = a.exe\r\nrun=\"b.exe\"\r\n\r\n"
                                  "[Desktop]\nWallpaper=x\nload=second\n"),
              ERROR_SUCCESS);
    Profiles& p = m.profiles();
    EXPECT_EQ(p.GetString("WINDOWS", "LOAD", "-", "win.ini"), "a.exe");
    EXPECT_EQ(p.GetString("windows", "run", "-", "C:\\WINDOWS\\WIN.INI"), "b.exe");
    EXPECT_EQ(p.GetString("windows", "none", "-", "win.ini"), "-");
    EXPECT_EQ(p.GetString("windows", "load", "-", "nofile.ini"), "-");
    EXPECT_EQ(p.GetSectionNames("win.ini"), (Strings{"windows", "Desktop"}));

    ASSERT_EQ(p.WriteString("Windows", "Load", "", "win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("windows", "new", "1", "win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("Desktop", "Wallpaper", std::nullopt, "win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("Desktop", "absent", std::nullopt, "win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("Added", "k", "v", "win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(p.AppendString("Added", "k", "w", "win.ini"), ERROR_SUCCESS);
    std::string text;
    ASSERT_EQ(m.files().ReadFile("C:\\WINDOWS\\win.ini", text), ERROR_SUCCESS);
    // As in an image: untouched lines keep their own line ends, added lines take
    // the file's first one, and an added section follows a blank line.
    EXPECT_EQ(text,
              "[windows]\r\nLoad=\r\nrun=\"b.exe\"\r\nnew=1\r\n\r\n[Desktop]\nload=second\n"
              "\r\n[Added]\r\nk=v\r\nk=w\r\n");
    ASSERT_EQ(p.WriteString("Desktop", std::nullopt, std::nullopt, "win.ini"), ERROR_SUCCESS);
    EXPECT_EQ(p.GetSectionNames("win.ini"), (Strings{"windows", "Added"}));
    EXPECT_EQ(p.GetSection("Added", "win.ini"),
              (std::vector<std::pair<std::string, std::string>>{{"k", "v"}, {"k", "w"}}));
    // The rules an image's files follow: line breaks and a missing file name are
    // refused, and a deletion from a missing file creates nothing.
    EXPECT_EQ(p.WriteString("Added", "k\r\nx", "v", "win.ini"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(p.AppendString("Added", "k", "v\n[x]", "win.ini"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(p.WriteString("Added", "k", "v", ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(p.GetString("Added", "k", "-", ""), "-");
    ASSERT_EQ(p.WriteString("Added", "k", std::nullopt, "gone.ini"), ERROR_SUCCESS);
    EXPECT_EQ(m.files().ReadFile("C:\\WINDOWS\\gone.ini", text), ERROR_FILE_NOT_FOUND);
}

TEST(MemoryMachine, ShortcutsAndSystemInformation) {
    MemoryMachine m;
    ASSERT_EQ(
        m.files().WriteFile("C:\\site.url",
                            "[InternetShortcut]\r\nURL=http://example.test/\r\nIconIndex=3\r\n"),
        ERROR_SUCCESS);
    UrlShortcutData url;
    ASSERT_EQ(m.shellLinks().LoadUrlShortcut("C:\\SITE.URL", url), ERROR_SUCCESS);
    EXPECT_EQ(url.url, "http://example.test/");
    EXPECT_EQ(url.iconIndex, 3);
    EXPECT_EQ(m.shellLinks().LoadUrlShortcut("C:\\none.url", url), ERROR_FILE_NOT_FOUND);
    ShellLinkData link;
    EXPECT_EQ(m.shellLinks().LoadShellLink("C:\\site.url", link), ERROR_INVALID_DATA);

    SystemInfo& sys = m.system();
    EXPECT_EQ(sys.UserName(), "Owner");
    EXPECT_EQ(sys.TempPath(), "C:\\Documents and Settings\\Owner\\Local Settings\\Temp\\");
    std::string desktop;
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, true, desktop), ERROR_SUCCESS);
    EXPECT_EQ(desktop, "C:\\Documents and Settings\\Owner\\Desktop");
    std::uint32_t a = 0;
    ASSERT_EQ(m.files().GetAttributes(desktop, a), ERROR_SUCCESS);  // made on the way
    EXPECT_EQ(a, FILE_ATTRIBUTE_DIRECTORY);
    // The machine's registry names the folder once it says so.
    RegFileError error;
    ASSERT_TRUE(ApplyRegFile(
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
        "Explorer\\User Shell Folders]\r\n\"Desktop\"=\"%USERPROFILE%\\\\Bureau\"\r\n",
        "folders.reg", m.registry(), error))
        << error.ToString();
    ASSERT_EQ(sys.GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, false, desktop), ERROR_SUCCESS);
    EXPECT_EQ(desktop, "C:\\Documents and Settings\\Owner\\Bureau");
}

}  // namespace
}  // namespace veldan::machine::memory
