// A cure of the bundled sample machine stopped after its k-th change, for
// every k: the machine still loads, and restoring the stopped cure gives back
// exactly the machine before it (registry in its value order, files, names,
// read-only attributes). Running the restore again changes nothing more.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "engine/cure_session.h"
#include "engine/loader.h"
#include "engine/scan.h"
#include "machine/backends/open_machine.h"
#include "machine/reg_file.h"
#include "platform/context.h"
#include "platform/folders.h"
#include "quarantine/journaling_machine.h"
#include "quarantine/restore.h"
#include "quarantine/store.h"
#include "support/drive_tree.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "text/debug.h"

namespace veldan::quarantine {
namespace {

using namespace machine;

// Stops the machine after its k-th change, as if the program had been killed there.
class Cut final : public JournalObserver {
  public:
    Cut(JournalingMachine& m, int k) : m_(m), k_(k) {}
    void OnChange(const Change&) override {
        if (++made_ == k_) m_.Halt();
    }
    int made() const { return made_; }

  private:
    JournalingMachine& m_;
    int k_;
    int made_ = 0;
};

// Row bookkeeping for the journal, as the front ends do it.
class Rows final : public engine::ScanObserver {
  public:
    explicit Rows(JournalingMachine& m) : m_(m) {}
    void OnCureRow(int index) override { m_.SetRow(index); }

  private:
    JournalingMachine& m_;
};

// Nothing is saved: a killed program never writes the registry back.
class NoSave final : public engine::CureHooks {
  public:
    bool SaveMachine() override { return false; }
};

std::unique_ptr<JournalingMachine> Open(const std::string& folder) {
    MachineError error;
    auto opened = OpenMachine(folder, {}, error);
    if (!opened) {
        ADD_FAILURE() << "the machine does not load: " << error.ToString();
        return nullptr;
    }
    auto m = std::make_unique<JournalingMachine>(std::move(opened));
    m->SetQuarantineFolder(QuarantineFolder(*m, {}));
    return m;
}

// Scans and cures every row, stopping after change `k` (never, for k < 0).
// Returns the number of changes made and the cure's id.
int CureUntil(const std::string& folder, int k, std::string& id) {
    auto m = Open(folder);
    if (!m) return -1;
    text::CaptureDebugSink debug;
    platform::Context ctx(*m, debug);
    ctx.setProgramFolder(test::ProgramFolder());
    platform::InitFolderTable(ctx);
    engine::LoadDatabases(ctx);
    EXPECT_EQ(engine::SignatureProblem(ctx), "");
    engine::ScanResult result;
    std::atomic<int> cancel{0};
    Rows rows(*m);
    engine::RunScan(ctx, result, rows, cancel);
    std::vector<std::string> names;
    for (auto& row : result.rows) {
        row.checked = true;
        names.push_back(row.name);
    }
    std::string problem;
    EXPECT_EQ(m->BeginCure(names, problem), ERROR_SUCCESS) << problem;
    id = m->cureId();
    Cut cut(*m, k);
    m->SetObserver(&cut);
    if (k == 0) m->Halt();
    NoSave hooks;
    engine::CureSession session(ctx, result, hooks);
    bool saved = false;
    session.Run(rows, cancel, "about:blank", saved);
    if (k < 0) {
        (void)m->End(true);
        MachineError error;
        EXPECT_TRUE(m->Save(error)) << error.ToString();
    }
    return cut.made();
}

TEST(CureInterrupted, RestoreAfterAStopAtAnyChangeGivesBackTheMachine) {
    test::TempDir dir;
    const std::string sample = test::SourceFolder() + "/examples/machines/sample-xp";
    std::string originalRegistry;
    {
        auto m = Open(sample);
        ASSERT_NE(m, nullptr);
        originalRegistry = WriteRegText(m->registry(), {});
    }
    const std::string skip = "Documents and Settings/All Users/Application Data/Veldan";
    const std::string originalFiles = test::DriveTree(sample + "/drive_c", skip);

    // A whole cure, saved, to count its changes; it is restored as well.
    const std::string whole = (dir.path() / "whole").string();
    test::CopyTree(sample, whole);
    std::string wholeId, id;
    const int total = CureUntil(whole, -1, wholeId);
    ASSERT_GT(total, 50);

    // Every stop early in the cure, then every 17th, and the whole cure.
    for (int k = 0; k <= total; k += k < 10 ? 1 : 17) {
        const std::string where = "stopped after change " + std::to_string(k);
        const std::string folder = (dir.path() / ("k" + std::to_string(k))).string();
        if (k == total) {
            std::filesystem::rename(whole, folder);
            id = wholeId;
        } else {
            test::CopyTree(sample, folder);
            ASSERT_EQ(CureUntil(folder, k, id), k) << where;
        }
        auto m = Open(folder);  // the machine loads
        ASSERT_NE(m, nullptr) << where;
        RestoreReport report;
        std::string problem;
        ASSERT_EQ(RestoreCure(m->inner(), m->quarantineFolder(), id, false, report, problem),
                  ERROR_SUCCESS)
            << where << ": " << problem;
        EXPECT_EQ(report.conflicts, 0) << where;
        for (const RestoreItem& i : report.items) {
            EXPECT_NE(i.outcome, "conflict")
                << where << ": " << i.op << " " << i.text << " " << i.detail;
        }
        EXPECT_EQ(report.failed, 0) << where;
        MachineError error;
        ASSERT_TRUE(m->Save(error)) << where << ": " << error.ToString();
        m = Open(folder);
        EXPECT_EQ(WriteRegText(m->registry(), {}), originalRegistry) << where;
        EXPECT_EQ(test::DriveTree(folder + "/drive_c", skip), originalFiles) << where;

        RestoreReport again;
        ASSERT_EQ(RestoreCure(m->inner(), m->quarantineFolder(), id, false, again, problem),
                  ERROR_SUCCESS);
        EXPECT_EQ(again.restored + again.conflicts + again.failed, 0) << where;
        if (k + 17 > total && k != total) k = total - 17;  // the whole cure comes last
        std::filesystem::remove_all(folder);
    }
}

}  // namespace
}  // namespace veldan::quarantine
