#include "net/file_sink.h"

#include <cerrno>

#include <fcntl.h>

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
    fd_.Reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    return fd_ ? 0 : FileErrorCode(errno);
}

int FileSink::Write(std::string_view bytes) {
    if (!fd_) return FileErrorCode(EBADF);
    const int err = host::WriteAll(fd_.get(), bytes);
    return err == 0 ? 0 : FileErrorCode(err);
}

int FileSink::Close() {
    const int err = fd_.Close();
    return err == 0 || err == EINTR ? 0 : FileErrorCode(err);
}

}  // namespace veldan::net
