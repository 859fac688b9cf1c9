#pragma once
// A machine opened from a path (a machine image, a Windows installation): what
// the command line and the window need of it beyond its services, answered by
// every backend in its own way.

#include <string>
#include <vector>

#include "machine/machine.h"
#include "machine/machine_error.h"

namespace veldan::machine {

// How to open a machine: the user profile to open ("" takes the only one) and
// whether hives that were not cleanly written may be opened. A machine with
// one user refuses a named user.
struct LoadOptions {
    std::string user;
    bool force = false;
};

// What a restart did to one pending operation.
struct RestartAction {
    std::string path;    // the file, as the operation named it
    std::string target;  // rename target; empty for a deletion
    bool done = false;   // false: the file was already gone (skipped) or could not be handled
    std::string note;    // "deleted", "renamed", "already gone", or the failure
};

class LoadedMachine : public Machine {
  public:
    // The host folder it was opened from.
    virtual const std::string& folder() const = 0;
    // The user whose profile is open.
    virtual const std::string& userName() const = 0;

    // Writes what changed in memory back (files change at once). Returns false
    // with `error` when writing failed; the machine on disk is then as before.
    virtual bool Save(MachineError& error) = 0;
    // True when Save may write the machine; false with `error` naming what is
    // read-only. Nothing is written either way.
    virtual bool CheckWritable(MachineError& error) const = 0;
    // The copies made of files before their first change, as host paths, in
    // the order they were made; empty for a machine that keeps none.
    virtual std::vector<std::string> Backups() const = 0;

    // A restart: what runs ends, then the operations pending for the restart
    // are carried out in order and cleared. Not saved.
    virtual std::vector<RestartAction> Restart() = 0;
    // The files scheduled for deletion at restart, as Windows paths, in order.
    virtual std::vector<std::string> PendingDeletes() const = 0;
};

}  // namespace veldan::machine
