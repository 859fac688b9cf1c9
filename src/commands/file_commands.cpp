// File and folder commands: File, Dir, EmptyDir, FilesFrom, the FileFrom,
// DirFrom and FilesFrom families that search a fixed group of well-known
// folders for a bare name, and Process.

#include <string>
#include <string_view>

#include "commands/handler_table.h"
#include "platform/file_ops.h"
#include "platform/processes.h"

namespace veldan::commands {
namespace {

using platform::Context;
using platform::FolderTable;

// One folder of a group: an entry of the folder table, or a literal folder.
struct Place {
    std::string FolderTable::*entry = nullptr;
    std::string_view literal;
};

constexpr Place E(std::string FolderTable::*entry) {
    return Place{entry, {}};
}

// The folder groups, in search order.
constexpr Place kMyDoc[] = {E(&FolderTable::MYDOCDIR)};
constexpr Place kPF[] = {E(&FolderTable::PFDIR)};
constexpr Place kWin[] = {E(&FolderTable::WINDIR)};
constexpr Place kFonts[] = {E(&FolderTable::FONTSDIR)};
constexpr Place kCF[] = {E(&FolderTable::CFDIR)};
constexpr Place kAxCache[] = {E(&FolderTable::AXCACHEDIR)};
constexpr Place kTemp[] = {E(&FolderTable::TEMPDIR), E(&FolderTable::WINTEMPDIR)};
constexpr Place kProfile[] = {E(&FolderTable::PROFILEDIR)};
constexpr Place kSys[] = {E(&FolderTable::SYSDIR), E(&FolderTable::SYSTEMDIR),
                          E(&FolderTable::SYSTEM32DIR)};
constexpr Place kAppData[] = {E(&FolderTable::APPDATADIR), E(&FolderTable::CMNAPPDATADIR),
                              E(&FolderTable::LOCALAPPDATADIR)};
constexpr Place kDesktop[] = {E(&FolderTable::DESKTOPDIR), E(&FolderTable::CMNDESKTOPDIR)};
constexpr Place kStartup[] = {E(&FolderTable::STARTUPDIR), E(&FolderTable::CMNSTARTUPDIR)};
constexpr Place kFavPath[] = {E(&FolderTable::DESKTOPDIR),     E(&FolderTable::CMNDESKTOPDIR),
                              E(&FolderTable::STARTMENUDIR),   E(&FolderTable::CMNSTARTMENUDIR),
                              E(&FolderTable::FAVDIR),         E(&FolderTable::CMNFAVDIR),
                              E(&FolderTable::QUICKLAUNCHDIR), E(&FolderTable::SENDTODIR),
                              E(&FolderTable::STARTUPDIR),     E(&FolderTable::CMNSTARTUPDIR)};
constexpr Place kFileAll[] = {
    E(&FolderTable::SYSDIR),        E(&FolderTable::SYSTEMDIR),      E(&FolderTable::SYSTEM32DIR),
    E(&FolderTable::WINDIR),        E(&FolderTable::AXCACHEDIR),     Place{nullptr, "C:\\"},
    E(&FolderTable::TEMPDIR),       E(&FolderTable::WINTEMPDIR),     E(&FolderTable::STARTUPDIR),
    E(&FolderTable::CMNSTARTUPDIR), E(&FolderTable::DESKTOPDIR),     E(&FolderTable::CMNDESKTOPDIR),
    E(&FolderTable::PROFILEDIR),    E(&FolderTable::PFDIR),          E(&FolderTable::APPDATADIR),
    E(&FolderTable::CMNAPPDATADIR), E(&FolderTable::LOCALAPPDATADIR)};
constexpr Place kWinAppData[] = {E(&FolderTable::WINDIR), E(&FolderTable::APPDATADIR),
                                 E(&FolderTable::CMNAPPDATADIR), E(&FolderTable::LOCALAPPDATADIR)};
constexpr Place kPrograms[] = {E(&FolderTable::PROGRAMSDIR), E(&FolderTable::CMNPROGRAMSDIR)};
constexpr Place kStartMenu[] = {E(&FolderTable::STARTMENUDIR), E(&FolderTable::CMNSTARTMENUDIR),
                                E(&FolderTable::PROGRAMSDIR), E(&FolderTable::CMNPROGRAMSDIR)};
constexpr Place kFav[] = {E(&FolderTable::FAVDIR), E(&FolderTable::CMNFAVDIR)};
constexpr Place kLinks[] = {E(&FolderTable::LINKSDIR), E(&FolderTable::CMNLINKSDIR)};
constexpr Place kFilesAll[] = {E(&FolderTable::SYSDIR),      E(&FolderTable::SYSTEMDIR),
                               E(&FolderTable::SYSTEM32DIR), E(&FolderTable::WINDIR),
                               E(&FolderTable::AXCACHEDIR),  Place{nullptr, "C:"},
                               E(&FolderTable::TEMPDIR),     E(&FolderTable::WINTEMPDIR)};

// Runs `op` on every folder of the group (no early stop); 1 when any run
// returned nonzero. A folder the table could not determine is empty and is
// skipped: a name joined to nothing would not be inside any known folder.
template <std::size_t N, typename Op>
int ForEachFolder(Context& ctx, const Place (&group)[N], Op op) {
    int result = 0;
    for (const Place& place : group) {
        const std::string folder =
            place.entry != nullptr ? ctx.folders().*place.entry : std::string(place.literal);
        if (folder.empty()) continue;
        if (op(folder)) result = 1;
    }
    return result;
}

// The three family shapes, one instance per group.
template <const auto& Group>
int ScanFileFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::ScanFile(ctx, platform::CombinePath(folder, p[0]));
    });
}
template <const auto& Group>
int CureFileFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::CureFile(ctx, platform::CombinePath(folder, p[0]));
    });
}
template <const auto& Group>
int ScanDirFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::ScanFolder(ctx, platform::CombinePath(folder, p[0]));
    });
}
template <const auto& Group>
int CureDirFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::CureFolder(ctx, platform::CombinePath(folder, p[0]));
    });
}
template <const auto& Group>
int ScanFilesFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::ScanFilesByMask(ctx, p[0], folder);
    });
}
template <const auto& Group>
int CureFilesFrom(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return platform::CureFilesByMask(ctx, p[0], folder);
    });
}

