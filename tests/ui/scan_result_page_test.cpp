// The scan result page on test machines: a scan fills the list, the cure runs
// on the checked rows and sets their statuses, cancelling pauses the worker
// while it asks, the buttons and the log, and what happens around the cure.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/loader.h"
#include "engine/scan.h"
#include "host/file_read.h"
#include "platform/folders.h"
#include "platform/registry_ops.h"
#include "support/run_program.h"
#include "text/codepage.h"
#include "ui/result_list.h"
#include "ui/scan_result_page.h"
#include "ui_fixture.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;
using ui::CScanResultDlg;

// Stands in for the main window: counts the WM_SHOW_START it receives.
class MainWindowStub : public QWidget {
  public:
    int showStart = 0;

  protected:
    bool event(QEvent* e) override {
        if (static_cast<int>(e->type()) == ui::WM_SHOW_START) {
            ++showStart;
            return true;
        }
        return QWidget::event(e);
    }
};

// Holds a worker inside one of its registry calls until released, so that a
// test acts while the worker is known to be in the middle of its run.
class WorkerLatch {
  public:
    // Holds the first worker call for which `when` (run on the worker) holds.
    void Arm(std::function<bool()> when = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = true;
        when_ = std::move(when);
    }
    machine::WinError Hook() {
        if (std::this_thread::get_id() == ui_) return machine::ERROR_SUCCESS;
        std::unique_lock<std::mutex> lock(mutex_);
        if (!armed_ || reached_ || (when_ && !when_())) return machine::ERROR_SUCCESS;
        reached_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(30), [this] { return released_; });
        return machine::ERROR_SUCCESS;
    }
    bool Reached() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reached_;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::thread::id ui_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<bool()> when_;
    bool armed_ = false;
    bool reached_ = false;
    bool released_ = false;
};

// Waits without processing events (the user-interface thread is "in" a message box).
template <class F>
bool SpinUntil(F done) {
    for (int i = 0; i < 5000 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

const char kCloseForRundll32[] =
    "치료를 위해 RUNDLL32 프로세스를 종료합니다.\n\n아직 저장하지 않는 데이터가 있다면, "
    "저장하시기 바랍니다.";

class ScanPage : public ::testing::Test {
  protected:
    void TearDown() override {
        latch.Release();
        main.reset();
    }

    // Drive C: and the registry of the bundled infected sample machine.
    void SampleMachine() {
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", ui.rig.image.folder());
    }
    // The bundled plain databases in the program folder.
    void BundledDatabases() {
        fs::create_directories(programFolder + "/core");
        for (const char* name : {"addb", "ckdb", "dsdb"}) {
            fs::copy_file(SourceFolder() + "/core/" + name + ".txt",
                          programFolder + "/core/" + name + ".txt");
        }
    }
    // Loads the machine and the databases and shows the page in its window.
    ui::AppState& Open() {
        ui::AppState& app = ui.Load(programFolder);
        platform::InitFolderTable(app.ctx);
        engine::LoadDatabases(app.ctx);
        ui.rig.faults().hook = [this](const RegCall&) { return latch.Hook(); };
        main = std::make_unique<MainWindowStub>();
        main->resize(540, 430);
        page = new CScanResultDlg(app, main.get());
        page->resize(540, 430);
        page->show();
        main->show();
        return app;
    }

    void StartScan() {
        ui::AppEvent start(ui::WM_START_SCAN);
        QCoreApplication::sendEvent(page, &start);
    }
    bool WaitIdle() {
        return WaitFor([this] { return !page->WorkerExists(); });
    }
    void Scan() {
        StartScan();
        ASSERT_TRUE(page->WorkerExists());
        ASSERT_TRUE(WaitIdle());
    }

    QPushButton* Button(int id) const {
        return page->findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }
    ui::CResultList* List() const { return page->findChild<ui::CResultList*>("list1003"); }
    QPoint RowPoint(int row, int x) const { return {x, List()->RowRect(row).center().y()}; }
    void ClickRow(int row, int x) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row, x));
    }
    void ClickHeader(int column) {
        QHeaderView* h = List()->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    }
    const ui::ResultListModel& model() const { return page->model(); }
    platform::Context& ctx() { return ui.app->ctx; }
    int EntryRowNamed(const std::string& name) const {
        for (int r = 0; r < model().RowCount(); ++r) {
            if (model().Row(r).IsEntry() && model().Row(r).name == name) return r;
        }
        return -1;
    }

    UiRig ui;
    WorkerLatch latch;
    std::string programFolder = (ui.rig.dir.path() / "program").string();
    std::unique_ptr<MainWindowStub> main;
    CScanResultDlg* page = nullptr;
};

