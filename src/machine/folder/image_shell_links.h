#pragma once
// Shortcut files of a machine image: .lnk read by our own
// reader of the shell link format, .url read as INI.

#include "machine/folder/host_paths.h"
#include "machine/profiles.h"
#include "machine/shell_links.h"

namespace veldan::machine::image {

class ImageShellLinks final : public ShellLinks {
  public:
    ImageShellLinks(HostPaths& paths, const Profiles& profiles);

    WinError LoadShellLink(std::string_view path, ShellLinkData& link) const override;
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override;

  private:
    HostPaths& paths_;
    const Profiles& profiles_;
};

}  // namespace veldan::machine::image
