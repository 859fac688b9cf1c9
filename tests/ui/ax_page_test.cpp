// The immunization page: filled on WM_DB_LOADED from the database and the
// registry, check boxes that only tick, the run that writes kill bits and
// cookie blocks and tells the KillBit page to reload, and the width-locking
// header of its list.

#include "ui/ax_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "immunize_rig.h"
#include "pixels.h"
#include "ui/clsid_page.h"
#include "ui/lock_header.h"

namespace veldan::ui {
namespace {

const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";

class AxPage : public testing::Test {
  protected:
    // Loads a machine where kA is blocked and "track.test" refuses cookies.
    void Open() {
        app = &rig.Load("[HKEY_LOCAL_MACHINE\\" + test::kCompatKey + "\\" + kA +
                        "]\n\"Compatibility Flags\"=dword:00000400\n"
                        "[HKEY_CURRENT_USER\\" +
                        test::kP3PHistoryKey + "\\track.test]\n@=dword:00000005\n");
        page = std::make_unique<CAxDlg>(*app, nullptr);
    }
    void Database(std::vector<std::string> clsids, std::vector<std::string> names,
                  std::vector<std::string> cookies) {
        app->ctx.db().KillBitClsids = std::move(clsids);
        app->ctx.db().KillBitNames = std::move(names);
        app->ctx.db().CookieList = std::move(cookies);
    }
    // Posts WM_DB_LOADED and waits until the page took it.
    void DbLoaded() {
        PostAppMessage(page.get(), WM_DB_LOADED);
        ASSERT_TRUE(test::WaitFor([&] { return page->control(1014)->isEnabled(); }));
    }

    QTreeWidget* list() { return page->controlAs<QTreeWidget>(1003); }
    QCheckBox* Check(int id) { return page->controlAs<QCheckBox>(id); }
    QString CountText() { return page->controlAs<QLabel>(1023)->text(); }
    QStringList Column(int column) { return test::ListColumn(list(), column); }
    QList<bool> Ticks() { return test::ListTicks(list()); }

    test::ImmunizeRig rig;
    AppState* app = nullptr;
    std::unique_ptr<CAxDlg> page;
};

TEST_F(AxPage, WaitsForTheDatabaseThenListsControlsAndCookies) {
    Open();
    Database({kA, kB}, {"Alpha", "Beta"}, {"ads.test", "track.test"});
    EXPECT_EQ(Check(1062)->text(), "ActiveX 기반 악성코드 차단");
    EXPECT_EQ(Check(1063)->text(), "스파이웨어, 트래킹 쿠키 차단");
    EXPECT_EQ(page->controlAs<QPushButton>(1014)->text(), "면역, 예방 실행");
    EXPECT_EQ(list()->headerItem()->text(0), "이름");
    EXPECT_EQ(list()->headerItem()->text(1), "종류");
    for (int id : {1062, 1063, 1014}) EXPECT_FALSE(page->control(id)->isEnabled()) << id;
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_TRUE(page->control(1005)->isHidden());

    DbLoaded();
    EXPECT_EQ(Column(0), (QStringList{"Alpha", "Beta", "ads.test", "track.test"}));
    EXPECT_EQ(Column(1), (QStringList{"ActiveX", "ActiveX", "쿠키", "쿠키"}));
    EXPECT_EQ(Ticks(), (QList<bool>{true, false, false, true}));
    EXPECT_EQ(CountText(), "전체 4 개 중 2 개가 면역, 예방 상태입니다.");
    EXPECT_FALSE(Check(1062)->isChecked());
    EXPECT_FALSE(Check(1063)->isChecked());
    for (int id : {1062, 1063, 1014}) EXPECT_TRUE(page->control(id)->isEnabled()) << id;
    EXPECT_FALSE(list()->isEnabled());  // the list only shows
    EXPECT_TRUE(page->control(1005)->isHidden());
}

TEST_F(AxPage, TheInertListIsDrawnReadably) {
    Open();
    Database({kA}, {"Evil Control"}, {"track.test"});
    page->resize(540, 430);
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    DbLoaded();
    // It takes no input...
    EXPECT_FALSE(list()->isEnabled());
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualItemRect(list()->topLevelItem(0)).center());
    EXPECT_TRUE(list()->selectedItems().isEmpty());

