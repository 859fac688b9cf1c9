#include "ui/ax_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/lock_header.h"

namespace veldan::ui {
namespace {

constexpr int kCount = 1023;
constexpr int kList = 1003;
constexpr int kProgress = 1005;
constexpr int kRun = 1014;
constexpr int kAllActiveX = 1062;
constexpr int kAllCookies = 1063;

// 1016 and 1017 are not on this page; their rows are skipped.
constexpr AnchorPair kAnchors[] = {
    {kCount, 0x01}, {kList, 0x03}, {kProgress, 0x0C}, {1016, 0x08},
    {1017, 0x08},   {kRun, 0x08},  kAnchorEnd,
};

// Template size in dialog units.
constexpr int kTemplateCx = 360;
constexpr int kTemplateCy = 286;

// Text of the inert list: dark enough to read on white and on the header's
// face (well above 4.5:1), a little lighter than live text.
const QColor kInertText(0x40, 0x40, 0x40);

// A disabled list is drawn in the style's disabled colours (light grey on
// grey); this one is disabled only so that it takes no input, and is drawn
// like a list that can be read.
void ReadableWhenDisabled(QWidget* list) {
    QPalette pal = list->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, kInertText);
    pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Base));
    pal.setColor(QPalette::Disabled, QPalette::Button,
                 pal.color(QPalette::Active, QPalette::Button));
    list->setPalette(pal);
}

QString KindText(engine::ImmunizationKind kind) {
    return kind == engine::ImmunizationKind::ActiveX ? QStringLiteral("ActiveX")
                                                     : QStringLiteral("쿠키");
}

}  // namespace

CAxDlg::CAxDlg(AppState& app, QWidget* parent) : CEZPropertyPage(kDialogId, app, parent) {
    resize(DluX(kTemplateCx), DluY(kTemplateCy));

    count_ = AddControl(new QLabel, kCount, "static", Dlu(7, 7, 346, 10));
    allActiveX_ = AddControl(new QCheckBox(QStringLiteral("ActiveX 기반 악성코드 차단")),
                             kAllActiveX, "check", Dlu(7, 20, 160, 10));
    allCookies_ = AddControl(new QCheckBox(QStringLiteral("스파이웨어, 트래킹 쿠키 차단")),
                             kAllCookies, "check", Dlu(175, 20, 178, 10));

    list1003_ = AddControl(new QTreeWidget, kList, "list", Dlu(7, 34, 346, 220));
    header_ = new CLockHeader(list1003_);
    list1003_->setHeader(header_);
    list1003_->setColumnCount(2);
    list1003_->setHeaderLabels({QStringLiteral("이름"), QStringLiteral("종류")});
    list1003_->setRootIsDecorated(false);
    list1003_->setUniformRowHeights(true);
    list1003_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list1003_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The list only shows what the check boxes and the fills decide.
    list1003_->setEnabled(false);
    ReadableWhenDisabled(list1003_);
    header_->Lock(0);

    run_ = AddControl(new QPushButton(QStringLiteral("면역, 예방 실행")), kRun, "button",
                      Dlu(7, 262, 80, 16));
    progress_ = AddControl(new QProgressBar, kProgress, "progress", Dlu(193, 265, 160, 10));
    progress_->setRange(0, 0);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->hide();

    // Nothing can be done before the database is there.
    allActiveX_->setEnabled(false);
    allCookies_->setEnabled(false);
    run_->setEnabled(false);

    connect(allActiveX_, &QCheckBox::clicked, this, &CAxDlg::OnAllActiveXClicked);
    connect(allCookies_, &QCheckBox::clicked, this, &CAxDlg::OnAllCookiesClicked);
    connect(run_, &QPushButton::clicked, this, &CAxDlg::OnRun);

    InitLayout(kAnchors);
    OnPageResized();
}

bool CAxDlg::OnAppMessage(const AppEvent& message) {
    if (message.message() != WM_DB_LOADED) return false;
    list_ = engine::FillImmunizationList(app_.ctx);
    ShowList();
    allActiveX_->setEnabled(true);
    allCookies_->setEnabled(true);
    run_->setEnabled(true);
    return true;
}

void CAxDlg::OnPageResized() {
    header_->setLocking(false);
    list1003_->setColumnWidth(0, list1003_->width() - 104);
    list1003_->setColumnWidth(1, 80);
    header_->setLocking(true);
}

void CAxDlg::ShowList() {
    list1003_->setUpdatesEnabled(false);
    list1003_->clear();
    QList<QTreeWidgetItem*> items;
    for (const engine::ImmunizationRow& row : list_.rows) {
        auto* item = new QTreeWidgetItem;
        const QString name = QString::fromStdString(row.name);
        item->setText(0, name);
        item->setToolTip(0, name);
        item->setText(1, KindText(row.kind));
        items.push_back(item);
    }
    list1003_->addTopLevelItems(items);
    ShowTicks();
    if (list_.allActiveXBlocked) allActiveX_->setChecked(true);
    if (list_.allCookiesBlocked) allCookies_->setChecked(true);
    count_->setText(
        QString::fromStdString(engine::ImmunizationCountText(list_.total, list_.blocked)));
    list1003_->setUpdatesEnabled(true);
}

void CAxDlg::ShowTicks() {
    const int n = std::min(list1003_->topLevelItemCount(), static_cast<int>(list_.rows.size()));
    for (int i = 0; i < n; ++i) {
        list1003_->topLevelItem(i)->setCheckState(
            0, list_.rows[static_cast<std::size_t>(i)].blocked ? Qt::Checked : Qt::Unchecked);
    }
}

void CAxDlg::OnAllActiveXClicked(bool checked) {
    engine::TickAll(list_, engine::ImmunizationKind::ActiveX, checked);
    ShowTicks();
}

void CAxDlg::OnAllCookiesClicked(bool checked) {
    engine::TickAll(list_, engine::ImmunizationKind::Cookie, checked);
    ShowTicks();
}

void CAxDlg::OnRun() {
    progress_->setRange(0, static_cast<int>(list_.rows.size()));
    progress_->setValue(0);
    progress_->show();
    list_ = engine::RunImmunization(app_.ctx, list_, [this](int done, int) {
        progress_->setValue(done);
        progress_->repaint();
    });
    ShowList();
    progress_->hide();
    progress_->setRange(0, 0);
    progress_->setValue(0);
    PostAppMessage(killBitPage_, WM_KB_REFRESH);
    app_.MachineChanged();
}

}  // namespace veldan::ui
