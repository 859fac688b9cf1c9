// The layout file, the main window's resize rule and the anchoring arithmetic.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/temp_dir.h"

namespace veldan::ui {
namespace {

TEST(LayoutFile, KeysAreTrimmedAndCaseInsensitiveValuesReadByTheirLeadingNumber) {
    WindowLayout l = ParseLayout(
        "  MAIN_CX = 760\r\n"
        "main_cy=540px\n"
        "\n"
        "sub_x=-12\n"
        "no equals sign\n"
        "=5\n"
        "sub_y=\n"
        "sub_cx=abc\n"
        "unknown=9\n"
        "sub_cy=400\n"
        "sub_cy=430\n");  // a later line wins
    EXPECT_EQ(l.main_cx, 760);
    EXPECT_EQ(l.main_cy, 540);
    EXPECT_EQ(l.sub_x, -12);
    EXPECT_EQ(l.sub_y, 0);
    EXPECT_EQ(l.sub_cx, 0);  // no leading digits
    EXPECT_EQ(l.sub_cy, 430);
    EXPECT_FALSE(l.IsComplete());
}

TEST(LayoutFile, PositionsMayBeZeroButEverySizeIsRequired) {
    EXPECT_TRUE(ParseLayout("main_cx=1\nmain_cy=1\nsub_cx=1\nsub_cy=1\nsub_x=0\nsub_y=0\n").IsComplete());
    EXPECT_FALSE(ParseLayout("main_cx=0\nmain_cy=1\nsub_cx=1\nsub_cy=1\n").IsComplete());
    EXPECT_FALSE(ParseLayout("main_cx=1\nmain_cy=1\nsub_cx=1\n").IsComplete());
}

TEST(LayoutFile, AMissingFileGivesZeros) {
    test::TempDir dir;
    WindowLayout l = ReadLayoutFile(dir.path().string() + "/data/layout");
    EXPECT_FALSE(l.IsComplete());
    EXPECT_EQ(l.main_cx, 0);
    std::ofstream(dir.path() / "layout") << "main_cx=10\nmain_cy=20\nsub_cx=5\nsub_cy=6\n";
    EXPECT_TRUE(ReadLayoutFile(dir.path().string() + "/layout").IsComplete());
}

TEST(LeadingIntTest, ReadsAsAtoiDoes) {
    EXPECT_EQ(LeadingInt("42abc"), 42);
    EXPECT_EQ(LeadingInt("  +7"), 7);
    EXPECT_EQ(LeadingInt("-3x"), -3);
    EXPECT_EQ(LeadingInt("x3"), 0);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_EQ(LeadingInt("99999999999"), 0x7FFFFFFF);
}

TEST(MainWindowResize, PagesKeepTheirMarginsAndNegativeSizesChangeNothing) {
    Size page;
    ASSERT_TRUE(PageSizeForClient({900, 600}, {760, 540}, {540, 430}, page));
    EXPECT_EQ(page, (Size{680, 490}));
    page = {1, 1};
    EXPECT_FALSE(PageSizeForClient({100, 600}, {760, 540}, {540, 430}, page));
    EXPECT_EQ(page, (Size{1, 1}));
}

// A page of controls given by id -> rectangle.
struct FakePage {
    std::map<int, Rect> controls;
    static bool Lookup(void* self, int id, Rect& rect) {
        auto& c = static_cast<FakePage*>(self)->controls;
        auto it = c.find(id);
        if (it == c.end()) return false;
        rect = it->second;
        return true;
    }
    std::vector<Rect> Current(const AnchorLayout& a) const {
        std::vector<Rect> r;
        for (const auto& item : a.items()) r.push_back(controls.at(item.id));
        return r;
    }
    void Apply(const std::vector<Placement>& placements) {
        for (const auto& p : placements) controls[p.id] = p.rect;
    }
};

// The KillBit page's table: count text stretches, list stretches both ways,
// buttons move down only.
constexpr AnchorPair kKillBitTable[] = {{1023, 0x01}, {1003, 0x03}, {1016, 0x08}, {1017, 0x08},
                                        {1073, 0x08}, {1020, 0x08}, {1019, 0x08}, kAnchorEnd};

TEST(AnchorLayoutTest, WideningTheKillBitPageStretchesListAndCountButButtonsStayInPlace) {
    FakePage page;
    page.controls = {{1023, {10, 5, 300, 20}},    {1003, {10, 25, 530, 380}},
                     {1016, {10, 390, 80, 410}},  {1017, {90, 390, 160, 410}},
                     {1073, {300, 390, 370, 410}}, {1020, {380, 390, 450, 410}},
                     {1019, {460, 390, 530, 410}}};
    AnchorLayout a;
    a.Init({540, 420}, kKillBitTable, &FakePage::Lookup, &page);
    ASSERT_EQ(a.items().size(), 7u);

    page.Apply(a.Relayout({640, 420}, page.Current(a)));
    EXPECT_EQ(page.controls[1023], (Rect{10, 5, 400, 20}));
    EXPECT_EQ(page.controls[1003], (Rect{10, 25, 630, 380}));
    EXPECT_EQ(page.controls[1019], (Rect{460, 390, 530, 410}));  // horizontal place kept

    page.Apply(a.Relayout({640, 470}, page.Current(a)));
    EXPECT_EQ(page.controls[1003], (Rect{10, 25, 630, 430}));
    EXPECT_EQ(page.controls[1019], (Rect{460, 440, 530, 460}));  // moved down, same height
    EXPECT_EQ(page.controls[1023], (Rect{10, 5, 400, 20}));     // no vertical flag

    // Back to the start size: everything where it began.
    page.Apply(a.Relayout({540, 420}, page.Current(a)));
    EXPECT_EQ(page.controls[1003], (Rect{10, 25, 530, 380}));
    EXPECT_EQ(page.controls[1016], (Rect{10, 390, 80, 410}));
}

TEST(AnchorLayoutTest, MissingControlsAreSkippedAndMoveFlagsMoveBothEdges) {
    FakePage page;
    page.controls = {{1005, {100, 300, 200, 310}}, {1006, {210, 300, 250, 310}}};
    constexpr AnchorPair table[] = {{1023, 0x01}, {1005, 0x09}, {1006, 0x04 | 0x10}, kAnchorEnd};
    AnchorLayout a;
    a.Init({300, 320}, table, &FakePage::Lookup, &page);
    ASSERT_EQ(a.items().size(), 2u);
    auto placed = a.Relayout({350, 340}, page.Current(a));
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].rect, (Rect{100, 320, 250, 330}));  // stretch x, move y
    EXPECT_EQ(placed[1].rect, (Rect{260, 300, 300, 310}));  // moves x; no vertical flag
    EXPECT_FALSE(placed[0].repaint);
    EXPECT_TRUE(placed[1].repaint);
}

