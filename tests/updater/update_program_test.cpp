// The updater's steps against a loopback update server: the release lands in
// the program folder with its sub-folders, the temporary archive never stays,
// Veldan is started again whatever happened, failures of the download stay
// silent, failures of the installation are reported and leave the program
// folder as it was, and a wrong start does nothing but say so. Every release
// is signed; unsigned, forged and older releases are refused and reported.

#include "updater/update_program.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/http_server.h"
#include "support/release_keys.h"
#include "support/temp_dir.h"
#include "support/update_release.h"
#include "support/zip_writer.h"

namespace veldan::updater {
namespace {

namespace fs = std::filesystem;
using test::HttpAnswer;
using test::HttpServer;
using test::TempDir;
using test::ZipFileOptions;
using test::ZipWriter;

// What the updater showed and started.
struct Recorder {
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> started;  // program, working folder
    int closed = 0;

    UpdateHooks Hooks() {
        UpdateHooks hooks;
        hooks.showStatus = [this](const std::string& t) { statuses.push_back(t); };
        hooks.closeStatus = [this] { ++closed; };
        hooks.message = [this](const std::string& t) { messages.push_back(t); };
        hooks.start = [this](const std::string& p, const std::string& f) {
            started.push_back({p, f});
        };
        return hooks;
    }
};

// The names in `folder`, sorted; "" for a missing folder.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UpdateProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::BypassProxies();
        ::setenv("VELDAN_UPDATE_HOST", server_.HostPort().c_str(), 1);
        fs::create_directories(target());
        fs::create_directories(temp());
        test::TrustReleaseKey(target(), test::SharedReleaseKeys());
    }
    void TearDown() override { ::unsetenv("VELDAN_UPDATE_HOST"); }

    std::string target() const { return (tmp_.path() / "program").string(); }
    std::string temp() const { return (tmp_.path() / "temp").string(); }

    // Serves `zip` as the release archive, signed by the trusted key.
    void Serve(const std::string& zip) {
        test::ServeSignedRelease(server_, zip, test::SharedReleaseKeys());
    }

    int Run(std::vector<std::string> args) {
        UpdateOptions options;
        options.tempFolder = temp();
        return RunUpdate(args, recorder_.Hooks(), debug_, options);
    }
    int RunOnTarget() { return Run({"VeldanUpdate", target()}); }

    // The updater ended its work the way it always must: status window
    // closed, temporary archive gone, no staging folder left, Veldan started
    // in the program folder.
    void ExpectCleanEnd() {
        EXPECT_EQ(recorder_.closed, 1);
        EXPECT_TRUE(Names(temp()).empty());
        for (const std::string& name : Names(target()))
            EXPECT_NE(name.rfind(".VLU", 0), 0u) << name;
        ASSERT_EQ(recorder_.started.size(), 1u);
        EXPECT_EQ(recorder_.started[0].first, target() + "/Veldan");
        EXPECT_EQ(recorder_.started[0].second, target());
    }

    TempDir tmp_;
    HttpServer server_;
    Recorder recorder_;
    text::CaptureDebugSink debug_;
};

TEST_F(UpdateProgramTest, InstallsTheReleaseWithItsFoldersAndStartsVeldan) {
    tmp_.Write("program/data/addb", "old database");
    tmp_.Write("program/log/kept.log", "a scan log");
    ZipWriter zip;
    ZipFileOptions stored;
    stored.method = 0;
    zip.AddFile("Veldan", "new program", stored);
    zip.AddFile("data/addb", "new database");
    zip.AddFolder("core/");
    zip.AddFile("core/lists/killbit.txt", "{00000000-0000-0000-0000-000000000001} x");
    Serve(zip.Finish());

    EXPECT_EQ(RunOnTarget(), kUpdateDone);

    EXPECT_EQ(tmp_.Read("program/Veldan"), "new program");
    EXPECT_EQ(tmp_.Read("program/data/addb"), "new database");
    EXPECT_EQ(tmp_.Read("program/core/lists/killbit.txt"),
              "{00000000-0000-0000-0000-000000000001} x");
    EXPECT_EQ(tmp_.Read("program/log/kept.log"), "a scan log");
    EXPECT_EQ(recorder_.statuses, (std::vector<std::string>{std::string(kDownloadingText),
                                                            std::string(kInstallingText)}));
    EXPECT_TRUE(recorder_.messages.empty());
    ASSERT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(server_.Requests()[0].target, "/veldan/bin.zip");
    EXPECT_EQ(server_.Requests()[1].target, "/veldan/bin.zip.sig");
    ExpectCleanEnd();
}

