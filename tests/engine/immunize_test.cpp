// The immunization list and the KillBit list: what they read from the database,
// the registry and the list file, what they write back, and the entry checks.

#include "engine/immunize.h"

#include <gtest/gtest.h>

#include "engine/scramble.h"
#include "support/platform_rig.h"
#include "text/codepage.h"

namespace veldan::engine {
namespace {

using namespace machine;

const std::string kCompat = "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const std::string kHistory =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P\\History";
const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string kC = "{CCCCCCCC-1111-2222-3333-444444444444}";

class Immunize : public testing::Test {
  protected:
    Context& Load() {
        Context& ctx = rig.Load();
        ctx.setProgramFolder(prog.str());
        EXPECT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE, kCompat), ERROR_SUCCESS);
        return ctx;
    }
    void Flags(const std::string& clsid, std::uint32_t v) {
        ASSERT_EQ(rig.raw().CreateKey(HKEY_LOCAL_MACHINE, kCompat + "\\" + clsid), ERROR_SUCCESS);
        ASSERT_EQ(rig.raw().SetValue(HKEY_LOCAL_MACHINE, kCompat + "\\" + clsid,
                                     "Compatibility Flags", RegValue::Dword(v)),
                  ERROR_SUCCESS);
    }
    bool Has(HKEY h, const std::string& k) { return rig.raw().OpenKey(h, k) == ERROR_SUCCESS; }
    std::string Scrambled(const std::string& utf8Line) {
        std::string out;
        Scramble(text::Utf8ToCp949(utf8Line), out);
        return out;
    }
    test::PlatformRig rig;
    test::TempDir prog;
};

TEST_F(Immunize, FillListsControlsThenCookiesWithTheirRegistryState) {
    Context& ctx = Load();
    ImmunizationList empty = FillImmunizationList(ctx);
    EXPECT_EQ(empty.total, 0);
    EXPECT_TRUE(empty.allActiveXBlocked);  // nothing to block counts as all blocked
    EXPECT_TRUE(empty.allCookiesBlocked);

    ctx.db().KillBitClsids = {kA, kB};
    ctx.db().KillBitNames = {"Alpha", "Beta"};
    ctx.db().CookieList = {"ads.test", "track.test"};
    Flags(kA, 0x400);
    Flags(kB, 0x401);
    ASSERT_EQ(rig.raw().CreateKey(HKEY_CURRENT_USER, kHistory + "\\track.test"), ERROR_SUCCESS);
    ASSERT_EQ(
        rig.raw().SetValue(HKEY_CURRENT_USER, kHistory + "\\track.test", "", RegValue::Dword(5)),
        ERROR_SUCCESS);

    ImmunizationList list = FillImmunizationList(ctx);
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.rows[0].name, "Alpha");
    EXPECT_EQ(list.rows[0].clsid, kA);
    EXPECT_TRUE(list.rows[0].blocked);
    EXPECT_FALSE(list.rows[1].blocked);
    EXPECT_EQ(list.rows[2].kind, ImmunizationKind::Cookie);
    EXPECT_EQ(list.rows[2].name, "ads.test");
    EXPECT_FALSE(list.rows[2].blocked);
    EXPECT_TRUE(list.rows[3].blocked);
    EXPECT_EQ(list.total, 4);
    EXPECT_EQ(list.blocked, 2);
    EXPECT_FALSE(list.allActiveXBlocked);
    EXPECT_FALSE(list.allCookiesBlocked);
    EXPECT_EQ(ImmunizationCountText(list.total, list.blocked),
              "전체 4 개 중 2 개가 면역, 예방 상태입니다.");
}

TEST_F(Immunize, RunWritesTicksAndUnblockRemovesWholeKeys) {
    Context& ctx = Load();
    ctx.db().KillBitClsids = {kA, kB};
    ctx.db().KillBitNames = {"Alpha", "Beta"};
    ctx.db().CookieList = {"ads.test"};
    Flags(kB, 0x400);
    ImmunizationList ticks = FillImmunizationList(ctx);
    TickAll(ticks, ImmunizationKind::ActiveX, true);
    EXPECT_FALSE(ticks.rows[2].blocked);  // the cookie row keeps its tick

    std::vector<int> progress;
    ImmunizationList after = RunImmunization(
        ctx, ticks, [&](int done, int total) { progress.push_back(done * 10 + total); });
    EXPECT_EQ(progress, (std::vector<int>{13, 23, 33}));
    EXPECT_EQ(after.blocked, 2);
    EXPECT_TRUE(after.allActiveXBlocked);

    after = SetAllImmunization(ctx, true);
    EXPECT_EQ(after.blocked, 3);
    after = SetAllImmunization(ctx, false);
    EXPECT_EQ(after.blocked, 0);
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat + "\\" + kA));
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat + "\\" + kB));
    EXPECT_FALSE(Has(HKEY_CURRENT_USER, kHistory + "\\ads.test"));
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

TEST_F(Immunize, ThePlainListIsReadInPreferenceAndWrittenBack) {
    prog.Write("core/killbit.txt", kA + " Plain One\r\nno-space-line\r\n  " + kB + "  Two  \n");
    prog.Write("data/killbit", Scrambled(kC + " Scrambled") + "\r\n");
    Context& ctx = Load();
    Flags(kA, 0x400);
    KillBitList list(ctx);
    ASSERT_EQ(list.Load(), 1);
    EXPECT_TRUE(list.plainFile());
    ASSERT_EQ(list.total(), 2);  // the line without a space is dropped
    // Text before the first space is the identifier: the indented line has none.
    EXPECT_EQ(list.entries()[0].clsid, kA);
    EXPECT_EQ(list.entries()[0].name, "Plain One");
    EXPECT_TRUE(list.entries()[0].blocked);
    EXPECT_EQ(list.entries()[1].clsid, "");
    EXPECT_EQ(list.entries()[1].name, kB + "  Two");
    EXPECT_EQ(list.CountText(), "전체 2 개 중 1 개가 차단 상태입니다.");

    EXPECT_EQ(list.Save(), 1);
    EXPECT_EQ(prog.Read("core/killbit.txt"), kA + " Plain One\r\n " + kB + "  Two\r\n");
    EXPECT_EQ(prog.Read("data/killbit"), Scrambled(kC + " Scrambled") + "\r\n");  // untouched
}

