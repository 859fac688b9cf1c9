#pragma once
// The few host file calls of the updater, with UTF-8 paths in both builds
// (POSIX calls on Linux, the wide calls in update_files_win32.cpp).

#include <filesystem>
#include <string>
#include <string_view>

namespace veldan::updater {

// A descriptor of `path` open for reading, or -1.
int OpenForReading(const std::string& path);

// Gives the folder `path` the permission bits `mode` (Windows folders have
// none to set). False on failure.
bool SetFolderMode(const std::string& path, unsigned mode);

// True when `path` names an existing folder.
bool IsFolder(const std::string& path);

// True when `path` names an existing file (not a folder).
bool IsFile(const std::string& path);

// Creates an empty, uniquely named file "<folder>/<prefix>XXXXXX"; its path,
// or "" when none can be made.
std::string MakeTempFile(const std::string& folder, std::string_view prefix);

// Creates a fresh, uniquely named folder "<parent>/<prefix>XXXXXX"; its path,
// or "" when none can be made.
std::string MakeTempFolder(const std::string& parent, std::string_view prefix);

// Lets an existing file at `path` be replaced by a rename: Windows refuses to
// replace a read-only file, so its read-only attribute is cleared there;
// nothing on Linux, where the folder's permissions decide.
void AllowReplacing(const std::filesystem::path& path);

// Removes the file `path`, read-only or not; a missing file is no failure.
void RemoveFile(const std::string& path);

// A UTF-8 path as std::filesystem takes it, and back.
inline std::filesystem::path HostPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace veldan::updater
