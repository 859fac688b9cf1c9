#pragma once
// Running processes of the machine.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

struct ProcessInfo {
    std::uint32_t id = 0;
    // The full path of the process image, as the process list reports it
    // (GetModuleFileNameEx on the NT family, the toolhelp exe name on 9x).
    std::string imagePath;
};

class Processes {
  public:
    virtual ~Processes() = default;

    // The running processes in a stable order.
    virtual std::vector<ProcessInfo> List() const = 0;

    // Ends a process (OpenProcess + TerminateProcess). ERROR_INVALID_PARAMETER for
    // an unknown id, ERROR_ACCESS_DENIED when the process may not be ended. Ending a
    // process releases the files it held.
    [[nodiscard]] virtual WinError Terminate(std::uint32_t id, std::uint32_t exitCode) = 0;

    // Enables or disables a privilege (e.g. "SeDebugPrivilege") in the token of
    // the scanner's own process (OpenProcessToken + AdjustTokenPrivileges).
    // ERROR_NOT_ALL_ASSIGNED when the user does not hold it (no administrative
    // rights), ERROR_NO_SUCH_PRIVILEGE for an unknown name.
    [[nodiscard]] virtual WinError AdjustPrivilege(std::string_view privilege, bool enable) = 0;
};

}  // namespace veldan::machine