TEST(AnchorLayoutTest, GroupItemsScaleInsideTheGroupAndKeepTheirGaps) {
    // Two stretching buttons side by side with a 10 px gap, in a group.
    FakePage page;
    page.controls = {{1, {0, 0, 100, 20}}, {2, {110, 0, 210, 20}}};
    constexpr AnchorPair table[] = {kAnchorGroupOpen, {1, 0x01}, {2, 0x01}, kAnchorGroupClose,
                                    kAnchorEnd};
    AnchorLayout a;
    a.Init({210, 20}, table, &FakePage::Lookup, &page);
    ASSERT_EQ(a.items().size(), 2u);
    EXPECT_EQ(a.items()[0].flags & 0x1000u, 0x1000u);
    EXPECT_EQ((a.items()[0].flags >> 16) & 0xFF, 2u);

    page.Apply(a.Relayout({420, 20}, page.Current(a)));  // the group doubles
    EXPECT_EQ(page.controls[1].left, 0);
    EXPECT_EQ(page.controls[2].left, 220);
    EXPECT_EQ(page.controls[2].right, 420);
    EXPECT_EQ(page.controls[1].right, 210);  // 10 px gap kept before the next item
}

TEST(AnchorLayoutTest, GroupScalingRoundsToTheNearestPixel) {
    FakePage page;
    page.controls = {{1, {0, 0, 30, 10}}, {2, {30, 0, 90, 10}}};
    constexpr AnchorPair table[] = {kAnchorGroupOpen, {1, 0x04}, {2, 0x04}, kAnchorGroupClose,
                                    kAnchorEnd};
    AnchorLayout a;
    a.Init({90, 10}, table, &FakePage::Lookup, &page);
    auto placed = a.Relayout({91, 10}, page.Current(a));  // 91/90 scale
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[1].rect.left, 30);  // 30 * 91 / 90 = 30.33 -> 30
    EXPECT_EQ(placed[1].rect.width(), 60);
    placed = a.Relayout({135, 10}, page.Current(a));  // 30 * 135 / 90 = 45
    EXPECT_EQ(placed[1].rect.left, 45);
    placed = a.Relayout({93, 10}, page.Current(a));  // 30 * 93 / 90 = 31.0
    EXPECT_EQ(placed[1].rect.left, 31);
    placed = a.Relayout({94, 10}, page.Current(a));  // 31.33 -> 31
    EXPECT_EQ(placed[1].rect.left, 31);
    placed = a.Relayout({95, 10}, page.Current(a));  // 31.67 -> 32
    EXPECT_EQ(placed[1].rect.left, 32);
}

}  // namespace
}  // namespace veldan::ui
