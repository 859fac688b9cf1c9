#include "machine/hive/installation.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/folder_entries.h"
#include "machine/memory_registry.h"
#include "machine/registry_paths.h"
#include "text/strings.h"

namespace veldan::machine::hive {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProfileList =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const std::vector<std::string_view> kUsrClassPath = {"Local Settings", "Application Data",
                                                     "Microsoft", "Windows", "UsrClass.dat"};

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

// The host path of <dir>\system32\config when it holds SOFTWARE and SYSTEM.
std::string ConfigFolder(const std::string& windir) {
    std::string config = FindPathNoCase(windir, {"system32", "config"});
    if (config.empty()) return {};
    if (!IsRegularFile(FindEntryNoCase(config, "SOFTWARE")) ||
        !IsRegularFile(FindEntryNoCase(config, "SYSTEM"))) {
        return {};
    }
    return config;
}

// Replaces the variables a ProfileImagePath uses.
std::string ExpandProfilePath(std::string path, const std::string& windir) {
    const std::pair<std::string_view, std::string> vars[] = {
        {"%SystemDrive%", "C:"}, {"%SystemRoot%", windir}, {"%windir%", windir}};
    for (const auto& [name, value] : vars) {
        std::size_t at;
        while ((at = text::FindNoCase(path, name)) != std::string::npos) {
            path.replace(at, name.size(), value);
        }
    }
    return path;
}

std::string ReadString(const Registry& reg, HKEY root, std::string_view key,
                       std::string_view name) {
    RegValue v;
    if (reg.QueryValue(root, key, name, v) != ERROR_SUCCESS) return {};
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) return {};
    return v.AsString();
}

}  // namespace

std::string FindProfileSid(const Registry& reg, const std::string& windir,
                           const std::string& profile) {
    const std::string wanted = "C:\\Documents and Settings\\" + profile;
    std::string sid;
    for (std::uint32_t i = 0;
         reg.EnumKey(HKEY_LOCAL_MACHINE, kProfileList, i, sid) == ERROR_SUCCESS; ++i) {
        std::string path = ReadString(reg, HKEY_LOCAL_MACHINE,
                                      std::string(kProfileList) + "\\" + sid, "ProfileImagePath");
        path = ExpandProfilePath(path, windir);
        while (!path.empty() && path.back() == '\\') path.pop_back();
        if (text::EqualsNoCase(path, wanted)) return sid;
    }
    return {};
}

namespace {

// What a hive that cannot be mounted is blamed for, from the reason the hive
// reader gives.
MachineErrorKind MountKind(const std::string& reason) {
    if (reason.find("was not cleanly written") != std::string::npos) {
        return MachineErrorKind::HiveNotClean;
    }
    if (reason.rfind("cannot be read", 0) == 0) return MachineErrorKind::Unreadable;
    return MachineErrorKind::HiveUnreadable;
}

std::string ProfileNames(const std::vector<UserProfile>& profiles) {
    std::string names;
    for (const auto& p : profiles) {
        if (!names.empty()) names += ", ";
        names += p.name;
    }
    return names;
}

}  // namespace

std::string FindEntryNoCase(const std::string& dir, std::string_view name) {
    std::error_code ec;
    fs::path exact = fs::path(dir) / std::string(name);
    if (fs::exists(fs::symlink_status(exact, ec))) return exact.string();
    std::vector<std::string> matches;
    host::ForEachEntry(dir, [&](const fs::directory_entry& entry) {
        if (text::EqualsNoCase(entry.path().filename().string(), name)) {
            matches.push_back(entry.path().string());
        }
        return true;
    });
    if (matches.empty()) return {};
    // More than one spelling on a case-sensitive host: take one the same way every time.
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

std::string FindPathNoCase(const std::string& dir, const std::vector<std::string_view>& parts) {
    std::string at = dir;
    for (std::string_view part : parts) {
        at = FindEntryNoCase(at, part);
        if (at.empty()) return {};
    }
    return at;
}

bool IsServiceProfile(std::string_view name) {
    for (std::string_view service :
         {"All Users", "Default User", "LocalService", "NetworkService"}) {
        if (text::EqualsNoCase(name, service)) return true;
    }
    return false;
}

bool FindInstallation(const std::string& folder, InstallationLayout& layout) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    InstallationLayout found;
    found.root = folder;

    // The Windows folder: the usual names first, then any folder that holds a
    // system32\config with the machine hives.
    std::string config;
    for (std::string_view name : {"WINDOWS", "WINNT"}) {
        std::string windir = FindEntryNoCase(folder, name);
        if (!windir.empty() && !(config = ConfigFolder(windir)).empty()) {
            found.windirName = fs::path(windir).filename().string();
            break;
        }
    }
    if (config.empty()) {
        std::vector<fs::path> dirs;
        host::ForEachEntry(folder, [&](const fs::directory_entry& entry) {
            std::error_code ec2;
            if (entry.is_directory(ec2)) dirs.push_back(entry.path());
            return true;
        });
        std::sort(dirs.begin(), dirs.end());
        for (const auto& d : dirs) {
            if (!(config = ConfigFolder(d.string())).empty()) {
                found.windirName = d.filename().string();
                break;
            }
        }
    }
    if (config.empty()) return false;
    found.software = FindEntryNoCase(config, "SOFTWARE");
    found.system = FindEntryNoCase(config, "SYSTEM");
    found.defaultHive = FindEntryNoCase(config, "DEFAULT");
    if (!IsRegularFile(found.defaultHive)) found.defaultHive.clear();

    std::string profilesDir = FindEntryNoCase(folder, "Documents and Settings");
    if (!profilesDir.empty() && fs::is_directory(profilesDir, ec)) {
        host::ForEachEntry(profilesDir, [&](const fs::directory_entry& entry) {
            std::error_code ec2;
            if (!entry.is_directory(ec2)) return true;
            UserProfile p;
            p.name = entry.path().filename().string();
            p.folder = entry.path().string();
            p.ntuser = FindEntryNoCase(p.folder, "NTUSER.DAT");
            if (!IsRegularFile(p.ntuser)) return true;
            p.usrClass = FindPathNoCase(p.folder, kUsrClassPath);
            if (!IsRegularFile(p.usrClass)) p.usrClass.clear();
            found.profiles.push_back(std::move(p));
            return true;
        });
        std::sort(found.profiles.begin(), found.profiles.end(),
                  [](const UserProfile& a, const UserProfile& b) {
                      int c = text::CompareUpper(a.name, b.name);
                      return c != 0 ? c < 0 : a.name < b.name;
                  });
    }
    layout = std::move(found);
    return true;
}

