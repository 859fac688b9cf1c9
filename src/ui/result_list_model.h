#pragma once
// The rows of the scan result list, without widgets. A detected entry is an
// entry row (name, number of its found items, status after a cure, a check
// box); expanding it inserts one item row per found item right after it.
// The clicks the list receives are turned into check and expand actions here,
// and the entry rows are matched with the engine's rows for the cure.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/scan.h"
#include "platform/found_items.h"
#include "text/debug.h"

namespace veldan::ui {

// State images of the list: unchecked and checked box, item mark.
enum RowStateImage : int { kStateUnchecked = 1, kStateChecked = 2, kStateItem = 4 };

struct ResultRow {
    std::string name;    // column 0: entry name, or the found item's text
    std::string kind;    // column 1: number of found items, or the item's type label
    std::string status;  // column 2: "완료" / "실패" after a cure, else ""
    // Entry rows: index of the first found item times 65536 (low 16 bits 0);
    // item rows: 1. 64 bits wide so that large found lists do not wrap.
    std::int64_t itemData = 0;
    int stateImage = kStateUnchecked;

    bool IsEntry() const { return (itemData & 0xFFFF) == 0; }
    bool IsChecked() const { return stateImage == kStateChecked; }
};

// What a click on the list did.
enum class ClickAction { None, Toggled, Expanded, Collapsed };

class ResultListModel {
  public:
    // Horizontal click zones of an entry row, in list client pixels.
    static constexpr int kCheckLeft = 20;
    static constexpr int kCheckRight = 35;

    // Check changes are written as "CHECK\n" / "UNCHECK\n" to `debug`.
    explicit ResultListModel(text::DebugSink& debug) : debug_(debug) {}

    // Number of rows, entry and item rows together.
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The row at `row` (0 <= row < RowCount()).
    const ResultRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    // True when `row` exists and is an entry row.
    bool IsEntry(int row) const;
    // True when the row after `row` exists and is an item row.
    bool IsExpanded(int row) const;

    // Deletes every row and the selection.
    void Clear();
    // Appends a new, unchecked entry row; returns its row index.
    int AddEntry(const std::string& name, int itemStart, int itemCount);

    // Inserts the entry's item rows after it, built from `found` in list order;
    // returns the number of rows inserted (0 for an item row or when expanded).
    int Expand(int row, const platform::ScanItemList& found);
    // Deletes the entry's item rows; returns the number of rows deleted.
    int Collapse(int row);
    // Expands a collapsed entry or collapses an expanded one; returns what it did.
    ClickAction ToggleExpand(int row, const platform::ScanItemList& found);

    // Sets an entry row's check box; returns true when its state changed.
    bool SetChecked(int row, bool checked);
    // Checks or unchecks every entry row (item rows are left alone); returns the
    // number of rows whose state changed.
    int CheckAll(bool checked);
    // Number of checked entry rows.
    int CheckedCount() const;

    // While a worker runs clicks do nothing.
    void SetBusy(bool busy) { busy_ = busy; }
    bool Busy() const { return busy_; }
    // A single click at list client x on `row`: x in [20, 35] toggles an entry's
    // check box, x < 20 expands or collapses it. Returns what happened.
    ClickAction Click(int row, int x, const platform::ScanItemList& found);
    // A double click: x > 35 expands or collapses an entry. Returns what happened.
    ClickAction DoubleClick(int row, int x, const platform::ScanItemList& found);

    // The selected row, -1 when none; it follows its row when rows are inserted
    // or deleted above it.
    int Selected() const { return selected_; }
    // Selects `row` (-1 or out of range: no selection).
    void Select(int row);

    // Number of entry rows.
    int EntryCount() const;
    // The row index of the n-th entry row (item rows not counted); -1 when none.
    int RowOfEntry(int entry) const;
    // Which entry `row` is (item rows count as their entry); -1 when out of range.
    int EntryOfRow(int row) const;
    // Sets the status column of the n-th entry row; false when there is none.
    bool SetEntryStatus(int entry, const std::string& status);
    // Copies the entry rows' check states into `result`'s rows, in order;
    // rows without an entry row are left unchecked. Returns the checked count.
    int CopyChecks(engine::ScanResult& result) const;

  private:
    text::DebugSink& debug_;
    std::vector<ResultRow> rows_;
    int selected_ = -1;
    bool busy_ = false;
};

}  // namespace veldan::ui
