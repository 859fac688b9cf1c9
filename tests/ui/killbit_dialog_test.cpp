// The KillBit entry dialog: what OK refuses (with the message and the edit
// the user has to correct), what it takes, and how it looks.

#include "ui/killbit_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui_fixture.h"

namespace veldan::ui {
namespace {

const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string kImm = "{CCCCCCCC-1111-2222-3333-444444444444}";

class KillBitDialog : public testing::Test {
  protected:
    void SetUp() override {
        app = &rig.Load();
        app->ctx.db().KillBitClsids = {kImm};
        app->ctx.db().KillBitNames = {"Imm"};
    }
    QLineEdit* Edit(CKillBitDlg& dlg, int id) {
        return dlg.findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id));
    }
    // Types the texts and presses OK.
    void Submit(CKillBitDlg& dlg, const QString& name, const QString& clsid) {
        Edit(dlg, 1028)->setText(name);
        Edit(dlg, 1029)->setText(clsid);
        dlg.findChild<QPushButton*>(QStringLiteral("button1"))->click();
    }

    test::UiRig rig;
    AppState* app = nullptr;
    std::vector<engine::KillBitEntry> entries = {{kA, "A", false}, {kB, "B", true}};
};

TEST_F(KillBitDialog, LooksLikeTheEntryDialog) {
    CKillBitDlg dlg(*app, &entries, -1, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "KillBit");
    ASSERT_NE(Edit(dlg, 1028), nullptr);
    ASSERT_NE(Edit(dlg, 1029), nullptr);
    QStringList labels;
    for (QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("이름:"));
    EXPECT_TRUE(labels.contains("CLSID:"));
    EXPECT_EQ(dlg.findChild<QPushButton*>("button1")->text(), "확인");
    EXPECT_EQ(dlg.findChild<QPushButton*>("button2")->text(), "취소");

    dlg.setEntry("Old", QString::fromStdString(kA));
    EXPECT_EQ(Edit(dlg, 1028)->text(), "Old");
    EXPECT_EQ(Edit(dlg, 1029)->text(), QString::fromStdString(kA));
}

TEST_F(KillBitDialog, RefusalsSayWhyFocusTheEditAndStayOpen) {
    struct Case {
        QString name, clsid;
        QString message;
        const char* focus;
    };
    const QString lowerA = QString::fromStdString(kA).toLower();
    const std::vector<Case> cases = {
        {" \t", QString::fromStdString(kB), "이름을 입력해야 합니다.", "edit1028"},
        {"N", "  ", "CLSID를 입력해야 합니다.", "edit1029"},
        {"N", "{1234}", "CLSID가 유효하지 않습니다. 다시 입력하세요.", "edit1029"},
        {"N", QString::fromStdString(kImm),
         "면역, 예방으로 차단 가능한 CLSID입니다. 다시 입력하세요.", "edit1029"},
        {"N", lowerA, "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.", "edit1029"},
    };
    for (const Case& c : cases) {
        CKillBitDlg dlg(*app, &entries, -1, nullptr);
        dlg.show();
        bool openWhenAsked = false;
        rig.prompter.onAsk = [&](const test::Asked&) { openWhenAsked = dlg.isVisible(); };
        rig.prompter.asked.clear();
        Submit(dlg, c.name, c.clsid);
        ASSERT_EQ(rig.prompter.asked.size(), 1u) << c.message.toStdString();
        EXPECT_EQ(rig.prompter.asked[0].text, c.message);
        EXPECT_EQ(rig.prompter.asked[0].caption, "KillBit");
        EXPECT_EQ(rig.prompter.asked[0].icon, MsgIcon::Information);
        EXPECT_EQ(rig.prompter.asked[0].buttons, MsgButtons::Ok);
        EXPECT_TRUE(openWhenAsked);
        EXPECT_TRUE(dlg.isVisible());  // still open for a correction
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        ASSERT_NE(dlg.focusWidget(), nullptr);
        EXPECT_EQ(dlg.focusWidget()->objectName(), c.focus) << c.message.toStdString();
    }
    rig.prompter.onAsk = nullptr;
}

TEST_F(KillBitDialog, OkTakesTrimmedTextsAndSkipsTheEntryBeingEdited) {
    {
        // An immunization identifier in another case is the user's to block.
        CKillBitDlg dlg(*app, &entries, -1, nullptr);
        dlg.show();
        const QString lowerImm = QString::fromStdString(kImm).toLower();
        Submit(dlg, "  New entry ", " " + lowerImm + "\t");
        EXPECT_TRUE(rig.prompter.asked.empty());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.name(), "New entry");
        EXPECT_EQ(dlg.clsid(), lowerImm);
    }
    {
        // Editing entry 0 may keep its own identifier, in any case.
        CKillBitDlg dlg(*app, &entries, 0, nullptr);
        dlg.show();
        Submit(dlg, "A renamed", QString::fromStdString(kA).toLower());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.name(), "A renamed");
    }
    {
        // ... but not the identifier of entry 1.
        CKillBitDlg dlg(*app, &entries, 0, nullptr);
        dlg.show();
        Submit(dlg, "A", QString::fromStdString(kB));
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(rig.prompter.asked.size(), 1u);
        EXPECT_EQ(rig.prompter.asked[0].text, "CLSID가 이미 입력되어 있습니다. 다시 입력하세요.");
    }
    {
        // Without a list there is no duplicate test.
        CKillBitDlg dlg(*app, nullptr, -1, nullptr);
        dlg.show();
        Submit(dlg, "A", QString::fromStdString(kA));
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
}

TEST_F(KillBitDialog, CancelTakesNothing) {
    CKillBitDlg dlg(*app, &entries, -1, nullptr);
    dlg.show();
    Edit(dlg, 1028)->setText("");
    dlg.findChild<QPushButton*>("button2")->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(rig.prompter.asked.empty());  // no validation on cancel
    EXPECT_TRUE(dlg.name().isEmpty());
}

}  // namespace
}  // namespace veldan::ui
