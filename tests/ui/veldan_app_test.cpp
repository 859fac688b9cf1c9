// The program's start-up: the layout rule, the machine to scan (named or
// chosen), the privilege step, the kill-bit runs after the database load and
// the machine written back at the end. Runs in this process with a scripted
// prompter; the main window is closed once the database has loaded.
#include "ui/veldan_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "platform/app_settings.h"
#include "support/http_server.h"
#include "support/release_keys.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/update_release.h"
#include "ui/main_window.h"
#include "ui_fixture.h"

namespace veldan::ui {
namespace {

namespace fs = std::filesystem;

class VeldanAppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureQtApp();
        setenv("VELDAN_INSTANCE_DIR", (dir.path() / "locks").c_str(), 1);
        fs::create_directories(dir.path() / "locks");
        program = (dir.path() / "program").string();
        fs::create_directories(program + "/data");
        fs::create_directories(program + "/core");
        for (const char* db : {"addb.txt", "ckdb.txt"})
            fs::copy_file(test::SourceFolder() + "/core/" + db, program + "/core/" + db);
        machineFolder = (dir.path() / "machine").string();
        test::CopyTree(test::SourceFolder() + "/examples/machines/sample-xp", machineFolder);
        setenv("VELDAN_UPDATE_HOST", "127.0.0.1:9", 1);  // nothing answers there
    }
    void TearDown() override {
        unsetenv("VELDAN_INSTANCE_DIR");
        unsetenv("VELDAN_UPDATE_HOST");
        unsetenv("TMPDIR");
    }

    void WriteLayout(const std::string& text) { std::ofstream(program + "/data/layout") << text; }

    // Runs the program; closes its main window once the database has loaded.
    int RunAndClose(StartOptions options) {
        bool sawLoaded = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* main = qobject_cast<CMainDlg*>(w);
                if (main && main->databaseLoaded()) {
                    sawLoaded = true;
                    main->close();
                }
            }
        });
        poll.start(20);
        int status = CVeldanApp(prompter, &debug).Run(std::move(options));
        EXPECT_TRUE(sawLoaded);
        return status;
    }

    test::TempDir dir;
    std::string program;
    std::string machineFolder;
    test::ScriptedPrompter prompter;
    text::CaptureDebugSink debug;
};

constexpr const char* kLayout =
    "main_cx=760\nmain_cy=540\nsub_x=0\nsub_y=0\nsub_cx=540\nsub_cy=430\n";

TEST_F(VeldanAppTest, WithoutACompleteLayoutNothingIsShown) {
    WriteLayout("main_cx=0\nmain_cy=540\nsub_cx=540\nsub_cy=430\n");
    StartOptions options;
    options.programFolder = program;
    options.machineFolder = machineFolder;
    EXPECT_EQ(CVeldanApp(prompter, &debug).Run(options), 0);
    EXPECT_EQ(debug.Text(), "NO layout!!!\n");
    EXPECT_TRUE(prompter.asked.empty());
    fs::remove(program + "/data/layout");
    EXPECT_EQ(CVeldanApp(prompter, &debug).Run(options), 0);
    EXPECT_EQ(debug.Text(), "NO layout!!!\nNO layout!!!\n");
}

TEST_F(VeldanAppTest, AMachineThatCannotBeOpenedIsReported) {
    WriteLayout(kLayout);
    StartOptions options;
    options.programFolder = program;
    options.machineFolder = (dir.path() / "no-such-machine").string();
    EXPECT_EQ(CVeldanApp(prompter, &debug).Run(options), 1);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_TRUE(
        prompter.asked[0].text.startsWith("검사할 컴퓨터를 열 수 없습니다.\n\n폴더가 없습니다."))
        << prompter.asked[0].text.toStdString();
    EXPECT_FALSE(prompter.asked[0].text.contains("no machine image"));  // Korean only
}

TEST_F(VeldanAppTest, WithoutAMachineTheFolderIsAskedForAndRemembered) {
    WriteLayout(kLayout);
    StartOptions options;
    options.programFolder = program;
    prompter.folderAnswer = "";  // the user cancels: the program ends quietly
    EXPECT_EQ(CVeldanApp(prompter, &debug).Run(options), 0);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                !qobject_cast<CMainDlg*>(QApplication::topLevelWidgets().front()));

    prompter.folderAnswer = QString::fromStdString(machineFolder);
    EXPECT_EQ(RunAndClose(options), 0);
    EXPECT_EQ(platform::CAppSettings(program).ReadString("machine", ""), machineFolder);
}

