#include "ui/prompter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

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

QFileDialog* MakeSaveFileDialog(QWidget* owner, const QString& proposed, const QString& filter) {
    auto* dialog = new QFileDialog(owner);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(filter);
    // It asks before overwriting by default; the read-only box does not exist here.
    const QFileInfo info(proposed);
    dialog->setDirectory(info.absolutePath());
    dialog->selectFile(info.fileName());
    dialog->setDefaultSuffix(info.suffix());
    return dialog;
}

QFileDialog* MakeFolderDialog(QWidget* owner, const QString& title, const QString& start) {
    auto* dialog = new QFileDialog(owner, title, start);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return dialog;
}

QString QtPrompter::AskSaveFile(QWidget* owner, const QString& proposed, const QString& filter) {
    std::unique_ptr<QFileDialog> dialog(MakeSaveFileDialog(owner, proposed, filter));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return dialog->selectedFiles().front();
}

QString QtPrompter::AskFolder(QWidget* owner, const QString& title, const QString& start) {
    std::unique_ptr<QFileDialog> dialog(MakeFolderDialog(owner, title, start));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return dialog->selectedFiles().front();
}

void QtPrompter::OpenInTextViewer(QWidget* owner, const QString& path,
                                  std::function<void()> failed) {
    // The desktop's opener tells by its exit status whether something opened
    // the file; Qt's own desktop services would only say so on standard error.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) && failed) failed();
        return;
    }
    // The opener belongs to the application, so that closing the page does not
    // end it; its report reaches `failed` only while the owner exists.
    QObject* context = owner ? static_cast<QObject*>(owner) : QCoreApplication::instance();
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({path});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto report = std::make_shared<std::function<void()>>(std::move(failed));
    QObject::connect(process, &QProcess::finished, context,
                     [process, report](int code, QProcess::ExitStatus status) {
                         if ((status != QProcess::NormalExit || code != 0) && *report) (*report)();
                         *report = nullptr;
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         if (*report) (*report)();
                         *report = nullptr;
                         process->deleteLater();
                     });
    process->start();
}

}  // namespace veldan::ui
