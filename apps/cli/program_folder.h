#pragma once
// The folder of the running program, where core/ and data/ are looked for.

#include <string>

namespace veldan::cli {

// The folder that holds the running program; `argv0` helps where the system cannot tell.
std::string OwnFolder(const char* argv0);

// True when a command given no --machine works on the machine it runs on (the
// Windows build); elsewhere such a command needs --machine.
bool HasLiveMachine();

}  // namespace veldan::cli
