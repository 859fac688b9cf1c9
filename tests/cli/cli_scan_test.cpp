// veldan-cli scan and cure on a copy of the bundled infected sample machine,
// with the scrambled databases the build puts into the program folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host/file_read.h"
#include "support/image_builder.h"
#include "support/run_program.h"
#include "text/codepage.h"

namespace veldan::test {
namespace {

class SampleMachine : public ::testing::Test {
protected:
    void SetUp() override { CopyTree(SourceFolder() + "/examples/machines/sample-xp", machine); }
    RunResult Cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--machine", machine});
        return RunProgram("veldan-cli", args);
    }
    static int Count(const std::string& s, const std::string& what) {
        int n = 0;
        for (auto p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    }
    TempDir dir;
    std::string machine = (dir.path() / "machine").string();
};

TEST_F(SampleMachine, ScanListsTheInfectionsWithoutChangingAnything) {
    auto before = Cli({"reg", "export"});
    auto r = Cli({"scan", "--json", "--log", (dir.path() / "scan.log").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"database\": {\"version\": \"2026.12.08\", \"patterns\": ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"completed\": true"), std::string::npos);
    EXPECT_EQ(Count(r.out, "\"name\": "), 16);
    EXPECT_NE(r.out.find("{\"name\": \"Trojan.Downloader.Dlx (Deep Scan)\""), std::string::npos);
    EXPECT_NE(r.out.find("{\"type\": \"REGKEY\", \"label\": \"키\", \"text\": \"HKLM\\\\Software\\\\AdWidget\"}"),
              std::string::npos);
    EXPECT_EQ(r.out.find("HotCoupon"), std::string::npos);  // not on this machine
    // The log: one item text per line, CR LF.
    std::string log;
    ASSERT_TRUE(host::ReadWholeFile((dir.path() / "scan.log").string(), log));
    EXPECT_EQ(log.rfind("HKLM\\Software\\AdWidget\r\nHKCU\\Software\\AdWidget\r\n", 0), 0u);
    EXPECT_EQ(Count(log, "\r\n"), Count(r.out, "\"text\": "));
    // A scan writes nothing back.
    EXPECT_EQ(Cli({"reg", "export"}).out, before.out);

    auto human = Cli({"scan"});
    ASSERT_EQ(human.exitCode, 0);
    EXPECT_NE(human.out.find(" 1. AdWidget Toolbar (12)"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("16 detected"), std::string::npos);
}

TEST_F(SampleMachine, CureOneEntryThenEverythingThenRestart) {
    auto r = Cli({"cure", "--entry", "No Such Program"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("No Such Program"), std::string::npos);

    r = Cli({"cure", "--entry", "DialMaster", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("{\"name\": \"DialMaster\", \"checked\": true, \"status\": \"완료\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"name\": \"BargainPop\", \"checked\": false, \"status\": \"\""), std::string::npos);
    EXPECT_NE(r.out.find("\"failures\": []"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(machine + "/drive_c/WINDOWS/dialmstr.exe"));
    EXPECT_TRUE(std::filesystem::exists(machine + "/drive_c/Program Files/BargainPop/bpop.exe"));

    r = Cli({"cure", "--all", "--json", "--homepage", "http://home.veldan.test/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Count(r.out, "\"checked\": true"), 15);
    // The search helper is held by the shell: it fails and waits for the restart.
    EXPECT_NE(r.out.find("{\"name\": \"SearchMate\", \"checked\": true, \"status\": \"실패\""), std::string::npos);
    EXPECT_NE(r.out.find("\"failures\": [{\"type\": \"FILE\", \"text\": \"C:\\\\WINDOWS\\\\system32\\\\srchmate.dll\"}"),
              std::string::npos);
    auto start = Cli({"reg", "export", "HKCU\\Software\\Microsoft\\Internet Explorer\\Main"});
    EXPECT_NE(start.out.find("\"Start Page\"=\"http://home.veldan.test/\""), std::string::npos) << start.out;

    r = Cli({"scan", "--json"});
    EXPECT_EQ(Count(r.out, "\"name\": "), 1);
    EXPECT_NE(r.out.find("srchmate.dll"), std::string::npos);

    ASSERT_EQ(Cli({"machine", "restart"}).exitCode, 0);
    r = Cli({"scan"});
    EXPECT_NE(r.out.find("발견된 악성코드가 없습니다."), std::string::npos) << r.out;
}

TEST_F(SampleMachine, HomePageComesFromTheSettingsFile) {
    TempDir program;
    std::filesystem::copy(ProgramFolder() + "/data", program.path() / "data");
    program.Write("Veldan.ini", "[VELDAN]\r\nhomepage=http://portal.veldan.test/\r\n");
    auto r = RunProgram("veldan-cli", {"--program-folder", program.str(), "cure", "--machine", machine, "--entry",
                                       "CoolSurf Search"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto start = Cli({"reg", "export", "HKCU\\Software\\Microsoft\\Internet Explorer\\Main"});
    EXPECT_NE(start.out.find("\"Start Page\"=\"http://portal.veldan.test/\""), std::string::npos) << start.out;
}

TEST_F(SampleMachine, ACureOfAMachineThatCannotBeWrittenChangesNothing) {
    const std::string before = Cli({"reg", "export"}).out;
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(machine))
        files.push_back(e.path().string());
    std::filesystem::permissions(machine, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    auto r = Cli({"cure", "--all"});
    std::filesystem::permissions(machine, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    EXPECT_EQ(Cli({"reg", "export"}).out, before);
    std::vector<std::string> after;
    for (const auto& e : std::filesystem::recursive_directory_iterator(machine))
        after.push_back(e.path().string());
    EXPECT_EQ(after, files);
}

// Every path below `root` with its modification time.
std::vector<std::string> TreeState(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        out.push_back(e.path().string() + " " +
                      std::to_string(e.last_write_time().time_since_epoch().count()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CliReadOnlyCommands, LookingNeverChangesTheMachine) {
    TempDir dir;
    // A machine without any of the shell's folders.
    ImageBuilder b(dir);
    b.Ini("[machine]\nos=nt\n").File("C:\\WINDOWS\\notepad.exe");
    const auto before = TreeState(b.folder());
    for (std::vector<std::string> args : {std::vector<std::string>{"scan", "--json"},
                                          {"db", "info"},
                                          {"immunize", "list"},
                                          {"killbit", "list"},
                                          {"reg", "export"}}) {
        args.insert(args.begin() + (args[0] == "db" ? 2 : 1), {"--machine", b.folder()});
        auto r = RunProgram("veldan-cli", args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(TreeState(b.folder()), before) << args[0];
    }
}

TEST(CliScanUsage, ErrorsAndMissingMachines) {
    EXPECT_EQ(RunProgram("veldan-cli", {"scan"}).exitCode, 2);
    EXPECT_EQ(RunProgram("veldan-cli", {"cure", "--machine", "/nonexistent"}).exitCode, 2);
    EXPECT_EQ(RunProgram("veldan-cli", {"cure", "--machine", "/nonexistent", "--all", "--entry", "x"}).exitCode, 2);
    auto r = RunProgram("veldan-cli", {"scan", "--machine", "/nonexistent/machine"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/nonexistent/machine"), std::string::npos);
}

}  // namespace
}  // namespace veldan::test
