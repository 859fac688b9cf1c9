#include "ui/clsid_page.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeWidget>

#include "text/strings.h"
#include "ui/killbit_dialog.h"
#include "ui/sort_header.h"

namespace veldan::ui {
namespace {

constexpr int kCount = 1023;
constexpr int kList = 1003;
constexpr int kBlockAll = 1016;
constexpr int kUnblockAll = 1017;
constexpr int kEdit = 1073;
constexpr int kDelete = 1020;
constexpr int kAdd = 1019;

constexpr AnchorPair kAnchors[] = {
    {kCount, 0x01}, {kList, 0x03},   {kBlockAll, 0x08}, {kUnblockAll, 0x08},
    {kEdit, 0x08},  {kDelete, 0x08}, {kAdd, 0x08},      kAnchorEnd,
};

// Template size in dialog units.
constexpr int kTemplateCx = 360;
constexpr int kTemplateCy = 286;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The left edge of the label area of `item`'s first column, right of its check
// box, in viewport coordinates.
int LabelLeft(QTreeWidget* view, QTreeWidgetItem* item) {
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    opt.rect = view->visualItemRect(item);
    opt.rect.setWidth(view->columnWidth(0));
    opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.checkState = item->checkState(0);
    opt.text = item->text(0);
    opt.showDecorationSelected = true;
    return view->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, view).left();
}

}  // namespace

CCLSIDDlg::CCLSIDDlg(AppState& app, QWidget* parent)
    : CEZPropertyPage(kDialogId, app, parent), list_(app.ctx) {
    resize(DluX(kTemplateCx), DluY(kTemplateCy));

    count_ = AddControl(new QLabel, kCount, "static", Dlu(7, 7, 346, 10));

    list1003_ = AddControl(new QTreeWidget, kList, "list", Dlu(7, 20, 346, 236));
    list1003_->setColumnCount(2);
    list1003_->setHeaderLabels({QStringLiteral("이름"), QStringLiteral("CLSID")});
    list1003_->setRootIsDecorated(false);
    list1003_->setUniformRowHeights(true);
    list1003_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list1003_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1003_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list1003_->setSortingEnabled(false);  // the page sorts the entries themselves
    // An identifier wider than its column keeps both ends; its tooltip shows it whole.
    list1003_->setTextElideMode(Qt::ElideMiddle);
    list1003_->setHeader(new CSortHeader(list1003_));
    QHeaderView* header = list1003_->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    list1003_->viewport()->installEventFilter(this);

    auto button = [this](int id, const char* caption, int x) {
        auto* b = AddControl(new QPushButton(QString::fromUtf8(caption)), id, "button",
                             Dlu(x, 262, 55, 16));
        return b;
    };
    QPushButton* blockAll = button(kBlockAll, "모두 차단", 7);
    QPushButton* unblockAll = button(kUnblockAll, "모두 해제", 66);
    QPushButton* add = button(kAdd, "추가...", 180);
    QPushButton* edit = button(kEdit, "편집...", 239);
    QPushButton* remove = button(kDelete, "삭제", 298);

    connect(list1003_, &QTreeWidget::itemChanged, this, &CCLSIDDlg::OnItemChanged);
    connect(header, &QHeaderView::sectionClicked, this, &CCLSIDDlg::OnHeaderClicked);
    connect(blockAll, &QPushButton::clicked, this, &CCLSIDDlg::OnBlockAll);
    connect(unblockAll, &QPushButton::clicked, this, &CCLSIDDlg::OnUnblockAll);
    connect(add, &QPushButton::clicked, this, &CCLSIDDlg::OnAdd);
    connect(edit, &QPushButton::clicked, this, &CCLSIDDlg::OnEdit);
    connect(remove, &QPushButton::clicked, this, &CCLSIDDlg::OnDelete);

    InitLayout(kAnchors);
    OnPageResized();
    Load();
}

CCLSIDDlg::~CCLSIDDlg() {
    list_.Save();
}

bool CCLSIDDlg::OnAppMessage(const AppEvent& message) {
    if (message.message() != WM_KB_REFRESH) return false;
    OnKbRefresh();
    return true;
}

void CCLSIDDlg::OnPageResized() {
    const int d = list1003_->width() - 24;
    const int first = d / 3 * 2;
    list1003_->setColumnWidth(0, first);
    list1003_->setColumnWidth(1, d - first);
}

bool CCLSIDDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list1003_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // A double-click on the check box only ticks; anywhere right of it edits.
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* item = list1003_->itemAt(pos);
        if (item && pos.x() >= LabelLeft(list1003_, item)) {
            list1003_->setCurrentItem(item);
            OnEdit();
            return true;
        }
    }
    return CEZPropertyPage::eventFilter(watched, event);
}

void CCLSIDDlg::Load() {
    busy_ = true;
    if (list_.Load()) {
        unsaved_ = false;
        Fill(-1);
    }
    busy_ = false;
    // Also without a list file: "전체 0 개 중 0 개가 차단 상태입니다."
    ShowCount();
}

