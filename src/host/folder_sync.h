#pragma once
// Flushing to the disk what a folder records (new, renamed and removed names).

#include <string>

namespace veldan::host {

// fsync of a file or a folder: true when flushed; false with errno set when it
// cannot be opened or flushed.
bool SyncFile(const std::string& path);
bool SyncFolder(const std::string& path);

}  // namespace veldan::host
