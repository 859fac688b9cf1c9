#include "host/folder_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include "host/unique_fd.h"

namespace veldan::host {
namespace {

bool Sync(const std::string& path, int flags) {
    UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

}  // namespace

bool SyncFile(const std::string& path) {
    return Sync(path, O_RDONLY);
}

bool SyncFolder(const std::string& path) {
    return Sync(path.empty() ? "." : path, O_RDONLY | O_DIRECTORY);
}

}  // namespace veldan::host
