#pragma once
// The services of the machine Veldan runs on, beside the registry and the file
// system: private-profile files, shortcuts, processes, windows, the launcher
// and what the system tells about itself. Each goes through the wide calls.

#include "machine/launcher.h"
#include "machine/processes.h"
#include "machine/profiles.h"
#include "machine/shell_links.h"
#include "machine/system_info.h"
#include "machine/windows.h"

namespace veldan::machine::win32 {

class Win32Profiles final : public Profiles {
  public:
    VELDAN_PROFILES_OPERATIONS(override);

  private:
    // True when the file has the section (ASCII case and surrounding blanks ignored).
    bool HasSection(std::string_view section, std::string_view file) const;
};

class Win32ShellLinks final : public ShellLinks {
  public:
    explicit Win32ShellLinks(const Profiles& profiles) : profiles_(profiles) {}
    WinError LoadShellLink(std::string_view path, ShellLinkData& link) const override;
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override;

  private:
    const Profiles& profiles_;
};

class Win32Processes final : public Processes {
  public:
    std::vector<ProcessInfo> List() const override;
    WinError Terminate(std::uint32_t id, std::uint32_t exitCode) override;
    WinError AdjustPrivilege(std::string_view privilege, bool enable) override;
};

class Win32Windows final : public Windows {
  public:
    std::vector<WindowInfo> Enumerate() const override;
    std::uint32_t FindByClass(std::string_view className) const override;
    WinError PostMessage(std::uint32_t handle, std::uint32_t message) override;
};

class Win32Launcher final : public Launcher {
  public:
    WinError RunAndWait(std::string_view commandLine, std::uint32_t& exitCode) override;
    WinError ShellOpen(std::string_view file, std::string_view parameters) override;
};

class Win32SystemInfo final : public SystemInfo {
  public:
    OsFamily Family() const override;
    std::uint32_t Version() const override;
    std::string UserName() const override;
    WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override;
    std::string WindowsDirectory() const override;
    std::string SystemDirectory() const override;
    std::string TempPath() const override;
    std::string ExpandEnvironment(std::string_view text) const override;
};

}  // namespace veldan::machine::win32
