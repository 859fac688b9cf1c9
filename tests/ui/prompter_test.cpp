// Opening the saved log: the desktop's opener (xdg-open) is started with the
// file, and only when it reports that nothing could open the file does the
// program hear of the failure.
#include "ui/prompter.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QWidget>
#include <filesystem>

#include "support/temp_dir.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

class ViewerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::EnsureQtApp(); }
    void SetUp() override {
        oldPath = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(dir.str() + "/bin:") + oldPath);
    }
    void TearDown() override { qputenv("PATH", oldPath); }

    // An xdg-open that writes its argument to opened.txt and exits with `status`.
    void Opener(int status) {
        const auto script =
            dir.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + dir.str() +
                                          "/opened.txt\"\nexit " + std::to_string(status) + "\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    // Opens the log and waits for the opener to end; true when `failed` was called.
    bool Open() {
        bool failed = false;
        QtPrompter prompter;
        prompter.OpenInTextViewer(&owner, log, [&failed] { failed = true; });
        // The opener is deleted once its exit status has been handled.
        EXPECT_TRUE(test::WaitFor(
            [] { return QCoreApplication::instance()->findChildren<QProcess*>().isEmpty(); }));
        return failed;
    }

    test::TempDir dir;
    QByteArray oldPath;
    QWidget owner;
    const QString log = QString::fromStdString(dir.str() + "/scanlog_1.txt");
};

TEST_F(ViewerTest, AnOpenerThatSucceedsIsAllThereIs) {
    Opener(0);
    EXPECT_FALSE(Open());
    EXPECT_EQ(dir.Read("opened.txt"), log.toStdString());
}

TEST_F(ViewerTest, AnOpenerThatFindsNothingToOpenWithIsReported) {
    Opener(3);  // xdg-open: "no method available for opening"
    EXPECT_TRUE(Open());
    EXPECT_EQ(dir.Read("opened.txt"), log.toStdString());
}

}  // namespace
}  // namespace veldan::ui