TEST_F(ScanPage, ScanThenCheckAllAndCureTheSampleMachine) {
    SampleMachine();
    BundledDatabases();
    ui::AppState& app = Open();
    app.homePage = "http://home.veldan.test/";
    Scan();

    // One unchecked row per detected entry, in the engine's order.
    const engine::ScanResult& result = page->scanResult();
    ASSERT_FALSE(result.rows.empty());
    ASSERT_EQ(model().EntryCount(), static_cast<int>(result.rows.size()));
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        const ui::ResultRow& row = model().Row(model().RowOfEntry(static_cast<int>(i)));
        EXPECT_EQ(row.name, result.rows[i].name);
        EXPECT_EQ(row.kind, std::to_string(result.rows[i].itemCount));
        EXPECT_FALSE(row.IsChecked());
    }
    for (int id : {1016, 1017, 1004, 1072}) EXPECT_TRUE(Button(id)->isEnabled()) << id;
    EXPECT_EQ(Button(1033)->text(), "취소");
    EXPECT_FALSE(List()->NothingFound());
    EXPECT_TRUE(page->findChild<QLabel*>("static1009")->text().isEmpty());
    EXPECT_TRUE(page->findChild<QLabel*>("static1006")->text().isEmpty());

    // The marker zone expands the first entry into its found items.
    ClickRow(0, 8);
    ASSERT_TRUE(model().IsExpanded(0));
    const auto& found = ctx().report().found();
    for (int k = 0; k < result.rows[0].itemCount; ++k) {
        EXPECT_EQ(model().Row(1 + k).name, found.At(result.rows[0].itemStart + k).text);
    }

    // The scroll bar that came with the rows narrowed the viewport; the columns follow.
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(List()->verticalScrollBar()->isVisible());
    EXPECT_EQ(List()->header()->sectionSize(0), List()->viewport()->width() - 134);

    ui.rig.debug.Clear();
    Button(1016)->click();
    EXPECT_EQ(model().CheckedCount(), model().EntryCount());
    EXPECT_EQ(ui.rig.debug.Lines().size(), result.rows.size());
    EXPECT_TRUE(ui.rig.debug.Contains("CHECK\n"));

    // The programs still run while the user reads the warning; they are closed
    // on the cure's thread afterwards, while the page says so.
    std::string runningAtWarning;
    ui.prompter.onAsk = [&](const Asked&) { runningAtWarning = engine::ProgramsToClose(ctx()); };
    Button(1004)->click();
    const std::string programs = "Windows 탐색기, Internet Explorer, RUNDLL32";
    EXPECT_EQ(runningAtWarning, programs);
    EXPECT_TRUE(page->WorkerExists());
    EXPECT_EQ(page->findChild<QLabel*>("static1009")->text().toStdString(),
              programs + "을(를) 닫는 중...");
    EXPECT_EQ(page->findChild<QProgressBar*>("progress1005")->maximum(), 0);  // busy
    ASSERT_GE(ui.prompter.asked.size(), 1u);
    const Asked& close = ui.prompter.asked[0];
    EXPECT_EQ(close.text,
              "치료를 위해 Windows 탐색기, Internet Explorer, RUNDLL32 프로세스를 종료합니다.\n\n"
              "아직 저장하지 않는 데이터가 있다면, 저장하시기 바랍니다.");
    EXPECT_EQ(close.caption, "치료");
    EXPECT_EQ(close.icon, ui::MsgIcon::Warning);
    EXPECT_EQ(close.buttons, ui::MsgButtons::Ok);
    EXPECT_FALSE(Button(1004)->isEnabled());
    ASSERT_TRUE(WaitIdle());

    // Every row has its status; the search helper held by the shell failed.
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        const ui::ResultRow& row = model().Row(model().RowOfEntry(static_cast<int>(i)));
        EXPECT_TRUE(row.status == "완료" || row.status == "실패") << row.name;
        EXPECT_EQ(row.status, result.rows[i].status) << row.name;
    }
    const int searchMate = EntryRowNamed("SearchMate");
    ASSERT_GE(searchMate, 0);
    EXPECT_EQ(model().Row(searchMate).status, "실패");
    EXPECT_EQ(model().Row(EntryRowNamed("DialMaster")).status, "완료");
    ASSERT_EQ(ui.prompter.asked.size(), 2u);
    EXPECT_EQ(ui.prompter.asked[1].text,
              "일부 파일을 삭제할 수 없습니다. 리부팅 후에 다시 시도하시기 바랍니다.");
    EXPECT_EQ(ui.prompter.asked[1].caption, "치료");
    EXPECT_EQ(ui.prompter.asked[1].icon, ui::MsgIcon::Information);

    std::string startPage;
    ASSERT_TRUE(platform::ReadStringValue(ctx(), machine::HKEY_CURRENT_USER,
                                          "Software\\Microsoft\\Internet Explorer\\Main",
                                          "Start Page", startPage));
    EXPECT_EQ(startPage, "http://home.veldan.test/");
    EXPECT_EQ(ui.machineChanges, 1);
    EXPECT_EQ(Button(1033)->text(), "완료");
    for (int id : {1016, 1017, 1004, 1072}) EXPECT_TRUE(Button(id)->isEnabled()) << id;
    EXPECT_EQ(engine::ProgramsToClose(ctx()), "");
    EXPECT_TRUE(page->findChild<QLabel*>("static1009")->text().isEmpty());

    // After a cure the page is left without a question.
    Button(1033)->click();
    EXPECT_EQ(ui.prompter.asked.size(), 2u);
    EXPECT_TRUE(WaitFor([this] { return main->showStart == 1; }));
}

