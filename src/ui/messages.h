#pragma once
// The window messages that pass between the main window, its pages, the HTML
// control and the worker threads. They keep their Windows values; each value
// is also a Qt event type (they all lie in Qt's user range), so a worker posts
// them with QCoreApplication::postEvent and a window handles them in event().

#include <QEvent>
#include <QString>

namespace veldan::ui {

enum WindowMessage : int {
    WM_HTML_FIT = 0x401,      // HTML control -> main window: "fit" command
    WM_PAGE_COMMAND = 0x402,  // HTML control -> main window (sent): page command text
    WM_ENABLE_START = 0x46F,  // main window -> start page
    WM_START_SCAN = 0x470,    // start page -> main window -> scan result page
    WM_SHOW_START = 0x471,    // scan result page -> main window
    WM_KB_REFRESH = 0x473,    // immunization page -> KillBit page
    WM_SCAN_DONE = 0x69A,     // scan worker -> scan result page; lParam 1 completed, 0 cancelled
    WM_CURE_DONE = 0x69B,     // cure worker -> scan result page; lParam 1 completed, 0 cancelled
    WM_DB_LOADED = 0x69C,     // database loader -> main window -> start page, immunization page
    WM_KEPT_DONE = 0x69D,     // quarantine worker -> cure history dialog (restore or purge)
};

static_assert(int(WM_HTML_FIT) > int(QEvent::User) && int(WM_KEPT_DONE) < int(QEvent::MaxUser));

// One window message as a Qt event: its two parameters and, for the page
// command, its text.
class AppEvent : public QEvent {
  public:
    explicit AppEvent(WindowMessage message, long long wParam = 0, long long lParam = 0,
                      QString text = {})
        : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam),
          text_(std::move(text)) {}

    WindowMessage message() const { return static_cast<WindowMessage>(type()); }
    long long wParam() const { return wParam_; }
    long long lParam() const { return lParam_; }
    const QString& text() const { return text_; }

  private:
    long long wParam_;
    long long lParam_;
    QString text_;
};

// Posts a window message to `receiver` (any thread); returns at once.
void PostAppMessage(QObject* receiver, WindowMessage message, long long wParam = 0,
                    long long lParam = 0);

}  // namespace veldan::ui
