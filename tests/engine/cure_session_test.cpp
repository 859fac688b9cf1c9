// The steps around a cure: the programs are named before anything closes,
// closed before the cure's first line, the start page is written only after a
// completed cure, and the machine is saved last, once, in every case.

#include "engine/cure_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/loader.h"
#include "platform/registry_ops.h"
#include "support/platform_rig.h"

namespace veldan::engine {
namespace {

using Events = std::vector<std::string>;

constexpr std::string_view kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

std::string StartPage(Context& ctx) {
    std::string page;
    platform::ReadStringValue(ctx, machine::HKEY_CURRENT_USER, kMainKey, "Start Page", page);
    return page;
}

// Records the hooks' calls and the cure's start in one list, with what the
// machine looks like at each.
class Recording final : public CureHooks, public ScanObserver {
  public:
    explicit Recording(Context& ctx) : ctx_(ctx) {}
    void OnProgramsToClose(const std::string& programs) override {
        events.push_back("announce " + programs + " / running " + Running());
    }
    bool SaveMachine() override {
        events.push_back("save / start page " + StartPage(ctx_));
        return saves;
    }
    void OnRange(int total) override { events.push_back("cure / running " + Running()); }

    Events events;
    bool saves = true;

  private:
    std::string Running() { return std::to_string(ctx_.machine().processes().List().size()); }
    Context& ctx_;
};

struct SessionRig : test::PlatformRig {
    ScanResult result;
    std::atomic<int> cancel{0};

    Context& Setup(bool programsRun) {
        image.Reg("1.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main]\r\n"
                  "\"Start Page\"=\"http://pest.test/\"\r\n");
        if (programsRun) {
            image
                .Ini(
                    "[process ie]\nimage=C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\n"
                    "[process host]\nimage=C:\\WINDOWS\\system32\\rundll32.exe\n"
                    "[process shell]\nimage=C:\\WINDOWS\\explorer.exe\n")
                .File("C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE")
                .File("C:\\WINDOWS\\system32\\rundll32.exe")
                .File("C:\\WINDOWS\\explorer.exe");
        }
        dir.Write("prog/core/addb.txt", "#NAME Pest\nKey HKLM\\Software\\Pest\n");
        Context& ctx = Load();
        ctx.setProgramFolder((dir.path() / "prog").string());
        LoadDatabases(ctx);
        ScanObserver quiet;
        EXPECT_EQ(RunScan(ctx, result, quiet, cancel), 1);
        EXPECT_EQ(result.rows.size(), 1u);
        for (auto& row : result.rows) row.checked = true;
        return ctx;
    }
    bool PestThere() {
        return platform::KeyExists(*ctx, machine::HKEY_LOCAL_MACHINE, "Software\\Pest") != 0;
    }
};

TEST(CureSession, StepsRunOnceInOrder) {
    SessionRig rig;
    Context& ctx = rig.Setup(true);
    Recording rec(ctx);
    CureSession session(ctx, rig.result, rec);
    bool saved = false;
    EXPECT_EQ(session.Run(rec, rig.cancel, "http://home.test/", saved), 1);
    EXPECT_TRUE(saved);
    EXPECT_EQ(rec.events, (Events{"announce Internet Explorer, RUNDLL32 / running 3",
                                  "cure / running 1", "save / start page http://home.test/"}));
    EXPECT_FALSE(rig.PestThere());
    EXPECT_EQ(rig.result.rows[0].status, kStatusDone);
}

TEST(CureSession, CancelledCureKeepsTheStartPageButSaves) {
    SessionRig rig;
    Context& ctx = rig.Setup(true);
    Recording rec(ctx);
    rec.saves = false;  // and a save that fails is told
    CureSession session(ctx, rig.result, rec);
    rig.cancel.store(1);
    bool saved = true;
    EXPECT_EQ(session.Run(rec, rig.cancel, "http://home.test/", saved), 0);
    EXPECT_FALSE(saved);
    EXPECT_EQ(rec.events, (Events{"announce Internet Explorer, RUNDLL32 / running 3",
                                  "cure / running 1", "save / start page http://pest.test/"}));
    EXPECT_TRUE(rig.PestThere());
}

TEST(CureSession, NothingToCloseIsNotAnnounced) {
    SessionRig rig;
    Context& ctx = rig.Setup(false);
    Recording rec(ctx);
    CureSession session(ctx, rig.result, rec);
    EXPECT_EQ(session.Announce(), "");
    EXPECT_TRUE(rec.events.empty());
    session.ClosePrograms();
    EXPECT_EQ(session.Cure(rec, rig.cancel), 1);
    EXPECT_TRUE(session.Finish(true, "about:blank"));
    EXPECT_EQ(rec.events, (Events{"cure / running 0", "save / start page about:blank"}));
    EXPECT_FALSE(rig.PestThere());
}

}  // namespace
}  // namespace veldan::engine
