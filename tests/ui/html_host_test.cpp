// "app:" links: which addresses are commands, what each command does, which
// pages a page command shows, and the HTML control acting on them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QScrollBar>
#include <QTextBrowser>
#include <fstream>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "ui/app_commands.h"
#include "ui/html_ctrl.h"
#include "ui/messages.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

TEST(AppAddress, FirstFourCharactersInAnyCase) {
    std::string command;
    EXPECT_TRUE(IsAppAddress("app:snd", command));
    EXPECT_EQ(command, "snd");
    EXPECT_TRUE(IsAppAddress("APP:Imm", command));
    EXPECT_EQ(command, "Imm");
    EXPECT_TRUE(IsAppAddress("App:", command));
    EXPECT_EQ(command, "");
    command = "untouched";
    EXPECT_FALSE(IsAppAddress("http://app:snd", command));
    EXPECT_FALSE(IsAppAddress("ap", command));
    EXPECT_EQ(command, "untouched");
}

TEST(AppCommandTest, CloseAndFitArePrefixesCompared) {
    EXPECT_EQ(ClassifyAppCommand("close").kind, AppCommandKind::Close);
    EXPECT_EQ(ClassifyAppCommand("closeNow").kind, AppCommandKind::Close);
    EXPECT_EQ(ClassifyAppCommand("CLOSE").kind, AppCommandKind::Page);  // case matters here
    AppCommand fit = ClassifyAppCommand("fit120x");
    EXPECT_EQ(fit.kind, AppCommandKind::Fit);
    EXPECT_EQ(fit.fit, 120);
    EXPECT_EQ(ClassifyAppCommand("fit").fit, 0);
    EXPECT_EQ(ClassifyAppCommand("Fit3").kind, AppCommandKind::Page);
}

TEST(PageCommandTest, WholeTextAfterLowerCasing) {
    EXPECT_EQ(PagesForCommand("Imm", false), (PageVisibility{false, false, true, false}));
    EXPECT_EQ(PagesForCommand("KB", true), (PageVisibility{false, false, false, true}));
    EXPECT_EQ(PagesForCommand("snd", false), (PageVisibility{true, false, false, false}));
    // After a scan was started the scan result page is the scan page.
    EXPECT_EQ(PagesForCommand("SND", true), (PageVisibility{false, true, false, false}));
    EXPECT_EQ(PagesForCommand("CLOSE", false), PageVisibility{});
    EXPECT_EQ(PagesForCommand("snd ", false), PageVisibility{});
    EXPECT_EQ(PagesForCommand("imm2", false), PageVisibility{});
}

// A parent window that records the messages it gets.
class Recorder : public QWidget {
  public:
    std::vector<std::pair<int, QString>> messages;
    std::vector<long long> fits;
    bool closed = false;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == static_cast<QEvent::Type>(WM_PAGE_COMMAND)) {
            messages.emplace_back(WM_PAGE_COMMAND, static_cast<AppEvent*>(e)->text());
            return true;
        }
        if (e->type() == static_cast<QEvent::Type>(WM_HTML_FIT)) {
            fits.push_back(static_cast<AppEvent*>(e)->wParam());
            return true;
        }
        if (e->type() == QEvent::Close) closed = true;
        return QWidget::event(e);
    }
};

class HtmlCtrlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::EnsureQtApp(); }
    void SetUp() override {
        placeholder = new QWidget(&parent);
        placeholder->setObjectName("static1012");
        placeholder->setGeometry(0, 0, 400, 300);
    }
    void WritePage(const std::string& name, const std::string& html) {
        std::ofstream(dir.path() / name) << html;
    }
    // Follows the link with this address as a click does: relative to the page shown.
    void Follow(CHtmlCtrl& html, const QString& address) {
        html.setSource(html.source().resolved(QUrl(address)));
    }

    test::TempDir dir;
    Recorder parent;
    QWidget* placeholder = nullptr;
};

