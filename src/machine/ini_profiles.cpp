#include "machine/ini_profiles.h"

#include <utility>

namespace veldan::machine {
namespace {

// A line break inside a name or value would write lines of its own.
bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool HasLineBreak(std::optional<std::string_view> s) {
    return s && HasLineBreak(*s);
}

}  // namespace

IniProfiles::IniProfiles(std::string windowsDirectory)
    : windowsDirectory_(std::move(windowsDirectory)) {}

std::string IniProfiles::FullPath(std::string_view file) const {
    if (file.find_first_of("\\/") != std::string_view::npos) return std::string(file);
    std::string path = windowsDirectory_;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path.push_back('\\');
    path.append(file);
    return path;
}

std::optional<host::IniText> IniProfiles::LoadFile(std::string_view file) const {
    if (file.empty()) return std::nullopt;
    return Load(FullPath(file));
}

std::string IniProfiles::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, std::string_view file) const {
    std::optional<host::IniText> ini = LoadFile(file);
    std::optional<std::string> value = ini ? ini->Find(section, key) : std::nullopt;
    if (!value) return std::string(def);
    // As GetPrivateProfileString does, one pair of matching quotes (double or
    // single) around the whole value is dropped.
    std::string& v = *value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

std::vector<std::pair<std::string, std::string>> IniProfiles::GetSection(
    std::string_view section, std::string_view file) const {
    std::optional<host::IniText> ini = LoadFile(file);
    return ini ? ini->Section(section) : std::vector<std::pair<std::string, std::string>>{};
}

std::vector<std::string> IniProfiles::GetSectionNames(std::string_view file) const {
    std::optional<host::IniText> ini = LoadFile(file);
    return ini ? ini->SectionNames() : std::vector<std::string>{};
}

WinError IniProfiles::WriteString(std::string_view section, std::optional<std::string_view> key,
                                  std::optional<std::string_view> value, std::string_view file) {
    if (file.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Change(FullPath(file), [&](host::IniText& ini, bool exists) {
        if (key && value) {
            ini.Set(section, *key, *value);
            return true;
        }
        // Deleting from a file that is not there has nothing to do and creates nothing.
        if (!exists) return false;
        return key ? ini.DeleteKey(section, *key) : ini.DeleteSection(section);
    });
}

WinError IniProfiles::AppendString(std::string_view section, std::string_view key,
                                   std::string_view value, std::string_view file) {
    if (file.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Change(FullPath(file), [&](host::IniText& ini, bool) {
        ini.Append(section, key, value);
        return true;
    });
}

}  // namespace veldan::machine
