#include "ui/scan_worker.h"

#include <QMetaObject>

#include "ui/messages.h"

namespace veldan::ui {

void ScanJob::Reset() {
    cancel.store(0);
    Resume();
}

void ScanJob::Pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    paused_ = true;
}

void ScanJob::Resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
    }
    opened_.notify_all();
}

bool ScanJob::Paused() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paused_;
}

bool ScanJob::Holding() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return holding_;
}

void ScanJob::Gate() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!paused_) return;
    holding_ = true;
    opened_.wait(lock, [this] { return !paused_; });
    holding_ = false;
}

namespace {

// Forwards the engine's reports to the page's thread. Every report first
// passes the job's gate. Status texts come for every file of the deep-scan
// walk, so they are merged: one queued call at a time shows the latest text.
class QueuedObserver final : public engine::ScanObserver {
  public:
    QueuedObserver(ScanJob& job, QObject* receiver, std::shared_ptr<const WorkerSink> sink,
                   std::function<void(int)> cureRow)
        : job_(job), receiver_(receiver), sink_(std::move(sink)), cureRow_(std::move(cureRow)) {}

    void OnRange(int total) override {
        Post([total](const WorkerSink& s) {
            if (s.range) s.range(total);
        });
    }
    void OnProgress(int percent, int position, int total) override {
        Post([=](const WorkerSink& s) {
            if (s.progress) s.progress(percent, position, total);
        });
    }
    void OnStatus(std::string_view text) override {
        job_.Gate();
        // The cure names each row as its lines begin, in row order.
        if (cureEntries_ >= 0) {
            int index = cureEntries_++;
            Send([index](const WorkerSink& s) {
                if (s.cureEntry) s.cureEntry(index);
            });
        }
        bool post = false;
        {
            std::lock_guard<std::mutex> lock(status_->mutex);
            status_->latest.assign(text);
            post = !status_->pending;
            status_->pending = true;
        }
        if (!post) return;
        auto status = status_;
        Send([status](const WorkerSink& s) {
            std::string text;
            {
                std::lock_guard<std::mutex> lock(status->mutex);
                text = status->latest;
                status->pending = false;
            }
            if (s.status) s.status(text);
        });
    }
    void OnRow(int index, const engine::ScanRow& row) override {
        Post([index, row](const WorkerSink& s) {
            if (s.row) s.row(index, row);
        });
    }
    void OnRowStatus(int index, std::string_view status) override {
        Post([index, text = std::string(status)](const WorkerSink& s) {
            if (s.rowStatus) s.rowStatus(index, text);
        });
    }

    void OnCureRow(int index) override {
        if (cureRow_) cureRow_(index);
    }

    // Counts OnStatus calls as cure rows (the cure reports each row's name once).
    void CountCureEntries() { cureEntries_ = 0; }

  private:
    struct StatusSlot {
        std::mutex mutex;
        std::string latest;
        bool pending = false;
    };

    template <class F>
    void Post(F call) {
        job_.Gate();
        Send(std::move(call));
    }
    template <class F>
    void Send(F call) {
        QMetaObject::invokeMethod(
            receiver_, [sink = sink_, call = std::move(call)] { call(*sink); },
            Qt::QueuedConnection);
    }

    ScanJob& job_;
    QObject* receiver_;
    std::shared_ptr<const WorkerSink> sink_;
    std::function<void(int)> cureRow_;
    std::shared_ptr<StatusSlot> status_ = std::make_shared<StatusSlot>();
    int cureEntries_ = -1;
};

}  // namespace

ScanWorker::~ScanWorker() {
    Stop();
}

bool ScanWorker::Start(platform::Context& ctx, engine::ScanResult& result, ScanJob& job,
                       QObject* receiver, WorkerSink sink, std::function<void()> before,
                       std::function<void(int)> cureRow) {
    if (thread_.joinable()) return false;
    job_ = &job;
    running_.store(true);
    auto shared = std::make_shared<const WorkerSink>(std::move(sink));
    const Kind kind = kind_;
    thread_ = std::thread([this, &ctx, &result, &job, receiver, shared, kind,
                           before = std::move(before), cureRow = std::move(cureRow)] {
        if (before) before();
        QueuedObserver observer(job, receiver, shared, cureRow);
        int completed = 0;
        if (kind == Kind::Scan) {
            completed = engine::RunScan(ctx, result, observer, job.cancel);
        } else {
            observer.CountCureEntries();
            completed = engine::RunCure(ctx, result, observer, job.cancel);
        }
        // Posted after every queued report, so the page sees them all first.
        PostAppMessage(receiver, kind == Kind::Scan ? WM_SCAN_DONE : WM_CURE_DONE, 0, completed);
        running_.store(false);
    });
    return true;
}

void ScanWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void ScanWorker::Stop() {
    if (!thread_.joinable()) return;
    if (job_) {
        job_->cancel.store(1);
        job_->Resume();
    }
    thread_.join();
}

}  // namespace veldan::ui
