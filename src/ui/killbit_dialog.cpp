#include "ui/killbit_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace veldan::ui {
namespace {

QString Caption() {
    return QString::fromUtf8(engine::kKillBitCaption.data(),
                             static_cast<int>(engine::kKillBitCaption.size()));
}

}  // namespace

CKillBitDlg::CKillBitDlg(AppState& app, const std::vector<engine::KillBitEntry>* entries,
                         int editIndex, QWidget* parent)
    : QDialog(parent), app_(app), entries_(entries), editIndex_(editIndex) {
    setWindowTitle(Caption());
    setObjectName(QStringLiteral("dialog%1").arg(kDialogId));

    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("edit%1").arg(engine::kKillBitNameEdit));
    clsidEdit_ = new QLineEdit(this);
    clsidEdit_->setObjectName(QStringLiteral("edit%1").arg(engine::kKillBitClsidEdit));
    // Room for a class identifier in braces.
    clsidEdit_->setMinimumWidth(clsidEdit_->fontMetrics().horizontalAdvance(
                                    QStringLiteral("{00000000-0000-0000-0000-000000000000}")) +
                                16);

    auto* nameLabel = new QLabel(QStringLiteral("이름:"), this);
    nameLabel->setBuddy(nameEdit_);
    auto* clsidLabel = new QLabel(QStringLiteral("CLSID:"), this);
    clsidLabel->setBuddy(clsidEdit_);

    auto* ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("button1"));  // IDOK
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("취소"), this);
    cancel->setObjectName(QStringLiteral("button2"));  // IDCANCEL
    connect(ok, &QPushButton::clicked, this, &CKillBitDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CKillBitDlg::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(nameEdit_, 0, 1);
    grid->addWidget(clsidLabel, 1, 0);
    grid->addWidget(clsidEdit_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    nameEdit_->setFocus();
}

void CKillBitDlg::setEntry(const QString& name, const QString& clsid) {
    nameEdit_->setText(name);
    clsidEdit_->setText(clsid);
}

void CKillBitDlg::accept() {
    const engine::KillBitEntryCheck check =
        engine::CheckKillBitEntry(app_.ctx, nameEdit_->text().toStdString(),
                                  clsidEdit_->text().toStdString(), entries_, editIndex_);
    if (!check.ok) {
        app_.prompter.Message(this, QString::fromStdString(check.message), Caption(),
                              MsgIcon::Information, MsgButtons::Ok);
        QLineEdit* edit = check.focus == engine::kKillBitNameEdit ? nameEdit_ : clsidEdit_;
        edit->setFocus();
        edit->selectAll();
        return;
    }
    name_ = QString::fromStdString(check.name);
    clsid_ = QString::fromStdString(check.clsid);
    QDialog::accept();
}

}  // namespace veldan::ui
