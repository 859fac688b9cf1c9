#pragma once
// How command families hand their handlers to the dispatcher: each family adds
// the handlers of its words to a table keyed by command word.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/context.h"

namespace veldan::commands {

using Params = std::vector<std::string>;
using Handler = int (*)(platform::Context&, const Params&);
using FixHandler = int (*)(platform::Context&, const Params&, bool fix);

// The handlers of one word: scan and cure for a pair, cure alone for a
// cure-only word, fix for a word with a fix flag.
struct Handlers {
    Handler scan = nullptr;
    Handler cure = nullptr;
    FixHandler fix = nullptr;
};

using HandlerTable = std::unordered_map<std::string_view, Handlers>;

// Key, Value, ValueByData, KeyByData, EmptyKey.
void AddRegistryCommands(HandlerTable& table);
// File, Dir, EmptyDir, FilesFrom and the FileFrom / DirFrom / FilesFrom families;
// Process.
void AddFileCommands(HandlerTable& table);
// FavDir, ShortcutByTarget, ShortcutByIcon, ShortcutByName, InternetShortcut,
// InternetShortcutByIcon, InternetShortcutByName.
void AddShortcutCommands(HandlerTable& table);
// SoftwareKey, ServicesKey, EnumRootKey, ExtensionsKey, DomainsKey, UninstallKey,
// ModuleUsageKey, SharedDLLsValue, MenuExtKey, MenuExtKeyByData, ToolbarValue,
// MainValue, IEValue.
void AddRegistryPlaceCommands(HandlerTable& table);
// CLSID, CLSIDOnly, Ax, AllAx, RegAx, UnregFromAppData, DType, MType, WType, SType.
void AddActiveXCommands(HandlerTable& table);
// CheckStartSearchPages, CheckPrefix and the six prefix commands, CheckToolbar,
// CheckBHO, CheckURLSearchHooks, CheckUserStyleSheet, UserStylesheet,
// CheckProtocolAbout, CheckProtocolTextHtml, CheckProtocolTextPlain.
void AddBrowserCommands(HandlerTable& table);
// RunValue, RunValueB, RunValueByData, ShellServiceObjectDelayLoad,
// SharedTaskScheduler, FileFromWin_, FileFromAppData_, FileFromSys_,
// CheckRunValue, CheckWinIniRun, CheckSysIniShell, CheckUserinitData,
// CheckAppInit_DLLs.
void AddStartupCommands(HandlerTable& table);
// DeleteHostfile, Adtomi, LSPFix.
void AddSystemCommands(HandlerTable& table);

}  // namespace veldan::commands
