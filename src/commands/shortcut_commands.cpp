// The shortcut commands. FavDir: a favourites sub-folder name and a pattern;
// the sub-folder's internet shortcuts whose address contains the pattern. The
// others take one text: shortcuts found by target, icon, address or file name.

#include "commands/handler_table.h"
#include "commands/shortcut_ops.h"
#include "platform/shortcuts.h"

namespace veldan::commands {

void AddShortcutCommands(HandlerTable& table) {
    using platform::Context;
    table["FavDir"] = {
        [](Context& c, const Params& p) { return platform::ScanFavDir(c, p[0], p[1]); },
        [](Context& c, const Params& p) { return platform::CureFavDir(c, p[0], p[1]); }};
    table["ShortcutByTarget"] = {
        [](Context& c, const Params& p) { return ScanShortcutByTarget(c, p[0]); },
        [](Context& c, const Params& p) { return CureShortcutByTarget(c, p[0]); }};
    table["ShortcutByIcon"] = {
        [](Context& c, const Params& p) { return ScanShortcutByIcon(c, p[0]); },
        [](Context& c, const Params& p) { return CureShortcutByIcon(c, p[0]); }};
    table["InternetShortcut"] = {
        [](Context& c, const Params& p) { return ScanInternetShortcut(c, p[0]); },
        [](Context& c, const Params& p) { return CureInternetShortcut(c, p[0]); }};
    table["InternetShortcutByIcon"] = {
        [](Context& c, const Params& p) { return ScanInternetShortcutByIcon(c, p[0]); },
        [](Context& c, const Params& p) { return CureInternetShortcutByIcon(c, p[0]); }};
    table["ShortcutByName"] = {
        [](Context& c, const Params& p) { return ScanShortcutByName(c, p[0]); },
        [](Context& c, const Params& p) { return CureShortcutByName(c, p[0]); }};
    table["InternetShortcutByName"] = {
        [](Context& c, const Params& p) { return ScanInternetShortcutByName(c, p[0]); },
        [](Context& c, const Params& p) { return CureInternetShortcutByName(c, p[0]); }};
}

}  // namespace veldan::commands
