#include "ui/killbit_sort.h"

#include <algorithm>
#include <numeric>

#include "text/strings.h"

namespace veldan::ui {

void ListSortState::Click(int clicked) {
    if (clicked == column) {
        ascending = !ascending;
    } else {
        column = clicked;
        ascending = true;
    }
}

std::vector<int> KillBitSortOrder(const std::vector<engine::KillBitEntry>& entries, int column,
                                  bool ascending) {
    std::vector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    auto key = [&](int i) -> const std::string& {
        const engine::KillBitEntry& e = entries[static_cast<std::size_t>(i)];
        return column == kKillBitClsidColumn ? e.clsid : e.name;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = text::CompareUpper(key(a), key(b));
        return ascending ? c < 0 : c > 0;
    });
    return order;
}

int IndexAfterReorder(const std::vector<int>& order, int oldIndex) {
    if (oldIndex < 0) return -1;
    auto it = std::find(order.begin(), order.end(), oldIndex);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

}  // namespace veldan::ui
