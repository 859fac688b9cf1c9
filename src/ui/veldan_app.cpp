#include "ui/veldan_app.h"

#include <QApplication>
#include <QCoreApplication>

#include "engine/killbit_runs.h"
#include "machine/backends/open_machine.h"
#include "net/internet.h"
#include "platform/folders.h"
#include "platform/processes.h"
#include "platform/registry_ops.h"
#include "text/debug.h"
#include "ui/app_state.h"
#include "ui/html_ctrl.h"
#include "ui/instance_checker.h"
#include "ui/machine_error_text.h"
#include "ui/main_window.h"
#include "ui/update_check.h"

namespace veldan::ui {

bool ParseStartArgs(const QStringList& args, StartOptions& options, std::string& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a.toStdString() + " needs a value";
                return false;
            }
            out = args[++i].toStdString();
            return true;
        };
        if (a == QLatin1String("--machine")) {
            if (!value(options.machineFolder)) return false;
        } else if (a == QLatin1String("--program-folder")) {
            if (!value(options.programFolder)) return false;
        } else if (a == QLatin1String("--user")) {
            if (!value(options.user)) return false;
        } else if (a == QLatin1String("--force")) {
            options.force = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            options.help = true;
        } else {
            error = "unknown option: " + a.toStdString();
            return false;
        }
    }
    return true;
}

std::string StartUsage() {
    return "usage: Veldan [--machine DIR] [--user NAME] [--force] [--program-folder DIR]\n"
           "  --machine DIR         the machine image or mounted Windows installation to scan;\n"
           "                        without it a folder dialog asks (the last one is remembered)\n"
           "  --user NAME           the user profile of a Windows installation\n"
           "  --force               open registry hives that were not cleanly written\n"
           "  --program-folder DIR  the folder holding core/, data/ and Veldan.ini\n";
}

QString MachineFolderTitle() {
    return QStringLiteral("검사할 컴퓨터의 폴더를 선택하세요");
}

namespace {

// Links of the HTML page that leave the program folder are fetched over HTTP.
bool FetchWebPage(const QUrl& url, QByteArray& body) {
    net::TInternet internet;
    std::string page, text;
    int code = 0;
    if (!internet.GetPage(url.toString().toStdString(), page, code, text)) return false;
    body = QByteArray::fromStdString(page);
    return true;
}

}  // namespace

int CVeldanApp::Run(StartOptions options) {
    std::unique_ptr<text::DebugSink> ownDebug = debug_ ? nullptr : text::MakeDefaultDebugSink();
    text::DebugSink* debug = debug_ ? debug_ : ownDebug.get();

    // A second copy ends at once, without a word; the start-up lock keeps two
    // copies started together from both missing the first.
    CInstanceChecker checker("VELDAN");
    checker.LockStartup();
    if (checker.IsPreviousInstanceRunning()) return 0;

    if (options.programFolder.empty())
        options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    platform::CAppSettings settings(options.programFolder);
    std::string homePage = settings.ReadString("homepage", "about:blank");

    WindowLayout layout = ReadLayoutFile(options.programFolder + "/data/layout");
    if (!layout.IsComplete()) {
        debug->Write("NO layout!!!\n");
        return 0;
    }

    // The machine to scan: named, else chosen (starting from the last one).
    if (options.machineFolder.empty()) {
        QString last = QString::fromStdString(settings.ReadString("machine", ""));
        options.machineFolder =
            prompter_.AskFolder(nullptr, MachineFolderTitle(), last).toStdString();
        if (options.machineFolder.empty()) return 0;
    }
    machine::MachineError error;
    auto opened = machine::OpenMachine(options.machineFolder, {options.user, options.force}, error);
    if (!opened) {
        prompter_.Message(
            nullptr,
            QStringLiteral("검사할 컴퓨터를 열 수 없습니다.\n\n%1").arg(MachineErrorText(error)),
            QStringLiteral("VELDAN"), MsgIcon::Warning, MsgButtons::Ok);
        return 1;
    }
    settings.WriteString("machine", options.machineFolder);
    // Cures are journaled and keep what they remove in the machine's quarantine
    // folder, as the command line's; scans never look inside it.
    auto machine = quarantine::Journaled(std::move(opened));

    platform::Context ctx(*machine, *debug);
    ctx.setProgramFolder(options.programFolder);

    // The debug privilege lets the cure end other users' processes; without
    // administrative rights the program runs on without it.
    machine::WinError privilegeError = machine::ERROR_SUCCESS;
    bool privilege = platform::SetPrivilege(ctx, "SeDebugPrivilege", true, privilegeError) == 1;
    if (!privilege) platform::LogLastError(ctx, "SetPrivilege", privilegeError);

    platform::InitFolderTable(ctx);
    checker.TrackThisInstance();

    AppState app(ctx, options.programFolder, prompter_);
    app.homePage = homePage;
    app.layout = layout;
    app.journal = machine.get();
    app.machineChanged = [this, &machine] {
        machine::MachineError saveError;
        if (!machine->Save(saveError))
            prompter_.Message(
                nullptr,
                QStringLiteral("검사한 컴퓨터에 변경 내용을 저장할 수 없습니다.\n\n%1")
                    .arg(MachineErrorText(saveError)),
                QStringLiteral("VELDAN"), MsgIcon::Warning, MsgButtons::Ok);
    };

    app.machineNotWritable = [&machine] {
        machine::MachineError error;
        return machine->CheckWritable(error) ? QString() : MachineErrorText(error);
    };

    int status = 0;
    {
        // The update question is asked while the database loads.
        CUpdateCheck update(ctx.debug());
        update.Start(app.programFolder);
        CMainDlg window(app);
        window.afterDatabaseLoad = [&ctx] { engine::RunKillBitRuns(ctx); };
        window.settleUpdate = [&update, &window, &app] { return update.Settle(&window, app); };
        if (window.html()) window.html()->setWebFetcher(FetchWebPage);
        window.show();
        status = QApplication::exec();
    }
    // The kill-bit runs and any last change are written back.
    app.MachineChanged();

    if (privilege) {
        machine::WinError ignored;
        platform::SetPrivilege(ctx, "SeDebugPrivilege", false, ignored);
    }
    return status;
}

}  // namespace veldan::ui
