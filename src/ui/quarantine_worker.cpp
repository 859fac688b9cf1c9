#include "ui/quarantine_worker.h"

#include <QMetaObject>
#include <memory>

#include "quarantine/store.h"
#include "ui/messages.h"

namespace veldan::ui {
namespace {

// Files coming out of the quarantine, reported when their percent changes.
class FileProgress final : public quarantine::JournalObserver {
  public:
    FileProgress(const QuarantineProgress& progress, int position, int total)
        : progress_(progress), position_(position), total_(total) {}
    void OnFileProgress(std::string_view path, std::uint64_t done, std::uint64_t total) override {
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (path == path_ && percent == percent_) return;
        path_.assign(path);
        percent_ = percent;
        if (progress_) progress_(position_, total_, path_, percent);
    }

  private:
    const QuarantineProgress& progress_;
    int position_, total_;
    std::string path_;
    int percent_ = -1;
};

void Restore(machine::Machine& m, const std::string& root, const QuarantineTask& task,
             const QuarantineProgress& progress, QuarantineOutcome& out) {
    // Every journal is read before anything is put back: a damaged one changes nothing.
    for (const std::string& id : task.ids) {
        quarantine::CureJournal journal;
        out.error = quarantine::LoadCure(m.files(), root, id, journal, out.problem);
        if (out.error != machine::ERROR_SUCCESS) {
            out.failedId = id;
            return;
        }
    }
    const int total = static_cast<int>(task.ids.size());
    for (int i = 0; i < total; ++i) {
        const std::string& id = task.ids[static_cast<std::size_t>(i)];
        if (progress) progress(i, total, {}, -1);
        FileProgress files(progress, i, total);
        out.changed = true;
        out.error =
            quarantine::RestoreCure(m, root, id, task.force, out.report, out.problem, &files);
        if (out.error != machine::ERROR_SUCCESS) {
            out.failedId = id;
            return;
        }
    }
}

void Purge(machine::Machine& m, const std::string& root, const QuarantineTask& task,
           const QuarantineProgress& progress, QuarantineOutcome& out) {
    const int total = static_cast<int>(task.ids.size());
    for (int i = 0; i < total; ++i) {
        const std::string& id = task.ids[static_cast<std::size_t>(i)];
        if (progress) progress(i, total, {}, -1);
        out.error = quarantine::PurgeCure(m.files(), root, id);
        if (out.error != machine::ERROR_SUCCESS) {
            out.failedId = id;
            return;
        }
        out.purged.push_back(id);
    }
}

}  // namespace

QuarantineOutcome RunQuarantineTask(machine::Machine& m, const std::string& root,
                                    const QuarantineTask& task,
                                    const QuarantineProgress& progress) {
    QuarantineOutcome out;
    if (task.kind == QuarantineTask::Kind::Restore) {
        Restore(m, root, task, progress, out);
    } else {
        Purge(m, root, task, progress, out);
    }
    return out;
}

QuarantineWorker::~QuarantineWorker() {
    if (thread_.joinable()) thread_.join();
}

bool QuarantineWorker::Start(machine::Machine& m, std::string root, QuarantineTask task,
                             QObject* receiver, QuarantineProgress progress) {
    if (thread_.joinable()) return false;
    outcome_ = {};
    auto shared = std::make_shared<const QuarantineProgress>(std::move(progress));
    thread_ = std::thread([this, &m, root = std::move(root), task = std::move(task), receiver,
                           shared] {
        // Reports reach the receiver in order, before the done message.
        QuarantineProgress queued = [receiver, shared](int position, int total,
                                                       const std::string& path, int percent) {
            QMetaObject::invokeMethod(
                receiver, [=] { (*shared)(position, total, path, percent); }, Qt::QueuedConnection);
        };
        outcome_ = RunQuarantineTask(m, root, task, *shared ? queued : QuarantineProgress());
        PostAppMessage(receiver, WM_KEPT_DONE);
    });
    return true;
}

QuarantineOutcome QuarantineWorker::Join() {
    if (thread_.joinable()) thread_.join();
    return std::move(outcome_);
}

}  // namespace veldan::ui
