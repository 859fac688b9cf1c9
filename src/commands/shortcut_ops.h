#pragma once
// The shortcut commands: program shortcuts (.lnk) and internet shortcuts (.url)
// found by what they point at, by their icon or by their file name. Scans read
// the per-scan shortcut caches (or, for names, the fixed folders); cures walk
// the fixed folder lists afresh. Every folder of a list is tried (no early
// stop) and a command returns 1 when any call returned nonzero. An empty text,
// which every field contains, finds and removes nothing.

#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"
#include "platform/folder_table.h"

namespace veldan::commands {

// The folder lists of the shortcut commands (each folder itself, no sub-folders).
enum class ShortcutFolderList {
    // DESKTOPDIR, CMNDESKTOPDIR, STARTMENUDIR, CMNSTARTMENUDIR, PROGRAMSDIR,
    // CMNPROGRAMSDIR, FAVDIR, CMNFAVDIR, QUICKLAUNCHDIR, SENDTODIR, STARTUPDIR,
    // CMNSTARTUPDIR.
    ProgramWalk,
    // "C:", then the first nine folders of ProgramWalk.
    UrlWalkByAddress,
    // The first nine folders of ProgramWalk.
    UrlWalkByIcon,
    // The twelve folders of ProgramWalk.
    ProgramNames,
    // The first nine folders of ProgramWalk.
    UrlNames,
};

// The folders of a list in order, taken from the table. Entries the table
// leaves empty (a folder this machine does not have) are left out.
std::vector<std::string> ShortcutFolders(const platform::FolderTable& folders,
                                         ShortcutFolderList list);

// ShortcutByTarget: cached program shortcuts whose target contains the text /
// the program-shortcut walk with the target field.
int ScanShortcutByTarget(platform::Context& ctx, std::string_view text);
int CureShortcutByTarget(platform::Context& ctx, std::string_view text);
// ShortcutByIcon: the same with the icon path.
int ScanShortcutByIcon(platform::Context& ctx, std::string_view text);
int CureShortcutByIcon(platform::Context& ctx, std::string_view text);
// InternetShortcut: internet shortcuts whose address contains the text, then
// program shortcuts whose arguments contain it.
int ScanInternetShortcut(platform::Context& ctx, std::string_view text);
int CureInternetShortcut(platform::Context& ctx, std::string_view text);
// InternetShortcutByIcon: internet shortcuts whose icon path contains the text.
int ScanInternetShortcutByIcon(platform::Context& ctx, std::string_view text);
int CureInternetShortcutByIcon(platform::Context& ctx, std::string_view text);
// ShortcutByName: "<folder>\\<name>.lnk" in each program-shortcut name folder.
int ScanShortcutByName(platform::Context& ctx, std::string_view name);
int CureShortcutByName(platform::Context& ctx, std::string_view name);
// InternetShortcutByName: "<folder>\\<name>.url" in each internet-shortcut name folder.
int ScanInternetShortcutByName(platform::Context& ctx, std::string_view name);
int CureInternetShortcutByName(platform::Context& ctx, std::string_view name);

// Named shortcuts in the two start-up folders (STARTUPDIR, CMNSTARTUPDIR):
// ScanNamedShortcut / CureNamedShortcut in each; 1 when any returned nonzero.
int ScanStartupShortcutByName(platform::Context& ctx, std::string_view name);
int CureStartupShortcutByName(platform::Context& ctx, std::string_view name);

}  // namespace veldan::commands
