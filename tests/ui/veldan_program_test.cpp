// The Veldan program as users start it: its options, and one running copy.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "ui/instance_checker.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

namespace fs = std::filesystem;

class VeldanProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureQtApp();
        locks = (dir.path() / "locks").string();
        runtime = (dir.path() / "runtime").string();
        fs::create_directories(locks);
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        machineFolder = (dir.path() / "machine").string();
        test::CopyTree(test::SourceFolder() + "/examples/machines/sample-xp", machineFolder);
    }
    QProcessEnvironment Env() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VELDAN_INSTANCE_DIR", QString::fromStdString(locks));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        env.remove("VELDAN_DEBUG");
        env.insert("VELDAN_UPDATE_HOST", "127.0.0.1:9");  // nothing listens there
        return env;
    }
    // Starts Veldan with `args`; the caller waits for it.
    void Start(QProcess& p, const QStringList& args) {
        p.setProcessEnvironment(Env());
        p.start(QString::fromStdString(test::ProgramFolder() + "/Veldan"), args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }

    test::TempDir dir;
    std::string locks, runtime, machineFolder;
};

TEST_F(VeldanProgramTest, UnknownOptionsAreRefusedWithTheUsage) {
    QProcess p;
    Start(p, {"--frobnicate"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("usage: Veldan"));
    QProcess help;
    Start(help, {"--help"});
    ASSERT_TRUE(help.waitForFinished(20000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--machine DIR"));
}

TEST_F(VeldanProgramTest, ASecondCopyEndsAtOnceWithoutAWord) {
    QProcess first;
    Start(first, {"--machine", QString::fromStdString(machineFolder)});
    setenv("VELDAN_INSTANCE_DIR", locks.c_str(), 1);
    CInstanceChecker probe("VELDAN");
    bool running = test::WaitFor([&] { return probe.IsPreviousInstanceRunning(); }, 30000);
    unsetenv("VELDAN_INSTANCE_DIR");
    ASSERT_TRUE(running) << first.readAllStandardError().toStdString();

    QProcess second;
    Start(second, {"--machine", QString::fromStdString(machineFolder)});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished(10000);
    }
}

}  // namespace
}  // namespace veldan::ui
