#include "engine/macros.h"

#include <string_view>
#include <vector>

#include "engine/script.h"
#include "platform/registry_ops.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

using platform::FolderTable;

constexpr std::string_view kRegMacro = "REGSTR(";

// A folder value may itself hold a registry macro whose pieces name the same
// folder again; past this depth the macro is refused instead of recursing forever.
constexpr int kMaxRegMacroDepth = 8;

struct FolderMacro {
    std::string_view macro;
    std::string FolderTable::*entry;
};

// The folder macros in the order they are replaced: "%NAME%" stands for the
// folder table's entry NAME.
#define VELDAN_FOLDER_MACRO(name)         \
    FolderMacro {                         \
        "%" #name "%", &FolderTable::name \
    }
constexpr FolderMacro kFolderMacros[] = {
    VELDAN_FOLDER_MACRO(WINDIR),        VELDAN_FOLDER_MACRO(SYSDIR),
    VELDAN_FOLDER_MACRO(FAVDIR),        VELDAN_FOLDER_MACRO(TEMPLATEDIR),
    VELDAN_FOLDER_MACRO(PFDIR),         VELDAN_FOLDER_MACRO(CFDIR),
    VELDAN_FOLDER_MACRO(AXCACHEDIR),    VELDAN_FOLDER_MACRO(APPDATADIR),
    VELDAN_FOLDER_MACRO(CMNAPPDATADIR), VELDAN_FOLDER_MACRO(TEMPDIR),
    VELDAN_FOLDER_MACRO(STARTUPDIR),    VELDAN_FOLDER_MACRO(CMNSTARTUPDIR),
};
#undef VELDAN_FOLDER_MACRO

int ExpandRegStrAt(platform::Context& ctx, std::string& text, int depth) {
    std::size_t start = text.find(kRegMacro);
    if (start == std::string::npos) return 1;
    std::size_t close = text.find(')', start + kRegMacro.size());
    if (close == std::string::npos) {
        ctx.Debug("ExpandRegStr... ) mismatch..." + text + "\n");
        return 0;
    }
    std::size_t argStart = start + kRegMacro.size();
    std::string arg = text::Trim(std::string_view(text).substr(argStart, close - argStart)) + " ";
    if (depth >= kMaxRegMacroDepth) {
        ctx.Debug("ExpandRegStr... too deep... " + arg + "\n");
        return 0;
    }

    std::vector<std::string> pieces;
    for (std::string_view raw : SplitQuotedPieces(arg)) {
        std::string piece(raw);
        ExpandEnvStr(ctx, piece);
        if (!ExpandRegStrAt(ctx, piece, depth + 1)) return 0;
        if (piece.empty()) ctx.Debug("ExpandRegStr... empty param... " + arg + "\n");
        pieces.push_back(std::move(piece));
    }
    if (pieces.size() != 3) {
        ctx.Debug("ExpandRegStr... # of param... " + arg + "\n");
        return 0;
    }
    machine::HKEY hive = 0;
    if (!platform::STR2HKEY(ctx, pieces[0], hive)) return 0;
    std::string value;
    if (!platform::ReadStringValue(ctx, hive, pieces[1], pieces[2], value) || value.empty())
        return 0;
    text.replace(start, close - start + 1, value);
    return 1;
}

}  // namespace

void ExpandEnvStr(platform::Context& ctx, std::string& text) {
    if (text.find('%') == std::string::npos) return;
    const FolderTable& folders = ctx.folders();
    for (const FolderMacro& m : kFolderMacros) text::ReplaceAll(text, m.macro, folders.*m.entry);
    if (text.find('%') != std::string::npos) ctx.Debug("ExpandEnvStr... " + text + "\n");
}

int ExpandRegStr(platform::Context& ctx, std::string& text) {
    return ExpandRegStrAt(ctx, text, 0);
}

}  // namespace veldan::engine
