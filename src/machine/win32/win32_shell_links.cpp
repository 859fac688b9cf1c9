#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "host/wide_path_win32.h"
#include "machine/url_shortcut.h"
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

// A string getter of IShellLinkW. The buffer holds the longest string a link
// can keep (a 16-bit count of characters), so that no field comes back cut.
template <typename Get>
std::string LinkText(Get get) {
    constexpr int kLongest = 65536;
    std::wstring buffer(kLongest, L'\0');
    if (FAILED(get(buffer.data(), kLongest))) return {};
    buffer[kLongest - 1] = L'\0';
    return Narrow(buffer.c_str());
}

// Whether the shortcut file can be opened: its error when it is missing, and
// ERROR_ACCESS_DENIED for a folder, as opening one as a file gives.
WinError CheckShortcutFile(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
    return (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

}  // namespace

WinError Win32ShellLinks::LoadShellLink(std::string_view path, ShellLinkData& link) const {
    const std::wstring wide = WidePath(path);
    if (const WinError err = CheckShortcutFile(wide); err != ERROR_SUCCESS) return err;
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
    if (const WinError err = CheckShortcutFile(WidePath(path)); err != ERROR_SUCCESS) return err;
    link = ReadUrlShortcut(profiles_, path);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::win32
