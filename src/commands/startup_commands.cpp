// The start-up entry commands: Run values, start-up data anywhere Windows
// starts programs from, shell service objects, the shared task scheduler, the
// FileFrom..._ variants that also search the start-up places, and the generic
// start-up checks.

#include "commands/command_rows.h"
#include "commands/startup.h"

namespace veldan::commands {
std::span<const CommandRow> StartupRows() {
    static constexpr CommandRow kRows[] = {
        Pair1<ScanRunValue, CureRunValue>("RunValue"),
        Pair1<ScanRunValueB, CureRunValueB>("RunValueB"),
        Pair1<ScanRunValueByData, CureRunValueByData>("RunValueByData"),
        Pair1<ScanShellServiceObjectDelayLoad, CureShellServiceObjectDelayLoad>(
            "ShellServiceObjectDelayLoad"),
        Pair1<ScanSharedTaskScheduler, CureSharedTaskScheduler>("SharedTaskScheduler"),
        Pair1<ScanFileFromWin_, CureFileFromWin_>("FileFromWin_"),
        Pair1<ScanFileFromAppData_, CureFileFromAppData_>("FileFromAppData_"),
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
