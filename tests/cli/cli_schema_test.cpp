// Every JSON document veldan-cli writes is valid under its published schema
// (docs/schema), checked with Debian's python3-jsonschema; a document that
// breaks a rule of the schema is caught, so the check itself can fail.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

using Strings = std::vector<std::string>;

class CliSchema : public testing::Test {
  protected:
    void SetUp() override {
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", machine);
        std::filesystem::create_directories(program);
        CopyTree(ProgramFolder() + "/data", program + "/data");
    }

    // Runs the program; its standard output is checked against `schema`.
    bool Valid(const std::string& schema, const Strings& args, bool lines = false) {
        RunResult r = RunProgram("veldan-cli", args);
        EXPECT_TRUE(r.exitCode == 0 || lines) << testing::PrintToString(args) << r.err;
        return Check(schema, r.out, lines);
    }
    bool Check(const std::string& schema, const std::string& text, bool lines = false) {
        std::string file = dir.Write("doc-" + std::to_string(++count) + ".json", text).string();
        std::string command = "/usr/bin/python3 '" + SourceFolder() +
                              "/tests/cli/validate_json.py' '" + SourceFolder() + "/docs/schema' " +
                              schema + " '" + file + "'" + (lines ? " --lines" : "");
        return std::system(command.c_str()) == 0;
    }

    TempDir dir;
    std::string machine = dir.str() + "/machine";
    std::string program = dir.str() + "/program";
    int count = 0;
};

TEST_F(CliSchema, EveryDocumentMatchesItsSchema) {
    EXPECT_TRUE(Valid("scan.json", {"scan", "--machine", machine, "--json"}));
    EXPECT_TRUE(Valid("db-info.json", {"db", "info", "--json"}));
    EXPECT_TRUE(Valid("db-info.json", {"db", "info", "--json", "--machine", machine}));
    EXPECT_TRUE(Valid("immunize-list.json", {"immunize", "list", "--machine", machine, "--json"}));
    EXPECT_TRUE(
        Valid("killbit-list.json", {"killbit", "add", "{12345678-1234-1234-1234-123456789ABC}",
                                    "Name", "-m", machine, "--json", "--program-folder", program}));
    EXPECT_TRUE(Valid("scan-lines.json",
                      {"scan", "--json-lines", "-m", machine, "-m", dir.str() + "/none"}, true));
    EXPECT_TRUE(
        Valid("cure.json", {"cure", "--machine", machine, "--entry", "DialMaster", "--json"}));
    EXPECT_TRUE(Valid("cure.json", {"cure", "--machine", machine, "--all", "--dry-run", "--json"}));
    EXPECT_TRUE(Valid("cure.json", {"cure", "--machine", machine, "--all", "--json"}));
    EXPECT_TRUE(Valid("quarantine-list.json", {"quarantine", "--machine", machine, "list", "--json"}));
    EXPECT_TRUE(Valid("quarantine-restore.json",
                      {"quarantine", "--machine", machine, "restore", "--all", "--json"}));
    EXPECT_TRUE(Valid("scan.json", {"scan", "--machine", machine, "--json"}));
}

TEST_F(CliSchema, DocumentsThatBreakTheRulesAreCaught) {
    RunResult r = RunProgram("veldan-cli", {"scan", "--machine", machine, "--json"});
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_TRUE(Check("scan.json", r.out));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = r.out;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    EXPECT_FALSE(Check("scan.json", replaced("\"2026.12.08\"", "\"2026.12.08 \"")));
    EXPECT_FALSE(Check("scan.json", replaced("\"REGKEY\"", "\"KEY\"")));
    EXPECT_FALSE(Check("scan.json", replaced("\"completed\": true", "\"completed\": 1")));
    EXPECT_FALSE(Check("cure.json", r.out));              // a scan lacks the cure's members
    EXPECT_FALSE(Check("scan-lines.json", r.out, true));  // a line names its machine
}

}  // namespace
}  // namespace veldan::test
