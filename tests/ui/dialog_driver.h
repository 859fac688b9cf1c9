#pragma once
// Drives a modal dialog from a test: the action runs from the dialog's own
// event loop once a dialog of the given type is the active modal widget. The
// action must close the dialog (or arrange for a later action that does).

#include <QApplication>
#include <QTimer>
#include <functional>

namespace veldan::test {

// Runs `act` on the next modal dialog of type D; gives up after about five
// seconds without one.
template <class D>
void WhenDialogOpens(std::function<void(D*)> act, int triesLeft = 500) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (triesLeft > 0) {
            WhenDialogOpens<D>(std::move(act), triesLeft - 1);
        }
    });
}

}  // namespace veldan::test
