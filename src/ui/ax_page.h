#pragma once
// The immunization page (dialog 134): the ActiveX controls and tracking-cookie
// domains of the signature database with their blocked state. The list only
// displays; the two check boxes tick all controls or all domains, and the run
// button writes the ticks to the registry (kill bits and cookie blocks).

#include <QPointer>

#include "engine/immunize.h"
#include "ui/page.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace veldan::ui {

class CLockHeader;

class CAxDlg : public CEZPropertyPage {
    Q_OBJECT
  public:
    static constexpr int kDialogId = 134;

    CAxDlg(AppState& app, QWidget* parent);

    // The KillBit page, told to reload after every run (may be null).
    void setKillBitPage(QWidget* page) { killBitPage_ = page; }

  protected:
    bool OnAppMessage(const AppEvent& message) override;
    void OnPageResized() override;

  private:
    // Shows list_: one row per control, then per domain, ticked when blocked;
    // ticks 1062 / 1063 when every control / domain is blocked (never unticks
    // them); the count text.
    void ShowList();
    // Shows the ticks of list_ in the rows.
    void ShowTicks();
    void OnAllActiveXClicked(bool checked);
    void OnAllCookiesClicked(bool checked);
    void OnRun();

    engine::ImmunizationList list_;
    QPointer<QWidget> killBitPage_;
    QLabel* count_ = nullptr;
    QCheckBox* allActiveX_ = nullptr;
    QCheckBox* allCookies_ = nullptr;
    QTreeWidget* list1003_ = nullptr;
    CLockHeader* header_ = nullptr;
    QPushButton* run_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace veldan::ui
