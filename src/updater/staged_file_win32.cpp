// The staged file on Windows: a CRT descriptor from the wide open call, the
// time set through the file's handle, the permission bits reduced to the
// read-only attribute, and MoveFileEx to replace the destination.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "host/file_write.h"
#include "host/wide_path_win32.h"
#include "updater/staged_file.h"

#include <windows.h>

namespace veldan::updater {

namespace {

constexpr unsigned kWriteBits = 0222;

int OpenNew(const std::string& path) {
    return ::_wopen(host::WidePath(path).c_str(),
                    _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

}  // namespace

bool StagedFile::Create(const std::string& destination) {
    if (!OpenTemporary(destination, &OpenNew)) return false;
    const DWORD attributes = GetFileAttributesW(host::WidePath(destination).c_str());
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    baseMode_ = static_cast<mode_t>(readOnly ? 0444 : 0644);
    return true;
}

bool StagedFile::Write(const void* data, std::size_t length) {
    if (!fd_) return false;
    return host::WriteAll(fd_.get(), std::string_view(static_cast<const char*>(data), length)) == 0;
}

bool StagedFile::SetTime(std::time_t time) {
    if (!fd_) return false;
    HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_.get()));
    if (file == INVALID_HANDLE_VALUE) return false;
    // 100-nanosecond steps since 1601-01-01.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(time) + 11644473600ULL) * 10000000ULL;
    FILETIME stamp;
    stamp.dwLowDateTime = static_cast<DWORD>(ticks);
    stamp.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return SetFileTime(file, nullptr, &stamp, &stamp) != 0;
}

bool StagedFile::SetMode(mode_t mode) {
    // Only the read-only attribute exists; the open descriptor still writes.
    if (!fd_) return false;
    const DWORD attributes =
        (mode & kWriteBits) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesW(host::WidePath(tempPath_).c_str(), attributes) != 0;
}

bool StagedFile::Commit() {
    if (!fd_) return false;
    bool ok = ::_commit(fd_.get()) == 0;
    ok = fd_.Close() == 0 && ok;
    const std::wstring target = host::WidePath(destination_);
    if (ok) {
        // A read-only file is replaced as any other.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if (MoveFileExW(host::WidePath(tempPath_).c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            tempPath_.clear();
            return true;
        }
    }
    Discard();
    return false;
}

void StagedFile::Discard() {
    fd_.Reset();
    if (!tempPath_.empty()) {
        const std::wstring path = host::WidePath(tempPath_);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    tempPath_.clear();
}

}  // namespace veldan::updater
