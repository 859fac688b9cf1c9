#pragma once
// The scan and cure workers of the scan result page. A worker runs
// engine::RunScan or engine::RunCure on its own thread, hands every report to
// the page with queued calls and posts WM_SCAN_DONE / WM_CURE_DONE (lParam 1
// completed, 0 cancelled) when it ends. The page stops a worker at its next
// report while it asks whether to cancel, through the job's pause gate.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/scan.h"
#include "platform/context.h"

namespace veldan::ui {

// What the page hands a worker: the cancel flag and the pause gate.
class ScanJob {
  public:
    // 1 once the user confirmed cancelling; the worker stops at its next line or file.
    std::atomic<int> cancel{0};

    // Clears the cancel flag and opens the gate, before a worker starts.
    void Reset();
    // Closes the gate: the worker waits at its next report until Resume().
    void Pause();
    // Opens the gate again.
    void Resume();
    // True while the gate is closed.
    bool Paused() const;
    // True while the worker is waiting at the closed gate.
    bool Holding() const;
    // The worker's side: returns at once while the gate is open, else waits for Resume().
    void Gate();

  private:
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    bool paused_ = false;
    bool holding_ = false;
};

// What a worker reports, called on the receiver's thread in report order.
struct WorkerSink {
    std::function<void(int total)> range;
    std::function<void(int percent, int position, int total)> progress;
    std::function<void(const std::string& text)> status;
    std::function<void(int index, const engine::ScanRow& row)> row;
    std::function<void(int index, const std::string& status)> rowStatus;
    // Cure: the n-th row's lines begin.
    std::function<void(int index)> cureEntry;
};

class ScanWorker {
  public:
    enum class Kind { Scan, Cure };

    explicit ScanWorker(Kind kind) : kind_(kind) {}
    // Cancels a worker that still runs and waits for it.
    ~ScanWorker();
    ScanWorker(const ScanWorker&) = delete;
    ScanWorker& operator=(const ScanWorker&) = delete;

    // Starts the thread over `ctx` and `result` with `job`, reporting to `sink`
    // through `receiver`; returns false when a thread of this worker exists.
    // `before` (may be empty) runs first on the thread, ahead of the scan or
    // cure: the steps that must precede it without holding up the window.
    // `cureRow` (may be empty) is called on the thread, not queued, as the cure
    // begins each row's lines (-1 once the rows are done): the journal's row.
    // `ctx`, `result` and `job` must stay untouched by others until Join().
    bool Start(platform::Context& ctx, engine::ScanResult& result, ScanJob& job, QObject* receiver,
               WorkerSink sink, std::function<void()> before = {},
               std::function<void(int)> cureRow = {});
    // True from Start() until Join(), also after the thread has finished.
    bool Exists() const { return thread_.joinable(); }
    // True while the thread has not finished its run.
    bool Running() const { return running_.load(); }
    // Waits for the thread to end; returns at once when there is none.
    void Join();
    // Sets the job's cancel flag, opens its gate and waits for the thread.
    void Stop();

  private:
    Kind kind_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    ScanJob* job_ = nullptr;
};

}  // namespace veldan::ui
