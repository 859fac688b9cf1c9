#include "ui/lock_header.h"

#include <algorithm>

namespace veldan::ui {

CLockHeader::CLockHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setStretchLastSection(false);
    setSectionsMovable(false);
    // The modes of the locked columns are set again whenever columns appear.
    connect(this, &QHeaderView::sectionCountChanged, this, [this] { ApplyResizeModes(); });
    connect(this, &QHeaderView::sectionResized, this, &CLockHeader::OnSectionResized);
}

void CLockHeader::Lock(int section) {
    if (!isLocked(section)) locked_.push_back(section);
    ApplyResizeModes();
}

void CLockHeader::setLocking(bool on) {
    locking_ = on;
    ApplyResizeModes();
}

bool CLockHeader::isLocked(int section) const {
    return std::find(locked_.begin(), locked_.end(), section) != locked_.end();
}

void CLockHeader::ApplyResizeModes() {
    // A fixed section offers no divider to drag and no double-click fit.
    for (int section : locked_) {
        if (section >= 0 && section < count()) {
            setSectionResizeMode(section, locking_ ? QHeaderView::Fixed : QHeaderView::Interactive);
        }
    }
}

void CLockHeader::OnSectionResized(int section, int oldSize, int newSize) {
    if (!locking_ || restoring_ || oldSize == newSize || !isLocked(section)) return;
    // Any other way a locked width changed is undone.
    restoring_ = true;
    resizeSection(section, oldSize);
    restoring_ = false;
}

}  // namespace veldan::ui
