// veldan-cli: the scanner's engine without a window, for scripts and tests.

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"

namespace {

constexpr const char* kUsage =
    "usage: veldan-cli [--program-folder DIR] COMMAND ...\n"
    "  scan --machine M [--json] [--log FILE]\n"
    "  cure --machine M (--all | --entry NAME) [--homepage URL] [--json]\n"
    "  db info [--machine M] [--json] | db scramble IN OUT | db unscramble IN OUT\n"
    "  immunize --machine M (list | block-all | unblock-all) [--json]\n"
    "  killbit --machine M (list | add CLSID NAME | remove CLSID | block-all | unblock-all) [--json]\n"
    "  reg export --machine M [KEY]      the registry (or one tree) as .reg text, sorted\n"
    "  machine restart --machine M       carry out pending delete-at-restart operations\n"
    "  machine convert --from DIR --to DIR --format reg|hive\n"
    "                                    move a machine between image and installation form\n"
    "  M is a machine image or the root of a Windows installation (its hives are used);\n"
    "  for an installation, --user NAME chooses the profile and --force opens hives\n"
    "  that were not cleanly written.\n";

std::string OwnFolder(const char* argv0) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        return std::filesystem::path(buf).parent_path().string();
    }
    return std::filesystem::absolute(argv0).parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veldan::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    Globals g;
    g.programFolder = OwnFolder(argv[0]);

    // Global options come before the command.
    while (!args.empty() && args[0].rfind("--program-folder", 0) == 0) {
        if (args[0] == "--program-folder") {
            if (args.size() < 2) return Fail(kExitUsage, "option --program-folder needs a value");
            g.programFolder = args[1];
            args.erase(args.begin(), args.begin() + 2);
        } else if (args[0].rfind("--program-folder=", 0) == 0) {
            g.programFolder = args[0].substr(17);
            args.erase(args.begin());
        } else {
            break;
        }
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    std::string command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "reg") return RunReg(g, rest);
    if (command == "machine") return RunMachine(g, rest);
    if (command == "scan") return RunScanCommand(g, rest);
    if (command == "cure") return RunCureCommand(g, rest);
    if (command == "db") return RunDb(g, rest);
    if (command == "immunize") return RunImmunize(g, rest);
    if (command == "killbit") return RunKillbit(g, rest);
    return Fail(kExitUsage, "unknown command '" + command + "' (see veldan-cli --help)");
}