TEST_F(HtmlCtrlTest, TakesThePlaceOfTheStaticControlOrFailsWithoutIt) {
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    EXPECT_EQ(html.parentWidget(), &parent);
    EXPECT_EQ(html.geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(parent.findChild<QWidget*>("static1012"), nullptr);
    CHtmlCtrl other;
    EXPECT_FALSE(other.CreateFromStatic(1012, &parent));
}

TEST_F(HtmlCtrlTest, AppLinksBecomeCommandsAndAreNeverFollowed) {
    WritePage("main.htm", "<html><body><a href=\"app:snd\">scan</a> main page</body></html>");
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    html.Navigate(QString::fromStdString((dir.path() / "main.htm").string()));
    const QUrl shown = html.source();

    Follow(html, "app:Imm");
    Follow(html, "APP:kb");
    Follow(html, "app:CLOSE");  // not "close": a page command
    ASSERT_EQ(parent.messages.size(), 3u);
    EXPECT_EQ(parent.messages[0].second, "Imm");
    EXPECT_EQ(parent.messages[1].second, "kb");
    EXPECT_EQ(parent.messages[2].second, "CLOSE");
    EXPECT_EQ(html.source(), shown);  // still the main page
    EXPECT_TRUE(html.toPlainText().contains("main page"));

    Follow(html, "app:fit42");
    QCoreApplication::processEvents();
    ASSERT_EQ(parent.fits.size(), 1u);
    EXPECT_EQ(parent.fits[0], 42);
    EXPECT_FALSE(parent.closed);

    parent.show();
    Follow(html, "app:closeall");  // a prefix is enough
    QCoreApplication::processEvents();
    EXPECT_TRUE(parent.closed);
}

TEST_F(HtmlCtrlTest, OrdinaryLinksAreFollowedInsideTheControl) {
    WritePage("main.htm", "<html><body><a href=\"help.htm\">help</a></body></html>");
    WritePage("help.htm", "<html><body>the help page</body></html>");
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    html.Navigate(QString::fromStdString((dir.path() / "main.htm").string()));
    Follow(html, "help.htm");
    EXPECT_TRUE(html.source().toLocalFile().endsWith("help.htm"));
    EXPECT_TRUE(html.toPlainText().contains("the help page"));
    EXPECT_TRUE(parent.messages.empty());
}

TEST_F(HtmlCtrlTest, WebLinksUseTheFetcherAndShowTheErrorPageWithoutOne) {
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    Follow(html, "http://www.veldan.test/");
    EXPECT_TRUE(html.toPlainText().contains("페이지를 표시할 수 없습니다"));

    QUrl asked;
    html.setWebFetcher([&](const QUrl& url, QByteArray& body) {
        asked = url;
        body = "<html><body>fetched from the web</body></html>";
        return true;
    });
    Follow(html, "http://www.veldan.test/news.htm");
    EXPECT_EQ(asked.toString(), "http://www.veldan.test/news.htm");
    EXPECT_TRUE(html.toPlainText().contains("fetched from the web"));
}

TEST_F(HtmlCtrlTest, AMissingPageShowsTheErrorPage) {
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    html.Navigate(QString::fromStdString((dir.path() / "nothing.htm").string()));
    EXPECT_TRUE(html.toPlainText().contains("페이지를 표시할 수 없습니다"));
    EXPECT_TRUE(html.toPlainText().contains("nothing.htm"));
}

TEST_F(HtmlCtrlTest, TheShippedPageFillsTheControlAtEverySize) {
    // Its three bands: the title across the top, the menu down the left, the
    // white panel in the rest, each reaching the control's edges.
    const QColor title(0x1d, 0x3f, 0x6e), menu(0x2b, 0x57, 0x97), panel(Qt::white);
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    html.Navigate(QString::fromStdString(test::SourceFolder() + "/data/main.htm"));
    parent.show();
    for (QSize size : {QSize(760, 540), QSize(1100, 820), QSize(760, 540)}) {
        parent.resize(size);
        html.resize(size);
        QCoreApplication::processEvents();
        const QImage shown = html.grab().toImage();
        ASSERT_EQ(shown.size(), size);
        const int w = size.width(), h = size.height();
        EXPECT_EQ(shown.pixelColor(w - 2, 2), title) << w << "x" << h;
        EXPECT_EQ(shown.pixelColor(2, h - 2), menu) << w << "x" << h;
        EXPECT_EQ(shown.pixelColor(w - 2, h - 2), panel) << w << "x" << h;
        EXPECT_EQ(shown.pixelColor(w / 2, h - 2), panel) << w << "x" << h;
        EXPECT_FALSE(html.verticalScrollBar()->isVisible()) << w << "x" << h;
    }
}

TEST_F(HtmlCtrlTest, APageLongerThanTheControlIsNotStretched) {
    std::string rows;
    for (int i = 0; i < 60; ++i) rows += "<tr><td>row</td></tr>";
    WritePage("long.htm", "<html><body><table width=\"100%\">" + rows + "</table></body></html>");
    CHtmlCtrl html;
    ASSERT_TRUE(html.CreateFromStatic(1012, &parent));
    html.Navigate(QString::fromStdString((dir.path() / "long.htm").string()));
    EXPECT_EQ(html.FitPageToView(), 0);  // not laid out yet
    parent.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(html.FitPageToView(), 0);
    EXPECT_GT(html.document()->size().height(), html.viewport()->height());
    WritePage("short.htm",
              "<html><body><table width=\"100%\"><tr><td>row</td></tr></table></body></html>");
    html.Navigate(QString::fromStdString((dir.path() / "short.htm").string()));
    const int added = html.FitPageToView();
    EXPECT_GT(added, 200);
    EXPECT_EQ(html.FitPageToView(), added);  // a second fit adds nothing more
    EXPECT_LE(html.document()->size().height(), html.viewport()->height());
    EXPECT_GE(html.document()->size().height(), html.viewport()->height() - 1);
}

}  // namespace
}  // namespace veldan::ui
