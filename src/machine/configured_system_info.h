#pragma once
// What a machine that is not running tells about itself (an image, an
// installation, an in-memory machine): family, user and folders from its
// settings, special folders from its registry or the family's defaults.

#include <string>

#include "machine/file_system.h"
#include "machine/registry.h"
#include "machine/system_info.h"

namespace veldan::machine {

// The settings a machine's system information starts from.
struct SystemSettings {
    OsFamily os = OsFamily::Nt;
    std::string user = "Owner";
    std::string windir = "C:\\WINDOWS";
    std::string temp;  // empty: the family's default
};

class ConfiguredSystemInfo final : public SystemInfo {
  public:
    ConfiguredSystemInfo(const SystemSettings& settings, const Registry& registry,
                         FileSystem& files);

    OsFamily Family() const override { return family_; }
    std::uint32_t Version() const override;
    std::string UserName() const override { return user_; }
    WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override;
    std::string WindowsDirectory() const override { return windir_; }
    std::string SystemDirectory() const override;
    std::string TempPath() const override;

    // The user's profile folder on the NT family ("C:\\Documents and Settings\\<user>").
    std::string ProfileDirectory() const;

    // Replaces %NAME% variables of the machine's environment (USERPROFILE,
    // ALLUSERSPROFILE, SystemRoot, windir, SystemDrive, ProgramFiles,
    // CommonProgramFiles, TEMP, TMP, USERNAME, HOMEDRIVE, HOMEPATH, APPDATA);
    // unknown variables stay as written.
    std::string ExpandEnvironment(std::string_view text) const override;

  private:
    // The folder's path from the registry or the defaults; "" when the family has none.
    std::string Lookup(int csidl) const;

    OsFamily family_;
    std::string user_;
    std::string windir_;
    std::string temp_;
    const Registry& registry_;
    FileSystem& files_;
};

}  // namespace veldan::machine
