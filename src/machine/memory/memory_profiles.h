#pragma once
// Private-profile (INI) files kept in a machine's file system, read and
// written as UTF-8 text; new files get CR LF line ends. A file name without a
// folder names a file in the Windows folder.

#include <string>

#include "machine/file_system.h"
#include "machine/ini_profiles.h"

namespace veldan::machine::memory {

class MemoryProfiles final : public IniProfiles {
  public:
    MemoryProfiles(FileSystem& files, std::string windir)
        : IniProfiles(std::move(windir)), files_(files) {}

  private:
    std::optional<host::IniText> Load(const std::string& path) const override;
    WinError Change(const std::string& path, const Edit& edit) override;

    FileSystem& files_;
};

}  // namespace veldan::machine::memory
