#pragma once
// The file system of the machine being scanned, in Windows terms.
//
// Paths are Windows paths ("C:\\WINDOWS\\system32\\x.dll"); "/" is accepted as a
// separator, names resolve without regard to ASCII case and may be given in
// their long or short (8.3) form. Results are Windows result codes:
// ERROR_FILE_NOT_FOUND when the last component is missing, ERROR_PATH_NOT_FOUND
// when a folder on the way is missing, ERROR_ACCESS_DENIED for read-only files
// and folders, ERROR_SHARING_VIOLATION for files held open by a running process.
// Out-parameters are untouched on failure.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

// One directory entry as FindFirstFile/FindNextFile report it.
struct FindData {
    std::string name;       // long name, as on disk
    std::string shortName;  // 8.3 name; empty when the long name is already one
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// The three times of a file (GetFileTime / SetFileTime) as FILETIME values:
// 100-nanosecond intervals since 1601-01-01 UTC. 0 is a time the backend does
// not know; given to SetFileTime it leaves that time as it is.
struct FileTimes {
    std::uint64_t creation = 0;
    std::uint64_t lastAccess = 0;
    std::uint64_t lastWrite = 0;

    bool operator==(const FileTimes&) const = default;
};

// How OpenWrite opens a file: CREATE_ALWAYS (new or emptied) or OPEN_ALWAYS
// with every write at the end.
enum class WriteMode { CreateAlways, Append };

// A file opened for writing (CreateFile + WriteFile); closed when destroyed.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    // Writes all `size` bytes; ERROR_DISK_FULL when the disk has no room.
    [[nodiscard]] virtual WinError Write(const void* data, std::size_t size) = 0;
    // Makes everything written so far durable, the file's folder entry included
    // (FlushFileBuffers).
    [[nodiscard]] virtual WinError Flush() = 0;
};

// A file opened for reading.
class FileReader {
  public:
    virtual ~FileReader() = default;
    // Reads up to `size` bytes; returns the number read, 0 at the end, -1 on error.
    virtual long long Read(void* buffer, std::size_t size) = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Attributes of a file or folder (GetFileAttributes). A path ending in a
    // backslash names a folder only: for a file it fails with ERROR_PATH_NOT_FOUND.
    [[nodiscard]] virtual WinError GetAttributes(std::string_view path,
                                                 std::uint32_t& attributes) const = 0;

    // Sets the read-only attribute of a file or folder as `attributes` says
    // (SetFileAttributes); other attribute bits are ignored.
    [[nodiscard]] virtual WinError SetAttributes(std::string_view path,
                                                 std::uint32_t attributes) = 0;

    // The length of a file in bytes.
    [[nodiscard]] virtual WinError GetFileSize(std::string_view path,
                                               std::uint64_t& size) const = 0;

    // The entries that match the last component of `pattern`, a name with the
    // wildcards * and ? ("C:\\WINDOWS\\*.tmp"), in enumeration order: "." and ".."
    // first (not for a drive root), then the ordinal order of upper-cased names.
    // A name matches through its long or its short form. ERROR_FILE_NOT_FOUND when
    // nothing matches, ERROR_PATH_NOT_FOUND when the folder does not exist.
    [[nodiscard]] virtual WinError FindFiles(std::string_view pattern,
                                             std::vector<FindData>& entries) const = 0;

    // The path with every component in its long on-disk form (GetLongPathName);
    // the drive letter stays as given. The path must exist.
    [[nodiscard]] virtual WinError GetLongPathName(std::string_view path,
                                                   std::string& longPath) const = 0;

    // The path with every component in its 8.3 form (GetShortPathName).
    [[nodiscard]] virtual WinError GetShortPathName(std::string_view path,
                                                    std::string& shortPath) const = 0;

    // Deletes a file (DeleteFile). A folder gives ERROR_ACCESS_DENIED.
    [[nodiscard]] virtual WinError DeleteFile(std::string_view path) = 0;

    // Removes an empty folder (RemoveDirectory); ERROR_DIR_NOT_EMPTY otherwise,
    // ERROR_DIRECTORY for a file.
    [[nodiscard]] virtual WinError RemoveDirectory(std::string_view path) = 0;

