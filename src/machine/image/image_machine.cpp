#include "machine/image/image_machine.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "machine/hive/hive_registry.h"
#include "machine/hive/installation.h"
#include "machine/image/image_save.h"
#include "machine/image/reg_file.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
namespace fs = std::filesystem;

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

std::string ImageError::ToString() const {
    if (file.empty()) return message;
    if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

ImageMachine::~ImageMachine() = default;

std::unique_ptr<ImageMachine> ImageMachine::Load(const std::string& folder, ImageError& error,
                                                 std::unique_ptr<Clock> clock) {
    return Load(folder, LoadOptions{}, error, std::move(clock));
}

std::unique_ptr<ImageMachine> ImageMachine::Load(const std::string& folder,
                                                 const LoadOptions& options, ImageError& error,
                                                 std::unique_ptr<Clock> clock) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = ImageError{folder, 0,
                           fs::exists(folder, ec)
                               ? "not a folder: a machine is a folder (a machine image or the "
                                 "root of a Windows installation)"
                               : "no machine image here (folder not found)"};
        return nullptr;
    }
    fs::path root(folder);
    if (!fs::is_directory(root / "drive_c", ec)) {
        if (hive::IsInstallation(folder)) {
            return LoadInstallation(folder, options, error, std::move(clock));
        }
        error = ImageError{(root / "drive_c").string(), 0, "the image has no drive_c folder"};
        return nullptr;
    }

    // A save cut short is completed (or, before its commit point, undone) first.
    SaveFailure unfinished;
    if (!FinishImageSave(folder, unfinished)) {
        error = ImageError{unfinished.path, 0,
                           "an interrupted save cannot be completed: " + unfinished.message};
        return nullptr;
    }

    std::unique_ptr<ImageMachine> m(new ImageMachine());
    m->folder_ = folder;

    fs::path iniPath = root / "machine.ini";
    if (fs::exists(iniPath, ec)) {
        std::string bytes;
        if (!text::ReadHostFile(iniPath.string(), bytes)) {
            error = ImageError{iniPath.string(), 0, "cannot be read"};
            return nullptr;
        }
        IniError ie;
        if (!ParseMachineIni(bytes, m->ini_, ie)) {
            error = ImageError{iniPath.string(), ie.line, ie.message};
            return nullptr;
        }
    }

    const bool nt = m->ini_.os == OsFamily::Nt;
    m->clock_ = clock ? std::move(clock) : std::make_unique<NoWaitClock>();
    m->paths_ = std::make_unique<HostPaths>((root / "drive_c").string(), ReadNtfsDosName,
                                            HostPaths::Listings::kSnapshot);
    m->registry_ = std::make_unique<ImageRegistry>(nt);
    m->active_ = m->registry_.get();

    fs::path regDir = root / "registry";
    if (fs::exists(regDir, ec) && fs::is_directory(regDir, ec)) {
        std::vector<fs::path> files;
        for (fs::directory_iterator it(regDir, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::error_code kind;
            if (entry.is_regular_file(kind) &&
                text::EndsWithNoCase(entry.path().filename().string(), ".reg")) {
                files.push_back(entry.path());
            }
        }
        // A listing cut short would load part of the registry as if it were all.
        if (ec) {
            error = ImageError{regDir.string(), 0, "cannot be read: " + ec.message()};
            return nullptr;
        }
        std::sort(files.begin(), files.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
        for (const auto& f : files) {
            std::string bytes;
            if (!text::ReadHostFile(f.string(), bytes)) {
                error = ImageError{f.string(), 0, "cannot be read"};
                return nullptr;
            }
            RegFileError re;
            if (!ApplyRegFile(bytes, f.string(), *m->registry_, re)) {
                error = ImageError{f.string(), re.line, re.message};
                return nullptr;
            }
        }
    }

    // Windows links CurrentControlSet to the set Select names when it starts;
    // the image starts here.
    m->registry_->LinkCurrentControlSet();

    for (const auto& key : m->ini_.protectedKeys) {
        HKEY hive = 0;
        std::string sub;
        if (!SplitKeyPath(key, hive, sub)) {
            error = ImageError{iniPath.string(), 0, "protected key with an unknown root: " + key};
            return nullptr;
        }
        if (m->registry_->Protect(hive, sub) != ERROR_SUCCESS) {
            error = ImageError{iniPath.string(), 0, "protected key does not exist: " + key};
            return nullptr;
        }
    }

    m->Assemble();
    return m;
}

void ImageMachine::Assemble() {
    processes_ = std::make_unique<ImageProcesses>(*paths_, ini_.processes, ini_.windows);
    processes_->setAdmin(ini_.admin);
    files_ = std::make_unique<ImageFileSystem>(
        *paths_, [this](const std::string& host) { return processes_->IsHeld(host); },
        [this](std::string_view winPath) { return ScheduleDelete(winPath); });
    profiles_ = std::make_unique<ImageProfiles>(*paths_, ini_.windir);
    links_ = std::make_unique<ImageShellLinks>(*paths_, *profiles_);
    system_ = std::make_unique<ImageSystemInfo>(ini_, registry(), *files_);
}

WinError ImageMachine::ScheduleDelete(std::string_view winPath) {
    if (ini_.os == OsFamily::Win9x) {
        // Wininit.ini holds one "NUL=" line per file; a second file must not
        // replace the first.
        return profiles_->AppendString("Rename", "NUL", winPath, "Wininit.ini");
    }
    WinError e = active_->CreateKey(HKEY_LOCAL_MACHINE, kSessionManagerKey);
    if (e != ERROR_SUCCESS) return e;
    RegValue v;
    std::vector<std::pair<std::string, std::string>> pairs;
    if (active_->QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v) ==
            ERROR_SUCCESS &&
        v.type == REG_MULTI_SZ) {
        pairs = ParsePending(v.data);
    }
    pairs.emplace_back("\\??\\" + std::string(winPath), std::string());
    return active_->SetValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue,
                             RegValue{REG_MULTI_SZ, WritePending(pairs)});
}

