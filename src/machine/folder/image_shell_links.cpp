#include "machine/folder/image_shell_links.h"

#include <filesystem>
#include <string>

#include "host/file_read.h"
#include "machine/folder/lnk_reader.h"
#include "machine/url_shortcut.h"
#include "text/codepage.h"

namespace veldan::machine::image {
namespace {

// What the shell reports as the target of a link: the environment-variable target
// when the flags say the link has one, else the local path of the LinkInfo, else
// its network path, else the drive path of the item ID list, else the relative
// path as stored.
std::string TargetOf(const lnk::LnkContents& link) {
    if ((link.flags & lnk::kHasExpString) != 0 && !link.environmentTarget.empty()) {
        return link.environmentTarget;
    }
    if ((link.flags & lnk::kForceNoLinkInfo) == 0) {
        if (!link.localPath.empty()) return link.localPath;
        if (!link.networkPath.empty()) return link.networkPath;
    }
    if (!link.idListPath.empty()) return link.idListPath;
    return link.relativePath;
}

// The host path of the file at Windows path `path`; a folder is denied, as
// opening one as a file is.
WinError ResolveFile(const HostPaths& paths, std::string_view path, std::string& hostPath) {
    if (WinError err = paths.Resolve(path, hostPath); err != ERROR_SUCCESS) return err;
    std::error_code ec;
    return std::filesystem::is_directory(hostPath, ec) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

}  // namespace

ImageShellLinks::ImageShellLinks(HostPaths& paths, const Profiles& profiles)
    : paths_(paths), profiles_(profiles) {}

WinError ImageShellLinks::LoadShellLink(std::string_view path, ShellLinkData& link) const {
    std::string hostPath;
    if (WinError err = ResolveFile(paths_, path, hostPath); err != ERROR_SUCCESS) return err;
    std::string bytes;
    if (!host::ReadWholeFile(hostPath, bytes)) return ERROR_ACCESS_DENIED;

    lnk::LnkContents contents;
    if (lnk::ReadLnk(bytes, contents) != ERROR_SUCCESS) return ERROR_INVALID_DATA;

    ShellLinkData data;
    data.target = TargetOf(contents);
    data.arguments = std::move(contents.arguments);
    data.workingDirectory = std::move(contents.workingDirectory);
    data.description = std::move(contents.description);
    // The icon of the icon-environment block replaces the stored one when the flags say so.
    data.iconLocation =
        (contents.flags & lnk::kHasExpIcon) != 0 && !contents.iconEnvironmentTarget.empty()
            ? std::move(contents.iconEnvironmentTarget)
            : std::move(contents.iconLocation);
    data.iconIndex = contents.iconIndex;
    data.showCommand = static_cast<int>(contents.showCommand);
    data.hotKey = contents.hotKey;
    link = std::move(data);
    return ERROR_SUCCESS;
}

WinError ImageShellLinks::LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const {
    std::string hostPath;
    if (WinError err = ResolveFile(paths_, path, hostPath); err != ERROR_SUCCESS) return err;
    link = ReadUrlShortcut(profiles_, path);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::image
