#pragma once
// Private-profile (INI) files of the machine: Win.ini, System.ini, Wininit.ini,
// internet shortcuts. Windows semantics: sections and keys compare without
// regard to ASCII case, a file name without a folder means the Windows folder,
// surrounding white space of keys and values is dropped.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

class Profiles {
  public:
    virtual ~Profiles() = default;

    // The value of `key` in `section` (GetPrivateProfileString), or `def` when
    // the file, section or key is missing. A value quoted on both sides loses the quotes.
    virtual std::string GetString(std::string_view section, std::string_view key,
                                  std::string_view def, std::string_view file) const = 0;

    // The key=value lines of a section in file order, duplicates kept
    // (GetPrivateProfileSection). Empty when the file or section is missing.
    virtual std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const = 0;

    // The section names of the file in file order.
    virtual std::vector<std::string> GetSectionNames(std::string_view file) const = 0;

    // Writes `key`=`value` (WritePrivateProfileString): the first line of the key is
    // replaced, else the key is added at the end of its section, else the section is
    // added at the end of the file, else the file is created. No value deletes the
    // key (and succeeds when there was none); no key deletes the whole section.
    [[nodiscard]] virtual WinError WriteString(std::string_view section,
                                               std::optional<std::string_view> key,
                                               std::optional<std::string_view> value,
                                               std::string_view file) = 0;

    // Adds `key`=`value` at the end of the section even when the key exists
    // already, as Wininit.ini [Rename] holds one "NUL" line per file.
    [[nodiscard]] virtual WinError AppendString(std::string_view section, std::string_view key,
                                                std::string_view value, std::string_view file) = 0;
};

}  // namespace veldan::machine

// Declares every Profiles operation with the virt-specifier `virt` (override or
// final), for a backend that implements them all (IniProfiles, Win32Profiles).
#define VELDAN_PROFILES_OPERATIONS(virt)                                                       \
    std::string GetString(std::string_view section, std::string_view key, std::string_view def, \
                          std::string_view file) const virt;                                   \
    std::vector<std::pair<std::string, std::string>> GetSection(                               \
        std::string_view section, std::string_view file) const virt;                           \
    std::vector<std::string> GetSectionNames(std::string_view file) const virt;                \
    WinError WriteString(std::string_view section, std::optional<std::string_view> key,        \
                         std::optional<std::string_view> value, std::string_view file) virt;   \
    WinError AppendString(std::string_view section, std::string_view key,                      \
                          std::string_view value, std::string_view file) virt
