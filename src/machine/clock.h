#pragma once
// Time: sleeps are real in programs and virtual in tests.

#include <cstdint>

namespace veldan::machine {

class Clock {
  public:
    virtual ~Clock() = default;
    // Waits `milliseconds` (Sleep).
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Milliseconds since some fixed start (GetTickCount).
    virtual std::uint64_t TickCount() const = 0;
};

// The host's steady clock and real sleeps.
class RealClock final : public Clock {
  public:
    RealClock();
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t TickCount() const override;

  private:
    std::uint64_t start_;
};

// The clock of a machine where nothing runs (an image, an offline disk): time
// passes as on the host, but a sleep returns at once and counts as passed,
// since waiting for another program to react only costs the user time.
class NoWaitClock final : public Clock {
  public:
    void Sleep(std::uint32_t milliseconds) override { slept_ += milliseconds; }
    std::uint64_t TickCount() const override { return host_.TickCount() + slept_; }

  private:
    RealClock host_;  // the time that really passed
    std::uint64_t slept_ = 0;
};

// A clock that only moves when slept on, for tests: sleeps return at once and
// advance the time.
class ManualClock final : public Clock {
  public:
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t TickCount() const override { return now_; }
    // Number of Sleep calls so far.
    int sleeps() const { return sleeps_; }
    // Total milliseconds slept.
    std::uint64_t slept() const { return now_; }

  private:
    std::uint64_t now_ = 0;
    int sleeps_ = 0;
};

}  // namespace veldan::machine
