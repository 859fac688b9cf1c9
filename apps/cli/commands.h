#pragma once
// The commands of veldan-cli. Each Add function puts its command word, with
// its options and words, below `app`; when the command line chooses it, the
// command's callback stores the work to do in `action`.

#include <CLI/CLI.hpp>

#include "cli_options.h"

namespace veldan::cli {

void AddScanCommand(CLI::App& app, Globals& g, Action& action);
void AddCureCommand(CLI::App& app, Globals& g, Action& action);
void AddDbCommand(CLI::App& app, Globals& g, Action& action);
void AddImmunizeCommand(CLI::App& app, Globals& g, Action& action);
void AddKillbitCommand(CLI::App& app, Globals& g, Action& action);
void AddRegCommand(CLI::App& app, Globals& g, Action& action);
void AddMachineCommand(CLI::App& app, Globals& g, Action& action);
void AddReleaseCommand(CLI::App& app, Globals& g, Action& action);
void AddQuarantineCommand(CLI::App& app, Globals& g, Action& action);

// machine convert: --from, --to and --format.
struct ConvertOptions {
    std::string from, to, format;
};
int RunMachineConvert(const ConvertOptions& options, const MachineOptions& load);

// The database version of the program folder, "" when it has none (for --version).
std::string DatabaseVersion(const Globals& g);

}  // namespace veldan::cli
