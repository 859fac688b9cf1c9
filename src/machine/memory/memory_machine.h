#pragma once
// A Windows machine held wholly in memory: a registry tree, drive C: as a tree
// of nodes, INI files on that drive, and processes, windows and a launcher set
// up by whoever owns it. Nothing touches the host. For tests, and for the
// commands that need a machine when none is named.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "machine/configured_system_info.h"
#include "machine/machine.h"
#include "machine/memory/memory_file_system.h"
#include "machine/memory/memory_processes.h"
#include "machine/memory/memory_profiles.h"
#include "machine/memory_registry.h"

namespace veldan::machine::memory {

// Records what it is asked to start; nothing runs (ERROR_NOT_SUPPORTED).
class MemoryLauncher final : public Launcher {
  public:
    WinError RunAndWait(std::string_view commandLine, std::uint32_t& exitCode) override;
    WinError ShellOpen(std::string_view file, std::string_view parameters) override;
    // Every request in order: the command line, or the file, a blank and the parameters.
    std::vector<std::string> requests() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

// Internet shortcuts read through the profiles; shell links (.lnk) are not
// read here (ERROR_INVALID_DATA for any file that exists).
class MemoryShellLinks final : public ShellLinks {
  public:
    MemoryShellLinks(const FileSystem& files, const Profiles& profiles)
        : files_(files), profiles_(profiles) {}
    WinError LoadShellLink(std::string_view path, ShellLinkData& link) const override;
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override;

  private:
    const FileSystem& files_;
    const Profiles& profiles_;
};

class MemoryMachine final : public Machine {
  public:
    // An empty machine of the settings' family; `clock` defaults to a NoWaitClock.
    explicit MemoryMachine(const SystemSettings& settings = {},
                           std::unique_ptr<Clock> clock = nullptr);
    ~MemoryMachine() override;

    Registry& registry() override { return registry_; }
    FileSystem& files() override { return files_; }
    Profiles& profiles() override { return profiles_; }
    ShellLinks& shellLinks() override { return links_; }
    Processes& processes() override { return processes_; }
    Windows& windows() override { return processes_; }
    Launcher& launcher() override { return launcher_; }
    Clock& clock() override { return *clock_; }
    SystemInfo& system() override { return system_; }

    using Machine::files;
    using Machine::registry;
    MemoryRegistry& memoryRegistry() { return registry_; }
    MemoryFileSystem& memoryFiles() { return files_; }
    MemoryProcesses& memoryProcesses() { return processes_; }
    const MemoryLauncher& memoryLauncher() const { return launcher_; }

    // The files scheduled for deletion at restart, in order.
    std::vector<std::string> PendingDeletes() const;

  private:
    WinError ScheduleDelete(std::string_view path);

    SystemSettings settings_;
    std::unique_ptr<Clock> clock_;
    MemoryRegistry registry_;
    MemoryProcesses processes_;
    MemoryFileSystem files_;
    MemoryProfiles profiles_;
    MemoryShellLinks links_;
    MemoryLauncher launcher_;
    ConfiguredSystemInfo system_;
};

}  // namespace veldan::machine::memory
