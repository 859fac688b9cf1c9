#pragma once
// The cure history's worker: restores or purges kept cures on its own thread,
// hands its progress to the dialog with queued calls and posts
// WM_KEPT_DONE when it ends. It works on the machine under the
// journaling machine (a restore journals itself beside the cure).

#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "machine/machine.h"
#include "quarantine/restore.h"

namespace veldan::ui {

// What the worker does: restore (newest first, as given) or purge the cures `ids`.
struct QuarantineTask {
    enum class Kind { Restore, Purge };
    Kind kind = Kind::Restore;
    std::vector<std::string> ids;
    bool force = false;  // restore: also put back what changed since the cure
};

// What it did.
struct QuarantineOutcome {
    machine::WinError error = machine::ERROR_SUCCESS;  // what stopped it; success when nothing did
    std::string failedId;                              // the cure it stopped at
    std::string problem;   // why, in the journal layer's words (for the debug channel)
    bool changed = false;  // the machine may have changed: it must be written back
    quarantine::RestoreReport report;
    std::vector<std::string> purged;
};

// Progress as the dialog shows it: cure `position` of `total` (0-based) and
// the file moving out of the quarantine with its percent (-1: none).
using QuarantineProgress =
    std::function<void(int position, int total, const std::string& path, int percent)>;

// Runs `task` on `m` with the quarantine at `root`; a restore first reads
// every journal and, when one cannot be read, changes nothing.
QuarantineOutcome RunQuarantineTask(machine::Machine& m, const std::string& root,
                                    const QuarantineTask& task, const QuarantineProgress& progress);

class QuarantineWorker {
  public:
    QuarantineWorker() = default;
    // Waits for a worker that still runs.
    ~QuarantineWorker();
    QuarantineWorker(const QuarantineWorker&) = delete;
    QuarantineWorker& operator=(const QuarantineWorker&) = delete;

    // Starts the thread; false when one exists. `m` must stay untouched by
    // others until Join(); `progress` is called on `receiver`'s thread.
    bool Start(machine::Machine& m, std::string root, QuarantineTask task, QObject* receiver,
               QuarantineProgress progress);
    // True from Start() until Join().
    bool Exists() const { return thread_.joinable(); }
    // Waits for the thread and hands over its outcome.
    QuarantineOutcome Join();

  private:
    std::thread thread_;
    QuarantineOutcome outcome_;
};

}  // namespace veldan::ui
