// The cure worker's first step: what must happen before the cure (closing the
// other programs) runs on the worker's thread, ahead of the cure's first
// report, while the window's thread goes on handling events.
#include "ui/scan_worker.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/loader.h"
#include "platform/registry_ops.h"
#include "ui/messages.h"
#include "ui_fixture.h"

namespace veldan::test {
namespace {

// Receives the worker's done message.
class Receiver : public QObject {
  public:
    int done = 0;
    long long completed = -1;

  protected:
    bool event(QEvent* e) override {
        if (static_cast<int>(e->type()) == ui::WM_CURE_DONE) {
            ++done;
            completed = static_cast<ui::AppEvent*>(e)->lParam();
            return true;
        }
        return QObject::event(e);
    }
};

TEST(ScanWorkerBefore, RunsOnTheWorkerAheadOfTheCureWhileTheWindowThreadGoesOn) {
    UiRig ui;
    ui.rig.image.Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n\"x\"=\"1\"\r\n");
    ui.rig.dir.Write("program/core/addb.txt", "#NAME Pest\nKey HKLM\\Software\\Pest\n");
    ui::AppState& app = ui.Load();
    engine::LoadDatabases(app.ctx);
    engine::ScanResult result;
    engine::ScanObserver quiet;
    std::atomic<int> never{0};
    ASSERT_EQ(engine::RunScan(app.ctx, result, quiet, never), 1);
    ASSERT_EQ(result.rows.size(), 1u);
    result.rows[0].checked = true;

    // The step holds until the test lets it go.
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, release = false;
    std::thread::id stepThread;
    auto step = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        stepThread = std::this_thread::get_id();
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
    };

    Receiver receiver;
    int ranges = 0;
    ui::WorkerSink sink;
    sink.range = [&](int) { ++ranges; };
    ui::ScanJob job;
    ui::ScanWorker worker(ui::ScanWorker::Kind::Cure);
    ASSERT_TRUE(worker.Start(app.ctx, result, job, &receiver, sink, step));
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return entered; }));
    }
    EXPECT_NE(stepThread, std::this_thread::get_id());

    // The window's thread handles its events meanwhile; the cure has not begun.
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    EXPECT_TRUE(WaitFor([&] { return timerFired; }, 2000));
    EXPECT_EQ(ranges, 0);
    EXPECT_EQ(receiver.done, 0);
    EXPECT_TRUE(worker.Exists());
    EXPECT_EQ(platform::KeyExists(app.ctx, machine::HKEY_LOCAL_MACHINE, "Software\\Pest"), 1);

    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    changed.notify_all();
    ASSERT_TRUE(WaitFor([&] { return receiver.done == 1; }));
    worker.Join();
    EXPECT_EQ(receiver.completed, 1);
    EXPECT_EQ(ranges, 1);
    EXPECT_EQ(platform::KeyExists(app.ctx, machine::HKEY_LOCAL_MACHINE, "Software\\Pest"), 0);
}

}  // namespace
}  // namespace veldan::test
