// Everything veldan-cli printed on the sample machine before its parser and
// JSON writer were replaced (golden/, written by golden/capture.sh) is printed
// the same now: text and JSON, byte for byte, with the same exit status.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/file_read.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace veldan::test {
namespace {

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

TEST(CliGolden, EveryCommandPrintsWhatScriptsRelyOn) {
    TempDir out;
    const std::string golden = SourceFolder() + "/tests/cli/golden";
    const std::string command = "bash " + Quoted(golden + "/capture.sh") + " " +
                                Quoted(ProgramFolder()) + " " + Quoted(SourceFolder()) + " " +
                                Quoted(out.str()) + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(golden)) {
        if (entry.path().extension() != ".out") continue;
        std::string expected, actual;
        ASSERT_TRUE(host::ReadWholeFile(entry.path().string(), expected));
        ASSERT_TRUE(host::ReadWholeFile((out.path() / entry.path().filename()).string(), actual))
            << entry.path().filename();
        EXPECT_EQ(expected, actual) << entry.path().filename();
        ++compared;
    }
    // Every command of the list has its golden file.
    EXPECT_EQ(compared, 37);
}

}  // namespace
}  // namespace veldan::test
