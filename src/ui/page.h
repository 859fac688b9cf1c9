#pragma once
// The base of the main window's pages: a child widget without caption, white
// behind its controls, whose controls are known by their numeric ids (object
// name = kind + id, e.g. "list1003") and are moved and stretched by an anchor
// table when the page is resized.

#include <QRect>
#include <QWidget>
#include <map>

#include "ui/app_state.h"
#include "ui/layout.h"
#include "ui/messages.h"

namespace veldan::ui {

class CEZPropertyPage : public QWidget {
    Q_OBJECT
  public:
    CEZPropertyPage(int dialogId, AppState& app, QWidget* parent);

    // The page's dialog resource id (102, 134, 135, 139).
    int dialogId() const { return dialogId_; }
    // The control with this id, or null.
    QWidget* control(int id) const;
    // The control with this id as a T, or null.
    template <class T>
    T* controlAs(int id) const {
        return qobject_cast<T*>(control(id));
    }

    // Dialog units to pixels (9-point dialog font: 1.5 pixels per unit).
    static int DluX(int x) { return x * 3 / 2; }
    static int DluY(int y) { return y * 3 / 2; }
    static QRect Dlu(int x, int y, int cx, int cy) { return {DluX(x), DluY(y), DluX(cx), DluY(cy)}; }

  protected:
    // Registers `widget` as control `id`: its object name becomes `kind` + id,
    // its geometry the dialog-unit rectangle. Returns the widget.
    template <class W>
    W* AddControl(W* widget, int id, const char* kind, QRect dlu) {
        RegisterControl(widget, id, kind, dlu);
        return widget;
    }
    // Records the anchoring of the present controls (missing ids are skipped);
    // call once the controls exist, with the page at its template size.
    void InitLayout(const AnchorPair* table);

    // A window message posted or sent to this page; true when handled.
    virtual bool OnAppMessage(const AppEvent& message) { return false; }
    // After every relayout: pages set their list columns here.
    virtual void OnPageResized() {}

    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    AppState& app_;

  private:
    void RegisterControl(QWidget* widget, int id, const char* kind, QRect dlu);

    int dialogId_;
    std::map<int, QWidget*> controls_;
    AnchorLayout anchors_;
    bool anchored_ = false;
};

}  // namespace veldan::ui