TEST_F(ScanPage, CancellingAScanPausesTheWorkerWhileAskingThenLeaves) {
    SampleMachine();
    BundledDatabases();
    Open();
    latch.Arm();
    StartScan();
    ASSERT_TRUE(WaitFor([this] { return latch.Reached(); }));

    bool held = false;
    std::size_t callsAtHold = 0, callsLater = 0;
    ui.prompter.answers = {ui::IDYES};
    ui.prompter.onAsk = [&](const Asked&) {
        EXPECT_TRUE(page->scanJob().Paused());
        latch.Release();
        // The worker goes on to its next report and stops there.
        held = SpinUntil([this] { return page->scanJob().Holding(); });
        callsAtHold = ui.rig.faults().calls().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        callsLater = ui.rig.faults().calls().size();
        EXPECT_EQ(page->scanJob().cancel.load(), 0);
    };
    Button(1033)->click();
    EXPECT_TRUE(held);
    EXPECT_EQ(callsAtHold, callsLater);
    ASSERT_EQ(ui.prompter.asked.size(), 1u);
    const Asked& q = ui.prompter.asked[0];
    EXPECT_EQ(q.text, "검사를 중단하시겠습니까?");
    EXPECT_EQ(q.caption, "검사 취소");
    EXPECT_EQ(q.icon, ui::MsgIcon::Question);
    EXPECT_EQ(q.buttons, ui::MsgButtons::YesNo);
    EXPECT_TRUE(q.defaultNo);
    EXPECT_FALSE(page->scanJob().Paused());
    EXPECT_EQ(page->scanJob().cancel.load(), 1);

    ASSERT_TRUE(WaitFor([this] { return main->showStart == 1; }));
    EXPECT_FALSE(page->WorkerExists());
    EXPECT_EQ(model().RowCount(), 0);
    EXPECT_TRUE(page->scanResult().rows.empty());
    EXPECT_TRUE(page->scanResult().cureScript.empty());
}

