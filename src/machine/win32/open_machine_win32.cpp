// Opening a machine in the Windows build: the machine Veldan runs on. Machine
// images and Windows installations are read by the Linux build.

#include "machine/backends/open_machine.h"
#include "machine/win32/live_machine.h"

namespace veldan::machine {

std::unique_ptr<LoadedMachine> OpenMachine(const std::string& folder, const LoadOptions& options,
                                           MachineError& error, std::unique_ptr<Clock> clock) {
    if (!folder.empty()) {
        error = {MachineErrorKind::NotAMachine, folder, 0,
                 "machine images and Windows installations are read by the Linux build; "
                 "on Windows, leave --machine out to work on this machine"};
        return nullptr;
    }
    if (!options.user.empty()) {
        error = {MachineErrorKind::UserNotApplicable, "", 0,
                 "--user applies to a Windows installation, not to the running machine"};
        return nullptr;
    }
    return std::make_unique<win32::LiveMachine>(std::move(clock));
}

bool HoldsInstallation(const std::string& folder) {
    return false;
}

}  // namespace veldan::machine
