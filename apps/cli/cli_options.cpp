#include "cli_options.h"

#include <cstdio>

namespace veldan::cli {

CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     Globals& g) {
    CLI::App* command = parent.add_subcommand(name, description);
    command->fallthrough();
    command->add_option("--program-folder", g.programFolder,
                        "folder that holds core/ and data/ (default: the program's own)");
    command->add_flag("-q,--quiet", g.quiet, "no progress on standard error");
    return command;
}

void AddMachineOptions(CLI::App& command, MachineOptions& options) {
    command.add_option("-u,--user", options.user,
                       "user profile of a Windows installation with several");
    command.add_flag("--force", options.force,
                     "open hives of an installation that were not cleanly written");
}

std::string ChosenWord(const CLI::App& command) {
    auto chosen = command.get_subcommands();
    return chosen.empty() ? std::string() : chosen.front()->get_name();
}

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "veldan-cli: %s\n", message.c_str());
    return code;
}

}  // namespace veldan::cli
