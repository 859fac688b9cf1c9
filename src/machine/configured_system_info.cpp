#include "machine/configured_system_info.h"

#include "text/strings.h"

namespace veldan::machine {
namespace {

constexpr std::string_view kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr std::string_view kAllUsers = "C:\\Documents and Settings\\All Users";

struct FolderRow {
    int csidl;
    HKEY root;                   // where "User Shell Folders" / "Shell Folders" keep it
    std::string_view name;       // the value name there
    std::string_view ntDefault;  // relative to the profile (P), all users (A) or windir (W)
    std::string_view nineXDefault;
};

// Defaults start with a place letter: P profile, A all users, W Windows folder,
// C the drive root. An empty default means the family has no such folder.
constexpr FolderRow kFolders[] = {
    {CSIDL_PROGRAMS, HKEY_CURRENT_USER, "Programs", "P\\Start Menu\\Programs",
     "W\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, HKEY_CURRENT_USER, "Personal", "P\\My Documents", "C\\My Documents"},
    {CSIDL_FAVORITES, HKEY_CURRENT_USER, "Favorites", "P\\Favorites", "W\\Favorites"},
    {CSIDL_STARTUP, HKEY_CURRENT_USER, "Startup", "P\\Start Menu\\Programs\\Startup",
     "W\\Start Menu\\Programs\\StartUp"},
    {CSIDL_SENDTO, HKEY_CURRENT_USER, "SendTo", "P\\SendTo", "W\\SendTo"},
    {CSIDL_STARTMENU, HKEY_CURRENT_USER, "Start Menu", "P\\Start Menu", "W\\Start Menu"},
    {CSIDL_DESKTOPDIRECTORY, HKEY_CURRENT_USER, "Desktop", "P\\Desktop", "W\\Desktop"},
    {CSIDL_FONTS, HKEY_CURRENT_USER, "Fonts", "W\\Fonts", "W\\Fonts"},
    {CSIDL_TEMPLATES, HKEY_CURRENT_USER, "Templates", "P\\Templates", "W\\ShellNew"},
    {CSIDL_APPDATA, HKEY_CURRENT_USER, "AppData", "P\\Application Data", "W\\Application Data"},
    {CSIDL_LOCAL_APPDATA, HKEY_CURRENT_USER, "Local AppData", "P\\Local Settings\\Application Data",
     ""},
    {CSIDL_COMMON_STARTMENU, HKEY_LOCAL_MACHINE, "Common Start Menu", "A\\Start Menu", ""},
    {CSIDL_COMMON_PROGRAMS, HKEY_LOCAL_MACHINE, "Common Programs", "A\\Start Menu\\Programs", ""},
    {CSIDL_COMMON_STARTUP, HKEY_LOCAL_MACHINE, "Common Startup", "A\\Start Menu\\Programs\\Startup",
     ""},
    {CSIDL_COMMON_DESKTOPDIRECTORY, HKEY_LOCAL_MACHINE, "Common Desktop", "A\\Desktop", ""},
    {CSIDL_COMMON_FAVORITES, HKEY_LOCAL_MACHINE, "Common Favorites", "A\\Favorites", ""},
    {CSIDL_COMMON_APPDATA, HKEY_LOCAL_MACHINE, "Common AppData", "A\\Application Data", ""},
};

bool ReadString(const Registry& reg, HKEY root, std::string_view key, std::string_view name,
                std::string& out) {
    RegValue v;
    if (reg.QueryValue(root, key, name, v) != ERROR_SUCCESS) return false;
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ) return false;
    std::string s = v.AsString();
    if (s.empty()) return false;
    out = std::move(s);
    return true;
}

}  // namespace

ConfiguredSystemInfo::ConfiguredSystemInfo(const SystemSettings& settings, const Registry& registry,
                                           FileSystem& files)
    : family_(settings.os),
      user_(settings.user),
      windir_(settings.windir),
      temp_(settings.temp),
      registry_(registry),
      files_(files) {}

std::uint32_t ConfiguredSystemInfo::Version() const {
    // Windows XP 5.1 build 2600; Windows 98 4.10 with the 9x bit.
    return family_ == OsFamily::Nt ? 0x0A280105u : 0xC0000A04u;
}

std::string ConfiguredSystemInfo::ProfileDirectory() const {
    return "C:\\Documents and Settings\\" + user_;
}

std::string ConfiguredSystemInfo::SystemDirectory() const {
    return windir_ + (family_ == OsFamily::Nt ? "\\system32" : "\\SYSTEM");
}

std::string ConfiguredSystemInfo::TempPath() const {
    std::string t = temp_;
    if (t.empty()) {
        t = family_ == OsFamily::Nt ? ProfileDirectory() + "\\Local Settings\\Temp"
                                    : windir_ + "\\TEMP";
    }
    if (t.back() != '\\') t += '\\';
    return t;
}

std::string ConfiguredSystemInfo::ExpandEnvironment(std::string_view text) const {
    auto value = [&](std::string_view name, std::string& out) {
        std::string profile = family_ == OsFamily::Nt ? ProfileDirectory() : windir_;
        std::string tmp = TempPath();
        tmp.pop_back();
        const std::pair<std::string_view, std::string> vars[] = {
            {"USERPROFILE", profile},
            {"ALLUSERSPROFILE", std::string(kAllUsers)},
            {"SystemRoot", windir_},
            {"windir", windir_},
            {"SystemDrive", "C:"},
            {"ProgramFiles", "C:\\Program Files"},
            {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
            {"TEMP", tmp},
            {"TMP", tmp},
            {"USERNAME", user_},
            {"HOMEDRIVE", "C:"},
            {"HOMEPATH", profile.substr(2)},
            {"APPDATA", profile + "\\Application Data"},
        };
        for (const auto& [n, v] : vars) {
            if (text::EqualsNoCase(n, name)) {
                out = v;
                return true;
            }
        }
        return false;
    };
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = text.find('%', i);
        if (start == std::string_view::npos) break;
        std::size_t end = text.find('%', start + 1);
        if (end == std::string_view::npos) break;
        std::string v;
        out.append(text.substr(i, start - i));
        if (value(text.substr(start + 1, end - start - 1), v)) {
            out += v;
            i = end + 1;
        } else {
            out.push_back('%');
            i = start + 1;
        }
    }
    out.append(text.substr(i));
    return out;
}

std::string ConfiguredSystemInfo::Lookup(int csidl) const {
    std::string path;
    if (csidl == CSIDL_PROGRAM_FILES || csidl == CSIDL_PROGRAM_FILES_COMMON) {
        bool pf = csidl == CSIDL_PROGRAM_FILES;
        if (ReadString(registry_, HKEY_LOCAL_MACHINE,
                       "Software\\Microsoft\\Windows\\CurrentVersion",
                       pf ? "ProgramFilesDir" : "CommonFilesDir", path)) {
            return ExpandEnvironment(path);
        }
        return pf ? "C:\\Program Files" : "C:\\Program Files\\Common Files";
    }
    if (csidl == CSIDL_PROFILE) return family_ == OsFamily::Nt ? ProfileDirectory() : "";
    for (const auto& row : kFolders) {
        if (row.csidl != csidl) continue;
        if (ReadString(registry_, row.root, std::string(kExplorer) + "User Shell Folders", row.name,
                       path) ||
            ReadString(registry_, row.root, std::string(kExplorer) + "Shell Folders", row.name,
                       path)) {
            return ExpandEnvironment(path);
        }
        std::string_view def = family_ == OsFamily::Nt ? row.ntDefault : row.nineXDefault;
        if (def.empty()) return "";
        std::string base;
        switch (def[0]) {
            case 'P':
                base = ProfileDirectory();
                break;
            case 'A':
                base = std::string(kAllUsers);
                break;
            case 'W':
                base = windir_;
                break;
            default:
                base = "C:";
                break;
        }
        return base + std::string(def.substr(1));
    }
    return "";
}

WinError ConfiguredSystemInfo::GetSpecialFolderPath(int csidl, bool create, std::string& path) {
    std::string p = Lookup(csidl);
    if (p.empty()) return ERROR_FILE_NOT_FOUND;
    if (create) {
        std::uint32_t attrs = 0;
        if (files_.GetAttributes(p, attrs) != ERROR_SUCCESS) {
            // Create every missing folder on the way, as the shell does.
            std::size_t pos = 3;
            while (pos <= p.size()) {
                std::size_t next = p.find('\\', pos);
                if (next == std::string::npos) next = p.size();
                std::string part = p.substr(0, next);
                if (files_.GetAttributes(part, attrs) != ERROR_SUCCESS) {
                    WinError e = files_.CreateDirectory(part);
                    if (e != ERROR_SUCCESS && e != ERROR_ALREADY_EXISTS) return e;
                }
                pos = next + 1;
            }
        }
    }
    path = std::move(p);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine
