// The clocks of the machine layer: the real one of a running machine (the live
// backend's), the one of a machine where nothing runs, and the tests' manual one.
// Only lower bounds of time are asserted: the tests run on loaded machines.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "machine/clock.h"

namespace veldan::machine {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Milliseconds that passed on the standard library's steady clock since `start`.
std::int64_t PassedSince(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// Every clock: the count never goes back, and a sleep of n milliseconds moves it
// on by about n at least (a real sleep may end up to a timer tick early).
template <typename C>
class ClockTest : public ::testing::Test {
  protected:
    C clock_;
};

using Clocks = ::testing::Types<RealClock, NoWaitClock, ManualClock>;
TYPED_TEST_SUITE(ClockTest, Clocks);

TYPED_TEST(ClockTest, CountNeverGoesBack) {
    std::uint64_t last = this->clock_.TickCount();
    for (int i = 0; i < 2000; ++i) {
        if (i % 200 == 0) this->clock_.Sleep(1);
        const std::uint64_t now = this->clock_.TickCount();
        ASSERT_GE(now, last) << i;
        last = now;
    }
}

TYPED_TEST(ClockTest, SleepMovesTheCountOn) {
    for (std::uint32_t asked : {0u, 20u, 60u}) {
        SCOPED_TRACE(asked);
        const std::uint64_t before = this->clock_.TickCount();
        this->clock_.Sleep(asked);
        EXPECT_GE(this->clock_.TickCount() - before, asked * 3 / 4);
    }
}

TEST(RealClockTest, SleepWaitsOnTheHostClockToo) {
    RealClock clock;
    const auto start = steady_clock::now();
    clock.Sleep(60);
    EXPECT_GE(PassedSince(start), 45);
}

TEST(RealClockTest, CountFollowsTheHostClock) {
    RealClock clock;
    const std::uint64_t before = clock.TickCount();
    std::this_thread::sleep_for(milliseconds(40));
    EXPECT_GE(clock.TickCount() - before, 30u);
}

// A sleep returns at once but counts as passed (a wait of an hour would stop
// the suite), and the host's time passes as well.
TEST(NoWaitClockTest, SleepCountsAndHostTimePasses) {
    NoWaitClock clock;
    const std::uint64_t before = clock.TickCount();
    clock.Sleep(3'600'000);
    clock.Sleep(3'600'000);
    const std::uint64_t slept = clock.TickCount();
    EXPECT_GE(slept - before, 7'200'000u);
    std::this_thread::sleep_for(milliseconds(40));
    EXPECT_GE(clock.TickCount() - slept, 30u);
}

TEST(ManualClockTest, MovesOnlyWhenSleptOn) {
    ManualClock clock;
    EXPECT_EQ(clock.TickCount(), 0u);
    std::this_thread::sleep_for(milliseconds(15));
    EXPECT_EQ(clock.TickCount(), 0u);
    clock.Sleep(5);
    clock.Sleep(3'600'000);
    clock.Sleep(0);
    EXPECT_EQ(clock.TickCount(), 3'600'005u);
    EXPECT_EQ(clock.slept(), 3'600'005u);
    EXPECT_EQ(clock.sleeps(), 3);
}

}  // namespace
}  // namespace veldan::machine
