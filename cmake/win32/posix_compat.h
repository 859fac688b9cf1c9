#pragma once
// The few POSIX calls that MinGW's runtime lacks: the descriptor calls of the
// engine's file readers and the environment calls of tests. Included first
// (-include) into those files, in the Windows build only.

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

// setenv and unsetenv through the runtime's environment (tests set variables).
#include <stdlib.h>
// (_putenv, not _putenv_s: Windows XP's msvcrt.dll has no _putenv_s.)
#include <string>
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name) != nullptr) return 0;
    return _putenv((std::string(name) + "=" + value).c_str());
}
inline int unsetenv(const char* name) {
    return _putenv((std::string(name) + "=").c_str());
}
