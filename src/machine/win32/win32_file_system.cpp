#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "machine/win32/win32_file_system.h"

#include <algorithm>

#include "host/file_write.h"
#include "host/wide_path_win32.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::WidePath;

bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// A drive root ("C:\") keeps its backslash; other paths lose a trailing one.
std::wstring WithoutTrailingSeparator(std::string_view path) {
    std::wstring wide = WidePath(path);
    while (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
    return wide;
}

class HandleReader final : public FileReader {
  public:
    explicit HandleReader(HANDLE file) : file_(file) {}
    ~HandleReader() override { CloseHandle(file_); }
    long long Read(void* buffer, std::size_t size) override {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!::ReadFile(file_, buffer, chunk, &got, nullptr)) return -1;
        return got;
    }

  private:
    HANDLE file_;
};

// Calls a path function of the (buffer, size) kind with a growing buffer.
template <typename Call>
WinError PathCall(std::string_view path, std::string& out, Call call) {
    const std::wstring wide = WidePath(path);
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = call(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return GetLastError();
        if (n < buffer.size()) {
            out = Narrow(std::wstring_view(buffer.data(), n));
            return ERROR_SUCCESS;
        }
        buffer.resize(n + 1);
    }
}

}  // namespace

WinError Win32FileSystem::GetAttributes(std::string_view path, std::uint32_t& attributes) const {
    const DWORD a = GetFileAttributesW(WithoutTrailingSeparator(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (EndsWithSeparator(path) && (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_PATH_NOT_FOUND;
    attributes = a;
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
    const std::wstring wide = WithoutTrailingSeparator(path);
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
    DWORD wanted = (a & ~DWORD{FILE_ATTRIBUTE_READONLY}) | (attributes & FILE_ATTRIBUTE_READONLY);
    wanted &= ~DWORD{FILE_ATTRIBUTE_DIRECTORY};
    if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(wide.c_str(), wanted)) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::GetFileSize(std::string_view path, std::uint64_t& size) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
        return GetLastError();
    }
    size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::FindFiles(std::string_view pattern,
                                    std::vector<FindData>& entries) const {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(WidePath(pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return GetLastError();
    std::vector<FindData> dots, names;
    do {
        FindData d;
        d.name = Narrow(found.cFileName);
        d.shortName = Narrow(found.cAlternateFileName);
        d.attributes = found.dwFileAttributes;
        d.size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        (d.name == "." || d.name == ".." ? dots : names).push_back(std::move(d));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    // The order of the machine layer: dots first, then upper-cased ordinal order.
    std::sort(dots.begin(), dots.end(),
              [](const FindData& a, const FindData& b) { return a.name.size() < b.name.size(); });
    std::stable_sort(names.begin(), names.end(), [](const FindData& a, const FindData& b) {
        return text::CompareUpper(a.name, b.name) < 0;
    });
    dots.insert(dots.end(), std::make_move_iterator(names.begin()),
                std::make_move_iterator(names.end()));
    entries = std::move(dots);
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::GetLongPathName(std::string_view path, std::string& longPath) const {
    return PathCall(path, longPath, [](const wchar_t* in, wchar_t* out, DWORD size) {
        return GetLongPathNameW(in, out, size);
    });
}

WinError Win32FileSystem::GetShortPathName(std::string_view path, std::string& shortPath) const {
    return PathCall(path, shortPath, [](const wchar_t* in, wchar_t* out, DWORD size) {
        return GetShortPathNameW(in, out, size);
    });
}

WinError Win32FileSystem::DeleteFile(std::string_view path) {
    const std::wstring wide = WidePath(path);
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (!DeleteFileW(wide.c_str())) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::RemoveDirectory(std::string_view path) {
    const std::wstring wide = WithoutTrailingSeparator(path);
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
    if (!RemoveDirectoryW(wide.c_str())) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::CreateDirectory(std::string_view path) {
    if (!CreateDirectoryW(WithoutTrailingSeparator(path).c_str(), nullptr)) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::OpenRead(std::string_view path,
                                   std::unique_ptr<FileReader>& reader) const {
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    reader = std::make_unique<HandleReader>(file);
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::ReadFile(std::string_view path, std::string& bytes) const {
    std::unique_ptr<FileReader> reader;
    if (const WinError err = OpenRead(path, reader); err != ERROR_SUCCESS) return err;
    std::string out;
    char buffer[1 << 16];
    for (;;) {
        const long long n = reader->Read(buffer, sizeof buffer);
        if (n < 0) return ERROR_READ_FAULT;
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    bytes = std::move(out);
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::WriteFile(std::string_view path, std::string_view bytes) {
    return host::WriteFileAtomic(std::string(path), bytes);
}

WinError Win32FileSystem::DeleteAtRestart(std::string_view path) {
    if (family_ == OsFamily::Nt) {
        if (!MoveFileExW(WidePath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            return GetLastError();
        }
        return ERROR_SUCCESS;
    }
    // The 9x family reads Wininit.ini [Rename] at start; it takes short names.
    std::string shortPath;
    if (const WinError err = GetShortPathName(path, shortPath); err != ERROR_SUCCESS) return err;
    return profiles_.AppendString("Rename", "NUL", shortPath, "wininit.ini");
}

}  // namespace veldan::machine::win32
