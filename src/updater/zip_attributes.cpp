#include "updater/zip_attributes.h"

#include <sys/stat.h>

namespace veldan::updater {

mode_t FileModeFor(const ZipEntry& entry, mode_t baseMode) {
    const mode_t unixBits = static_cast<mode_t>(entry.UnixMode() & 0777);
    if (unixBits != 0) {
        mode_t mode = unixBits | S_IRUSR;
        if (entry.IsReadOnly()) mode &= ~static_cast<mode_t>(0222);
        return mode;
    }
    mode_t mode = baseMode & 0777;
    if (entry.IsReadOnly()) return mode & ~static_cast<mode_t>(0222);
    return mode | S_IRUSR | S_IWUSR;
}

mode_t FolderModeFor(const ZipEntry& entry) {
    const mode_t unixBits = static_cast<mode_t>(entry.UnixMode() & 0777);
    return unixBits == 0 ? 0 : unixBits | S_IRWXU;
}

}  // namespace veldan::updater
