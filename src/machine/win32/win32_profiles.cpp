#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "host/file_read.h"
#include "host/file_write.h"
#include "host/ini_text.h"
#include "host/wide_path_win32.h"
#include "machine/win32/win32_services.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::Widen;

// A null-terminated wide text, or null for "no such argument".
struct OptionalWide {
    explicit OptionalWide(std::optional<std::string_view> utf8) {
        if (utf8) {
            text = Widen(*utf8);
            present = true;
        }
    }
    const wchar_t* get() const { return present ? text.c_str() : nullptr; }
    std::wstring text;
    bool present = false;
};

// Calls a profile reader with a growing buffer; returns what it wrote.
template <typename Call>
std::wstring ProfileBuffer(Call call, DWORD slack) {
    std::wstring buffer(4096, L'\0');
    for (;;) {
        const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n + slack < buffer.size()) return buffer.substr(0, n);
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

// Splits "a\0b\0" lists.
std::vector<std::wstring> SplitNulList(const std::wstring& list) {
    std::vector<std::wstring> items;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(L'\0', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start) items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// True when a text given to a write would break the file into other lines.
bool HasLineBreak(std::optional<std::string_view> text) {
    return text && text->find_first_of("\r\n") != std::string_view::npos;
}

// The file the profile calls would use: a name without a folder lies in the Windows folder.
std::string ProfilePath(std::string_view file) {
    if (file.find_first_of("\\/:") != std::string_view::npos) return std::string(file);
    wchar_t dir[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    return Narrow(std::wstring_view(dir, n)) + "\\" + std::string(file);
}

}  // namespace

std::string Win32Profiles::GetString(std::string_view section, std::string_view key,
                                     std::string_view def, std::string_view file) const {
    const std::wstring s = Widen(section), k = Widen(key), d = Widen(def), f = Widen(file);
    return Narrow(ProfileBuffer(
        [&](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer, size,
                                            f.c_str());
        },
        1));
}

std::vector<std::pair<std::string, std::string>> Win32Profiles::GetSection(
    std::string_view section, std::string_view file) const {
    const std::wstring s = Widen(section), f = Widen(file);
    const std::wstring list = ProfileBuffer(
        [&](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionW(s.c_str(), buffer, size, f.c_str());
        },
        2);
    std::vector<std::pair<std::string, std::string>> lines;
    for (const std::wstring& line : SplitNulList(list)) {
        const std::size_t eq = line.find(L'=');
        if (eq == std::wstring::npos) {
            lines.emplace_back(Narrow(line), std::string());
        } else {
            lines.emplace_back(Narrow(line.substr(0, eq)), Narrow(line.substr(eq + 1)));
        }
    }
    return lines;
}

std::vector<std::string> Win32Profiles::GetSectionNames(std::string_view file) const {
    const std::wstring f = Widen(file);
    const std::wstring list = ProfileBuffer(
        [&](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionNamesW(buffer, size, f.c_str());
        },
        2);
    std::vector<std::string> names;
    for (const std::wstring& name : SplitNulList(list)) names.push_back(Narrow(name));
    return names;
}

WinError Win32Profiles::WriteString(std::string_view section, std::optional<std::string_view> key,
                                    std::optional<std::string_view> value, std::string_view file) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    const OptionalWide k(key), v(key ? value : std::nullopt);
    const std::wstring s = Widen(section), f = Widen(file);
    if (!WritePrivateProfileStringW(s.c_str(), k.get(), v.get(), f.c_str())) {
        return GetLastError();
    }
    if (key) return ERROR_SUCCESS;
    // A section deleted goes with every copy of it; the call may take the first only.
    for (int copies = 0; copies < 64 && HasSection(section, file); ++copies) {
        if (!WritePrivateProfileStringW(s.c_str(), nullptr, nullptr, f.c_str())) {
            return GetLastError();
        }
    }
    return ERROR_SUCCESS;
}

bool Win32Profiles::HasSection(std::string_view section, std::string_view file) const {
    for (const std::string& name : GetSectionNames(file)) {
        if (text::EqualsNoCase(text::Trim(name), text::Trim(section))) return true;
    }
    return false;
}

WinError Win32Profiles::AppendString(std::string_view section, std::string_view key,
                                     std::string_view value, std::string_view file) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    // The profile calls replace a key's first line; a repeated key is added to the text.
    const std::string path = ProfilePath(file);
    std::string bytes;
    const bool exists = host::ReadWholeFile(path, bytes);
    const bool utf16 = bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0;
    host::IniText ini(exists ? text::DecodeText(bytes) : std::string());
    ini.Append(section, key, value);
    const std::string out =
        utf16 ? "\xFF\xFE" + text::Utf8ToUtf16Le(ini.Text()) : text::Utf8ToCp949(ini.Text());
    return host::WriteFileAtomic(path, out);
}

}  // namespace veldan::machine::win32
