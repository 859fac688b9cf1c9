// The main window: the HTML page and its "app:" page commands, the pages over
// it, the start page's database texts and scan button, the hand-over from the
// start page to the scan result page and back, keys and resizing.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "platform/folders.h"
#include "support/run_program.h"
#include "ui/ax_page.h"
#include "ui/clsid_page.h"
#include "ui/html_ctrl.h"
#include "ui/scan_result_page.h"
#include "ui/start_page.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureQtApp();
        const std::string program = rig.rig.dir.path().string() + "/program";
        fs::create_directories(program + "/core");
        fs::create_directories(program + "/data");
        std::ofstream(program + "/core/addb.txt")
            << "#VERSION 2006.12.08\n#NAME Toolbar Demo\nFile %PFDIR%\\Demo\\demo.exe\n";
        fs::copy_file(test::SourceFolder() + "/data/main.htm", program + "/data/main.htm");
        rig.rig.image.File("C:\\Program Files\\Demo\\demo.exe", "demo");
        AppState& app = rig.Load(program);
        platform::InitFolderTable(app.ctx);
        app.homePage = "http://home.veldan.test/";
        app.layout = ParseLayout("main_cx=760\nmain_cy=540\nsub_x=200\nsub_y=90\nsub_cx=540\nsub_cy=430\n");
    }
    CMainDlg& Open() {
        window = std::make_unique<CMainDlg>(*rig.app);
        window->show();
        EXPECT_TRUE(test::WaitFor([&] { return window->databaseLoaded(); }));
        QCoreApplication::processEvents();
        return *window;
    }
    // Which pages are visible, as "S R I K" letters.
    std::string Visible() {
        std::string v;
        if (window->startPage()->isVisible()) v += 'S';
        if (window->scanPage()->isVisible()) v += 'R';
        if (window->axPage()->isVisible()) v += 'I';
        if (window->clsidPage()->isVisible()) v += 'K';
        return v;
    }
    template <class T>
    T* Find(QWidget* page, const char* name) {
        return page->findChild<T*>(name);
    }

    test::UiRig rig;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(MainWindowTest, PagesLieOverTheHtmlPageAndNoneIsShownAtStart) {
    CMainDlg& w = Open();
    ASSERT_NE(w.html(), nullptr);
    EXPECT_EQ(w.html()->geometry(), QRect(0, 0, 760, 540));
    EXPECT_EQ(w.startPage()->geometry(), QRect(200, 90, 540, 430));
    EXPECT_EQ(w.clsidPage()->geometry(), QRect(200, 90, 540, 430));
    EXPECT_EQ(Visible(), "");
    EXPECT_TRUE(w.html()->toPlainText().contains(QStringLiteral("악성코드 검사")));
    EXPECT_EQ(w.minimumSize(), QSize(760, 540));
}

TEST_F(MainWindowTest, PageCommandsChooseThePage) {
    CMainDlg& w = Open();
    w.html()->OnAppCmd("Imm");
    EXPECT_EQ(Visible(), "I");
    w.html()->OnAppCmd("kb");
    EXPECT_EQ(Visible(), "K");
    w.html()->OnAppCmd("snd");
    EXPECT_EQ(Visible(), "S");
    w.html()->OnAppCmd("CLOSE");  // not a close: hides every page
    EXPECT_EQ(Visible(), "");
    EXPECT_TRUE(w.isVisible());
    w.html()->OnAppCmd("close");
    EXPECT_TRUE(test::WaitFor([&] { return !w.isVisible(); }));
}

TEST_F(MainWindowTest, TheStartPageShowsTheDatabaseAndStartsAScanOnTheResultPage) {
    CMainDlg& w = Open();
    CStartDlg* start = w.startPage();
    EXPECT_EQ(Find<QLabel>(start, "static1055")->text().trimmed(), "2006.12.08");
    EXPECT_EQ(Find<QLabel>(start, "static1049")->text(), "1");
    auto* button = Find<QPushButton>(start, "button1046");
    auto* address = Find<QLineEdit>(start, "edit1045");
    EXPECT_TRUE(test::WaitFor([&] { return button->isEnabled(); }));
    EXPECT_TRUE(address->isEnabled());
    EXPECT_EQ(address->text(), "http://home.veldan.test/");

    w.html()->OnAppCmd("snd");
    address->setText("   ");
    button->click();
    EXPECT_EQ(rig.app->homePage, "about:blank");
    EXPECT_EQ(rig.app->settings.ReadString("homepage", ""), "about:blank");
    EXPECT_TRUE(test::WaitFor([&] { return w.scanPageCurrent() && w.scanPage()->isVisible(); }));
    EXPECT_FALSE(start->isVisible());
    EXPECT_TRUE(test::WaitFor([&] {
        return !w.scanPage()->WorkerExists() && w.scanPage()->model().RowCount() == 1;
    })) << w.scanPage()->WorkerExists() << " rows " << w.scanPage()->model().RowCount() << " "
        << rig.rig.debug.Text();
    // Check every entry and cure: the row is done, the file gone, the machine written back.
    Find<QPushButton>(w.scanPage(), "button1016")->click();
    EXPECT_TRUE(w.scanPage()->model().Row(0).IsChecked());
    const int changesBefore = rig.machineChanges;
    Find<QPushButton>(w.scanPage(), "button1004")->click();
    EXPECT_TRUE(test::WaitFor([&] { return !w.scanPage()->WorkerExists(); }));
    EXPECT_EQ(w.scanPage()->model().Row(0).status, "완료");
    EXPECT_EQ(Find<QPushButton>(w.scanPage(), "button1033")->text(), "완료");
    EXPECT_GT(rig.machineChanges, changesBefore);
    std::uint32_t attributes = 0;
    EXPECT_NE(rig.rig.ctx->files().GetAttributes("C:\\Program Files\\Demo\\demo.exe", attributes),
              machine::ERROR_SUCCESS);
    // While the result page is current, "snd" shows it, not the start page.
    w.html()->OnAppCmd("imm");
    w.html()->OnAppCmd("snd");
    EXPECT_EQ(Visible(), "R");
    // Leaving the cured result page asks nothing and brings the start page back.
    const std::size_t asked = rig.prompter.asked.size();
    Find<QPushButton>(w.scanPage(), "button1033")->click();
    EXPECT_TRUE(test::WaitFor([&] { return !w.scanPageCurrent(); }));
    EXPECT_EQ(Visible(), "S");
    EXPECT_EQ(rig.prompter.asked.size(), asked);
}

TEST_F(MainWindowTest, EscapeAndEnterDoNotCloseTheWindow) {
    CMainDlg& w = Open();
    QTest::keyClick(&w, Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, ResizingKeepsThePagesMargins) {
    CMainDlg& w = Open();
    w.resize(860, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.html()->size(), QSize(860, 600));
    EXPECT_EQ(w.clsidPage()->size(), QSize(640, 490));
    EXPECT_EQ(w.startPage()->pos(), QPoint(200, 90));
}

}  // namespace
}  // namespace veldan::ui
