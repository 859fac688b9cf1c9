#pragma once
// Causes of failed local file operations. GetFile reports a failure to create,
// write or close its local file as the result code 100 plus one of these
// causes; they keep the numbering of the file-error causes that the Windows
// program reported, so "TInternet error 105" means the same on both sides.

namespace veldan::net {

enum FileErrorCause : int {
    kFileGeneric = 1,            // any other errno
    kFileBadPath = 3,            // ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP: the folder is missing
    kFileTooManyOpen = 4,        // EMFILE, ENFILE
    kFileAccessDenied = 5,       // EACCES, EPERM, EROFS, EISDIR
    kFileInvalid = 6,            // EBADF
    kFileHardIo = 10,            // EIO
    kFileSharingViolation = 11,  // ETXTBSY, EBUSY
    kFileDiskFull = 13,          // ENOSPC, EDQUOT, EFBIG
};

// The cause for an errno value of a failed open, write or close.
int FileErrorCauseOf(int error);

// The first result code of local file failures; the code is this plus the cause.
inline constexpr int kFileErrorBase = 100;

}  // namespace veldan::net
