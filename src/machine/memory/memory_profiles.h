#pragma once
// Private-profile (INI) files kept in a machine's file system, read and
// written as UTF-8 text with CR LF line ends. A file name without a folder
// names a file in the Windows folder.

#include <string>

#include "machine/file_system.h"
#include "machine/profiles.h"

namespace veldan::machine::memory {

class MemoryProfiles final : public Profiles {
  public:
    MemoryProfiles(FileSystem& files, std::string windir)
        : files_(files), windir_(std::move(windir)) {}

    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file) const override;
    std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const override;
    std::vector<std::string> GetSectionNames(std::string_view file) const override;
    WinError WriteString(std::string_view section, std::optional<std::string_view> key,
                         std::optional<std::string_view> value, std::string_view file) override;
    WinError AppendString(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) override;

  private:
    std::string PathOf(std::string_view file) const;
    std::vector<std::string> Lines(std::string_view file) const;
    WinError Store(std::string_view file, const std::vector<std::string>& lines);

    FileSystem& files_;
    std::string windir_;
};

}  // namespace veldan::machine::memory
