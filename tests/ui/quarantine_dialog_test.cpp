// Cures from the window on a copy of the bundled sample machine: they are
// journaled as the command line's are, the result page says where the removed
// items are kept, the cure history lists them and restores the machine exactly
// (registry export and file tree), conflicts are put back only when the user
// agrees, purging asks first, and a quarantine that cannot be written stops
// the cure before anything changes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "engine/loader.h"
#include "machine/backends/open_machine.h"
#include "machine/reg_file.h"
#include "platform/folders.h"
#include "quarantine/store.h"
#include "support/drive_tree.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "ui/quarantine_dialog.h"
#include "ui/scan_result_page.h"
#include "ui/start_page.h"
#include "ui_fixture.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;
using ui::CQuarantineDlg;
using ui::CScanResultDlg;

constexpr char kQuarantine[] =
    "C:\\Documents and Settings\\All Users\\Application Data\\Veldan\\Quarantine";
constexpr char kSkip[] = "Documents and Settings/All Users/Application Data/Veldan";

// The sample machine opened as the window opens it, with the bundled
// databases; a change is written back as the program writes it.
class WindowCure : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApp();
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", folder);
        fs::create_directories(program + "/core");
        for (const char* name : {"addb", "ckdb", "dsdb"})
            fs::copy_file(SourceFolder() + "/core/" + name + ".txt",
                          program + "/core/" + name + ".txt");
    }

    void Open() {
        machine::MachineError error;
        auto opened = machine::OpenMachine(folder, {}, error);
        ASSERT_NE(opened, nullptr) << error.ToString();
        machine = quarantine::Journaled(std::move(opened));
        ctx = std::make_unique<platform::Context>(*machine, debug);
        ctx->setProgramFolder(program);
        platform::InitFolderTable(*ctx);
        engine::LoadDatabases(*ctx);
        app = std::make_unique<ui::AppState>(*ctx, program, prompter);
        app->journal = machine.get();
        app->machineChanged = [this] {
            ++saves;
            machine::MachineError e;
            EXPECT_TRUE(machine->Save(e)) << e.ToString();
        };
    }

    // The registry and drive C: as a fresh load from the disk shows them.
    std::string Registry() const {
        machine::MachineError error;
        auto m = machine::OpenMachine(folder, {}, error);
        return m ? machine::WriteRegText(m->registry(), {}) : "cannot load: " + error.ToString();
    }
    std::string Files() const { return DriveTree(folder + "/drive_c", kSkip); }

    // Scans, checks every entry and clicks "치료"; true when the cure ran.
    bool CureAll() {
        page = std::make_unique<CScanResultDlg>(*app, nullptr);
        ui::AppEvent start(ui::WM_START_SCAN);
        QCoreApplication::sendEvent(page.get(), &start);
        if (!WaitFor([this] { return !page->WorkerExists(); })) return false;
        Button(*page, 1016)->click();
        Button(*page, 1004)->click();
        const bool started = page->WorkerExists();
        return WaitFor([this] { return !page->WorkerExists(); }) && started;
    }

    static QPushButton* Button(QWidget& w, int id) {
        return w.findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }
    // Checks row `row` of the history, answers the coming questions with
    // `answers`, clicks the button and waits for the worker.
    void Run(CQuarantineDlg& dlg, int id, std::initializer_list<ui::MsgAnswer> answers,
             int row = 0) {
        dlg.list()->topLevelItem(row)->setCheckState(0, Qt::Checked);
        prompter.answers.assign(answers.begin(), answers.end());
        Button(dlg, id)->click();
        ASSERT_TRUE(WaitFor([&] { return !dlg.WorkerExists(); }));
        QCoreApplication::processEvents();
    }
    QString LastAsked() const {
        return prompter.asked.empty() ? QString() : prompter.asked.back().text;
    }
    std::vector<quarantine::CureInfo> Listed() {
        return quarantine::ListCures(machine->inner().files(), kQuarantine);
    }

    TempDir dir;
    std::string folder = (dir.path() / "machine").string();
    std::string program = (dir.path() / "program").string();
    ScriptedPrompter prompter;
    text::CaptureDebugSink debug;
    std::unique_ptr<quarantine::JournalingMachine> machine;
    std::unique_ptr<platform::Context> ctx;
    std::unique_ptr<ui::AppState> app;
    std::unique_ptr<CScanResultDlg> page;
    int saves = 0;
};

