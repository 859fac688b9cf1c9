#pragma once
// Everything the pages ask the user or hand to the desktop goes through one
// interface: message boxes, the save-file and folder dialogs, and opening a
// file in the desktop's text viewer. The program uses the Qt implementation;
// tests answer with a scripted one and read back what was asked.

#include <QString>
#include <functional>

class QFileDialog;
class QWidget;

namespace veldan::ui {

enum class MsgIcon { Information, Warning, Question };
enum class MsgButtons { Ok, YesNo };
// Answers, with their Windows values.
enum MsgAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class Prompter {
  public:
    virtual ~Prompter() = default;
    // Shows a modal message box owned by `owner`; returns the button pressed.
    // `defaultNo` makes No the default button of a Yes/No box.
    virtual MsgAnswer Message(QWidget* owner, const QString& text, const QString& caption,
                              MsgIcon icon, MsgButtons buttons, bool defaultNo = false) = 0;
    // A save-file dialog proposing `proposed` with `filter` (Qt filter syntax),
    // asking before overwriting; a name typed without an extension gets the
    // proposed name's extension. Returns the chosen host path, "" when cancelled.
    virtual QString AskSaveFile(QWidget* owner, const QString& proposed, const QString& filter) = 0;
    // A folder dialog starting at `start`; returns the chosen folder, "" when cancelled.
    virtual QString AskFolder(QWidget* owner, const QString& title, const QString& start) = 0;
    // Opens a host text file in the desktop's text viewer. When no viewer can
    // be started, `failed` is called on this thread, at once or once the
    // desktop's opener has given up.
    virtual void OpenInTextViewer(QWidget* owner, const QString& path,
                                  std::function<void()> failed) = 0;
};

// Message boxes and dialogs of Qt; files open through the desktop's opener.
class QtPrompter final : public Prompter {
  public:
    MsgAnswer Message(QWidget* owner, const QString& text, const QString& caption, MsgIcon icon,
                      MsgButtons buttons, bool defaultNo) override;
    QString AskSaveFile(QWidget* owner, const QString& proposed, const QString& filter) override;
    QString AskFolder(QWidget* owner, const QString& title, const QString& start) override;
    void OpenInTextViewer(QWidget* owner, const QString& path,
                          std::function<void()> failed) override;
};

// The dialogs QtPrompter runs, set up but not shown (the screenshots show them
// as they are). The caller owns them.
QFileDialog* MakeSaveFileDialog(QWidget* owner, const QString& proposed, const QString& filter);
QFileDialog* MakeFolderDialog(QWidget* owner, const QString& title, const QString& start);

}  // namespace veldan::ui
