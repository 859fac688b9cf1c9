// The update check of the main window against a loopback update server: the
// answer is trimmed and stored, compared by bytes with the database version,
// the user is asked only about a greater version, Yes copies and starts the
// updater and closes the window, an old updater copy is ended and removed at
// every check, and failures keep the program running. The last case runs the
// whole chain: check, the real updater copy, the installed release's Veldan.

#include "host/file_read.h"
#include "ui/update_check.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/http_server.h"
#include "support/release_keys.h"
#include "support/run_program.h"
#include "support/update_release.h"
#include "text/codepage.h"
#include "ui/host_process.h"
#include "ui/ui_fixture.h"

namespace veldan::ui {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::HttpAnswer;
using test::HttpServer;

struct Started {
    std::string program;
    std::vector<std::string> args;
};

class UpdateCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::BypassProxies();
        ::setenv("VELDAN_UPDATE_HOST", server_.HostPort().c_str(), 1);
        app_ = &ui_.Load();
        fs::create_directories(app_->programFolder);
        fs::create_directories(temp_);
        updater_ = app_->programFolder + "/VeldanUpdate";
        ui_.rig.dir.Write("program/VeldanUpdate", "#!/bin/sh\necho updater\n");
        fs::permissions(updater_, fs::perms::owner_all);
        check_.startProgram = [this](const std::string& p, const std::vector<std::string>& a) {
            started_.push_back({p, a});
            return startResult_;
        };
        check_.endProcesses = [this](const std::string& path) {
            ended_.push_back(path);
            return 0;
        };
        check_.tempFolder = [this] { return temp_; };
        owner_ = std::make_unique<QWidget>();
        owner_->show();
    }
    void TearDown() override { ::unsetenv("VELDAN_UPDATE_HOST"); }

    // Serves `version` as the newest version text.
    void ServeVersion(const std::string& version) {
        HttpAnswer answer;
        answer.body = version;
        server_.Answer("/veldan/newversion", answer);
    }
    // Runs one check with the loaded database at `databaseVersion`.
    bool Check(const std::string& databaseVersion) {
        app_->ctx.db().DatabaseVersion = databaseVersion;
        check_.Start(app_->programFolder);
        return check_.Settle(owner_.get(), *app_);
    }
    std::string copy() const { return temp_ + "/VeldanUpdate"; }
    const std::vector<test::Asked>& asked() const { return ui_.prompter.asked; }
    std::string Debug() const { return ui_.rig.debug.Text(); }

    test::UiRig ui_;
    AppState* app_ = nullptr;
    HttpServer server_;
    std::string temp_ = ui_.rig.dir.str() + "/temp";
    std::string updater_;
    std::unique_ptr<QWidget> owner_;  // made once the application exists
    CUpdateCheck check_{ui_.rig.debug};
    std::vector<Started> started_;
    std::vector<std::string> ended_;
    bool startResult_ = true;
};

// When there is nothing newer: no question, the scan may start.

TEST_F(UpdateCheckTest, EqualVersionAsksNothing) {
    ServeVersion("2006.9.1");

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(app_->latestVersion, "2006.9.1");
    EXPECT_NE(Debug().find("2006.9.1 <----> 2006.9.1\n"), std::string::npos);
    ASSERT_EQ(server_.RequestCount(), 1u);
    EXPECT_EQ(server_.Requests()[0].target, "/veldan/newversion");
    EXPECT_TRUE(started_.empty());
}

TEST_F(UpdateCheckTest, VersionsCompareByCharactersNotByNumbers) {
    // "1" < "9" at the first difference, although month 10 follows month 9.
    ServeVersion("2006.10.1");

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(app_->latestVersion, "2006.10.1");
}

