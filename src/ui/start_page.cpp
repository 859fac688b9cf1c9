#include "ui/start_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "text/strings.h"
#include "ui/app_icon.h"
#include "ui/quarantine_dialog.h"

namespace veldan::ui {

namespace {
constexpr int kDialogId = 139;
constexpr int kVersionText = 1055;
constexpr int kPatternText = 1050;
constexpr int kEntryText = 1049;
constexpr int kAddressEdit = 1045;
constexpr int kStartButton = 1046;
constexpr int kHistoryButton = 1047;
}  // namespace

CStartDlg::CStartDlg(AppState& app, QWidget* parent) : CEZPropertyPage(kDialogId, app, parent) {
    resize(DluX(275), DluY(151));

    auto* dbGroup = new QGroupBox(QStringLiteral("악성코드 DB 정보"), this);
    dbGroup->setGeometry(Dlu(7, 7, 261, 58));
    auto label = [this](const QString& text, QRect where) {
        auto* l = new QLabel(text, this);
        l->setGeometry(where);
        return l;
    };
    label(QStringLiteral("버전:"), Dlu(17, 20, 40, 10));
    label(QStringLiteral("패턴:"), Dlu(17, 33, 40, 10));
    label(QStringLiteral("악성코드:"), Dlu(17, 46, 40, 10));
    version_ = AddControl(new QLabel(this), kVersionText, "static", Dlu(62, 20, 196, 10));
    patterns_ = AddControl(new QLabel(this), kPatternText, "static", Dlu(62, 33, 196, 10));
    entries_ = AddControl(new QLabel(this), kEntryText, "static", Dlu(62, 46, 196, 10));

    auto* homeGroup = new QGroupBox(QStringLiteral("홈 페이지"), this);
    homeGroup->setGeometry(Dlu(7, 71, 261, 52));
    auto* icon = AddControl(new QLabel(this), 138, "static", Dlu(15, 84, 16, 16));
    icon->setPixmap(HomePageIcon(DluX(16)));
    auto* hint =
        label(QStringLiteral("홈 페이지로 사용할 주소를 입력합니다. 예) http://veldan.test/"),
              Dlu(37, 82, 226, 18));
    hint->setWordWrap(true);
    label(QStringLiteral("주소:"), Dlu(17, 105, 25, 10));
    address_ = AddControl(new QLineEdit(this), kAddressEdit, "edit", Dlu(45, 103, 215, 13));
    address_->setText(QString::fromStdString(app_.homePage));
    address_->setEnabled(false);

    start_ = AddControl(new QPushButton(QStringLiteral("검사 시작!"), this), kStartButton, "button",
                        Dlu(193, 130, 75, 16));
    start_->setDefault(true);
    start_->setEnabled(false);
    connect(start_, &QPushButton::clicked, this, &CStartDlg::OnStart);
    connect(address_, &QLineEdit::returnPressed, start_, &QPushButton::click);

    // Past cures can be seen and restored without a scan; a machine that is
    // not journaled keeps none.
    history_ = AddControl(new QPushButton(QStringLiteral("치료 기록"), this), kHistoryButton,
                          "button", Dlu(7, 130, 75, 16));
    history_->setEnabled(app_.journal != nullptr);
    connect(history_, &QPushButton::clicked, this, &CStartDlg::OnHistory);
}

bool CStartDlg::OnAppMessage(const AppEvent& message) {
    switch (message.message()) {
        case WM_DB_LOADED: {
            const auto& db = app_.ctx.db();
            version_->setText(QString::fromStdString(db.DatabaseVersion));
            entries_->setText(QString::number(db.EntryCount));
            patterns_->setText(QString::number(db.PatternCount));
            return true;
        }
        case WM_ENABLE_START:
            address_->setEnabled(true);
            start_->setEnabled(true);
            return true;
        default:
            return false;
    }
}

void CStartDlg::OnStart() {
    std::string home = text::Trim(address_->text().toStdString());
    if (home.empty()) home = "about:blank";
    app_.homePage = home;
    // A settings file that cannot be written keeps the address for this run only.
    app_.settings.WriteString("homepage", home);
    PostAppMessage(parentWidget(), WM_START_SCAN);
}

void CStartDlg::OnHistory() {
    CQuarantineDlg dialog(app_, this);
    dialog.exec();
}

}  // namespace veldan::ui
