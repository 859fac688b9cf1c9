#include "machine/folder/folder_machine.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "text/strings.h"

namespace veldan::machine::folder {
namespace fs = std::filesystem;
using namespace image;

namespace {

// Pending operations on the NT family: pairs of "\??\" paths; an empty target
// means deletion. The list ends with an empty string.
std::vector<std::pair<std::string, std::string>> ParsePending(const std::string& data) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t pos = 0;
    auto next = [&]() {
        std::size_t nul = data.find('\0', pos);
        if (nul == std::string::npos) nul = data.size();
        std::string s = data.substr(pos, nul - pos);
        pos = nul + 1;
        return s;
    };
    while (pos < data.size()) {
        std::string src = next();
        if (src.empty()) break;
        std::string dst = pos <= data.size() ? next() : std::string();
        pairs.emplace_back(std::move(src), std::move(dst));
    }
    return pairs;
}

std::string WritePending(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string data;
    for (const auto& [src, dst] : pairs) {
        data += src;
        data.push_back('\0');
        data += dst;
        data.push_back('\0');
    }
    data.push_back('\0');
    return data;
}

std::string StripNtPrefix(const std::string& p) {
    if (p.rfind("\\??\\", 0) == 0) return p.substr(4);
    return p;
}

}  // namespace

FolderMachine::FolderMachine(std::string folder, const std::string& drive,
                             std::unique_ptr<Clock> clock)
    : folder_(std::move(folder)),
      clock_(clock ? std::move(clock) : std::make_unique<NoWaitClock>()),
      // Every look-up of a scan trusts the listings it read; the machine's own
      // writes keep them current (see folder_snapshot.h).
      paths_(std::make_unique<HostPaths>(drive, host::ReadNtfsDosName,
                                         HostPaths::Listings::kSnapshot)) {}

FolderMachine::~FolderMachine() = default;

void FolderMachine::Assemble() {
    processes_ = std::make_unique<ImageProcesses>(*paths_, ini_.processes, ini_.windows);
    processes_->setAdmin(ini_.admin);
    files_ = std::make_unique<ImageFileSystem>(
        *paths_, [this](const std::string& host) { return processes_->IsHeld(host); },
        [this](std::string_view winPath) { return ScheduleDelete(winPath); });
    profiles_ = std::make_unique<ImageProfiles>(*paths_, ini_.windir);
    links_ = std::make_unique<ImageShellLinks>(*paths_, *profiles_);
    system_ = std::make_unique<ConfiguredSystemInfo>(
        SystemSettings{ini_.os, ini_.user, ini_.windir, ini_.temp}, registry(), *files_);
}

WinError FolderMachine::ScheduleDelete(std::string_view winPath) {
    if (ini_.os == OsFamily::Win9x) {
        // Wininit.ini holds one "NUL=" line per file; a second file must not
        // replace the first.
        return profiles_->AppendString("Rename", "NUL", winPath, "Wininit.ini");
    }
    WinError e = registry().CreateKey(HKEY_LOCAL_MACHINE, kSessionManagerKey);
    if (e != ERROR_SUCCESS) return e;
    RegValue v;
    std::vector<std::pair<std::string, std::string>> pairs;
    if (registry().QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v) ==
            ERROR_SUCCESS &&
        v.type == REG_MULTI_SZ) {
        pairs = ParsePending(v.data);
    }
    pairs.emplace_back("\\??\\" + std::string(winPath), std::string());
    return registry().SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                               RegValue{REG_MULTI_SZ, WritePending(pairs)});
}

std::vector<std::string> FolderMachine::PendingDeletes() const {
    std::vector<std::string> out;
    if (ini_.os == OsFamily::Win9x) {
        for (const auto& [k, v] : profiles_->GetSection("Rename", "Wininit.ini")) {
            if (text::EqualsNoCase(k, "NUL")) out.push_back(v);
        }
        return out;
    }
    RegValue v;
    if (registry().QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v) !=
        ERROR_SUCCESS) {
        return out;
    }
    for (const auto& [src, dst] : ParsePending(v.data)) {
        if (dst.empty()) out.push_back(StripNtPrefix(src));
    }
    return out;
}

std::vector<RestartAction> FolderMachine::Restart() {
    processes_->EndAll();

    std::vector<std::pair<std::string, std::string>> ops;  // (path, target)
    if (ini_.os == OsFamily::Win9x) {
        for (const auto& [k, v] : profiles_->GetSection("Rename", "Wininit.ini")) {
            if (text::EqualsNoCase(k, "NUL")) {
                ops.emplace_back(v, std::string());
            } else {
                ops.emplace_back(v, k);  // "target=source"
            }
        }
        (void)profiles_->WriteString("Rename", std::nullopt, std::nullopt, "Wininit.ini");
    } else {
        RegValue v;
        if (registry().QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                                  v) == ERROR_SUCCESS) {
            for (auto& [src, dst] : ParsePending(v.data)) {
                std::string target = StripNtPrefix(dst);
                if (!target.empty() && target[0] == '!')
                    target.erase(0, 1);  // replace-existing flag
                ops.emplace_back(StripNtPrefix(src), target);
            }
            (void)registry().DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey,
                                         kPendingRenamesValue);
        }
    }

    // At boot nothing runs and nothing is read-only to the system: operate on
    // the host files directly.
    std::vector<RestartAction> actions;
    for (const auto& [path, target] : ops) {
        RestartAction a{path, target, false, {}};
        std::string host;
        WindowsPath parsed;
        if (ParseWindowsPath(path, parsed) != ERROR_SUCCESS) {
            // Another drive, no drive, or a climb above the root: nothing here to act on.
            a.note = "refused: not a path on drive C:";
            actions.push_back(a);
            continue;
        }
        if (WinError e = paths_->Resolve(parsed, host); e != ERROR_SUCCESS) {
            a.note = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND
                         ? "already gone"
                         : "refused (error " + std::to_string(e) + ")";
            actions.push_back(a);
            continue;
        }
        std::error_code ec;
        if (target.empty()) {
            bool dir = fs::is_directory(fs::symlink_status(host, ec));
            bool ok = dir ? ::rmdir(host.c_str()) == 0 : ::unlink(host.c_str()) == 0;
            a.done = ok;
            a.note = ok ? "deleted" : std::string("not deleted: ") + std::strerror(errno);
        } else {
            std::string dest;
            WindowsPath parsedTarget;
            if (ParseWindowsPath(target, parsedTarget) != ERROR_SUCCESS) {
                a.note = "refused: the target is not a path on drive C:";
            } else if (paths_->ResolveForCreate(target, dest) != ERROR_SUCCESS) {
                a.note = "target folder missing";
            } else {
                bool ok = ::rename(host.c_str(), dest.c_str()) == 0;
                a.done = ok;
                a.note = ok ? "renamed" : std::string("not renamed: ") + std::strerror(errno);
            }
        }
        paths_->ChangedAll();  // the rename or deletion went around the file system
        actions.push_back(a);
    }
    return actions;
}

}  // namespace veldan::machine::folder
