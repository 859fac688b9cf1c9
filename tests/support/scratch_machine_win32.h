#pragma once
// The machine of a test image on Windows: the live backend below scratch
// places of its own. Its registry lies below a scratch key (Win32Registry with
// scratch roots), drive C: below a scratch folder (ScratchDrive), and the INI
// files and shortcuts are read and written there through the profile and
// shell-link calls. What a test cannot make the machine it runs on do (other
// programs running, their windows, the family, user and folders of the
// machine) comes from machine.ini as on an image: processes and windows live
// in memory, and each process keeps its files open while it runs, so Windows
// itself refuses to delete them.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "machine/clock.h"
#include "machine/configured_system_info.h"
#include "machine/folder/machine_ini.h"
#include "machine/launcher.h"
#include "machine/loaded_machine.h"
#include "machine/memory/memory_machine.h"  // MemoryLauncher
#include "machine/memory/memory_processes.h"
#include "machine/win32/win32_registry.h"
#include "machine/win32/win32_services.h"
#include "support/scratch_drive_win32.h"
#include "support/scratch_key_win32.h"  // RunningUnderWine

namespace veldan::test {

// What a test image holds on Windows: its scratch key and drive, and
// machine.ini as the last save left it. Shared by the builder and every machine
// loaded from it.
struct ScratchImage {
    ScratchImage();
    ~ScratchImage();

    std::string key;  // the scratch key, a path of HKEY_CURRENT_USER
    ScratchDrive drive;
    machine::image::MachineIni ini;
    // .reg texts not yet applied, by file name (applied in that order).
    std::map<std::string, std::string> pendingRegs;
};

// INI files of the scratch drive; a bare file name is the Windows folder's, as
// the profile calls take it.
class DriveProfiles final : public machine::Profiles {
  public:
    DriveProfiles(const ScratchDrive& drive, std::string windir)
        : drive_(drive), windir_(std::move(windir)) {}
    VELDAN_PROFILES_OPERATIONS(override);

  private:
    std::string Map(std::string_view file) const;

    const ScratchDrive& drive_;
    std::string windir_;
    machine::win32::Win32Profiles live_;
};

// Shortcut files of the scratch drive.
class DriveShellLinks final : public machine::ShellLinks {
  public:
    explicit DriveShellLinks(const ScratchDrive& drive) : drive_(drive), live_(profiles_) {}
    machine::WinError LoadShellLink(std::string_view path,
                                    machine::ShellLinkData& link) const override;
    machine::WinError LoadUrlShortcut(std::string_view path,
                                      machine::UrlShortcutData& link) const override;

  private:
    const ScratchDrive& drive_;
    machine::win32::Win32Profiles profiles_;
    machine::win32::Win32ShellLinks live_;
};

class ScratchMachine final : public machine::LoadedMachine,
                             public machine::Processes,
                             public machine::Windows {
  public:
    explicit ScratchMachine(std::shared_ptr<ScratchImage> image);
    ~ScratchMachine() override;

    machine::Registry& registry() override { return registry_; }
    machine::FileSystem& files() override { return image_->drive; }
    machine::Profiles& profiles() override { return profiles_; }
    machine::ShellLinks& shellLinks() override { return links_; }
    machine::Processes& processes() override { return *this; }
    machine::Windows& windows() override { return *this; }
    machine::Launcher& launcher() override { return launcher_; }
    machine::Clock& clock() override { return clock_; }
    machine::SystemInfo& system() override { return *system_; }
    using machine::Machine::registry;

    const std::string& folder() const override { return image_->drive.root(); }
    const std::string& userName() const override { return image_->ini.user; }
    // Changes are made at once; a save keeps what still runs for the next load,
    // as an image's machine.ini does.
    bool Save(machine::MachineError& error) override;
    bool CheckWritable(machine::MachineError&) const override { return true; }
    std::vector<std::string> Backups() const override { return {}; }
    // Ends every process, then deletes the files scheduled for the restart
    // (those of this machine's drive) and takes them off the machine's list.
    std::vector<machine::RestartAction> Restart() override;
    std::vector<std::string> PendingDeletes() const override;

    // Records what would be started; programs of a test image never run.
    const machine::memory::MemoryLauncher& imageLauncher() const { return launcher_; }

    // Processes: those of machine.ini.
    std::vector<machine::ProcessInfo> List() const override { return running_->List(); }
    machine::WinError Terminate(std::uint32_t id, std::uint32_t exitCode) override;
    machine::WinError AdjustPrivilege(std::string_view privilege, bool enable) override {
        return running_->AdjustPrivilege(privilege, enable);
    }
    // Windows: those of machine.ini.
    std::vector<machine::WindowInfo> Enumerate() const override { return running_->Enumerate(); }
    std::uint32_t FindByClass(std::string_view className) const override {
        return running_->FindByClass(className);
    }
    machine::WinError PostMessage(std::uint32_t handle, std::uint32_t message) override {
        return running_->PostMessage(handle, message);
    }

  private:
    void Release(std::uint32_t processId);

    std::shared_ptr<ScratchImage> image_;
    machine::win32::Win32Registry registry_;
    DriveProfiles profiles_;
    DriveShellLinks links_;
    std::unique_ptr<machine::ConfiguredSystemInfo> system_;
    std::unique_ptr<machine::memory::MemoryProcesses> running_ =
        std::make_unique<machine::memory::MemoryProcesses>();
    std::map<std::uint32_t, std::string> processNames_;  // id -> machine.ini section
    std::map<std::uint32_t, std::string> windowNames_;   // handle -> machine.ini section
    std::mutex heldMutex_;
    std::multimap<std::uint32_t, void*> held_;  // process id -> file it keeps open
    machine::ManualClock clock_;
    machine::memory::MemoryLauncher launcher_;
};

}  // namespace veldan::test
