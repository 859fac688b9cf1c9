#include "net/file_error.h"

#include <cerrno>

namespace veldan::net {

int FileErrorCauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
#ifdef ELOOP  // not in MinGW's runtime
        case ELOOP:
#endif
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
#ifdef ETXTBSY  // not in MinGW's runtime
        case ETXTBSY:
#endif
        case EBUSY:
            return kFileSharingViolation;
        case ENOSPC:
#ifdef EDQUOT  // not in MinGW's runtime
        case EDQUOT:
#endif
        case EFBIG:
            return kFileDiskFull;
        default:
            return kFileGeneric;
    }
}

}  // namespace veldan::net
