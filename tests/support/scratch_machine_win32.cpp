#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)
#undef ERROR_INVALID_WINDOW_HANDLE  // the in-memory windows name it as a constant

#include "support/scratch_machine_win32.h"

#include <set>

#include "host/wide_path_win32.h"
#include "machine/registry_paths.h"
#include "machine/win32/pending_deletes.h"
#include "support/scratch_key_win32.h"

namespace veldan::test {

using machine::ERROR_NOT_SUPPORTED;
using machine::ERROR_SUCCESS;
using machine::WinError;

ScratchImage::ScratchImage() : key(NewScratchKey()) {}
ScratchImage::~ScratchImage() {
    // Windows refuses to delete a key whose access list denies it: the keys
    // machine.ini protected get full control back first.
    machine::win32::Win32Registry nt(machine::win32::Win32Registry::ScratchRoots(key),
                                     machine::OsFamily::Nt);
    for (const std::string& path : ini.protectedKeys) {
        machine::HKEY root = 0;
        std::string sub;
        if (machine::SplitKeyPath(path, root, sub)) {
            (void)nt.SetKeySecurity(root, sub, machine::KeySecurity::FullControl());
        }
    }
    DeleteScratchKey(key);
}

// The profile calls of Wine keep the sections that IniFileMapping lists (the
// [windows] section of win.ini among them) in the live user's registry for
// every file of that name, wherever it lies; the scratch drive's win.ini is a
// file of the image, not the machine's own. A trailing dot keeps the name out
// of the mapping, and the file system drops it again when the file is opened.
std::string DriveProfiles::Map(std::string_view file) const {
    if (file.find_first_of("\\/:") == std::string_view::npos) {
        return drive_.Map(windir_ + "\\" + std::string(file)) + ".";
    }
    return drive_.Map(file) + ".";
}

std::string DriveProfiles::GetString(std::string_view section, std::string_view key,
                                     std::string_view def, std::string_view file) const {
    return live_.GetString(section, key, def, Map(file));
}
std::vector<std::pair<std::string, std::string>> DriveProfiles::GetSection(
    std::string_view section, std::string_view file) const {
    return live_.GetSection(section, Map(file));
}
std::vector<std::string> DriveProfiles::GetSectionNames(std::string_view file) const {
    return live_.GetSectionNames(Map(file));
}
WinError DriveProfiles::WriteString(std::string_view section, std::optional<std::string_view> key,
                                    std::optional<std::string_view> value, std::string_view file) {
    return live_.WriteString(section, key, value, Map(file));
}
WinError DriveProfiles::AppendString(std::string_view section, std::string_view key,
                                     std::string_view value, std::string_view file) {
    return live_.AppendString(section, key, value, Map(file));
}

WinError DriveShellLinks::LoadShellLink(std::string_view path, machine::ShellLinkData& link) const {
    return live_.LoadShellLink(drive_.Map(path), link);
}
WinError DriveShellLinks::LoadUrlShortcut(std::string_view path,
                                          machine::UrlShortcutData& link) const {
    return live_.LoadUrlShortcut(drive_.Map(path), link);
}

ScratchMachine::ScratchMachine(std::shared_ptr<ScratchImage> image)
    : image_(std::move(image)),
      registry_(machine::win32::Win32Registry::ScratchRoots(image_->key), image_->ini.os),
      profiles_(image_->drive, image_->ini.windir),
      links_(image_->drive) {
    const machine::image::MachineIni& ini = image_->ini;
    system_ = std::make_unique<machine::ConfiguredSystemInfo>(
        machine::SystemSettings{ini.os, ini.user, ini.windir, ini.temp}, registry_,
        image_->drive);
    running_->setAdmin(ini.admin);
    std::map<std::string, std::uint32_t> ids;
    for (const machine::image::ProcessSpec& p : ini.processes) {
        const std::uint32_t id = running_->AddProcess({p.image, p.holds, p.terminable});
        ids[p.name] = id;
        processNames_[id] = p.name;
        // The process keeps its image and files open as a running program does:
        // read sharing only, so deleting or replacing them fails.
        std::vector<std::string> files = p.holds;
        files.insert(files.begin(), p.image);
        for (const std::string& file : files) {
            HANDLE h = CreateFileW(host::WidePath(image_->drive.Map(file)).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) held_.emplace(id, h);
        }
    }
    for (const machine::image::WindowSpec& w : ini.windows) {
        auto owner = ids.find(w.process);
        const std::uint32_t handle = running_->AddWindow(
            {w.className, owner == ids.end() ? 0 : owner->second, w.closes});
        windowNames_[handle] = w.name;
    }
}

ScratchMachine::~ScratchMachine() {
    for (const auto& [id, handle] : held_) CloseHandle(handle);
}

void ScratchMachine::Release(std::uint32_t processId) {
    std::lock_guard<std::mutex> lock(heldMutex_);
    auto [from, to] = held_.equal_range(processId);
    for (auto it = from; it != to; ++it) CloseHandle(it->second);
    held_.erase(from, to);
}

WinError ScratchMachine::Terminate(std::uint32_t id, std::uint32_t exitCode) {
    const WinError e = running_->Terminate(id, exitCode);
    if (e == ERROR_SUCCESS) Release(id);
    return e;
}

bool ScratchMachine::Save(machine::MachineError&) {
    std::set<std::string> processes, windows;
    for (const machine::ProcessInfo& p : running_->List()) processes.insert(processNames_[p.id]);
    for (const machine::WindowInfo& w : running_->Enumerate()) windows.insert(windowNames_[w.handle]);
    machine::image::MachineIni& ini = image_->ini;
    std::erase_if(ini.processes, [&](const auto& p) { return !processes.contains(p.name); });
    std::erase_if(ini.windows, [&](const auto& w) { return !windows.contains(w.name); });
    return true;
}

std::vector<std::string> ScratchMachine::PendingDeletes() const {
    return image_->drive.Scheduled();
}

std::vector<machine::RestartAction> ScratchMachine::Restart() {
    // Everything ends, whether it would let itself be ended or not.
    for (const auto& [id, name] : processNames_) Release(id);
    running_ = std::make_unique<machine::memory::MemoryProcesses>();
    running_->setAdmin(image_->ini.admin);
    std::vector<machine::RestartAction> actions;
    for (const std::string& path : image_->drive.Scheduled()) {
        const WinError e = image_->drive.DeleteFile(path);
        actions.push_back({path, "", e == ERROR_SUCCESS,
                           e == ERROR_SUCCESS                    ? "deleted"
                           : e == machine::ERROR_FILE_NOT_FOUND ? "already gone"
                                                                 : "error " + std::to_string(e)});
    }
    machine::win32::Win32Registry live(machine::win32::Win32Registry::LiveRoots(),
                                       machine::OsFamily::Nt);
    (void)machine::win32::ForgetPendingDeletes(live, image_->drive.root());
    return actions;
}

}  // namespace veldan::test
