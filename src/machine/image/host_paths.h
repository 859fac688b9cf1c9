#pragma once
// Mapping of Windows paths on drive C: to files of the host folder that holds
// the drive (an image's drive_c/). Names resolve without regard to ASCII case and
// through their long or generated 8.3 short form. Short names are generated per
// folder NAME~1.EXT style, unique within their folder, and stay the same for the
// life of this object (a name once given is never given to another entry).

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine::image {

// A Windows path taken apart: "C:\\a\\b" is drive "C:" and components {"a","b"}.
struct WindowsPath {
    std::string drive;                    // as given, e.g. "C:" or "c:"
    std::vector<std::string> components;  // "." and ".." already applied
    bool trailingSeparator = false;       // the path ended with "\\" or "/"
};

// Splits a Windows path. Accepts "\\" and "/" separators and the "\\\\?\\" and
// "\\??\\" prefixes; drops trailing dots and blanks of components as Windows does.
// ERROR_INVALID_NAME for a path without a drive, ERROR_PATH_NOT_FOUND for a drive
// other than C: or ".." above the root.
WinError ParseWindowsPath(std::string_view path, WindowsPath& out);

// True when `name` matches the wildcard pattern (* and ?, ASCII case ignored),
// with the Windows rules: "*.*" and "*" match every name, a pattern ending in
// ".*" also matches names without an extension.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// True when `name` is a valid 8.3 name (its own short name).
bool IsShortName(std::string_view name);

class HostPaths {
public:
    explicit HostPaths(std::string driveRoot);

    // The host folder holding drive C:.
    const std::string& driveRoot() const { return driveRoot_; }

    // Host path of an existing file or folder. A path with a trailing separator
    // must name a folder (ERROR_PATH_NOT_FOUND otherwise).
    WinError Resolve(std::string_view winPath, std::string& hostPath) const;

    // Host path for a file or folder that may not exist yet: every folder on the
    // way must exist (ERROR_PATH_NOT_FOUND); a missing last component is taken
    // as given.
    WinError ResolveForCreate(std::string_view winPath, std::string& hostPath) const;

    // Long and short forms of an existing path: every component as on disk,
    // respectively in its 8.3 form; the drive letter as given.
    WinError LongPath(std::string_view winPath, std::string& out) const;
    WinError ShortPath(std::string_view winPath, std::string& out) const;

    // The Windows path ("C:\\...") of a host path under the drive root.
    std::string ToWindowsPath(std::string_view hostPath) const;

    // The 8.3 name of the entry `longName` of host folder `hostDir`.
    std::string ShortName(const std::string& hostDir, const std::string& longName) const;

private:
    struct Folder {
        std::map<std::string, std::string> shortOf;  // upper-cased long name -> short name
        std::map<std::string, std::string> longOf;   // upper-cased short name -> long name
    };
    // Assigns short names to every entry of the folder that has none yet.
    Folder& Refresh(const std::string& hostDir) const;
    WinError Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                  std::string* longForm, std::string* shortForm) const;

    std::string driveRoot_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Folder> folders_;
};

}  // namespace veldan::machine::image
