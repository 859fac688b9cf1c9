#include "machine/folder/image_processes.h"

#include "text/strings.h"

namespace veldan::machine::image {
namespace {

// The machine.ini entries of the items whose `flag` is set.
template <typename Item>
auto ConfigsWhere(const std::vector<Item>& items, bool Item::*flag) {
    std::vector<decltype(Item::config)> out;
    for (const Item& item : items) {
        if (item.*flag) out.push_back(item.config);
    }
    return out;
}

}  // namespace

ImageProcesses::ImageProcesses(const HostPaths& paths, std::vector<ProcessSpec> processes,
                               std::vector<WindowSpec> windows)
    : paths_(paths) {
    // Ids and handles follow the section order, so they are the same every load.
    std::uint32_t id = 1000;
    for (auto& p : processes) {
        id += 4;
        processes_.push_back(Process{std::move(p), id, true});
    }
    std::uint32_t handle = 0x10000;
    for (auto& w : windows) {
        handle += 0x12;
        std::uint32_t owner = 0;
        for (const auto& p : processes_) {
            if (text::EqualsNoCase(p.config.name, w.process)) owner = p.id;
        }
        windows_.push_back(Window{std::move(w), handle, owner, true});
    }
}

std::vector<ProcessInfo> ImageProcesses::List() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ProcessInfo> out;
    for (const auto& p : processes_) {
        if (p.running) out.push_back(ProcessInfo{p.id, p.config.image});
    }
    return out;
}

WinError ImageProcesses::Terminate(std::uint32_t id, std::uint32_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& p : processes_) {
        if (p.id != id || !p.running) continue;
        if (!p.config.terminable) return ERROR_ACCESS_DENIED;
        p.running = false;
        // A process's windows go with it.
        for (auto& w : windows_) {
            if (w.processId == id) w.open = false;
        }
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_PARAMETER;
}

std::vector<WindowInfo> ImageProcesses::Enumerate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<WindowInfo> out;
    for (const auto& w : windows_) {
        if (w.open) out.push_back(WindowInfo{w.handle, w.config.className, w.processId});
    }
    return out;
}

std::uint32_t ImageProcesses::FindByClass(std::string_view className) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& w : windows_) {
        if (w.open && text::EqualsNoCase(w.config.className, className)) return w.handle;
    }
    return 0;
}

WinError ImageProcesses::PostMessage(std::uint32_t handle, std::uint32_t message) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& w : windows_) {
        if (w.handle != handle || !w.open) continue;
        if (message == WM_CLOSE && w.config.closes) w.open = false;
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_WINDOW_HANDLE;
}

bool ImageProcesses::IsHeld(const std::string& hostPath) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : processes_) {
        if (!p.running) continue;
        std::string held;
        if (paths_.Resolve(p.config.image, held) == ERROR_SUCCESS && held == hostPath) return true;
        for (const auto& h : p.config.holds) {
            if (paths_.Resolve(h, held) == ERROR_SUCCESS && held == hostPath) return true;
        }
    }
    return false;
}

void ImageProcesses::EndAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& p : processes_) p.running = false;
    for (auto& w : windows_) w.open = false;
}

std::vector<ProcessSpec> ImageProcesses::RunningProcesses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ConfigsWhere(processes_, &Process::running);
}

std::vector<WindowSpec> ImageProcesses::OpenWindows() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ConfigsWhere(windows_, &Window::open);
}

WinError ImageLauncher::RunAndWait(std::string_view commandLine, std::uint32_t&) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.emplace_back(commandLine);
    return ERROR_NOT_SUPPORTED;
}

WinError ImageLauncher::ShellOpen(std::string_view file, std::string_view parameters) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string r(file);
    if (!parameters.empty()) r += " " + std::string(parameters);
    requests_.push_back(std::move(r));
    return ERROR_NOT_SUPPORTED;
}

}  // namespace veldan::machine::image

namespace veldan::machine::image {

WinError ImageProcesses::AdjustPrivilege(std::string_view privilege, bool) {
    // The privileges of a Windows token that the system may ask for.
    static constexpr std::string_view kKnown[] = {
        "SeDebugPrivilege",         "SeBackupPrivilege",   "SeRestorePrivilege",
        "SeTakeOwnershipPrivilege", "SeShutdownPrivilege", "SeSecurityPrivilege"};
    bool known = false;
    for (std::string_view name : kKnown) known = known || text::EqualsNoCase(name, privilege);
    if (!known) return ERROR_NO_SUCH_PRIVILEGE;
    // Only an administrator's token holds these; adjusting one that is not held
    // succeeds as a call but reports that nothing was assigned.
    return admin_ ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
}

}  // namespace veldan::machine::image
