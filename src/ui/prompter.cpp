#include "ui/prompter.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace veldan::ui {

MsgAnswer QtPrompter::Message(QWidget* owner, const QString& text, const QString& caption,
                              MsgIcon icon, MsgButtons buttons, bool defaultNo) {
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon == MsgIcon::Information ? QMessageBox::Information
                : icon == MsgIcon::Warning   ? QMessageBox::Warning
                                             : QMessageBox::Question);
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("예(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("아니요(&N)"));
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    }
    int answer = box.exec();
    if (buttons == MsgButtons::Ok) return IDOK;
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

QString QtPrompter::AskSaveFile(QWidget* owner, const QString& proposed, const QString& filter) {
    // The file dialog asks before overwriting by default; the read-only box does not exist here.
    return QFileDialog::getSaveFileName(owner, QString(), proposed, filter);
}

QString QtPrompter::AskFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
}

bool QtPrompter::OpenInTextViewer(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace veldan::ui
