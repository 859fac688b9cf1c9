#include "ui/page.h"

#include <QCoreApplication>
#include <QResizeEvent>

namespace veldan::ui {

void PostAppMessage(QObject* receiver, WindowMessage message, long long wParam, long long lParam) {
    if (receiver) QCoreApplication::postEvent(receiver, new AppEvent(message, wParam, lParam));
}

namespace {
bool IsAppMessage(QEvent::Type type) {
    switch (static_cast<int>(type)) {
        case WM_HTML_FIT:
        case WM_PAGE_COMMAND:
        case WM_ENABLE_START:
        case WM_START_SCAN:
        case WM_SHOW_START:
        case WM_KB_REFRESH:
        case WM_SCAN_DONE:
        case WM_CURE_DONE:
        case WM_DB_LOADED:
            return true;
        default:
            return false;
    }
}
}  // namespace

CEZPropertyPage::CEZPropertyPage(int dialogId, AppState& app, QWidget* parent)
    : QWidget(parent), app_(app), dialogId_(dialogId) {
    // Pages and their labels are white over the HTML page.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    hide();
}

QWidget* CEZPropertyPage::control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CEZPropertyPage::RegisterControl(QWidget* widget, int id, const char* kind, QRect dlu) {
    widget->setParent(this);
    widget->setObjectName(QString::fromLatin1(kind) + QString::number(id));
    widget->setGeometry(dlu);
    controls_[id] = widget;
}

void CEZPropertyPage::InitLayout(const AnchorPair* table) {
    auto lookup = [](void* self, int id, Rect& rect) {
        QWidget* w = static_cast<CEZPropertyPage*>(self)->control(id);
        if (!w) return false;
        QRect g = w->geometry();
        rect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        return true;
    };
    anchors_.Init({width(), height()}, table, lookup, this);
    anchored_ = true;
}

bool CEZPropertyPage::event(QEvent* e) {
    if (IsAppMessage(e->type())) return OnAppMessage(static_cast<const AppEvent&>(*e));
    return QWidget::event(e);
}

void CEZPropertyPage::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (anchored_) {
        std::vector<Rect> current;
        for (const auto& item : anchors_.items()) {
            QRect g = control(item.id)->geometry();
            current.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
        }
        for (const Placement& p : anchors_.Relayout({width(), height()}, current)) {
            QWidget* w = control(p.id);
            w->setGeometry(p.rect.left, p.rect.top, p.rect.width(), p.rect.height());
            if (p.repaint) w->update();
        }
        update();
    }
    OnPageResized();
}

}  // namespace veldan::ui
