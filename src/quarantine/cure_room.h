#pragma once
// The check a front end makes before a cure starts, once the rows to cure are
// chosen: the quarantine's disk has room for the files and folders the cure
// will move there (see room.h). The command line and the window call it alike.

#include <string>
#include <string_view>

#include "engine/scan.h"
#include "platform/context.h"
#include "quarantine/room.h"

namespace veldan::quarantine {

// ERROR_SUCCESS when the disk of the quarantine folder `quarantine` has room
// for the files and folders found for the checked rows of `result`, and for
// the journal of their changes; else the error, with `problem` saying what is
// free and what is needed (ERROR_DISK_FULL) or what could not be asked.
[[nodiscard]] WinError CheckRoomForCure(platform::Context& ctx, const engine::ScanResult& result,
                                        std::string_view quarantine, std::string& problem);

class JournalingMachine;

// Starts the journal of a cure of the checked rows of `result` once the
// quarantine's disk has room for it. ERROR_SUCCESS when the cure may start;
// else nothing was changed, and `problem` says why: ERROR_DISK_FULL when the
// disk lacks room, any other code when the quarantine cannot be written.
[[nodiscard]] WinError BeginCheckedCure(platform::Context& ctx, JournalingMachine& journal,
                                        const engine::ScanResult& result, std::string& problem);

}  // namespace veldan::quarantine
