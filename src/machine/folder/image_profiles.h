#pragma once
// Private-profile files of a machine image. A file name without a folder is in
// the Windows folder. Files are read as UTF-8 when valid, else CP949, and written
// back in the encoding they were read in (new files as UTF-8), through a
// temporary file and a rename; line ends of the file are kept (CR LF for new files).

#include <string>

#include "machine/folder/host_paths.h"
#include "machine/profiles.h"

namespace veldan::machine::image {

class ImageProfiles final : public Profiles {
  public:
    ImageProfiles(HostPaths& paths, std::string windowsDirectory);

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
    // The Windows path of `file`: as given when it names a folder, else in the Windows folder.
    std::string FullPath(std::string_view file) const;

    HostPaths& paths_;
    std::string windowsDirectory_;
};

}  // namespace veldan::machine::image
