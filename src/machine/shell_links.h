#pragma once
// Shortcut files of the machine: shell links (.lnk) and internet shortcuts (.url).

#include <cstdint>
#include <string>
#include <string_view>

#include "machine/win32.h"

namespace veldan::machine {

// What IShellLink reports of a shell link.
struct ShellLinkData {
    std::string target;            // GetPath
    std::string arguments;         // GetArguments
    std::string workingDirectory;  // GetWorkingDirectory
    std::string description;       // GetDescription
    std::string iconLocation;      // GetIconLocation
    int iconIndex = 0;
    std::uint16_t hotKey = 0;
    int showCommand = 1;  // SW_SHOWNORMAL
};

// What IUniformResourceLocator and IShellLink report of an internet shortcut.
struct UrlShortcutData {
    std::string url;           // [InternetShortcut] URL
    std::string iconLocation;  // IconFile
    int iconIndex = 0;         // IconIndex
    std::string workingDirectory;
    std::string description;
    std::uint16_t hotKey = 0;
    int showCommand = 1;
};

class ShellLinks {
  public:
    virtual ~ShellLinks() = default;

    // Loads a .lnk file. ERROR_FILE_NOT_FOUND when it is missing, ERROR_INVALID_DATA
    // when it is not a shell link.
    [[nodiscard]] virtual WinError LoadShellLink(std::string_view path,
                                                 ShellLinkData& link) const = 0;

    // Loads a .url file; ERROR_FILE_NOT_FOUND when it is missing.
    [[nodiscard]] virtual WinError LoadUrlShortcut(std::string_view path,
                                                   UrlShortcutData& link) const = 0;
};

}  // namespace veldan::machine
