#pragma once
// Running processes: listing them with their image paths, ending every process
// whose path contains a text, and closing browser and Explorer windows before a cure.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"

namespace veldan::platform {

// One running process as the enumerators report it.
struct ProcessEntry {
    std::string imageName;       // full image path (NT, 9x); "" when unknown
    std::uint32_t moduleId = 0;  // first module handle (PSAPI) / th32ModuleID (toolhelp)
    std::uint32_t processId = 0;
};

// The running processes of the machine, enumerated afresh by Refresh. On the NT
// family the list is built as PSAPI would, on 9x as the toolhelp functions would.
class ProcessList {
  public:
    explicit ProcessList(Context& ctx) : ctx_(ctx) {}
    // Empties the list and enumerates the processes; 1 on success.
    int Refresh();
    int Count() const { return static_cast<int>(entries_.size()); }
    const ProcessEntry& At(int index) const { return entries_[static_cast<std::size_t>(index)]; }

  private:
    Context& ctx_;
    std::vector<ProcessEntry> entries_;
};

// Number of processes whose long or short image path contains `pattern` (case
// ignored; an empty pattern matches none); with `kill`, ends them and returns 1
// when every termination succeeded (also when none matched).
int KillProcessesByPath(Context& ctx, std::string_view pattern, bool kill);
// Up to 9 passes of KillProcessesByPath with kill; 1 at the first pass that returns 1.
int KillProcessRetry(Context& ctx, std::string_view pattern);
// Ends one process; "Kill... " + path on success, then a 500 ms wait.
int TerminateProcessById(Context& ctx, std::uint32_t processId, std::string_view path);
// A top-level window of class "ExploreWClass" or "CabinetWClass" exists.
int IsExplorerWindowOpen(Context& ctx);
// A window of class "IEFrame" exists, or an "\\iexplore.exe" process runs.
int IsBrowserRunning(Context& ctx);
// Closes Explorer and browser windows (up to 8 rounds each) and ends the browser.
int CloseBrowserWindows(Context& ctx);

// Enables or disables a privilege of the scanner's own process token. Returns
// 1 on success; 0 with `error` set when the machine refuses it.
int SetPrivilege(Context& ctx, std::string_view privilege, bool enable, machine::WinError& error);

}  // namespace veldan::platform
