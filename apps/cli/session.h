#pragma once
// What the scanning commands share: the machine image, a context over it with
// its folder table filled, and the databases loaded from the program folder.

#include <memory>
#include <string>

#include "commands.h"
#include "machine/image/image_machine.h"
#include "platform/context.h"
#include "text/debug.h"

namespace veldan::cli {

struct Session {
    std::unique_ptr<machine::image::ImageMachine> machine;
    std::unique_ptr<text::DebugSink> debug;
    std::unique_ptr<platform::Context> ctx;

    // Writes the machine back; prints the error and returns false when it cannot.
    bool Save();
};

// Loads the image, fills the folder table and (with `loadDatabases`) loads the
// databases. On failure prints the error and returns false with exitCode 1.
bool OpenSession(const Globals& g, const std::string& machineFolder, bool loadDatabases, Session& s,
                 int& exitCode);

// The home page setting of Veldan.ini ([VELDAN] homepage) in the program
// folder; "" when there is none.
std::string HomePageSetting(const Globals& g);

// Writes `bytes` to a host file through a temporary file and a rename; false on failure.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);

}  // namespace veldan::cli
