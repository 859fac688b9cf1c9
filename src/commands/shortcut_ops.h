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
#include "platform/mode.h"

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
    // STARTUPDIR, CMNSTARTUPDIR.
    StartupFolders,
};

// The folders of a list in order, taken from the table. Entries the table
// leaves empty (a folder this machine does not have) are left out.
std::vector<std::string> ShortcutFolders(const platform::FolderTable& folders,
                                         ShortcutFolderList list);

// The searches by a text a shortcut's field contains. A scan looks in the
// per-scan shortcut caches, a cure walks the folder lists:
enum class ShortcutSearch {
    // ShortcutByTarget: program shortcuts by their target (ProgramWalk).
    ByTarget,
    // ShortcutByIcon: program shortcuts by their icon path (ProgramWalk).
    ByIcon,
    // InternetShortcut: internet shortcuts by their address (UrlWalkByAddress),
    // then program shortcuts by their arguments (ProgramWalk).
    InternetByAddress,
    // InternetShortcutByIcon: internet shortcuts by their icon path (UrlWalkByIcon).
    InternetByIcon,
};
int SearchShortcuts(platform::Context& ctx, ShortcutSearch search, std::string_view text,
                    platform::Mode mode);

// "<folder>\\<name>.url" in each folder of UrlNames (InternetShortcutByName),
// "<folder>\\<name>.lnk" in each folder of any other list: ProgramNames
// (ShortcutByName), StartupFolders (the named shortcuts of the start-up words).
// ScanNamedShortcut / CureNamedShortcut (ScanNamedUrl / CureNamedUrl) in each.
int NamedShortcuts(platform::Context& ctx, ShortcutFolderList list, std::string_view name,
                   platform::Mode mode);

}  // namespace veldan::commands
