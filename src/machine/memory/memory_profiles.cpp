#include "machine/memory/memory_profiles.h"

namespace veldan::machine::memory {

std::optional<host::IniText> MemoryProfiles::Load(const std::string& path) const {
    std::string bytes;
    if (files_.ReadFile(path, bytes) != ERROR_SUCCESS) return std::nullopt;
    return host::IniText(bytes);
}

WinError MemoryProfiles::Change(const std::string& path, const Edit& edit) {
    std::string bytes;
    const WinError read = files_.ReadFile(path, bytes);
    const bool exists = read == ERROR_SUCCESS;
    if (!exists && read != ERROR_FILE_NOT_FOUND && read != ERROR_PATH_NOT_FOUND) return read;
    host::IniText ini(bytes);
    if (!edit(ini, exists)) return ERROR_SUCCESS;
    return files_.WriteFile(path, ini.Text());
}

}  // namespace veldan::machine::memory
