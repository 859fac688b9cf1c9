#pragma once
// The few POSIX descriptor calls of the engine's file readers that MinGW's
// runtime lacks. Included first into those files in the Windows build only.

#include <fcntl.h>
#include <io.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

// pread through a seek and a read; the readers use it on descriptors of their own.
inline ssize_t pread(int fd, void* buffer, size_t count, long long offset) {
    if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
    return ::read(fd, buffer, static_cast<unsigned int>(count));
}
