// The KillBit page: the list file it reads and writes, ticks that set and
// remove kill bits at once, block all / unblock all, adding, editing and
// deleting entries through the entry dialog and the question, sorting by a
// header click, the reload after an immunization run, and its layout.

#include "ui/clsid_page.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "dialog_driver.h"
#include "engine/scramble.h"
#include "immunize_rig.h"
#include "text/codepage.h"
#include "text/strings.h"
#include "ui/killbit_dialog.h"

namespace veldan::ui {
namespace {

const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string kC = "{CCCCCCCC-1111-2222-3333-444444444444}";
const std::string kD = "{DDDDDDDD-1111-2222-3333-444444444444}";

std::string Scrambled(const std::string& utf8Line) {
    std::string out;
    engine::Scramble(text::Utf8ToCp949(utf8Line), out);
    return out;
}

// ---- the sort order, without widgets

TEST(KillBitSort, OrdersByTheColumnIgnoringAsciiCaseAndKeepsTiesInPlace) {
    const std::vector<engine::KillBitEntry> entries = {
        {"{CCCC}", "beta"}, {"{aaaa}", "Alpha"}, {"{BBBB}", "Gamma"}, {"{dddd}", "ALPHA"}};
    // Case-sensitive order would put "Gamma" before "beta".
    EXPECT_EQ(KillBitSortOrder(entries, kKillBitNameColumn, true), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_EQ(KillBitSortOrder(entries, kKillBitNameColumn, false), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(KillBitSortOrder(entries, kKillBitClsidColumn, true), (std::vector<int>{1, 2, 0, 3}));
    EXPECT_EQ(KillBitSortOrder(entries, kKillBitClsidColumn, false),
              (std::vector<int>{3, 0, 2, 1}));
    EXPECT_TRUE(KillBitSortOrder({}, kKillBitNameColumn, true).empty());

    const std::vector<int> order = {2, 0, 1};
    EXPECT_EQ(IndexAfterReorder(order, 2), 0);
    EXPECT_EQ(IndexAfterReorder(order, 1), 2);
    EXPECT_EQ(IndexAfterReorder(order, -1), -1);
    EXPECT_EQ(IndexAfterReorder(order, 5), -1);
}

TEST(KillBitSort, ReorderTakesOnlyAPermutation) {
    test::PlatformRig rig;
    platform::Context& ctx = rig.Load();
    engine::KillBitList list(ctx);
    list.Add("a", "{1}");
    list.Add("b", "{2}");
    list.Add("c", "{3}");
    EXPECT_EQ(list.Reorder({0, 0, 1}), 0);
    EXPECT_EQ(list.Reorder({0, 1}), 0);
    EXPECT_EQ(list.Reorder({0, 1, 3}), 0);
    EXPECT_EQ(list.entries()[0].name, "a");  // refused orders change nothing
    EXPECT_EQ(list.Reorder({2, 0, 1}), 1);
    EXPECT_EQ(list.entries()[0].name, "c");
    EXPECT_EQ(list.entries()[1].name, "a");
    EXPECT_EQ(list.entries()[2].name, "b");
}

// ---- the page

class ClsidPage : public testing::Test {
  protected:
    // Loads the machine (kill bit of kA set) and creates the page.
    void Open(const std::string& extraReg = {}) {
        app = &rig.Load("[HKEY_LOCAL_MACHINE\\" + test::kCompatKey + "\\" + kA +
                        "]\n\"Compatibility Flags\"=dword:00000400\n" + extraReg);
        page = std::make_unique<CCLSIDDlg>(*app, nullptr);
    }
    // Destroys the page, which writes the list file.
    void Close() { page.reset(); }

    QTreeWidget* list() { return page->controlAs<QTreeWidget>(1003); }
    QString CountText() { return page->controlAs<QLabel>(1023)->text(); }
    void Click(int id) { page->controlAs<QPushButton>(id)->click(); }
    QStringList Column(int column) { return test::ListColumn(list(), column); }
    QList<bool> Ticks() { return test::ListTicks(list()); }
    int Selected() {
        const auto items = list()->selectedItems();
        return items.isEmpty() ? -1 : list()->indexOfTopLevelItem(items.front());
    }
    void Select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    void ShowPage() {
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    void ClickHeader(int column) {
        QHeaderView* h = list()->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 10, h->height() / 2));
    }
    // Answers the next entry dialog with these texts; `submissions` more than
    // one are typed one after the other (the earlier ones being refused), and
    // the dialog is cancelled when it is still open after the last.
    void AnswerDialog(std::vector<std::pair<QString, QString>> submissions) {
        test::WhenDialogOpens<CKillBitDlg>([this, submissions](CKillBitDlg* dlg) {
            seenName = dlg->findChild<QLineEdit*>("edit1028")->text();
            seenClsid = dlg->findChild<QLineEdit*>("edit1029")->text();
            for (const auto& [name, clsid] : submissions) {
                dlg->findChild<QLineEdit*>("edit1028")->setText(name);
                dlg->findChild<QLineEdit*>("edit1029")->setText(clsid);
                dlg->findChild<QPushButton*>("button1")->click();
                if (!dlg->isVisible()) return;
            }
            dlg->reject();
        });
    }

    test::ImmunizeRig rig;
    AppState* app = nullptr;
    std::unique_ptr<CCLSIDDlg> page;
    QString seenName, seenClsid;  // what the last entry dialog showed when it opened
};

TEST_F(ClsidPage, LoadsThePlainFileAndSavesItWithoutLinesLackingASpace) {
    rig.WriteProgramFile("core/killbit.txt",
                         kA + " First entry\r\nnospace\r\n  " + kB + "\r\n" + kC + "   Third  \n");
    rig.WriteProgramFile("data/killbit", Scrambled(kD + " Scrambled") + "\r\n");
    Open();
    EXPECT_EQ(list()->headerItem()->text(0), "이름");
    EXPECT_EQ(list()->headerItem()->text(1), "CLSID");
    // Text before the first space is the identifier, so the indented line has
    // an empty identifier and the rest as its name.
    EXPECT_EQ(Column(0), (QStringList{"First entry", QString::fromStdString(kB), "Third"}));
    EXPECT_EQ(Column(1), (QStringList{QString::fromStdString(kA), "", QString::fromStdString(kC)}));
    EXPECT_EQ(Ticks(), (QList<bool>{true, false, false}));
    EXPECT_EQ(CountText(), "전체 3 개 중 1 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 0);  // loading changes nothing

    Close();
    EXPECT_EQ(rig.ReadProgramFile("core/killbit.txt"),
              kA + " First entry\r\n " + kB + "\r\n" + kC + " Third\r\n");
    EXPECT_EQ(rig.ReadProgramFile("data/killbit"), Scrambled(kD + " Scrambled") + "\r\n");
}

TEST_F(ClsidPage, UsesTheScrambledFileWhenThereIsNoPlainOne) {
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80";  // UTF-8 of two syllables
    rig.WriteProgramFile("data/killbit", Scrambled(kB + " " + korean) + "\r\n");
    Open();
    EXPECT_EQ(Column(0), (QStringList{QString::fromUtf8(korean.c_str())}));
    EXPECT_EQ(Column(1), (QStringList{QString::fromStdString(kB)}));

    AnswerDialog({{"Added", QString::fromStdString(kC)}});
    Click(1019);
    Close();
    EXPECT_EQ(rig.ReadProgramFile("data/killbit"),
              Scrambled(kB + " " + korean) + "\r\n" + Scrambled(kC + " Added") + "\r\n");
    EXPECT_FALSE(rig.ProgramFileExists("core/killbit.txt"));
}

TEST_F(ClsidPage, WithoutAnyFileStartsEmptyAndCreatesTheScrambledFile) {
    rig.WriteProgramFile("data/.keep", "");
    Open();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(CountText(), "전체 0 개 중 0 개가 차단 상태입니다.");
    AnswerDialog({{"Only", QString::fromStdString(kB)}});
    Click(1019);
    Close();
    EXPECT_EQ(rig.ReadProgramFile("data/killbit"), Scrambled(kB + " Only") + "\r\n");
}

TEST_F(ClsidPage, ATickSetsOrRemovesTheKillBitAtOnce) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n" + kB + " B\r\n");
    Open();
    rig.ui.rig.debug.Clear();

    // What a click on the check box does to the item.
    list()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(rig.Flags(kB), 0x400);
    EXPECT_EQ(CountText(), "전체 2 개 중 2 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.rig.debug.Text(), "AxDlg::CHECK\n");
    EXPECT_EQ(rig.ui.machineChanges, 1);

    rig.ui.rig.debug.Clear();
    list()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(rig.HasCompatKey(kA));
    EXPECT_EQ(CountText(), "전체 2 개 중 1 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.rig.debug.Text(), "AxDlg::UNCHECK\n");
    EXPECT_EQ(rig.ui.machineChanges, 2);

    // A change of a text is no click.
    list()->topLevelItem(1)->setText(0, "B renamed");
    EXPECT_EQ(rig.Flags(kB), 0x400);
    EXPECT_EQ(rig.ui.machineChanges, 2);
}

TEST_F(ClsidPage, BlockAllAndUnblockAllWriteEveryEntry) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n" + kB + " B\r\n" + kC + " C\r\n");
    Open("[HKEY_LOCAL_MACHINE\\" + test::kCompatKey + "\\" + kB +
         "]\n\"Compatibility Flags\"=dword:00000401\n\"Other\"=\"x\"\n");
    Select(1);

    Click(1016);
    EXPECT_EQ(Ticks(), (QList<bool>{true, true, true}));
    for (const std::string& id : {kA, kB, kC}) EXPECT_EQ(rig.Flags(id), 0x400) << id;
    EXPECT_EQ(CountText(), "전체 3 개 중 3 개가 차단 상태입니다.");
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(rig.ui.machineChanges, 1);

    Click(1017);
    EXPECT_EQ(Ticks(), (QList<bool>{false, false, false}));
    // The whole ActiveX Compatibility key goes, not only its flags.
    for (const std::string& id : {kA, kB, kC}) EXPECT_FALSE(rig.HasCompatKey(id)) << id;
    EXPECT_TRUE(rig.HasKey(machine::HKEY_LOCAL_MACHINE, test::kCompatKey));
    EXPECT_EQ(CountText(), "전체 3 개 중 0 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 2);
}

TEST_F(ClsidPage, AddValidatesThroughTheDialogAndAppendsAnUntickedEntry) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n");
    Open();
    app->ctx.db().KillBitClsids = {kC};
    app->ctx.db().KillBitNames = {"Known"};
    const QString lowerA = QString::fromStdString(kA).toLower();
    const QString lowerC = QString::fromStdString(kC).toLower();

    AnswerDialog({{"", lowerA},
                  {"Dup", lowerA},                      // differs only in case: a duplicate
                  {"Imm", QString::fromStdString(kC)},  // an immunization identifier
                  {" Mine ", lowerC}});                 // that one in another case is fine
    Click(1019);
    EXPECT_TRUE(seenName.isEmpty());
    EXPECT_TRUE(seenClsid.isEmpty());
    QStringList messages;
    for (const test::Asked& a : rig.ui.prompter.asked) {
        messages << a.text;
        EXPECT_EQ(a.caption, "KillBit");
    }
    EXPECT_EQ(messages, (QStringList{"이름을 입력해야 합니다.",
                                     "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.",
                                     "면역, 예방으로 차단 가능한 CLSID입니다. 다시 입력하세요."}));
    EXPECT_EQ(Column(0), (QStringList{"A", "Mine"}));
    EXPECT_EQ(Column(1), (QStringList{QString::fromStdString(kA), lowerC}));
    EXPECT_EQ(Ticks(), (QList<bool>{true, false}));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(CountText(), "전체 2 개 중 1 개가 차단 상태입니다.");
    EXPECT_FALSE(rig.HasCompatKey(kC));  // adding writes no kill bit
    EXPECT_EQ(rig.ui.machineChanges, 0);

    // A cancelled dialog adds nothing.
    AnswerDialog({});
    Click(1019);
    EXPECT_EQ(list()->topLevelItemCount(), 2);
}

TEST_F(ClsidPage, EditReplacesTheTextsOfTheSelectedEntry) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n" + kB + " B\r\n");
    Open();
    ShowPage();

    // Nothing selected: nothing to edit (no dialog opens).
    list()->clearSelection();
    Click(1073);
    EXPECT_EQ(Column(0), (QStringList{"A", "B"}));

    // A new name keeps the tick and the kill bit.
    Select(0);
    AnswerDialog({{"A renamed", QString::fromStdString(kA)}});
    Click(1073);
    EXPECT_EQ(seenName, "A");
    EXPECT_EQ(seenClsid, QString::fromStdString(kA));
    EXPECT_EQ(Column(0), (QStringList{"A renamed", "B"}));
    EXPECT_EQ(Ticks(), (QList<bool>{true, false}));
    EXPECT_EQ(Selected(), 0);

    // Another identifier: the tick shows that identifier's kill bit; the old
    // kill bit is left as it is.
    AnswerDialog({{"D", QString::fromStdString(kD)}});
    Click(1073);
    EXPECT_EQ(Column(1), (QStringList{QString::fromStdString(kD), QString::fromStdString(kB)}));
    EXPECT_EQ(Ticks(), (QList<bool>{false, false}));
    EXPECT_EQ(rig.Flags(kA), 0x400);
    EXPECT_EQ(CountText(), "전체 2 개 중 0 개가 차단 상태입니다.");

    // Editing into the other entry's identifier is refused.
    AnswerDialog({{"D", QString::fromStdString(kB)}});
    Click(1073);
    EXPECT_EQ(rig.ui.prompter.asked.back().text,
              "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.");
    EXPECT_EQ(Column(1), (QStringList{QString::fromStdString(kD), QString::fromStdString(kB)}));
}

TEST_F(ClsidPage, ADoubleClickRightOfTheCheckBoxEdits) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n" + kB + " B\r\n");
    Open();
    ShowPage();
    QWidget* viewport = list()->viewport();
    const QRect row1 = list()->visualItemRect(list()->topLevelItem(1));

    AnswerDialog({{"B by double-click", QString::fromStdString(kB)}});
    QTest::mouseDClick(viewport, Qt::LeftButton, {},
                       QPoint(list()->columnWidth(0) + 10, row1.center().y()));
    EXPECT_EQ(seenName, "B");
    EXPECT_EQ(Column(0), (QStringList{"A", "B by double-click"}));

    // On the check box: no dialog.
    seenName.clear();
    test::WhenDialogOpens<CKillBitDlg>(
        [this](CKillBitDlg* dlg) {
            seenName = "opened";
            dlg->reject();
        },
        5);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(2, row1.center().y()));
    QTest::qWait(200);
    EXPECT_TRUE(seenName.isEmpty());
}

TEST_F(ClsidPage, DeleteAsksFirstAndRemovesTheKillBitOnlyOnYes) {
    rig.WriteProgramFile("core/killbit.txt", kB + " B\r\n" + kA + " A\r\n" + kC + " C\r\n");
    Open();

    list()->clearSelection();
    Click(1020);
    ASSERT_EQ(rig.ui.prompter.asked.size(), 1u);
    EXPECT_EQ(rig.ui.prompter.asked[0].text, "먼저 삭제할 항목을 선택해야 합니다.");
    EXPECT_EQ(rig.ui.prompter.asked[0].caption, "삭제");
    EXPECT_EQ(rig.ui.prompter.asked[0].icon, MsgIcon::Information);
    EXPECT_EQ(list()->topLevelItemCount(), 3);

    // No: nothing changes, the kill bit stays.
    Select(1);
    rig.ui.prompter.answers = {IDNO};
    Click(1020);
    ASSERT_EQ(rig.ui.prompter.asked.size(), 2u);
    const test::Asked& q = rig.ui.prompter.asked[1];
    EXPECT_EQ(q.text, QString::fromStdString("\"A " + kA + "\" 항목을 삭제할까요?"));
    EXPECT_EQ(q.caption, "확인");
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_TRUE(q.defaultNo);
    EXPECT_EQ(Column(0), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(rig.Flags(kA), 0x400);
    EXPECT_EQ(Ticks(), (QList<bool>{false, true, false}));
    EXPECT_EQ(rig.ui.machineChanges, 0);

    // Yes: the entry and its kill bit go; the entry now at that row is selected.
    rig.ui.prompter.answers = {IDYES};
    Click(1020);
    EXPECT_EQ(Column(0), (QStringList{"B", "C"}));
    EXPECT_FALSE(rig.HasCompatKey(kA));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(CountText(), "전체 2 개 중 0 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 1);

    // Deleting the last row selects the one before it.
    rig.ui.prompter.answers = {IDYES};
    Click(1020);
    EXPECT_EQ(Column(0), (QStringList{"B"}));
    EXPECT_EQ(Selected(), 0);

    Close();
    EXPECT_EQ(rig.ReadProgramFile("core/killbit.txt"), kB + " B\r\n");
}

TEST_F(ClsidPage, HeaderClicksSortAndTheFileKeepsTheOrder) {
    rig.WriteProgramFile("core/killbit.txt", "{CCCC} beta\r\n{aaaa} Alpha\r\n{BBBB} Gamma\r\n");
    Open();
    ShowPage();
    QHeaderView* header = list()->header();
    EXPECT_FALSE(header->isSortIndicatorShown());
    Select(0);  // "beta"

    ClickHeader(0);
    EXPECT_EQ(Column(0), (QStringList{"Alpha", "beta", "Gamma"}));
    EXPECT_EQ(page->sortState().column, 0);
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Selected(), 1);  // the selection follows its entry

    ClickHeader(0);
    EXPECT_EQ(Column(0), (QStringList{"Gamma", "beta", "Alpha"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    ClickHeader(1);
    EXPECT_EQ(Column(1), (QStringList{"{aaaa}", "{BBBB}", "{CCCC}"}));
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    // Ticks stay with their entries.
    list()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    ClickHeader(1);
    EXPECT_EQ(Column(1), (QStringList{"{CCCC}", "{BBBB}", "{aaaa}"}));
    EXPECT_EQ(Ticks(), (QList<bool>{false, false, true}));
    EXPECT_EQ(page->entries().entries()[2].clsid, "{aaaa}");
    EXPECT_TRUE(page->entries().entries()[2].blocked);

    Close();
    EXPECT_EQ(rig.ReadProgramFile("core/killbit.txt"),
              "{CCCC} beta\r\n{BBBB} Gamma\r\n{aaaa} Alpha\r\n");
}

// +1 when the sort mark of `header` points up, -1 when it points down, 0 when
// none is drawn: the pixels the mark adds to the right end of the sorted
// section (the text moves over when the mark is shown), top half against
// bottom half (a mark pointing up is wider at its foot).
int MarkDirection(QHeaderView* header) {
    const int section = header->sortIndicatorSection();
    const int right = header->sectionViewportPosition(section) + header->sectionSize(section);
    const QImage with = header->grab().toImage();
    header->setSortIndicatorShown(false);
    const QImage without = header->grab().toImage();
    header->setSortIndicatorShown(true);
    std::vector<QPoint> mark;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = std::max(0, right - 24); x < std::min(right, with.width()); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y)) mark.push_back({x, y});
        }
    }
    if (mark.empty()) return 0;
    int top = with.height(), bottom = 0;
    for (const QPoint& p : mark) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    int upper = 0, lower = 0;
    for (const QPoint& p : mark) (2 * p.y() < top + bottom ? upper : lower)++;
    return lower > upper ? 1 : upper > lower ? -1 : 0;
}

TEST_F(ClsidPage, TheSortMarkPointsUpForAscendingOrder) {
    rig.WriteProgramFile("core/killbit.txt", kB + " b\r\n" + kA + " a\r\n");
    Open();
    ShowPage();
    ClickHeader(1);
    ASSERT_EQ(list()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(MarkDirection(list()->header()), 1);
    ClickHeader(1);
    ASSERT_EQ(list()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(MarkDirection(list()->header()), -1);
}

TEST_F(ClsidPage, AnIdentifierWiderThanItsColumnKeepsBothEnds) {
    rig.WriteProgramFile("core/killbit.txt", kA + " a\r\n");
    Open();
    ShowPage();
    QTreeWidgetItem* item = list()->topLevelItem(0);
    const QString id = QString::fromStdString(kA);
    ASSERT_GT(list()->fontMetrics().horizontalAdvance(id), list()->columnWidth(1));
    EXPECT_EQ(list()->textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(item->toolTip(1), id);
    // The text drawn in the cell is cut in the middle: its right end shows the
    // identifier's last characters ("4}", ink above the middle of the line),
    // not an ellipsis (ink on the baseline only).
    const QImage cells = list()->viewport()->grab().toImage();
    const QRect cell = list()->visualItemRect(item).adjusted(list()->columnWidth(0), 0, 0, 0);
    auto inked = [&](QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(cells.pixel(x, y)) < 128) return true;
        return false;
    };
    const int middle = cell.center().y();
    EXPECT_TRUE(inked(QRect(cell.left(), cell.top(), 20, middle - cell.top())));
    EXPECT_TRUE(inked(QRect(cell.right() - 20, cell.top(), 20, middle - cell.top() - 1)));
}

TEST_F(ClsidPage, SortingScrollsTheSelectedEntryIntoView) {
    std::string file;
    for (int i = 0; i < 80; ++i) file += text::Format("{%08d} name%02d\r\n", i, i);
    rig.WriteProgramFile("core/killbit.txt", file);
    Open();
    ShowPage();
    Select(0);
    ClickHeader(0);  // ascending: as loaded
    ClickHeader(0);  // descending: the selected entry is now the last row
    ASSERT_EQ(Selected(), 79);
    EXPECT_EQ(list()->topLevelItem(79)->text(0), "name00");
    const QRect shown = list()->visualItemRect(list()->topLevelItem(79));
    EXPECT_TRUE(list()->viewport()->rect().contains(shown)) << shown.y();
}

TEST_F(ClsidPage, RefreshReloadsTheFileAndKeepsUnsavedEntries) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n");
    Open();
    rig.ui.rig.debug.Clear();

    // Nothing changed on the page: the file is read again, ticks from the registry.
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n" + kB + " B\r\n");
    rig.SetFlags(kB, 0x400);
    PostAppMessage(page.get(), WM_KB_REFRESH);
    ASSERT_TRUE(test::WaitFor([&] { return list()->topLevelItemCount() == 2; }));
    EXPECT_EQ(rig.ui.rig.debug.Text(), "OnKbRefresh...\n");
    EXPECT_EQ(Ticks(), (QList<bool>{true, true}));
    EXPECT_EQ(CountText(), "전체 2 개 중 2 개가 차단 상태입니다.");

    // An entry added since the last save is not thrown away; the ticks still
    // show the registry.
    AnswerDialog({{"C", QString::fromStdString(kC)}});
    Click(1019);
    rig.SetFlags(kC, 0x400);
    rig.reg().DeleteTree(machine::HKEY_LOCAL_MACHINE, test::kCompatKey + "\\" + kA);
    rig.ui.rig.debug.Clear();
    PostAppMessage(page.get(), WM_KB_REFRESH);
    ASSERT_TRUE(test::WaitFor([&] { return !rig.ui.rig.debug.Text().empty(); }));
    EXPECT_EQ(Column(0), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(Ticks(), (QList<bool>{false, true, true}));
    EXPECT_EQ(CountText(), "전체 3 개 중 2 개가 차단 상태입니다.");
    EXPECT_EQ(rig.ui.machineChanges, 0);  // the refresh itself writes nothing
}

TEST_F(ClsidPage, ColumnsAndControlsFollowThePageSize) {
    rig.WriteProgramFile("core/killbit.txt", kA + " A\r\n");
    Open();
    ShowPage();
    QWidget* count = page->control(1023);
    QWidget* buttons[] = {page->control(1016), page->control(1017), page->control(1073),
                          page->control(1020), page->control(1019)};
    const QRect listBefore = list()->geometry();
    const QRect countBefore = count->geometry();
    std::vector<QRect> buttonsBefore;
    for (QWidget* b : buttons) buttonsBefore.push_back(b->geometry());

    page->resize(page->width() + 100, page->height());
    EXPECT_EQ(list()->width(), listBefore.width() + 100);
    EXPECT_EQ(count->width(), countBefore.width() + 100);
    for (std::size_t i = 0; i < buttonsBefore.size(); ++i) {
        EXPECT_EQ(buttons[i]->geometry(), buttonsBefore[i]) << i;
    }
    const int d = list()->width() - 24;
    EXPECT_EQ(list()->columnWidth(0), d / 3 * 2);
    EXPECT_EQ(list()->columnWidth(1), d - d / 3 * 2);

    page->resize(page->width(), page->height() + 40);
    EXPECT_EQ(list()->height(), listBefore.height() + 40);
    for (std::size_t i = 0; i < buttonsBefore.size(); ++i) {
        EXPECT_EQ(buttons[i]->geometry(), buttonsBefore[i].translated(0, 40)) << i;
    }
}

}  // namespace
}  // namespace veldan::ui