TEST_F(ScanPage, AnsweringNoLetsTheScanFinish) {
    SampleMachine();
    BundledDatabases();
    Open();
    latch.Arm();
    StartScan();
    ASSERT_TRUE(WaitFor([this] { return latch.Reached(); }));
    ui.prompter.onAsk = [&](const Asked&) { latch.Release(); };
    Button(1033)->click();  // no answer scripted: No
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(page->scanJob().cancel.load(), 0);
    EXPECT_GT(model().EntryCount(), 0);
    EXPECT_TRUE(Button(1004)->isEnabled());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(main->showStart, 0);
}

TEST_F(ScanPage, CancellingACureSetsTheStatusSoFarAndLeaves) {
    SampleMachine();
    BundledDatabases();
    Open();
    Scan();
    Button(1016)->click();
    latch.Arm();
    Button(1004)->click();
    ASSERT_TRUE(WaitFor([this] { return latch.Reached(); }));

    bool held = false;
    ui.prompter.answers = {ui::IDYES};
    ui.prompter.onAsk = [&](const Asked& a) {
        if (a.caption != "치료 취소") return;
        EXPECT_TRUE(page->cureJob().Paused());
        latch.Release();
        held = SpinUntil([this] { return page->cureJob().Holding(); });
    };
    Button(1033)->click();
    EXPECT_TRUE(held);
    ASSERT_EQ(ui.prompter.asked.size(), 2u);  // the programs to close, then the question
    EXPECT_EQ(ui.prompter.asked[1].text, "치료를 중단하시겠습니까?");
    EXPECT_TRUE(ui.prompter.asked[1].defaultNo);

    ASSERT_TRUE(WaitFor([this] { return main->showStart == 1; }));
    EXPECT_FALSE(page->WorkerExists());
    EXPECT_EQ(ui.machineChanges, 1);
    EXPECT_EQ(ui.prompter.asked.size(), 2u);  // no summary after a cancelled cure
    // The entry in progress got its status, the last one was never reached.
    EXPECT_FALSE(model().Row(0).status.empty());
    EXPECT_TRUE(model().Row(model().RowOfEntry(model().EntryCount() - 1)).status.empty());
}

TEST_F(ScanPage, NothingFoundOnACleanMachine) {
    ui.rig.dir.Write("program/core/addb.txt", "#NAME Pest\nKey HKLM\\Software\\Pest\n");
    Open();
    Scan();
    EXPECT_EQ(model().RowCount(), 0);
    EXPECT_TRUE(List()->NothingFound());
    for (int id : {1016, 1017, 1004, 1072}) EXPECT_FALSE(Button(id)->isEnabled()) << id;
    EXPECT_EQ(Button(1033)->text(), "완료");

    // The text is drawn below the header, inside the insets.
    const QImage shown = List()->viewport()->grab().toImage();
    auto inked = [](const QImage& img, QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (img.pixelColor(x, y) != QColor(Qt::white)) return true;
            }
        }
        return false;
    };
    const QRect band(18, 9, shown.width() - 36, 20);
    EXPECT_TRUE(inked(shown, band));
    EXPECT_FALSE(inked(shown, QRect(0, 0, shown.width(), 8)));

    Button(1033)->click();
    EXPECT_TRUE(ui.prompter.asked.empty());
    ASSERT_TRUE(WaitFor([this] { return main->showStart == 1; }));
    EXPECT_FALSE(List()->NothingFound());
    EXPECT_FALSE(inked(List()->viewport()->grab().toImage(), band));
}

