#include "host/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "host/errno_map.h"
#include "host/folder_sync.h"
#include "host/unique_fd.h"
#include "host/write_loop.h"

namespace veldan::host {
namespace {

// A name for a temporary file beside `path` that is unlikely to exist.
std::string TempNameBeside(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return dir + ".veldan-" + std::to_string(::getpid()) + "-" + std::to_string(::gettid()) + "-" +
           std::to_string(now) + ".tmp";
}

// The folder holding `path`.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) {
    return WriteAllThrough(
        bytes, [fd](const char* data, std::size_t size) { return ::write(fd, data, size); });
}

int WriteNewFile(const std::string& path, std::string_view bytes, const NewFile& how,
                 WriteStep& failed) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (how.exclusive ? O_EXCL : O_TRUNC);
    UniqueFd fd(::open(path.c_str(), flags, how.mode));
    if (!fd) {
        failed = WriteStep::Create;
        return errno;
    }
    if (const int err = WriteAll(fd.get(), bytes); err != 0) {
        failed = WriteStep::Write;
        return err;
    }
    if (how.flush && ::fsync(fd.get()) != 0) {
        failed = WriteStep::Flush;
        return errno;
    }
    if (const int err = fd.Close(); err != 0) {
        failed = WriteStep::Close;
        return err;
    }
    return 0;
}

WinError WriteFileAtomic(const std::string& path, std::string_view bytes) {
    struct stat st {};
    mode_t mode = 0666;
    bool exists = false;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return ERROR_ACCESS_DENIED;
        mode = st.st_mode & 07777;
        exists = true;
    } else if (errno != ENOENT) {
        return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno);
    }
    const std::string dir = FolderOf(path);
    struct stat ds {};
    if (::stat(dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return ERROR_PATH_NOT_FOUND;
    // The owner's write permission decides, also for root, as on a non-root host.
    if ((ds.st_mode & S_IWUSR) == 0) return ERROR_ACCESS_DENIED;

    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; !fd; ++attempt) {
        temp = TempNameBeside(path);
        fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && (errno != EEXIST || attempt >= 16)) return WinErrorFromErrno(errno);
    }
    int err = WriteAll(fd.get(), bytes);
    if (err == 0 && exists && ::fchmod(fd.get(), mode) != 0) err = errno;
    if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
    if (const int closeErr = fd.Close(); err == 0) err = closeErr;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return WinErrorFromErrno(err);
    }
    // Make the rename itself durable; a failure here loses nothing already written.
    SyncFolder(dir);
    return ERROR_SUCCESS;
}

}  // namespace veldan::host