TEST_F(WindowCure, IsJournaledKeptAndRestoredToTheMachineBefore) {
    const std::string registry = Registry(), files = Files();
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(CureAll());
    ASSERT_GT(page->scanResult().rows.size(), 0u);
    EXPECT_GE(saves, 1);
    EXPECT_FALSE(Registry() == registry);
    EXPECT_FALSE(Files() == files);

    // The journal the command line's list reads: one finished cure of every row.
    const auto cures = Listed();
    ASSERT_EQ(cures.size(), 1u);
    EXPECT_EQ(cures[0].id, machine->cureId());
    EXPECT_EQ(cures[0].entries, static_cast<int>(page->scanResult().rows.size()));
    EXPECT_EQ(cures[0].changes, static_cast<int>(machine->changes().size()));
    EXPECT_GT(cures[0].changes, 20);
    EXPECT_TRUE(cures[0].completed);
    EXPECT_EQ(cures[0].state, "not restored");
    // The changes carry the rows whose cure made them, and the start page is around the cure.
    bool inRow = false, around = false;
    for (const auto& c : machine->changes()) {
        inRow = inRow || c.row >= 0;
        around = around || c.row < 0;
    }
    EXPECT_TRUE(inRow);
    EXPECT_TRUE(around);

    // The result page names the folder as Windows writes it.
    EXPECT_TRUE(page->keptText().contains(QString::fromLatin1(kQuarantine)))
        << page->keptText().toStdString();
    EXPECT_TRUE(page->findChild<QWidget*>("static1073")->isVisibleTo(page.get()));
    EXPECT_FALSE(page->findChild<QWidget*>("progress1005")->isVisibleTo(page.get()));

    CQuarantineDlg dlg(*app, nullptr);
    ASSERT_EQ(dlg.list()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(1).toInt(), cures[0].entries);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(2).toInt(), cures[0].changes);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(3), "보관 중");
    EXPECT_TRUE(dlg.findChild<QWidget*>("static1080")
                    ->property("text")
                    .toString()
                    .contains(QString::fromLatin1(kQuarantine)));

    // Saying No to the question restores nothing.
    const int savesBefore = saves;
    Run(dlg, CQuarantineDlg::IDC_RESTORE, {ui::IDNO});
    EXPECT_EQ(saves, savesBefore);
    EXPECT_EQ(Listed()[0].state, "not restored");

    Run(dlg, CQuarantineDlg::IDC_RESTORE, {ui::IDYES});
    EXPECT_TRUE(LastAsked().startsWith("복원을 마쳤습니다.")) << LastAsked().toStdString();
    EXPECT_FALSE(LastAsked().contains("바뀌어")) << LastAsked().toStdString();
    EXPECT_EQ(saves, savesBefore + 1);
    EXPECT_EQ(dlg.list()->topLevelItem(0)->text(3), "복원됨");
    EXPECT_TRUE(Registry() == registry);
    EXPECT_TRUE(Files() == files);
}

TEST_F(WindowCure, ChangedSinceTheCureIsPutBackOnlyWhenTheUserAgrees) {
    const std::string original = Files();
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(CureAll());
    // A file the cure deleted, in a folder that is still there, comes back with other content.
    machine::FileSystem& files = machine->inner().files();
    std::string path;
    for (const auto& c : machine->changes()) {
        if (c.kind != "file" || c.op != "delete" || c.type != "FILE") continue;
        const std::string p = c.target.value("path", std::string());
        std::uint32_t attributes = 0;
        if (files.GetAttributes(p.substr(0, p.rfind('\\')), attributes) == machine::ERROR_SUCCESS) {
            path = p;
            break;
        }
    }
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(files.WriteFile(path, "written since the cure"), machine::ERROR_SUCCESS);

    CQuarantineDlg dlg(*app, nullptr);
    Run(dlg, CQuarantineDlg::IDC_RESTORE, {ui::IDYES, ui::IDNO});
    ASSERT_GE(prompter.asked.size(), 2u);
    EXPECT_TRUE(prompter.asked[prompter.asked.size() - 2].text.contains("덮어쓰고"));
    EXPECT_TRUE(LastAsked().contains("치료한 뒤에 바뀌어 그대로 둔 항목: "))
        << LastAsked().toStdString();
    EXPECT_EQ(Listed()[0].state, "restored with conflicts");
    std::string now;
    EXPECT_EQ(files.ReadFile(path, now), machine::ERROR_SUCCESS);
    EXPECT_EQ(now, "written since the cure");  // the new content stays

    Run(dlg, CQuarantineDlg::IDC_RESTORE, {ui::IDYES, ui::IDYES});
    EXPECT_TRUE(LastAsked().startsWith("복원을 마쳤습니다.")) << LastAsked().toStdString();
    EXPECT_FALSE(LastAsked().contains("그대로 둔")) << LastAsked().toStdString();
    EXPECT_EQ(Listed()[0].state, "restored");
    EXPECT_TRUE(Files() == original);
}

