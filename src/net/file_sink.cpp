#include "net/file_sink.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "host/file_write.h"
#include "net/file_error.h"

namespace veldan::net {

namespace {

int FileErrorCode(int error) {
    return kFileErrorBase + FileErrorCauseOf(error);
}

}  // namespace

FileSink::~FileSink() {
    Close();
}

int FileSink::Begin() {
    Close();
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ < 0 ? FileErrorCode(errno) : 0;
}

int FileSink::Write(std::string_view bytes) {
    if (fd_ < 0) return FileErrorCode(EBADF);
    const int err = host::WriteAll(fd_, bytes);
    return err == 0 ? 0 : FileErrorCode(err);
}

int FileSink::Close() {
    if (fd_ < 0) return 0;
    const int result = ::close(fd_) == 0 || errno == EINTR ? 0 : FileErrorCode(errno);
    fd_ = -1;
    return result;
}

}  // namespace veldan::net
