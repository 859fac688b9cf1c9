#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include <cstdlib>

#include "host/wide_path_win32.h"
#include "machine/win32/win32_services.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::WidePath;

// COM for the calling thread for as long as the object lives.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

  private:
    HRESULT hr_;
};

template <typename T>
class ComPtr {
  public:
    ~ComPtr() {
        if (p_ != nullptr) p_->Release();
    }
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

  private:
    T* p_ = nullptr;
};

// A string getter of IShellLinkW with its fixed buffer.
template <typename Get>
std::string LinkText(Get get) {
    wchar_t buffer[1024] = L"";
    if (FAILED(get(buffer, 1024))) return {};
    return Narrow(buffer);
}

// The number a profile value starts with (as the shell reads it); `def` when none.
long ProfileNumber(const std::string& text, long def) {
    if (text.empty()) return def;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() ? def : n;
}

}  // namespace

WinError Win32ShellLinks::LoadShellLink(std::string_view path, ShellLinkData& link) const {
    const std::wstring wide = WidePath(path);
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_ACCESS_DENIED;
    ComScope com;
    ComPtr<IShellLinkW> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(shellLink.out())))) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()))) ||
        FAILED(file->Load(wide.c_str(), STGM_READ))) {
        return ERROR_INVALID_DATA;
    }
    ShellLinkData data;
    data.target = LinkText(
        [&](wchar_t* b, int n) { return shellLink->GetPath(b, n, nullptr, SLGP_RAWPATH); });
    data.arguments = LinkText([&](wchar_t* b, int n) { return shellLink->GetArguments(b, n); });
    data.workingDirectory =
        LinkText([&](wchar_t* b, int n) { return shellLink->GetWorkingDirectory(b, n); });
    data.description = LinkText([&](wchar_t* b, int n) { return shellLink->GetDescription(b, n); });
    int icon = 0;
    data.iconLocation =
        LinkText([&](wchar_t* b, int n) { return shellLink->GetIconLocation(b, n, &icon); });
    data.iconIndex = icon;
    WORD hotKey = 0;
    if (SUCCEEDED(shellLink->GetHotkey(&hotKey))) data.hotKey = hotKey;
    int show = 1;
    if (SUCCEEDED(shellLink->GetShowCmd(&show))) data.showCommand = show;
    link = std::move(data);
    return ERROR_SUCCESS;
}

WinError Win32ShellLinks::LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const {
    const DWORD a = GetFileAttributesW(WidePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
    // Read through the private-profile calls, as the shell does.
    constexpr std::string_view kSection = "InternetShortcut";
    UrlShortcutData data;
    data.url = profiles_.GetString(kSection, "URL", "", path);
    data.iconLocation = profiles_.GetString(kSection, "IconFile", "", path);
    data.iconIndex = static_cast<int>(
        ProfileNumber(profiles_.GetString(kSection, "IconIndex", "", path), data.iconIndex));
    data.workingDirectory = profiles_.GetString(kSection, "WorkingDirectory", "", path);
    data.hotKey = static_cast<std::uint16_t>(
        ProfileNumber(profiles_.GetString(kSection, "HotKey", "", path), data.hotKey));
    data.showCommand = static_cast<int>(
        ProfileNumber(profiles_.GetString(kSection, "ShowCommand", "", path), data.showCommand));
    link = std::move(data);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::win32