TEST_F(WindowCure, PurgeAsksFirstAndADamagedJournalChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(CureAll());
    const std::string cured = Registry(), files = Files();
    const std::string id = machine->cureId();
    const std::string journal =
        HostPathOf(folder, std::string(kQuarantine) + "\\" + id) + "/journal.jsonl";
    ASSERT_TRUE(fs::exists(journal));

    // Nothing chosen: the dialog asks for a choice and starts nothing.
    {
        CQuarantineDlg dlg(*app, nullptr);
        Button(dlg, CQuarantineDlg::IDC_PURGE)->click();
        EXPECT_EQ(LastAsked(), "먼저 삭제할 치료 기록을 선택해야 합니다.");
        EXPECT_FALSE(dlg.WorkerExists());
        EXPECT_EQ(Listed().size(), 1u);
    }

    // A damaged journal: the restore says so and puts nothing back.
    std::string good;
    {
        std::ifstream in(journal);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(journal) << good.substr(0, good.size() / 2) << "\n{not json\n";
    {
        CQuarantineDlg dlg(*app, nullptr);
        EXPECT_EQ(dlg.list()->topLevelItem(0)->text(3), "손상됨");
        const int savesBefore = saves;
        Run(dlg, CQuarantineDlg::IDC_RESTORE, {ui::IDYES});
        EXPECT_TRUE(LastAsked().contains("손상되어")) << LastAsked().toStdString();
        EXPECT_EQ(saves, savesBefore);
        EXPECT_TRUE(Registry() == cured);
        EXPECT_TRUE(Files() == files);
    }
    std::ofstream(journal) << good;

    CQuarantineDlg dlg(*app, nullptr);
    Run(dlg, CQuarantineDlg::IDC_PURGE, {ui::IDNO});
    EXPECT_EQ(Listed().size(), 1u);
    Run(dlg, CQuarantineDlg::IDC_PURGE, {ui::IDYES});
    EXPECT_TRUE(Listed().empty());
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(dlg.list()->topLevelItemCount(), 0);
    EXPECT_FALSE(Button(dlg, CQuarantineDlg::IDC_RESTORE)->isEnabled());
}

TEST_F(WindowCure, AQuarantineThatCannotBeWrittenStopsTheCure) {
    // A file where the quarantine's folder would be.
    const std::string veldan = folder + "/drive_c/" + kSkip;
    fs::create_directories(fs::path(veldan).parent_path());
    std::ofstream(veldan) << "not a folder";
    const std::string registry = Registry(), files = Files();
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_FALSE(CureAll());
    EXPECT_TRUE(
        LastAsked().startsWith("치료한 항목을 보관할 폴더에 쓸 수 없어 치료하지 않았습니다."))
        << LastAsked().toStdString();
    EXPECT_TRUE(LastAsked().contains(QString::fromLatin1(kQuarantine)));
    EXPECT_EQ(prompter.asked.back().icon, ui::MsgIcon::Warning);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(page->keptText().isEmpty());
    EXPECT_TRUE(Button(*page, 1004)->isEnabled());  // the user may try again
    EXPECT_TRUE(Registry() == registry);
    EXPECT_TRUE(Files() == files);
}

TEST_F(WindowCure, TheStartPageOpensTheHistory) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ui::CStartDlg start(*app, nullptr);
    QPushButton* history = Button(start, 1047);
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->text(), "치료 기록");
    ASSERT_TRUE(history->isEnabled());
    QString seen;
    QTimer::singleShot(0, [&] {
        if (auto* dlg = qobject_cast<CQuarantineDlg*>(QApplication::activeModalWidget())) {
            seen = dlg->windowTitle();
            dlg->reject();
        }
    });
    history->click();
    EXPECT_EQ(seen, "치료 기록");

    // A window whose machine keeps no journal offers no history.
    app->journal = nullptr;
    ui::CStartDlg bare(*app, nullptr);
    EXPECT_FALSE(Button(bare, 1047)->isEnabled());
}

TEST(CureHistoryTexts, StatesTimesAndTheRestoreSummary) {
    quarantine::CureInfo cure;
    cure.completed = true;
    cure.state = "restored with conflicts";
    EXPECT_EQ(ui::CureStateText(cure), "일부 복원됨 (충돌)");
    cure.completed = false;
    cure.state = "not restored";
    EXPECT_EQ(ui::CureStateText(cure), "보관 중, 치료 중단됨");
    cure.state = "damaged";
    EXPECT_EQ(ui::CureStateText(cure), "손상됨");

    EXPECT_EQ(ui::CureTimeText("not a time"), "not a time");
    const QString local = ui::CureTimeText("2026-12-08T14:31:34Z");
    EXPECT_EQ(local, QDateTime(QDate(2026, 12, 8), QTime(14, 31, 34), Qt::UTC)
                         .toLocalTime()
                         .toString("yyyy-MM-dd HH:mm:ss"));

    quarantine::RestoreReport r;
    r.restored = 3;
    r.notUndoable = 2;
    EXPECT_EQ(ui::RestoreSummaryText(r),
              "복원을 마쳤습니다.\n\n복원한 항목: 3개\n되돌릴 수 없는 항목(종료한 프로세스 등): "
              "2개");
}

}  // namespace
}  // namespace veldan::test
