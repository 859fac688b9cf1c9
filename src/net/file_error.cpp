#include "net/file_error.h"

#include <cerrno>

namespace veldan::net {

int FileErrorCauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kFileBadPath;
        case EMFILE:
        case ENFILE:
            return kFileTooManyOpen;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kFileAccessDenied;
        case EBADF:
            return kFileInvalid;
        case EIO:
            return kFileHardIo;
        case ETXTBSY:
        case EBUSY:
            return kFileSharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kFileDiskFull;
        default:
            return kFileGeneric;
    }
}

}  // namespace veldan::net
