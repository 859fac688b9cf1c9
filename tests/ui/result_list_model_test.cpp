// The result list's rows: entry and item rows, expanding and collapsing, the
// click zones, checking, the selection, and the match with the engine's rows.

#include <gtest/gtest.h>

#include "ui/result_list_model.h"

namespace veldan::ui {
namespace {

struct ModelRig {
    text::CaptureDebugSink debug;
    platform::ScanItemList found;
    ResultListModel model{debug};

    void Found(std::int32_t type, const std::string& text) {
        platform::CScanItem item;
        item.status = platform::SCAN;
        item.type = type;
        item.text = text;
        found.Add(item);
    }
    // Three entries: A with two items, B with one, C with three.
    void Fill() {
        Found(platform::REGKEY, "HKLM\\Software\\A");
        Found(platform::FILE, "C:\\A\\a.exe");
        Found(platform::REGDAT, "HKCU\\Software\\B \"v\"=\"d\"");
        Found(platform::DIR, "C:\\C");
        Found(platform::LSP, "HKLM\\Lsp\\C");
        Found(platform::PROSTR, "win.ini [windows] \"load\"=\"c.exe\"");
        model.AddEntry("A", 0, 2);
        model.AddEntry("B", 2, 1);
        model.AddEntry("C", 3, 3);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int r = 0; r < model.RowCount(); ++r) names.push_back(model.Row(r).name);
        return names;
    }
};

TEST(ResultListModel, EntryRowsStartUncheckedWithCountAndItemData) {
    ModelRig rig;
    rig.Fill();
    ASSERT_EQ(rig.model.RowCount(), 3);
    const ResultRow& c = rig.model.Row(2);
    EXPECT_EQ(c.name, "C");
    EXPECT_EQ(c.kind, "3");
    EXPECT_EQ(c.status, "");
    EXPECT_EQ(c.itemData, 3 * 65536);
    EXPECT_EQ(c.stateImage, kStateUnchecked);
    // The first entry's item data is 0: still an entry row.
    EXPECT_TRUE(rig.model.IsEntry(0));
    EXPECT_EQ(rig.model.CheckedCount(), 0);
    EXPECT_FALSE(rig.model.IsEntry(3));
    EXPECT_FALSE(rig.model.IsEntry(-1));
}

TEST(ResultListModel, ExpandInsertsTheEntrysItemsRightAfterItAndCollapseRemovesThem) {
    ModelRig rig;
    rig.Fill();
    EXPECT_FALSE(rig.model.IsExpanded(1));
    EXPECT_EQ(rig.model.Expand(2, rig.found), 3);
    EXPECT_EQ(rig.model.Expand(0, rig.found), 2);
    EXPECT_EQ(rig.Names(),
              (std::vector<std::string>{"A", "HKLM\\Software\\A", "C:\\A\\a.exe", "B", "C", "C:\\C",
                                        "HKLM\\Lsp\\C", "win.ini [windows] \"load\"=\"c.exe\""}));
    const ResultRow& item = rig.model.Row(1);
    EXPECT_FALSE(item.IsEntry());
    EXPECT_EQ(item.kind, "키");
    EXPECT_EQ(item.itemData, 1);
    EXPECT_EQ(item.stateImage, kStateItem);
    EXPECT_EQ(rig.model.Row(2).kind, "파일");
    EXPECT_EQ(rig.model.Row(5).kind, "폴더");
    EXPECT_EQ(rig.model.Row(6).kind, "LSP");
    EXPECT_EQ(rig.model.Row(7).kind, "프로필");

    // Expanded = the next row is an item row; B (followed by an entry) and the
    // last row (followed by nothing) are not.
    EXPECT_TRUE(rig.model.IsExpanded(0));
    EXPECT_FALSE(rig.model.IsExpanded(3));
    EXPECT_TRUE(rig.model.IsExpanded(4));
    EXPECT_FALSE(rig.model.IsExpanded(7));
    EXPECT_EQ(rig.model.Expand(0, rig.found), 0);  // already expanded

    EXPECT_EQ(rig.model.Collapse(0), 2);
    EXPECT_EQ(rig.Names(), (std::vector<std::string>{"A", "B", "C", "C:\\C", "HKLM\\Lsp\\C",
                                                     "win.ini [windows] \"load\"=\"c.exe\""}));
    EXPECT_EQ(rig.model.Collapse(1), 0);  // B was not expanded: C's rows stay
    EXPECT_EQ(rig.model.RowCount(), 6);
    EXPECT_EQ(rig.model.Collapse(2), 3);
    EXPECT_EQ(rig.Names(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(ResultListModel, ExpandAndCollapseStayWithinTheFoundListAndTheEntrysOwnRows) {
    ModelRig rig;
    rig.Found(platform::FILE, "C:\\x");
    rig.model.AddEntry("Short", 0, 3);  // claims more items than the list holds
    rig.model.AddEntry("Next", 1, 0);
    EXPECT_EQ(rig.model.Expand(0, rig.found), 1);
    EXPECT_EQ(rig.model.Collapse(0), 1);
    EXPECT_EQ(rig.Names(), (std::vector<std::string>{"Short", "Next"}));
    // An entry without items has nothing to show.
    EXPECT_EQ(rig.model.ToggleExpand(1, rig.found), ClickAction::None);
}

TEST(ResultListModel, EntriesBeyondTheSixteenBitItemIndexStayEntries) {
    ModelRig rig;
    for (int i = 0; i < 70001; ++i) rig.Found(platform::FILE, "C:\\f" + std::to_string(i));
    rig.model.AddEntry("Late", 70000, 1);
    EXPECT_TRUE(rig.model.IsEntry(0));
    ASSERT_EQ(rig.model.Expand(0, rig.found), 1);
    EXPECT_EQ(rig.model.Row(1).name, "C:\\f70000");
}

TEST(ResultListModel, ClickZonesToggleTheBoxOrExpand) {
    ModelRig rig;
    rig.Fill();
    EXPECT_EQ(rig.model.Click(0, 20, rig.found), ClickAction::Toggled);
    EXPECT_TRUE(rig.model.Row(0).IsChecked());
    EXPECT_EQ(rig.model.Click(0, 35, rig.found), ClickAction::Toggled);
    EXPECT_FALSE(rig.model.Row(0).IsChecked());
    EXPECT_EQ(rig.model.Click(0, 36, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.Click(0, 19, rig.found), ClickAction::Expanded);
    EXPECT_TRUE(rig.model.IsExpanded(0));
    EXPECT_EQ(rig.model.Click(0, 0, rig.found), ClickAction::Collapsed);
    EXPECT_FALSE(rig.model.IsExpanded(0));

    // Double clicks expand only right of the box.
    EXPECT_EQ(rig.model.DoubleClick(2, 35, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.DoubleClick(2, 36, rig.found), ClickAction::Expanded);
    EXPECT_EQ(rig.model.DoubleClick(2, 300, rig.found), ClickAction::Collapsed);

    // Item rows have no box and no marker.
    rig.model.Expand(0, rig.found);
    EXPECT_EQ(rig.model.Click(1, 25, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.Click(1, 5, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.DoubleClick(1, 100, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.Row(1).stateImage, kStateItem);
    // Outside the rows.
    EXPECT_EQ(rig.model.Click(-1, 25, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.Click(99, 25, rig.found), ClickAction::None);
}

TEST(ResultListModel, ClicksDoNothingWhileBusy) {
    ModelRig rig;
    rig.Fill();
    rig.model.SetBusy(true);
    EXPECT_EQ(rig.model.Click(0, 25, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.Click(0, 5, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.DoubleClick(0, 100, rig.found), ClickAction::None);
    EXPECT_EQ(rig.model.RowCount(), 3);
    EXPECT_EQ(rig.model.CheckedCount(), 0);
    EXPECT_TRUE(rig.debug.Text().empty());
    rig.model.SetBusy(false);
    EXPECT_EQ(rig.model.Click(0, 25, rig.found), ClickAction::Toggled);
}

TEST(ResultListModel, CheckAllTouchesEntryRowsOnlyAndTracesEachChange) {
    ModelRig rig;
    rig.Fill();
    rig.model.Expand(0, rig.found);
    rig.model.SetChecked(3, true);  // B
    rig.debug.Clear();
    EXPECT_EQ(rig.model.CheckAll(true), 2);
    EXPECT_EQ(rig.debug.Lines(), (std::vector<std::string>{"CHECK", "CHECK"}));
    EXPECT_EQ(rig.model.CheckedCount(), 3);
    EXPECT_EQ(rig.model.Row(1).stateImage, kStateItem);
    EXPECT_EQ(rig.model.Row(2).stateImage, kStateItem);

    rig.debug.Clear();
    EXPECT_EQ(rig.model.CheckAll(true), 0);
    EXPECT_TRUE(rig.debug.Text().empty());
    EXPECT_EQ(rig.model.CheckAll(false), 3);
    EXPECT_EQ(rig.debug.Text(), "UNCHECK\nUNCHECK\nUNCHECK\n");
    EXPECT_EQ(rig.model.Row(1).stateImage, kStateItem);
    EXPECT_FALSE(rig.model.SetChecked(1, true));  // an item row has no box
}

TEST(ResultListModel, SelectionFollowsItsRowAcrossExpandAndCollapse) {
    ModelRig rig;
    rig.Fill();
    rig.model.Select(2);  // C
    rig.model.Expand(0, rig.found);
    EXPECT_EQ(rig.model.Selected(), 4);
    EXPECT_EQ(rig.model.Row(rig.model.Selected()).name, "C");
    rig.model.Select(1);  // A's first item
    rig.model.Collapse(0);
    EXPECT_EQ(rig.model.Selected(), 0);
    rig.model.Select(7);
    EXPECT_EQ(rig.model.Selected(), -1);
    rig.model.Select(1);
    rig.model.Clear();
    EXPECT_EQ(rig.model.Selected(), -1);
    EXPECT_EQ(rig.model.RowCount(), 0);
}

TEST(ResultListModel, EntryRowsMatchTheEngineRowsAlsoWhenExpanded) {
    ModelRig rig;
    rig.Fill();
    rig.model.Expand(0, rig.found);
    rig.model.Expand(3, rig.found);  // B
    EXPECT_EQ(rig.model.EntryCount(), 3);
    EXPECT_EQ(rig.model.RowOfEntry(0), 0);
    EXPECT_EQ(rig.model.RowOfEntry(1), 3);
    EXPECT_EQ(rig.model.RowOfEntry(2), 5);
    EXPECT_EQ(rig.model.RowOfEntry(3), -1);
    EXPECT_EQ(rig.model.EntryOfRow(4), 1);  // B's item
    EXPECT_EQ(rig.model.EntryOfRow(5), 2);

    rig.model.SetChecked(5, true);  // C
    engine::ScanResult result;
    result.rows.resize(3);
    result.rows[0].checked = true;  // stale state from an earlier cure
    EXPECT_EQ(rig.model.CopyChecks(result), 1);
    EXPECT_FALSE(result.rows[0].checked);
    EXPECT_FALSE(result.rows[1].checked);
    EXPECT_TRUE(result.rows[2].checked);

    EXPECT_TRUE(rig.model.SetEntryStatus(2, "실패"));
    EXPECT_TRUE(rig.model.SetEntryStatus(1, "완료"));
    EXPECT_EQ(rig.model.Row(5).status, "실패");
    EXPECT_EQ(rig.model.Row(3).status, "완료");
    EXPECT_EQ(rig.model.Row(4).status, "");
    EXPECT_FALSE(rig.model.SetEntryStatus(3, "완료"));
}

}  // namespace
}  // namespace veldan::ui
