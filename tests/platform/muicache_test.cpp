// The MUICache list: built from the key at scan start, compared without regard
// to case, and cured from the list rather than the live key.

#include "platform/muicache.h"

#include <gtest/gtest.h>

#include "platform/registry_ops.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;

constexpr const char* kKeyText = "HKCU\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";

class MuiCache : public ::testing::Test {
  protected:
    Context& Load() {
        rig.image.Reg("mui.reg",
                      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache]\r\n"
                      "\"C:\\\\WINDOWS\\\\bad.exe\"=\"Bad Thing\"\r\n"
                      "\"C:\\\\WINDOWS\\\\bad.exe.old\"=\"Older\"\r\n"
                      "\"C:\\\\Program Files\\\\Good\\\\good.exe\"=\"Good\"\r\n"
                      "\"LangID\"=hex:12,04\r\n");
        return rig.Load();
    }
    bool Present(std::string_view name) {
        return ValueExists(*rig.ctx, HKEY_CURRENT_USER, kMuiCacheKey, name) != 0;
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const CScanItem& i : rig.ctx->report().found().items()) out.push_back(i.text);
        return out;
    }
    test::PlatformRig rig;
};

TEST_F(MuiCache, ListHoldsTheValueNamesInOrder) {
    Context& ctx = Load();
    ctx.muiCache() = {"stale"};
    BuildMuiCacheList(ctx);
    std::vector<std::string> written = {"C:\\WINDOWS\\bad.exe", "C:\\WINDOWS\\bad.exe.old",
                                        "C:\\Program Files\\Good\\good.exe", "LangID"};
    // Wine keeps values sorted by name, Windows in the order they were written.
    if (test::OnWine()) {
        written = {"C:\\Program Files\\Good\\good.exe", "C:\\WINDOWS\\bad.exe",
                   "C:\\WINDOWS\\bad.exe.old", "LangID"};
    }
    EXPECT_EQ(ctx.muiCache(), written);
    EXPECT_EQ(rig.debug.Text(), "");

    // Without the key the list is empty: nothing is found, nothing fails.
    ASSERT_EQ(rig.raw().DeleteTree(HKEY_CURRENT_USER, kMuiCacheKey), ERROR_SUCCESS);
    BuildMuiCacheList(ctx);
    EXPECT_TRUE(ctx.muiCache().empty());
    EXPECT_EQ(ScanMuiCache(ctx, "C:\\WINDOWS\\bad.exe"), 0);
    EXPECT_EQ(CureMuiCache(ctx, "C:\\WINDOWS\\bad.exe"), 1);
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

TEST_F(MuiCache, UnreadableNamesAreSkippedWithADebugLine) {
    if (test::OnWine()) {
        GTEST_SKIP() << "Wine keeps values sorted by name, not in the order they were written: "
                        "the index the fault hides and the order of the list differ";
    }
    Context& ctx = Load();
    // With its NUL, a name must fit 260 bytes.
    const std::string fits = "C:\\" + std::string(256, 'a');
    const std::string tooLong = fits + "a";
    for (const std::string& name : {tooLong, fits}) {
        ASSERT_EQ(rig.raw().SetValue(HKEY_CURRENT_USER, kMuiCacheKey, name, RegValue::String("x")),
                  ERROR_SUCCESS);
    }
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "EnumValue" && c.index == 1 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    BuildMuiCacheList(ctx);
    EXPECT_EQ(ctx.muiCache(),
              (std::vector<std::string>{"C:\\WINDOWS\\bad.exe", "C:\\Program Files\\Good\\good.exe",
                                        "LangID", fits}));
    const std::string line = std::string("SHEnumValue... ") + kKeyText + "\n";
    EXPECT_EQ(rig.debug.Text(), line + line);
}

TEST_F(MuiCache, ScanMatchesWholeNamesIgnoringCase) {
    Context& ctx = Load();
    BuildMuiCacheList(ctx);
    EXPECT_EQ(ScanMuiCache(ctx, "c:\\windows\\BAD.EXE"), 1);
    // Reported under the listed name, with its string data.
    EXPECT_EQ(Found(), std::vector<std::string>{std::string(kKeyText) +
                                                " \"C:\\WINDOWS\\bad.exe\"=\"Bad Thing\""});
    EXPECT_EQ(ctx.report().found().At(0).type, REGDAT);
    EXPECT_EQ(ScanMuiCache(ctx, "C:\\WINDOWS\\bad.exe"), 0);  // already recorded
    EXPECT_EQ(ScanMuiCache(ctx, "C:\\WINDOWS\\bad"), 0);      // a part is no match
    EXPECT_EQ(ScanMuiCache(ctx, "bad.exe"), 0);
    EXPECT_EQ(Found().size(), 1u);
}

TEST_F(MuiCache, CureDeletesWhatTheScanListed) {
    Context& ctx = Load();
    BuildMuiCacheList(ctx);
    // Added after the list was built: the cure does not know it.
    ASSERT_EQ(rig.raw().SetValue(HKEY_CURRENT_USER, kMuiCacheKey, "C:\\late.exe",
                                 RegValue::String("Late")),
              ERROR_SUCCESS);
    EXPECT_EQ(CureMuiCache(ctx, "C:\\WINDOWS\\BAD.exe"), 1);
    EXPECT_FALSE(Present("C:\\WINDOWS\\bad.exe"));
    EXPECT_TRUE(Present("C:\\WINDOWS\\bad.exe.old"));
    EXPECT_EQ(CureMuiCache(ctx, "C:\\late.exe"), 1);
    EXPECT_TRUE(Present("C:\\late.exe"));
    // Deleting again finds the value gone, which counts as done.
    EXPECT_EQ(CureMuiCache(ctx, "C:\\WINDOWS\\bad.exe"), 1);
    EXPECT_EQ(ctx.report().failed().Count(), 0);
}

TEST_F(MuiCache, CureReportsAValueThatCannotBeDeleted) {
    Context& ctx = Load();
    BuildMuiCacheList(ctx);
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureMuiCache(ctx, "c:\\program files\\good\\GOOD.exe"), 0);
    ASSERT_EQ(ctx.report().failed().Count(), 1);
    EXPECT_EQ(ctx.report().failed().At(0).text,
              std::string(kKeyText) + " \"C:\\Program Files\\Good\\good.exe\"");
    EXPECT_EQ(ctx.report().failed().At(0).type, REGVAL);
}

}  // namespace
}  // namespace veldan::platform
