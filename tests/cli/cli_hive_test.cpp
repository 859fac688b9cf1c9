// veldan-cli on a Windows installation: the bundled sample converted to hive
// form scans as the image does; cures write the hives back with backups; the
// user and unclean hives are asked about; machine convert both ways.

#include <gtest/gtest.h>

#include <filesystem>

#include "host/file_read.h"
#include "support/hive_factory.h"
#include "support/run_program.h"
#include "text/codepage.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;

class SampleInstallation : public ::testing::Test {
  protected:
    void SetUp() override {
        CopyTree(SourceFolder() + "/examples/machines/sample-xp", image);
        auto r = RunProgram(
            "veldan-cli", {"machine", "convert", "--from", image, "--to", xp, "--format", "hive"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("written: " + xp + "/WINDOWS/system32/config/SOFTWARE\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("note: 5 processes and 3 windows left out"), std::string::npos);
    }
    static RunResult Cli(std::vector<std::string> args, const std::string& machine) {
        args.insert(args.begin() + (args[0] == "reg" || args[0] == "db" ? 2 : 1),
                    {"--machine", machine});
        return RunProgram("veldan-cli", args);
    }
    std::string Hive(std::string_view relative) const {
        return (fs::path(xp) / fs::path(std::string(relative))).string();
    }
    static int Count(const std::string& s, const std::string& what) {
        int n = 0;
        for (auto p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    }
    TempDir dir;
    std::string image = (dir.path() / "image").string();
    std::string xp = (dir.path() / "xp").string();
};

TEST_F(SampleInstallation, ScansAsTheImageDoes) {
    auto fromImage = Cli({"scan", "--json"}, image);
    auto fromHives = Cli({"scan", "--json"}, xp);
    ASSERT_EQ(fromHives.exitCode, 0) << fromHives.err;
    EXPECT_GT(Count(fromHives.out, "\"name\": "), 5);
    // The current control set shows under both its names in both forms.
    for (const char* set : {"ControlSet001", "CurrentControlSet"}) {
        EXPECT_NE(
            fromImage.out.find("HKLM\\\\SYSTEM\\\\" + std::string(set) + "\\\\Services\\\\SLSvc"),
            std::string::npos)
            << set;
    }
    EXPECT_EQ(fromHives.out, fromImage.out);
    EXPECT_EQ(Cli({"db", "info", "--json"}, xp).out, Cli({"db", "info", "--json"}, image).out);
    for (const char* key : {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main",
                            "HKCR\\CLSID", "HKLM\\SYSTEM\\CurrentControlSet\\Services\\SLSvc",
                            "HKLM\\SYSTEM\\ControlSet001\\Services\\SLSvc"}) {
        auto a = Cli({"reg", "export", key}, image);
        auto b = Cli({"reg", "export", key}, xp);
        ASSERT_EQ(b.exitCode, 0) << key << b.err;
        EXPECT_EQ(b.out, a.out) << key;
    }
    // The whole registry names the current control set once, as the image does.
    const std::string whole = Cli({"reg", "export"}, xp).out;
    EXPECT_NE(whole.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\SLSvc]"),
              std::string::npos);
    EXPECT_EQ(whole.find("CurrentControlSet"), std::string::npos);
    auto missing = Cli({"reg", "export", "HKLM\\Software\\Nowhere"}, xp);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("key not found"), std::string::npos);
    // A scan writes nothing.
    EXPECT_FALSE(fs::exists(Hive("WINDOWS/system32/config/SOFTWARE.veldan-backup")));
}

TEST_F(SampleInstallation, CureWritesTheHivesBackAfterBackingThemUp) {
    std::string softwareBefore;
    ASSERT_TRUE(host::ReadWholeFile(Hive("WINDOWS/system32/config/SOFTWARE"), softwareBefore));
    auto r = Cli({"cure", "--all", "--json"}, xp);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Nothing runs on an installation, so nothing stays locked.
    EXPECT_NE(r.out.find("\"failures\": []"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("veldan-cli: hive backed up to " + xp +
                         "/WINDOWS/system32/config/SOFTWARE.veldan-backup\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("NTUSER.DAT.veldan-backup"), std::string::npos);
    std::string backup;
    ASSERT_TRUE(host::ReadWholeFile(Hive("WINDOWS/system32/config/SOFTWARE.veldan-backup"), backup));
    EXPECT_EQ(backup, softwareBefore);

    auto after = Cli({"scan", "--json"}, xp);
    EXPECT_EQ(Count(after.out, "\"name\": "), 0) << after.out;
    auto start = Cli({"reg", "export", "HKCU\\Software\\Microsoft\\Internet Explorer\\Main"}, xp);
    EXPECT_NE(start.out.find("\"Start Page\"=\"about:blank\""), std::string::npos) << start.out;

    // A second cure finds nothing to change and keeps the first backups.
    ASSERT_EQ(Cli({"cure", "--all"}, xp).exitCode, 0);
    EXPECT_FALSE(fs::exists(Hive("WINDOWS/system32/config/SOFTWARE.veldan-backup-2")));
}

TEST_F(SampleInstallation, SeveralProfilesNeedTheUserNamed) {
    fs::create_directories(Hive("Documents and Settings/Guest"));
    fs::copy_file(Hive("Documents and Settings/Owner/NTUSER.DAT"),
                  Hive("Documents and Settings/Guest/NTUSER.DAT"));
    for (std::vector<std::string> command : {std::vector<std::string>{"scan"},
                                             {"cure", "--all"},
                                             {"reg", "export"},
                                             {"db", "info"},
                                             {"immunize", "list"},
                                             {"killbit", "list"},
                                             {"machine", "restart"}}) {
        auto r = Cli(command, xp);
        EXPECT_EQ(r.exitCode, 2) << command[0];
        EXPECT_NE(r.err.find("choose one with --user: Guest, Owner"), std::string::npos) << r.err;
        command.insert(command.end(), {"--user", "owner"});
        if (command[0] == "cure" || command[0] == "machine") continue;  // these change the machine
        auto named = Cli(command, xp);
        EXPECT_EQ(named.exitCode, 0) << command[0] << named.err;
    }
    auto r = Cli({"scan", "--json", "--user", "Owner"}, xp);
    EXPECT_EQ(r.out, Cli({"scan", "--json"}, image).out);
    r = Cli({"scan", "--user", "Nobody"}, xp);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no user profile 'Nobody' (profiles: Guest, Owner)"), std::string::npos);
    EXPECT_EQ(Cli({"db", "scramble", "a", "b", "--user", "x"}, xp).exitCode, 2);
}

TEST_F(SampleInstallation, UncleanHivesNeedForce) {
    SetHiveSequences(Hive("Documents and Settings/Owner/NTUSER.DAT"), 9, 8);
    auto r = Cli({"scan", "--json"}, xp);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("NTUSER.DAT: the hive was not cleanly written"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--force"), std::string::npos);
    r = Cli({"scan", "--json", "--force"}, xp);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Cli({"scan", "--json"}, image).out);
}

TEST_F(SampleInstallation, ConvertsBackToAnImage) {
    const std::string back = (dir.path() / "back").string();
    auto r = RunProgram("veldan-cli",
                        {"machine", "convert", "--from", xp, "--to", back, "--format", "reg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("converted " + xp + " to " + back + " (reg)"), std::string::npos);
    EXPECT_TRUE(fs::exists(back + "/registry/machine.reg"));
    // The image made from the installation keeps the control set once, linked
    // from CurrentControlSet as the installation shows it.
    EXPECT_EQ(Cli({"scan", "--json"}, back).out, Cli({"scan", "--json"}, xp).out);
    std::string reg;
    ASSERT_TRUE(host::ReadWholeFile(back + "/registry/machine.reg", reg));
    EXPECT_EQ(text::DecodeText(reg).find("CurrentControlSet"), std::string::npos);
    EXPECT_EQ(Cli({"scan", "--json"}, back).out, Cli({"scan", "--json"}, image).out);

    auto convert = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"machine", "convert"});
        return RunProgram("veldan-cli", args);
    };
    EXPECT_EQ(convert({"--from", xp, "--format", "reg"}).exitCode, 2);
    EXPECT_EQ(convert({"--from", xp, "--to", back + "2", "--format", "zip"}).exitCode, 2);
    r = convert({"--from", image, "--to", back + "2", "--format", "reg"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is a machine image already"), std::string::npos) << r.err;
    r = convert({"--from", image, "--to", back, "--format", "hive"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("new or empty folder"), std::string::npos) << r.err;
    EXPECT_EQ(convert({"--from", image, "--to", back + "2", "--format", "hive", "--machine", xp})
                  .exitCode,
              2);
}

}  // namespace
}  // namespace veldan::test
