#include "machine/folder/image_file_system.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "host/errno_map.h"
#include "host/file_write.h"
#include "host/quiet_open.h"
#include "host/unique_fd.h"

namespace veldan::machine::image {
using host::WinErrorFromErrno;
using host::UniqueFd;
using host::WriteFileAtomic;

namespace {

// What the image shows of one host entry.
struct HostEntry {
    bool folder = false;
    bool link = false;
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;
};

// The entry at `hostPath`. Links are never folders: a link to a file is that
// file, any other link an empty file.
WinError StatHost(const std::string& hostPath, HostEntry& entry) {
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) != 0) return WinErrorFromErrno(errno);
    HostEntry e;
    if (S_ISLNK(st.st_mode)) {
        e.link = true;
        struct stat target {};
        if (::stat(hostPath.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
            st = target;
        } else {
            st.st_size = 0;
        }
    }
    e.folder = S_ISDIR(st.st_mode);
    e.size = e.folder ? 0 : static_cast<std::uint64_t>(st.st_size);
    e.attributes = e.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((st.st_mode & S_IWUSR) == 0) e.attributes |= FILE_ATTRIBUTE_READONLY;
    entry = e;
    return ERROR_SUCCESS;
}

std::string ParentOf(const std::string& hostPath) {
    const std::size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

// A folder without the owner's write permission neither takes nor gives up
// entries, for root as for anyone else.
WinError CheckFolderWritable(const std::string& hostDir) {
    struct stat st {};
    if (::stat(hostDir.c_str(), &st) != 0) return ERROR_PATH_NOT_FOUND;
    return (st.st_mode & S_IWUSR) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

bool HasWildcards(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

bool IsValidPattern(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("<>:\"|").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Opens the regular file at Windows path `path` for reading; folders and other
// non-files are denied.
WinError OpenImageFile(const HostPaths& paths, std::string_view path, UniqueFd& fdOut) {
    std::string hostPath;
    if (WinError err = paths.Resolve(path, hostPath); err != ERROR_SUCCESS) return err;
    // O_NONBLOCK: a fifo in an image must not hang the scan; it is refused below.
    // Read without touching the access time: a scan leaves no trace.
    UniqueFd fd(host::OpenQuietly(hostPath.c_str(), O_NOCTTY | O_NONBLOCK));
    if (!fd) return WinErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);  // O_NOATIME stays
    fdOut = std::move(fd);
    return ERROR_SUCCESS;
}

class HostFileReader final : public FileReader {
  public:
    explicit HostFileReader(UniqueFd fd) : fd_(std::move(fd)) {}

    long long Read(void* buffer, std::size_t size) override {
        const std::size_t chunk = std::min<std::size_t>(size, std::size_t{1} << 30);
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, chunk);
            if (n >= 0) return n;
            if (errno != EINTR) return -1;
        }
    }

  private:
    UniqueFd fd_;
};

// fsyncs a folder, so that entries added to or removed from it are durable.
WinError SyncFolder(const std::string& hostDir) {
    UniqueFd fd(::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return WinErrorFromErrno(errno);
    return ::fsync(fd.get()) == 0 ? ERROR_SUCCESS : WinErrorFromErrno(errno);
}

class HostFileWriter final : public FileWriter {
  public:
    HostFileWriter(UniqueFd fd, std::string folder) : fd_(std::move(fd)), folder_(std::move(folder)) {}

    WinError Write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd_.get(), p, std::min<std::size_t>(size, std::size_t{1} << 30));
            if (n < 0) {
                if (errno == EINTR) continue;
                return WinErrorFromErrno(errno);
            }
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return ERROR_SUCCESS;
    }
    WinError Flush() override {
        if (::fsync(fd_.get()) != 0) return WinErrorFromErrno(errno);
        if (!folderSynced_) {
            if (WinError e = SyncFolder(folder_)) return e;
            folderSynced_ = true;
        }
        return ERROR_SUCCESS;
    }

  private:
    UniqueFd fd_;
    std::string folder_;
    bool folderSynced_ = false;
};

// FILETIME from a host time, and back.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

std::uint64_t ToFileTime(const struct timespec& t) {
    if (t.tv_sec < -11644473600ll) return 0;
    return kUnixEpochAsFileTime + static_cast<std::uint64_t>(t.tv_sec) * 10000000ull +
           static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

struct timespec FromFileTime(std::uint64_t ft) {
    struct timespec t {};
    if (ft == 0) {
        t.tv_nsec = UTIME_OMIT;
        return t;
    }
    const long long since = static_cast<long long>(ft) - static_cast<long long>(kUnixEpochAsFileTime);
    long long sec = since / 10000000;
    long long rest = since % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --sec;
    }
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = static_cast<long>(rest * 100);
    return t;
}

}  // namespace

