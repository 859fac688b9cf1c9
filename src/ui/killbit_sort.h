#pragma once
// Sorting the KillBit page's list by a column: the column's texts compared
// without regard to case; a click on the sorted column reverses the direction,
// a click on another column sorts it ascending.

#include <vector>

#include "engine/immunize.h"

namespace veldan::ui {

// The KillBit page's columns.
enum KillBitColumn : int { kKillBitNameColumn = 0, kKillBitClsidColumn = 1 };

struct ListSortState {
    int column = -1;  // the sorted column; -1 before the first sort
    bool ascending = true;

    // A click on the header of `column`: the same column flips the direction,
    // another one starts ascending.
    void Click(int column);
};

// The new order of `entries` sorted by `column` (name or identifier), compared
// with ASCII letters folded to upper case; entries that compare equal keep
// their relative order. Element k is the index of the entry that goes to row k.
std::vector<int> KillBitSortOrder(const std::vector<engine::KillBitEntry>& entries, int column,
                                  bool ascending);

// Where the entry at `oldIndex` lands after a reorder by `order`; -1 when
// `oldIndex` is -1 or not in the order.
int IndexAfterReorder(const std::vector<int>& order, int oldIndex);

}  // namespace veldan::ui
