#pragma once
// The live machine's registry as the commands see it: every call goes to the
// registry below, and the first change of the machine-wide keys
// (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT) that Windows refuses with
// ERROR_ACCESS_DENIED is noted, so that the command can say once, at its end,
// that it lacked the rights to change the machine.

#include <optional>
#include <string>

#include "machine/forwarding.h"
#include "machine/machine_error.h"

namespace veldan::machine::win32 {

class DeniedWrites final : public ForwardingRegistry {
  public:
    using ForwardingRegistry::ForwardingRegistry;

    VELDAN_REGISTRY_WRITES;

    // The first refused key ("HKEY_LOCAL_MACHINE\Software\X") since the last Take.
    const std::optional<std::string>& refused() const { return refused_; }

    // When a change was refused: fills `error` (kind Refused) with one English
    // line that says so, names the key and, for a user who is not an
    // administrator, says to run as one; forgets the refusal and returns true.
    bool Take(bool administrator, MachineError& error);

  private:
    WinError Note(WinError result, HKEY root, std::string_view subKey);

    std::optional<std::string> refused_;
};

// True when the running program's user belongs to the Administrators group.
bool RunsAsAdministrator();

}  // namespace veldan::machine::win32
