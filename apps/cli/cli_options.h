#pragma once
// What every command of veldan-cli shares: exit codes, the global options, the
// options of a command that opens a machine, and the way commands are added to
// the CLI11 parser.

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "machine/loaded_machine.h"

namespace veldan::cli {

// Exit codes of the command-line contract.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Options that stand before or after the command word.
struct Globals {
    std::string programFolder;  // holds core/ and data/
    bool quiet = false;         // no progress on standard error
};

// --user NAME and --force: for a Windows installation they choose the profile
// and open hives that were not cleanly written.
struct MachineOptions {
    std::string user;
    bool force = false;
    machine::LoadOptions Load() const { return {user, force}; }
};

// The work a command does once the whole command line is parsed; it returns
// the exit code.
using Action = std::function<int()>;

// A command word below `parent`: its help flag, the global options (so they
// work in any position and show in its help) and fall-through to the parent,
// so the parent's options may follow the command's own words.
CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     Globals& g);
// --user and --force on `command`.
void AddMachineOptions(CLI::App& command, MachineOptions& options);
// The name of the sub-command chosen below `command`, "" when none was.
std::string ChosenWord(const CLI::App& command);

// Prints "veldan-cli: <message>" on standard error and returns `code`.
int Fail(int code, const std::string& message);

}  // namespace veldan::cli
