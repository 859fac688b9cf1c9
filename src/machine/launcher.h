#pragma once
// Starting programs on the machine.

#include <cstdint>
#include <string>
#include <string_view>

#include "machine/win32.h"

namespace veldan::machine {

class Launcher {
  public:
    virtual ~Launcher() = default;

    // Runs a command line and waits for it (CreateProcess + WaitForSingleObject);
    // the program's exit code in `exitCode`.
    [[nodiscard]] virtual WinError RunAndWait(std::string_view commandLine,
                                              std::uint32_t& exitCode) = 0;

    // Opens a file with the shell's "open" verb (ShellExecute).
    [[nodiscard]] virtual WinError ShellOpen(std::string_view file,
                                             std::string_view parameters) = 0;
};

}  // namespace veldan::machine
