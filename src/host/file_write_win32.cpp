// File writes on Windows: UTF-8 paths, wide calls; the atomic write goes
// through a temporary file beside the target and MoveFileEx with replace.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "host/file_write.h"
#include "host/wide_path_win32.h"
#include "host/write_loop.h"

#include <windows.h>

namespace veldan::host {
namespace {

// The folder holding `path` ('/' and '\' both separate), "." when it has none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

WinError WriteHandle(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD wrote = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &wrote, nullptr)) return GetLastError();
        if (wrote == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(wrote);
    }
    return ERROR_SUCCESS;
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) {
    return WriteAllThrough(bytes, [fd](const char* data, std::size_t size) {
        return ::_write(fd, data, static_cast<unsigned>(size));
    });
}

int WriteNewFile(const std::string& path, std::string_view bytes, const NewFile& how,
                 WriteStep& failed) {
    const int flags =
        _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (how.exclusive ? _O_EXCL : _O_TRUNC);
    const int fd = ::_wopen(WidePath(path).c_str(), flags, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        failed = WriteStep::Create;
        return errno;
    }
    if (const int err = WriteAll(fd, bytes); err != 0) {
        ::_close(fd);
        failed = WriteStep::Write;
        return err;
    }
    if (how.flush && ::_commit(fd) != 0) {
        const int err = errno;
        ::_close(fd);
        failed = WriteStep::Flush;
        return err;
    }
    if (::_close(fd) != 0) {
        failed = WriteStep::Close;
        return errno;
    }
    return 0;
}

WinError WriteFileAtomic(const std::string& path, std::string_view bytes) {
    const std::wstring target = WidePath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    const std::wstring dir = WidePath(FolderOf(path));
    const DWORD dirAttributes = GetFileAttributesW(dir.c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES ||
        (dirAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ERROR_PATH_NOT_FOUND;
    }
    wchar_t temp[MAX_PATH + 1];
    if (GetTempFileNameW(dir.c_str(), L"vld", 0, temp) == 0) return GetLastError();
    HANDLE file =
        CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const WinError err = GetLastError();
        DeleteFileW(temp);
        return err;
    }
    WinError err = WriteHandle(file, bytes);
    if (err == ERROR_SUCCESS && !FlushFileBuffers(file)) err = GetLastError();
    CloseHandle(file);
    if (err == ERROR_SUCCESS &&
        !MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        err = GetLastError();
    }
    if (err != ERROR_SUCCESS) DeleteFileW(temp);
    return err;
}

}  // namespace veldan::host
