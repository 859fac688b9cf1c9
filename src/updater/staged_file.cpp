#include "updater/staged_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldan::updater {

namespace {

int OpenNew(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

}  // namespace

bool StagedFile::Create(const std::string& destination) {
    if (!OpenTemporary(destination, &OpenNew)) return false;
    struct stat st {};
    if (::stat(destination.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        baseMode_ = st.st_mode & 0777;
    } else if (::fstat(fd_.get(), &st) == 0) {
        baseMode_ = st.st_mode & 0777;
    }
    return true;
}

bool StagedFile::Write(const void* data, std::size_t length) {
    if (!fd_) return false;
    const auto* p = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t n = ::write(fd_.get(), p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool StagedFile::SetTime(std::time_t time) {
    if (!fd_) return false;
    struct timespec times[2];
    times[0].tv_sec = time;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return ::futimens(fd_.get(), times) == 0;
}

bool StagedFile::SetMode(mode_t mode) {
    return fd_ && ::fchmod(fd_.get(), mode) == 0;
}

bool StagedFile::Commit() {
    if (!fd_) return false;
    bool ok = ::fsync(fd_.get()) == 0;
    ok = fd_.Close() == 0 && ok;
    if (ok && ::rename(tempPath_.c_str(), destination_.c_str()) == 0) {
        tempPath_.clear();
        return true;
    }
    Discard();
    return false;
}

void StagedFile::Discard() {
    fd_.Reset();
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

}  // namespace veldan::updater
