#pragma once
// Processes, windows and the launcher of a machine image, from machine.ini.
// Processes never really run: ending one removes it from the list, closes its
// windows and releases the files it held; a launch is only recorded. Safe to
// use from several threads (the cure's worker ends programs while the window's
// thread may save the machine).

#include <mutex>
#include <string>
#include <vector>

#include "machine/folder/host_paths.h"
#include "machine/folder/machine_ini.h"
#include "machine/launcher.h"
#include "machine/processes.h"
#include "machine/windows.h"

namespace veldan::machine::image {

inline constexpr WinError ERROR_INVALID_WINDOW_HANDLE = 1400;

class ImageProcesses final : public Processes, public Windows {
  public:
    ImageProcesses(const HostPaths& paths, std::vector<ProcessSpec> processes,
                   std::vector<WindowSpec> windows);

    // Processes
    std::vector<ProcessInfo> List() const override;
    WinError Terminate(std::uint32_t id, std::uint32_t exitCode) override;
    WinError AdjustPrivilege(std::string_view privilege, bool enable) override;

    // Whether the user holds administrative rights (machine.ini admin=).
    void setAdmin(bool admin) { admin_ = admin; }

    // Windows
    std::vector<WindowInfo> Enumerate() const override;
    std::uint32_t FindByClass(std::string_view className) const override;
    WinError PostMessage(std::uint32_t handle, std::uint32_t message) override;

    // True when a running process holds the host file open (its image or a held file).
    bool IsHeld(const std::string& hostPath) const;

    // Ends every process and closes every window, as a restart does.
    void EndAll();

    // What is still running / open, for saving machine.ini.
    std::vector<ProcessSpec> RunningProcesses() const;
    std::vector<WindowSpec> OpenWindows() const;

  private:
    bool admin_ = true;
    struct Process {
        ProcessSpec config;
        std::uint32_t id;
        bool running = true;
    };
    struct Window {
        WindowSpec config;
        std::uint32_t handle;
        std::uint32_t processId;  // 0 when no process of that name exists
        bool open = true;
    };
    const HostPaths& paths_;
    mutable std::mutex mutex_;  // guards processes_ and windows_
    std::vector<Process> processes_;
    std::vector<Window> windows_;
};

class ImageLauncher final : public Launcher {
  public:
    // Records the command line; programs of the image cannot run here (ERROR_NOT_SUPPORTED).
    WinError RunAndWait(std::string_view commandLine, std::uint32_t& exitCode) override;
    // Records the file and parameters; ERROR_NOT_SUPPORTED.
    WinError ShellOpen(std::string_view file, std::string_view parameters) override;

    // Every request in order: the command line, or the file, a blank and the parameters.
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

}  // namespace veldan::machine::image
