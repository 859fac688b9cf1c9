#pragma once
// The HTML view that covers the main window: it shows data/main.htm, follows
// ordinary links inside itself and turns "app:" links into commands for the
// program instead of following them.

#include <QTextBrowser>
#include <QUrl>
#include <functional>

namespace veldan::ui {

class CHtmlCtrl : public QTextBrowser {
    Q_OBJECT
  public:
    // Fetches the body of a web address (http); false when it cannot.
    using WebFetcher = std::function<bool(const QUrl& url, QByteArray& body)>;

    explicit CHtmlCtrl(QWidget* parent = nullptr);

    // Takes the place of the parent's child control `id` (object name
    // "static<id>"): same rectangle, the placeholder is destroyed. Returns false
    // when the parent has no such control.
    bool CreateFromStatic(int id, QWidget* parent);

    // Shows a local file (host path).
    void Navigate(const QString& hostPath);

    // The command of an "app:" link (the text after "app:"): "close…" closes the
    // parent window, "fit<n>" posts WM_HTML_FIT, anything else is sent to the
    // parent as WM_PAGE_COMMAND.
    virtual void OnAppCmd(const QString& command);

    // How web pages are fetched when a link leaves the local files; without
    // one, such a link shows the error page.
    void setWebFetcher(WebFetcher fetcher) { fetcher_ = std::move(fetcher); }

    // Rich text knows no table height, so a page laid out as one table would
    // end where its content ends. When the page's first table is shorter than
    // the view, its last row is stretched so that the table fills the view's
    // height (widths come from the page: width="100%" fills the view's width).
    // Runs after every navigation and resize; returns the pixels added.
    int FitPageToView();

  protected:
    void resizeEvent(QResizeEvent* e) override;
    // Every navigation passes here: "app:" addresses are commands and are never followed.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    WebFetcher fetcher_;
    bool fitting_ = false;
};

// The page shown when an address cannot be opened.
QString ErrorPageHtml(const QString& address);

}  // namespace veldan::ui
