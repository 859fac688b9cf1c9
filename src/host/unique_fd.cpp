#include "host/unique_fd.h"

#include <unistd.h>

#include <cerrno>

namespace veldan::host {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) {
        const int saved = errno;
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

int UniqueFd::Close() {
    const int fd = Release();
    if (fd < 0) return 0;
    return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace veldan::host
