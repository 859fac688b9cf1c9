#include "host/ntfs_dos_name.h"

#include <sys/xattr.h>

#include <cerrno>

namespace veldan::host {

int ReadNtfsDosName(const std::string& hostPath, std::string& dosName) {
    char buffer[64];
    const ssize_t n = ::lgetxattr(hostPath.c_str(), "system.ntfs_dos_name", buffer, sizeof buffer);
    if (n < 0) return errno == ENOTSUP ? -1 : 0;
    dosName.assign(buffer, static_cast<std::size_t>(n));
    return 1;
}

}  // namespace veldan::host
