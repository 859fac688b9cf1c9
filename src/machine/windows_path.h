#pragma once
// Windows path vocabulary: taking a path on drive C: apart, and wildcard
// matching of names as Windows does it.

#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

// A Windows path taken apart: "C:\\a\\b" is drive "C:" and components {"a","b"}.
struct WindowsPath {
    std::string drive;                    // as given, e.g. "C:" or "c:"
    std::vector<std::string> components;  // "." and ".." already applied
    bool trailingSeparator = false;       // the path ended with "\\" or "/"
};

// Splits a Windows path. Accepts "\\" and "/" separators and the "\\\\?\\" and
// "\\??\\" prefixes; drops trailing dots and blanks of components as Windows does,
// and empty components. "C:name" is taken from the root of the drive.
// ERROR_INVALID_NAME for a path without a drive, ERROR_PATH_NOT_FOUND for a drive
// other than C: or ".." above the root.
WinError ParseWindowsPath(std::string_view path, WindowsPath& out);

// True when `name` matches the wildcard pattern (* and ?, ASCII case ignored),
// with the Windows rules: "*.*" and "*" match every name, a pattern ending in
// ".*" also matches names without an extension.
bool MatchWildcard(std::string_view pattern, std::string_view name);

}  // namespace veldan::machine
