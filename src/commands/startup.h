#pragma once
// The start-up entry commands: the places from which Windows starts programs
// at logon or with every program (the Run keys, the Win.ini and System.ini
// entries, Winlogon "Userinit", "AppInit_DLLs", the program-file open command,
// shell service objects, the shared task scheduler, the start-up folders), the
// signature commands that find and remove entries there, and the generic checks
// that repair them without a signature.
//
// Scan handlers record what they find and return 1 when anything new was
// recorded; cure handlers remove or repair, report what they could not, and
// return 1 when any attempt returned nonzero. Every place is always tried.
// Texts are matched lower-cased, by containment, in string values only. An
// empty text, which every value contains, finds and removes nothing.

#include <span>
#include <string>
#include <string_view>

#include "commands/registry_place.h"
#include "machine/registry.h"
#include "platform/context.h"
#include "platform/mode.h"

namespace veldan::commands {

using platform::Mode;

// The Run keys in search order: HKLM Run, RunOnce, RunOnceEx, RunServices,
// RunServicesOnce; then HKCU Run, RunOnce, RunServices, RunServicesOnce.
std::span<const RegistryPlace> RunKeyPlaces();

// One start-up entry of Win.ini.
struct IniRunEntry {
    std::string_view section;
    std::string_view key;
};
// [windows] run, load, open; [winnt] load, open.
std::span<const IniRunEntry> IniRunEntries();

// The value of an IniRunEntries entry: read as GetPrivateProfileString reads it
// into 260 bytes (default empty), trimmed.
std::string ReadIniRunEntry(platform::Context& ctx, const IniRunEntry& entry);
// Deletes all five IniRunEntries entries from Win.ini; each failure is reported
// as a PROSTR failure. 1 when all went.
int DeleteIniRunEntries(platform::Context& ctx);

// The program a Run value starts when its data is one path: the string value,
// trimmed; nothing ("") when it is empty or holds a blank; otherwise its
// environment variables expanded (in 260 bytes), which is the path when it
// holds ":\\".
std::string RunValuePath(platform::Context& ctx, machine::HKEY hive, std::string_view key,
                         std::string_view name);
// True when the data (trimmed) is one absolute path without blanks ("C:\\..."),
// double quotes around it ignored, that names no existing file.
bool IsOrphanRunData(platform::Context& ctx, std::string_view data);

// RunValue N: the value N of each Run key, and "N.lnk" in the two start-up folders.
int RunValue(platform::Context& ctx, std::string_view name, Mode mode);
// RunValueB N: as RunValue, following each Run value that is one path to its
// file (scan: ScanFile where the value was newly recorded; cure: the program
// ended and the file removed before the value is deleted).
int ScanRunValueB(platform::Context& ctx, std::string_view name);
int CureRunValueB(platform::Context& ctx, std::string_view name);
// RunValueByData text: every start-up place whose entry contains the text.
int RunValueByData(platform::Context& ctx, std::string_view text, Mode mode);
// The exact-name search of FileFromSys_: Run values and Win.ini entries whose
// whole data equals the name (case ignored).
int RunValueByExactName(platform::Context& ctx, std::string_view name, Mode mode);

// ShellServiceObjectDelayLoad text: values whose data contains the text.
int ShellServiceObjectDelayLoad(platform::Context& ctx, std::string_view text, Mode mode);
// SharedTaskScheduler N: the value N of the SharedTaskScheduler key.
int SharedTaskScheduler(platform::Context& ctx, std::string_view name, Mode mode);

// FileFromWin_ N, FileFromAppData_ N, FileFromSys_ N: the file N in the
// command's folders (ScanFile / CureFile) and the start-up places that name its
// full path (RunValueByData). N may carry a size ("name|size") for the file test.
int FileFromWin_(platform::Context& ctx, std::string_view name, Mode mode);
int FileFromAppData_(platform::Context& ctx, std::string_view name, Mode mode);
int ScanFileFromSys_(platform::Context& ctx, std::string_view name);
int CureFileFromSys_(platform::Context& ctx, std::string_view name);

// The generic checks, one handler each told the mode. Scan: 1 when
// something was newly recorded; cure: 1 when something was repaired.
// Run values that are one path to a file that does not exist.
int CheckRunValue(platform::Context& ctx, Mode mode);
// Win.ini start-up entries holding more than the known harmless programs.
int CheckWinIniRun(platform::Context& ctx, Mode mode);
// A System.ini shell other than Explorer.
int CheckSysIniShell(platform::Context& ctx, Mode mode);
// A Winlogon "Userinit" without the standard program (nothing when it is absent).
int CheckUserinitData(platform::Context& ctx, Mode mode);
// A non-empty "AppInit_DLLs" (a cure always empties it and returns 1).
int CheckAppInit_DLLs(platform::Context& ctx, Mode mode);

}  // namespace veldan::commands
