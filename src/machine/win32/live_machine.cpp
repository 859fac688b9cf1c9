#include "machine/win32/live_machine.h"

#include "machine/win32/pending_deletes.h"

namespace veldan::machine::win32 {

LiveMachine::LiveMachine(std::unique_ptr<Clock> clock, Win32Registry::Roots roots)
    : clock_(clock ? std::move(clock) : std::make_unique<RealClock>()),
      registry_(std::move(roots), system_.Family()),
      files_(system_.Family(), profiles_),
      shellLinks_(profiles_),
      user_(system_.UserName()) {}

std::vector<std::string> LiveMachine::PendingDeletes() const {
    return PendingFileDeletes(registry_);
}

}  // namespace veldan::machine::win32
