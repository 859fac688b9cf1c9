// The start-up entry commands: Run values, start-up data anywhere Windows
// starts programs from, shell service objects, the shared task scheduler, the
// FileFrom..._ variants that also search the start-up places, and the generic
// start-up checks.

#include "commands/command_rows.h"
#include "commands/startup.h"

namespace veldan::commands {
std::span<const CommandRow> StartupRows() {
    static constexpr CommandRow kRows[] = {
        Check1<RunValue>("RunValue"),
        Pair1<ScanRunValueB, CureRunValueB>("RunValueB"),
        Check1<RunValueByData>("RunValueByData"),
        Check1<ShellServiceObjectDelayLoad>("ShellServiceObjectDelayLoad"),
        Check1<SharedTaskScheduler>("SharedTaskScheduler"),
        Check1<FileFromWin_>("FileFromWin_"),
        Check1<FileFromAppData_>("FileFromAppData_"),
        Pair1<ScanFileFromSys_, CureFileFromSys_>("FileFromSys_"),
        Check0<CheckRunValue>("CheckRunValue"),
        Check0<CheckWinIniRun>("CheckWinIniRun"),
        Check0<CheckSysIniShell>("CheckSysIniShell"),
        Check0<CheckUserinitData>("CheckUserinitData"),
        Check0<CheckAppInit_DLLs>("CheckAppInit_DLLs"),
    };
    return kRows;
}

}  // namespace veldan::commands
