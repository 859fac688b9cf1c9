#include "platform/processes.h"

#include "platform/registry_ops.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using machine::ERROR_SUCCESS;

// The pause after a successful termination, so that the process has released
// its files before anyone deletes them; also the pause between window rounds.
constexpr std::uint32_t kSettleMs = 500;
// Passes of KillProcessesByPath that KillProcessRetry makes at most.
constexpr int kKillPasses = 9;
// Rounds of closing Explorer or browser windows.
constexpr int kCloseRounds = 8;

// The load address of an executable image, which PSAPI reports as the handle
// of a process's first module.
constexpr std::uint32_t kImageBase = 0x00400000u;

constexpr std::string_view kExplorerClass = "ExploreWClass";
constexpr std::string_view kCabinetClass = "CabinetWClass";
constexpr std::string_view kBrowserClass = "IEFrame";
constexpr std::string_view kBrowserImage = "\\iexplore.exe";

// Posts WM_CLOSE to every top-level window whose class is exactly one of `classes`.
template <std::size_t N>
void CloseWindowsOfClass(Context& ctx, const std::string_view (&classes)[N]) {
    machine::Windows& windows = ctx.machine().windows();
    for (const machine::WindowInfo& w : windows.Enumerate()) {
        for (std::string_view cls : classes) {
            if (w.className != cls) continue;
            // A window that is gone or ignores the request is met again next round.
            (void)windows.PostMessage(w.handle, machine::WM_CLOSE);
            break;
        }
    }
}

}  // namespace

int ProcessList::Refresh() {
    entries_.clear();
    // The NT family lists through PSAPI: the first module's handle is the image
    // base. The toolhelp snapshot of 9x carries a module id that nothing reads;
    // the machine does not report one.
    const bool psapi = ctx_.machine().system().Family() == machine::OsFamily::Nt;
    for (const machine::ProcessInfo& p : ctx_.machine().processes().List()) {
        ProcessEntry e;
        e.imageName = p.imagePath;
        e.moduleId = psapi ? kImageBase : 0;
        e.processId = p.id;
        entries_.push_back(std::move(e));
    }
    return 1;
}

int KillProcessesByPath(Context& ctx, std::string_view pattern, bool kill) {
    const std::string lowered = text::LowerAscii(pattern);
    struct Match {
        std::uint32_t id;
        std::string path;
    };
    std::vector<Match> matches;
    // An empty text would be contained in every path and end every process of
    // the machine: it matches nothing.
    if (!lowered.empty()) {
        ProcessList list(ctx);
        list.Refresh();
        for (int i = 0; i < list.Count(); ++i) {
            const ProcessEntry& e = list.At(i);
            std::string longForm, shortForm;
            ToLongPath(ctx, e.imageName, longForm);
            if (!longForm.empty()) ToShortPath(ctx, longForm, shortForm);
            text::LowerAsciiInPlace(longForm);
            text::LowerAsciiInPlace(shortForm);
            if (longForm.find(lowered) == std::string::npos &&
                shortForm.find(lowered) == std::string::npos) {
                continue;
            }
            matches.push_back(Match{e.processId, std::move(longForm)});
        }
    }
    if (!kill) return static_cast<int>(matches.size());
    int result = 1;
    for (const Match& m : matches) {
        if (!TerminateProcessById(ctx, m.id, m.path)) result = 0;
    }
    return result;
}

int KillProcessRetry(Context& ctx, std::string_view pattern) {
    for (int pass = 0; pass < kKillPasses; ++pass) {
        if (KillProcessesByPath(ctx, pattern, true)) return 1;
    }
    return 0;
}

int TerminateProcessById(Context& ctx, std::uint32_t processId, std::string_view path) {
    const machine::WinError err = ctx.machine().processes().Terminate(processId, 1);
    if (err != ERROR_SUCCESS) {
        LogLastError(ctx, "TerminateProcess", err);
        std::string line(path);
        line += '\n';
        ctx.Debug(line);
        return 0;
    }
    std::string line = "Kill... ";
    line.append(path).append("\n");
    ctx.Debug(line);
    ctx.clock().Sleep(kSettleMs);
    return 1;
}

int IsExplorerWindowOpen(Context& ctx) {
    const machine::Windows& windows = ctx.machine().windows();
    if (windows.FindByClass(kExplorerClass) != 0) return 1;
    return windows.FindByClass(kCabinetClass) != 0 ? 1 : 0;
}

int IsBrowserRunning(Context& ctx) {
    if (ctx.machine().windows().FindByClass(kBrowserClass) != 0) return 1;
    return KillProcessesByPath(ctx, kBrowserImage, false) > 0 ? 1 : 0;
}

int CloseBrowserWindows(Context& ctx) {
    static constexpr std::string_view kShellClasses[] = {kExplorerClass, kCabinetClass};
    static constexpr std::string_view kBrowserClasses[] = {kBrowserClass};
    for (int round = 0; round < kCloseRounds && IsExplorerWindowOpen(ctx); ++round) {
        CloseWindowsOfClass(ctx, kShellClasses);
        ctx.clock().Sleep(kSettleMs);
    }
    for (int round = 0; round < kCloseRounds && IsBrowserRunning(ctx); ++round) {
        CloseWindowsOfClass(ctx, kBrowserClasses);
        ctx.clock().Sleep(kSettleMs);
    }
    return KillProcessRetry(ctx, kBrowserImage);
}

int SetPrivilege(Context& ctx, std::string_view privilege, bool enable, machine::WinError& error) {
    error = ctx.machine().processes().AdjustPrivilege(privilege, enable);
    return error == machine::ERROR_SUCCESS ? 1 : 0;
}

}  // namespace veldan::platform
