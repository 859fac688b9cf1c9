#pragma once
// Builds shell link (.lnk) files as the Windows shell writes them, for tests and
// for the sample machine images. The layout is the published shell link binary
// format: a 76-byte header, no item id list, a LinkInfo for a target on a local
// fixed drive, the string data, an optional environment-variable target block
// and the terminal block.

#include <cstdint>
#include <string>

namespace veldan::test {

struct LnkSpec {
    // What the link points at (UTF-8):
    //  - a drive path ("C:\\WINDOWS\\notepad.exe") is written as a LinkInfo whose
    //    local base path holds it in CP949, with a UTF-16 copy when CP949 cannot
    //    hold every character;
    //  - a path with environment variables ("%windir%\\x.exe") is written as an
    //    environment-variable block;
    //  - anything else is written as the relative path;
    //  - nothing: the link has no target.
    std::string target;
    std::string arguments;
    std::string workingDirectory;
    std::string description;
    std::string iconLocation;
    int iconIndex = 0;
    std::uint16_t hotKey = 0;  // low byte virtual key, high byte HOTKEYF_* modifiers
    int showCommand = 1;       // SW_SHOWNORMAL; SW_SHOWMAXIMIZED 3, SW_SHOWMINNOACTIVE 7
    // The strings are UTF-16LE (IsUnicode, as Windows NT writes them) or CP949
    // (as Windows 98 writes them).
    bool unicode = true;
};

// The bytes of a .lnk file holding `link`.
std::string MakeShellLink(const LnkSpec& link);

}  // namespace veldan::test