bool IsInstallation(const std::string& folder) {
    InstallationLayout layout;
    return FindInstallation(folder, layout);
}

bool OpenInstallation(const std::string& folder, const InstallationOptions& options,
                      Installation& out, MachineError& error) {
    Installation inst;
    if (!FindInstallation(folder, inst.layout)) {
        error = MachineError{MachineErrorKind::NoInstallation, folder, 0,
                             "no Windows installation here (no WINDOWS\\system32\\config "
                             "with SOFTWARE and SYSTEM)"};
        return false;
    }
    const auto& layout = inst.layout;

    // The user: the one named, else the only one there is.
    std::vector<UserProfile> users;
    for (const auto& p : layout.profiles) {
        if (!IsServiceProfile(p.name)) users.push_back(p);
    }
    if (!options.user.empty()) {
        auto it = std::find_if(
            layout.profiles.begin(), layout.profiles.end(),
            [&](const UserProfile& p) { return text::EqualsNoCase(p.name, options.user); });
        if (it == layout.profiles.end()) {
            error.kind = MachineErrorKind::UnknownUser;
            error.file = folder;
            error.message = "no user profile '" + options.user + "' (profiles: " +
                            (users.empty() ? std::string("none") : ProfileNames(users)) + ")";
            for (const auto& u : users) error.profiles.push_back(u.name);
            return false;
        }
        inst.user = *it;
    } else if (users.size() == 1) {
        inst.user = users.front();
    } else if (users.empty()) {
        error = MachineError{MachineErrorKind::NoUser, folder, 0,
                             "no user profile with an NTUSER.DAT under Documents and Settings"};
        return false;
    } else {
        error.kind = MachineErrorKind::ChooseUser;
        error.file = folder;
        error.message = "the installation has several user profiles; choose one with --user: " +
                        ProfileNames(users);
        for (const auto& u : users) error.profiles.push_back(u.name);
        return false;
    }
    inst.windir = "C:\\" + layout.windirName;

    auto reg = std::make_unique<HiveRegistry>(true);
    std::string e;
    auto mount = [&](HKEY root, std::string_view path, const std::string& file,
                     std::string_view node) {
        if (reg->Mount(root, path, file, node, options.force, e)) return true;
        // The file is named once, in front of what is wrong with it.
        if (e.rfind(file + ": ", 0) == 0) e.erase(0, file.size() + 2);
        error = MachineError{MountKind(e), file, 0, e};
        return false;
    };
    if (!mount(HKEY_LOCAL_MACHINE, "SOFTWARE", layout.software, "") ||
        !mount(HKEY_LOCAL_MACHINE, "SYSTEM", layout.system, "")) {
        return false;
    }
    // The current control set is a link Windows makes at start: to the set that
    // Select names, the first one when it names none.
    inst.controlSet = SelectedControlSet(*reg, "ControlSet001");
    if (!mount(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet", layout.system, inst.controlSet)) {
        return false;
    }
    if (!layout.defaultHive.empty() && !mount(HKEY_USERS, ".DEFAULT", layout.defaultHive, "")) {
        return false;
    }
    if (!mount(HKEY_CURRENT_USER, "", inst.user.ntuser, "")) return false;
    if (!inst.user.usrClass.empty() &&
        !mount(HKEY_CURRENT_USER, "Software\\Classes", inst.user.usrClass, "")) {
        return false;
    }
    inst.sid = FindProfileSid(*reg, inst.windir, inst.user.name);
    if (!inst.sid.empty()) {
        if (!mount(HKEY_USERS, inst.sid, inst.user.ntuser, "")) return false;
        if (!inst.user.usrClass.empty() &&
            (!mount(HKEY_USERS, inst.sid + "\\Software\\Classes", inst.user.usrClass, "") ||
             !mount(HKEY_USERS, inst.sid + "_Classes", inst.user.usrClass, ""))) {
            return false;
        }
    }
    inst.registry = std::move(reg);
    out = std::move(inst);
    return true;
}

}  // namespace veldan::machine::hive