TEST_F(Immunize, TheScrambledListKeepsItsCodePageAndIsCreatedWhenMissing) {
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80";  // UTF-8
    prog.Write("data/killbit", Scrambled(kC + " " + korean));
    Context& ctx = Load();
    KillBitList list(ctx);
    ASSERT_EQ(list.Load(), 1);
    EXPECT_FALSE(list.plainFile());
    ASSERT_EQ(list.total(), 1);
    EXPECT_EQ(list.entries()[0].name, korean);
    list.Add("Line\r\nbreak", kA);
    ASSERT_EQ(list.Save(), 1);
    EXPECT_EQ(prog.Read("data/killbit"),
              Scrambled(kC + " " + korean) + "\r\n" + Scrambled(kA + " Line  break") + "\r\n");

    // Neither file: the entries are kept and the first save makes the scrambled file.
    test::TempDir other;
    ctx.setProgramFolder(other.str());
    EXPECT_EQ(list.Load(), 0);
    EXPECT_EQ(list.total(), 2);
    EXPECT_EQ(list.Save(), 0);  // no data folder: nothing can be created
    other.Write("data/.keep", "");
    EXPECT_EQ(list.Save(), 1);
    EXPECT_EQ(other.Read("data/killbit").substr(0, Scrambled(kC).size()), Scrambled(kC));
}

TEST_F(Immunize, TicksAndRemovalChangeKillBitsAtOnce) {
    prog.Write("core/killbit.txt", kA + " A\n" + kB + " B\n{bad} Bad\n");
    Context& ctx = Load();
    KillBitList list(ctx);
    ASSERT_EQ(list.Load(), 1);
    EXPECT_EQ(rig.debug.Text(), "CLSID... {bad}\n");  // loaded, but refused by the kill bit
    rig.debug.Clear();
    EXPECT_EQ(list.SetTick(0, true), 1);
    EXPECT_EQ(rig.debug.Text(), "AxDlg::CHECK\n");
    EXPECT_EQ(list.BlockedCount(), 1);
    EXPECT_EQ(list.SetTick(3, true), 0);

    list.BlockAll();
    ASSERT_EQ(list.Load(), 1);
    EXPECT_EQ(list.BlockedCount(), 2);  // the malformed entry cannot be blocked
    list.UnblockAll();
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat + "\\" + kA));
    list.SetTick(1, true);
    rig.debug.Clear();
    EXPECT_EQ(list.SetTick(1, false), 1);
    EXPECT_EQ(rig.debug.Text(), "AxDlg::UNCHECK\n");

    Flags(kB, 0x400);
    EXPECT_EQ(list.Find("{bbbbbbbb-1111-2222-3333-444444444444}"), 1);
    EXPECT_EQ(list.Remove(1), 1);
    EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, kCompat + "\\" + kB));
    EXPECT_EQ(list.total(), 2);
    EXPECT_EQ(list.Find(kB), -1);
}

TEST_F(Immunize, EntryDialogRefusesAsTheKillBitPageDoes) {
    Context& ctx = Load();
    ctx.db().KillBitClsids = {kC};
    std::vector<KillBitEntry> list = {{kA, "A", false}, {kB, "B", false}};
    struct Case {
        std::string name, clsid;
        int edit;
        const char* message;
        int focus;
    };
    const std::string lowerA = "{aaaaaaaa-1111-2222-3333-444444444444}";
    const std::string lowerC = "{cccccccc-1111-2222-3333-444444444444}";
    for (const Case& c : std::vector<Case>{
             {"  ", kA, -1, "이름을 입력해야 합니다.", kKillBitNameEdit},
             {"n", " \t", -1, "CLSID를 입력해야 합니다.", kKillBitClsidEdit},
             {"n", "{x}", -1, "CLSID가 유효하지 않습니다. 다시 입력하세요.", kKillBitClsidEdit},
             {"n", kC, -1, "면역, 예방으로 차단 가능한 CLSID입니다. 다시 입력하세요.",
              kKillBitClsidEdit},
             {"n", lowerA, -1, "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.",
              kKillBitClsidEdit},
             {"n", lowerA, 1, "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.",
              kKillBitClsidEdit},
         }) {
        KillBitEntryCheck r = CheckKillBitEntry(ctx, c.name, c.clsid, &list, c.edit);
        EXPECT_FALSE(r.ok) << c.name << c.clsid;
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.focus, c.focus);
    }
    KillBitEntryCheck ok = CheckKillBitEntry(ctx, " New Name ", " " + lowerC + " ", &list, -1);
    EXPECT_TRUE(ok.ok) << ok.message;  // the immunization list compares case-sensitively
    EXPECT_EQ(ok.name, "New Name");
    EXPECT_EQ(ok.clsid, lowerC);
    EXPECT_TRUE(CheckKillBitEntry(ctx, "A2", lowerA, &list, 0).ok);  // editing itself
    EXPECT_TRUE(CheckKillBitEntry(ctx, "A2", lowerA, nullptr, -1).ok);
    EXPECT_EQ(KillBitDeleteQuestion("A", kA), "\"A " + kA + "\" 항목을 삭제할까요?");
}

}  // namespace
}  // namespace veldan::engine
