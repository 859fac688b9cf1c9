#include "ui/quarantine_dialog.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/messages.h"

namespace veldan::ui {
namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Where a worker stopped, told in the dialog's words.
QString StoppedText(const QuarantineOutcome& out, bool restore) {
    if (restore && out.error == machine::ERROR_INVALID_DATA)
        return QStringLiteral(
                   "치료 기록이 손상되어 읽을 수 없습니다. 아무것도 복원하지 않았습니다.\n\n"
                   "기록: %1")
            .arg(Text(out.failedId));
    if (restore && out.error == machine::ERROR_PATH_NOT_FOUND)
        return QStringLiteral("치료 기록이 없습니다. 아무것도 복원하지 않았습니다.\n\n기록: %1")
            .arg(Text(out.failedId));
    return QStringLiteral("%1 (Windows 오류 %2)\n\n기록: %3")
        .arg(restore ? QStringLiteral("복원하지 못했습니다.")
                     : QStringLiteral("치료 기록을 삭제하지 못했습니다."))
        .arg(out.error)
        .arg(Text(out.failedId));
}

}  // namespace

QString CureStateText(const quarantine::CureInfo& cure) {
    QString state;
    if (cure.state == "restored") {
        state = QStringLiteral("복원됨");
    } else if (cure.state == "not restored") {
        state = QStringLiteral("보관 중");
    } else if (cure.state == "restore interrupted") {
        state = QStringLiteral("복원 중단됨");
    } else if (cure.state == "restored with conflicts") {
        state = QStringLiteral("일부 복원됨 (충돌)");
    } else if (cure.state == "damaged") {
        return QStringLiteral("손상됨");
    } else {
        state = Text(cure.state);
    }
    if (!cure.completed) state += QStringLiteral(", 치료 중단됨");
    return state;
}

QString CureTimeText(const std::string& utc) {
    const QDateTime time = QDateTime::fromString(Text(utc), Qt::ISODate);
    if (!time.isValid()) return Text(utc);
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString RestoreSummaryText(const quarantine::RestoreReport& r) {
    QString text = QStringLiteral("복원을 마쳤습니다.\n\n복원한 항목: %1개").arg(r.restored);
    if (r.already > 0) text += QStringLiteral("\n이미 치료 전과 같은 항목: %1개").arg(r.already);
    if (r.conflicts > 0)
        text += QStringLiteral("\n치료한 뒤에 바뀌어 그대로 둔 항목: %1개").arg(r.conflicts);
    if (r.failed > 0) text += QStringLiteral("\n복원하지 못한 항목: %1개").arg(r.failed);
    if (r.notUndoable > 0)
        text +=
            QStringLiteral("\n되돌릴 수 없는 항목(종료한 프로세스 등): %1개").arg(r.notUndoable);
    return text;
}

CQuarantineDlg::CQuarantineDlg(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("dialog%1").arg(kDialogId));
    setWindowTitle(Caption());
    if (app_.journal) root_ = app_.journal->quarantineFolder();

    auto named = [](QWidget* w, const char* kind, int id) {
        w->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(kind)).arg(id));
        return w;
    };
    folder_ = new QLabel(QStringLiteral("보관 폴더: %1").arg(Text(root_)), this);
    named(folder_, "static", IDC_FOLDER);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list_ = new QTreeWidget(this);
    named(list_, "list", IDC_CURES);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("치료 시각"), QStringLiteral("치료 항목 수"),
                            QStringLiteral("변경 수"), QStringLiteral("상태")});
    list_->header()->setStretchLastSection(true);
    list_->setMinimumSize(520, 220);
    progress_ = new QProgressBar(this);
    named(progress_, "progress", IDC_PROGRESS);
    progress_->setTextVisible(false);
    status_ = new QLabel(this);
    named(status_, "static", IDC_STATUS);

    restore_ = new QPushButton(QStringLiteral("복원"), this);
    named(restore_, "button", IDC_RESTORE);
    purge_ = new QPushButton(QStringLiteral("영구 삭제"), this);
    named(purge_, "button", IDC_PURGE);
    close_ = new QPushButton(QStringLiteral("닫기"), this);
    close_->setObjectName(QStringLiteral("button2"));  // IDCANCEL
    close_->setDefault(true);
    connect(restore_, &QPushButton::clicked, this, &CQuarantineDlg::OnRestore);
    connect(purge_, &QPushButton::clicked, this, &CQuarantineDlg::OnPurge);
    connect(close_, &QPushButton::clicked, this, &CQuarantineDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore_);
    buttons->addWidget(purge_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folder_);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(buttons);

    Refresh();
}

CQuarantineDlg::~CQuarantineDlg() = default;

QString CQuarantineDlg::Caption() const {
    return QStringLiteral("치료 기록");
}

void CQuarantineDlg::Tell(const QString& text, MsgIcon icon) {
    app_.prompter.Message(this, text, Caption(), icon, MsgButtons::Ok);
}

bool CQuarantineDlg::Ask(const QString& text, MsgIcon icon) {
    // No is the default: both questions lead to something that is hard to undo.
    return app_.prompter.Message(this, text, Caption(), icon, MsgButtons::YesNo, true) == IDYES;
}

void CQuarantineDlg::Refresh() {
    cures_.clear();
    if (app_.journal) cures_ = quarantine::ListCures(app_.journal->inner().files(), root_);
    list_->clear();
    for (const auto& cure : cures_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, CureTimeText(cure.time));
        item->setText(1, QString::number(cure.entries));
        item->setText(2, QString::number(cure.changes));
        item->setText(3, CureStateText(cure));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setToolTip(0, Text(cure.id));
        if (!cure.problem.empty()) item->setToolTip(3, Text(cure.problem));
    }
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_->setText(cures_.empty() ? QStringLiteral("보관된 치료 기록이 없습니다.") : QString());
    SetBusy(false);
}

