#include "platform/shortcuts.h"

#include <type_traits>
#include <vector>

#include "platform/file_ops.h"
#include "platform/reports.h"
#include "text/codepage.h"
#include "text/cp949_fit.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

// The buffer each shell link field is copied into holds this many bytes of
// the ANSI form, terminator included; longer texts come back cut.
constexpr std::size_t kFieldBuffer = 260;

// `s` cut at a character boundary so that its CP949 form fits kFieldBuffer
// with the terminator.
std::string Fitted(std::string s) {
    s.resize(text::FitCp949(s, kFieldBuffer).size());
    return s;
}

constexpr std::string_view kLnkMask = "\\*.lnk";
constexpr std::string_view kUrlMask = "\\*.url";
constexpr std::string_view kDriveRoot = "C:";

// The full paths of the files of `folder` (the folder itself, not its
// sub-folders) that match `mask`, in listing order.
std::vector<std::string> ListFiles(Context& ctx, std::string_view folder, std::string_view mask) {
    std::string pattern(folder);
    pattern.append(mask);
    std::vector<machine::FindData> entries;
    if (ctx.files().FindFiles(pattern, entries) != machine::ERROR_SUCCESS) return {};
    std::vector<std::string> paths;
    for (const machine::FindData& e : entries) {
        if (e.IsDirectory() || e.name == "." || e.name == "..") continue;
        std::string path(folder);
        path.append("\\").append(e.name);
        paths.push_back(std::move(path));
    }
    return paths;
}

// Loads one file into a reader made for it; a file that does not load is
// traced and gives false.
bool LoadLink(Context& ctx, const std::string& path, CShellLink& link) {
    if (link.Load(path)) return true;
    ctx.Debug("CShellLink::Load... " + path + "\n");
    return false;
}

bool LoadUrl(Context& ctx, const std::string& path, CUrlShellLink& link) {
    if (link.Load(path)) return true;
    ctx.Debug("CUrlShellLink::Load... " + path + "\n");
    return false;
}

// The field of a shell link the folder scans compare; null for no field.
const std::string* LinkField(const ShortcutInfo& link, int field) {
    switch (field) {
        case kFieldTarget:
            return &link.target;
        case kFieldArguments:
            return &link.arguments;
        case kFieldIcon:
            return &link.iconPath;
    }
    return nullptr;
}

// Internet shortcuts have an address and an icon, no arguments.
const std::string* UrlField(const ShortcutInfo& link, int field) {
    return field == kFieldArguments ? nullptr : LinkField(link, field);
}

bool Matches(const std::string* value, std::string_view pattern) {
    return value != nullptr && text::ContainsNoCase(*value, pattern);
}

// Records the shortcut files of a cache whose selected text contains the
// pattern; 1 when any was newly recorded.
template <typename Record, typename Select>
int ScanCache(Context& ctx, const std::vector<Record>& cache, std::string_view pattern,
              Select select) {
    int found = 0;
    for (const Record& r : cache) {
        if (text::ContainsNoCase(select(r), pattern) && ReportFile(ctx, kFound, r.path)) found = 1;
    }
    return found;
}

// The folders whose internet shortcuts are cached, in caching order.
std::vector<std::string> UrlCacheFolders(const FolderTable& t) {
    return {t.DESKTOPDIR,     t.CMNDESKTOPDIR,        t.STARTMENUDIR, t.CMNSTARTMENUDIR,
            t.PROGRAMSDIR,    t.CMNPROGRAMSDIR,       t.FAVDIR,       t.CMNFAVDIR,
            t.QUICKLAUNCHDIR, std::string(kDriveRoot)};
}

// The folders whose shell links are cached: those of the internet shortcuts,
// then the start-up and send-to folders.
std::vector<std::string> LinkCacheFolders(const FolderTable& t) {
    std::vector<std::string> folders = UrlCacheFolders(t);
    folders.insert(folders.end(), {t.STARTUPDIR, t.CMNSTARTUPDIR, t.SENDTODIR});
    return folders;
}

