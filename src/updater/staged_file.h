#pragma once
// A file written under a temporary name in its destination's folder and renamed
// over the destination only when it is complete, so a good file is never
// replaced by a half-written or corrupt one. Dropped without Commit(), the
// temporary file is removed and the destination is untouched.

#include <sys/types.h>
#include <cstddef>
#include <ctime>
#include <string>

#include "host/unique_fd.h"

namespace veldan::updater {

class StagedFile {
  public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the temporary file beside `destination` (mode 0666 less the umask).
    // Returns false when it cannot be created.
    bool Create(const std::string& destination);
    // Appends bytes. Returns false when they cannot all be written.
    bool Write(const void* data, std::size_t length);
    // The permission bits the file would have when committed now: those of the
    // existing destination, else those the temporary file was created with.
    mode_t BaseMode() const { return baseMode_; }
    // Sets the modification (and access) time. Returns false on failure.
    bool SetTime(std::time_t time);
    // Sets the permission bits. Returns false on failure.
    bool SetMode(mode_t mode);
    // Flushes the data to disk and renames the file over the destination.
    // Returns false (and removes the temporary file) on failure.
    bool Commit();
    // Removes the temporary file; the destination stays as it was.
    void Discard();

    const std::string& temporaryPath() const { return tempPath_; }

  private:
    // Discards what was staged, then opens a fresh temporary file beside
    // `destination` through `openNew` (an exclusive create; -1 with errno set
    // on failure). False when none can be made.
    bool OpenTemporary(const std::string& destination, int (*openNew)(const std::string& path));

    std::string destination_;
    std::string tempPath_;
    host::UniqueFd fd_;
    mode_t baseMode_ = 0644;
};

}  // namespace veldan::updater
