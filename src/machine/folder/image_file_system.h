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

    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override;
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override;
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override;
    WinError FindFiles(std::string_view pattern, std::vector<FindData>& entries) const override;
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override;
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override;
    WinError DeleteFile(std::string_view path) override;
    WinError RemoveDirectory(std::string_view path) override;
    WinError CreateDirectory(std::string_view path) override;
    WinError OpenRead(std::string_view path, std::unique_ptr<FileReader>& reader) const override;
    WinError ReadFile(std::string_view path, std::string& bytes) const override;
    WinError WriteFile(std::string_view path, std::string_view bytes) override;
    WinError DeleteAtRestart(std::string_view path) override;
    WinError OpenWrite(std::string_view path, WriteMode mode,
                       std::unique_ptr<FileWriter>& writer) override;
    WinError MoveFile(std::string_view from, std::string_view to, bool replace) override;
    WinError GetFileTime(std::string_view path, FileTimes& times) const override;
    WinError SetFileTime(std::string_view path, const FileTimes& times) override;

  private:
    HostPaths& paths_;
    std::function<bool(const std::string&)> isHeld_;
    std::function<WinError(std::string_view)> scheduleDelete_;
};

}  // namespace veldan::machine::image
