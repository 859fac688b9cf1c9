// The shortcut commands. FavDir: a favourites sub-folder name and a pattern;
// the sub-folder's internet shortcuts whose address contains the pattern. The
// others take one text: shortcuts found by target, icon, address or file name.

#include "commands/command_rows.h"
#include "commands/shortcut_ops.h"
#include "platform/shortcuts.h"

namespace veldan::commands {
namespace {

template <ShortcutSearch S>
int Search(Context& c, const Params& p, Mode mode) {
    return SearchShortcuts(c, S, p[0], mode);
}
template <ShortcutFolderList L>
int Named(Context& c, const Params& p, Mode mode) {
    return NamedShortcuts(c, L, p[0], mode);
}

}  // namespace

std::span<const CommandRow> ShortcutRows() {
    using enum ShortcutSearch;
    using enum ShortcutFolderList;
    static constexpr CommandRow kRows[] = {
        Pair2<platform::ScanFavDir, platform::CureFavDir>("FavDir"),
        ModeRow("ShortcutByTarget", 1, &Search<ByTarget>),
        ModeRow("ShortcutByIcon", 1, &Search<ByIcon>),
        ModeRow("InternetShortcut", 1, &Search<InternetByAddress>),
        ModeRow("InternetShortcutByIcon", 1, &Search<InternetByIcon>),
        ModeRow("ShortcutByName", 1, &Named<ProgramNames>),
        ModeRow("InternetShortcutByName", 1, &Named<UrlNames>),
    };
    return kRows;
}

}  // namespace veldan::commands
