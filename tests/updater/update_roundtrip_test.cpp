// The built VeldanUpdate, run as Veldan runs it (a copy in the temporary
// folder, the program folder as its one argument), against a loopback update
// server: it unpacks the release into the program folder and starts the new
// Veldan there, which records that it ran.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/http_server.h"
#include "support/release_keys.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/timed_run.h"
#include "support/update_release.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class UpdateRoundTripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BypassProxies();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("VELDAN_UPDATE_HOST", server_.HostPort().c_str(), 1);
        fs::create_directories(program_);
        fs::create_directories(temp_);
        // The temporary folder of the updater: its archive must not stay there.
        ::setenv("TMPDIR", temp_.c_str(), 1);
        // Veldan starts the updater from a copy in the temporary folder.
        updater_ = temp_ + "/VeldanUpdate";
        fs::copy_file(ProgramFolder() + "/VeldanUpdate", updater_);
        TrustReleaseKey(program_, SharedReleaseKeys());
    }
    void TearDown() override {
        ::unsetenv("VELDAN_UPDATE_HOST");
        ::unsetenv("TMPDIR");
    }

    TempDir tmp_;
    HttpServer server_;
    std::string program_ = tmp_.str() + "/program";
    std::string temp_ = tmp_.str() + "/temp";
    std::string marker_ = tmp_.str() + "/veldan-ran";
    std::string updater_;
};

TEST_F(UpdateRoundTripTest, InstallsTheReleaseAndStartsTheNewVeldan) {
    tmp_.Write("program/Veldan", "#!/bin/sh\nexit 0\n");
    tmp_.Write("program/data/addb", "old database");
    tmp_.Write("program/log/scan.log", "kept");
    ServeSignedRelease(
        server_,
        BuildMarkerRelease("2006.10.1", marker_,
                           {{"data/addb", "new database"}, {"core/lists/killbit.txt", "{x} y"}}),
        SharedReleaseKeys());

    TimedRun run = RunWithin(updater_, {program_}, 60s);

    ASSERT_FALSE(run.timedOut) << "VeldanUpdate did not end (a message box?)";
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(tmp_.Read("program/data/addb"), "new database");
    EXPECT_EQ(tmp_.Read("program/core/lists/killbit.txt"), "{x} y");
    EXPECT_EQ(tmp_.Read("program/log/scan.log"), "kept");
    EXPECT_EQ(tmp_.Read("program/Veldan"), MarkerScript("2006.10.1", marker_));
    // The downloaded archive did not stay in the temporary folder.
    for (const auto& e : fs::directory_iterator(temp_)) {
        EXPECT_NE(e.path().filename().string().rfind("VLU", 0), 0u) << e.path();
    }

    ASSERT_TRUE(WaitForFile(marker_, 30s)) << "the new Veldan was not started";
    std::vector<std::string> ran = ReadMarker(marker_);
    ASSERT_EQ(ran.size(), 2u);  // tag and working folder, no arguments
    EXPECT_EQ(ran[0], "2006.10.1");
    EXPECT_EQ(fs::canonical(ran[1]), fs::canonical(program_));
}

TEST_F(UpdateRoundTripTest, MissingReleaseStartsTheOldVeldanUnchanged) {
    tmp_.Write("program/Veldan", MarkerScript("old", marker_));
    fs::permissions(program_ + "/Veldan", fs::perms::owner_exec, fs::perm_options::add);

    TimedRun run = RunWithin(updater_, {program_}, 60s);

    ASSERT_FALSE(run.timedOut);
    EXPECT_NE(run.exitCode, 0);
    ASSERT_TRUE(WaitForFile(marker_, 30s));
    EXPECT_EQ(ReadMarker(marker_).at(0), "old");
    ASSERT_EQ(server_.RequestCount(), 1u);
    EXPECT_EQ(server_.Requests()[0].target, "/veldan/bin.zip");
}

}  // namespace
}  // namespace veldan::test
