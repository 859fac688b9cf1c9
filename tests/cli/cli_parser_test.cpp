// The habits of veldan-cli's command line: help for every command, options in
// any position, short forms, --version, exit codes, and the messages for a
// machine or database that is not there.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

using Strings = std::vector<std::string>;

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

std::string Sample() {
    return SourceFolder() + "/examples/machines/sample-xp";
}

TEST(CliParser, EveryCommandHasItsOwnHelp) {
    const std::vector<std::pair<Strings, Strings>> cases = {
        {{"scan"},
         {"--machine", "-m,", "--json", "-j,", "--json-lines", "--jobs", "--log", "--user",
          "--force", "--quiet"}},
        {{"cure"}, {"--machine", "--all", "--entry", "--homepage", "--json"}},
        {{"db"}, {"--machine", "--json", "info", "scramble", "unscramble"}},
        {{"db", "scramble"}, {"IN", "OUT"}},
        {{"immunize"}, {"--machine", "--json", "list", "block-all", "unblock-all"}},
        {{"immunize", "list"}, {"--machine", "--json"}},
        {{"killbit"}, {"list", "add", "remove", "block-all", "unblock-all"}},
        {{"killbit", "add"}, {"CLSID", "NAME", "--machine"}},
        {{"reg", "export"}, {"KEY", "--machine"}},
        {{"machine", "restart"}, {"--machine"}},
        {{"machine", "convert"}, {"--from", "--to", "--format"}},
    };
    for (const auto& [words, options] : cases) {
        for (const char* flag : {"--help", "-h"}) {
            Strings args = words;
            args.push_back(flag);
            RunResult r = RunProgram("veldan-cli", args);
            EXPECT_EQ(r.exitCode, 0) << testing::PrintToString(args) << r.err;
            EXPECT_TRUE(r.err.empty()) << r.err;
            for (const auto& option : options) {
                EXPECT_TRUE(Has(r.out, option))
                    << testing::PrintToString(args) << " lacks " << option;
            }
        }
    }
    RunResult top = RunProgram("veldan-cli", {"--help"});
    EXPECT_EQ(top.exitCode, 0);
    for (const char* word :
         {"scan", "cure", "db", "immunize", "killbit", "reg", "machine", "--version"}) {
        EXPECT_TRUE(Has(top.out, word)) << word;
    }
    EXPECT_EQ(RunProgram("veldan-cli", {"help"}).out, top.out);
    // Without a command the help goes to standard error as a usage error.
    RunResult none = RunProgram("veldan-cli", {});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_TRUE(Has(none.err, "scan"));
}

TEST(CliParser, OptionsStandAnywhereAndShortFormsWork) {
    TempDir program;
    std::filesystem::copy(ProgramFolder() + "/data", program.path() / "data");
    RunResult reference = RunProgram("veldan-cli", {"scan", "--machine", Sample(), "--json"});
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    for (const Strings& args : std::vector<Strings>{
             {"--program-folder", program.str(), "scan", "--machine", Sample(), "--json"},
             {"scan", "--machine", Sample(), "--program-folder", program.str(), "--json"},
             {"scan", "--json", "--program-folder=" + program.str(), "-m", Sample()},
             {"scan", "-j", "-m", Sample(), "--program-folder", program.str()},
             {"scan", "--machine=" + Sample(), "-jq", "--program-folder", program.str()}}) {
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 0) << testing::PrintToString(args) << r.err;
        EXPECT_EQ(r.out, reference.out) << testing::PrintToString(args);
    }
    // A command's options also follow its action word, and the global ones follow everything.
    RunResult before =
        RunProgram("veldan-cli", {"immunize", "--machine", Sample(), "--json", "list"});
    RunResult after = RunProgram("veldan-cli", {"immunize", "list", "-j", "-m", Sample(),
                                                "--program-folder", program.str()});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(before.out, after.out);
    RunResult info =
        RunProgram("veldan-cli", {"db", "info", "--json", "--program-folder", program.str()});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out, RunProgram("veldan-cli", {"db", "--json", "info"}).out);
}

TEST(CliParser, VersionNamesTheProgramAndTheDatabase) {
    for (const Strings& args : std::vector<Strings>{{"--version"}, {"-V"}}) {
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind("veldan-cli ", 0), 0u) << r.out;
        EXPECT_TRUE(Has(r.out, "\ndatabase 2026.12.08\n")) << r.out;
    }
    TempDir empty;
    RunResult r = RunProgram("veldan-cli", {"--program-folder", empty.str(), "--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Has(r.out, "\ndatabase -\n")) << r.out;
}

TEST(CliParser, BadUsageExitsTwoWithOneLine) {
    for (const Strings& args : std::vector<Strings>{
             {"frobnicate"},
             {"scan", "--bogus"},
             {"scan", "-m"},
             {"scan", "--machine", "a", "--machine", "b"},  // several need --json-lines
             {"scan", "--machine", "a", "--json", "--json-lines"},
             {"scan", "--machine", "a", "--jobs", "0", "--json-lines"},
             {"scan", "--machine", "a", "--jobs", "2"},
             {"scan", "--machine", "a", "--log", "x", "--json-lines"},
             {"scan", "extra", "--machine", "a"},
             {"cure", "-m", "a"},
             {"killbit", "-m", "a", "add", "{12345678-1234-1234-1234-123456789ABC}"},
             {"machine", "convert", "--machine", "a"},
             {"db", "scramble", "--machine", "a", "x", "y"}}) {
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("veldan-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_TRUE(Has(RunProgram("veldan-cli", {"frobnicate"}).err, "unknown command 'frobnicate'"));
}

TEST(CliParser, AFileIsNotAMachineFolder) {
    TempDir dir;
    std::string file = dir.Write("machine.txt", "not a machine").string();
    for (const char* command : {"scan", "cure", "reg", "immunize"}) {
        Strings args = {command, "--machine", file};
        if (std::string(command) == "cure") args.push_back("--all");
        if (std::string(command) == "reg") args.push_back("export");
        if (std::string(command) == "immunize") args.push_back("list");
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(Has(r.err, file + " is a file, not a folder")) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(CliParser, ScanAndCureWithoutSignaturesFailNamingTheDatabase) {
    TempDir program, machine;
    CopyTree(Sample(), machine.str() + "/m");
    const std::string m = machine.str() + "/m";
    for (const char* command : {"scan", "cure"}) {
        Strings args = {"--program-folder", program.str(), command, "--machine", m, "--json"};
        if (std::string(command) == "cure") args.push_back("--all");
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(Has(r.err, "no detection database")) << r.err;
        EXPECT_TRUE(Has(r.err, program.str() + "/data/addb")) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    // A database file without a single entry is no better.
    program.Write("core/addb.txt", "#VERSION 1\n");
    RunResult r = RunProgram("veldan-cli", {"--program-folder", program.str(), "scan", "-m", m});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Has(r.err, "the detection database " + program.str() +
                           "/core/addb.txt holds no detection entries"))
        << r.err;
    // db info still reports the empty lists, as the loader does.
    RunResult info = RunProgram("veldan-cli", {"--program-folder", program.str(), "db", "info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
}

}  // namespace
}  // namespace veldan::test
