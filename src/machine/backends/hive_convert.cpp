#include "machine/backends/hive_convert.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/file_write.h"
#include "host/folder_entries.h"
#include "machine/folder/machine_ini.h"
#include "machine/hive/hive_writer.h"
#include "machine/hive/installation.h"
#include "machine/image/image_machine.h"
#include "machine/reg_file.h"
#include "text/strings.h"

namespace veldan::machine::hive {
namespace fs = std::filesystem;

namespace {

std::string Join(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    return std::string(a) + "\\" + std::string(b);
}

bool Skipped(const std::vector<std::string>& skip, const std::string& relative) {
    for (const auto& s : skip) {
        if (text::EqualsNoCase(s, relative)) return true;
    }
    return false;
}

void Collect(const Registry& from, HKEY root, const std::string& path,
             const std::vector<std::string>& skip, const std::string& relative, HiveTreeKey& key) {
    std::string name;
    RegValue value;
    for (std::uint32_t i = 0; from.EnumValue(root, path, i, name, &value) == ERROR_SUCCESS; ++i) {
        key.values.push_back(ToHiveValue(name, value));
    }
    std::vector<std::string> names;
    for (std::uint32_t i = 0; from.EnumKey(root, path, i, name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    for (const auto& n : names) {
        std::string rel = Join(relative, n);
        if (Skipped(skip, rel)) continue;
        key.children.push_back(HiveTreeKey{n, {}, {}});
        Collect(from, root, Join(path, n), skip, rel, key.children.back());
    }
}

// The host folder below `base` for the Windows-style relative path, each part
// found without regard to case or made.
bool EnsureFolder(const std::string& base, std::string_view relative, std::string& out,
                  std::string& error) {
    std::string at = base;
    for (const auto& part : text::Split(relative, '\\')) {
        if (part.empty()) continue;
        std::string next = FindEntryNoCase(at, part);
        if (next.empty()) {
            next = (fs::path(at) / part).string();
            std::error_code ec;
            if (!fs::create_directory(next, ec) && ec) {
                error = next + ": cannot be created: " + ec.message();
                return false;
            }
        }
        at = next;
    }
    out = at;
    return true;
}

// The hive file `name` in `folder`: the existing one whatever its case, else a new name.
std::string HivePath(const std::string& folder, std::string_view name) {
    std::string found = FindEntryNoCase(folder, name);
    return found.empty() ? (fs::path(folder) / std::string(name)).string() : found;
}

// True when `inner` is `outer` or lies below it (both made absolute, links resolved).
bool Within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // a trailing separator
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

// The target folder of a conversion: never inside the source nor around it, new
// or empty, and left as it was found (removed, or emptied) unless the
// conversion completes.
class TargetFolder {
  public:
    TargetFolder() = default;
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;
    ~TargetFolder() {
        if (path_.empty() || kept_) return;
        std::error_code ec;
        if (created_) {
            fs::remove_all(path_, ec);
            return;
        }
        host::ForEachEntry(path_, [](const fs::directory_entry& entry) {
            std::error_code ec2;
            fs::remove_all(entry.path(), ec2);
            return true;
        });
    }

    bool Prepare(const std::string& source, const std::string& target, std::string& error) {
        std::error_code ec;
        const fs::path from = fs::weakly_canonical(fs::absolute(source, ec), ec);
        const fs::path to = fs::weakly_canonical(fs::absolute(target, ec), ec);
        if (!ec && Within(to, from)) {
            error = target + ": the target folder is inside the machine being converted";
            return false;
        }
        if (!ec && Within(from, to)) {
            error = target + ": the machine being converted is inside the target folder";
            return false;
        }
        if (fs::exists(target, ec)) {
            if (!fs::is_directory(target, ec) || !fs::is_empty(target, ec)) {
                error = target + ": the target must be a new or empty folder";
                return false;
            }
        } else if (!fs::create_directories(target, ec)) {
            error = target + ": cannot be created: " + ec.message();
            return false;
        } else {
            created_ = true;
        }
        path_ = target;
        return true;
    }
    // The conversion completed: what it wrote stays.
    void Keep() { kept_ = true; }

  private:
    fs::path path_;
    bool created_ = false;
    bool kept_ = false;
};

bool CopyFolder(const fs::path& from, const fs::path& to,
                const std::vector<std::string_view>& skipTop, std::string& error) {
    std::error_code ec;
    fs::create_directories(to, ec);
    bool copied = true;
    ec = host::ForEachEntry(from, [&](const fs::directory_entry& entry) {
        std::string name = entry.path().filename().string();
        bool skip = false;
        for (auto s : skipTop) skip = skip || text::EqualsNoCase(name, s);
        if (skip) return true;
        std::error_code ec2;
        fs::copy(entry.path(), to / name,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec2);
        if (ec2) {
            error = entry.path().string() + ": cannot be copied: " + ec2.message();
            copied = false;
        }
        return copied;
    });
    if (!copied) return false;
    if (ec) {
        error = from.string() + ": cannot be read: " + ec.message();
        return false;
    }
    return true;
}

bool KeyExists(const Registry& reg, HKEY root, std::string_view path) {
    return reg.OpenKey(root, path) == ERROR_SUCCESS;
}

std::vector<std::string> SubKeys(const Registry& reg, HKEY root, std::string_view path) {
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; reg.EnumKey(root, path, i, name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    return names;
}

}  // namespace

WinError CopyRegistryTree(const Registry& from, HKEY root, std::string_view path, Registry& to,
                          HKEY toRoot, std::string_view toPath) {
    WinError e = to.CreateKey(toRoot, toPath);
    if (e != ERROR_SUCCESS) return e;
    std::string name;
    RegValue value;
    for (std::uint32_t i = 0; from.EnumValue(root, path, i, name, &value) == ERROR_SUCCESS; ++i) {
        e = to.SetValue(toRoot, toPath, name, value);
        if (e != ERROR_SUCCESS) return e;
    }
    for (const auto& n : SubKeys(from, root, path)) {
        e = CopyRegistryTree(from, root, Join(path, n), to, toRoot, Join(toPath, n));
        if (e != ERROR_SUCCESS) return e;
    }
    return ERROR_SUCCESS;
}

HiveTreeKey TreeOf(const Registry& from, HKEY root, std::string_view path,
                   const std::vector<std::string>& skip) {
    HiveTreeKey tree;
    if (!KeyExists(from, root, path)) return tree;
    Collect(from, root, std::string(path), skip, "", tree);
    return tree;
}

bool WriteHiveTree(const HiveTreeKey& tree, const std::string& hostPath, std::string& error) {
    EmptyHiveOptions options;
    options.fileName = fs::path(hostPath).filename().string();
    HiveTreeKey named = tree;
    named.name = "$$$PROTO.HIV";  // what Windows names the root of the hives it makes
    std::string bytes;
    if (!HiveBytes(named, options, bytes, error)) {
        error = hostPath + ": " + error;
        return false;
    }
    if (host::WriteFileAtomic(hostPath, bytes) != ERROR_SUCCESS) {
        error = hostPath + ": cannot be written";
        return false;
    }
    return true;
}

bool WriteHiveFile(const Registry& from, HKEY root, std::string_view path,
                   const std::string& hostPath, const std::vector<std::string>& skip,
                   std::string& error) {
    return WriteHiveTree(TreeOf(from, root, path, skip), hostPath, error);
}

bool ConvertImageToInstallation(const std::string& image, const std::string& target,
                                ConvertReport& report, ConvertError& failure) {
    std::string& error = failure.message;
    std::error_code ec;
    if (!fs::is_directory(fs::path(image) / "drive_c", ec) && IsInstallation(image)) {
        error = image + ": this is an installation already";
        return false;
    }
    MachineError ie;
    auto m = image::ImageMachine::Load(image, ie);
    if (!m) {
        error = "cannot load machine: " + ie.ToString();
        return false;
    }
    if (m->ini().os != OsFamily::Nt) {
        error = image + ": a Windows 9x machine keeps no hive files";
        return false;
    }
    const Registry& reg = m->registry();
    const std::string& user = m->ini().user;
    const std::string& windir = m->ini().windir;
    const std::string sid = FindProfileSid(reg, windir, user);

    // Every key must have a hive to go to.
    std::vector<std::string> homeless;
    for (const auto& n : SubKeys(reg, HKEY_LOCAL_MACHINE, "")) {
        if (!text::EqualsNoCase(n, "SOFTWARE") && !text::EqualsNoCase(n, "SYSTEM")) {
            homeless.push_back("HKLM\\" + n);
        }
    }
    for (const auto& n : SubKeys(reg, HKEY_USERS, "")) {
        if (!text::EqualsNoCase(n, ".DEFAULT") &&
            (sid.empty() ||
             (!text::EqualsNoCase(n, sid) && !text::EqualsNoCase(n, sid + "_Classes")))) {
            homeless.push_back("HKU\\" + n);
        }
    }
    if (!homeless.empty()) {
        error = "no hive of an installation holds these keys:";
        for (const auto& k : homeless) error += " " + k;
        return false;
    }
    if (!text::StartsWithNoCase(windir, "C:\\") || windir.size() <= 3) {
        error = image + ": the Windows folder " + windir + " is not on drive C:";
        return false;
    }

    TargetFolder folder;
    if (!folder.Prepare(image, target, error)) return false;
    if (!CopyFolder(fs::path(image) / "drive_c", target, {}, error)) return false;

    std::string config, profile, usrClassDir;
    if (!EnsureFolder(target, windir.substr(3) + "\\system32\\config", config, error) ||
        !EnsureFolder(target, "Documents and Settings\\" + user, profile, error) ||
        !EnsureFolder(profile, "Local Settings\\Application Data\\Microsoft\\Windows", usrClassDir,
                      error)) {
        return false;
    }

    auto write = [&](const std::string& path) {
        report.written.push_back(path);
        return path;
    };
    // SOFTWARE and DEFAULT are one tree each.
    if (!WriteHiveFile(reg, HKEY_LOCAL_MACHINE, "SOFTWARE", write(HivePath(config, "SOFTWARE")), {},
                       error) ||
        !WriteHiveFile(reg, HKEY_USERS, ".DEFAULT", write(HivePath(config, "DEFAULT")), {},
                       error)) {
        return false;
    }
    // SYSTEM: the current control set is the set Select names. A link to it is
    // that set already; a CurrentControlSet key of its own goes into it.
    HiveTreeKey system = TreeOf(reg, HKEY_LOCAL_MACHINE, "SYSTEM", {"CurrentControlSet"});
    if (m->imageRegistry().linkedControlSet().empty() &&
        KeyExists(reg, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet")) {
        system.Child(SelectedControlSet(reg, "ControlSet001"))
            .Merge(TreeOf(reg, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"));
    }
    // The user's hives: HKU\<SID> and HKCU are the same key, and so are the
    // classes under it and HKU\<SID>_Classes; HKCU wins where both hold a value.
    HiveTreeKey ntuser, usrClass;
    if (!sid.empty()) {
        ntuser = TreeOf(reg, HKEY_USERS, sid, {"Software\\Classes"});
        usrClass = TreeOf(reg, HKEY_USERS, sid + "_Classes");
        usrClass.Merge(TreeOf(reg, HKEY_USERS, sid + "\\Software\\Classes"));
    }
    ntuser.Merge(TreeOf(reg, HKEY_CURRENT_USER, "", {"Software\\Classes"}));
    usrClass.Merge(TreeOf(reg, HKEY_CURRENT_USER, "Software\\Classes"));
    if (!WriteHiveTree(system, write(HivePath(config, "SYSTEM")), error) ||
        !WriteHiveTree(ntuser, write(HivePath(profile, "NTUSER.DAT")), error) ||
        !WriteHiveTree(usrClass, write(HivePath(usrClassDir, "UsrClass.dat")), error)) {
        return false;
    }

    const auto& ini = m->ini();
    if (!ini.processes.empty() || !ini.windows.empty()) {
        report.notes.push_back(std::to_string(ini.processes.size()) + " processes and " +
                               std::to_string(ini.windows.size()) +
                               " windows left out: nothing runs on an installation");
    }
    if (!ini.protectedKeys.empty()) {
        report.notes.push_back(std::to_string(ini.protectedKeys.size()) +
                               " protected keys left out: an installation's keys open with full "
                               "control");
    }
    if (!ini.temp.empty()) {
        report.notes.push_back(
            "temp=" + ini.temp +
            " left out: an installation uses the profile's Local Settings\\Temp");
    }
    folder.Keep();
    return true;
}

bool ConvertInstallationToImage(const std::string& installation, const LoadOptions& options,
                                const std::string& target, ConvertReport& report,
                                ConvertError& failure) {
    std::string& error = failure.message;
    Installation inst;
    MachineError ie;
    if (!OpenInstallation(installation, InstallationOptions{options.user, options.force}, inst,
                          ie)) {
        error = ie.ToString();
        failure.chooseUser = ie.choosesUser();
        failure.profiles = ie.profiles;
        return false;
    }
    TargetFolder folder;
    if (!folder.Prepare(installation, target, error)) return false;
    const fs::path root(target);
    if (!CopyFolder(installation, root / "drive_c", {"pagefile.sys", "hiberfil.sys"}, error)) {
        return false;
    }

    MemoryRegistry copy(true);
    for (HKEY r : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        WinError e = CopyRegistryTree(*inst.registry, r, "", copy, r, "");
        if (e != ERROR_SUCCESS) {
            error = "the registry cannot be copied (error " + std::to_string(e) + ")";
            return false;
        }
    }
    // The installation shows its current control set under both names; the
    // image keeps the set once, with CurrentControlSet linked to it again on load.
    copy.LinkCurrentControlSet();
    std::error_code ec;
    fs::create_directories(root / "registry", ec);
    const std::string regPath = (root / "registry" / "machine.reg").string();
    const std::string regText = WriteRegText(copy, RegWriteOptions{});
    if (host::WriteFileAtomic(regPath, regText) != ERROR_SUCCESS) {
        error = regPath + ": cannot be written";
        return false;
    }
    report.written.push_back(regPath);

    image::MachineIni ini;
    ini.os = OsFamily::Nt;
    ini.user = inst.user.name;
    ini.windir = inst.windir;
    const std::string iniPath = (root / "machine.ini").string();
    if (host::WriteFileAtomic(iniPath, image::WriteMachineIni(ini)) != ERROR_SUCCESS) {
        error = iniPath + ": cannot be written";
        return false;
    }
    report.written.push_back(iniPath);
    folder.Keep();
    return true;
}

}  // namespace veldan::machine::hive
