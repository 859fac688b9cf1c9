#include "ui/scan_result_page.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "engine/loader.h"
#include "quarantine/cure_room.h"
#include "ui/result_list.h"

namespace veldan::ui {

namespace {

// Template size of the page in dialog units.
constexpr int kTemplateCx = 360;
constexpr int kTemplateCy = 286;

constexpr AnchorPair kAnchors[] = {
    {1023, kAnchorStretchX},  // not on this page: skipped
    {CScanResultDlg::IDC_LIST, kAnchorStretchX | kAnchorStretchY},
    {CScanResultDlg::IDC_PROGRESS, kAnchorStretchX | kAnchorMoveY},
    {CScanResultDlg::IDC_TARGET_LABEL, kAnchorMoveY},
    {CScanResultDlg::IDC_STATUS, kAnchorStretchX | kAnchorMoveY},
    {CScanResultDlg::IDC_DONE_LABEL, kAnchorMoveX | kAnchorMoveY},
    {CScanResultDlg::IDC_PERCENT, kAnchorMoveX | kAnchorMoveY},
    {CScanResultDlg::IDC_CHECK_ALL, kAnchorMoveY},
    {CScanResultDlg::IDC_UNCHECK_ALL, kAnchorMoveY},
    {CScanResultDlg::IDC_CURE, kAnchorMoveY},
    {CScanResultDlg::IDC_SAVE_LOG, kAnchorMoveY},
    {CScanResultDlg::IDC_CANCEL, kAnchorMoveY},
    {CScanResultDlg::IDC_KEPT, kAnchorStretchX | kAnchorMoveY},
    kAnchorEnd,
};

const QString kCaptionCure = QStringLiteral("치료");
const QString kTextCancel = QStringLiteral("취소");
const QString kTextDone = QStringLiteral("완료");

}  // namespace

QString LogFileFilter() {
    return QStringLiteral("모든 파일 (*.*)");
}

QString ClosingText(const std::string& programs) {
    return QStringLiteral("%1을(를) 닫는 중...").arg(QString::fromStdString(programs));
}

QString SavedLogText(const QString& path) {
    return QStringLiteral(
               "로그 파일을 저장했습니다.\n\n%1\n\n이 파일을 열 프로그램을 찾을 수 없습니다. "
               "텍스트 편집기로 직접 여세요.")
        .arg(QDir::toNativeSeparators(path));
}

QString KeptText(const std::string& folder) {
    return QStringLiteral(
               "치료한 항목은 %1 폴더에 보관했습니다. 시작 화면의 [치료 기록]에서 되돌릴 수 "
               "있습니다.")
        .arg(QString::fromStdString(folder));
}

QString CureStoppedText() {
    return QStringLiteral(
        "치료한 항목을 보관할 수 없어 치료를 멈췄습니다. 그때까지 바꾼 내용은 시작 화면의 "
        "[치료 기록]에서 되돌릴 수 있습니다.");
}

QString QuarantineNotWritableText(const std::string& folder, machine::WinError error) {
    if (error == machine::ERROR_DISK_FULL) {
        return QStringLiteral(
                   "치료한 항목을 보관할 디스크에 공간이 부족해 치료하지 않았습니다. 검사한 "
                   "컴퓨터는 바뀌지 않았습니다.\n\n위치: %1")
            .arg(QString::fromStdString(folder));
    }
    return QStringLiteral(
               "치료한 항목을 보관할 폴더에 쓸 수 없어 치료하지 않았습니다. 검사한 컴퓨터는 "
               "바뀌지 않았습니다.\n\n위치: %1\n(Windows 오류 %2)")
        .arg(QString::fromStdString(folder))
        .arg(error);
}

CScanResultDlg::CScanResultDlg(AppState& app, QWidget* parent)
    : CEZPropertyPage(kDialogId, app, parent), model_(app.ctx.debug()) {
    resize(DluX(kTemplateCx), DluY(kTemplateCy));
    CreateControls();
    InitLayout(kAnchors);
}

CScanResultDlg::~CScanResultDlg() {
    scanWorker_.Stop();
    cureWorker_.Stop();
}

void CScanResultDlg::CreateControls() {
    list_ = AddControl(new CResultList(model_, app_.ctx.report().found(), this), IDC_LIST, "list",
                       Dlu(7, 7, 346, 214));
    AddControl(new QLabel(QStringLiteral("대상:"), this), IDC_TARGET_LABEL, "static",
               Dlu(7, 226, 26, 9));
    status_ = AddControl(new QLabel(this), IDC_STATUS, "static", Dlu(34, 226, 319, 9));
    // The percent text has room for "100% (99999/99999)".
    progress_ = AddControl(new QProgressBar(this), IDC_PROGRESS, "progress", Dlu(7, 240, 226, 10));
    progress_->setTextVisible(false);
    AddControl(new QLabel(QStringLiteral("완료:"), this), IDC_DONE_LABEL, "static",
               Dlu(239, 241, 22, 9));
    percent_ = AddControl(new QLabel(this), IDC_PERCENT, "static", Dlu(262, 241, 91, 9));
    // After a cure, over the progress rows: where the removed items are kept.
    kept_ = AddControl(new QLabel(this), IDC_KEPT, "static", Dlu(7, 226, 346, 24));
    kept_->setWordWrap(true);
    kept_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    kept_->hide();

    checkAll_ = AddControl(new QPushButton(QStringLiteral("모두 선택"), this), IDC_CHECK_ALL,
                           "button", Dlu(7, 262, 50, 16));
    uncheckAll_ = AddControl(new QPushButton(QStringLiteral("모두 해제"), this), IDC_UNCHECK_ALL,
                             "button", Dlu(60, 262, 50, 16));
    cure_ =
        AddControl(new QPushButton(kCaptionCure, this), IDC_CURE, "button", Dlu(197, 262, 50, 16));
    cure_->setDefault(true);
    saveLog_ = AddControl(new QPushButton(QStringLiteral("로그 저장"), this), IDC_SAVE_LOG,
                          "button", Dlu(250, 262, 50, 16));
    cancel_ =
        AddControl(new QPushButton(kTextCancel, this), IDC_CANCEL, "button", Dlu(303, 262, 50, 16));

    connect(checkAll_, &QPushButton::clicked, this, [this] { OnCheckAll(true); });
    connect(uncheckAll_, &QPushButton::clicked, this, [this] { OnCheckAll(false); });
    connect(cure_, &QPushButton::clicked, this, [this] { OnStartCure(); });
    connect(saveLog_, &QPushButton::clicked, this, [this] { OnSaveLog(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(list_, &CResultList::columnClicked, this, [this] { OnColumnClick(); });

    // Nothing to cure or log before a scan.
    EnableResultButtons(false);
    ResetProgress();
}

bool CScanResultDlg::OnAppMessage(const AppEvent& message) {
    switch (message.message()) {
        case WM_START_SCAN:
            OnStartScan();
            return true;
        case WM_SCAN_DONE:
            OnScanDone(message.lParam() == 1);
            return true;
        case WM_CURE_DONE:
            OnCureDone(message.lParam() == 1);
            return true;
        default:
            return false;
    }
}

void CScanResultDlg::OnPageResized() {
    if (list_) list_->FitColumns();
}

WorkerSink CScanResultDlg::MakeSink() {
    WorkerSink sink;
    sink.range = [this](int total) { SetProgressRange(total); };
    sink.progress = [this](int percent, int position, int total) {
        progress_->setValue(position);
        percent_->setText(QString::asprintf("%d%% (%d/%d)", percent, position, total));
    };
    sink.status = [this](const std::string& text) {
        status_->setText(QString::fromStdString(text));
    };
    sink.row = [this](int, const engine::ScanRow& row) {
        model_.AddEntry(row.name, row.itemStart, row.itemCount);
        list_->Refresh();
    };
    sink.rowStatus = [this](int index, const std::string& status) {
        model_.SetEntryStatus(index, status);
        list_->Refresh();
    };
    sink.cureEntry = [this](int index) {
        const int row = model_.RowOfEntry(index);
        if (row < 0 || !model_.Row(row).IsChecked()) return;
        model_.Select(row);
        list_->EnsureVisible(row);
        list_->Refresh();
    };
    return sink;
}

void CScanResultDlg::OnStartScan() {
    if (scanWorker_.Exists()) return;
    // Without signatures a scan would call any machine clean.
    if (!engine::SignatureProblem(app_.ctx).empty()) {
        app_.prompter.Message(
            this,
            QStringLiteral("악성코드 데이터베이스가 없거나, 읽을 수 없거나, 비어 있어 검사할 수 "
                           "없습니다.\n\n위치: %1")
                .arg(QString::fromStdString(engine::PlainDatabasePath(app_.ctx, "addb") + ", " +
                                            engine::ScrambledDatabasePath(app_.ctx, "addb"))),
            QStringLiteral("검사"), MsgIcon::Warning, MsgButtons::Ok);
        ShowStartPage();
        return;
    }
    scanStartTime_ = std::time(nullptr);
    finished_ = false;
    result_.Clear();
    list_->SetNothingFound(false);
    model_.Clear();
    list_->Refresh();

    list_->show();
    EnableResultButtons(false);
    cancel_->setText(kTextCancel);
    ShowKept(false);

    scanJob_.Reset();
    model_.SetBusy(true);
    scanWorker_.Start(app_.ctx, result_, scanJob_, this, MakeSink());
}

void CScanResultDlg::OnScanDone(bool completed) {
    if (!scanWorker_.Exists()) return;  // not ours: no scan was started
    scanWorker_.Join();
    model_.SetBusy(cureWorker_.Exists());
    if (!WorkerExists()) ResetProgress();

    if (!completed) {
        result_.Clear();
        model_.Clear();
        list_->Refresh();
    }
    if (!result_.cureScript.empty()) {
        EnableResultButtons(true);
    } else {
        list_->SetNothingFound(true);
        finished_ = true;
        cancel_->setText(kTextDone);
    }
    if (!completed) ShowStartPage();
}

void CScanResultDlg::OnStartCure() {
    if (cureWorker_.Exists() || scanWorker_.Exists()) return;
    if (model_.CheckedCount() == 0) {
        app_.prompter.Message(this, QStringLiteral("먼저 치료할 항목을 선택해야 합니다."),
                              kCaptionCure, MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    // A cure changes files at once: a machine that cannot be written back is
    // found out before anything changes.
    if (const QString why = app_.MachineNotWritable(); !why.isEmpty()) {
        app_.prompter.Message(
            this, QStringLiteral("검사한 컴퓨터에 쓸 수 없어 치료할 수 없습니다.\n\n%1").arg(why),
            kCaptionCure, MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    // The journal and the quarantine must be writable before anything changes.
    model_.CopyChecks(result_);
    if (!BeginJournal()) return;
    finished_ = true;
    ShowKept(false);
    list_->show();
    EnableResultButtons(false);
    cancel_->setText(kTextCancel);

    // Names and announces the programs to close; their closing (with the waits
    // for them to end) runs on the cure's thread, before the cure, while the
    // page says what it is doing.
    cureSession_.Announce();
    cureJob_.Reset();
    model_.SetBusy(true);
    quarantine::JournalingMachine* journal = app_.journal;
    // A quarantine that cannot keep what the cure removes stops the cure.
    if (journal) journal->SetCancelFlag(&cureJob_.cancel);
    cureWorker_.Start(
        app_.ctx, result_, cureJob_, this, MakeSink(), [this] { cureSession_.ClosePrograms(); },
        [journal](int row) {
            if (journal) journal->SetRow(row);
        });
}

bool CScanResultDlg::BeginJournal() {
    if (!app_.journal) return true;
    std::string problem;
    const machine::WinError e = quarantine::BeginCheckedCure(app_.ctx, *app_.journal, result_, problem);
    if (e == machine::ERROR_SUCCESS) return true;
    app_.ctx.Debug("BeginCure: " + problem + "\n");
    app_.prompter.Message(this, QuarantineNotWritableText(app_.journal->quarantineFolder(), e),
                          kCaptionCure, MsgIcon::Warning, MsgButtons::Ok);
    return false;
}

void CScanResultDlg::ShowKept(bool shown) {
    for (QWidget* w : {control(IDC_TARGET_LABEL), static_cast<QWidget*>(status_),
                       static_cast<QWidget*>(progress_), control(IDC_DONE_LABEL),
                       static_cast<QWidget*>(percent_)})
        w->setVisible(!shown);
    kept_->setVisible(shown);
}

void CScanResultDlg::OnProgramsToClose(const std::string& programs) {
    const QString text =
        QStringLiteral(
            "치료를 위해 %1 프로세스를 종료합니다.\n\n아직 저장하지 않는 데이터가 "
            "있다면, 저장하시기 바랍니다.")
            .arg(QString::fromStdString(programs));
    app_.prompter.Message(this, text, kCaptionCure, MsgIcon::Warning, MsgButtons::Ok);
    status_->setText(ClosingText(programs));
    progress_->setRange(0, 0);  // busy until the cure sets its range
}

bool CScanResultDlg::SaveMachine() {
    app_.MachineChanged();
    return true;
}

void CScanResultDlg::OnCureDone(bool completed) {
    if (!cureWorker_.Exists()) return;  // not ours: no cure was started
    cureWorker_.Join();
    model_.SetBusy(scanWorker_.Exists());
    if (!WorkerExists()) ResetProgress();

    if (completed) {
        EnableResultButtons(true);
        cancel_->setText(kTextDone);
    }
    // The start page after a completed cure; the cure changed the machine
    // either way: it is written back before anything is asked.
    cureSession_.Finish(completed, app_.homePage);
    if (app_.journal && !app_.journal->cureId().empty()) {
        app_.journal->SetCancelFlag(nullptr);
        (void)app_.journal->End(completed);
        kept_->setText(KeptText(app_.journal->quarantineFolder()));
        kept_->setToolTip(QString::fromStdString(app_.journal->cureFolder()));
        ShowKept(true);
    }
    if (completed) {
        if (app_.ctx.report().failed().Count() > 0) {
            app_.prompter.Message(
                this,
                QStringLiteral(
                    "일부 파일을 삭제할 수 없습니다. 리부팅 후에 다시 시도하시기 바랍니다."),
                kCaptionCure, MsgIcon::Information, MsgButtons::Ok);
        }
    } else {
        if (app_.journal && !app_.journal->stopProblem().empty()) {
            app_.ctx.Debug("cure stopped: " + app_.journal->stopProblem() + "\n");
            app_.prompter.Message(this, CureStoppedText(), kCaptionCure, MsgIcon::Warning,
                                  MsgButtons::Ok);
        }
        ShowStartPage();
    }
}

void CScanResultDlg::AskCancelWorker(ScanJob& job, const QString& text, const QString& caption) {
    job.Pause();
    const MsgAnswer answer =
        app_.prompter.Message(this, text, caption, MsgIcon::Question, MsgButtons::YesNo, true);
    if (answer == IDYES) job.cancel.store(1);
    job.Resume();
}

void CScanResultDlg::OnCancel() {
    if (scanWorker_.Exists()) {
        AskCancelWorker(scanJob_, QStringLiteral("검사를 중단하시겠습니까?"),
                        QStringLiteral("검사 취소"));
        return;
    }
    if (cureWorker_.Exists()) {
        AskCancelWorker(cureJob_, QStringLiteral("치료를 중단하시겠습니까?"),
                        QStringLiteral("치료 취소"));
        return;
    }
    if (finished_ ||
        app_.prompter.Message(
            this, QStringLiteral("아직 악성코드를 치료하지 않았습니다. 취소하시겠습니까?"),
            kTextCancel, MsgIcon::Question, MsgButtons::YesNo, true) == IDYES) {
        ShowStartPage();
        list_->SetNothingFound(false);
    }
}

void CScanResultDlg::OnCheckAll(bool checked) {
    if (WorkerExists()) return;
    model_.CheckAll(checked);
    list_->Refresh();
}

void CScanResultDlg::OnSaveLog() {
    // The found list belongs to a running worker until its done message.
    if (WorkerExists()) return;
    const QString proposed = ProposedLogPath();
    QDir().mkpath(QFileInfo(proposed).path());
    const QString path = app_.prompter.AskSaveFile(this, proposed, LogFileFilter());
    if (path.isEmpty()) return;

    const std::string text = engine::ScanLogText(app_.ctx);
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.flush();
    file.close();
    if (!written) {
        // Opening the viewer on a file that was not written would show a stale or empty log.
        app_.prompter.Message(this, QStringLiteral("로그 파일을 저장할 수 없습니다."),
                              QStringLiteral("로그 저장"), MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    app_.prompter.OpenInTextViewer(this, path, [this, path] {
        app_.prompter.Message(this, SavedLogText(path), QStringLiteral("로그 저장"),
                              MsgIcon::Information, MsgButtons::Ok);
    });
}

QString CScanResultDlg::keptText() const {
    return kept_->isHidden() ? QString() : kept_->text();
}

QString CScanResultDlg::ProposedLogPath() const {
    const QString folder = QString::fromStdString(app_.programFolder) + QStringLiteral("/log");
    const QDate today = QDate::currentDate();
    // A text file, so that the desktop opens it in its text viewer.
    return QString::asprintf("%s/scanlog_%d%02d%02d_%ld.txt", folder.toUtf8().constData(),
                             today.year(), today.month(), today.day(),
                             static_cast<long>(scanStartTime_));
}

void CScanResultDlg::OnColumnClick() {
    if (!WorkerExists()) app_.ctx.Debug("OnColumnclickList\n");
}

void CScanResultDlg::ResetProgress() {
    SetProgressRange(0);
    progress_->setValue(0);
    status_->clear();
    percent_->clear();
}

void CScanResultDlg::SetProgressRange(int total) {
    // A range of 0..0 would make Qt's bar a busy indicator; an empty bar is meant.
    progress_->setRange(0, std::max(total, 1));
}

void CScanResultDlg::EnableResultButtons(bool enabled) {
    checkAll_->setEnabled(enabled);
    uncheckAll_->setEnabled(enabled);
    cure_->setEnabled(enabled);
    saveLog_->setEnabled(enabled);
}

void CScanResultDlg::ShowStartPage() {
    PostAppMessage(parentWidget(), WM_SHOW_START);
}

}  // namespace veldan::ui
