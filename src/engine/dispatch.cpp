#include "engine/dispatch.h"

#include <unordered_map>

#include "commands/handler_table.h"
#include "engine/script.h"

namespace veldan::engine {
namespace {

using commands::Handlers;
using Params = commands::Params;

struct Row {
    CommandInfo info;
    Handlers handlers;  // null handlers: the word's family is not built in
};

constexpr HandlerShape P = HandlerShape::Pair;
constexpr HandlerShape F = HandlerShape::FixFlag;
constexpr HandlerShape C = HandlerShape::CureOnly;

Row R(std::string_view word, int count, HandlerShape shape) {
    return Row{{word, count, shape}, {}};
}

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> r = {
            R("Adtomi", 0, F),
            R("AllAx", 2, P),
            R("Ax", 2, P),
            R("CheckAppInit_DLLs", 0, F),
            R("CheckBHO", 0, F),
            R("CheckPrefix", 0, F),
            R("CheckProtocolAbout", 0, F),
            R("CheckProtocolTextHtml", 0, F),
            R("CheckProtocolTextPlain", 0, F),
            R("CheckRunValue", 0, F),
            R("CheckStartSearchPages", 0, F),
            R("CheckSysIniShell", 0, F),
            R("CheckToolbar", 0, F),
            R("CheckURLSearchHooks", 0, F),
            R("CheckUserinitData", 0, F),
            R("CheckUserStyleSheet", 0, F),
            R("CheckWinIniRun", 0, F),
            R("CLSID", 1, P),
            R("CLSIDOnly", 1, P),
            R("DefaultPrefix", 1, P),
            R("DeleteHostfile", 0, C),
            R("Dir", 1, P),
            R("DirFromAppData", 1, P),
            R("DirFromAxCache", 1, P),
            R("DirFromCF", 1, P),
            R("DirFromDesktop", 1, P),
            R("DirFromFav", 1, P),
            R("DirFromFonts", 1, P),
            R("DirFromLinks", 1, P),
            R("DirFromPF", 1, P),
            R("DirFromPrograms", 1, P),
            R("DirFromStartMenu", 1, P),
            R("DirFromSys", 1, P),
            R("DirFromTemp", 1, P),
            R("DirFromWin", 1, P),
            R("DirFromWinAppData", 1, P),
            R("DomainsKey", 1, P),
            R("DType", 3, P),
            R("EmptyDir", 1, C),
            R("EmptyKey", 2, C),
            R("EnumRootKey", 1, F),
            R("ExtensionsKey", 1, P),
            R("FavDir", 2, P),
            R("File", 1, P),
            R("FileFromAll", 1, P),
            R("FileFromAppData", 1, P),
            R("FileFromAppData_", 1, P),
            R("FileFromAxCache", 1, P),
            R("FileFromCF", 1, P),
            R("FileFromDesktop", 1, P),
            R("FileFromFavPath", 1, P),
            R("FileFromFonts", 1, P),
            R("FileFromMyDoc", 1, P),
            R("FileFromPF", 1, P),
            R("FileFromProfile", 1, P),
            R("FileFromStartup", 1, P),
            R("FileFromSys", 1, P),
            R("FileFromSys_", 1, P),
            R("FileFromTemp", 1, P),
            R("FileFromWin", 1, P),
            R("FileFromWin_", 1, P),
            R("FilesFrom", 2, P),
            R("FilesFromAll", 1, P),
            R("FilesFromMyDoc", 1, P),
            R("FilesFromStartup", 1, P),
            R("FilesFromSys", 1, P),
            R("FilesFromWin", 1, P),
            R("FTPPrefix", 1, P),
            R("GopherPrefix", 1, P),
            R("HomePrefix", 1, P),
            R("IEValue", 1, P),
            R("InternetShortcut", 1, P),
            R("InternetShortcutByIcon", 1, P),
            R("InternetShortcutByName", 1, P),
            R("Key", 2, P),
            R("KeyByData", 3, P),
            R("LSPFix", 1, F),
            R("MainValue", 1, P),
            R("MenuExtKey", 1, P),
            R("MenuExtKeyByData", 1, P),
            R("ModuleUsageKey", 1, P),
            R("MosaicPrefix", 1, P),
            R("MType", 4, P),
            R("Process", 1, C),
            R("RegAx", 1, C),
            R("RunValue", 1, P),
            R("RunValueB", 1, P),
            R("RunValueByData", 1, P),
            R("ServicesKey", 1, F),
            R("SharedDLLsValue", 1, P),
            R("SharedTaskScheduler", 1, P),
            R("ShellServiceObjectDelayLoad", 1, P),
            R("ShortcutByIcon", 1, P),
            R("ShortcutByName", 1, P),
            R("ShortcutByTarget", 1, P),
            R("SoftwareKey", 1, P),
            R("SType", 2, P),
            R("ToolbarValue", 1, P),
            R("UninstallKey", 1, P),
            R("UnregFromAppData", 1, P),
            R("UserStylesheet", 1, P),
            R("Value", 3, P),
            R("ValueByData", 3, P),
            R("WType", 4, P),
            R("WWWPrefix", 1, P),
        };
        commands::HandlerTable table;
        commands::AddRegistryCommands(table);
        commands::AddFileCommands(table);
        commands::AddShortcutCommands(table);
        commands::AddRegistryPlaceCommands(table);
        commands::AddActiveXCommands(table);
        commands::AddBrowserCommands(table);
        commands::AddStartupCommands(table);
        commands::AddSystemCommands(table);
        for (auto& row : r) {
            auto it = table.find(row.info.word);
            if (it != table.end()) row.handlers = it->second;
        }
        return r;
    }();
    return rows;
}

