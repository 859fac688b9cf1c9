#include "ui/result_list_model.h"

#include "ui/layout.h"

namespace veldan::ui {

namespace {
constexpr std::int64_t kItemRowData = 1;
constexpr std::int64_t kEntryDataUnit = 65536;
}  // namespace

bool ResultListModel::IsEntry(int row) const {
    return row >= 0 && row < RowCount() && Row(row).IsEntry();
}

bool ResultListModel::IsExpanded(int row) const {
    return row >= 0 && row + 1 < RowCount() && !Row(row + 1).IsEntry();
}

void ResultListModel::Clear() {
    rows_.clear();
    selected_ = -1;
}

int ResultListModel::AddEntry(const std::string& name, int itemStart, int itemCount) {
    ResultRow row;
    row.name = name;
    row.kind = std::to_string(itemCount);
    row.itemData = static_cast<std::int64_t>(itemStart) * kEntryDataUnit;
    row.stateImage = kStateUnchecked;
    rows_.push_back(std::move(row));
    return RowCount() - 1;
}

int ResultListModel::Expand(int row, const platform::ScanItemList& found) {
    if (!IsEntry(row) || IsExpanded(row)) return 0;
    const std::int64_t first = Row(row).itemData / kEntryDataUnit;
    const int count = LeadingInt(Row(row).kind);
    std::vector<ResultRow> items;
    for (int k = 0; k < count; ++k) {
        const std::int64_t index = first + k;
        // The found list belongs to the last scan; an index it no longer has is skipped.
        if (index < 0 || index >= found.Count()) break;
        const platform::CScanItem& item = found.At(static_cast<int>(index));
        ResultRow r;
        r.name = item.text;
        r.kind = std::string(platform::TypeLabel(item.type));
        r.itemData = kItemRowData;
        r.stateImage = kStateItem;
        items.push_back(std::move(r));
    }
    const int n = static_cast<int>(items.size());
    rows_.insert(rows_.begin() + row + 1, std::make_move_iterator(items.begin()),
                 std::make_move_iterator(items.end()));
    if (selected_ > row) selected_ += n;
    return n;
}

int ResultListModel::Collapse(int row) {
    if (!IsEntry(row)) return 0;
    // As many rows as the entry has items, but never past its own item rows.
    const int count = LeadingInt(Row(row).kind);
    int n = 0;
    while (n < count && row + 1 + n < RowCount() && !Row(row + 1 + n).IsEntry()) ++n;
    if (n == 0) return 0;
    rows_.erase(rows_.begin() + row + 1, rows_.begin() + row + 1 + n);
    if (selected_ > row + n) {
        selected_ -= n;
    } else if (selected_ > row) {
        selected_ = row;  // an item row that went away: its entry keeps the selection
    }
    return n;
}

ClickAction ResultListModel::ToggleExpand(int row, const platform::ScanItemList& found) {
    if (!IsEntry(row)) return ClickAction::None;
    if (IsExpanded(row)) return Collapse(row) > 0 ? ClickAction::Collapsed : ClickAction::None;
    return Expand(row, found) > 0 ? ClickAction::Expanded : ClickAction::None;
}

bool ResultListModel::SetChecked(int row, bool checked) {
    if (!IsEntry(row)) return false;
    ResultRow& r = rows_[static_cast<std::size_t>(row)];
    const int image = checked ? kStateChecked : kStateUnchecked;
    if (r.stateImage == image) return false;
    r.stateImage = image;
    debug_.Write(checked ? "CHECK\n" : "UNCHECK\n");
    return true;
}

int ResultListModel::CheckAll(bool checked) {
    int changed = 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (SetChecked(row, checked)) ++changed;
    }
    return changed;
}

int ResultListModel::CheckedCount() const {
    int n = 0;
    for (const ResultRow& r : rows_) {
        if (r.IsEntry() && r.IsChecked()) ++n;
    }
    return n;
}

ClickAction ResultListModel::Click(int row, int x, const platform::ScanItemList& found) {
    if (busy_ || !IsEntry(row)) return ClickAction::None;
    if (x >= kCheckLeft && x <= kCheckRight) {
        SetChecked(row, !Row(row).IsChecked());
        return ClickAction::Toggled;
    }
    if (x < kCheckLeft) return ToggleExpand(row, found);
    return ClickAction::None;
}

ClickAction ResultListModel::DoubleClick(int row, int x, const platform::ScanItemList& found) {
    if (busy_ || !IsEntry(row) || x <= kCheckRight) return ClickAction::None;
    return ToggleExpand(row, found);
}

void ResultListModel::Select(int row) {
    selected_ = row >= 0 && row < RowCount() ? row : -1;
}

int ResultListModel::EntryCount() const {
    int n = 0;
    for (const ResultRow& r : rows_) n += r.IsEntry() ? 1 : 0;
    return n;
}

int ResultListModel::RowOfEntry(int entry) const {
    if (entry < 0) return -1;
    int seen = 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (!Row(row).IsEntry()) continue;
        if (seen == entry) return row;
        ++seen;
    }
    return -1;
}

int ResultListModel::EntryOfRow(int row) const {
    if (row < 0 || row >= RowCount()) return -1;
    int entry = -1;
    for (int r = 0; r <= row; ++r) entry += Row(r).IsEntry() ? 1 : 0;
    return entry;
}

bool ResultListModel::SetEntryStatus(int entry, const std::string& status) {
    const int row = RowOfEntry(entry);
    if (row < 0) return false;
    rows_[static_cast<std::size_t>(row)].status = status;
    return true;
}

int ResultListModel::CopyChecks(engine::ScanResult& result) const {
    int checked = 0;
    int entry = 0;
    for (const ResultRow& r : rows_) {
        if (!r.IsEntry()) continue;
        if (static_cast<std::size_t>(entry) < result.rows.size()) {
            result.rows[static_cast<std::size_t>(entry)].checked = r.IsChecked();
            checked += r.IsChecked() ? 1 : 0;
        }
        ++entry;
    }
    for (std::size_t i = static_cast<std::size_t>(entry); i < result.rows.size(); ++i) {
        result.rows[i].checked = false;
    }
    return checked;
}

}  // namespace veldan::ui
