#pragma once
// The machine Veldan runs on (Windows build): every service over the Win32 API.
// It is a LoadedMachine like an image or an installation, so that callers never
// ask which kind they hold; changes take effect at once, so a save has nothing
// to write but reports a change Windows refused for lack of rights, and a
// restart is the user's to make. On the NT family it enables the privileges a
// cure needs when it opens.

#include <memory>
#include <string>
#include <vector>

#include "machine/loaded_machine.h"
#include "machine/win32/denied_writes.h"
#include "machine/win32/win32_file_system.h"
#include "machine/win32/win32_registry.h"
#include "machine/win32/win32_services.h"

namespace veldan::machine::win32 {

class LiveMachine final : public LoadedMachine {
  public:
    // The live machine with the registry at `roots` (LiveRoots, or a scratch
    // key in tests); `clock` null means the real clock.
    // The note of each deletion Restart reports.
    static const char* const kRestartNote;

    explicit LiveMachine(std::unique_ptr<Clock> clock = nullptr,
                         Win32Registry::Roots roots = Win32Registry::LiveRoots());

    Registry& registry() override { return denied_; }
    FileSystem& files() override { return files_; }
    Profiles& profiles() override { return profiles_; }
    ShellLinks& shellLinks() override { return shellLinks_; }
    Processes& processes() override { return processes_; }
    Windows& windows() override { return windows_; }
    Launcher& launcher() override { return launcher_; }
    Clock& clock() override { return *clock_; }
    SystemInfo& system() override { return system_; }

    const std::string& folder() const override { return folder_; }
    const std::string& userName() const override { return user_; }
    // Fails (kind ReadOnly) when Windows refused a change of HKEY_LOCAL_MACHINE
    // or HKEY_CLASSES_ROOT since the last save for lack of rights.
    bool Save(MachineError& error) override;
    bool CheckWritable(MachineError& error) const override { return true; }
    std::vector<std::string> Backups() const override { return {}; }
    // Never restarts the computer: the user does. Each pending deletion is
    // reported as not done yet, with a note that Windows carries it out when it
    // restarts.
    std::vector<RestartAction> Restart() override;
    // The deletions Windows carries out at its next start: the Session
    // Manager's PendingFileRenameOperations on the NT family, Wininit.ini
    // [Rename] on the 9x family.
    std::vector<std::string> PendingDeletes() const override;

    // The privileges of a cure (SeDebugPrivilege, SeTakeOwnershipPrivilege,
    // SeBackupPrivilege, SeRestorePrivilege) the user does not hold.
    const std::vector<std::string>& missingPrivileges() const { return missing_; }

  private:
    Win32SystemInfo system_;
    std::unique_ptr<Clock> clock_;
    Win32Registry registry_;
    DeniedWrites denied_{registry_};
    Win32Profiles profiles_;
    Win32FileSystem files_;
    Win32ShellLinks shellLinks_;
    Win32Processes processes_;
    Win32Windows windows_;
    Win32Launcher launcher_;
    std::string folder_;
    std::string user_;
    std::vector<std::string> missing_;
};

}  // namespace veldan::machine::win32