TEST_F(UpdateProgramTest, TakesTheHostFromTheProgramFolderSettings) {
    ::unsetenv("VELDAN_UPDATE_HOST");
    tmp_.Write("program/Veldan.ini", "[VELDAN]\nupdatehost=" + server_.HostPort() + "\n");
    ZipWriter zip;
    zip.AddFile("data/layout", "main_cx=700\n");
    Serve(zip.Finish());

    EXPECT_EQ(RunOnTarget(), kUpdateDone);

    EXPECT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(tmp_.Read("program/data/layout"), "main_cx=700\n");
}

// Download failures: nothing installed, nothing shown, Veldan started unchanged.

TEST_F(UpdateProgramTest, MissingArchiveInstallsNothingAndStartsVeldan) {
    tmp_.Write("program/data/addb", "old database");

    EXPECT_EQ(RunOnTarget(), kUpdateDownloadFailed);

    EXPECT_EQ(Names(target()), (std::vector<std::string>{"data"}));
    EXPECT_EQ(tmp_.Read("program/data/addb"), "old database");
    EXPECT_EQ(recorder_.statuses, (std::vector<std::string>{std::string(kDownloadingText)}));
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_TRUE(debug_.Contains("GetFile... Not found\n"));
    ExpectCleanEnd();
}

TEST_F(UpdateProgramTest, NoTemporaryFileMeansNoDownloadButVeldanStillStarts) {
    fs::remove(temp());

    EXPECT_EQ(RunOnTarget(), kUpdateNoTempFile);

    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_EQ(Names(target() + "/data"), (std::vector<std::string>{"release.pub"}));
    EXPECT_EQ(recorder_.started.size(), 1u);
    EXPECT_EQ(recorder_.closed, 1);
}

// Installation failures: reported, program folder as it was, clean end.

TEST_F(UpdateProgramTest, DamagedEntryLeavesTheProgramFolderAsItWas) {
    tmp_.Write("program/Veldan", "old program");
    tmp_.Write("program/data/addb", "old database");
    ZipWriter zip;
    zip.AddFile("Veldan", "new program");  // intact, but must not be installed alone
    ZipFileOptions bad;
    bad.corruptCrc = true;
    zip.AddFile("data/addb", "new database", bad);
    Serve(zip.Finish());

    EXPECT_EQ(RunOnTarget(), kUpdateInstallFailed);

    EXPECT_EQ(tmp_.Read("program/Veldan"), "old program");
    EXPECT_EQ(tmp_.Read("program/data/addb"), "old database");
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0],
              std::string(kInstallFailedText) + "\n" + std::string(kArchiveDamagedText));
    EXPECT_EQ(recorder_.statuses.back(), kInstallFailedText);
    EXPECT_TRUE(debug_.Contains("ExtractFile... CRC-32 mismatch data/addb\n"));
    ExpectCleanEnd();
}

TEST_F(UpdateProgramTest, BodyThatIsNoArchiveIsReportedAsDamaged) {
    Serve("<html>Service unavailable</html>");

    EXPECT_EQ(RunOnTarget(), kUpdateInstallFailed);

    EXPECT_EQ(Names(target()), (std::vector<std::string>{"data"}));
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].rfind(std::string(kInstallFailedText), 0), 0u);
    ExpectCleanEnd();
}

