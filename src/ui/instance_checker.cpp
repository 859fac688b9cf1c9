#include "ui/instance_checker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace veldan::ui {

std::string CInstanceChecker::LockFolder() {
    for (const char* var : {"VELDAN_INSTANCE_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(var);
        if (value && *value) return value;
    }
    return "/tmp";
}

CInstanceChecker::CInstanceChecker(std::string name) {
    const std::string folder = LockFolder();
    const std::string user = std::to_string(getuid());
    startupPath_ = folder + "/" + name + "." + user + ".startup";
    instancePath_ = folder + "/CInstanceChecker_MMF_" + name + "." + user;
}

CInstanceChecker::~CInstanceChecker() {
    UnlockStartup();
    if (instanceFd_ >= 0) close(instanceFd_);  // the process stops being the running copy
}

int CInstanceChecker::LockStartup() {
    if (startupFd_ >= 0) return 1;
    int fd = open(startupPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return 0;
        }
    }
    startupFd_ = fd;
    return 1;
}

void CInstanceChecker::UnlockStartup() {
    if (startupFd_ < 0) return;
    flock(startupFd_, LOCK_UN);
    close(startupFd_);
    startupFd_ = -1;
}

bool CInstanceChecker::IsPreviousInstanceRunning() const {
    int fd = open(instancePath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // no copy ever ran here
    // The lock is held exactly while a copy runs; a lock file left behind by a
    // copy that ended is free.
    bool running = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return running;
}

int CInstanceChecker::TrackThisInstance() {
    if (IsPreviousInstanceRunning()) return 0;
    int fd = open(instancePath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return 0;
    }
    // The shared block holds the main window's handle, which nothing reads; a
    // process id serves anyone who looks.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0) {
        ssize_t written = write(fd, pid.data(), pid.size());
        (void)written;
    }
    instanceFd_ = fd;
    UnlockStartup();
    return 1;
}

}  // namespace veldan::ui
