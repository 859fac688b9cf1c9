#pragma once
// FileSystem of a machine image: drive C: is the host folder drive_c/.
// A read-only file or folder is one without the owner's write permission; it
// cannot be deleted (ERROR_ACCESS_DENIED) even when the host user is root, and
// a read-only folder neither takes new entries nor gives up old ones, so the
// image behaves the same for root and for other users. Symbolic links are never
// folders: a link to a file is that file (read, attributes, size), any other
// link is an empty file, so a walk never leaves the drive through a link.

#include <functional>
#include <string>

#include "machine/file_system.h"
#include "machine/folder/host_paths.h"

namespace veldan::machine::image {

class ImageFileSystem final : public FileSystem {
  public:
    // `isHeld` tells whether a running process holds the host file open;
    // `scheduleDelete` records a Windows path for deletion at restart.
    ImageFileSystem(HostPaths& paths, std::function<bool(const std::string& hostPath)> isHeld,
                    std::function<WinError(std::string_view winPath)> scheduleDelete);

    // The FileSystem operations.
    VELDAN_FILE_SYSTEM_OPERATIONS;

  private:
    HostPaths& paths_;
    std::function<bool(const std::string&)> isHeld_;
    std::function<WinError(std::string_view)> scheduleDelete_;
};

}  // namespace veldan::machine::image