std::vector<std::string> CQuarantineDlg::ChosenIds() const {
    // Newest first, as listed.
    std::vector<std::string> ids;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->checkState(0) == Qt::Checked) ids.push_back(cures_[i].id);
    }
    if (ids.empty()) {
        const int current = list_->indexOfTopLevelItem(list_->currentItem());
        if (current >= 0 && list_->currentItem()->isSelected()) ids.push_back(cures_[current].id);
    }
    return ids;
}

bool CQuarantineDlg::ConfirmChosen(QuarantineTask& task, const QString& none,
                                   const QString& question, MsgIcon icon) {
    task.ids = ChosenIds();
    if (task.ids.empty()) {
        Tell(none, MsgIcon::Information);
        return false;
    }
    return Ask(question.arg(task.ids.size()), icon);
}

void CQuarantineDlg::OnRestore() {
    if (worker_.Exists() || !app_.journal) return;
    if (const QString why = app_.MachineNotWritable(); !why.isEmpty()) {
        Tell(QStringLiteral("검사한 컴퓨터에 쓸 수 없어 복원할 수 없습니다.\n\n%1").arg(why),
             MsgIcon::Warning);
        return;
    }
    QuarantineTask task;
    if (!ConfirmChosen(task, QStringLiteral("먼저 복원할 치료 기록을 선택해야 합니다."),
                       QStringLiteral("선택한 치료 %1건을 되돌려 치료 전 상태로 복원합니다. 치료한 "
                                      "악성코드도 함께 복원됩니다. 계속하시겠습니까?"),
                       MsgIcon::Question))
        return;
    forcedPass_ = false;
    firstPass_ = {};
    StartTask(std::move(task));
}

void CQuarantineDlg::OnPurge() {
    if (worker_.Exists() || !app_.journal) return;
    QuarantineTask task;
    task.kind = QuarantineTask::Kind::Purge;
    if (!ConfirmChosen(task, QStringLiteral("먼저 삭제할 치료 기록을 선택해야 합니다."),
                       QStringLiteral("선택한 치료 기록 %1건과 보관한 항목을 영구히 삭제합니다. "
                                      "삭제한 뒤에는 복원할 수 없습니다. 계속하시겠습니까?"),
                       MsgIcon::Warning))
        return;
    StartTask(std::move(task));
}

void CQuarantineDlg::StartTask(QuarantineTask task) {
    running_ = task;
    SetBusy(true);
    progress_->setRange(0, static_cast<int>(task.ids.size()));
    progress_->setValue(0);
    // The restore works below the journaling machine: it journals itself.
    worker_.Start(app_.journal->inner(), root_, std::move(task), this,
                  [this](int position, int total, const std::string& path, int percent) {
                      OnProgress(position, total, path, percent);
                  });
}

void CQuarantineDlg::OnProgress(int position, int total, const std::string& path, int percent) {
    progress_->setValue(position);
    QString text = running_.kind == QuarantineTask::Kind::Restore
                       ? QStringLiteral("복원 중 (%1/%2)").arg(position + 1).arg(total)
                       : QStringLiteral("삭제 중 (%1/%2)").arg(position + 1).arg(total);
    if (!path.empty()) text += QStringLiteral(": %1 %2%").arg(Text(path)).arg(percent);
    status_->setText(text);
}

bool CQuarantineDlg::event(QEvent* e) {
    if (static_cast<int>(e->type()) == WM_KEPT_DONE) {
        OnTaskDone();
        return true;
    }
    return QDialog::event(e);
}

void CQuarantineDlg::OnTaskDone() {
    if (!worker_.Exists()) return;  // not ours
    QuarantineOutcome out = worker_.Join();
    const bool restore = running_.kind == QuarantineTask::Kind::Restore;
    if (restore && out.changed) app_.MachineChanged();  // written back as after a cure
    if (!out.problem.empty()) app_.ctx.Debug("quarantine: " + out.problem + "\n");
    Refresh();
    if (out.error != machine::ERROR_SUCCESS) {
        Tell(StoppedText(out, restore), MsgIcon::Warning);
        return;
    }
    if (!restore) return;
    quarantine::RestoreReport& report = out.report;
    if (forcedPass_) {
        // What the first pass put back, the forced one found already as before.
        report.restored += firstPass_.restored;
        report.already = std::max(0, report.already - firstPass_.restored);
    } else if (report.conflicts > 0) {
        // Changes made since the cure are overwritten only when the user says so.
        if (Ask(QStringLiteral("치료한 뒤에 바뀐 항목 %1개는 복원하지 않았습니다. 지금의 "
                               "내용을 덮어쓰고 치료 전 상태로 되돌리시겠습니까?")
                    .arg(report.conflicts),
                MsgIcon::Question)) {
            forcedPass_ = true;
            firstPass_ = report;
            QuarantineTask forced = running_;
            forced.force = true;
            StartTask(std::move(forced));
            return;
        }
    }
    Tell(RestoreSummaryText(report),
         report.conflicts + report.failed > 0 ? MsgIcon::Warning : MsgIcon::Information);
}

void CQuarantineDlg::SetBusy(bool busy) {
    const bool any = !cures_.empty() && app_.journal;
    restore_->setEnabled(!busy && any);
    purge_->setEnabled(!busy && any);
    close_->setEnabled(!busy);
    list_->setEnabled(!busy);
}

void CQuarantineDlg::reject() {
    if (worker_.Exists()) return;  // the work finishes first
    QDialog::reject();
}

}  // namespace veldan::ui