// True when `name`, joined to a folder, names a folder below it: empty
// components, "." and components of dots and blanks stay where they are,
// ".." goes up, and the path must never leave the folder.
bool NamesSubFolder(std::string_view name) {
    int depth = 0;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else {
            while (!part.empty() && (part.back() == '.' || part.back() == ' '))
                part.remove_suffix(1);
            if (!part.empty()) ++depth;
        }
        start = end + 1;
    }
    return depth > 0;
}

// folder + "\\" + name + ext.
std::string NamedPath(std::string_view folder, std::string_view name, std::string_view ext) {
    std::string path(folder);
    path.append("\\").append(name).append(ext);
    return path;
}

// The favourites folders FavDir works in, the user's first; unknown ones are left out.
std::vector<std::string> FavouritesRoots(const Context& ctx) {
    std::vector<std::string> roots;
    for (const std::string* root : {&ctx.folders().FAVDIR, &ctx.folders().CMNFAVDIR}) {
        if (!root->empty()) roots.push_back(*root);
    }
    return roots;
}

}  // namespace

int CShellLink::Load(std::string_view path) {
    machine::ShellLinkData data;
    if (ctx_.machine().shellLinks().LoadShellLink(path, data) != machine::ERROR_SUCCESS) return 0;
    target = Fitted(std::move(data.target));
    workingDirectory = Fitted(std::move(data.workingDirectory));
    iconPath = Fitted(std::move(data.iconLocation));
    iconIndex = data.iconIndex;
    description = Fitted(std::move(data.description));
    arguments = Fitted(std::move(data.arguments));
    hotKey = data.hotKey;
    showCommand = data.showCommand;
    return 1;
}

int CUrlShellLink::Load(std::string_view path) {
    machine::UrlShortcutData data;
    if (ctx_.machine().shellLinks().LoadUrlShortcut(path, data) != machine::ERROR_SUCCESS) return 0;
    // The address is handed over whole; the other fields pass the field buffer.
    target = std::move(data.url);
    workingDirectory = Fitted(std::move(data.workingDirectory));
    iconPath = Fitted(std::move(data.iconLocation));
    iconIndex = data.iconIndex;
    description = Fitted(std::move(data.description));
    hotKey = data.hotKey;
    showCommand = data.showCommand;
    return 1;
}

void BuildShortcutCaches(Context& ctx) {
    ctx.urlCache().clear();
    ctx.linkCache().clear();
    for (const std::string& folder : UrlCacheFolders(ctx.folders())) {
        for (const std::string& path : ListFiles(ctx, folder, kUrlMask)) {
            CUrlShellLink url(ctx);
            if (!LoadUrl(ctx, path, url)) continue;
            ctx.urlCache().push_back({path, url.target, url.iconPath});
        }
    }
    for (const std::string& folder : LinkCacheFolders(ctx.folders())) {
        for (const std::string& path : ListFiles(ctx, folder, kLnkMask)) {
            CShellLink link(ctx);
            if (!LoadLink(ctx, path, link)) continue;
            ctx.linkCache().push_back({path, link.target, link.arguments, link.iconPath});
        }
    }
}

int ScanShortcutsByTarget(Context& ctx, std::string_view pattern) {
    return ScanCache(ctx, ctx.linkCache(), pattern,
                     [](const LinkCacheRecord& r) -> const std::string& { return r.target; });
}

int ScanShortcutsByArguments(Context& ctx, std::string_view pattern) {
    return ScanCache(ctx, ctx.linkCache(), pattern,
                     [](const LinkCacheRecord& r) -> const std::string& { return r.arguments; });
}

int ScanShortcutsByIcon(Context& ctx, std::string_view pattern) {
    return ScanCache(ctx, ctx.linkCache(), pattern,
                     [](const LinkCacheRecord& r) -> const std::string& { return r.iconPath; });
}

int ScanInternetShortcuts(Context& ctx, std::string_view pattern) {
    const int urls = ScanCache(ctx, ctx.urlCache(), pattern,
                               [](const UrlCacheRecord& r) -> const std::string& { return r.url; });
    const int links = ScanShortcutsByArguments(ctx, pattern);
    return urls || links ? 1 : 0;
}

