#include "commands/shortcut_ops.h"

#include "platform/shortcuts.h"

namespace veldan::commands {
namespace {

using platform::Context;
using platform::FolderTable;

// The drive root, listed as "C:" + "\\*.url".
constexpr std::string_view kDriveRoot = "C:";

// The nine folders every list starts with (after the root, for the address walk).
std::vector<std::string> CommonFolders(const FolderTable& t) {
    return {t.DESKTOPDIR,     t.CMNDESKTOPDIR, t.STARTMENUDIR, t.CMNSTARTMENUDIR, t.PROGRAMSDIR,
            t.CMNPROGRAMSDIR, t.FAVDIR,        t.CMNFAVDIR,    t.QUICKLAUNCHDIR};
}

using FolderCall = int (*)(Context&, std::string_view, std::string_view, int);
using NameCall = int (*)(Context&, std::string_view, std::string_view);

// Runs a folder walk over every folder of the list; 1 when any call returned nonzero.
int Walk(Context& ctx, ShortcutFolderList list, FolderCall call, std::string_view text, int field) {
    // Every field contains the empty text: it would take every shortcut.
    if (text.empty()) return 0;
    int any = 0;
    for (const std::string& folder : ShortcutFolders(ctx.folders(), list)) {
        if (call(ctx, folder, text, field)) any = 1;
    }
    return any;
}

// Runs a named-shortcut operation in every folder of the list.
int Named(Context& ctx, ShortcutFolderList list, NameCall call, std::string_view name) {
    int any = 0;
    for (const std::string& folder : ShortcutFolders(ctx.folders(), list)) {
        if (call(ctx, folder, name)) any = 1;
    }
    return any;
}

}  // namespace

std::vector<std::string> ShortcutFolders(const FolderTable& folders, ShortcutFolderList list) {
    std::vector<std::string> out;
    switch (list) {
        case ShortcutFolderList::ProgramWalk:
        case ShortcutFolderList::ProgramNames:
            out = CommonFolders(folders);
            out.insert(out.end(), {folders.SENDTODIR, folders.STARTUPDIR, folders.CMNSTARTUPDIR});
            break;
        case ShortcutFolderList::UrlWalkByAddress:
            out.emplace_back(kDriveRoot);
            for (std::string& f : CommonFolders(folders)) out.push_back(std::move(f));
            break;
        case ShortcutFolderList::UrlWalkByIcon:
        case ShortcutFolderList::UrlNames:
            out = CommonFolders(folders);
            break;
    }
    // A folder the machine does not have would make "\\*.lnk" or "\\name.lnk"
    // a path at the root of whatever drive is current.
    std::erase_if(out, [](const std::string& f) { return f.empty(); });
    return out;
}

int ScanShortcutByTarget(Context& ctx, std::string_view text) {
    return text.empty() ? 0 : platform::ScanShortcutsByTarget(ctx, text);
}

int CureShortcutByTarget(Context& ctx, std::string_view text) {
    return Walk(ctx, ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, text,
                platform::kFieldTarget);
}

int ScanShortcutByIcon(Context& ctx, std::string_view text) {
    return text.empty() ? 0 : platform::ScanShortcutsByIcon(ctx, text);
}

int CureShortcutByIcon(Context& ctx, std::string_view text) {
    return Walk(ctx, ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, text,
                platform::kFieldIcon);
}

int ScanInternetShortcut(Context& ctx, std::string_view text) {
    return text.empty() ? 0 : platform::ScanInternetShortcuts(ctx, text);
}

int CureInternetShortcut(Context& ctx, std::string_view text) {
    const int urls = Walk(ctx, ShortcutFolderList::UrlWalkByAddress, platform::CureUrlsInFolder,
                          text, platform::kFieldTarget);
    const int links = Walk(ctx, ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, text,
                           platform::kFieldArguments);
    return urls || links ? 1 : 0;
}

int ScanInternetShortcutByIcon(Context& ctx, std::string_view text) {
    return text.empty() ? 0 : platform::ScanInternetShortcutsByIcon(ctx, text);
}

int CureInternetShortcutByIcon(Context& ctx, std::string_view text) {
    return Walk(ctx, ShortcutFolderList::UrlWalkByIcon, platform::CureUrlsInFolder, text,
                platform::kFieldIcon);
}

int ScanShortcutByName(Context& ctx, std::string_view name) {
    return Named(ctx, ShortcutFolderList::ProgramNames, platform::ScanNamedShortcut, name);
}

int CureShortcutByName(Context& ctx, std::string_view name) {
    return Named(ctx, ShortcutFolderList::ProgramNames, platform::CureNamedShortcut, name);
}

int ScanInternetShortcutByName(Context& ctx, std::string_view name) {
    return Named(ctx, ShortcutFolderList::UrlNames, platform::ScanNamedUrl, name);
}

int CureInternetShortcutByName(Context& ctx, std::string_view name) {
    return Named(ctx, ShortcutFolderList::UrlNames, platform::CureNamedUrl, name);
}

int ScanStartupShortcutByName(Context& ctx, std::string_view name) {
    int any = 0;
    for (const std::string* f : {&ctx.folders().STARTUPDIR, &ctx.folders().CMNSTARTUPDIR}) {
        if (!f->empty() && platform::ScanNamedShortcut(ctx, *f, name)) any = 1;
    }
    return any;
}

int CureStartupShortcutByName(Context& ctx, std::string_view name) {
    int any = 0;
    for (const std::string* f : {&ctx.folders().STARTUPDIR, &ctx.folders().CMNSTARTUPDIR}) {
        if (!f->empty() && platform::CureNamedShortcut(ctx, *f, name)) any = 1;
    }
    return any;
}

}  // namespace veldan::commands