TEST_F(ScanPage, NoScanWithoutSignaturesAndNoCureOfAMachineThatCannotBeWritten) {
    SampleMachine();
    Open();  // no databases in the program folder
    StartScan();
    EXPECT_FALSE(page->WorkerExists());
    ASSERT_EQ(ui.prompter.asked.size(), 1u);
    EXPECT_TRUE(ui.prompter.asked[0].text.startsWith("악성코드 데이터베이스가 없거나"));
    EXPECT_TRUE(ui.prompter.asked[0].text.contains("addb.txt"));
    ASSERT_TRUE(WaitFor([this] { return main->showStart == 1; }));

    BundledDatabases();
    engine::LoadDatabases(ctx());
    Scan();
    ASSERT_GT(model().RowCount(), 0);
    ui.app->machineNotWritable = [] { return QStringLiteral("읽기 전용입니다."); };
    Button(1016)->click();  // 모두 선택
    const auto before = ctx().report().found().Count();
    Button(1004)->click();
    ASSERT_EQ(ui.prompter.asked.size(), 2u);
    EXPECT_EQ(ui.prompter.asked[1].text, "검사한 컴퓨터에 쓸 수 없어 치료할 수 없습니다.\n\n읽기 전용입니다.");
    EXPECT_FALSE(page->WorkerExists());
    EXPECT_EQ(ui.machineChanges, 0);
    EXPECT_EQ(ctx().report().found().Count(), before);
    EXPECT_TRUE(std::filesystem::exists(ui.rig.image.folder() + "/drive_c"));
}

TEST_F(ScanPage, CureWithNothingCheckedOnlyAsksForASelection) {
    SampleMachine();
    BundledDatabases();
    Open();
    Scan();
    Button(1004)->click();
    ASSERT_EQ(ui.prompter.asked.size(), 1u);
    EXPECT_EQ(ui.prompter.asked[0].text, "먼저 치료할 항목을 선택해야 합니다.");
    EXPECT_EQ(ui.prompter.asked[0].caption, "치료");
    EXPECT_EQ(ui.prompter.asked[0].icon, ui::MsgIcon::Information);
    EXPECT_FALSE(page->WorkerExists());
    EXPECT_EQ(ui.machineChanges, 0);
    EXPECT_NE(engine::ProgramsToClose(ctx()).find("RUNDLL32"), std::string::npos);
    EXPECT_TRUE(Button(1004)->isEnabled());

    // Leaving uncured results asks first; No stays.
    Button(1033)->click();
    ASSERT_EQ(ui.prompter.asked.size(), 2u);
    EXPECT_EQ(ui.prompter.asked[1].text, "아직 악성코드를 치료하지 않았습니다. 취소하시겠습니까?");
    EXPECT_EQ(ui.prompter.asked[1].caption, "취소");
    EXPECT_TRUE(ui.prompter.asked[1].defaultNo);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(main->showStart, 0);
    ui.prompter.answers = {ui::IDYES};
    Button(1033)->click();
    EXPECT_TRUE(WaitFor([this] { return main->showStart == 1; }));
}