ImageFileSystem::ImageFileSystem(HostPaths& paths,
                                 std::function<bool(const std::string& hostPath)> isHeld,
                                 std::function<WinError(std::string_view winPath)> scheduleDelete)
    : paths_(paths), isHeld_(std::move(isHeld)), scheduleDelete_(std::move(scheduleDelete)) {}

WinError ImageFileSystem::GetAttributes(std::string_view path, std::uint32_t& attributes) const {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    HostEntry entry;
    if (WinError err = StatHost(host, entry); err != ERROR_SUCCESS) return err;
    attributes = entry.attributes;
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) return WinErrorFromErrno(errno);
    // chmod would reach through the link to whatever it points at, maybe
    // outside the image.
    if (S_ISLNK(st.st_mode)) return ERROR_ACCESS_DENIED;
    const mode_t mode = st.st_mode & 07777;
    const mode_t wanted =
        (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    if (wanted != mode && ::chmod(host.c_str(), wanted) != 0) return WinErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::GetFileSize(std::string_view path, std::uint64_t& size) const {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    HostEntry entry;
    if (WinError err = StatHost(host, entry); err != ERROR_SUCCESS) return err;
    // A folder cannot be opened as a file, so it has no size (as CreateFile on one).
    if (entry.folder) return ERROR_ACCESS_DENIED;
    size = entry.size;
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::FindFiles(std::string_view pattern,
                                    std::vector<FindData>& entries) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(pattern, p); err != ERROR_SUCCESS) return err;
    if (p.components.empty() || p.trailingSeparator) {
        // No name part ("C:\", "C:\WINDOWS\"): nothing to find, once the folder exists.
        std::string host;
        const WinError err = paths_.Resolve(p, host);
        return err == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : err;
    }
    const std::string name = p.components.back();
    if (!IsValidPattern(name)) return ERROR_INVALID_NAME;
    p.components.pop_back();
    p.trailingSeparator = true;
    std::string dir;
    if (WinError err = paths_.Resolve(p, dir); err != ERROR_SUCCESS) {
        return err == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : err;
    }

    std::vector<FindData> out;
    if (!HasWildcards(name)) {
        // One plain name, in its long or short form.
        p.components.push_back(name);
        p.trailingSeparator = false;
        std::string host;
        if (WinError err = paths_.Resolve(p, host); err != ERROR_SUCCESS) return err;
        HostEntry entry;
        if (WinError err = StatHost(host, entry); err != ERROR_SUCCESS) return err;
        FindData data;
        data.name = host.substr(host.rfind('/') + 1);
        data.shortName = paths_.ShortName(dir, data.name);
        if (data.shortName == data.name) data.shortName.clear();
        data.attributes = entry.attributes;
        data.size = entry.size;
        out.push_back(std::move(data));
    } else {
        if (!p.components.empty()) {
            const std::pair<const char*, std::string> dots[] = {{".", dir}, {"..", ParentOf(dir)}};
            for (const auto& [dot, host] : dots) {
                HostEntry entry;
                if (!MatchWildcard(name, dot) || StatHost(host, entry) != ERROR_SUCCESS) continue;
                out.push_back({dot, "", entry.attributes, 0});
            }
        }
        std::vector<FolderEntry> list;
        if (WinError err = paths_.ListFolder(dir, list); err != ERROR_SUCCESS) return err;
        for (FolderEntry& e : list) {
            const bool match = MatchWildcard(name, e.name) ||
                               (!e.shortName.empty() && MatchWildcard(name, e.shortName));
            HostEntry entry;
            // An entry that vanished since the folder was read is simply not listed.
            if (!match || StatHost(dir + "/" + e.name, entry) != ERROR_SUCCESS) continue;
            out.push_back(
                {std::move(e.name), std::move(e.shortName), entry.attributes, entry.size});
        }
    }
    if (out.empty()) return ERROR_FILE_NOT_FOUND;
    entries = std::move(out);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::GetLongPathName(std::string_view path, std::string& longPath) const {
    return paths_.LongPath(path, longPath);
}

WinError ImageFileSystem::GetShortPathName(std::string_view path, std::string& shortPath) const {
    return paths_.ShortPath(path, shortPath);
}

WinError ImageFileSystem::DeleteFile(std::string_view path) {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    HostEntry entry;
    if (WinError err = StatHost(host, entry); err != ERROR_SUCCESS) return err;
    if (entry.folder || host == paths_.driveRoot()) return ERROR_ACCESS_DENIED;
    // The mode is checked here: root could unlink a file without write permission.
    if ((entry.attributes & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_ACCESS_DENIED;
    if (isHeld_ && isHeld_(host)) return ERROR_SHARING_VIOLATION;
    if (WinError err = CheckFolderWritable(ParentOf(host)); err != ERROR_SUCCESS) return err;
    if (::unlink(host.c_str()) != 0) return WinErrorFromErrno(errno);
    paths_.Changed(host);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::RemoveDirectory(std::string_view path) {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    if (host == paths_.driveRoot()) return ERROR_ACCESS_DENIED;
    HostEntry entry;
    if (WinError err = StatHost(host, entry); err != ERROR_SUCCESS) return err;
    if (!entry.folder) return ERROR_DIRECTORY;
    if ((entry.attributes & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_ACCESS_DENIED;
    if (WinError err = CheckFolderWritable(ParentOf(host)); err != ERROR_SUCCESS) return err;
    if (::rmdir(host.c_str()) != 0) {
        // rmdir may report a folder that is not empty with EEXIST.
        return errno == EEXIST ? ERROR_DIR_NOT_EMPTY : WinErrorFromErrno(errno);
    }
    paths_.Changed(host);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::CreateDirectory(std::string_view path) {
    std::string host;
    if (WinError err = paths_.ResolveForCreate(path, host); err != ERROR_SUCCESS) return err;
    struct stat st {};
    if (::lstat(host.c_str(), &st) == 0) return ERROR_ALREADY_EXISTS;
    if (WinError err = CheckFolderWritable(ParentOf(host)); err != ERROR_SUCCESS) return err;
    if (::mkdir(host.c_str(), 0777) != 0) {
        return errno == EEXIST ? ERROR_ALREADY_EXISTS : WinErrorFromErrno(errno);
    }
    paths_.Changed(host);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::OpenRead(std::string_view path,
                                   std::unique_ptr<FileReader>& reader) const {
    UniqueFd fd;
    if (WinError err = OpenImageFile(paths_, path, fd); err != ERROR_SUCCESS) return err;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);  // scans read files front to back once
    reader = std::make_unique<HostFileReader>(std::move(fd));
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::ReadFile(std::string_view path, std::string& bytes) const {
    UniqueFd fd;
    if (WinError err = OpenImageFile(paths_, path, fd); err != ERROR_SUCCESS) return err;
    struct stat st {};
    ::fstat(fd.get(), &st);
    HostFileReader reader(std::move(fd));
    // Read the size the file has now, then whatever it grew by meanwhile.
    std::string data(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == data.size()) {
            char probe[4096];
            const long long n = reader.Read(probe, sizeof probe);
            if (n < 0) return ERROR_READ_FAULT;
            if (n == 0) break;
            data.append(probe, static_cast<std::size_t>(n));
            got = data.size();
            continue;
        }
        const long long n = reader.Read(data.data() + got, data.size() - got);
        if (n < 0) return ERROR_READ_FAULT;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    bytes = std::move(data);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::WriteFile(std::string_view path, std::string_view bytes) {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(path, p); err != ERROR_SUCCESS) return err;
    if (p.components.empty()) return ERROR_ACCESS_DENIED;  // the drive itself
    std::string host;
    if (WinError err = paths_.Resolve(p, host); err == ERROR_SUCCESS) {
        HostEntry entry;
        if (WinError e = StatHost(host, entry); e != ERROR_SUCCESS) return e;
        if (entry.folder || (entry.attributes & FILE_ATTRIBUTE_READONLY) != 0)
            return ERROR_ACCESS_DENIED;
        if (isHeld_ && isHeld_(host)) return ERROR_SHARING_VIOLATION;
    } else if (err != ERROR_FILE_NOT_FOUND) {
        return err;
    } else if (p.trailingSeparator) {
        return ERROR_INVALID_NAME;  // a file name cannot end in a separator
    } else if (WinError e = paths_.ResolveForCreate(path, host); e != ERROR_SUCCESS) {
        return e;
    }
    const WinError written = WriteFileAtomic(host, bytes);
    paths_.Changed(host);
    return written;
}

WinError ImageFileSystem::OpenWrite(std::string_view path, WriteMode mode,
                                    std::unique_ptr<FileWriter>& writer) {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(path, p); err != ERROR_SUCCESS) return err;
    if (p.components.empty()) return ERROR_ACCESS_DENIED;
    std::string host;
    if (WinError err = paths_.Resolve(p, host); err == ERROR_SUCCESS) {
        HostEntry entry;
        if (WinError e = StatHost(host, entry); e != ERROR_SUCCESS) return e;
        if (entry.folder || entry.link || (entry.attributes & FILE_ATTRIBUTE_READONLY) != 0)
            return ERROR_ACCESS_DENIED;
        if (isHeld_ && isHeld_(host)) return ERROR_SHARING_VIOLATION;
    } else if (err != ERROR_FILE_NOT_FOUND) {
        return err;
    } else if (p.trailingSeparator) {
        return ERROR_INVALID_NAME;
    } else if (WinError e = paths_.ResolveForCreate(path, host); e != ERROR_SUCCESS) {
        return e;
    } else if (WinError e = CheckFolderWritable(ParentOf(host)); e != ERROR_SUCCESS) {
        return e;
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW |
                      (mode == WriteMode::Append ? O_APPEND : O_TRUNC);
    UniqueFd fd(::open(host.c_str(), flags, 0666));
    if (!fd) return WinErrorFromErrno(errno);
    paths_.Changed(host);
    writer = std::make_unique<HostFileWriter>(std::move(fd), ParentOf(host));
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::MoveFile(std::string_view from, std::string_view to, bool replace) {
    std::string source;
    if (WinError err = paths_.Resolve(from, source); err != ERROR_SUCCESS) return err;
    if (source == paths_.driveRoot()) return ERROR_ACCESS_DENIED;
    HostEntry entry;
    if (WinError err = StatHost(source, entry); err != ERROR_SUCCESS) return err;
    if (isHeld_ && !entry.folder && isHeld_(source)) return ERROR_SHARING_VIOLATION;
    std::string target;
    if (WinError err = paths_.Resolve(to, target); err == ERROR_SUCCESS) {
        if (target == source) return ERROR_SUCCESS;
        HostEntry existing;
        if (WinError e = StatHost(target, existing); e != ERROR_SUCCESS) return e;
        if (!replace) return ERROR_ALREADY_EXISTS;
        if (existing.folder || entry.folder || (existing.attributes & FILE_ATTRIBUTE_READONLY) != 0)
            return ERROR_ACCESS_DENIED;
        if (isHeld_ && isHeld_(target)) return ERROR_SHARING_VIOLATION;
    } else if (err != ERROR_FILE_NOT_FOUND) {
        return err;
    } else if (WinError e = paths_.ResolveForCreate(to, target); e != ERROR_SUCCESS) {
        return e;
    }
    // A folder cannot move into itself.
    if (target.compare(0, source.size() + 1, source + "/") == 0) return ERROR_ACCESS_DENIED;
    for (const std::string& folder : {ParentOf(source), ParentOf(target)}) {
        if (WinError e = CheckFolderWritable(folder); e != ERROR_SUCCESS) return e;
    }
    if (::rename(source.c_str(), target.c_str()) != 0) return WinErrorFromErrno(errno);
    paths_.Changed(source);
    paths_.Changed(target);
    if (WinError e = SyncFolder(ParentOf(target))) return e;
    return ParentOf(source) == ParentOf(target) ? ERROR_SUCCESS : SyncFolder(ParentOf(source));
}

WinError ImageFileSystem::GetFileTime(std::string_view path, FileTimes& times) const {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) return WinErrorFromErrno(errno);
    // A host folder keeps no creation time that can be set again: it is not told.
    times = FileTimes{0, ToFileTime(st.st_atim), ToFileTime(st.st_mtim)};
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::SetFileTime(std::string_view path, const FileTimes& times) {
    std::string host;
    if (WinError err = paths_.Resolve(path, host); err != ERROR_SUCCESS) return err;
    const struct timespec t[2] = {FromFileTime(times.lastAccess), FromFileTime(times.lastWrite)};
    if (::utimensat(AT_FDCWD, host.c_str(), t, AT_SYMLINK_NOFOLLOW) != 0)
        return WinErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

WinError ImageFileSystem::DeleteAtRestart(std::string_view path) {
    // The file is looked at only when the restart comes: it may not exist yet.
    return scheduleDelete_ ? scheduleDelete_(path) : ERROR_NOT_SUPPORTED;
}

WinError ImageFileSystem::GetDiskFreeSpaceEx(std::string_view path,
                                             std::uint64_t& freeBytes) const {
    std::string host;
    HostEntry entry;
    if (paths_.Resolve(path, host) != ERROR_SUCCESS || StatHost(host, entry) != ERROR_SUCCESS)
        return ERROR_PATH_NOT_FOUND;
    if (!entry.folder) return ERROR_DIRECTORY;
    struct statvfs vfs {};
    if (::statvfs(host.c_str(), &vfs) != 0) return WinErrorFromErrno(errno);
    // f_bavail: the blocks left to a caller without the reserve kept for root.
    freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::image