    // ...but its rows and its header read at least 4.5:1 against their background.
    const QImage rows = list()->viewport()->grab().toImage();
    const QRect first = list()->visualItemRect(list()->topLevelItem(0));
    const QColor rowBackground = rows.pixelColor(rows.width() - 2, first.center().y());
    EXPECT_GE(test::Contrast(test::Darkest(rows, first), rowBackground), 4.5);
    const QRect kind = first.adjusted(list()->columnWidth(0), 0, 0, 0);
    EXPECT_GE(test::Contrast(test::Darkest(rows, kind), rowBackground), 4.5);  // "ActiveX"

    QHeaderView* header = list()->header();
    const QImage head = header->grab().toImage();
    const QColor face = head.pixelColor(header->sectionSize(0) - 4, 3);
    EXPECT_GE(
        test::Contrast(
            test::Darkest(head, QRect(0, 2, header->sectionSize(0) - 2, head.height() - 4)), face),
        4.5);
}

TEST_F(AxPage, NothingToBlockCountsAsAllBlocked) {
    Open();
    Database({}, {}, {"ads.test"});
    DbLoaded();
    EXPECT_TRUE(Check(1062)->isChecked());
    EXPECT_FALSE(Check(1063)->isChecked());
    EXPECT_EQ(CountText(), "전체 1 개 중 0 개가 면역, 예방 상태입니다.");
}

TEST_F(AxPage, CheckBoxesOnlyTickAndTheRunWrites) {
    Open();
    Database({kA, kB}, {"Alpha", "Beta"}, {"ads.test", "track.test"});
    DbLoaded();

    Check(1062)->click();
    EXPECT_EQ(Ticks(), (QList<bool>{true, true, false, true}));
    Check(1063)->click();
    EXPECT_EQ(Ticks(), (QList<bool>{true, true, true, true}));
    // Nothing is written before the run.
    EXPECT_FALSE(rig.HasCompatKey(kB));
    EXPECT_EQ(rig.CookieBlock("ads.test"), -1);
    EXPECT_EQ(CountText(), "전체 4 개 중 2 개가 면역, 예방 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 0);

    page->controlAs<QPushButton>(1014)->click();
    EXPECT_EQ(rig.Flags(kA), 0x400);
    EXPECT_EQ(rig.Flags(kB), 0x400);
    EXPECT_EQ(rig.CookieBlock("ads.test"), 5);
    EXPECT_EQ(rig.CookieBlock("track.test"), 5);
    EXPECT_EQ(Ticks(), (QList<bool>{true, true, true, true}));
    EXPECT_EQ(CountText(), "전체 4 개 중 4 개가 면역, 예방 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 1);
    auto* progress = page->controlAs<QProgressBar>(1005);
    EXPECT_TRUE(progress->isHidden());
    EXPECT_EQ(progress->maximum(), 0);

    // Unticking the controls removes their whole keys; the cookies stay blocked.
    rig.reg().SetValue(machine::HKEY_LOCAL_MACHINE, test::kCompatKey + "\\" + kA, "Other",
                       machine::RegValue::String("x"));
    Check(1062)->click();
    EXPECT_FALSE(Check(1062)->isChecked());
    EXPECT_EQ(Ticks(), (QList<bool>{false, false, true, true}));
    page->controlAs<QPushButton>(1014)->click();
    EXPECT_FALSE(rig.HasCompatKey(kA));
    EXPECT_FALSE(rig.HasCompatKey(kB));
    EXPECT_EQ(rig.CookieBlock("ads.test"), 5);
    EXPECT_EQ(CountText(), "전체 4 개 중 2 개가 면역, 예방 상태입니다.");
    // The fill never unticks the box; it was unticked by the user.
    EXPECT_FALSE(Check(1062)->isChecked());
    EXPECT_TRUE(Check(1063)->isChecked());
    EXPECT_EQ(rig.ui.machineChanges, 2);
}

TEST_F(AxPage, TheRunTellsTheKillBitPageToReload) {
    // The user's list names kB in lower case: the run's kill bit is its kill bit too.
    const std::string lowerB = "{bbbbbbbb-1111-2222-3333-444444444444}";
    rig.WriteProgramFile("core/killbit.txt", lowerB + " Mine\r\n");
    Open();
    Database({kB}, {"Beta"}, {});
    CCLSIDDlg kb(*app, nullptr);
    page->setKillBitPage(&kb);
    auto* kbList = kb.controlAs<QTreeWidget>(1003);
    ASSERT_EQ(kbList->topLevelItemCount(), 1);
    EXPECT_EQ(kbList->topLevelItem(0)->checkState(0), Qt::Unchecked);
    DbLoaded();

    Check(1062)->click();
    rig.ui.rig.debug.Clear();
    page->controlAs<QPushButton>(1014)->click();
    ASSERT_TRUE(test::WaitFor([&] {
        return kbList->topLevelItem(0) && kbList->topLevelItem(0)->checkState(0) == Qt::Checked;
    }));
    EXPECT_NE(rig.ui.rig.debug.Text().find("OnKbRefresh...\n"), std::string::npos);
    EXPECT_EQ(kb.controlAs<QLabel>(1023)->text(), "전체 1 개 중 1 개가 차단 상태입니다.");
}

TEST_F(AxPage, ColumnsFollowTheListWidthAndTheFirstCannotBeResized) {
    Open();
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    const QRect listBefore = list()->geometry();
    const QRect progressBefore = page->control(1005)->geometry();
    const QRect runBefore = page->control(1014)->geometry();

    page->resize(page->width() + 60, page->height() + 30);
    EXPECT_EQ(list()->width(), listBefore.width() + 60);
    EXPECT_EQ(list()->height(), listBefore.height() + 30);
    EXPECT_EQ(page->control(1005)->geometry(), progressBefore.translated(60, 30));
    EXPECT_EQ(page->control(1014)->geometry(), runBefore.translated(0, 30));
    EXPECT_EQ(list()->columnWidth(0), list()->width() - 104);
    EXPECT_EQ(list()->columnWidth(1), 80);

    auto* header = qobject_cast<CLockHeader*>(list()->header());
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->locking());
    header->resizeSection(0, 40);
    EXPECT_EQ(list()->columnWidth(0), list()->width() - 104);
}

// ---- the width-locking header on its own

TEST(LockHeader, RefusesWidthChangesOfLockedColumnsWhileLocking) {
    test::EnsureQtApp();
    QTreeWidget view;
    auto* header = new CLockHeader(&view);
    view.setHeader(header);
    view.setHeaderLabels({"a", "b", "c"});
    header->setLocking(false);
    view.setColumnWidth(0, 120);
    view.setColumnWidth(1, 90);
    header->Lock(0);
    header->setLocking(true);
    EXPECT_TRUE(header->isLocked(0));
    EXPECT_FALSE(header->isLocked(1));

    header->resizeSection(0, 300);
    EXPECT_EQ(header->sectionSize(0), 120);
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Fixed);  // no divider to drag
    header->resizeSection(1, 50);                                 // an unlocked column changes
    EXPECT_EQ(header->sectionSize(1), 50);
    EXPECT_EQ(header->sectionResizeMode(1), QHeaderView::Interactive);

    header->setLocking(false);
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Interactive);
    header->resizeSection(0, 300);
    EXPECT_EQ(header->sectionSize(0), 300);
}

}  // namespace
}  // namespace veldan::ui