TEST_F(ScanPage, TheCurePromptNamesRundll32WhenOnlyItRuns) {
    ui.rig.image
        .Ini("[machine]\nos=nt\n[process rundll32]\nimage=C:\\WINDOWS\\system32\\rundll32.exe\n")
        .File("C:\\WINDOWS\\system32\\rundll32.exe")
        .Reg("1.reg", "[HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n\"x\"=\"1\"\r\n");
    ui.rig.dir.Write("program/core/addb.txt", "#NAME Pest\nKey HKLM\\Software\\Pest\n");
    Open();
    Scan();
    ASSERT_EQ(model().EntryCount(), 1);
    Button(1016)->click();
    Button(1004)->click();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(ui.prompter.asked.size(), 1u);
    EXPECT_EQ(ui.prompter.asked[0].text, kCloseForRundll32);
    EXPECT_EQ(ui.prompter.asked[0].caption, "치료");
    EXPECT_EQ(ui.prompter.asked[0].icon, ui::MsgIcon::Warning);
    EXPECT_EQ(model().Row(0).status, "완료");
    EXPECT_EQ(platform::KeyExists(ctx(), machine::HKEY_LOCAL_MACHINE, "Software\\Pest"), 0);
    EXPECT_EQ(engine::ProgramsToClose(ctx()), "");  // rundll32 was ended
}

TEST_F(ScanPage, ClicksDuringAScanDoNothing) {
    SampleMachine();
    BundledDatabases();
    Open();
    latch.Arm([this] { return !page->scanResult().rows.empty(); });
    StartScan();
    ASSERT_TRUE(WaitFor([this] { return latch.Reached() && model().RowCount() > 0; }));
    ui.rig.debug.Clear();
    ClickRow(0, 27);
    ClickRow(0, 8);
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(0, 120));
    ClickHeader(0);
    Button(1016)->click();
    EXPECT_EQ(model().Selected(), -1);  // not even the selection moves
    EXPECT_EQ(model().CheckedCount(), 0);
    EXPECT_FALSE(model().IsExpanded(0));
    EXPECT_FALSE(ui.rig.debug.Contains("CHECK"));
    EXPECT_FALSE(ui.rig.debug.Contains("OnColumnclickList"));

    latch.Release();
    ASSERT_TRUE(WaitIdle());
    ClickRow(0, 27);
    EXPECT_TRUE(model().Row(0).IsChecked());
    EXPECT_TRUE(ui.rig.debug.Contains("CHECK\n"));
    ClickRow(0, 27);
    EXPECT_FALSE(model().Row(0).IsChecked());
    EXPECT_TRUE(ui.rig.debug.Contains("UNCHECK\n"));
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(0, 120));
    EXPECT_TRUE(model().IsExpanded(0));
    ClickHeader(1);
    EXPECT_TRUE(ui.rig.debug.Contains("OnColumnclickList\n"));
}

