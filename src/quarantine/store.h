#pragma once
// The quarantine folder of a machine and the cures kept in it:
//
//   <quarantine>\<id>\journal.jsonl    the cure's journal (see journal.h)
//   <quarantine>\<id>\<seq>.gz         a file's content before change <seq>
//   <quarantine>\<id>\restore.jsonl    the journal of its restores
//
// Ids are the cure's UTC time ("20261208T143134Z-01"), so they sort by age.

#include <string>
#include <string_view>
#include <vector>

#include "machine/machine.h"
#include "quarantine/state.h"

namespace veldan::quarantine {

// Where a machine keeps its quarantine, as a Windows path: `chosen` when it is
// not empty, else the common application-data folder + "\Veldan\Quarantine";
// the 9x family has no common folders and uses its application-data folder
// (<windir>\Application Data), and a machine without either the Windows folder.
std::string QuarantineFolder(machine::Machine& m, std::string_view chosen);

// Creates the folder and every missing folder above it.
[[nodiscard]] WinError CreateFolders(machine::FileSystem& fs, std::string_view path);

// A new, unused cure id under `root`.
std::string NewCureId(const machine::FileSystem& fs, std::string_view root);

// What the list shows of one cure.
struct CureInfo {
    std::string id;
    std::string time;        // the journal's UTC time
    int entries = 0;         // entries cured
    int changes = 0;         // changes made
    bool completed = false;  // the cure ran to its end
    std::string state;       // "restored", "not restored", "restore interrupted",
                             // "restored with conflicts", "damaged"
    std::string problem;     // what is wrong with a damaged journal
};

// The cures under `root`, newest first; an absent root has none.
std::vector<CureInfo> ListCures(const machine::FileSystem& fs, std::string_view root);

// Deletes a cure's folder with everything in it, for good.
[[nodiscard]] WinError PurgeCure(machine::FileSystem& fs, std::string_view root,
                                 std::string_view id);

}  // namespace veldan::quarantine
