#pragma once
// The scan and the cure. A scan runs every detection entry's commands in scan
// mode, keeps the entries that found something as rows with their stored lines
// (the cure script), then compares files of drive C: with the deep-scan
// fingerprints. A cure runs the stored lines of the checked rows in cure mode.
//
// Both report through a ScanObserver, so the command line and the window share
// one engine; both stop between lines (and between files) when the cancel flag is set.

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

inline constexpr std::string_view kDeepScanSuffix = " (Deep Scan)";
inline constexpr std::string_view kStatusDone = "완료";
inline constexpr std::string_view kStatusFailed = "실패";

// One detected entry: its row in the result list and its lines in the cure script.
struct ScanRow {
    std::string name;
    int itemStart = 0;          // index of its first found item
    int itemCount = 0;          // number of its found items
    std::size_t lineStart = 0;  // its lines in the cure script
    std::size_t lineCount = 0;
    bool checked = false;
    std::string status;  // "완료" / "실패" after a cure, else ""
};

// What a scan leaves for the cure: the rows and the cure script. Each row owns
// its own range of the script, so rows and stored lines always match, also for
// the row of the lines before the first entry (which has no "#NAME" line) and
// for entries that hold an empty "#NAME" line.
struct ScanResult {
    std::vector<ScanRow> rows;
    std::vector<std::string> cureScript;

    void Clear() {
        rows.clear();
        cureScript.clear();
    }
};

class ScanObserver {
  public:
    virtual ~ScanObserver() = default;
    // The progress range: 0 .. total.
    virtual void OnRange(int total) {}
    // Position, and the "%d%% (%d/%d)" line's numbers; sent when the percentage changes.
    virtual void OnProgress(int percent, int position, int total) {}
    // The current entry or file name.
    virtual void OnStatus(std::string_view text) {}
    // The deep-scan pass has looked at this many files of the drive so far; sent
    // when the pass starts and now and then while it walks (its end is unknown).
    virtual void OnDeepScan(std::uint64_t filesChecked) {}
    // A row was added (scan).
    virtual void OnRow(int index, const ScanRow& row) {}
    // A row's status was set (cure).
    virtual void OnRowStatus(int index, std::string_view status) {}
    // The cure runs the lines of this row now; -1 once the rows are done (cure).
    virtual void OnCureRow(int index) {}
};

// Runs a scan: clears both item lists and `result`, rebuilds the shortcut caches
// and the MUICache list, runs the signature pass and, unless cancelled, the
// deep-scan pass. The database must have been loaded (its pattern count is the
// progress total). Returns 1 when it ran to its end, 0 when cancelled.
int RunScan(Context& ctx, ScanResult& result, ScanObserver& observer,
            const std::atomic<int>& cancel);

// The deep-scan pass alone (it loads and frees the deep-scan database); rows are
// appended to `result`. Returns 1 when it ran to its end, 0 when cancelled.
int RunDeepScan(Context& ctx, ScanResult& result, ScanObserver& observer,
                const std::atomic<int>& cancel);

// MD5 of a file of the machine as 32 lower-case hex digits; "" when it cannot be read.
std::string FileMd5(Context& ctx, std::string_view path);

// Runs a cure of the checked rows: empties the failure list, runs each checked
// row's lines in cure mode and sets its status from the failures it added.
// Returns 1 when it ran to its end, 0 when cancelled.
int RunCure(Context& ctx, ScanResult& result, ScanObserver& observer,
            const std::atomic<int>& cancel);

// What the cure start does before a cure: names the programs that will be
// closed ("Windows 탐색기, Internet Explorer, RUNDLL32" ...; "" when none runs).
std::string ProgramsToClose(Context& ctx);
// Closes Explorer and browser windows, ends the browser and the script hosts.
void CloseProgramsForCure(Context& ctx);
// After a completed cure: writes the home page as the browser's "Start Page".
int WriteStartPage(Context& ctx, std::string_view homePage);

// The scan log: every found item's text followed by CR LF, in found-list order.
std::string ScanLogText(Context& ctx);

}  // namespace veldan::engine
