#include "host/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host/quiet_open.h"
#include "host/unique_fd.h"

namespace veldan::host {

int OpenReadDescriptor(const std::string& path) {
    return OpenQuietly(path.c_str(), O_NOCTTY);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    UniqueFd fd(OpenReadDescriptor(path));
    if (!fd) return false;
    struct stat st {};
    std::string out;
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        out.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    bytes = std::move(out);
    return true;
}

}  // namespace veldan::host