TEST_F(UpdateCheckTest, UnreachableServerAsksNothingAndSaysWhyOnTheDebugChannel) {
    int port = 0;
    {
        HttpServer gone;
        port = gone.port();
    }
    ::setenv("VELDAN_UPDATE_HOST", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_TRUE(asked().empty());
    EXPECT_EQ(app_->latestVersion, "");
    EXPECT_NE(Debug().find("Connection failed\n"), std::string::npos);
    EXPECT_NE(Debug().find("2006.9.1 <----> \n"), std::string::npos);
}

TEST_F(UpdateCheckTest, MissingVersionTextAsksNothing) {
    // 404: nothing stored, the failure goes to the debug channel only.
    EXPECT_TRUE(Check(""));

    EXPECT_TRUE(asked().empty());
    EXPECT_NE(Debug().find("Not found\n"), std::string::npos);
}

TEST_F(UpdateCheckTest, BlankAnswerStaysEmpty) {
    ServeVersion(" \r\n");

    EXPECT_TRUE(Check(""));

    EXPECT_EQ(app_->latestVersion, "");
    EXPECT_TRUE(asked().empty());
}

// A newer version: the question.

TEST_F(UpdateCheckTest, AnswerIsTrimmedBeforeItIsStoredAndCompared) {
    ServeVersion("  2006.9.2 \r\n");

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_EQ(app_->latestVersion, "2006.9.2");
    EXPECT_EQ(check_.latestVersion(), "2006.9.2");
    EXPECT_NE(Debug().find("2006.9.1 <----> 2006.9.2\n"), std::string::npos);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked()[0].text, QString::fromUtf8(kUpdatePrompt.data(), kUpdatePrompt.size()));
    EXPECT_EQ(asked()[0].caption, QStringLiteral("VELDAN Update"));
    EXPECT_EQ(asked()[0].icon, MsgIcon::Question);
    EXPECT_EQ(asked()[0].buttons, MsgButtons::YesNo);
}

TEST_F(UpdateCheckTest, EmptyDatabaseVersionAsksAboutAnyAnswer) {
    ServeVersion("0");

    EXPECT_TRUE(Check(""));

    EXPECT_EQ(asked().size(), 1u);
}

TEST_F(UpdateCheckTest, NoKeepsTheProgramRunning) {
    ServeVersion("2006.9.2");
    ui_.prompter.answers = {IDNO};

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_EQ(asked().size(), 1u);
    EXPECT_TRUE(started_.empty());
    EXPECT_FALSE(fs::exists(copy()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner_->isVisible());
}

TEST_F(UpdateCheckTest, YesStartsAFreshUpdaterCopyAndClosesTheWindow) {
    ServeVersion("2006.9.2");
    ui_.prompter.answers = {IDYES};
    ui_.rig.dir.Write("temp/VeldanUpdate", "an updater of an earlier update");

    EXPECT_FALSE(Check("2006.9.1"));

    std::string copied;
    ASSERT_TRUE(host::ReadWholeFile(copy(), copied));
    EXPECT_EQ(copied, "#!/bin/sh\necho updater\n");
    EXPECT_EQ(::access(copy().c_str(), X_OK), 0);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].program, copy());
    EXPECT_EQ(started_[0].args, std::vector<std::string>{app_->programFolder});
    EXPECT_TRUE(test::WaitFor([this] { return !owner_->isVisible(); }));
}

// When the updater cannot be had, nothing closes and the scan may start.

TEST_F(UpdateCheckTest, MissingUpdaterKeepsTheProgramRunning) {
    ServeVersion("2006.9.2");
    ui_.prompter.answers = {IDYES};
    fs::remove(updater_);

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_TRUE(started_.empty());
    EXPECT_FALSE(fs::exists(copy()));
    EXPECT_NE(Debug().find("CopyFile... " + updater_ + "\n"), std::string::npos);
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner_->isVisible());
}

