#pragma once
// The FileSystem backends the file-system contract suite runs against in this
// build: the machine image's host folder (its listings checked or kept as a
// snapshot) and the in-memory drive on Linux; the in-memory drive and the live
// file system below a scratch folder on Windows. Each gives its drive C:, lets
// a test hold a file as a running program would, and tells which deletions at
// restart it was asked for.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "machine/file_system.h"
#include "machine/memory/memory_file_system.h"
#include "text/strings.h"

#ifdef _WIN32
#include "support/scratch_drive_win32.h"
#include "support/scratch_key_win32.h"
#else
#include <filesystem>

#include "host/ntfs_dos_name.h"
#include "machine/folder/image_file_system.h"
#include "support/temp_dir.h"
#endif

namespace veldan::test {

using Strings = std::vector<std::string>;

// Where a backend cannot behave as Windows does for a reason outside Veldan.
enum class FileSystemQuirk {
    ShortNameForm,    // the 8.3 names it makes are not Windows' "NAME~1.EXT"
    ReadOnlyFolders,  // a folder cannot be made read-only
};

// Each backend's Differs(quirk) gives the reason, or "" when it behaves as Windows.
struct BehavesAsWindows {
    static std::string Differs(FileSystemQuirk) { return {}; }
};

// Drive C: in memory; held files and scheduled deletions as the machine would supply them.
class MemoryBackend : public BehavesAsWindows {
  public:
    MemoryBackend()
        : files_(
              [this](std::string_view path) {
                  for (const std::string& h : held_) {
                      if (text::EqualsNoCase(h, path)) return true;
                  }
                  return false;
              },
              [this](std::string_view path) {
                  scheduled_.emplace_back(path);
                  return machine::ERROR_SUCCESS;
              }) {}

    machine::FileSystem& files() { return files_; }
    void Hold(std::string_view path) {
        std::string longPath;
        ASSERT_EQ(files_.GetLongPathName(path, longPath), machine::ERROR_SUCCESS);
        held_.push_back(longPath);
    }
    const Strings& scheduled() const { return scheduled_; }

  private:
    Strings held_;
    Strings scheduled_;
    machine::memory::MemoryFileSystem files_;
};

#ifdef _WIN32

// The live file system below a scratch folder of the machine the tests run on.
class Win32Backend {
  public:
    static std::string Differs(FileSystemQuirk quirk) {
        if (!RunningUnderWine()) return {};
        switch (quirk) {
            case FileSystemQuirk::ShortNameForm:
                return "Wine makes 8.3 names from a hash of the long name (PAGE~DPA.HTM), "
                       "not numbered ones (PAGE~1.HTM)";
            case FileSystemQuirk::ReadOnlyFolders:
                return "Wine ignores FILE_ATTRIBUTE_READONLY on folders: it keeps read-only as "
                       "the Unix write permission of files only";
        }
        return {};
    }
    machine::FileSystem& files() { return drive_; }
    void Hold(std::string_view path) { drive_.Hold(path); }
    Strings scheduled() const { return drive_.Scheduled(); }

  private:
    ScratchDrive drive_;
};

using FileSystemBackends = ::testing::Types<MemoryBackend, Win32Backend>;

#else

// A machine image's drive in a temporary folder; held files and scheduled
// deletions are what the machine would supply. Folder listings are checked
// against the host or kept as a snapshot, as a machine keeps them.
template <machine::image::HostPaths::Listings kListings>
class ImageBackendOf : public BehavesAsWindows {
  public:
    ImageBackendOf()
        : root_(MakeDrive(dir_)),
          paths_(root_, host::ReadNtfsDosName, kListings),
          files_(
              paths_, [this](const std::string& host) { return held_.count(host) != 0; },
              [this](std::string_view path) {
                  scheduled_.emplace_back(path);
                  return machine::ERROR_SUCCESS;
              }) {}

    machine::FileSystem& files() { return files_; }
    void Hold(std::string_view path) {
        std::string host;
        ASSERT_EQ(paths_.Resolve(path, host), machine::ERROR_SUCCESS);
        held_.insert(host);
    }
    const Strings& scheduled() const { return scheduled_; }
    const std::string& root() const { return root_; }

  private:
    static std::string MakeDrive(const TempDir& dir) {
        std::filesystem::create_directory(dir.path() / "drive_c");
        return (dir.path() / "drive_c").string();
    }

    TempDir dir_;
    std::string root_;
    machine::image::HostPaths paths_;
    std::set<std::string> held_;
    Strings scheduled_;
    machine::image::ImageFileSystem files_;
};

using ImageBackend = ImageBackendOf<machine::image::HostPaths::Listings::kChecked>;
using SnapshotImageBackend = ImageBackendOf<machine::image::HostPaths::Listings::kSnapshot>;
using FileSystemBackends = ::testing::Types<ImageBackend, SnapshotImageBackend, MemoryBackend>;

#endif

}  // namespace veldan::test
