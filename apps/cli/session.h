#pragma once
// What the scanning commands share: the machine image, a context over it with
// its folder table filled, and the databases loaded from the program folder.

#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "machine/image/image_machine.h"
#include "platform/context.h"
#include "text/debug.h"

namespace veldan::cli {

class Args;

struct Session {
    std::unique_ptr<machine::image::ImageMachine> machine;
    std::unique_ptr<text::DebugSink> debug;
    std::unique_ptr<platform::Context> ctx;

    // Writes the machine back; prints the error and returns false when it cannot.
    bool Save();
};

// --force and --user NAME, the options of every command that opens a machine:
// for a Windows installation they open hives that were not cleanly written and
// choose the user profile. These add them to the lists given to Args::Parse.
std::vector<std::string> MachineFlags(std::vector<std::string> flags);
std::vector<std::string> MachineValued(std::vector<std::string> valued);
// The load options they give.
machine::image::LoadOptions MachineLoadOptions(const Args& args);

// Loads a machine image or installation. On failure prints the error and
// returns null with exitCode 2 when a user profile must be chosen (the error
// names them), else 1.
std::unique_ptr<machine::image::ImageMachine> LoadMachine(
    const std::string& folder, const machine::image::LoadOptions& options, int& exitCode);

// Loads the image, fills the folder table and (with `loadDatabases`) loads the
// databases. On failure prints the error and returns false with exitCode 1 (2
// when a user profile must be chosen).
bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode, const machine::image::LoadOptions& options = {});

// The home page setting of Veldan.ini ([VELDAN] homepage) in the program
// folder; "" when there is none.
std::string HomePageSetting(const Globals& g);

// Writes `bytes` to a host file through a temporary file and a rename; false on failure.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

}  // namespace veldan::cli
