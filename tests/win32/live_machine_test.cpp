// The live machine's services under Wine, each on a scratch folder of the test
// prefix or on objects the test makes itself (a window, a child process).

#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include <gtest/gtest.h>

#include <algorithm>

#include "host/wide_path_win32.h"
#include "machine/win32/live_machine.h"
#include "support/scratch_key_win32.h"
#include "support/temp_dir.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

using Strings = std::vector<std::string>;

class LiveMachineTest : public ::testing::Test {
  protected:
    LiveMachineTest() : root_(dir_.str()) {}
    FileSystem& fs() { return machine_.files(); }
    std::string Path(std::string_view name) const { return root_ + "\\" + std::string(name); }
    void Put(std::string_view name, std::string_view bytes) {
        ASSERT_EQ(fs().WriteFile(Path(name), bytes), ERROR_SUCCESS) << name;
    }
    Strings Names(std::string_view pattern) {
        std::vector<FindData> found;
        EXPECT_EQ(fs().FindFiles(Path(pattern), found), ERROR_SUCCESS) << pattern;
        Strings names;
        for (const FindData& f : found) names.push_back(f.name);
        return names;
    }

    test::TempDir dir_;
    std::string root_;
    LiveMachine machine_;
};

TEST_F(LiveMachineTest, FilesReadWriteAndReportWindowsErrors) {
    Put("a.txt", "one\r\ntwo");
    std::string bytes;
    ASSERT_EQ(fs().ReadFile(Path("A.TXT"), bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "one\r\ntwo");  // binary: line ends kept
    std::uint64_t size = 0;
    ASSERT_EQ(fs().GetFileSize(Path("a.txt"), size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    Put("a.txt", "new");
    ASSERT_EQ(fs().ReadFile(Path("a.txt"), bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "new");

    std::uint32_t attributes = 0;
    EXPECT_EQ(fs().GetAttributes(Path("a.txt\\"), attributes), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fs().GetAttributes(Path("missing.txt"), attributes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fs().GetAttributes(Path("nofolder\\x.txt"), attributes), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fs().WriteFile(Path("nofolder\\x.txt"), "x"), ERROR_PATH_NOT_FOUND);
    ASSERT_EQ(fs().GetAttributes(root_ + "\\", attributes), ERROR_SUCCESS);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(LiveMachineTest, ReadOnlyFileIsKeptUntilTheAttributeIsCleared) {
    Put("ro.dll", "x");
    ASSERT_EQ(fs().SetAttributes(Path("ro.dll"), FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    std::uint32_t attributes = 0;
    ASSERT_EQ(fs().GetAttributes(Path("ro.dll"), attributes), ERROR_SUCCESS);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(fs().DeleteFile(Path("ro.dll")), ERROR_ACCESS_DENIED);
    EXPECT_EQ(fs().WriteFile(Path("ro.dll"), "y"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(fs().SetAttributes(Path("ro.dll"), 0), ERROR_SUCCESS);
    EXPECT_EQ(fs().DeleteFile(Path("ro.dll")), ERROR_SUCCESS);
    EXPECT_EQ(fs().DeleteFile(Path("ro.dll")), ERROR_FILE_NOT_FOUND);
}

TEST_F(LiveMachineTest, HeldFileCanBeReadButNotDeleted) {
    Put("held.exe", "image");
    HANDLE held = CreateFileW(host::WidePath(Path("held.exe")).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string bytes;
    EXPECT_EQ(fs().ReadFile(Path("held.exe"), bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "image");
    EXPECT_EQ(fs().DeleteFile(Path("held.exe")), ERROR_SHARING_VIOLATION);
    CloseHandle(held);
    EXPECT_EQ(fs().ReadFile(Path("held.exe"), bytes), ERROR_SUCCESS);
    EXPECT_EQ(fs().DeleteFile(Path("held.exe")), ERROR_SUCCESS);
}

TEST_F(LiveMachineTest, ListingPutsDotsFirstThenUpperCasedOrdinalOrder) {
    ASSERT_EQ(fs().CreateDirectory(Path("sub")), ERROR_SUCCESS);
    Put("sub\\b.txt", "");
    Put("sub\\A.txt", "");
    Put("sub\\_u.txt", "");
    Put("sub\\c.log", "");
    EXPECT_EQ(Names("sub\\*"), (Strings{".", "..", "A.txt", "b.txt", "c.log", "_u.txt"}));
    EXPECT_EQ(Names("sub\\*.TXT"), (Strings{"A.txt", "b.txt", "_u.txt"}));
    std::vector<FindData> none;
    EXPECT_EQ(fs().FindFiles(Path("sub\\*.none"), none), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fs().FindFiles(Path("nosub\\*"), none), ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(fs().RemoveDirectory(Path("sub")), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(fs().RemoveDirectory(Path("sub\\c.log")), ERROR_DIRECTORY);
    EXPECT_EQ(fs().DeleteFile(Path("sub")), ERROR_ACCESS_DENIED);
}

TEST_F(LiveMachineTest, LongAndShortNamesGoBothWays) {
    ASSERT_EQ(fs().CreateDirectory(Path("Long Folder Name")), ERROR_SUCCESS);
    Put("Long Folder Name\\Some Long File.html", "x");
    std::string shortPath, longPath;
    ASSERT_EQ(fs().GetShortPathName(Path("Long Folder Name\\Some Long File.html"), shortPath),
              ERROR_SUCCESS);
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    ASSERT_EQ(fs().GetLongPathName(shortPath, longPath), ERROR_SUCCESS);
    EXPECT_TRUE(text::EqualsNoCase(longPath, Path("Long Folder Name\\Some Long File.html")))
        << longPath;
    std::vector<FindData> found;
    ASSERT_EQ(fs().FindFiles(Path("Long Folder Name\\*.html"), found), ERROR_SUCCESS);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].shortName.empty());
    EXPECT_NE(fs().GetLongPathName(Path("gone\\x"), longPath), ERROR_SUCCESS);
}

TEST_F(LiveMachineTest, DeleteAtRestartIsPendingUntilTheRestart) {
    Put("locked.dll", "x");
    ASSERT_EQ(fs().DeleteAtRestart(Path("locked.dll")), ERROR_SUCCESS);
    const Strings pending = machine_.PendingDeletes();
    EXPECT_TRUE(std::any_of(
        pending.begin(), pending.end(),
        [&](const std::string& p) { return text::EqualsNoCase(p, Path("locked.dll")); }))
        << "pending: " << ::testing::PrintToString(pending);
    std::uint32_t attributes = 0;
    EXPECT_EQ(fs().GetAttributes(Path("locked.dll"), attributes), ERROR_SUCCESS);
}

TEST_F(LiveMachineTest, ProfilesFollowThePrivateProfileCalls) {
    Profiles& p = machine_.profiles();
    const std::string ini = Path("test.ini");
    EXPECT_EQ(p.GetString("S", "k", "def", ini), "def");
    ASSERT_EQ(p.WriteString("S", "k", "v1", ini), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("S", "other", "\"quoted\"", ini), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("T", "k", "t", ini), ERROR_SUCCESS);
    EXPECT_EQ(p.GetString("s", "K", "", ini), "v1");
    EXPECT_EQ(p.GetString("S", "other", "", ini), "quoted");
    ASSERT_EQ(p.AppendString("S", "k", "v2", ini), ERROR_SUCCESS);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(p.GetSection("S", ini), (Pairs{{"k", "v1"}, {"other", "\"quoted\""}, {"k", "v2"}}));
    EXPECT_EQ(p.GetSectionNames(ini), (Strings{"S", "T"}));
    ASSERT_EQ(p.WriteString("S", "nokey", std::nullopt, ini), ERROR_SUCCESS);
    ASSERT_EQ(p.WriteString("T", std::nullopt, std::nullopt, ini), ERROR_SUCCESS);
    EXPECT_EQ(p.GetSectionNames(ini), (Strings{"S"}));
}

TEST_F(LiveMachineTest, ShellLinksAndInternetShortcutsLoad) {
    const std::wstring lnk = host::WidePath(Path("App.lnk"));
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        IShellLinkW* link = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, reinterpret_cast<void**>(&link))));
        link->SetPath(L"C:\\windows\\notepad.exe");
        link->SetArguments(L"/p readme.txt");
        link->SetDescription(L"Spy launcher");
        IPersistFile* file = nullptr;
        ASSERT_TRUE(
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
        ASSERT_TRUE(SUCCEEDED(file->Save(lnk.c_str(), TRUE)));
        file->Release();
        link->Release();
    }
    CoUninitialize();
    ShellLinkData data;
    ASSERT_EQ(machine_.shellLinks().LoadShellLink(Path("App.lnk"), data), ERROR_SUCCESS);
    EXPECT_TRUE(text::EqualsNoCase(data.target, "C:\\windows\\notepad.exe")) << data.target;
    EXPECT_EQ(data.arguments, "/p readme.txt");
    EXPECT_EQ(data.description, "Spy launcher");

    Put("not-a-link.lnk", "plain text");
    EXPECT_EQ(machine_.shellLinks().LoadShellLink(Path("not-a-link.lnk"), data),
              ERROR_INVALID_DATA);
    EXPECT_EQ(machine_.shellLinks().LoadShellLink(Path("missing.lnk"), data), ERROR_FILE_NOT_FOUND);

    Put("Site.url", "[InternetShortcut]\r\nURL=http://spy.example/\r\nIconIndex=3\r\n");
    UrlShortcutData url;
    ASSERT_EQ(machine_.shellLinks().LoadUrlShortcut(Path("Site.url"), url), ERROR_SUCCESS);
    EXPECT_EQ(url.url, "http://spy.example/");
    EXPECT_EQ(url.iconIndex, 3);
}

TEST_F(LiveMachineTest, SystemFoldersAndEnvironment) {
    SystemInfo& s = machine_.system();
    EXPECT_EQ(s.Family(), OsFamily::Nt);
    EXPECT_EQ(s.Version() & 0x80000000u, 0u);
    const std::string windir = s.WindowsDirectory();
    EXPECT_TRUE(text::EqualsNoCase(windir, "C:\\windows")) << windir;
    EXPECT_TRUE(text::EqualsNoCase(s.SystemDirectory().substr(0, windir.size()), windir));
    const std::string temp = s.TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    std::uint32_t attributes = 0;
    EXPECT_EQ(fs().GetAttributes(temp, attributes), ERROR_SUCCESS) << temp;
    std::string folder;
    ASSERT_EQ(s.GetSpecialFolderPath(CSIDL_APPDATA, true, folder), ERROR_SUCCESS);
    EXPECT_EQ(fs().GetAttributes(folder, attributes), ERROR_SUCCESS) << folder;
    ASSERT_EQ(s.GetSpecialFolderPath(CSIDL_PROGRAM_FILES, false, folder), ERROR_SUCCESS);
    EXPECT_EQ(s.GetSpecialFolderPath(0x7777, false, folder), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(text::EqualsNoCase(s.ExpandEnvironment("%SystemRoot%\\x"), windir + "\\x"));
    EXPECT_EQ(s.ExpandEnvironment("%VELDAN_NO_SUCH_NAME%"), "%VELDAN_NO_SUCH_NAME%");
    EXPECT_FALSE(s.UserName().empty());
}

TEST_F(LiveMachineTest, ProcessesListThisOneAndRefuseUnknownIds) {
    const auto list = machine_.processes().List();
    const auto self = std::find_if(list.begin(), list.end(), [](const ProcessInfo& p) {
        return p.id == GetCurrentProcessId();
    });
    ASSERT_NE(self, list.end());
    EXPECT_NE(text::FindNoCase(self->imagePath, "test_win32_machine.exe"), std::string::npos)
        << self->imagePath;
    EXPECT_NE(self->imagePath.find('\\'), std::string::npos) << "a full path, not a bare name";
    EXPECT_TRUE(
        std::is_sorted(list.begin(), list.end(),
                       [](const ProcessInfo& a, const ProcessInfo& b) { return a.id < b.id; }));
    EXPECT_EQ(machine_.processes().Terminate(0x7FFFFFF0u, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(machine_.processes().AdjustPrivilege("SeNoSuchThingPrivilege", true),
              ERROR_NO_SUCH_PRIVILEGE);
    EXPECT_EQ(machine_.processes().AdjustPrivilege("SeDebugPrivilege", true), ERROR_SUCCESS);
}

TEST_F(LiveMachineTest, LauncherRunsAndWaitsForTheExitCode) {
    std::uint32_t code = 0;
    ASSERT_EQ(machine_.launcher().RunAndWait("cmd.exe /c exit 7", code), ERROR_SUCCESS);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(machine_.launcher().RunAndWait("C:\\no\\such\\program.exe", code),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(LiveMachineTest, WindowsAreFoundByClassAndClosedByMessage) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VeldanTestFrame";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND window = CreateWindowExW(0, L"VeldanTestFrame", L"test", WS_OVERLAPPED, 0, 0, 10, 10,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(window));
    Windows& w = machine_.windows();
    EXPECT_EQ(w.FindByClass("veldantestframe"), handle);
    const auto all = w.Enumerate();
    const auto mine = std::find_if(all.begin(), all.end(),
                                   [&](const WindowInfo& i) { return i.handle == handle; });
    ASSERT_NE(mine, all.end());
    EXPECT_EQ(mine->className, "VeldanTestFrame");
    EXPECT_EQ(mine->processId, GetCurrentProcessId());

    ASSERT_EQ(w.PostMessage(handle, WM_CLOSE), ERROR_SUCCESS);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_EQ(w.FindByClass("VeldanTestFrame"), 0u);
    EXPECT_NE(w.PostMessage(handle, WM_CLOSE), ERROR_SUCCESS);
    UnregisterClassW(L"VeldanTestFrame", wc.hInstance);
}

}  // namespace
}  // namespace veldan::machine::win32
