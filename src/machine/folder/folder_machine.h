#pragma once
// A machine whose drive C: is a host folder: its files, INI files, shell
// links, system information, processes and windows, and the operations left
// for the next restart. The backend supplies the registry and how the machine
// is loaded and written back.

#include <memory>
#include <string>
#include <vector>

#include "machine/folder/host_paths.h"
#include "machine/folder/image_file_system.h"
#include "machine/folder/image_processes.h"
#include "machine/folder/image_profiles.h"
#include "machine/folder/image_shell_links.h"
#include "machine/configured_system_info.h"
#include "machine/folder/machine_ini.h"
#include "machine/loaded_machine.h"

namespace veldan::machine::folder {

// The registry key and value that hold the NT family's pending operations.
inline constexpr std::string_view kSessionManagerKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::string_view kPendingRenamesValue = "PendingFileRenameOperations";

class FolderMachine : public LoadedMachine {
  public:
    ~FolderMachine() override;

    FileSystem& files() override { return *files_; }
    Profiles& profiles() override { return *profiles_; }
    ShellLinks& shellLinks() override { return *links_; }
    Processes& processes() override { return *processes_; }
    Windows& windows() override { return *processes_; }
    Launcher& launcher() override { return launcher_; }
    Clock& clock() override { return *clock_; }
    SystemInfo& system() override { return *system_; }
    using Machine::registry;

    const std::string& folder() const override { return folder_; }
    const std::string& userName() const override { return ini_.user; }

    // Every process ends, every window closes, then the pending operations
    // (Wininit.ini [Rename] on Windows 9x, PendingFileRenameOperations on the
    // NT family) are carried out on the host files in order and cleared.
    std::vector<RestartAction> Restart() override;
    std::vector<std::string> PendingDeletes() const override;

    const image::ImageLauncher& imageLauncher() const { return launcher_; }
    const image::HostPaths& paths() const { return *paths_; }
    const image::MachineIni& ini() const { return ini_; }

  protected:
    // `drive` is the host folder of drive C:; `clock` null means a NoWaitClock.
    FolderMachine(std::string folder, const std::string& drive, std::unique_ptr<Clock> clock);
    // Builds the services over the drive and ini(); registry() must answer by then.
    void Assemble();
    const image::ImageProcesses& imageProcesses() const { return *processes_; }

    std::string folder_;
    image::MachineIni ini_;

  private:
    WinError ScheduleDelete(std::string_view winPath);

    std::unique_ptr<Clock> clock_;
    std::unique_ptr<image::HostPaths> paths_;
    std::unique_ptr<image::ImageProcesses> processes_;
    std::unique_ptr<image::ImageFileSystem> files_;
    std::unique_ptr<image::ImageProfiles> profiles_;
    std::unique_ptr<image::ImageShellLinks> links_;
    std::unique_ptr<ConfiguredSystemInfo> system_;
    image::ImageLauncher launcher_;
};

}  // namespace veldan::machine::folder
