// veldan-cli: the scanner's engine without a window, for scripts and tests.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli_options.h"
#include "commands.h"
#include "program_folder.h"

#ifndef VELDAN_VERSION
#define VELDAN_VERSION "0"
#endif

namespace {

using namespace veldan::cli;

constexpr const char* kFooter =
    "M is a machine image or the root of a Windows installation (its hives are used); for an\n"
    "installation, --user NAME chooses the profile and --force opens hives that were not\n"
    "cleanly written. Options may stand anywhere after the program's name; each command\n"
    "has its own --help.\n"
    "Exit status: 0 success, 2 bad usage, 1 a machine, database or file that cannot be read.";

int PrintVersion(const Globals& g) {
    std::string db = DatabaseVersion(g);
    std::printf("veldan-cli %s\ndatabase %s\n", VELDAN_VERSION, db.empty() ? "-" : db.c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Globals g;
    g.programFolder = OwnFolder(argv[0]);
    bool version = false;

    CLI::App app("veldan-cli: the anti-spyware scanner without a window", "veldan-cli");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // "/name" is a path, never an option (CLI11 takes it for one on Windows).
    app.allow_windows_style_options(false);
    app.footer(kFooter);
    app.require_subcommand(0, 1);
    app.add_option("--program-folder", g.programFolder,
                   "folder that holds core/ and data/ (default: the program's own)");
    app.add_flag("-q,--quiet", g.quiet, "no progress on standard error");
    app.add_flag("-V,--version", version, "the program's and the database's version");

    Action action;
    AddScanCommand(app, g, action);
    AddCureCommand(app, g, action);
    AddDbCommand(app, g, action);
    AddImmunizeCommand(app, g, action);
    AddKillbitCommand(app, g, action);
    AddRegCommand(app, g, action);
    AddMachineCommand(app, g, action);
    AddReleaseCommand(app, g, action);
    AddQuarantineCommand(app, g, action);
    CLI::App* help = app.add_subcommand("help", "this text");
    help->group("");  // not listed; "veldan-cli help" works as --help does

    if (argc < 2) {
        std::cerr << app.help();
        return kExitUsage;
    }
    const std::string first = argv[1];
    auto named = [&first](CLI::App* command) { return command->check_name(first); };
    if (first[0] != '-' && app.get_subcommands(named).empty()) {
        return Fail(kExitUsage, "unknown command '" + first + "' (see veldan-cli --help)");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(kExitUsage, e.what());
    }
    if (help->parsed()) {
        // app.help() would describe the word "help" itself.
        std::cout << app.get_formatter()->make_help(&app, "veldan-cli", CLI::AppFormatMode::Normal);
        return kExitOk;
    }
    if (version) return PrintVersion(g);
    if (!action) return Fail(kExitUsage, "no command given (see veldan-cli --help)");
    return action();
}
