#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "host/wide_path_win32.h"
#include "machine/win32/win32_services.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::Widen;

template <typename Call>
std::string FolderText(Call call) {
    wchar_t buffer[MAX_PATH + 1];
    const UINT n = call(buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    return Narrow(std::wstring_view(buffer, n));
}

}  // namespace

OsFamily Win32SystemInfo::Family() const {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? OsFamily::Nt : OsFamily::Win9x;
}

std::uint32_t Win32SystemInfo::Version() const {
    return GetVersion();
}

std::string Win32SystemInfo::UserName() const {
    wchar_t name[257];
    DWORD size = 257;
    if (!GetUserNameW(name, &size) || size == 0) return {};
    return Narrow(std::wstring_view(name, size - 1));
}

WinError Win32SystemInfo::GetSpecialFolderPath(int csidl, bool create, std::string& path) {
    // A folder the registry or the defaults name is reported even while it does
    // not exist (without CSIDL_FLAG_DONT_VERIFY the shell refuses it); asked
    // with create, it is made.
    wchar_t buffer[MAX_PATH] = L"";
    const int flags = csidl | (create ? CSIDL_FLAG_CREATE : CSIDL_FLAG_DONT_VERIFY);
    if (SHGetFolderPathW(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK ||
        buffer[0] == L'\0') {
        return ERROR_FILE_NOT_FOUND;
    }
    path = Narrow(buffer);
    return ERROR_SUCCESS;
}

std::string Win32SystemInfo::WindowsDirectory() const {
    return FolderText([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
}

std::string Win32SystemInfo::SystemDirectory() const {
    return FolderText([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
}

std::string Win32SystemInfo::TempPath() const {
    return FolderText([](wchar_t* b, UINT n) { return static_cast<UINT>(GetTempPathW(n, b)); });
}

std::string Win32SystemInfo::ExpandEnvironment(std::string_view text) const {
    const std::wstring in = Widen(text);
    std::wstring out(in.size() + 256, L'\0');
    for (;;) {
        const DWORD n =
            ExpandEnvironmentStringsW(in.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (n == 0) return std::string(text);
        if (n <= out.size()) return Narrow(std::wstring_view(out.data(), n - 1));
        out.assign(n, L'\0');
    }
}

}  // namespace veldan::machine::win32
