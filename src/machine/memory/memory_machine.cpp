#include "machine/memory/memory_machine.h"

#include "text/strings.h"

namespace veldan::machine::memory {
namespace {

constexpr std::string_view kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr std::string_view kPendingRenames = "PendingFileRenameOperations";
constexpr std::string_view kNtPrefix = "\\??\\";

// The (source, target) pairs of PendingFileRenameOperations, up to the empty
// source that ends the list; an empty target is a deletion.
std::vector<std::pair<std::string, std::string>> ReadPairs(const RegValue& v) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (v.type != REG_MULTI_SZ) return pairs;
    const std::vector<std::string> items = text::Split(v.data, '\0');
    for (std::size_t i = 0; i + 1 < items.size() && !items[i].empty(); i += 2) {
        pairs.emplace_back(items[i], items[i + 1]);
    }
    return pairs;
}

}  // namespace

WinError MemoryLauncher::RunAndWait(std::string_view commandLine, std::uint32_t& /*exitCode*/) {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.emplace_back(commandLine);
    return ERROR_NOT_SUPPORTED;
}

WinError MemoryLauncher::ShellOpen(std::string_view file, std::string_view parameters) {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(std::string(file) + " " + std::string(parameters));
    return ERROR_NOT_SUPPORTED;
}

std::vector<std::string> MemoryLauncher::requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

WinError MemoryShellLinks::LoadShellLink(std::string_view path, ShellLinkData& /*link*/) const {
    std::uint32_t a = 0;
    const WinError e = files_.GetAttributes(path, a);
    return e == ERROR_SUCCESS ? ERROR_INVALID_DATA : e;
}

WinError MemoryShellLinks::LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const {
    std::uint32_t a = 0;
    const WinError e = files_.GetAttributes(path, a);
    if (e != ERROR_SUCCESS) return e;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_ACCESS_DENIED;
    constexpr std::string_view kSection = "InternetShortcut";
    UrlShortcutData data;
    data.url = profiles_.GetString(kSection, "URL", "", path);
    data.iconLocation = profiles_.GetString(kSection, "IconFile", "", path);
    data.iconIndex = std::atoi(profiles_.GetString(kSection, "IconIndex", "0", path).c_str());
    data.workingDirectory = profiles_.GetString(kSection, "WorkingDirectory", "", path);
    link = std::move(data);
    return ERROR_SUCCESS;
}

MemoryMachine::MemoryMachine(const SystemSettings& settings, std::unique_ptr<Clock> clock)
    : settings_(settings),
      clock_(clock ? std::move(clock) : std::make_unique<NoWaitClock>()),
      registry_(settings.os == OsFamily::Nt),
      files_([this](std::string_view path) { return processes_.IsHeld(path); },
             [this](std::string_view path) { return ScheduleDelete(path); }),
      profiles_(files_, settings.windir),
      links_(files_, profiles_),
      system_(settings_, registry_, files_) {}

MemoryMachine::~MemoryMachine() = default;

WinError MemoryMachine::ScheduleDelete(std::string_view path) {
    if (settings_.os == OsFamily::Win9x) {
        return profiles_.AppendString("Rename", "NUL", path, "Wininit.ini");
    }
    WinError e = registry_.CreateKey(HKEY_LOCAL_MACHINE, kSessionManager);
    if (e != ERROR_SUCCESS) return e;
    RegValue v;
    std::vector<std::pair<std::string, std::string>> pairs;
    if (registry_.QueryValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, v) ==
        ERROR_SUCCESS) {
        pairs = ReadPairs(v);
    }
    pairs.emplace_back(std::string(kNtPrefix) + std::string(path), std::string());
    std::string data;
    for (const auto& [source, target] : pairs) {
        data += source + '\0';
        data += target + '\0';
    }
    data.push_back('\0');
    RegValue pending;
    pending.type = REG_MULTI_SZ;
    pending.data = std::move(data);
    return registry_.SetValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, pending);
}

std::vector<std::string> MemoryMachine::PendingDeletes() const {
    std::vector<std::string> out;
    if (settings_.os == OsFamily::Win9x) {
        for (const auto& [k, v] : profiles_.GetSection("Rename", "Wininit.ini")) {
            if (text::EqualsNoCase(k, "NUL")) out.push_back(v);
        }
        return out;
    }
    RegValue v;
    if (registry_.QueryValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, v) !=
        ERROR_SUCCESS) {
        return out;
    }
    for (auto [source, target] : ReadPairs(v)) {
        if (!target.empty()) continue;
        if (source.starts_with(kNtPrefix)) source.erase(0, kNtPrefix.size());
        out.push_back(source);
    }
    return out;
}

}  // namespace veldan::machine::memory
