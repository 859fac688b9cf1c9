#pragma once
// The main window: the HTML page over its whole client area, the four pages
// lying over it (start, scan result, immunization, KillBit), the database-load
// worker and the handling of the messages that pass between them.

#include <QWidget>
#include <functional>
#include <thread>

#include "ui/app_state.h"
#include "ui/messages.h"

namespace veldan::ui {

class CHtmlCtrl;
class CStartDlg;
class CScanResultDlg;
class CAxDlg;
class CCLSIDDlg;

class CMainDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CMainDlg(AppState& app, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // What runs after the database load, on this thread, before the pages hear
    // of it (the kill-bit runs), and the update question that decides whether
    // the scan may start: it answers true to let the start page enable its
    // button, false when the program is closing for an update. Both may be empty.
    std::function<void()> afterDatabaseLoad;
    std::function<bool()> settleUpdate;

    CHtmlCtrl* html() const { return html_; }
    CStartDlg* startPage() const { return start_; }
    CScanResultDlg* scanPage() const { return scan_; }
    CAxDlg* axPage() const { return ax_; }
    CCLSIDDlg* clsidPage() const { return clsid_; }
    // The scan result page is the current scan page (a scan was started and
    // the user has not left it).
    bool scanPageCurrent() const { return scanPageCurrent_; }
    // True once WM_DB_LOADED was handled.
    bool databaseLoaded() const { return databaseLoaded_; }

  protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void SetUp();
    void OnPageCommand(const QString& command);
    void OnDatabaseLoaded();
    void ShowPages(bool start, bool scan, bool imm, bool kb);
    void JoinLoader();

    AppState& app_;
    CHtmlCtrl* html_ = nullptr;
    CStartDlg* start_ = nullptr;
    CScanResultDlg* scan_ = nullptr;
    CAxDlg* ax_ = nullptr;
    CCLSIDDlg* clsid_ = nullptr;
    std::thread loader_;
    bool scanPageCurrent_ = false;
    bool databaseLoaded_ = false;
};

}  // namespace veldan::ui