std::vector<std::string> ImageMachine::PendingDeletes() const {
    std::vector<std::string> out;
    if (ini_.os == OsFamily::Win9x) {
        for (const auto& [k, v] : profiles_->GetSection("Rename", "Wininit.ini")) {
            if (text::EqualsNoCase(k, "NUL")) out.push_back(v);
        }
        return out;
    }
    RegValue v;
    if (active_->QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v) !=
        ERROR_SUCCESS) {
        return out;
    }
    for (const auto& [src, dst] : ParsePending(v.data)) {
        if (dst.empty()) out.push_back(StripNtPrefix(src));
    }
    return out;
}

std::vector<RestartAction> ImageMachine::Restart() {
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
        if (active_->QueryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenamesValue, v) ==
            ERROR_SUCCESS) {
            for (auto& [src, dst] : ParsePending(v.data)) {
                std::string target = StripNtPrefix(dst);
                if (!target.empty() && target[0] == '!')
                    target.erase(0, 1);  // replace-existing flag
                ops.emplace_back(StripNtPrefix(src), target);
            }
            (void)active_->DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey,
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

bool ImageMachine::Save(ImageError& error) {
    if (hives_) return SaveInstallation(error);
    // The registry and machine.ini (what still runs, what is still open, what is
    // still protected) change together or not at all.
    std::string regText;
    {
        auto lock = registry_->Lock();
        regText = WriteRegText(*registry_, RegWriteOptions{});
    }
    MachineIni ini = ini_;
    ini.processes = processes_->RunningProcesses();
    ini.windows = processes_->OpenWindows();
    ini.protectedKeys = registry_->ProtectedKeys();
    SaveFailure failure;
    if (!SaveImageFiles(folder_, regText, WriteMachineIni(ini), failure, saveCut_)) {
        error = ImageError{failure.path, 0, failure.message};
        return false;
    }
    return true;
}

bool ImageMachine::CheckWritable(ImageError& error) const {
    if (hives_) {
        // Each hive is replaced by a new file beside it.
        for (const std::string& file : hives_->Files()) {
            const std::string dir = fs::path(file).parent_path().string();
            for (const std::string& p : {file, dir}) {
                if (::access(p.c_str(), W_OK) != 0) {
                    error = ImageError{p, 0, std::string("read-only: ") + std::strerror(errno)};
                    return false;
                }
            }
        }
        return true;
    }
    SaveFailure failure;
    if (CheckImageWritable(folder_, failure)) return true;
    error = ImageError{failure.path, 0, failure.message};
    return false;
}

}  // namespace veldan::machine::image
