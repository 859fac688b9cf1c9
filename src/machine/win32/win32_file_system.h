#pragma once
// The file system of the machine Veldan runs on, through the wide file calls.

#include "machine/file_system.h"
#include "machine/profiles.h"
#include "machine/system_info.h"

namespace veldan::machine::win32 {

class Win32FileSystem final : public FileSystem {
  public:
    // `profiles` writes Wininit.ini for deletions at restart on the 9x family.
    Win32FileSystem(OsFamily family, Profiles& profiles) : family_(family), profiles_(profiles) {}

    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override;
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override;
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override;
    WinError FindFiles(std::string_view pattern, std::vector<FindData>& entries) const override;
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override;
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override;
    WinError DeleteFile(std::string_view path) override;
    WinError RemoveDirectory(std::string_view path) override;
    WinError CreateDirectory(std::string_view path) override;
    WinError OpenRead(std::string_view path, std::unique_ptr<FileReader>& reader) const override;
    WinError ReadFile(std::string_view path, std::string& bytes) const override;
    WinError WriteFile(std::string_view path, std::string_view bytes) override;
    WinError DeleteAtRestart(std::string_view path) override;

  private:
    OsFamily family_;
    Profiles& profiles_;
};

}  // namespace veldan::machine::win32
