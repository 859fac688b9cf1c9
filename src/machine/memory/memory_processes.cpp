#include "machine/memory/memory_processes.h"

#include <algorithm>

#include "text/strings.h"

namespace veldan::machine::memory {

std::uint32_t MemoryProcesses::AddProcess(MemoryProcess process) {
    std::lock_guard<std::mutex> guard(mutex_);
    const std::uint32_t id = nextId_;
    nextId_ += 4;
    processes_.push_back({id, std::move(process)});
    return id;
}

std::uint32_t MemoryProcesses::AddWindow(MemoryWindow window) {
    std::lock_guard<std::mutex> guard(mutex_);
    const std::uint32_t handle = nextHandle_;
    nextHandle_ += 2;
    windows_.insert(windows_.begin(), {handle, std::move(window)});
    return handle;
}

bool MemoryProcesses::IsHeld(std::string_view path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Process& p : processes_) {
        if (text::EqualsNoCase(p.info.imagePath, path)) return true;
        for (const std::string& h : p.info.holds) {
            if (text::EqualsNoCase(h, path)) return true;
        }
    }
    return false;
}

std::vector<ProcessInfo> MemoryProcesses::List() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<ProcessInfo> out;
    for (const Process& p : processes_) out.push_back({p.id, p.info.imagePath});
    return out;
}

WinError MemoryProcesses::Terminate(std::uint32_t id, std::uint32_t /*exitCode*/) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = std::find_if(processes_.begin(), processes_.end(),
                           [id](const Process& p) { return p.id == id; });
    if (it == processes_.end()) return ERROR_INVALID_PARAMETER;
    if (!it->info.terminable) return ERROR_ACCESS_DENIED;
    processes_.erase(it);
    // The windows of an ended process go with it.
    std::erase_if(windows_, [id](const Window& w) { return w.info.processId == id; });
    return ERROR_SUCCESS;
}

WinError MemoryProcesses::AdjustPrivilege(std::string_view privilege, bool /*enable*/) {
    if (!text::EqualsNoCase(privilege, "SeDebugPrivilege")) return ERROR_NO_SUCH_PRIVILEGE;
    return admin_ ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
}

std::vector<WindowInfo> MemoryProcesses::Enumerate() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<WindowInfo> out;
    for (const Window& w : windows_) out.push_back({w.handle, w.info.className, w.info.processId});
    return out;
}

std::uint32_t MemoryProcesses::FindByClass(std::string_view className) const {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Window& w : windows_) {
        if (text::EqualsNoCase(w.info.className, className)) return w.handle;
    }
    return 0;
}

WinError MemoryProcesses::PostMessage(std::uint32_t handle, std::uint32_t message) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [handle](const Window& w) { return w.handle == handle; });
    if (it == windows_.end()) return ERROR_INVALID_WINDOW_HANDLE;
    if (message == WM_CLOSE && it->info.closes) windows_.erase(it);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::memory
