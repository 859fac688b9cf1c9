#include "ui/result_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOption>
#include <algorithm>

namespace veldan::ui {

namespace {
const QColor kItemText(0x7F, 0x7F, 0x7F);
const char kNothingFound[] = "발견된 악성코드가 없습니다.";
constexpr int kNothingFoundInsetX = 18;
constexpr int kNothingFoundInsetY = 9;
}  // namespace

CResultList::CResultList(ResultListModel& model, const platform::ScanItemList& found,
                         QWidget* parent)
    : QAbstractScrollArea(parent),
      model_(model),
      found_(found),
      header_(new QHeaderView(Qt::Horizontal, this)),
      columns_(new QStandardItemModel(0, 3, this)) {
    columns_->setHorizontalHeaderLabels(
        {QStringLiteral("이름"), QStringLiteral("종류"), QStringLiteral("상태")});
    const Qt::Alignment aligns[] = {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignCenter,
                                    Qt::AlignCenter};
    for (int c = 0; c < 3; ++c) {
        columns_->setHeaderData(c, Qt::Horizontal, QVariant::fromValue(aligns[c]),
                                Qt::TextAlignmentRole);
    }
    header_->setModel(columns_);
    header_->setSectionsClickable(true);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    connect(header_, &QHeaderView::sectionClicked, this, &CResultList::columnClicked);
    connect(header_, &QHeaderView::sectionResized, this, [this] {
        UpdateGeometries();
        viewport()->update();
    });

    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(pal);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(1);
    UpdateGeometries();
}

void CResultList::SetNothingFound(bool nothingFound) {
    nothingFound_ = nothingFound;
    viewport()->update();
}

void CResultList::Refresh() {
    UpdateGeometries();
    viewport()->update();
}

void CResultList::FitColumns() {
    header_->resizeSection(0, std::max(0, viewport()->width() - kFixedColumns));
    header_->resizeSection(1, kKindWidth);
    header_->resizeSection(2, kStatusWidth);
}

int CResultList::RowHeight() const {
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    return std::max(kImageSize + 2, QFontMetrics(bold).height() + 4);
}

QRect CResultList::RowRect(int row) const {
    const int top = (row - verticalScrollBar()->value()) * RowHeight();
    const int left = -horizontalScrollBar()->value();
    return {left, top, std::max(header_->length(), viewport()->width()), RowHeight()};
}

int CResultList::RowAt(int y) const {
    if (y < 0) return -1;
    const int row = verticalScrollBar()->value() + y / RowHeight();
    return row < model_.RowCount() ? row : -1;
}

void CResultList::EnsureVisible(int row) {
    if (row < 0 || row >= model_.RowCount()) return;
    const int visible = std::max(1, viewport()->height() / RowHeight());
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + visible) {
        bar->setValue(row - visible + 1);
    }
}

void CResultList::UpdateGeometries() {
    const int headerHeight = header_->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = contentsRect();
    header_->setGeometry(area.left(), area.top(), viewport()->width(), headerHeight);

    const int visible = std::max(1, viewport()->height() / RowHeight());
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(visible);
    v->setRange(0, std::max(0, model_.RowCount() - visible));
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(viewport()->width());
    h->setSingleStep(16);
    h->setRange(0, std::max(0, header_->length() - viewport()->width()));
    header_->setOffset(h->value());
}

// Also called for the viewport's own resizes (a scroll bar coming or going).
void CResultList::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    UpdateGeometries();
    FitColumns();
    UpdateGeometries();
}

void CResultList::scrollContentsBy(int, int) {
    header_->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void CResultList::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void CResultList::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

void CResultList::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    if (nothingFound_) {
        QRect text = viewport()->rect().adjusted(kNothingFoundInsetX, kNothingFoundInsetY,
                                                 -kNothingFoundInsetX, 0);
        p.setPen(Qt::black);
        p.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   QString::fromUtf8(kNothingFound));
        return;
    }
    for (int row = verticalScrollBar()->value(); row < model_.RowCount(); ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() >= viewport()->height()) break;
        PaintRow(p, row, rect);
    }
}

