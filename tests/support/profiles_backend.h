#pragma once
// The Profiles backend the profiles contract suite runs against in this build:
// the machine image's INI files on Linux, the private-profile calls of the live
// machine on Windows with drive C: in a scratch folder. Either gives the host
// folder that stands for drive C:, whose WINDOWS folder exists.

#include <filesystem>
#include <string>

#include "machine/profiles.h"

#ifdef _WIN32
#include <windows.h>

#include "machine/forwarding.h"
#include "machine/win32/win32_services.h"
#include "support/scratch_drive_win32.h"
#include "support/scratch_key_win32.h"
#else
#include "machine/folder/host_paths.h"
#include "machine/folder/image_profiles.h"
#include "support/temp_dir.h"
#endif

namespace veldan::test {

// Where a backend cannot behave as Windows does for a reason outside Veldan.
enum class ProfilesQuirk {
    ShortNameForm,       // the 8.3 names it makes are not Windows' "NAME~1"
    AnsiCodePage,        // files without a byte-order mark are not read as CP949
    FileLayout,          // a write does not keep the file's lines as they were
    CommentsAndRepeats,  // ';' lines are keys, a repeated section is listed twice
    NewFileEncoding,     // a new file is not written as UTF-8
};

#ifdef _WIN32

// The profile calls with every file of drive C: in the scratch folder; a name
// without a folder is the scratch WINDOWS folder's, as the Windows folder's.
class ScratchProfiles final : public machine::ForwardingProfiles {
  public:
    ScratchProfiles(machine::Profiles& inner, const ScratchDrive& drive)
        : ForwardingProfiles(inner), drive_(drive) {}

    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file) const override {
        return inner().GetString(section, key, def, Map(file));
    }
    std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const override {
        return inner().GetSection(section, Map(file));
    }
    std::vector<std::string> GetSectionNames(std::string_view file) const override {
        return inner().GetSectionNames(Map(file));
    }
    WinError WriteString(std::string_view section, std::optional<std::string_view> key,
                         std::optional<std::string_view> value, std::string_view file) override {
        return inner().WriteString(section, key, value, Map(file));
    }
    WinError AppendString(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) override {
        return inner().AppendString(section, key, value, Map(file));
    }

  private:
    std::string Map(std::string_view file) const {
        if (file.find_first_of("\\/:") == std::string_view::npos) {
            return drive_.Map("C:\\WINDOWS\\" + std::string(file));
        }
        return drive_.Map(file);
    }
    const ScratchDrive& drive_;
};

class ProfilesBackend {
  public:
    ProfilesBackend() { std::filesystem::create_directories(drive() / "WINDOWS"); }
    std::filesystem::path drive() const { return std::filesystem::path(drive_.root()); }
    machine::Profiles& profiles() { return scratch_; }
    static std::string Differs(ProfilesQuirk quirk) {
        const bool wine = RunningUnderWine();
        switch (quirk) {
            case ProfilesQuirk::ShortNameForm:
                return wine ? "Wine makes 8.3 names from a hash of the long name (PROGR~XY), "
                              "not numbered ones (PROGRA~1)"
                            : "";
            case ProfilesQuirk::AnsiCodePage:
                return GetACP() == 949 ? ""
                                       : "the ANSI code page is " + std::to_string(GetACP()) +
                                             ", not 949: the profile calls read and write INI "
                                             "files in it (run with LC_ALL=ko_KR.UTF-8 under Wine)";
            case ProfilesQuirk::FileLayout:
                return wine ? "Wine's profile calls write the whole file again from what they "
                              "parsed: CR LF line ends, blank lines dropped, a replaced key keeps "
                              "its old name"
                            : "";
            case ProfilesQuirk::CommentsAndRepeats:
                return wine ? "Wine's profile calls take a ';' line as a key and list a repeated "
                              "section twice"
                            : "";
            case ProfilesQuirk::NewFileEncoding:
                return "WritePrivateProfileString makes a new file in the ANSI code page, not "
                       "in UTF-8 as the image backend does";
        }
        return {};
    }

  private:
    ScratchDrive drive_;
    machine::win32::Win32Profiles live_;
    ScratchProfiles scratch_{live_, drive_};
};

#else

class ProfilesBackend {
  public:
    ProfilesBackend() { std::filesystem::create_directories(drive() / "WINDOWS"); }
    std::filesystem::path drive() const { return dir_.path() / "drive_c"; }
    machine::Profiles& profiles() { return image_; }
    static std::string Differs(ProfilesQuirk) { return {}; }

  private:
    TempDir dir_;
    machine::image::HostPaths paths_{dir_.str() + "/drive_c"};
    machine::image::ImageProfiles image_{paths_, "C:\\WINDOWS"};
};

#endif

}  // namespace veldan::test
