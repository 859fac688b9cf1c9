#pragma once
// One change a cure made to the machine, as its journal keeps it.

#include <cstdint>
#include <string>

#include "quarantine/state.h"

namespace veldan::quarantine {

// What a change replaced and how it is put back:
//   "regtree"     target {root, key}: a key with its tree (created or deleted)
//   "regvalues"   target {root, key}: the values of one key, in order
//   "regsecurity" target {root, key}: whether the key may be deleted
//   "file"        target {path}: a file or folder, content through a payload
//   "attributes"  target {path}: the attributes of a file or folder
//   "times"       target {path}: the times of a file or folder
//   "none"        nothing can be put back (a process ended, a window closed)
struct Change {
    std::uint64_t seq = 0;
    std::string op;    // "delete", "create", "set", "write", "attributes", "times",
                       // "delete-at-restart", "security", "terminate", "close"
    std::string type;  // REGKEY, REGVAL, PROSTR, FILE, DIR, LSP, PROCESS, WINDOW
    std::string text;  // what changed, as the report shows it
    int row = -1;      // the result row whose cure made it; -1 for the steps around it
    bool undoable = true;
    std::string kind;
    Json target;
    Json before;
    Json after;             // null while the outcome is unknown (the cure stopped there)
    bool finished = false;  // the outcome was recorded
    WinError result = 0;    // the outcome: ERROR_SUCCESS when the change was made
};

}  // namespace veldan::quarantine
