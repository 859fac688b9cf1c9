// What veldan-cli shows on a terminal only: progress on standard error
// (silenced by --quiet) and coloured names (never with NO_COLOR). The program
// runs under a pseudo-terminal made by script(1) from util-linux.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/file_read.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace veldan::test {
namespace {

class CliTerminal : public testing::Test {
  protected:
    // Everything the program wrote to the terminal.
    std::string OnTerminal(const std::string& env, const std::string& args) {
        const std::string out = (dir.path() / "screen").string();
        const std::string command = "env " + env + " script -qec \"" + ProgramFolder() +
                                    "/veldan-cli " + args + "\" /dev/null > '" + out + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::string screen;
        EXPECT_TRUE(host::ReadWholeFile(out, screen));
        return screen;
    }
    static bool Has(const std::string& s, const std::string& what) {
        return s.find(what) != std::string::npos;
    }
    TempDir dir;
    const std::string machine = "-m '" + SourceFolder() + "/examples/machines/sample-xp'";
    const std::string bold = "\033[1mAdWidget Toolbar\033[0m";
    const std::string progress = "\r\033[K1% (";
};

TEST_F(CliTerminal, ProgressAndColourOnATerminal) {
    std::string screen = OnTerminal("-u NO_COLOR", "scan " + machine);
    EXPECT_TRUE(Has(screen, progress)) << screen.substr(0, 200);
    EXPECT_TRUE(Has(screen, " 1. " + bold + " (12)")) << screen.substr(0, 600);

    // Off a terminal neither shows: the tests' own runs see plain text.
    RunResult plain =
        RunProgram("veldan-cli", {"scan", "-m", SourceFolder() + "/examples/machines/sample-xp"});
    EXPECT_TRUE(Has(plain.out, " 1. AdWidget Toolbar (12)\n"));
    EXPECT_TRUE(plain.err.empty()) << plain.err;
}

TEST_F(CliTerminal, QuietSilencesProgressAndNoColorTheColour) {
    std::string quiet = OnTerminal("-u NO_COLOR", "scan --quiet " + machine);
    EXPECT_FALSE(Has(quiet, progress));
    EXPECT_TRUE(Has(quiet, bold));

    std::string noColour = OnTerminal("NO_COLOR=1", "scan " + machine);
    EXPECT_TRUE(Has(noColour, progress));
    EXPECT_FALSE(Has(noColour, "\033[1m"));
    EXPECT_TRUE(Has(noColour, " 1. AdWidget Toolbar (12)"));
    // An empty NO_COLOR counts as unset.
    EXPECT_TRUE(Has(OnTerminal("NO_COLOR=", "scan -q " + machine), bold));

    // Several machines: progress counts machines, --quiet silences it too.
    std::string batch = "scan --json-lines " + machine + " " + machine;
    EXPECT_TRUE(Has(OnTerminal("-u NO_COLOR", batch), "2/2 machines"));
    EXPECT_FALSE(Has(OnTerminal("-u NO_COLOR", batch + " -q"), "/2 machines"));
}

}  // namespace
}  // namespace veldan::test
