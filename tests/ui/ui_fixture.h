#pragma once
// What the user-interface tests share: one QApplication on the offscreen
// platform, a prompter that answers from a script and records every question,
// and an application state over a test machine image.

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "support/platform_rig.h"
#include "ui/app_state.h"
#include "ui/prompter.h"

namespace veldan::test {

// The application object of the test program (created on first use).
inline QApplication& EnsureQtApp() {
    static int argc = 1;
    static char name[] = "veldan-ui-test";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// One question the program asked.
struct Asked {
    QString text;
    QString caption;
    ui::MsgIcon icon = ui::MsgIcon::Information;
    ui::MsgButtons buttons = ui::MsgButtons::Ok;
    bool defaultNo = false;
};

class ScriptedPrompter final : public ui::Prompter {
  public:
    // Answers for the coming Yes/No questions, in order; IDNO when none is left.
    std::deque<ui::MsgAnswer> answers;
    // Called while a message box is "open" (before it is answered), e.g. to
    // look at the state of a worker paused by the question.
    std::function<void(const Asked&)> onAsk;
    std::vector<Asked> asked;
    QString saveAnswer;       // AskSaveFile's answer
    QString folderAnswer;     // AskFolder's answer
    QString proposedSave;     // what AskSaveFile proposed
    QString saveFilter;       // and with which filter
    QStringList opened;       // files handed to the text viewer
    bool viewerOpens = true;  // false: the desktop has nothing that opens them

    ui::MsgAnswer Message(QWidget*, const QString& text, const QString& caption, ui::MsgIcon icon,
                          ui::MsgButtons buttons, bool defaultNo) override {
        asked.push_back({text, caption, icon, buttons, defaultNo});
        if (onAsk) onAsk(asked.back());
        if (buttons == ui::MsgButtons::Ok) return ui::IDOK;
        if (answers.empty()) return ui::IDNO;
        ui::MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString AskSaveFile(QWidget*, const QString& proposed, const QString& filter) override {
        proposedSave = proposed;
        saveFilter = filter;
        return saveAnswer;
    }
    QString AskFolder(QWidget*, const QString&, const QString&) override { return folderAnswer; }
    void OpenInTextViewer(QWidget*, const QString& path, std::function<void()> failed) override {
        opened << path;
        if (!viewerOpens && failed) failed();
    }
};

// A platform rig with the application state the pages use; the program folder
// is a folder of the rig's temporary directory.
struct UiRig {
    PlatformRig rig;
    ScriptedPrompter prompter;
    std::unique_ptr<ui::AppState> app;
    int machineChanges = 0;

    // Loads the image and builds the state; `programFolder` defaults to <tmp>/program.
    ui::AppState& Load(std::string programFolder = {}) {
        EnsureQtApp();
        platform::Context& ctx = rig.Load();
        if (programFolder.empty()) programFolder = rig.dir.path().string() + "/program";
        ctx.setProgramFolder(programFolder);
        app = std::make_unique<ui::AppState>(ctx, programFolder, prompter);
        app->machineChanged = [this] { ++machineChanges; };
        return *app;
    }
};

// Processes events until `done()` or the time limit (ms); returns done().
template <class F>
bool WaitFor(F done, int timeoutMs = 20000) {
    return QTest::qWaitFor(done, timeoutMs);
}

}  // namespace veldan::test
