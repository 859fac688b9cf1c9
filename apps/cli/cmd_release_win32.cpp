// release in the Windows build: keys are made and releases signed with the
// Linux build (OpenSSL); the command is there to say so.

#include "commands.h"

namespace veldan::cli {

void AddReleaseCommand(CLI::App& app, Globals& g, Action& action) {
    CLI::App* cmd = AddCommand(app, "release", "make keys, sign and verify release archives", g);
    cmd->allow_extras();
    cmd->callback([&action] {
        action = [] {
            return Fail(kExitFailure, "release keys and signatures are made with the Linux build");
        };
    });
}

}  // namespace veldan::cli
