#pragma once
// The 8.3 name a mounted NTFS partition keeps for a file.

#include <string>

namespace veldan::host {

// ntfs-3g shows a file's short name as the extended attribute
// "system.ntfs_dos_name". Returns 1 with `dosName` set when the file has one, 0
// when it has none, and -1 when the file system keeps no such names at all.
int ReadNtfsDosName(const std::string& hostPath, std::string& dosName);

}  // namespace veldan::host
