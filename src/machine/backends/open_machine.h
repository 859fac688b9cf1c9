#pragma once
// Opening a machine from a path, whatever holds it: a machine image (a folder
// with drive_c/) or the root of a Windows installation.

#include <memory>
#include <string>

#include "machine/loaded_machine.h"

namespace veldan::machine {

// Opens the machine in `folder`. Returns null with `error` filled when the
// folder does not exist, is neither an image nor an installation, cannot be
// read, or `options` names a user for a machine that has only one (an image:
// UserNotApplicable). `clock` null means a NoWaitClock.
std::unique_ptr<LoadedMachine> OpenMachine(const std::string& folder, const LoadOptions& options,
                                           MachineError& error,
                                           std::unique_ptr<Clock> clock = nullptr);

// True when `folder` holds a Windows installation rather than a machine image.
bool HoldsInstallation(const std::string& folder);

}  // namespace veldan::machine