TEST_F(UpdateCheckTest, UpdaterThatDoesNotStartKeepsTheProgramRunning) {
    ServeVersion("2006.9.2");
    ui_.prompter.answers = {IDYES};
    startResult_ = false;

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_EQ(started_.size(), 1u);
    EXPECT_FALSE(fs::exists(copy()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner_->isVisible());
}

TEST_F(UpdateCheckTest, WhatCannotBeRemovedAtTheCopyPathIsNeverStarted) {
    // Something that is not the old copy and cannot be deleted stands there.
    ui_.rig.dir.Write("temp/VeldanUpdate/inside", "x");
    ServeVersion("2006.9.2");
    ui_.prompter.answers = {IDYES};

    EXPECT_TRUE(Check("2006.9.1"));

    EXPECT_TRUE(started_.empty());
    EXPECT_TRUE(fs::is_directory(copy()));
}

// The old copy goes at every check.

TEST_F(UpdateCheckTest, OldUpdaterCopyIsEndedAndRemovedAtEveryCheck) {
    ServeVersion("2006.9.1");
    for (int i = 0; i < 2; ++i) {
        ui_.rig.dir.Write("temp/VeldanUpdate", "left from an earlier update");
        ended_.clear();

        EXPECT_TRUE(Check("2006.9.1"));

        EXPECT_EQ(ended_, std::vector<std::string>{copy()});
        EXPECT_FALSE(fs::exists(copy()));
    }
}

TEST_F(UpdateCheckTest, RunningUpdaterCopyIsEndedButOtherProgramsAreNot) {
    ServeVersion("2006.9.1");
    // Two copies of the same program; only the one at the updater's path goes.
    fs::copy_file("/bin/sleep", copy());
    fs::copy_file("/bin/sleep", temp_ + "/other");
    auto spawn = [](const std::string& path) {
        pid_t pid = fork();
        if (pid == 0) {
            ::execl(path.c_str(), path.c_str(), "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    };
    pid_t updater = spawn(copy());
    pid_t other = spawn(temp_ + "/other");
    ASSERT_GT(updater, 0);
    ASSERT_GT(other, 0);
    // Until the child has executed the copy, /proc does not name it yet.
    auto runs = [](pid_t pid, const std::string& path) {
        std::error_code ec;
        return fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec) == fs::path(path);
    };
    ASSERT_TRUE(test::WaitFor([&] { return runs(updater, fs::canonical(copy())); }));
    check_.endProcesses = EndHostProcessesRunning;

    EXPECT_TRUE(Check("2006.9.1"));

    int status = 0;
    ASSERT_EQ(::waitpid(updater, &status, WNOHANG), updater) << "the old updater still runs";
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(fs::exists(copy()));
    EXPECT_EQ(::waitpid(other, &status, WNOHANG), 0) << "another program was ended";
    ::kill(other, SIGKILL);
    ::waitpid(other, &status, 0);
}

TEST(UpdateCheckCompare, ComparesUnsignedBytes) {
    EXPECT_TRUE(CUpdateCheck::IsNewer("2006.9.2", "2006.9.1"));
    EXPECT_FALSE(CUpdateCheck::IsNewer("2006.9.1", "2006.9.1"));
    EXPECT_TRUE(CUpdateCheck::IsNewer("2006.9.1a", "2006.9.1"));
    // Korean text sorts after every ASCII text, as its lead bytes are above 0x7F.
    EXPECT_TRUE(CUpdateCheck::IsNewer("가", "z"));
    EXPECT_FALSE(CUpdateCheck::IsNewer("z", "가"));
    EXPECT_FALSE(CUpdateCheck::IsNewer("", ""));
    EXPECT_EQ(CUpdateCheck::UpdaterCopyPath("/tmp/"), "/tmp/VeldanUpdate");
}

// The whole chain with the real updater: the check copies and starts it, it
// installs the server's release and starts the new Veldan.
TEST_F(UpdateCheckTest, YesInstallsTheReleaseThroughTheRealUpdater) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fs::copy_file(test::ProgramFolder() + "/VeldanUpdate", updater_,
                  fs::copy_options::overwrite_existing);
    const std::string marker = ui_.rig.dir.str() + "/veldan-ran";
    ServeVersion("2006.9.2\n");
    test::TrustReleaseKey(app_->programFolder, test::SharedReleaseKeys());
    test::ServeSignedRelease(
        server_, test::BuildMarkerRelease("2006.9.2", marker, {{"data/addb", "new database"}}),
        test::SharedReleaseKeys());
    ui_.prompter.answers = {IDYES};
    CUpdateCheck real(ui_.rig.debug);
    real.tempFolder = [this] { return temp_; };
    app_->ctx.db().DatabaseVersion = "2006.9.1";

    real.Start(app_->programFolder);
    EXPECT_FALSE(real.Settle(owner_.get(), *app_));

    ASSERT_TRUE(test::WaitForFile(marker, 60s)) << "the new Veldan was not started";
    std::vector<std::string> ran = test::ReadMarker(marker);
    ASSERT_GE(ran.size(), 2u);
    EXPECT_EQ(ran[0], "2006.9.2");
    EXPECT_EQ(fs::canonical(ran[1]), fs::canonical(app_->programFolder));
    EXPECT_EQ(ui_.rig.dir.Read("program/data/addb"), "new database");
    EXPECT_TRUE(fs::exists(copy()));

    // The next start removes the copy the update ran from.
    CUpdateCheck next(ui_.rig.debug);
    next.tempFolder = [this] { return temp_; };
    app_->ctx.db().DatabaseVersion = "2006.9.2";
    next.Start(app_->programFolder);
    EXPECT_TRUE(next.Settle(nullptr, *app_));
    EXPECT_FALSE(fs::exists(copy()));
}

}  // namespace
}  // namespace veldan::ui
