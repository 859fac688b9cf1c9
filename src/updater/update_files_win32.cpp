// The updater's host file calls on Windows: wide calls, UTF-8 paths.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <string>

#include "host/wide_path_win32.h"
#include "updater/update_files.h"
#include "updater/update_program.h"

#include <windows.h>

namespace veldan::updater {

namespace {

// Six characters that differ from call to call.
std::string UniqueSuffix() {
    static unsigned counter = 0;
    unsigned value = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (++counter * 2654435761u);
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string out;
    for (int i = 0; i < 6; ++i, value /= 36) out += kChars[value % 36];
    return out;
}

}  // namespace

int OpenForReading(const std::string& path) {
    return ::_wopen(host::WidePath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

bool SetFolderMode(const std::string&, unsigned) {
    return true;
}

bool IsFolder(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(host::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(host::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string MakeTempFile(const std::string& folder, std::string_view prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = folder + "\\" + std::string(prefix) + UniqueSuffix();
        HANDLE file = CreateFileW(host::WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return path;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return {};
    }
    return {};
}

std::string MakeTempFolder(const std::string& parent, std::string_view prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = parent + "\\" + std::string(prefix) + UniqueSuffix();
        if (CreateDirectoryW(host::WidePath(path).c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

void AllowReplacing(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
}

void RemoveFile(const std::string& path) {
    const std::wstring wide = host::WidePath(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
}

std::string HostTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = n > 0 && n <= MAX_PATH ? host::Narrow(std::wstring_view(buffer, n)) : ".";
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

}  // namespace veldan::updater
