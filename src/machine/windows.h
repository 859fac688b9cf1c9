#pragma once
// Top-level windows of the machine's desktop.

#include <cstdint>
#include <string>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

struct WindowInfo {
    std::uint32_t handle = 0;
    std::string className;
    std::uint32_t processId = 0;  // 0 when no running process owns it
};

class Windows {
  public:
    virtual ~Windows() = default;

    // The top-level windows in z-order (EnumWindows).
    virtual std::vector<WindowInfo> Enumerate() const = 0;

    // Handle of the first top-level window of the class (FindWindow with no
    // title; the class name compares without regard to ASCII case), or 0.
    virtual std::uint32_t FindByClass(std::string_view className) const = 0;

    // Posts a message (PostMessage). WM_CLOSE closes a window that honours it.
    [[nodiscard]] virtual WinError PostMessage(std::uint32_t handle, std::uint32_t message) = 0;
};

}  // namespace veldan::machine
