#pragma once
// What the scanning commands share: the machine, a context over it with
// its folder table filled, and the databases loaded from the program folder.

#include <memory>
#include <string>

#include "cli_options.h"
#include "machine/loaded_machine.h"
#include "platform/context.h"
#include "quarantine/journaling_machine.h"
#include "text/debug.h"

namespace veldan::cli {

struct Session {
    std::unique_ptr<machine::LoadedMachine> machine;
    // The same machine: every session works through a journaling machine, so
    // scans never see the quarantine and a cure can be journaled.
    quarantine::JournalingMachine* journal = nullptr;
    std::unique_ptr<text::DebugSink> debug;
    std::unique_ptr<platform::Context> ctx;

    // Writes the machine back; prints the error and returns false when it cannot.
    // With `refusalsAreErrors` false, changes that Windows refused for lack of
    // rights (the others were made) are told as a warning and the save counts
    // as done: kill bits and cookie blocks, whose next listing shows the real state.
    bool Save(bool refusalsAreErrors = true);
};

// Loads a machine image or installation. On failure prints the error and
// returns null with exitCode 2 when a user profile must be chosen (the error
// names them), else 1 (a path that is a file, not a folder, says so).
std::unique_ptr<machine::LoadedMachine> LoadMachine(const std::string& folder,
                                                    const machine::LoadOptions& options,
                                                    int& exitCode);

// The opened machine wrapped in a journaling machine (the window opens its machine the same way).
using quarantine::Journaled;

// Loads the image, fills the folder table and (with `loadDatabases`) loads the
// databases. On failure prints the error and returns false with exitCode 1 (2
// when a user profile must be chosen).
bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode, const machine::LoadOptions& options = {});

// The home page setting of Veldan.ini ([VELDAN] homepage) in the program
// folder; "" when there is none.
std::string HomePageSetting(const Globals& g);

// Writes `bytes` to a host file through a temporary file and a rename; false on failure.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

// The databases loaded over an empty in-memory machine, for commands given no
// machine: registry macros then have nothing to resolve against. Nothing is
// written anywhere.
struct EmptyMachineSession {
    explicit EmptyMachineSession(const Globals& g);
    std::unique_ptr<machine::Machine> machine;
    std::unique_ptr<text::DebugSink> debug;
    std::unique_ptr<platform::Context> ctx;
};

}  // namespace veldan::cli
