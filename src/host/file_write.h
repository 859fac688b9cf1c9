#pragma once
// Writing host files: whole buffers, new files, and atomic replacement.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "host/win_error.h"

namespace veldan::host {

// Writes all of `bytes` to `fd`, again after EINTR and short writes. 0, or the
// errno of the failed write.
int WriteAll(int fd, std::string_view bytes);

// How WriteNewFile creates its file and which step failed.
struct NewFile {
    mode_t mode = 0666;     // less the umask
    bool exclusive = true;  // the file must not exist yet (else it is truncated)
    bool flush = true;      // fsync before closing
};
enum class WriteStep { Create, Write, Flush, Close };

// Writes `bytes` to a file created as `how` says. 0, or the errno of the failed
// step with `failed` set to it. A file left after a failure is not removed.
int WriteNewFile(const std::string& path, std::string_view bytes, const NewFile& how,
                 WriteStep& failed);

// Writes `bytes` to `path` through a temporary file in the same folder, an fsync
// and a rename, so the old content stays whole until the new one is complete; on
// failure the temporary file is removed. An existing file keeps its permissions.
// ERROR_ACCESS_DENIED for a folder, for an existing file without the owner's
// write permission and for a folder without it (also for root);
// ERROR_PATH_NOT_FOUND when the folder is missing.
WinError WriteFileAtomic(const std::string& path, std::string_view bytes);

}  // namespace veldan::host
