#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include <algorithm>

#include "host/wide_path_win32.h"
#include "machine/win32/win32_services.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::Widen;

// The full image path of a process (NT family), or "" when it cannot be read.
std::string ModulePath(DWORD id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) return {};
    wchar_t path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameExW(process, nullptr, path, MAX_PATH * 2);
    CloseHandle(process);
    return n == 0 ? std::string() : Narrow(std::wstring_view(path, n));
}

HWND ToWindow(std::uint32_t handle) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(handle));
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<std::vector<WindowInfo>*>(param);
    WindowInfo info;
    info.handle = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(window));
    wchar_t className[256];
    const int n = GetClassNameW(window, className, 256);
    if (n > 0) info.className = Narrow(std::wstring_view(className, n));
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    info.processId = process;
    windows->push_back(std::move(info));
    return TRUE;
}

}  // namespace

std::vector<ProcessInfo> Win32Processes::List() const {
    std::vector<ProcessInfo> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    const bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == 0) continue;  // the idle process has no image
        ProcessInfo info;
        info.id = entry.th32ProcessID;
        // On NT the snapshot holds the bare name; the module list has the whole path.
        if (nt) info.imagePath = ModulePath(entry.th32ProcessID);
        if (info.imagePath.empty()) info.imagePath = Narrow(entry.szExeFile);
        list.push_back(std::move(info));
    }
    CloseHandle(snapshot);
    std::sort(list.begin(), list.end(),
              [](const ProcessInfo& a, const ProcessInfo& b) { return a.id < b.id; });
    return list;
}

WinError Win32Processes::Terminate(std::uint32_t id, std::uint32_t exitCode) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return GetLastError();
    WinError err = ERROR_SUCCESS;
    if (!TerminateProcess(process, exitCode)) {
        err = GetLastError();
    } else {
        // The files it held are released once it has ended.
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return err;
}

WinError Win32Processes::AdjustPrivilege(std::string_view privilege, bool enable) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return GetLastError();
    }
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    WinError err = ERROR_SUCCESS;
    if (!LookupPrivilegeValueW(nullptr, Widen(privilege).c_str(), &tp.Privileges[0].Luid)) {
        err = GetLastError();
    } else if (!AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr)) {
        err = GetLastError();
    } else {
        // Success with ERROR_NOT_ALL_ASSIGNED: the user does not hold the privilege.
        err = GetLastError();
    }
    CloseHandle(token);
    return err;
}

std::vector<WindowInfo> Win32Windows::Enumerate() const {
    std::vector<WindowInfo> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::uint32_t Win32Windows::FindByClass(std::string_view className) const {
    HWND window = FindWindowW(Widen(className).c_str(), nullptr);
    return static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(window));
}

WinError Win32Windows::PostMessage(std::uint32_t handle, std::uint32_t message) {
    if (!PostMessageW(ToWindow(handle), message, 0, 0)) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32Launcher::RunAndWait(std::string_view commandLine, std::uint32_t& exitCode) {
    std::wstring line = Widen(commandLine);
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError();
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    exitCode = code;
    return ERROR_SUCCESS;
}

WinError Win32Launcher::ShellOpen(std::string_view file, std::string_view parameters) {
    const std::wstring f = Widen(file), p = Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = f.c_str();
    info.lpParameters = p.empty() ? nullptr : p.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::win32
