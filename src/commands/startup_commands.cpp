// The start-up entry commands: Run values, start-up data anywhere Windows
// starts programs from, shell service objects, the shared task scheduler, the
// FileFrom..._ variants that also search the start-up places, and the generic
// start-up checks.

#include "commands/handler_table.h"
#include "commands/startup.h"

namespace veldan::commands {

void AddStartupCommands(HandlerTable& table) {
    using platform::Context;
    table["RunValue"] = {[](Context& c, const Params& p) { return ScanRunValue(c, p[0]); },
                         [](Context& c, const Params& p) { return CureRunValue(c, p[0]); }};
    table["RunValueB"] = {[](Context& c, const Params& p) { return ScanRunValueB(c, p[0]); },
                          [](Context& c, const Params& p) { return CureRunValueB(c, p[0]); }};
    table["RunValueByData"] = {
        [](Context& c, const Params& p) { return ScanRunValueByData(c, p[0]); },
        [](Context& c, const Params& p) { return CureRunValueByData(c, p[0]); }};
    table["ShellServiceObjectDelayLoad"] = {
        [](Context& c, const Params& p) { return ScanShellServiceObjectDelayLoad(c, p[0]); },
        [](Context& c, const Params& p) { return CureShellServiceObjectDelayLoad(c, p[0]); }};
    table["SharedTaskScheduler"] = {
        [](Context& c, const Params& p) { return ScanSharedTaskScheduler(c, p[0]); },
        [](Context& c, const Params& p) { return CureSharedTaskScheduler(c, p[0]); }};
    table["FileFromWin_"] = {[](Context& c, const Params& p) { return ScanFileFromWin_(c, p[0]); },
                             [](Context& c, const Params& p) { return CureFileFromWin_(c, p[0]); }};
    table["FileFromAppData_"] = {
        [](Context& c, const Params& p) { return ScanFileFromAppData_(c, p[0]); },
        [](Context& c, const Params& p) { return CureFileFromAppData_(c, p[0]); }};
    table["FileFromSys_"] = {[](Context& c, const Params& p) { return ScanFileFromSys_(c, p[0]); },
                             [](Context& c, const Params& p) { return CureFileFromSys_(c, p[0]); }};
    table["CheckRunValue"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                                  return CheckRunValue(c, fix);
                              }};
    table["CheckWinIniRun"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                                   return CheckWinIniRun(c, fix);
                               }};
    table["CheckSysIniShell"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                                     return CheckSysIniShell(c, fix);
                                 }};
    table["CheckUserinitData"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                                      return CheckUserinitData(c, fix);
                                  }};
    table["CheckAppInit_DLLs"] = {nullptr, nullptr, [](Context& c, const Params&, bool fix) {
                                      return CheckAppInit_DLLs(c, fix);
                                  }};
}

}  // namespace veldan::commands
