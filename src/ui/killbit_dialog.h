#pragma once
// The KillBit entry dialog (dialog 136, "KillBit"): a name and a class
// identifier. OK takes them only when they pass the entry test; otherwise it
// says why, puts the focus on the edit at fault and stays open.

#include <QDialog>
#include <QString>
#include <vector>

#include "engine/immunize.h"
#include "ui/app_state.h"

class QLineEdit;

namespace veldan::ui {

class CKillBitDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 136;

    // `entries`: the KillBit page's entries for the duplicate test (may be
    // null: no duplicate test); `editIndex`: the entry being edited, -1 when adding.
    CKillBitDlg(AppState& app, const std::vector<engine::KillBitEntry>* entries, int editIndex,
                QWidget* parent);

    // Puts the texts of the entry being edited into the edits.
    void setEntry(const QString& name, const QString& clsid);
    // The name as accepted (trimmed); meaningful after OK.
    const QString& name() const { return name_; }
    // The class identifier as accepted (trimmed); meaningful after OK.
    const QString& clsid() const { return clsid_; }

    // OK: runs the entry test; closes only when it passes.
    void accept() override;

  private:
    AppState& app_;
    const std::vector<engine::KillBitEntry>* entries_;
    int editIndex_;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* clsidEdit_ = nullptr;
    QString name_;
    QString clsid_;
};

}  // namespace veldan::ui