void CCLSIDDlg::Fill(int select) {
    const bool wasBusy = busy_;
    busy_ = true;
    list1003_->setUpdatesEnabled(false);
    list1003_->clear();
    QList<QTreeWidgetItem*> items;
    for (const engine::KillBitEntry& e : list_.entries()) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setText(0, Q(e.name));
        item->setToolTip(0, Q(e.name));
        item->setText(1, Q(e.clsid));
        item->setToolTip(1, Q(e.clsid));
        item->setCheckState(0, e.blocked ? Qt::Checked : Qt::Unchecked);
        items.push_back(item);
    }
    list1003_->addTopLevelItems(items);
    if (select >= 0 && select < list1003_->topLevelItemCount()) SelectRow(select);
    list1003_->setUpdatesEnabled(true);
    busy_ = wasBusy;
    ShowCount();
}

void CCLSIDDlg::ShowCount() {
    count_->setText(Q(list_.CountText()));
}

int CCLSIDDlg::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = list1003_->selectedItems();
    return selected.isEmpty() ? -1 : list1003_->indexOfTopLevelItem(selected.front());
}

void CCLSIDDlg::SelectRow(int index) {
    QTreeWidgetItem* item = list1003_->topLevelItem(index);
    if (!item) return;
    list1003_->setCurrentItem(item);
    item->setSelected(true);
    list1003_->scrollToItem(item);
}

void CCLSIDDlg::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (busy_ || column != 0) return;
    const int index = list1003_->indexOfTopLevelItem(item);
    if (index < 0 || index >= list_.total()) return;
    // Only a change of the tick counts; a change of a text is not a click.
    const bool ticked = item->checkState(0) == Qt::Checked;
    if (ticked == list_.entries()[static_cast<std::size_t>(index)].blocked) return;
    list_.SetTick(index, ticked);
    ShowCount();
    app_.MachineChanged();
}

void CCLSIDDlg::OnBlockAll() {
    const int selected = SelectedIndex();
    list_.BlockAll();
    Fill(selected);
    app_.MachineChanged();
}

void CCLSIDDlg::OnUnblockAll() {
    const int selected = SelectedIndex();
    list_.UnblockAll();
    Fill(selected);
    app_.MachineChanged();
}

void CCLSIDDlg::OnAdd() {
    CKillBitDlg dlg(app_, &list_.entries(), -1, this);
    if (dlg.exec() != QDialog::Accepted) return;
    const int index = list_.Add(dlg.name().toStdString(), dlg.clsid().toStdString());
    unsaved_ = true;
    Fill(index);
    list1003_->setFocus();
}

void CCLSIDDlg::OnEdit() {
    const int index = SelectedIndex();
    if (index < 0) return;
    const engine::KillBitEntry old = list_.entries()[static_cast<std::size_t>(index)];
    CKillBitDlg dlg(app_, &list_.entries(), index, this);
    dlg.setEntry(Q(old.name), Q(old.clsid));
    if (dlg.exec() != QDialog::Accepted) return;
    list_.Edit(index, dlg.name().toStdString(), dlg.clsid().toStdString());
    // The tick of another identifier would tell what is not so: it shows
    // that identifier's own kill bit.
    if (!text::EqualsNoCase(old.clsid, dlg.clsid().toStdString())) list_.RefreshTicks();
    unsaved_ = true;
    Fill(index);
    list1003_->setFocus();
}

void CCLSIDDlg::OnDelete() {
    const int index = SelectedIndex();
    if (index < 0) {
        app_.prompter.Message(this, QStringLiteral("먼저 삭제할 항목을 선택해야 합니다."),
                              QStringLiteral("삭제"), MsgIcon::Information, MsgButtons::Ok);
        list1003_->setFocus();
        return;
    }
    const engine::KillBitEntry& e = list_.entries()[static_cast<std::size_t>(index)];
    const QString question = Q(engine::KillBitDeleteQuestion(e.name, e.clsid));
    // The kill bit goes with the entry, only once the user said yes.
    if (app_.prompter.Message(this, question, QStringLiteral("확인"), MsgIcon::Question,
                              MsgButtons::YesNo, true) == IDYES) {
        list_.Remove(index);
        unsaved_ = true;
        Fill(std::min(index, list_.total() - 1));
        app_.MachineChanged();
    }
    ShowCount();
    list1003_->setFocus();
}

void CCLSIDDlg::OnHeaderClicked(int column) {
    sort_.Click(column);
    const std::vector<int> order = KillBitSortOrder(list_.entries(), sort_.column, sort_.ascending);
    const int selected = IndexAfterReorder(order, SelectedIndex());
    list_.Reorder(order);
    unsaved_ = true;
    Fill(selected);
    QHeaderView* header = list1003_->header();
    header->setSortIndicator(sort_.column,
                             sort_.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    header->setSortIndicatorShown(true);
}

void CCLSIDDlg::OnKbRefresh() {
    app_.ctx.Debug("OnKbRefresh...\n");
    if (!unsaved_) {
        Load();
        return;
    }
    // Reading the file again would throw away what the user changed since
    // the last save; the entries stay and only their ticks are read again.
    list_.RefreshTicks();
    busy_ = true;
    for (int i = 0; i < list1003_->topLevelItemCount() && i < list_.total(); ++i) {
        list1003_->topLevelItem(i)->setCheckState(
            0, list_.entries()[static_cast<std::size_t>(i)].blocked ? Qt::Checked : Qt::Unchecked);
    }
    busy_ = false;
    ShowCount();
}

}  // namespace veldan::ui
