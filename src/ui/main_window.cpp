#include "ui/main_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QResizeEvent>

#include "engine/loader.h"
#include "ui/app_icon.h"
#include "ui/app_commands.h"
#include "ui/ax_page.h"
#include "ui/clsid_page.h"
#include "ui/html_ctrl.h"
#include "ui/scan_result_page.h"
#include "ui/start_page.h"

namespace veldan::ui {

namespace {
constexpr int kHtmlPlaceholder = 1012;
}

CMainDlg::CMainDlg(AppState& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName(QStringLiteral("CMainDlg"));
    setWindowTitle(QStringLiteral("VELDAN"));
    setWindowIcon(AppIcon());
    SetUp();
}

CMainDlg::~CMainDlg() {
    JoinLoader();
    // The pages go before the state they use; the KillBit page saves its list here.
    delete clsid_;
    delete ax_;
    delete scan_;
    delete start_;
}

void CMainDlg::SetUp() {
    const WindowLayout& layout = app_.layout;
    // The placeholder the HTML control takes the place of.
    auto* placeholder = new QLabel(QStringLiteral("HTML 자리라네"), this);
    placeholder->setObjectName(QStringLiteral("static%1").arg(kHtmlPlaceholder));
    placeholder->setGeometry(0, 0, layout.main_cx, layout.main_cy);

    start_ = new CStartDlg(app_, this);
    scan_ = new CScanResultDlg(app_, this);
    ax_ = new CAxDlg(app_, this);
    clsid_ = new CCLSIDDlg(app_, this);
    ax_->setKillBitPage(clsid_);

    html_ = new CHtmlCtrl(this);
    if (!html_->CreateFromStatic(kHtmlPlaceholder, this)) {
        delete html_;  // runs without the HTML page
        html_ = nullptr;
    }
    if (html_) html_->Navigate(QString::fromStdString(app_.programFolder + "/data/main.htm"));

    if (html_) html_->setGeometry(0, 0, layout.main_cx, layout.main_cy);
    for (QWidget* page : {static_cast<QWidget*>(start_), static_cast<QWidget*>(scan_),
                          static_cast<QWidget*>(ax_), static_cast<QWidget*>(clsid_)}) {
        page->setGeometry(layout.sub_x, layout.sub_y, layout.sub_cx, layout.sub_cy);
        page->raise();
    }
    // The client area is the layout's size, and the window never gets smaller.
    resize(layout.main_cx, layout.main_cy);
    setMinimumSize(layout.main_cx, layout.main_cy);

    // The database loads on its own thread and reports with WM_DB_LOADED.
    loader_ = std::thread([this] {
        engine::LoadDatabases(app_.ctx);
        PostAppMessage(this, WM_DB_LOADED);
    });
}

void CMainDlg::JoinLoader() {
    if (loader_.joinable()) loader_.join();
}

bool CMainDlg::event(QEvent* e) {
    switch (static_cast<int>(e->type())) {
        case WM_PAGE_COMMAND:
            OnPageCommand(static_cast<AppEvent*>(e)->text());
            return true;
        case WM_HTML_FIT:
            return true;  // no visible effect in this window
        case WM_START_SCAN:
            scanPageCurrent_ = true;
            start_->hide();
            scan_->show();
            PostAppMessage(scan_, WM_START_SCAN);
            return true;
        case WM_SHOW_START:
            scanPageCurrent_ = false;
            start_->show();
            scan_->hide();
            return true;
        case WM_DB_LOADED:
            OnDatabaseLoaded();
            return true;
        default:
            return QWidget::event(e);
    }
}

void CMainDlg::OnPageCommand(const QString& command) {
    PageVisibility v = PagesForCommand(command.toStdString(), scanPageCurrent_);
    ShowPages(v.start, v.scanResult, v.immunization, v.killBit);
    setFocus();
}

void CMainDlg::ShowPages(bool start, bool scan, bool imm, bool kb) {
    start_->setVisible(start);
    scan_->setVisible(scan);
    ax_->setVisible(imm);
    clsid_->setVisible(kb);
}

void CMainDlg::OnDatabaseLoaded() {
    JoinLoader();
    if (afterDatabaseLoad) afterDatabaseLoad();
    databaseLoaded_ = true;
    PostAppMessage(start_, WM_DB_LOADED);
    PostAppMessage(ax_, WM_DB_LOADED);
    if (settleUpdate && !settleUpdate()) return;  // closing for an update
    PostAppMessage(start_, WM_ENABLE_START);
}

void CMainDlg::keyPressEvent(QKeyEvent* e) {
    // Neither Escape nor Enter closes the main window.
    if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CMainDlg::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!html_) return;
    Size page;
    if (!PageSizeForClient({e->size().width(), e->size().height()},
                           {html_->width(), html_->height()}, {scan_->width(), scan_->height()},
                           page))
        return;
    html_->resize(e->size());
    for (QWidget* p : {static_cast<QWidget*>(start_), static_cast<QWidget*>(scan_),
                       static_cast<QWidget*>(ax_), static_cast<QWidget*>(clsid_)})
        p->resize(page.cx, page.cy);
}

}  // namespace veldan::ui
