// The built VeldanUpdate, run as Veldan runs it (a copy in the temporary
// folder, the program folder as its one argument), against a loopback update
// server: it unpacks the release into the program folder and starts the new
// Veldan there, which records that it ran. Releases that are not signed by
// the trusted key, or are older than the installed database, are refused.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
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

// Exit statuses of VeldanUpdate.
constexpr int kDone = 0;
constexpr int kNotVerified = 5;
constexpr int kOlderRelease = 6;

struct Served {
    const char* what;
    std::string archive;
    std::optional<std::string> signature;  // none: the server has no .sig
    int exitCode;
};

// Releases that must not be installed: unsigned, forged in each way a man in
// the middle could try, and older than the installed database. Each time the
// program folder stays byte for byte as it was, no temporary file stays, the
// refusal is the program's exit status and the old Veldan starts again.
class SignedUpdateTest : public UpdateRoundTripTest {
  protected:
    void SetUp() override {
        UpdateRoundTripTest::SetUp();
        // The installed program: a Veldan that records its runs and a
        // database of 2006.10.2.
        tmp_.Write("program/Veldan", MarkerScript("old", marker_));
        fs::permissions(program_ + "/Veldan", fs::perms::owner_exec, fs::perm_options::add);
        tmp_.Write("program/core/addb.txt", "#VERSION 2006.10.2\n#NAME a\n");
        tmp_.Write("program/log/scan.log", "kept");
        release_ = BuildMarkerRelease("new", marker_,
                                      {{"core/addb.txt", "#VERSION 2006.11.1\n#NAME b\n"}});
    }

    void Serve(const Served& s) {
        HttpAnswer answer;
        answer.body = s.archive;
        server_.Answer("/veldan/bin.zip", answer);
        if (s.signature) {
            answer.body = *s.signature;
            server_.Answer("/veldan/bin.zip.sig", answer);
        } else {
            server_.Forget("/veldan/bin.zip.sig");
        }
    }

    // Runs the updater; returns its exit status after checking that it ended,
    // started a Veldan and left no temporary file behind. `ran` gets the
    // tag of the Veldan it started.
    int RunUpdater(std::string& ran) {
        fs::remove(marker_);
        TimedRun run = RunWithin(updater_, {program_}, 60s);
        EXPECT_FALSE(run.timedOut) << "VeldanUpdate did not end (a message box?)";
        // The archive and its signature (VLU...) are gone; Qt may leave its runtime folder.
        for (const auto& e : fs::directory_iterator(temp_)) {
            EXPECT_NE(e.path().filename().string().rfind("VLU", 0), 0u) << "left: " << e.path();
        }
        EXPECT_TRUE(WaitForFile(marker_, 30s)) << "no Veldan was started";
        const std::vector<std::string> lines = ReadMarker(marker_);
        ran = lines.empty() ? "" : lines[0];
        return run.exitCode;
    }

    std::string release_;
};

TEST_F(SignedUpdateTest, RefusedReleasesLeaveTheProgramFolderAsItWas) {
    const ReleaseKeys& trusted = SharedReleaseKeys();
    const std::string good = SignRelease(trusted, release_);
    std::string changed = release_;
    changed[changed.size() / 3] ^= 0x20;
    const std::string other = BuildMarkerRelease("other", marker_);
    const std::string older =
        BuildMarkerRelease("older", marker_, {{"core/addb.txt", "#VERSION 2006.10.1\n#NAME b\n"}});
    const std::vector<Served> cases = {
        {"unsigned", release_, std::nullopt, kNotVerified},
        {"one byte changed", changed, good, kNotVerified},
        {"signature of another archive", release_, SignRelease(trusted, other), kNotVerified},
        {"signed by another key", release_, SignRelease(MakeReleaseKeys(), release_), kNotVerified},
        {"truncated signature", release_, good.substr(0, 32), kNotVerified},
        {"older than the installed database", older, SignRelease(trusted, older), kOlderRelease},
        {"no database, so no version", other, SignRelease(trusted, other), kOlderRelease},
    };
    const auto before = FolderSnapshot(program_);
    for (const Served& s : cases) {
        SCOPED_TRACE(s.what);
        Serve(s);
        std::string ran;
        EXPECT_EQ(RunUpdater(ran), s.exitCode);
        EXPECT_EQ(ran, "old");
        EXPECT_EQ(FolderSnapshot(program_), before);
    }
}

TEST_F(SignedUpdateTest, SignedNewerReleaseIsInstalled) {
    Serve({"signed", release_, SignRelease(SharedReleaseKeys(), release_), kDone});
    std::string ran;
    EXPECT_EQ(RunUpdater(ran), kDone);
    EXPECT_EQ(ran, "new");
    EXPECT_EQ(tmp_.Read("program/core/addb.txt"), "#VERSION 2006.11.1\n#NAME b\n");
    EXPECT_EQ(tmp_.Read("program/log/scan.log"), "kept");
    for (const auto& e : fs::directory_iterator(program_)) {
        EXPECT_NE(e.path().filename().string().rfind(".VLU", 0), 0u) << e.path();
    }
}

}  // namespace
}  // namespace veldan::test
