#pragma once
// The names the command families share: the registry roots, and the registry
// keys they look at (each below the hive named where it is used).

#include <string_view>

#include "machine/registry.h"
#include "platform/context.h"
#include "platform/folder_table.h"

namespace veldan::commands {

using machine::HKEY;
using machine::HKEY_CLASSES_ROOT;
using machine::HKEY_CURRENT_USER;
using machine::HKEY_LOCAL_MACHINE;
using platform::Context;
using platform::FolderTable;

// ---- the browser
inline constexpr std::string_view kIEMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr std::string_view kIESearchKey = "Software\\Microsoft\\Internet Explorer\\Search";
inline constexpr std::string_view kIESearchUrlKey =
    "Software\\Microsoft\\Internet Explorer\\SearchUrl";
inline constexpr std::string_view kIEStylesKey = "Software\\Microsoft\\Internet Explorer\\Styles";
inline constexpr std::string_view kIEToolBarKey = "Software\\Microsoft\\Internet Explorer\\ToolBar";
inline constexpr std::string_view kURLSearchHooksKey =
    "Software\\Microsoft\\Internet Explorer\\URLSearchHooks";
inline constexpr std::string_view kBrowserHelperObjectsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr std::string_view kDefaultPrefixKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
inline constexpr std::string_view kPrefixesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
// HKCR: the about: protocol handler and the two MIME filters hijackers install.
inline constexpr std::string_view kAboutHandlerKey = "PROTOCOLS\\Handler\\about";
inline constexpr std::string_view kTextHtmlFilterKey = "PROTOCOLS\\Filter\\text/html";
inline constexpr std::string_view kTextPlainFilterKey = "PROTOCOLS\\Filter\\text/plain";

// ---- classes and controls
inline constexpr std::string_view kExplorerBarsKey =
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars";
inline constexpr std::string_view kApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr std::string_view kShellExecuteHooksKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
inline constexpr std::string_view kArpCacheKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
inline constexpr std::string_view kInstalledComponentsKey =
    "Software\\Microsoft\\Active Setup\\Installed Components";
inline constexpr std::string_view kClsIdFeatureKey =
    "Software\\Microsoft\\Active Setup\\ClsIdFeature";

// ---- start-up places
inline constexpr std::string_view kWinlogonKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline constexpr std::string_view kNtWindowsKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr std::string_view kExeOpenCommandKey = "exefile\\shell\\open\\command";
inline constexpr std::string_view kShellServiceObjectDelayLoadKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";

}  // namespace veldan::commands
