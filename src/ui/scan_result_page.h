#pragma once
// The scan result page (dialog 102): runs a scan and shows its progress and
// the detected entries, lets the user check the entries to cure, runs the
// cure and saves the scan log. It owns the cure script (the scan result) and
// the scan and cure workers; only one of them runs at a time.

#include <QString>
#include <ctime>
#include <string>

#include "engine/cure_session.h"
#include "engine/scan.h"
#include "ui/page.h"
#include "ui/result_list_model.h"
#include "ui/scan_worker.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace veldan::ui {

class CResultList;

// The status text while the cure closes `programs` ("Internet Explorer, RUNDLL32"…).
QString ClosingText(const std::string& programs);
// What "로그 저장" says when no viewer could open the saved log at `path`.
QString SavedLogText(const QString& path);
// The save dialog's filter for the scan log.
QString LogFileFilter();
// What the page says after a cure: the removed items are kept in the
// quarantine `folder` (a Windows path) and can be restored.
QString KeptText(const std::string& folder);
// Why a cure did not start: the quarantine `folder` cannot be written.
QString QuarantineNotWritableText(const std::string& folder, machine::WinError error);
// Why a cure stopped in its middle: what it removed could not be kept.
QString CureStoppedText();

class CScanResultDlg : public CEZPropertyPage, private engine::CureHooks {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 102;
    // Control ids.
    enum : int {
        IDC_LIST = 1003,
        IDC_CURE = 1004,
        IDC_PROGRESS = 1005,
        IDC_PERCENT = 1006,
        IDC_STATUS = 1009,
        IDC_CHECK_ALL = 1016,
        IDC_UNCHECK_ALL = 1017,
        IDC_CANCEL = 1033,
        IDC_TARGET_LABEL = 1034,
        IDC_DONE_LABEL = 1035,
        IDC_SAVE_LOG = 1072,
        IDC_KEPT = 1073,
    };

    CScanResultDlg(AppState& app, QWidget* parent);
    // Cancels a worker that still runs and waits for it.
    ~CScanResultDlg() override;

    // The rows of the result list.
    const ResultListModel& model() const { return model_; }
    // The last scan's rows and cure script; read it only while no worker exists.
    const engine::ScanResult& scanResult() const { return result_; }
    // True while a scan or cure thread exists (until its done message is handled).
    bool WorkerExists() const { return scanWorker_.Exists() || cureWorker_.Exists(); }
    // The jobs of the two workers (cancel flag and pause gate).
    const ScanJob& scanJob() const { return scanJob_; }
    const ScanJob& cureJob() const { return cureJob_; }
    // The name "로그 저장" proposes: <program folder>/log/scanlog_<date>_<scan start>.txt.
    QString ProposedLogPath() const;
    // Where the last cure kept what it removed, as the page shows it; "" while not shown.
    QString keptText() const;

  protected:
    bool OnAppMessage(const AppEvent& message) override;
    void OnPageResized() override;

  private:
    void CreateControls();
    WorkerSink MakeSink();

    void OnStartScan();
    void OnScanDone(bool completed);
    void OnStartCure();
    // Starts journaling the cure of the checked rows; says why and returns
    // false when the quarantine cannot be written (nothing has changed then).
    bool BeginJournal();
    // Shows the kept-items text in place of the progress rows, or hides it.
    void ShowKept(bool shown);
    void OnCureDone(bool completed);
    void OnCancel();
    void OnCheckAll(bool checked);
    void OnSaveLog();
    void OnColumnClick();

    // The cure's hooks: the page asks before closing programs and shows the
    // closing; the machine is written back through the application.
    void OnProgramsToClose(const std::string& programs) override;
    bool SaveMachine() override;

    void ResetProgress();
    void SetProgressRange(int total);
    void EnableResultButtons(bool enabled);
    // Asks whether to cancel `worker` with `job` paused meanwhile.
    void AskCancelWorker(ScanJob& job, const QString& text, const QString& caption);
    void ShowStartPage();

    ResultListModel model_;
    engine::ScanResult result_;  // rows and cure script of the last scan
    engine::CureSession cureSession_{app_.ctx, result_, *this};
    ScanJob scanJob_;
    ScanJob cureJob_;
    std::time_t scanStartTime_ = 0;
    bool finished_ = false;  // nothing was found, or a cure has started

    CResultList* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* percent_ = nullptr;
    QPushButton* checkAll_ = nullptr;
    QPushButton* uncheckAll_ = nullptr;
    QPushButton* cure_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* saveLog_ = nullptr;
    QLabel* kept_ = nullptr;

    // Last members: destroyed (and joined) before everything they use.
    ScanWorker scanWorker_{ScanWorker::Kind::Scan};
    ScanWorker cureWorker_{ScanWorker::Kind::Cure};
};

}  // namespace veldan::ui