template <const auto& Group>
Handlers FileFrom() {
    return {&ScanFileFrom<Group>, &CureFileFrom<Group>};
}
template <const auto& Group>
Handlers DirFrom() {
    return {&ScanDirFrom<Group>, &CureDirFrom<Group>};
}
template <const auto& Group>
Handlers FilesFrom() {
    return {&ScanFilesFrom<Group>, &CureFilesFrom<Group>};
}

}  // namespace

void AddFileCommands(HandlerTable& table) {
    table["File"] = {[](Context& c, const Params& p) { return platform::ScanFile(c, p[0]); },
                     [](Context& c, const Params& p) { return platform::CureFile(c, p[0]); }};
    table["Dir"] = {[](Context& c, const Params& p) { return platform::ScanFolder(c, p[0]); },
                    [](Context& c, const Params& p) { return platform::CureFolder(c, p[0]); }};
    table["EmptyDir"] = {nullptr, [](Context& c, const Params& p) {
                             return platform::RemoveFolderIfEmpty(c, p[0]);
                         }};
    table["FilesFrom"] = {
        [](Context& c, const Params& p) { return platform::ScanFilesByMask(c, p[0], p[1]); },
        [](Context& c, const Params& p) { return platform::CureFilesByMask(c, p[0], p[1]); }};
    table["Process"] = {
        nullptr, [](Context& c, const Params& p) { return platform::KillProcessRetry(c, p[0]); }};

    table["FileFromMyDoc"] = FileFrom<kMyDoc>();
    table["FileFromPF"] = FileFrom<kPF>();
    table["FileFromWin"] = FileFrom<kWin>();
    table["FileFromFonts"] = FileFrom<kFonts>();
    table["FileFromCF"] = FileFrom<kCF>();
    table["FileFromAxCache"] = FileFrom<kAxCache>();
    table["FileFromTemp"] = FileFrom<kTemp>();
    table["FileFromProfile"] = FileFrom<kProfile>();
    table["FileFromSys"] = FileFrom<kSys>();
    table["FileFromAppData"] = FileFrom<kAppData>();
    table["FileFromDesktop"] = FileFrom<kDesktop>();
    table["FileFromStartup"] = FileFrom<kStartup>();
    table["FileFromFavPath"] = FileFrom<kFavPath>();
    table["FileFromAll"] = FileFrom<kFileAll>();

    table["DirFromWin"] = DirFrom<kWin>();
    table["DirFromSys"] = DirFrom<kSys>();
    table["DirFromPF"] = DirFrom<kPF>();
    table["DirFromCF"] = DirFrom<kCF>();
    table["DirFromAxCache"] = DirFrom<kAxCache>();
    table["DirFromTemp"] = DirFrom<kTemp>();
    table["DirFromAppData"] = DirFrom<kAppData>();
    table["DirFromWinAppData"] = DirFrom<kWinAppData>();
    table["DirFromPrograms"] = DirFrom<kPrograms>();
    table["DirFromStartMenu"] = DirFrom<kStartMenu>();
    table["DirFromFav"] = DirFrom<kFav>();
    table["DirFromLinks"] = DirFrom<kLinks>();
    table["DirFromFonts"] = DirFrom<kFonts>();
    table["DirFromDesktop"] = DirFrom<kDesktop>();

    table["FilesFromWin"] = FilesFrom<kWin>();
    table["FilesFromMyDoc"] = FilesFrom<kMyDoc>();
    table["FilesFromSys"] = FilesFrom<kSys>();
    table["FilesFromStartup"] = FilesFrom<kStartup>();
    table["FilesFromAll"] = FilesFrom<kFilesAll>();
}

}  // namespace veldan::commands