const Row* Find(std::string_view word) {
    static const std::unordered_map<std::string_view, std::size_t> index = [] {
        std::unordered_map<std::string_view, std::size_t> m;
        const auto& rows = Rows();
        for (std::size_t i = 0; i < rows.size(); ++i) m.emplace(rows[i].info.word, i);
        return m;
    }();
    auto it = index.find(word);
    return it == index.end() ? nullptr : &Rows()[it->second];
}

bool RowHasHandler(const Row& row) {
    switch (row.info.shape) {
        case HandlerShape::Pair:
            return row.handlers.scan != nullptr && row.handlers.cure != nullptr;
        case HandlerShape::FixFlag:
            return row.handlers.fix != nullptr;
        case HandlerShape::CureOnly:
            return row.handlers.cure != nullptr;
    }
    return false;
}

}  // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = [] {
        std::vector<CommandInfo> t;
        for (const auto& r : Rows()) t.push_back(r.info);
        return t;
    }();
    return table;
}

int GetParamCount(Context& ctx, std::string_view word) {
    const Row* row = Find(word);
    if (row == nullptr) {
        ctx.Debug("GetParamCount... ");
        ctx.Debug(word);
        ctx.Debug("\n");
        return -1;
    }
    return row->info.paramCount;
}

bool HasHandler(std::string_view word) {
    const Row* row = Find(word);
    return row != nullptr && RowHasHandler(*row);
}

int ExecFunc(Context& ctx, std::string_view word, const std::vector<std::string>& params,
             int scanMode) {
    int count = GetParamCount(ctx, word);
    if (count < 0) return 0;
    if (params.size() != static_cast<std::size_t>(count)) {
        std::string dump = "ExecFunc... # of param... ";
        dump.append(word);
        for (const auto& p : params) dump += "\n\"" + p + "\"";
        dump += "\n";
        ctx.Debug(dump);
        return 0;
    }
    const Row& row = *Find(word);
    if (!RowHasHandler(row)) {
        ctx.Debug("ExecFunc... ");
        ctx.Debug(word);
        ctx.Debug("\n");
        return 0;
    }
    switch (row.info.shape) {
        case HandlerShape::Pair:
            return scanMode != 0 ? row.handlers.scan(ctx, params) : row.handlers.cure(ctx, params);
        case HandlerShape::FixFlag:
            return row.handlers.fix(ctx, params, scanMode == 0);
        case HandlerShape::CureOnly:
            return scanMode != 0 ? 0 : row.handlers.cure(ctx, params);
    }
    return 0;
}

int RunScriptLine(Context& ctx, std::string_view line, int scanMode) {
    std::string command;
    std::vector<std::string> params;
    if (!ParseLine(ctx, line, command, params)) return 0;
    return ExecFunc(ctx, command, params, scanMode);
}

}  // namespace veldan::engine
