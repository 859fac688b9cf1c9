#include "machine/win32/live_machine.h"

#include "machine/win32/pending_deletes.h"

namespace veldan::machine::win32 {

const char* const LiveMachine::kRestartNote = "pending until Windows restarts";

LiveMachine::LiveMachine(std::unique_ptr<Clock> clock, Win32Registry::Roots roots)
    : clock_(clock ? std::move(clock) : std::make_unique<RealClock>()),
      registry_(std::move(roots), system_.Family()),
      files_(system_.Family(), profiles_),
      shellLinks_(profiles_),
      user_(system_.UserName()) {
    if (system_.Family() != OsFamily::Nt) return;  // the 9x family has no privileges
    for (const char* privilege : {"SeDebugPrivilege", "SeTakeOwnershipPrivilege",
                                  "SeBackupPrivilege", "SeRestorePrivilege"}) {
        if (processes_.AdjustPrivilege(privilege, true) != ERROR_SUCCESS) {
            missing_.emplace_back(privilege);
        }
    }
}

bool LiveMachine::Save(MachineError& error) {
    const bool administrator = system_.Family() != OsFamily::Nt || RunsAsAdministrator();
    return !denied_.Take(administrator, error);
}

std::vector<std::string> LiveMachine::PendingDeletes() const {
    if (system_.Family() != OsFamily::Nt) return WininitDeletes(profiles_);
    return PendingFileDeletes(registry_);
}

std::vector<RestartAction> LiveMachine::Restart() {
    std::vector<RestartAction> actions;
    for (std::string& path : PendingDeletes()) {
        actions.push_back(RestartAction{std::move(path), {}, false, kRestartNote});
    }
    return actions;
}

}  // namespace veldan::machine::win32
