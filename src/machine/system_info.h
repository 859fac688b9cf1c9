#pragma once
// What the machine tells about itself: its Windows family and version, the
// user, and the folders the shell and kernel name.

#include <cstdint>
#include <string>
#include <string_view>

#include "machine/win32.h"

namespace veldan::machine {

enum class OsFamily { Nt, Win9x };

class SystemInfo {
  public:
    virtual ~SystemInfo() = default;

    virtual OsFamily Family() const = 0;

    // GetVersion: low byte major, next byte minor, high bit set on the 9x family.
    virtual std::uint32_t Version() const = 0;

    // The name of the user whose profile is in use.
    virtual std::string UserName() const = 0;

    // A shell special folder (SHGetSpecialFolderPath). The path comes from the
    // registry ("User Shell Folders", then "Shell Folders") or the family's
    // defaults; with `create` a missing folder is created. ERROR_FILE_NOT_FOUND
    // when the family has no such folder.
    [[nodiscard]] virtual WinError GetSpecialFolderPath(int csidl, bool create,
                                                        std::string& path) = 0;

    // GetWindowsDirectory, e.g. "C:\\WINDOWS".
    virtual std::string WindowsDirectory() const = 0;
    // GetSystemDirectory: "<windir>\\system32" on NT, "<windir>\\SYSTEM" on 9x.
    virtual std::string SystemDirectory() const = 0;
    // GetTempPath, with its trailing backslash.
    virtual std::string TempPath() const = 0;
    // ExpandEnvironmentStrings: the %NAME% references of the machine's
    // environment replaced by their values; unknown names stay as written.
    virtual std::string ExpandEnvironment(std::string_view text) const = 0;
};

}  // namespace veldan::machine
