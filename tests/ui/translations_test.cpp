// Qt's own dialogs in Korean: the save dialog of "로그 저장" and the folder
// dialog that asks for the machine show Qt's texts from its Korean catalogue,
// with the log's filter and extension.
#include "ui/translations.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "support/temp_dir.h"
#include "ui/prompter.h"
#include "ui/scan_result_page.h"
#include "ui/veldan_app.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

bool HasHangul(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3) return true;
    }
    return false;
}

class KoreanDialogs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        QApplication& app = test::EnsureQtApp();
        installed = InstallKoreanTranslations(app);
    }
    // The texts a user reads in `dialog` (Qt's widget dialog): labels and buttons.
    static QStringList Texts(QFileDialog& dialog) {
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        QStringList texts;
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            auto* label = dialog.findChild<QLabel*>(name);
            EXPECT_NE(label, nullptr) << name;
            if (label) texts << label->text();
        }
        auto* box = dialog.findChild<QDialogButtonBox*>("buttonBox");
        EXPECT_NE(box, nullptr);
        if (box) {
            for (QAbstractButton* b : box->buttons()) texts << b->text();
        }
        return texts;
    }

    static inline bool installed = false;
    test::TempDir dir;
};

TEST_F(KoreanDialogs, TheSaveDialogOfTheLogSpeaksKoreanAndProposesATextFile) {
    ASSERT_TRUE(installed) << "qtbase_ko.qm is missing (qt6-translations-l10n)";
    const QString proposed = QString::fromStdString(dir.str()) + "/scanlog_20261208_1765180000.txt";
    std::unique_ptr<QFileDialog> dialog(MakeSaveFileDialog(nullptr, proposed, LogFileFilter()));
    const QStringList texts = Texts(*dialog);
    ASSERT_EQ(texts.size(), 5);  // three labels, "저장" and "취소"
    for (const QString& t : texts) EXPECT_TRUE(HasHangul(t)) << t.toStdString();
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(HasHangul(dialog->windowTitle())) << dialog->windowTitle().toStdString();

    // "모든 파일" with every name, the proposed name in the proposed folder, and
    // ".txt" added to a name typed without an extension.
    EXPECT_EQ(dialog->nameFilters(), QStringList{"모든 파일 (*.*)"});
    EXPECT_EQ(dialog->findChild<QLineEdit*>("fileNameEdit")->text(),
              "scanlog_20261208_1765180000.txt");
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
              QDir(QString::fromStdString(dir.str())).canonicalPath());
    EXPECT_EQ(dialog->defaultSuffix(), "txt");
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(KoreanDialogs, TheFolderDialogAtStartSpeaksKorean) {
    ASSERT_TRUE(installed);
    std::unique_ptr<QFileDialog> dialog(
        MakeFolderDialog(nullptr, MachineFolderTitle(), QString::fromStdString(dir.str())));
    const QStringList texts = Texts(*dialog);
    ASSERT_EQ(texts.size(), 5);  // "디렉터리:" among the labels, "선택" and "취소"
    for (const QString& t : texts) EXPECT_TRUE(HasHangul(t)) << t.toStdString();
    EXPECT_EQ(dialog->windowTitle(), "검사할 컴퓨터의 폴더를 선택하세요");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
}

TEST_F(KoreanDialogs, FileKindsTheCatalogueLacksAreKoreanToo) {
    ASSERT_TRUE(installed);
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), "폴더");
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Drive"), "드라이브");
    // Everything else still comes from Qt's catalogue.
    EXPECT_TRUE(HasHangul(QCoreApplication::translate("QFileDialog", "Look in:")));
}

TEST_F(KoreanDialogs, StandardButtonsAndTheLocaleAreKorean) {
    ASSERT_TRUE(installed);
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_TRUE(HasHangul(box.button(QDialogButtonBox::Cancel)->text()));
    EXPECT_EQ(QLocale().language(), QLocale::Korean);
}

}  // namespace
}  // namespace veldan::ui
