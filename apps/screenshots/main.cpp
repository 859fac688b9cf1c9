// Renders every page of the main window over a copy of a machine image to PNG
// files: the HTML page, the start page before a scan, the scan results (also
// with an entry expanded), the result page while the cure closes the other
// programs and after the cure, the cure history with the cure just made, the
// two immunization pages, the save dialog of
// "로그 저장" and the folder dialog that asks for the machine (both with Qt's
// Korean texts), then every page again in a larger window. Runs on the
// offscreen platform; used by the "screenshots" build target to refresh
// docs/screenshots.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "machine/backends/open_machine.h"
#include "platform/folders.h"
#include "text/debug.h"
#include "ui/app_state.h"
#include "ui/clsid_page.h"
#include "ui/html_ctrl.h"
#include "ui/main_window.h"
#include "ui/prompter.h"
#include "ui/quarantine_dialog.h"
#include "ui/result_list.h"
#include "ui/scan_result_page.h"
#include "ui/start_page.h"
#include "ui/translations.h"
#include "ui/veldan_app.h"

namespace {

namespace fs = std::filesystem;
using namespace veldan;

// Answers every question without a window: OK, and No to a Yes/No question.
class SilentPrompter final : public ui::Prompter {
  public:
    ui::MsgAnswer Message(QWidget*, const QString& text, const QString&, ui::MsgIcon,
                          ui::MsgButtons buttons, bool) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return buttons == ui::MsgButtons::Ok ? ui::IDOK : ui::IDNO;
    }
    QString AskSaveFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString AskFolder(QWidget*, const QString&, const QString&) override { return {}; }
    void OpenInTextViewer(QWidget*, const QString&, std::function<void()>) override {}
};

bool Save(QWidget& window, const QString& folder, const char* name) {
    QString path = folder + "/" + name;
    bool ok = window.grab().save(path, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write",
                 path.toUtf8().constData());
    return ok;
}

bool Shoot(QWidget& window, const QString& folder, const char* name) {
    QCoreApplication::processEvents();
    return Save(window, folder, name);
}

