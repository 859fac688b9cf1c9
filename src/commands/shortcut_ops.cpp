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

using platform::Mode;
using FolderCall = int (*)(Context&, std::string_view, std::string_view, int);

// One folder walk of a cure: the call for every folder of the list, with a field.
struct FolderWalk {
    ShortcutFolderList list;
    FolderCall call = nullptr;  // null: no walk
    int field = 0;
};

// A search: the scan's cache look-up and the cure's walks, in order.
struct Search {
    int (*scan)(Context&, std::string_view);
    FolderWalk cure[2];
};

// In the order of ShortcutSearch.
constexpr Search kSearches[] = {
    {platform::ScanShortcutsByTarget,
     {{ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, platform::kFieldTarget}}},
    {platform::ScanShortcutsByIcon,
     {{ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, platform::kFieldIcon}}},
    {platform::ScanInternetShortcuts,
     {{ShortcutFolderList::UrlWalkByAddress, platform::CureUrlsInFolder, platform::kFieldTarget},
      {ShortcutFolderList::ProgramWalk, platform::CureLinksInFolder, platform::kFieldArguments}}},
    {platform::ScanInternetShortcutsByIcon,
     {{ShortcutFolderList::UrlWalkByIcon, platform::CureUrlsInFolder, platform::kFieldIcon}}},
};

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
        case ShortcutFolderList::StartupFolders:
            out = {folders.STARTUPDIR, folders.CMNSTARTUPDIR};
            break;
    }
    // A folder the machine does not have would make "\\*.lnk" or "\\name.lnk"
    // a path at the root of whatever drive is current.
    std::erase_if(out, [](const std::string& f) { return f.empty(); });
    return out;
}

int SearchShortcuts(Context& ctx, ShortcutSearch search, std::string_view text, Mode mode) {
    // Every field contains the empty text: it would take every shortcut.
    if (text.empty()) return 0;
    const Search& s = kSearches[static_cast<std::size_t>(search)];
    if (mode == Mode::Scan) return s.scan(ctx, text);
    int any = 0;
    for (const FolderWalk& walk : s.cure) {
        if (walk.call == nullptr) continue;
        for (const std::string& folder : ShortcutFolders(ctx.folders(), walk.list)) {
            if (walk.call(ctx, folder, text, walk.field)) any = 1;
        }
    }
    return any;
}

int NamedShortcuts(Context& ctx, ShortcutFolderList list, std::string_view name, Mode mode) {
    const bool urls = list == ShortcutFolderList::UrlNames;
    using NameCall = int (*)(Context&, std::string_view, std::string_view);
    const NameCall call = mode == Mode::Scan
                              ? (urls ? platform::ScanNamedUrl : platform::ScanNamedShortcut)
                              : (urls ? platform::CureNamedUrl : platform::CureNamedShortcut);
    int any = 0;
    for (const std::string& folder : ShortcutFolders(ctx.folders(), list)) {
        if (call(ctx, folder, name)) any = 1;
    }
    return any;
}

}  // namespace veldan::commands