void CResultList::PaintRow(QPainter& p, int row, const QRect& rect) {
    const ResultRow& r = model_.Row(row);
    const bool entry = r.IsEntry();
    const bool selected = row == model_.Selected();
    const bool focused = hasFocus();

    QColor background = Qt::white;
    if (selected) background = palette().color(focused ? QPalette::Highlight : QPalette::Button);
    p.fillRect(rect, background);
    QColor ink = entry ? QColor(Qt::black) : kItemText;
    if (selected && focused) ink = palette().color(QPalette::HighlightedText);

    const int imageTop = rect.top() + (rect.height() - kImageSize) / 2;
    if (entry) {
        // Expand marker: open when the entry's item rows follow it.
        QStyleOption marker;
        marker.initFrom(this);
        marker.rect = QRect(rect.left() + kMarkerLeft, imageTop, kImageSize, kImageSize);
        marker.state = QStyle::State_Enabled | QStyle::State_Children | QStyle::State_Item;
        if (model_.IsExpanded(row)) marker.state |= QStyle::State_Open;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &marker, &p, this);

        QStyleOptionButton box;
        box.initFrom(this);
        const int side = std::min(kImageSize - 2, style()->pixelMetric(QStyle::PM_IndicatorWidth));
        const int inset = (kImageSize - side) / 2;
        box.rect = QRect(rect.left() + kEntryBoxLeft + inset, imageTop + inset, side, side);
        box.state = QStyle::State_Enabled | (r.IsChecked() ? QStyle::State_On : QStyle::State_Off);
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, &p, this);
    } else {
        // Item mark: a small bullet in the image cell.
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QRectF(rect.left() + kItemMarkLeft + 5, imageTop + 5, 6, 6));
        p.restore();
    }

    QFont font = this->font();
    if (entry) font.setWeight(QFont::Bold);
    p.setFont(font);
    p.setPen(ink);
    const QFontMetrics fm(font);
    const int halfBlank = fm.horizontalAdvance(QLatin1Char(' ')) / 2;
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    auto drawCell = [&](const std::string& text, QRect cell, Qt::Alignment align) {
        if (cell.width() <= 0) return;
        const QString elided =
            fm.elidedText(QString::fromStdString(text), Qt::ElideRight, cell.width());
        p.drawText(cell, flags | static_cast<int>(align), elided);
    };

    // Column 0: the label after the images, moved right by half a blank (item rows 4 more).
    const int col0Right = rect.left() + header_->sectionPosition(0) + header_->sectionSize(0);
    QRect label(rect.left() + kLabelLeft + halfBlank + (entry ? 0 : 4), rect.top(), 0,
                rect.height());
    label.setRight(col0Right - halfBlank - 1);
    drawCell(r.name, label, Qt::AlignLeft);

    const std::string* texts[] = {nullptr, &r.kind, &r.status};
    for (int c = 1; c < 3; ++c) {
        const int left = rect.left() + header_->sectionPosition(c);
        QRect cell(left + halfBlank, rect.top(), header_->sectionSize(c) - 2 * halfBlank,
                   rect.height());
        const auto align =
            columns_->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignHorizontal_Mask;
        drawCell(*texts[c], cell, align);
    }

    if (selected && focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect;
        focus.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

void CResultList::MoveSelection(int row) {
    if (model_.RowCount() == 0) return;
    row = std::clamp(row, 0, model_.RowCount() - 1);
    model_.Select(row);
    EnsureVisible(row);
    viewport()->update();
}

void CResultList::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    // While a scan or cure runs the list only shows; the cure moves the selection itself.
    if (model_.Busy()) return;
    const QPoint pos = e->position().toPoint();
    const int row = RowAt(pos.y());
    model_.Select(row);
    if (row >= 0) {
        // Positions count from the rows' left edge, also when scrolled sideways.
        model_.Click(row, pos.x() + horizontalScrollBar()->value(), found_);
    }
    Refresh();
}

void CResultList::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    const int row = RowAt(pos.y());
    if (row >= 0) model_.DoubleClick(row, pos.x() + horizontalScrollBar()->value(), found_);
    Refresh();
}

void CResultList::keyPressEvent(QKeyEvent* e) {
    const int current = model_.Selected();
    const int page = std::max(1, viewport()->height() / RowHeight());
    switch (e->key()) {
        case Qt::Key_Up:
            MoveSelection(current < 0 ? 0 : current - 1);
            break;
        case Qt::Key_Down:
            MoveSelection(current + 1);
            break;
        case Qt::Key_PageUp:
            MoveSelection(current - page);
            break;
        case Qt::Key_PageDown:
            MoveSelection(current + page);
            break;
        case Qt::Key_Home:
            MoveSelection(0);
            break;
        case Qt::Key_End:
            MoveSelection(model_.RowCount() - 1);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(e);
    }
}

}  // namespace veldan::ui
