// The shortcut commands. FavDir: a favourites sub-folder name and a pattern;
// the sub-folder's internet shortcuts whose address contains the pattern. The
// others take one text: shortcuts found by target, icon, address or file name.

#include "commands/command_rows.h"
#include "commands/shortcut_ops.h"
#include "platform/shortcuts.h"

namespace veldan::commands {
std::span<const CommandRow> ShortcutRows() {
    static constexpr CommandRow kRows[] = {
        Pair2<platform::ScanFavDir, platform::CureFavDir>("FavDir"),
        Pair1<ScanShortcutByTarget, CureShortcutByTarget>("ShortcutByTarget"),
        Pair1<ScanShortcutByIcon, CureShortcutByIcon>("ShortcutByIcon"),
        Pair1<ScanInternetShortcut, CureInternetShortcut>("InternetShortcut"),
        Pair1<ScanInternetShortcutByIcon, CureInternetShortcutByIcon>("InternetShortcutByIcon"),
        Pair1<ScanShortcutByName, CureShortcutByName>("ShortcutByName"),
        Pair1<ScanInternetShortcutByName, CureInternetShortcutByName>("InternetShortcutByName"),
    };
    return kRows;
}

}  // namespace veldan::commands
