#pragma once
// The ShellLinks backend the shell-links contract suite runs against in this
// build: the machine image's reader over a host folder on Linux; IShellLinkW
// with IPersistFile, and the profile calls for .url files, on Windows with
// drive C: in a scratch folder. Either lets a test put a file on drive C: and
// names where it cannot behave as Windows does.

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "machine/shell_links.h"
#include "support/lnk_writer.h"

#ifdef _WIN32
#include "machine/win32/win32_services.h"
#include "support/scratch_drive_win32.h"
#include "support/scratch_key_win32.h"
#else
#include "machine/folder/host_paths.h"
#include "machine/folder/image_profiles.h"
#include "machine/folder/image_shell_links.h"
#include "support/temp_dir.h"
#endif

namespace veldan::test {

// Where a backend cannot behave as Windows does for a reason outside Veldan.
enum class ShellLinksQuirk {
    AnsiCodePage,       // CP949 strings of a link are not read as CP949
    ShowCommand,        // the header's show command is not read
    UnicodeLocalPath,   // the UTF-16 copy of the LinkInfo's local path is not read
    EnvironmentTarget,  // the environment-variable target block is not read
};

// "a/b c/d.lnk" as the Windows path "C:\a\b c\d.lnk".
inline std::string DrivePath(std::string_view relative) {
    std::string win = "C:\\" + std::string(relative);
    for (char& c : win) c = c == '/' ? '\\' : c;
    return win;
}

// A link with every field set, Korean text in each string.
inline LnkSpec EveryFieldLink() {
    LnkSpec lnk;
    lnk.target = "C:\\Program Files\\악성\\툴바.exe";
    lnk.arguments = "/설치 --quiet \"C:\\a b\"";
    lnk.workingDirectory = "C:\\Program Files\\악성";
    lnk.description = "검색 도우미";
    lnk.iconLocation = "C:\\WINDOWS\\system32\\shell32.dll";
    lnk.iconIndex = -14;
    lnk.hotKey = 0x0641;  // Ctrl+Shift+A
    lnk.showCommand = 7;  // SW_SHOWMINNOACTIVE
    return lnk;
}

#ifdef _WIN32

// The live shortcuts with every "C:\x" path read from the scratch folder.
class ScratchShellLinks final : public machine::ShellLinks {
  public:
    explicit ScratchShellLinks(const ScratchDrive& drive) : drive_(drive) {}
    WinError LoadShellLink(std::string_view path, machine::ShellLinkData& link) const override {
        return live_.LoadShellLink(drive_.Map(path), link);
    }
    WinError LoadUrlShortcut(std::string_view path, machine::UrlShortcutData& link) const override {
        return live_.LoadUrlShortcut(drive_.Map(path), link);
    }

  private:
    const ScratchDrive& drive_;
    machine::win32::Win32Profiles profiles_;
    machine::win32::Win32ShellLinks live_{profiles_};
};

class ShellLinksBackend {
  public:
    machine::ShellLinks& links() { return links_; }
    // Writes a file below drive C: with its folders; gives its Windows path.
    std::string Put(std::string_view relative, std::string_view bytes);
    static std::string Differs(ShellLinksQuirk quirk);

  private:
    ScratchDrive drive_;
    ScratchShellLinks links_{drive_};
};

#else

class ShellLinksBackend {
  public:
    machine::ShellLinks& links() { return links_; }
    std::string Put(std::string_view relative, std::string_view bytes) {
        dir_.Write("drive_c/" + std::string(relative), bytes);
        return DrivePath(relative);
    }
    static std::string Differs(ShellLinksQuirk) { return {}; }

  private:
    TempDir dir_;
    machine::image::HostPaths paths_{dir_.str() + "/drive_c"};
    machine::image::ImageProfiles profiles_{paths_, "C:\\WINDOWS"};
    machine::image::ImageShellLinks links_{paths_, profiles_};
};

#endif

}  // namespace veldan::test
