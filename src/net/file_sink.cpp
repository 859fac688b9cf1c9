#include "net/file_sink.h"

#include <cerrno>

#include "host/file_write.h"
#include "net/file_error.h"
#include "net/file_open.h"

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
    fd_.Reset(OpenTruncated(path_));
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
