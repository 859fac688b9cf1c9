#pragma once
// Running processes and their top-level windows of an in-memory machine, set
// up by the test or caller that owns it.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "machine/processes.h"
#include "machine/windows.h"

namespace veldan::machine::memory {

// PostMessage to a window that does not exist.
inline constexpr WinError ERROR_INVALID_WINDOW_HANDLE = 1400;

struct MemoryProcess {
    std::string imagePath;           // "C:\\Program Files\\X\\x.exe"
    std::vector<std::string> holds;  // further files held open; the image always is
    bool terminable = true;
};

struct MemoryWindow {
    std::string className;
    std::uint32_t processId = 0;  // 0: no running process owns it
    bool closes = true;           // false: it ignores WM_CLOSE
};

class MemoryProcesses final : public Processes, public Windows {
  public:
    // Starts a process; returns its id.
    std::uint32_t AddProcess(MemoryProcess process);
    // Opens a top-level window at the top of the z-order; returns its handle.
    std::uint32_t AddWindow(MemoryWindow window);
    // Whether the user holds the debug privilege.
    void setAdmin(bool admin) { admin_ = admin; }
    // True when a running process holds the file (paths compare without regard to ASCII case).
    bool IsHeld(std::string_view path) const;

    std::vector<ProcessInfo> List() const override;
    WinError Terminate(std::uint32_t id, std::uint32_t exitCode) override;
    WinError AdjustPrivilege(std::string_view privilege, bool enable) override;

    std::vector<WindowInfo> Enumerate() const override;
    std::uint32_t FindByClass(std::string_view className) const override;
    WinError PostMessage(std::uint32_t handle, std::uint32_t message) override;

  private:
    struct Process {
        std::uint32_t id;
        MemoryProcess info;
    };
    struct Window {
        std::uint32_t handle;
        MemoryWindow info;
    };
    mutable std::mutex mutex_;
    std::vector<Process> processes_;
    std::vector<Window> windows_;  // z-order, top first
    std::uint32_t nextId_ = 1000;
    std::uint32_t nextHandle_ = 0x10010;
    bool admin_ = true;
};

}  // namespace veldan::machine::memory
