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

    // The FileSystem operations.
    VELDAN_FILE_SYSTEM_OPERATIONS;

  private:
    OsFamily family_;
    Profiles& profiles_;
};

}  // namespace veldan::machine::win32
