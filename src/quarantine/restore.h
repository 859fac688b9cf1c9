#pragma once
// Putting back what a cure changed. A cure's changes are undone in the inverse
// order they were made. A change whose state on the machine is still the one
// the cure left is undone; one whose state is already the one before the cure
// is done (so an interrupted cure or restore can simply be restored again); any
// other state is a conflict: it is reported and left alone unless forced. Each
// restore is journaled beside the cure (restore.jsonl).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/machine.h"
#include "quarantine/journal.h"
#include "quarantine/journaling_machine.h"

namespace veldan::quarantine {

// What a restore did with one change.
struct RestoreItem {
    std::string cure;
    std::uint64_t seq = 0;
    std::string op, type, text;  // the change, as the cure report showed it
    std::string outcome;         // "restored", "already restored", "conflict",
                                 // "not undoable", "failed"
    std::string detail;          // why a change is in conflict or failed
};

struct RestoreReport {
    std::vector<RestoreItem> items;
    int restored = 0, already = 0, conflicts = 0, failed = 0, notUndoable = 0;
};

// Reads the journal of cure `id` under `root`; ERROR_INVALID_DATA with
// `problem` for a damaged or foreign one, ERROR_PATH_NOT_FOUND for an unknown id.
[[nodiscard]] WinError LoadCure(const machine::FileSystem& fs, std::string_view root,
                                std::string_view id, CureJournal& journal, std::string& problem);

// Restores cure `id` under `root` on machine `m` (not journaled by it) and adds
// its items to `report`. `force` undoes conflicting changes too. Fails, with
// nothing changed, when the journal cannot be read or the restore journal cannot
// be written; `problem` says why.
[[nodiscard]] WinError RestoreCure(machine::Machine& m, std::string_view root, std::string_view id,
                                   bool force, RestoreReport& report, std::string& problem,
                                   JournalObserver* observer = nullptr);

}  // namespace veldan::quarantine
