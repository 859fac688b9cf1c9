#pragma once
// A Windows machine held in a host folder (a machine image):
//
//   machine.ini   optional: family, user, folders, processes, windows, protected keys
//   drive_c/      drive C:
//   registry/     *.reg files applied in file-name order
//
// Files change on disk at once; the registry, processes and windows live in
// memory until Save writes them back.
//
// The folder may instead be the root of a Windows NT-family installation (see
// machine/hive/installation.h): drive C: is the folder itself, the registry is
// in its hive files, and nothing runs.

#include <memory>
#include <string>
#include <vector>

#include "machine/folder/host_paths.h"
#include "machine/folder/image_file_system.h"
#include "machine/folder/image_processes.h"
#include "machine/folder/image_profiles.h"
#include "machine/image/image_registry.h"
#include "machine/image/image_save.h"
#include "machine/folder/image_shell_links.h"
#include "machine/folder/image_system_info.h"
#include "machine/folder/machine_ini.h"
#include "machine/machine.h"

namespace veldan::machine::hive {
class HiveRegistry;
}

namespace veldan::machine::image {

// Why an image could not be loaded or saved: the file (a path), the line when
// one is to blame, and what is wrong.
struct ImageError {
    std::string file;
    int line = 0;
    std::string message;
    // Set when an installation's user must be chosen: it has several profiles
    // and none was named, or the named one does not exist. `profiles` names them.
    bool chooseUser = false;
    std::vector<std::string> profiles = {};

    // "file:line: message", "file: message" or "message".
    std::string ToString() const;
};

// How to open a folder that holds a Windows installation; images ignore them.
struct LoadOptions {
    std::string user;    // the user profile to open; "" takes the only one
    bool force = false;  // open hives whose header says they were not cleanly written
};

// What a restart did to one pending operation.
struct RestartAction {
    std::string path;    // the file, as the operation named it
    std::string target;  // rename target; empty for a deletion
    bool done = false;   // false: the file was already gone (skipped) or could not be handled
    std::string note;    // "deleted", "renamed", "already gone", or the failure
};

class ImageMachine final : public Machine {
  public:
    // Loads the image in `folder`. Returns null with `error` filled when the folder,
    // machine.ini or a .reg file cannot be read; nothing is written either way.
    // `clock` defaults to a NoWaitClock: nothing runs on an image to wait for.
    static std::unique_ptr<ImageMachine> Load(const std::string& folder, ImageError& error,
                                              std::unique_ptr<Clock> clock = nullptr);
    // The same for an image or an installation.
    static std::unique_ptr<ImageMachine> Load(const std::string& folder, const LoadOptions& options,
                                              ImageError& error,
                                              std::unique_ptr<Clock> clock = nullptr);
    ~ImageMachine() override;

    Registry& registry() override { return *active_; }
    FileSystem& files() override { return *files_; }
    Profiles& profiles() override { return *profiles_; }
    ShellLinks& shellLinks() override { return *links_; }
    Processes& processes() override { return *processes_; }
    Windows& windows() override { return *processes_; }
    Launcher& launcher() override { return launcher_; }
    Clock& clock() override { return *clock_; }
    SystemInfo& system() override { return *system_; }

    using Machine::registry;
    // The .reg registry of an image; not for an installation.
    ImageRegistry& imageRegistry() { return *registry_; }
    // The hive registry of an installation; null for an image.
    hive::HiveRegistry* hiveRegistry() { return hives_.get(); }
    bool isInstallation() const { return hives_ != nullptr; }
    const ImageLauncher& imageLauncher() const { return launcher_; }
    const HostPaths& paths() const { return *paths_; }
    const std::string& folder() const { return folder_; }
    const MachineIni& ini() const { return ini_; }

    // Writes the registry back into registry/ (one file, replacing the folder
    // atomically) and machine.ini (ended processes and closed windows left out).
    // Returns false with `error` when writing failed; the image on disk is then
    // the one before the call. An installation writes its changed hives instead,
    // each backed up before its first change and replaced whole.
    bool Save(ImageError& error);
    // True when Save may write the machine; false with `error` naming what is
    // read-only. Nothing is written either way.
    bool CheckWritable(ImageError& error) const;
    // Tests only: cuts the next saves short at a step (see image_save.h).
    void SetSaveCutForTesting(SaveCut cut) { saveCut_ = std::move(cut); }

    // A restart: every process ends, every window closes, then the operations
    // pending for the restart are carried out in order and cleared. Not saved.
    std::vector<RestartAction> Restart();

    // The files scheduled for deletion at restart, as Windows paths, in order.
    std::vector<std::string> PendingDeletes() const;

  private:
    ImageMachine() = default;
    WinError ScheduleDelete(std::string_view winPath);
    // Builds the services over paths_, ini_ and the registry.
    void Assemble();
    // Installations (machine/hive/installation_machine.cpp).
    static std::unique_ptr<ImageMachine> LoadInstallation(const std::string& folder,
                                                          const LoadOptions& options,
                                                          ImageError& error,
                                                          std::unique_ptr<Clock> clock);
    bool SaveInstallation(ImageError& error);

    std::string folder_;
    MachineIni ini_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<HostPaths> paths_;
    std::unique_ptr<ImageRegistry> registry_;    // an image's
    std::unique_ptr<hive::HiveRegistry> hives_;  // an installation's
    Registry* active_ = nullptr;                 // the one in use
    std::unique_ptr<ImageProcesses> processes_;
    std::unique_ptr<ImageFileSystem> files_;
    std::unique_ptr<ImageProfiles> profiles_;
    std::unique_ptr<ImageShellLinks> links_;
    std::unique_ptr<ImageSystemInfo> system_;
    ImageLauncher launcher_;
    SaveCut saveCut_;
};

// The registry key and value that hold the NT family's pending operations.
inline constexpr std::string_view kSessionManagerKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::string_view kPendingRenamesValue = "PendingFileRenameOperations";

}  // namespace veldan::machine::image
