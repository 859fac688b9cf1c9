#include "ui/sort_header.h"

#include <QStyleOptionHeader>

namespace veldan::ui {

CSortHeader::CSortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void CSortHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (option->sortIndicator == QStyleOptionHeader::None) return;
    option->sortIndicator = sortIndicatorOrder() == Qt::AscendingOrder
                                ? QStyleOptionHeader::SortUp
                                : QStyleOptionHeader::SortDown;
}

}  // namespace veldan::ui
