// File and folder commands: File, Dir, EmptyDir, FilesFrom, the FileFrom,
// DirFrom and FilesFrom families that search a fixed group of well-known
// folders for a bare name, and Process.

#include <string>
#include <string_view>

#include "commands/command_rows.h"
#include "platform/file_ops.h"
#include "platform/processes.h"

namespace veldan::commands {
namespace {

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

// An operation on the parameter joined to each folder of the group.
template <const auto& Group, Op1 PathOp>
int InEachFolder(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group, [&](const std::string& folder) {
        return PathOp(ctx, platform::CombinePath(folder, p[0]));
    });
}
// An operation on the mask (the parameter) and each folder of the group.
template <const auto& Group, Op2 MaskOp>
int MaskInEachFolder(Context& ctx, const Params& p) {
    return ForEachFolder(ctx, Group,
                         [&](const std::string& folder) { return MaskOp(ctx, p[0], folder); });
}

// The three family shapes, one instance per group.
template <const auto& Group>
constexpr CommandRow FileFrom(std::string_view word) {
    return PairRow(word, 1, &InEachFolder<Group, platform::ScanFile>,
                   &InEachFolder<Group, platform::CureFile>);
}
template <const auto& Group>
constexpr CommandRow DirFrom(std::string_view word) {
    return PairRow(word, 1, &InEachFolder<Group, platform::ScanFolder>,
                   &InEachFolder<Group, platform::CureFolder>);
}
template <const auto& Group>
constexpr CommandRow FilesFrom(std::string_view word) {
    return PairRow(word, 1, &MaskInEachFolder<Group, platform::ScanFilesByMask>,
                   &MaskInEachFolder<Group, platform::CureFilesByMask>);
}

}  // namespace

std::span<const CommandRow> FileRows() {
    using namespace platform;
    static constexpr CommandRow kRows[] = {
        Pair1<ScanFile, CureFile>("File"),
        Pair1<ScanFolder, CureFolder>("Dir"),
        CureOnlyRow("EmptyDir", 1, &Take1<RemoveFolderIfEmpty>),
        Pair2<ScanFilesByMask, CureFilesByMask>("FilesFrom"),
        CureOnlyRow("Process", 1, &Take1<KillProcessRetry>),

        FileFrom<kMyDoc>("FileFromMyDoc"),
        FileFrom<kPF>("FileFromPF"),
        FileFrom<kWin>("FileFromWin"),
        FileFrom<kFonts>("FileFromFonts"),
        FileFrom<kCF>("FileFromCF"),
        FileFrom<kAxCache>("FileFromAxCache"),
        FileFrom<kTemp>("FileFromTemp"),
        FileFrom<kProfile>("FileFromProfile"),
        FileFrom<kSys>("FileFromSys"),
        FileFrom<kAppData>("FileFromAppData"),
        FileFrom<kDesktop>("FileFromDesktop"),
        FileFrom<kStartup>("FileFromStartup"),
        FileFrom<kFavPath>("FileFromFavPath"),
        FileFrom<kFileAll>("FileFromAll"),

        DirFrom<kWin>("DirFromWin"),
        DirFrom<kSys>("DirFromSys"),
        DirFrom<kPF>("DirFromPF"),
        DirFrom<kCF>("DirFromCF"),
        DirFrom<kAxCache>("DirFromAxCache"),
        DirFrom<kTemp>("DirFromTemp"),
        DirFrom<kAppData>("DirFromAppData"),
        DirFrom<kWinAppData>("DirFromWinAppData"),
        DirFrom<kPrograms>("DirFromPrograms"),
        DirFrom<kStartMenu>("DirFromStartMenu"),
        DirFrom<kFav>("DirFromFav"),
        DirFrom<kLinks>("DirFromLinks"),
        DirFrom<kFonts>("DirFromFonts"),
        DirFrom<kDesktop>("DirFromDesktop"),

        FilesFrom<kWin>("FilesFromWin"),
        FilesFrom<kMyDoc>("FilesFromMyDoc"),
        FilesFrom<kSys>("FilesFromSys"),
        FilesFrom<kStartup>("FilesFromStartup"),
        FilesFrom<kFilesAll>("FilesFromAll"),
    };
    return kRows;
}

}  // namespace veldan::commands
