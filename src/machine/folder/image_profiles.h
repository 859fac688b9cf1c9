#pragma once
// Private-profile files of a machine image. A file name without a folder is in
// the Windows folder. Files are read as UTF-8 when valid, else CP949, and written
// back in the encoding they were read in (new files as UTF-8), through a
// temporary file and a rename; line ends of the file are kept (CR LF for new files).

#include <string>

#include "machine/folder/host_paths.h"
#include "machine/ini_profiles.h"

namespace veldan::machine::image {

class ImageProfiles final : public IniProfiles {
  public:
    ImageProfiles(HostPaths& paths, std::string windowsDirectory);

  private:
    std::optional<host::IniText> Load(const std::string& path) const override;
    WinError Change(const std::string& path, const Edit& edit) override;

    HostPaths& paths_;
};

}  // namespace veldan::machine::image
