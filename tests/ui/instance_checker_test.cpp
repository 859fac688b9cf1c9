// One running copy at a time: the instance lock lives exactly as long as the
// process that took it, and the start-up lock serialises starts.
#include "ui/instance_checker.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace veldan::ui {
namespace {

class InstanceCheckerTest : public ::testing::Test {
  protected:
    void SetUp() override { setenv("VELDAN_INSTANCE_DIR", dir.path().c_str(), 1); }
    void TearDown() override { unsetenv("VELDAN_INSTANCE_DIR"); }
    test::TempDir dir;
};

TEST_F(InstanceCheckerTest, TheFirstCopyIsSeenUntilItEnds) {
    {
        CInstanceChecker first("VELDAN");
        ASSERT_EQ(first.LockStartup(), 1);
        EXPECT_FALSE(first.IsPreviousInstanceRunning());
        ASSERT_EQ(first.TrackThisInstance(), 1);

        CInstanceChecker second("VELDAN");
        ASSERT_EQ(second.LockStartup(), 1);  // the first released it
        EXPECT_TRUE(second.IsPreviousInstanceRunning());
        EXPECT_EQ(second.TrackThisInstance(), 0);
        CInstanceChecker other("OTHER");
        EXPECT_FALSE(other.IsPreviousInstanceRunning());
    }
    // The lock file stays behind, but nothing holds it any more.
    CInstanceChecker later("VELDAN");
    EXPECT_FALSE(later.IsPreviousInstanceRunning());
    EXPECT_EQ(later.TrackThisInstance(), 1);
}

TEST_F(InstanceCheckerTest, AnotherProcessIsSeenWhileItRunsAndNotAfterItDied) {
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toChild[1]);
        close(toParent[0]);
        CInstanceChecker checker("VELDAN");
        checker.LockStartup();
        char ok = checker.TrackThisInstance() == 1 ? '1' : '0';
        (void)!write(toParent[1], &ok, 1);
        char c;
        (void)!read(toChild[0], &c, 1);  // until the parent closes the pipe
        _exit(0);  // ends without any clean-up: the kernel frees the lock
    }
    close(toChild[0]);
    close(toParent[1]);
    char ok = 0;
    ASSERT_EQ(read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');

    CInstanceChecker mine("VELDAN");
    ASSERT_EQ(mine.LockStartup(), 1);
    EXPECT_TRUE(mine.IsPreviousInstanceRunning());
    mine.UnlockStartup();

    close(toChild[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_FALSE(mine.IsPreviousInstanceRunning());
    close(toParent[0]);
}

}  // namespace
}  // namespace veldan::ui
