#pragma once
// The cure history dialog ("치료 기록"), opened from the start page: the cures
// kept in the machine's quarantine folder (time, entries cured, changes, state),
// with buttons to restore the checked cures (newest first; changes made since
// the cure are put back only after the user agrees) and to purge them (after a
// confirmation). The restore and the purge run on a worker thread with progress;
// after a restore the machine is written back as after a cure.

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "quarantine/store.h"
#include "ui/app_state.h"
#include "ui/quarantine_worker.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace veldan::ui {

// A cure's state ("restored", "not restored", ...) as the list shows it.
QString CureStateText(const quarantine::CureInfo& cure);
// A journal's UTC time ("2026-12-08T14:31:34Z") in local time, as the list shows it.
QString CureTimeText(const std::string& utc);
// What a restore did, told after it: how many changes were put back, were
// already as before, are in conflict, failed or cannot be undone.
QString RestoreSummaryText(const quarantine::RestoreReport& report);

class CQuarantineDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 140;
    enum : int {
        IDC_FOLDER = 1080,
        IDC_CURES = 1081,
        IDC_RESTORE = 1082,
        IDC_PURGE = 1083,
        IDC_PROGRESS = 1084,
        IDC_STATUS = 1085,
    };

    // Needs app.journal (the machine's quarantine folder).
    CQuarantineDlg(AppState& app, QWidget* parent);
    ~CQuarantineDlg() override;

    // The cures as listed, newest first.
    const std::vector<quarantine::CureInfo>& cures() const { return cures_; }
    QTreeWidget* list() const { return list_; }
    bool WorkerExists() const { return worker_.Exists(); }
    // Reads the quarantine folder again and fills the list.
    void Refresh();

    // The buttons: restore or purge the checked cures (the selected one when
    // none is checked).
    void OnRestore();
    void OnPurge();
    // Closes only while no worker runs.
    void reject() override;

  protected:
    bool event(QEvent* e) override;

  private:
    std::vector<std::string> ChosenIds() const;
    void StartTask(QuarantineTask task);
    void OnTaskDone();
    void OnProgress(int position, int total, const std::string& path, int percent);
    void SetBusy(bool busy);
    QString Caption() const;
    // A message with OK; a Yes/No question (No by default), true for Yes.
    void Tell(const QString& text, MsgIcon icon);
    bool Ask(const QString& text, MsgIcon icon);
    // Fills `task` with the chosen cures and asks `question` (%1: their number);
    // false when none is chosen (`none` tells so) or the user says no.
    bool ConfirmChosen(QuarantineTask& task, const QString& none, const QString& question,
                       MsgIcon icon);

    AppState& app_;
    std::string root_;  // the quarantine folder
    std::vector<quarantine::CureInfo> cures_;
    QuarantineTask running_;
    quarantine::RestoreReport firstPass_;  // the restore before a forced one
    bool forcedPass_ = false;

    QLabel* folder_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* purge_ = nullptr;
    QPushButton* close_ = nullptr;

    // Last member: joined before everything it reports to.
    QuarantineWorker worker_;
};

}  // namespace veldan::ui
