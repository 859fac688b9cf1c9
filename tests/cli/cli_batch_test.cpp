// scan --machine A --machine B ... --json-lines: one JSON document per machine
// and line, each naming its machine, then a summary; one machine that cannot
// be read changes nothing for the others.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

using Json = nlohmann::ordered_json;

std::vector<Json> Lines(const std::string& out) {
    std::vector<Json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        Json j = Json::parse(line, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << line;
        lines.push_back(j);
    }
    return lines;
}

class CliBatch : public testing::Test {
  protected:
    void SetUp() override {
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", infected);
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", cured);
        RunResult r = RunProgram("veldan-cli", {"cure", "--machine", cured, "--all"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    TempDir dir;
    std::string infected = dir.str() + "/infected";
    std::string cured = dir.str() + "/cured";
    std::string missing = dir.str() + "/missing";
};

TEST_F(CliBatch, EachMachineOnItsOwnLineThenASummary) {
    RunResult r = RunProgram("veldan-cli", {"scan", "--json-lines", "--jobs", "2", "--machine",
                                            infected, "-m", missing, "--machine", cured});
    EXPECT_EQ(r.exitCode, 1);  // one machine could not be read
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    std::map<std::string, Json> byMachine;
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(lines[i].contains("machine")) << lines[i];
        EXPECT_EQ(lines[i].begin().key(), "machine");  // the name comes first
        byMachine[lines[i]["machine"].get<std::string>()] = lines[i];
    }
    ASSERT_EQ(byMachine.size(), 3u);

    // Each scanned machine carries the same document a single scan gives.
    for (const std::string& m : {infected, cured}) {
        RunResult single = RunProgram("veldan-cli", {"scan", "--machine", m, "--json"});
        ASSERT_EQ(single.exitCode, 0);
        Json expected = Json::parse(single.out);
        Json line = byMachine[m];
        EXPECT_EQ(line["exit"], 0);
        line.erase("machine");
        line.erase("exit");
        EXPECT_EQ(line, expected) << m;
    }
    EXPECT_EQ(byMachine[infected]["rows"].size(), 16u);
    EXPECT_EQ(byMachine[cured]["rows"].size(), 1u);  // the locked file waits for the restart

    const Json& failed = byMachine[missing];
    EXPECT_EQ(failed["exit"], 1);
    EXPECT_NE(failed["error"].get<std::string>().find(missing), std::string::npos) << failed;
    EXPECT_FALSE(failed.contains("rows"));

    const Json& summary = lines[3]["summary"];
    EXPECT_EQ(summary["machines"], 3);
    EXPECT_EQ(summary["scanned"], 2);
    EXPECT_EQ(summary["failed"], 1);
    EXPECT_EQ(summary["infected"], 2);
    EXPECT_EQ(summary["rows"], 17);
}

TEST_F(CliBatch, ExitZeroOnlyWhenEveryMachineWasRead) {
    for (const char* jobs : {"1", "3"}) {
        RunResult r =
            RunProgram("veldan-cli", {"scan", "--json-lines", "--jobs", jobs, "--machine", infected,
                                      "--machine", cured, "--machine", infected});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<Json> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[3]["summary"]["scanned"], 3);
        EXPECT_EQ(lines[3]["summary"]["failed"], 0);
    }
    // One machine works too, and a file in place of a folder fails as it does alone.
    std::string file = dir.Write("file", "x").string();
    RunResult r = RunProgram("veldan-cli", {"scan", "--json-lines", "--machine", file});
    EXPECT_EQ(r.exitCode, 1);
    std::vector<Json> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0]["error"].get<std::string>().find("is a file, not a folder"),
              std::string::npos);
}

}  // namespace
}  // namespace veldan::test