int ScanInternetShortcutsByIcon(Context& ctx, std::string_view pattern) {
    return ScanCache(ctx, ctx.urlCache(), pattern,
                     [](const UrlCacheRecord& r) -> const std::string& { return r.iconPath; });
}

namespace {

// Calls `act` with the path of each file of `folder` that loads as a `Shortcut`
// and whose `field` contains `pattern`, until `act` returns false.
template <typename Shortcut, typename Act>
void ForEachMatching(Context& ctx, std::string_view folder, std::string_view pattern, int field,
                     Act act) {
    constexpr bool isUrl = std::is_same_v<Shortcut, CUrlShellLink>;
    for (const std::string& path : ListFiles(ctx, folder, isUrl ? kUrlMask : kLnkMask)) {
        Shortcut shortcut(ctx);
        if constexpr (isUrl) {
            if (!LoadUrl(ctx, path, shortcut) || !Matches(UrlField(shortcut, field), pattern))
                continue;
        } else {
            if (!LoadLink(ctx, path, shortcut) || !Matches(LinkField(shortcut, field), pattern))
                continue;
        }
        if (!act(path)) return;
    }
}

// Removes every matching shortcut of the folder; 1 when all went.
template <typename Shortcut>
int CureMatching(Context& ctx, std::string_view folder, std::string_view pattern, int field) {
    int allRemoved = 1;
    ForEachMatching<Shortcut>(ctx, folder, pattern, field, [&](const std::string& path) {
        if (!CureFile(ctx, path)) allRemoved = 0;
        return true;
    });
    return allRemoved;
}

}  // namespace

// A shell link scan stops at the first new find; an Internet shortcut scan
// records every match.
int ScanLinksInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field) {
    int found = 0;
    ForEachMatching<CShellLink>(ctx, folder, pattern, field, [&](const std::string& path) {
        found = ReportFile(ctx, kFound, path) ? 1 : 0;
        return found == 0;
    });
    return found;
}

int CureLinksInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field) {
    return CureMatching<CShellLink>(ctx, folder, pattern, field);
}

int ScanUrlsInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field) {
    int found = 0;
    ForEachMatching<CUrlShellLink>(ctx, folder, pattern, field, [&](const std::string& path) {
        if (ReportFile(ctx, kFound, path)) found = 1;
        return true;
    });
    return found;
}

int CureUrlsInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field) {
    return CureMatching<CUrlShellLink>(ctx, folder, pattern, field);
}

int ScanNamedShortcut(Context& ctx, std::string_view folder, std::string_view name) {
    return ScanFile(ctx, NamedPath(folder, name, ".lnk"));
}

int CureNamedShortcut(Context& ctx, std::string_view folder, std::string_view name) {
    return CureFile(ctx, NamedPath(folder, name, ".lnk"));
}

int ScanNamedUrl(Context& ctx, std::string_view folder, std::string_view name) {
    return ScanFile(ctx, NamedPath(folder, name, ".url"));
}

int CureNamedUrl(Context& ctx, std::string_view folder, std::string_view name) {
    return CureFile(ctx, NamedPath(folder, name, ".url"));
}

int ScanFavDir(Context& ctx, std::string_view name, std::string_view pattern) {
    int found = 0;
    for (const std::string& root : FavouritesRoots(ctx)) {
        if (ScanUrlsInFolder(ctx, NamedPath(root, name, ""), pattern, kFieldTarget)) found = 1;
    }
    return found;
}

int CureFavDir(Context& ctx, std::string_view name, std::string_view pattern) {
    // A name that does not lead below the favourites folder would make the
    // favourites folder itself (or one above it) the folder to remove.
    const bool subFolder = NamesSubFolder(name);
    int any = 0;
    for (const std::string& root : FavouritesRoots(ctx)) {
        const std::string folder = NamedPath(root, name, "");
        if (CureUrlsInFolder(ctx, folder, pattern, kFieldTarget)) any = 1;
        if (subFolder && RemoveFolderIfEmpty(ctx, folder)) any = 1;
    }
    return any;
}

}  // namespace veldan::platform
