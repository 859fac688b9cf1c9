#include "ui/html_ctrl.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include "ui/app_commands.h"
#include "ui/messages.h"

namespace veldan::ui {

namespace {

// Marks the padding that FitPageToView added below a table cell, so that the
// next fit starts from the page's own layout.
constexpr int kAddedPadding = QTextFormat::UserProperty + 1;

// The first table at the top level of `doc`, or null.
QTextTable* PageTable(QTextDocument* doc) {
    for (QTextFrame* frame : doc->rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) return table;
    }
    return nullptr;
}

// Sets the padding added below the first cell of `table`'s last row to
// `added` pixels (a cell's padding counts towards its row's height; its last
// paragraph's margin does not).
void SetAddedPadding(QTextTable* table, qreal added) {
    QTextTableCell cell = table->cellAt(table->rows() - 1, 0);
    QTextTableCellFormat format = cell.format().toTableCellFormat();
    const qreal before = format.doubleProperty(kAddedPadding);
    if (before == added) return;
    format.setBottomPadding(format.bottomPadding() - before + added);
    format.setProperty(kAddedPadding, added);
    cell.setFormat(format);
    // A new cell format alone does not make the layout measure the table again.
    table->document()->markContentsDirty(table->firstPosition(),
                                         table->lastPosition() - table->firstPosition() + 1);
}

}  // namespace

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(true);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(0);
    document()->setUndoRedoEnabled(false);
}

int CHtmlCtrl::FitPageToView() {
    QTextTable* table = PageTable(document());
    // Before the view's first layout (hidden until now) there is nothing to measure.
    if (fitting_ || !table || table->rows() == 0 || document()->textWidth() <= 0) return 0;
    fitting_ = true;
    // The first cell of the last row grows; the row's other cells follow it.
    SetAddedPadding(table, 0);
    const qreal spare = viewport()->height() - document()->size().height();
    const int added = spare >= 1 ? static_cast<int>(spare) : 0;
    SetAddedPadding(table, added);
    fitting_ = false;
    return added;
}

void CHtmlCtrl::resizeEvent(QResizeEvent* e) {
    QTextBrowser::resizeEvent(e);
    FitPageToView();
}

bool CHtmlCtrl::CreateFromStatic(int id, QWidget* parent) {
    if (!parent) return false;
    QWidget* placeholder =
        parent->findChild<QWidget*>(QStringLiteral("static%1").arg(id), Qt::FindDirectChildrenOnly);
    if (!placeholder) return false;
    QRect rect = placeholder->geometry();
    delete placeholder;
    setParent(parent);
    setObjectName(QStringLiteral("html%1").arg(id));
    setGeometry(rect);
    lower();  // the pages lie over it
    show();
    return true;
}

void CHtmlCtrl::Navigate(const QString& hostPath) {
    setSource(QUrl::fromLocalFile(hostPath));
}

void CHtmlCtrl::OnAppCmd(const QString& command) {
    QWidget* parent = parentWidget();
    if (!parent) return;
    AppCommand cmd = ClassifyAppCommand(command.toStdString());
    switch (cmd.kind) {
        case AppCommandKind::Close:
            QMetaObject::invokeMethod(parent, &QWidget::close, Qt::QueuedConnection);
            break;
        case AppCommandKind::Fit:
            PostAppMessage(parent, WM_HTML_FIT, cmd.fit);
            break;
        case AppCommandKind::Page: {
            AppEvent message(WM_PAGE_COMMAND, 0, 0, command);
            QCoreApplication::sendEvent(parent, &message);
            break;
        }
    }
}

void CHtmlCtrl::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    std::string command;
    if (IsAppAddress(name.toString().toStdString(), command)) {
        OnAppCmd(QString::fromStdString(command));
        return;  // never navigate to an "app:" address
    }
    QTextBrowser::doSetSource(name, type);
    FitPageToView();
}

QVariant CHtmlCtrl::loadResource(int type, const QUrl& name) {
    const QString scheme = name.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        QByteArray body;
        if (fetcher_ && fetcher_(name, body)) return body;
        return type == QTextDocument::HtmlResource ? QVariant(ErrorPageHtml(name.toString()))
                                                   : QVariant();
    }
    QVariant data = QTextBrowser::loadResource(type, name);
    if (!data.isValid() && type == QTextDocument::HtmlResource)
        return ErrorPageHtml(name.isLocalFile() ? name.toLocalFile() : name.toString());
    return data;
}

QString ErrorPageHtml(const QString& address) {
    return QStringLiteral(
               "<html><body style=\"font-family: sans-serif\"><h2>페이지를 표시할 수 없습니다</h2>"
               "<p>요청한 페이지를 열 수 없습니다.</p><p><tt>%1</tt></p></body></html>")
        .arg(address.toHtmlEscaped());
}

}  // namespace veldan::ui