TEST_F(UpdateProgramTest, FileThatCannotBeReplacedIsNamedInTheReport) {
    // A folder stands where the release has a file.
    tmp_.Write("program/help.htm/inside", "x");
    ZipWriter zip;
    zip.AddFile("help.htm", "<html>help</html>");
    Serve(zip.Finish());

    EXPECT_EQ(RunOnTarget(), kUpdateInstallFailed);

    EXPECT_TRUE(fs::is_directory(tmp_.path() / "program/help.htm"));
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0],
              std::string(kInstallFailedText) + "\n" + std::string(kCannotWriteText) + "help.htm");
    ExpectCleanEnd();
}

// Refused releases: nothing of the program folder changes, the reason is
// shown, the temporary files go and Veldan starts as before.

class RefusedReleaseTest : public UpdateProgramTest {
  protected:
    void SetUp() override {
        UpdateProgramTest::SetUp();
        tmp_.Write("program/Veldan", "old program");
        tmp_.Write("program/core/addb.txt", "#VERSION 2006.10.2\n#NAME x\n");
        ZipWriter zip;
        zip.AddFile("Veldan", "new program");
        zip.AddFile("core/addb.txt", "#VERSION 2006.11.1\n#NAME y\n");
        release_ = zip.Finish();
        before_ = test::FolderSnapshot(target());
    }
    void ServeRaw(const std::string& zip, const std::string* signature) {
        HttpAnswer answer;
        answer.body = zip;
        server_.Answer("/veldan/bin.zip", answer);
        if (signature != nullptr) {
            answer.body = *signature;
            server_.Answer("/veldan/bin.zip.sig", answer);
        } else {
            server_.Forget("/veldan/bin.zip.sig");
        }
    }
    // The run was refused for `reason`, and nothing but that happened.
    void ExpectRefused(int result, const std::string& reason) {
        EXPECT_EQ(RunOnTarget(), result);
        EXPECT_EQ(test::FolderSnapshot(target()), before_);
        ASSERT_EQ(recorder_.messages.size(), 1u);
        EXPECT_EQ(recorder_.messages[0], std::string(kInstallFailedText) + "\n" + reason);
        EXPECT_EQ(recorder_.statuses.back(), kInstallFailedText);
        ExpectCleanEnd();
    }

    std::string release_;
    std::map<std::string, std::string> before_;
};

TEST_F(RefusedReleaseTest, ReleaseWithoutSignatureIsRefused) {
    ServeRaw(release_, nullptr);
    ExpectRefused(kUpdateNotVerified, std::string(kNoSignatureText));
    EXPECT_TRUE(debug_.Contains("GetFile... Not found"));
}

TEST_F(RefusedReleaseTest, ForgedSignaturesAreRefused) {
    const test::ReleaseKeys& trusted = test::SharedReleaseKeys();
    const std::string good = test::SignRelease(trusted, release_);
    std::string changed = release_;
    changed[changed.size() / 2] ^= 0x01;
    ZipWriter other;
    other.AddFile("Veldan", "another program");
    const std::string otherZip = other.Finish();
    const test::ReleaseKeys stranger = test::MakeReleaseKeys();
    struct Forgery {
        const char* what;
        std::string zip, signature;
    };
    const std::vector<Forgery> forgeries = {
        {"one byte of the archive changed", changed, good},
        {"the signature of another archive", release_, test::SignRelease(trusted, otherZip)},
        {"signed by another key", release_, test::SignRelease(stranger, release_)},
        {"truncated signature", release_, good.substr(0, good.size() - 1)},
        {"signature with a byte more", release_, good + "x"},
        {"empty signature", release_, ""},
    };
    for (const Forgery& f : forgeries) {
        SCOPED_TRACE(f.what);
        recorder_ = Recorder();
        ServeRaw(f.zip, &f.signature);
        ExpectRefused(kUpdateNotVerified, std::string(kBadSignatureText));
    }
}

TEST_F(RefusedReleaseTest, ReleaseIsRefusedWhenTheProgramFolderHasNoTrustedKey) {
    fs::remove(target() + "/data/release.pub");
    before_ = test::FolderSnapshot(target());
    Serve(release_);
    ExpectRefused(kUpdateNotVerified,
                  std::string(kNoReleaseKeyText) + target() + "/data/release.pub");
}

