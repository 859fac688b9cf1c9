#pragma once
// The start page: the loaded database's version and counts, the home page the
// browser gets back after a cure, the "검사 시작!" button and the "치료 기록"
// button that shows the kept cures and restores them.

#include "ui/page.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace veldan::ui {

class CStartDlg : public CEZPropertyPage {
    Q_OBJECT
  public:
    CStartDlg(AppState& app, QWidget* parent);

    // "검사 시작!": stores the address as the home page (blank -> "about:blank"),
    // writes the setting and asks the parent for a scan.
    void OnStart();
    // "치료 기록": the cure history dialog, modal.
    void OnHistory();

  protected:
    bool OnAppMessage(const AppEvent& message) override;

  private:
    QLabel* version_;
    QLabel* patterns_;
    QLabel* entries_;
    QLineEdit* address_;
    QPushButton* start_;
    QPushButton* history_;
};

}  // namespace veldan::ui
