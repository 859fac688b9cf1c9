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

// True when a running program holds the file open without letting others delete it.
bool IsHeld(const std::wstring& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// The full path of `path`, "" when it has none.
std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
    return n == 0 || n >= MAX_PATH * 2 ? std::wstring() : std::wstring(buffer, n);
}

// True when `inner` lies below the folder `outer` (both as given to the calls).
bool IsBelow(const std::wstring& inner, const std::wstring& outer) {
    const std::wstring in = FullPath(inner), out = FullPath(outer);
    if (in.empty() || out.empty() || in.size() <= out.size() || in[out.size()] != L'\\') {
        return false;
    }
    return text::EqualsNoCase(Narrow(in.substr(0, out.size())), Narrow(out));
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

// A file opened for writing; closed when destroyed.
class HandleWriter final : public FileWriter {
  public:
    explicit HandleWriter(HANDLE file) : file_(file) {}
    ~HandleWriter() override { CloseHandle(file_); }
    WinError Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD put = 0;
            if (!::WriteFile(file_, p, chunk, &put, nullptr)) return GetLastError();
            if (put == 0) return ERROR_DISK_FULL;
            p += put;
            size -= put;
        }
        return ERROR_SUCCESS;
    }
    WinError Flush() override { return FlushFileBuffers(file_) ? ERROR_SUCCESS : GetLastError(); }

  private:
    HANDLE file_;
};

std::uint64_t FromFiletime(const FILETIME& t) {
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

FILETIME ToFiletime(std::uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v & 0xffffffffu);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}

// Opens a file or folder for its times (folders need FILE_FLAG_BACKUP_SEMANTICS).
HANDLE OpenForTimes(std::string_view path, DWORD access) {
    return CreateFileW(WithoutTrailingSeparator(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    const WinError err = host::WriteFileAtomic(std::string(path), bytes);
    // Replacing a file a program holds open is refused as a denied access; the
    // machine layer tells the held file apart.
    if (err == ERROR_ACCESS_DENIED && IsHeld(WidePath(path))) return ERROR_SHARING_VIOLATION;
    return err;
}

WinError Win32FileSystem::OpenWrite(std::string_view path, WriteMode mode,
                                    std::unique_ptr<FileWriter>& writer) {
    if (EndsWithSeparator(path)) return ERROR_INVALID_NAME;
    // Windows refuses a folder and a read-only file here; Wine would open either for appending.
    const DWORD a = GetFileAttributesW(WidePath(path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES &&
        (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    const bool append = mode == WriteMode::Append;
    const HANDLE file = CreateFileW(
        WidePath(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    writer = std::make_unique<HandleWriter>(file);
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::MoveFile(std::string_view from, std::string_view to, bool replace) {
    const std::wstring source = WithoutTrailingSeparator(from);
    const std::wstring target = WithoutTrailingSeparator(to);
    // A folder cannot move into itself; Windows versions and Wine refuse it with different codes.
    if (IsBelow(target, source)) return ERROR_ACCESS_DENIED;
    const DWORD existing = GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (!replace) return ERROR_ALREADY_EXISTS;
        // A folder is never replaced, nor replaced by one.
        const DWORD moving = GetFileAttributesW(source.c_str());
        if (moving == INVALID_FILE_ATTRIBUTES) return GetLastError();
        if (((existing | moving) & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_ACCESS_DENIED;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH;
    if (replace) flags |= MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(source.c_str(), target.c_str(), flags)) return GetLastError();
    return ERROR_SUCCESS;
}

WinError Win32FileSystem::GetFileTime(std::string_view path, FileTimes& times) const {
    const HANDLE file = OpenForTimes(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    FILETIME creation{}, access{}, write{};
    const bool ok = ::GetFileTime(file, &creation, &access, &write) != 0;
    const WinError err = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (ok) times = FileTimes{FromFiletime(creation), FromFiletime(access), FromFiletime(write)};
    return err;
}

WinError Win32FileSystem::SetFileTime(std::string_view path, const FileTimes& times) {
    const HANDLE file = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    // A time of 0 stays as it is: SetFileTime leaves a null time alone.
    const FILETIME creation = ToFiletime(times.creation);
    const FILETIME access = ToFiletime(times.lastAccess);
    const FILETIME write = ToFiletime(times.lastWrite);
    const bool ok = ::SetFileTime(file, times.creation ? &creation : nullptr,
                                  times.lastAccess ? &access : nullptr,
                                  times.lastWrite ? &write : nullptr) != 0;
    const WinError err = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return err;
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

WinError Win32FileSystem::GetDiskFreeSpaceEx(std::string_view path,
                                             std::uint64_t& freeBytes) const {
    std::wstring folder = WithoutTrailingSeparator(path);
    const DWORD a = GetFileAttributesW(folder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return ERROR_PATH_NOT_FOUND;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
    if (folder.back() != L'\\') folder += L'\\';
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return GetLastError();
    freeBytes = available.QuadPart;
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::win32