TEST_F(RefusedReleaseTest, KeyThatIsNoPublicKeyTrustsNothing) {
    // A private key put where the public key belongs is not taken.
    tmp_.Write("program/data/release.pub", test::SharedReleaseKeys().privatePem);
    before_ = test::FolderSnapshot(target());
    Serve(release_);
    ExpectRefused(kUpdateNotVerified,
                  std::string(kNoReleaseKeyText) + target() + "/data/release.pub");
}

TEST_F(RefusedReleaseTest, OlderReleaseIsRefusedEvenWhenSigned) {
    ZipWriter zip;
    zip.AddFile("Veldan", "an old program");
    zip.AddFile("core/addb.txt", "#VERSION 2006.10.1\n#NAME y\n");
    Serve(zip.Finish());
    ExpectRefused(kUpdateOlderRelease, std::string(kOlderReleaseText) + "2006.10.1 < 2006.10.2");
    EXPECT_TRUE(debug_.Contains("CheckVersion... 2006.10.1 < 2006.10.2\n"));
}

TEST_F(RefusedReleaseTest, ReleaseWithoutDatabaseHasNoVersionAndIsRefused) {
    ZipWriter zip;
    zip.AddFile("Veldan", "a program of unknown age");
    Serve(zip.Finish());
    ExpectRefused(kUpdateOlderRelease, std::string(kOlderReleaseText) + "- < 2006.10.2");
}

TEST_F(RefusedReleaseTest, NewerOrEqualSignedReleasesAreInstalled) {
    Serve(release_);
    EXPECT_EQ(RunOnTarget(), kUpdateDone);
    EXPECT_EQ(tmp_.Read("program/Veldan"), "new program");
    EXPECT_TRUE(recorder_.messages.empty());
    ExpectCleanEnd();

    // The same release once more: not older than what it installed.
    recorder_ = Recorder();
    EXPECT_EQ(RunOnTarget(), kUpdateDone);
    EXPECT_TRUE(recorder_.messages.empty());
}

// Wrong starts: the message and nothing else.

TEST_F(UpdateProgramTest, WrongStartsOnlyShowTheMessage) {
    const std::vector<std::vector<std::string>> starts = {
        {},
        {"VeldanUpdate"},
        {"VeldanUpdate", target(), target()},
        {"VeldanUpdate", ""},
        {"VeldanUpdate", target() + "/missing"},
    };
    Serve(ZipWriter().Finish());
    for (const auto& args : starts) {
        Recorder recorder;
        UpdateOptions options;
        options.tempFolder = temp();
        EXPECT_EQ(RunUpdate(args, recorder.Hooks(), debug_, options), kUpdateWrongStart)
            << args.size();
        EXPECT_EQ(recorder.messages, (std::vector<std::string>{std::string(kWrongStartText)}));
        EXPECT_TRUE(recorder.statuses.empty());
        EXPECT_TRUE(recorder.started.empty());
        EXPECT_EQ(recorder.closed, 0);
    }
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_TRUE(Names(temp()).empty());
}

TEST(UpdateProgramNames, ArchiveAddressAndTemporaryFolder) {
    EXPECT_EQ(ArchiveAddress("127.0.0.1:8080"), "http://127.0.0.1:8080/veldan/bin.zip");
    EXPECT_EQ(SignatureAddress("127.0.0.1:8080"), "http://127.0.0.1:8080/veldan/bin.zip.sig");
    EXPECT_EQ(ArchiveAddress("https://update.example.org/"),
              "https://update.example.org/veldan/bin.zip");
    EXPECT_EQ(ArchiveAddress("HTTP://update.example.org:81"),
              "HTTP://update.example.org:81/veldan/bin.zip");
    const char* old = std::getenv("TMPDIR");
    std::string saved = old != nullptr ? old : "";
    ::setenv("TMPDIR", "/var/tmp/x//", 1);
    EXPECT_EQ(HostTempFolder(), "/var/tmp/x");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(HostTempFolder(), "/tmp");
    if (old != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

}  // namespace
}  // namespace veldan::updater
