#pragma once
// The start page: the loaded database's version and counts, the home page the
// browser gets back after a cure, and the "검사 시작!" button.

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

  protected:
    bool OnAppMessage(const AppEvent& message) override;

  private:
    QLabel* version_;
    QLabel* patterns_;
    QLabel* entries_;
    QLineEdit* address_;
    QPushButton* start_;
};

}  // namespace veldan::ui
