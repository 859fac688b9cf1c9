#pragma once
// What scan and cure print: the JSON document of a scan or a cure, and the
// rows as text, with a progress observer for standard error.

#include <string>
#include <string_view>

#include "engine/scan.h"
#include "json_out.h"
#include "platform/context.h"
#include "quarantine/change.h"
#include "terminal.h"

namespace veldan::cli {

// {"database": {...}, "completed": ..., "rows": [...]}; a cure adds "checked",
// "status" and "changes" (from `changes`, the cure's journal) to every row,
// and "changes" of the steps around the rows and "failures" to the document.
Json ScanDocument(platform::Context& ctx, const engine::ScanResult& result, bool completed,
                  bool withCure, const std::vector<quarantine::Change>& changes = {});

// [{"op", "type", "text"}] of the changes made for row `row` (-1: outside the rows).
Json ChangesJson(const std::vector<quarantine::Change>& changes, int row);
// One line per change of row `row`, indented under the row.
void PrintChanges(const std::vector<quarantine::Change>& changes, int row, const char* indent);

// "Machine:" and "Database:" lines and a blank line.
void PrintHeader(platform::Context& ctx, const std::string& machine);
// One numbered line per row and one line per trace; `colour` paints row names
// and cure states.
void PrintRows(platform::Context& ctx, const engine::ScanResult& result, bool withCure,
               bool colour);
// The failures of a cure as trace lines.
void PrintFailures(platform::Context& ctx);

// Where a cure kept what it removed, and the command that puts it back.
void PrintKept(const std::string& folder, const std::string& machine, const std::string& cureId);

// Every trace of every row.
int TotalItems(const engine::ScanResult& result);

// Scan and cure progress on standard error (a terminal, not --quiet).
class ConsoleObserver final : public engine::ScanObserver {
  public:
    explicit ConsoleObserver(bool quiet) : line_(quiet) {}
    void OnProgress(int percent, int position, int total) override;
    void OnStatus(std::string_view text) override;
    void OnDeepScan(std::uint64_t filesChecked) override;
    void Clear() { line_.Clear(); }

  private:
    void Draw();
    ProgressLine line_;
    int percent_ = 0, position_ = 0, total_ = 0;
    long statusUpdates_ = 0;
    long long deepScanFiles_ = -1;  // -1 until the deep-scan pass starts
    std::string status_;
};

}  // namespace veldan::cli