// Shows `dialog` as the program would, renders it and closes it.
bool ShootDialog(QFileDialog* dialog, const QString& folder, const char* name) {
    std::unique_ptr<QFileDialog> owned(dialog);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->resize(760, 440);
    dialog->show();
    QTest::qWait(300);  // the file list is read in the background
    const bool ok = Shoot(*dialog, folder, name);
    dialog->close();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    veldan::ui::PreferKoreanDates();
    QApplication qt(argc, argv);
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Gulim"), QStringLiteral("NanumGothic"), font.family()});
    font.setPointSize(9);
    QApplication::setFont(font);
    if (!ui::InstallKoreanTranslations(qt))
        std::fprintf(stderr, "Qt's Korean texts are missing (qt6-translations-l10n)\n");

    QStringList args = QApplication::arguments();
    QString programSource, machineSource, out;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--program-folder") programSource = args[i + 1];
        if (args[i] == "--machine") machineSource = args[i + 1];
        if (args[i] == "--out") out = args[i + 1];
    }
    if (programSource.isEmpty() || machineSource.isEmpty() || out.isEmpty()) {
        std::fprintf(stderr,
                     "usage: veldan-screenshots --program-folder DIR --machine DIR --out DIR\n");
        return 2;
    }

    // Work on copies: the scan cures the machine and the KillBit page saves its list.
    QTemporaryDir work;
    const std::string program = work.path().toStdString() + "/program";
    const std::string machineFolder = work.path().toStdString() + "/machine";
    fs::copy(programSource.toStdString(), program, fs::copy_options::recursive);
    fs::copy(machineSource.toStdString(), machineFolder, fs::copy_options::recursive);
    fs::create_directories(program + "/core");
    std::ofstream(program + "/core/killbit.txt")
        << "{6BF52A52-394A-11D3-B153-00C04F79FAA6} Media Player\n"
        << "{D27CDB6E-AE6D-11CF-96B8-444553540000} Flash Player\n"
        << "{8856F961-340A-11D0-A96B-00C04FD705A2} Web Browser Control\n";
    QDir().mkpath(out);

    machine::MachineError error;
    auto opened = machine::OpenMachine(machineFolder, {}, error);
    if (!opened) {
        std::fprintf(stderr, "cannot open the machine: %s\n", error.ToString().c_str());
        return 1;
    }
    // Journaled as the program opens it: the cure keeps what it removes.
    auto machine = quarantine::Journaled(std::move(opened));
    text::NullDebugSink debug;
    platform::Context ctx(*machine, debug);
    ctx.setProgramFolder(program);
    platform::InitFolderTable(ctx);
    SilentPrompter prompter;
    ui::AppState app(ctx, program, prompter);
    app.homePage = "http://www.veldan.test/";
    app.layout = ui::ReadLayoutFile(program + "/data/layout");
    app.journal = machine.get();

    ui::CMainDlg window(app);
    window.show();
    auto* startButton = window.startPage()->findChild<QPushButton*>("button1046");
    if (!QTest::qWaitFor([&] { return startButton->isEnabled(); }, 30000)) return 1;

    int failures = 0;
    failures += !Shoot(window, out, "01-main.png");
    window.html()->OnAppCmd("snd");
    failures += !Shoot(window, out, "02-start.png");

    startButton->click();
    ui::CScanResultDlg* scan = window.scanPage();
    QTest::qWait(50);
    if (!QTest::qWaitFor([&] { return !scan->WorkerExists(); }, 120000)) return 1;
    failures += !Shoot(window, out, "03-scan-results.png");

    // Expand the first entry with a click left of its check box.
    auto* list = scan->findChild<ui::CResultList*>("list1003");
    if (list && list->model().RowCount() > 0) {
        QRect row = list->RowRect(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(8, row.center().y()));
    }
    failures += !Shoot(window, out, "04-scan-expanded.png");

    scan->findChild<QPushButton*>("button1016")->click();
    scan->findChild<QPushButton*>("button1004")->click();
    // At once, while the cure's thread closes the other programs.
    failures += !Save(window, out, "05-closing-programs.png");
    QTest::qWait(50);
    if (!QTest::qWaitFor([&] { return !scan->WorkerExists(); }, 120000)) return 1;
    failures += !Shoot(window, out, "06-cured.png");
    {
        ui::CQuarantineDlg history(app, &window);
        history.show();
        failures += !Shoot(history, out, "16-cure-history.png");
        history.reject();
    }

    window.html()->OnAppCmd("imm");
    failures += !Shoot(window, out, "07-immunization.png");
    window.html()->OnAppCmd("kb");
    // Sorted by identifier, ascending: the mark points up.
    auto* killBits = window.clsidPage()->findChild<QTreeWidget*>("list1003");
    QHeaderView* header = killBits->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    failures += !Shoot(window, out, "08-killbit.png");

    // The dialogs, in Korean; the save dialog opens in the log folder, as 로그 저장 makes it.
    QDir().mkpath(QFileInfo(scan->ProposedLogPath()).path());
    failures +=
        !ShootDialog(ui::MakeSaveFileDialog(&window, scan->ProposedLogPath(), ui::LogFileFilter()),
                     out, "09-save-log-dialog.png");
    failures += !ShootDialog(ui::MakeFolderDialog(nullptr, ui::MachineFolderTitle(),
                                                  QString::fromStdString(machineFolder)),
                             out, "10-folder-dialog.png");

    // Every page in a larger window: the HTML page and the pages grow with it.
    window.resize(1024, 720);
    window.html()->OnAppCmd("home");
    failures += !Shoot(window, out, "11-large-main.png");
    window.html()->OnAppCmd("snd");
    failures += !Shoot(window, out, "12-large-scan-results.png");
    window.html()->OnAppCmd("imm");
    failures += !Shoot(window, out, "13-large-immunization.png");
    window.html()->OnAppCmd("kb");
    failures += !Shoot(window, out, "14-large-killbit.png");
    scan->findChild<QPushButton*>("button1033")->click();  // back to the start page
    QTest::qWait(50);
    window.html()->OnAppCmd("snd");
    failures += !Shoot(window, out, "15-large-start.png");
    return failures ? 1 : 0;
}
