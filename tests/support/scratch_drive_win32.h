#pragma once
// Drive C: of the file-system contract tests on Windows: the live file system
// (Win32FileSystem) below a scratch folder of its own, so that "C:\x" of a test
// is "<scratch>\x" of the machine the tests run on. Paths that come back
// (long and short names) are given back in the test's terms again.

#include <string>
#include <vector>

#include "machine/file_system.h"
#include "machine/win32/win32_file_system.h"
#include "machine/win32/win32_services.h"
#include "support/temp_dir.h"

namespace veldan::test {

using machine::WinError;

class ScratchDrive final : public machine::FileSystem {
  public:
    ScratchDrive();
    ~ScratchDrive() override;

    // The scratch folder's path on the machine, in its long form.
    const std::string& root() const { return root_; }
    // "C:\x" as a path of the machine; other paths are left as they are.
    std::string Map(std::string_view path) const;
    // A path of the machine below the scratch folder (long or short form) in the
    // test's terms, with `drive` ("C:", as the test gave it) in front.
    std::string Back(std::string_view path, std::string_view drive) const;

    // Keeps the file open without sharing write or delete access, as a running
    // program holds its image, until the drive goes.
    void Hold(std::string_view path);
    // The deletions at restart the machine holds for files of this drive.
    std::vector<std::string> Scheduled() const;

    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override;
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override;
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override;
    WinError FindFiles(std::string_view pattern,
                       std::vector<machine::FindData>& entries) const override;
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override;
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override;
    WinError DeleteFile(std::string_view path) override;
    WinError RemoveDirectory(std::string_view path) override;
    WinError CreateDirectory(std::string_view path) override;
    WinError OpenRead(std::string_view path,
                      std::unique_ptr<machine::FileReader>& reader) const override;
    WinError ReadFile(std::string_view path, std::string& bytes) const override;
    WinError WriteFile(std::string_view path, std::string_view bytes) override;
    WinError DeleteAtRestart(std::string_view path) override;
    WinError OpenWrite(std::string_view path, machine::WriteMode mode,
                       std::unique_ptr<machine::FileWriter>& writer) override;
    WinError MoveFile(std::string_view from, std::string_view to, bool replace) override;
    WinError GetDiskFreeSpaceEx(std::string_view path, std::uint64_t& bytes) const override;
    WinError GetFileTime(std::string_view path, machine::FileTimes& times) const override;
    WinError SetFileTime(std::string_view path, const machine::FileTimes& times) override;

  private:
    TempDir dir_;
    std::string root_, shortRoot_;
    machine::win32::Win32Profiles profiles_;
    machine::win32::Win32FileSystem files_;
    std::vector<void*> held_;
};

}  // namespace veldan::test
