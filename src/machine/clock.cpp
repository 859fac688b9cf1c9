#include "machine/clock.h"

#include <chrono>
#include <thread>

namespace veldan::machine {
namespace {

std::uint64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

RealClock::RealClock() : start_(SteadyMilliseconds()) {}

void RealClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t RealClock::TickCount() const {
    return SteadyMilliseconds() - start_;
}

void ManualClock::Sleep(std::uint32_t milliseconds) {
    now_ += milliseconds;
    ++sleeps_;
}

}  // namespace veldan::machine