TEST_F(VeldanAppTest, StartsWithoutAdministrativeRightsAndRunsTheKillBitRunsAfterLoading) {
    WriteLayout(kLayout);
    // The user has no administrative rights.
    std::string text;
    {
        std::ifstream in(machineFolder + "/machine.ini");
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    text.insert(text.find("[machine]\n") + 10, "admin=no\n");
    std::ofstream(machineFolder + "/machine.ini", std::ios::trunc) << text;
    // An exclusion line of the database loses its kill bit at every start.
    const std::string killBitKey =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX "
        "Compatibility\\{0E5F0222-96B9-11D3-8997-00104BD12D94}";
    std::ofstream(machineFolder + "/registry/99-killbit.reg")
        << "Windows Registry Editor Version 5.00\n\n[" << killBitKey
        << "]\n\"Compatibility Flags\"=dword:00000400\n";
    std::ofstream(program + "/core/addb.txt", std::ios::app)
        << "\n^{0E5F0222-96B9-11D3-8997-00104BD12D94}\n";

    test::RunResult before = test::RunProgram(
        "veldan-cli", {"reg", "export", "--machine", machineFolder, "HKLM\\SOFTWARE\\Microsoft"});
    ASSERT_NE(before.out.find("{0E5F0222-96B9-11D3-8997-00104BD12D94}"), std::string::npos);

    StartOptions options;
    options.programFolder = program;
    options.machineFolder = machineFolder;
    EXPECT_EQ(RunAndClose(options), 0);
    const std::string lines = debug.Text();
    EXPECT_NE(lines.find("SetPrivilege() error... Not all privileges referenced are assigned"),
              std::string::npos);
    EXPECT_NE(lines.find("disarm white... begin... end\n"), std::string::npos);
    EXPECT_LT(lines.find("SetPrivilege() error"), lines.find("disarm white"));
    // The machine was written back with the kill bit gone.
    test::RunResult exported = test::RunProgram(
        "veldan-cli", {"reg", "export", "--machine", machineFolder, "HKLM\\SOFTWARE\\Microsoft"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out.find("{0E5F0222-96B9-11D3-8997-00104BD12D94}"), std::string::npos);
    EXPECT_NE(exported.out.find("Internet Explorer"), std::string::npos);
}

TEST_F(VeldanAppTest, ANewerReleaseIsInstalledByTheUpdaterWhenTheUserAgrees) {
    WriteLayout(kLayout);
    test::BypassProxies();
    const std::string temp = (dir.path() / "tmp").string();
    fs::create_directories(temp);
    setenv("TMPDIR", temp.c_str(), 1);
    fs::copy_file(test::ProgramFolder() + "/VeldanUpdate", program + "/VeldanUpdate");
    const std::string marker = (dir.path() / "new-veldan-ran").string();
    test::HttpServer server;
    test::HttpAnswer version;
    version.body = " 2099.01.01\r\n";
    server.Answer("/veldan/newversion", version);
    test::TrustReleaseKey(program, test::SharedReleaseKeys());
    test::ServeSignedRelease(server,
                             test::BuildMarkerRelease("2099.01.01", marker,
                                                      {{"data/addb", "new database"},
                                                       {"core/addb.txt", "#VERSION 2099.01.01\n"}}),
                             test::SharedReleaseKeys());
    setenv("VELDAN_UPDATE_HOST", server.HostPort().c_str(), 1);
    prompter.answers = {IDYES};

    StartOptions options;
    options.programFolder = program;
    options.machineFolder = machineFolder;
    // The window closes itself for the update; the program then ends.
    EXPECT_EQ(CVeldanApp(prompter, &debug).Run(options), 0);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "최신 업데이트가 있습니다. 다운로드하시겠습니까?");
    EXPECT_EQ(prompter.asked[0].caption, "VELDAN Update");
    EXPECT_NE(debug.Text().find("2026.12.08  <----> 2099.01.01\n"), std::string::npos)
        << debug.Text();

    // The updater ran from its copy in the temporary folder, unpacked the
    // release into the program folder and started the new Veldan there.
    ASSERT_TRUE(test::WaitForFile(marker, std::chrono::seconds(60)));
    std::vector<std::string> ran = test::ReadMarker(marker);
    ASSERT_GE(ran.size(), 2u);
    EXPECT_EQ(ran[0], "2099.01.01");
    EXPECT_EQ(fs::canonical(ran[1]), fs::canonical(program));
    EXPECT_TRUE(fs::exists(temp + "/VeldanUpdate"));
    std::ifstream addb(program + "/data/addb");
    std::string bytes((std::istreambuf_iterator<char>(addb)), {});
    EXPECT_EQ(bytes, "new database");
}

}  // namespace
}  // namespace veldan::ui
