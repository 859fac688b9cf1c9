#pragma once
// Opening host files and folders for reading without leaving a trace: a scan,
// and a dry run above all, must not change a single time stamp of the machine
// it reads. O_NOATIME keeps the access time as it was; the kernel grants it to
// the file's owner and to a process with CAP_FOWNER. For any other file the
// open falls back, silently, to a plain one (POSIX hosts only).

#include <dirent.h>

namespace veldan::host {

// Opens `path` with O_RDONLY | O_CLOEXEC | `flags`, and O_NOATIME where it is
// allowed. Returns the descriptor, or -1 with errno set.
int OpenQuietly(const char* path, int flags = 0);

// Opens folder `path` for readdir the same way; null with errno set on failure.
// Close it with closedir.
DIR* OpenFolderQuietly(const char* path);

// A copy of file `path` in memory (memfd), read as OpenQuietly reads, for a
// library that opens files by name only: it opens "/proc/self/fd/<fd>". Returns
// the descriptor, or -1 with errno set.
int QuietCopy(const char* path);

}  // namespace veldan::host