TEST_F(ScanPage, SaveLogWritesEveryFoundItemAndOpensIt) {
    SampleMachine();
    BundledDatabases();
    Open();
    const long before = static_cast<long>(std::time(nullptr));
    Scan();
    const long after = static_cast<long>(std::time(nullptr));

    // Cancelling the dialog writes nothing.
    Button(1072)->click();
    EXPECT_TRUE(ui.prompter.opened.isEmpty());
    EXPECT_TRUE(fs::is_directory(programFolder + "/log"));
    const QRegularExpression name(
        "^" + QRegularExpression::escape(QString::fromStdString(programFolder)) +
        "/log/scanlog_(\\d{4})(\\d{2})(\\d{2})_(\\d+)\\.txt$");
    const auto m = name.match(ui.prompter.proposedSave);
    ASSERT_TRUE(m.hasMatch()) << ui.prompter.proposedSave.toStdString();
    const QDate today = QDate::currentDate();
    EXPECT_EQ(m.captured(1).toInt(), today.year());
    EXPECT_EQ(m.captured(2).toInt(), today.month());
    EXPECT_EQ(m.captured(3).toInt(), today.day());
    EXPECT_GE(m.captured(4).toLong(), before);
    EXPECT_LE(m.captured(4).toLong(), after);
    EXPECT_EQ(ui.prompter.saveFilter, "모든 파일 (*.*)");

    const std::string path = (ui.rig.dir.path() / "saved.log").string();
    ui.prompter.saveAnswer = QString::fromStdString(path);
    Button(1072)->click();
    ASSERT_EQ(ui.prompter.opened, QStringList{QString::fromStdString(path)});
    std::string log;
    ASSERT_TRUE(host::ReadWholeFile(path, log));
    std::string expected;
    for (const auto& item : ctx().report().found().items()) expected += item.text + "\r\n";
    EXPECT_EQ(log, expected);
    // The deep-scan rows' files are there too.
    const engine::ScanRow* deep = nullptr;
    for (const auto& row : page->scanResult().rows) {
        if (row.name.ends_with(" (Deep Scan)")) deep = &row;
    }
    ASSERT_NE(deep, nullptr);
    EXPECT_NE(log.find(ctx().report().found().At(deep->itemStart).text + "\r\n"),
              std::string::npos);

    // A file that cannot be written is reported, not opened.
    ui.prompter.saveAnswer = QString::fromStdString(programFolder + "/missing/x.log");
    Button(1072)->click();
    EXPECT_EQ(ui.prompter.opened.size(), 1);
    ASSERT_FALSE(ui.prompter.asked.empty());
    EXPECT_EQ(ui.prompter.asked.back().text, "로그 파일을 저장할 수 없습니다.");

    // When nothing on the desktop opens the log, the user is told where it is.
    ui.prompter.viewerOpens = false;
    ui.prompter.saveAnswer = QString::fromStdString(path);
    const std::size_t askedBefore = ui.prompter.asked.size();
    Button(1072)->click();
    ASSERT_EQ(ui.prompter.asked.size(), askedBefore + 1);
    const Asked& where = ui.prompter.asked.back();
    EXPECT_TRUE(where.text.startsWith("로그 파일을 저장했습니다.")) << where.text.toStdString();
    EXPECT_TRUE(where.text.contains(QString::fromStdString(path)));
    EXPECT_EQ(where.caption, "로그 저장");
    EXPECT_EQ(where.icon, ui::MsgIcon::Information);
}

TEST_F(ScanPage, ControlsAndColumnsFollowThePageSize) {
    Open();
    ui::CResultList* list = List();
    auto fitted = [list] {
        QHeaderView* h = list->header();
        return h->sectionSize(0) == list->viewport()->width() - 134 && h->sectionSize(1) == 60 &&
               h->sectionSize(2) == 50;
    };
    EXPECT_TRUE(fitted());
    EXPECT_EQ(page->findChild<QLabel*>("static1034")->text(), "대상:");
    EXPECT_EQ(page->findChild<QLabel*>("static1035")->text(), "완료:");
    EXPECT_EQ(Button(1004)->text(), "치료");
    EXPECT_TRUE(Button(1004)->isDefault());

    // The percent text is never cut.
    auto* percent = page->findChild<QLabel*>("static1006");
    EXPECT_GE(percent->width(),
              percent->fontMetrics().horizontalAdvance(QStringLiteral("100% (99999/99999)")));

    const QRect listBefore = list->geometry();
    const QRect cancelBefore = Button(1033)->geometry();
    const QRect progressBefore = page->findChild<QProgressBar*>("progress1005")->geometry();
    const QRect percentBefore = page->findChild<QLabel*>("static1006")->geometry();
    page->resize(page->width() + 100, page->height() + 50);

    EXPECT_EQ(list->geometry().size(), listBefore.size() + QSize(100, 50));
    EXPECT_EQ(Button(1033)->geometry(), cancelBefore.translated(0, 50));
    const QRect progress = page->findChild<QProgressBar*>("progress1005")->geometry();
    EXPECT_EQ(progress.topLeft(), progressBefore.topLeft() + QPoint(0, 50));
    EXPECT_EQ(progress.width(), progressBefore.width() + 100);
    EXPECT_EQ(page->findChild<QLabel*>("static1006")->geometry(),
              percentBefore.translated(100, 50));
    EXPECT_TRUE(fitted());
}

}  // namespace
}  // namespace veldan::test
