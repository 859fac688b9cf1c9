#include <string>

#include "engine/dispatch.h"
#include "engine/scan.h"
#include "platform/processes.h"
#include "platform/registry_ops.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

// Script hosts and helpers that malware runs through; the cure ends them.
struct HostProgram {
    std::string_view label;
    std::string_view pattern;
};
constexpr HostProgram kScriptHosts[] = {
    {"RUNDLL32,", "\\rundll32.exe"},
    {"MSHTA, ", "\\mshta.exe"},
    {"WSCRIPT, ", "\\wscript.exe"},
    {"HH, ", "\\hh.exe"},
};

void SetRowStatus(Context& ctx, ScanResult& result, ScanObserver& observer, std::size_t row,
                  int failuresAtStart) {
    if (row >= result.rows.size() || !result.rows[row].checked) return;
    result.rows[row].status =
        std::string(ctx.report().failed().Count() > failuresAtStart ? kStatusFailed : kStatusDone);
    observer.OnRowStatus(static_cast<int>(row), result.rows[row].status);
}

}  // namespace

int RunCure(Context& ctx, ScanResult& result, ScanObserver& observer,
            const std::atomic<int>& cancel) {
    ctx.report().failed().Clear();
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        if (!result.rows[r].status.empty()) {
            result.rows[r].status.clear();
            observer.OnRowStatus(static_cast<int>(r), "");
        }
    }
    const int n = static_cast<int>(result.cureScript.size());
    observer.OnRange(n);

    int position = 0;
    long long weighted = 100;
    bool cancelled = false;
    for (std::size_t r = 0; r < result.rows.size() && !cancelled; ++r) {
        const ScanRow& row = result.rows[r];
        const int failuresAtStart = ctx.report().failed().Count();
        observer.OnStatus(row.name);
        observer.OnCureRow(static_cast<int>(r));
        for (std::size_t i = 0; i < row.lineCount; ++i) {
            if (cancel.load() != 0) {
                cancelled = true;
                break;
            }
            ++position;
            observer.OnProgress(n > 0 ? static_cast<int>(weighted / n) : 0, position, n);
            weighted += 100;
            const std::string& line = result.cureScript[row.lineStart + i];
            // "#NAME" lines name the entry; they are not commands.
            if (line.empty() || line[0] == '#' || !row.checked) continue;
            RunScriptLine(ctx, line, Mode::Cure);
        }
        SetRowStatus(ctx, result, observer, r, failuresAtStart);
    }
    observer.OnCureRow(-1);
    return cancelled ? 0 : 1;
}

std::string ProgramsToClose(Context& ctx) {
    std::string text;
    if (platform::IsExplorerWindowOpen(ctx)) text += "Windows 탐색기, ";
    if (platform::IsBrowserRunning(ctx)) text += "Internet Explorer, ";
    for (const auto& host : kScriptHosts) {
        if (platform::KillProcessesByPath(ctx, host.pattern, false) > 0) text += host.label;
    }
    text = text::TrimRight(text);
    while (!text.empty() && text.back() == ',') text.pop_back();
    return text;
}

void CloseProgramsForCure(Context& ctx) {
    platform::CloseBrowserWindows(ctx);
    for (const auto& host : kScriptHosts) platform::KillProcessRetry(ctx, host.pattern);
}

int WriteStartPage(Context& ctx, std::string_view homePage) {
    return platform::WriteStringValue(ctx, machine::HKEY_CURRENT_USER,
                                      "Software\\Microsoft\\Internet Explorer\\Main", "Start Page",
                                      homePage);
}

}  // namespace veldan::engine
