#pragma once
// From an entry's stored name to a place under the target folder. Stored names
// use "/" or "\\" as separators. A name that would reach outside the target
// folder (absolute, with a drive, with a ".." folder) is refused, never
// trimmed into something else. Names resolve against what already exists
// without regard to ASCII case, as they would on Windows, so "DATA\\x" lands in
// an existing "data" folder.

#include <string>
#include <vector>

namespace veldan::updater {

// Splits a stored name into its folder and file names, dropping empty and "."
// parts. Returns kZipOk, or kZipUnsafeName when the name starts with a
// separator (absolute or UNC), holds a ':' (drive or alternate stream), a NUL
// byte or a ".." part.
int SplitStoredName(const std::string& storedName, std::vector<std::string>& parts);

// The host path of `parts` below `folder`: each part names the existing entry
// of the same name (exactly, else ignoring ASCII case) or is taken as given.
// With `createFolders`, every part but the last (all parts when `lastIsFolder`)
// is created as a folder when missing; the target folder itself is created too.
// Returns kZipOk with `hostPath`, or kZipWriteFailed when a folder cannot be
// created or a part that must be a folder is something else.
int ResolveHostPath(const std::string& folder, const std::vector<std::string>& parts,
                    bool lastIsFolder, bool createFolders, std::string& hostPath);

}  // namespace veldan::updater