    // Creates one folder (CreateDirectory); its parent must exist.
    [[nodiscard]] virtual WinError CreateDirectory(std::string_view path) = 0;

    // Opens a file for reading. Files held by processes can be read.
    [[nodiscard]] virtual WinError OpenRead(std::string_view path,
                                            std::unique_ptr<FileReader>& reader) const = 0;

    // Reads a whole file.
    [[nodiscard]] virtual WinError ReadFile(std::string_view path, std::string& bytes) const = 0;

    // Creates or replaces a file with `bytes`; the folder must exist. The old
    // content stays whole until the new one is complete.
    [[nodiscard]] virtual WinError WriteFile(std::string_view path, std::string_view bytes) = 0;

    // Opens a file for writing (CreateFile with GENERIC_WRITE); the folder must
    // exist. Read-only files, folders and held files are refused as by WriteFile.
    [[nodiscard]] virtual WinError OpenWrite(std::string_view path, WriteMode mode,
                                             std::unique_ptr<FileWriter>& writer) = 0;

    // Renames a file or folder within the drive (MoveFileEx with
    // MOVEFILE_WRITE_THROUGH, and MOVEFILE_REPLACE_EXISTING when `replace`); the
    // move is durable when it returns. An existing target gives
    // ERROR_ALREADY_EXISTS without `replace`; a folder is never replaced.
    [[nodiscard]] virtual WinError MoveFile(std::string_view from, std::string_view to,
                                            bool replace) = 0;

    // The times of a file or folder (GetFileTime).
    [[nodiscard]] virtual WinError GetFileTime(std::string_view path,
                                               FileTimes& times) const = 0;

    // Sets the times of a file or folder that are not 0 (SetFileTime).
    [[nodiscard]] virtual WinError SetFileTime(std::string_view path, const FileTimes& times) = 0;

    // Schedules the file for deletion at the next restart (MoveFileEx with
    // MOVEFILE_DELAY_UNTIL_REBOOT on the NT family, Wininit.ini [Rename] on 9x).
    [[nodiscard]] virtual WinError DeleteAtRestart(std::string_view path) = 0;

    // The free bytes of the disk that holds folder `path` that the caller may
    // use (GetDiskFreeSpaceEx, lpFreeBytesAvailableToCaller). ERROR_PATH_NOT_FOUND
    // when the folder does not exist (a drive root "C:\\" always does).
    [[nodiscard]] virtual WinError GetDiskFreeSpaceEx(std::string_view path,
                                                      std::uint64_t& freeBytes) const = 0;
};

}  // namespace veldan::machine

// Declares every FileSystem operation, for a backend that implements them all (ImageFileSystem,
// MemoryFileSystem).
#define VELDAN_FILE_SYSTEM_OPERATIONS                                                             \
    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override;      \
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override;             \
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override;              \
    WinError FindFiles(std::string_view pattern, std::vector<FindData>& entries) const override;  \
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override;        \
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override;      \
    WinError DeleteFile(std::string_view path) override;                                          \
    WinError RemoveDirectory(std::string_view path) override;                                     \
    WinError CreateDirectory(std::string_view path) override;                                     \
    WinError OpenRead(std::string_view path, std::unique_ptr<FileReader>& reader) const override; \
    WinError ReadFile(std::string_view path, std::string& bytes) const override;                  \
    WinError WriteFile(std::string_view path, std::string_view bytes) override;                   \
    WinError DeleteAtRestart(std::string_view path) override;                                     \
    WinError OpenWrite(std::string_view path, WriteMode mode,                                     \
                       std::unique_ptr<FileWriter>& writer) override;                             \
    WinError MoveFile(std::string_view from, std::string_view to, bool replace) override;         \
    WinError GetFileTime(std::string_view path, FileTimes& times) const override;                 \
    WinError SetFileTime(std::string_view path, const FileTimes& times) override;                 \
    WinError GetDiskFreeSpaceEx(std::string_view path, std::uint64_t& bytes) const override
