#include "host/quiet_open.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "host/file_write.h"
#include "host/unique_fd.h"

namespace veldan::host {

int OpenQuietly(const char* path, int flags) {
    flags |= O_RDONLY | O_CLOEXEC;
    for (;;) {
        const int fd = ::open(path, flags | O_NOATIME);
        if (fd >= 0) return fd;
        if (errno == EINTR) continue;
        // EPERM: neither the owner nor CAP_FOWNER; EINVAL: a file system
        // that refuses the flag. Both read the ordinary way.
        if (errno != EPERM && errno != EINVAL) return -1;
        break;
    }
    for (;;) {
        const int fd = ::open(path, flags);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

DIR* OpenFolderQuietly(const char* path) {
    const int fd = OpenQuietly(path, O_DIRECTORY);
    if (fd < 0) return nullptr;
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return d;
}

int QuietCopy(const char* path) {
    const UniqueFd in(OpenQuietly(path));
    if (!in) return -1;
    UniqueFd copy(::memfd_create("veldan-copy", MFD_CLOEXEC));
    if (!copy) return -1;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        if (const int err =
                WriteAll(copy.get(), std::string_view(buffer, static_cast<std::size_t>(n)));
            err != 0) {
            errno = err;
            return -1;
        }
    }
    return copy.Release();
}

}  // namespace veldan::host
