// veldan-cli cure, quarantine and the dry run, end to end on the bundled
// sample machine as an image, as a Windows 98 image and as an installation:
// cure --all, then quarantine restore --all gives back an identical registry
// export and file tree; a dry run changes not a byte; bad input changes nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>
#include "support/drive_tree.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

RunResult Cli(std::vector<std::string> args) {
    return RunProgram("veldan-cli", args);
}

Json ParsedOut(const RunResult& r) {
    Json doc = Json::parse(r.out, nullptr, false);
    EXPECT_FALSE(doc.is_discarded()) << r.out << r.err;
    return doc.is_discarded() ? Json::object() : doc;
}

// Every file below `root` with its content, permissions and modification time.
std::string Bytes(const std::string& root) {
    std::string out;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        out += e.path().string() + " " + std::to_string(st.st_mode) + " " +
               std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            out += " " + std::string(std::istreambuf_iterator<char>(in), {});
        }
        out += "\n";
    }
    return out;
}

// The lines only one of two texts holds, marked "-" (first) and "+" (second),
// each cut to 200 characters; "" when they hold the same lines.
std::string Differences(const std::string& a, const std::string& b) {
    auto lines = [](const std::string& text) {
        std::multiset<std::string> out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            out.insert(text.substr(pos, end - pos).substr(0, 200));
            pos = end + 1;
        }
        return out;
    };
    const auto la = lines(a), lb = lines(b);
    std::string out;
    for (const auto& l : la) {
        if (lb.count(l) < la.count(l)) out += "- " + l + "\n";
    }
    for (const auto& l : lb) {
        if (la.count(l) < lb.count(l)) out += "+ " + l + "\n";
    }
    return out;
}

class Quarantine : public ::testing::Test {
  protected:
    void SetUp() override { CopyTree(SourceFolder() + "/examples/machines/sample-xp", image); }

    // Cures every entry, then restores every cure, and checks the machine is
    // the one before: registry export and drive tree (outside `skip`).
    void RoundTrip(const std::string& machine, const std::string& drive, std::string skip) {
        const RunResult exportBefore = Cli({"reg", "export", "--machine", machine});
        ASSERT_EQ(exportBefore.exitCode, 0) << exportBefore.err;
        const std::string treeBefore = DriveTree(drive, skip);

        const RunResult cure = Cli({"cure", "--machine", machine, "--all", "--json"});
        ASSERT_EQ(cure.exitCode, 0) << cure.err;
        const Json doc = ParsedOut(cure);
        int changes = 0;
        for (const Json& row : doc["rows"]) changes += static_cast<int>(row["changes"].size());
        EXPECT_GT(changes, 50);
        ASSERT_TRUE(doc["quarantine"].is_object());
        const std::string id = doc["quarantine"]["id"].get<std::string>();
        EXPECT_NE(Cli({"reg", "export", "--machine", machine}).out, exportBefore.out);

        const RunResult list = Cli({"quarantine", "--machine", machine, "list", "--json"});
        ASSERT_EQ(list.exitCode, 0) << list.err;
        const Json cures = ParsedOut(list)["cures"];
        // The quarantine's "Veldan" folder is new; the rest must be as before.
        std::string folder = ParsedOut(list)["folder"].get<std::string>();
        folder = folder.substr(3, folder.rfind('\\') - 3);
        for (char& c : folder) c = c == '\\' ? '/' : c;
        skip += (skip.empty() ? "" : "|") + folder;
        ASSERT_EQ(cures.size(), 1u);
        EXPECT_EQ(cures[0]["id"], id);
        EXPECT_EQ(cures[0]["restored"], false);
        EXPECT_EQ(cures[0]["changes"], changes + static_cast<int>(doc["changes"].size()));
        EXPECT_EQ(cures[0]["entries"], doc["rows"].size());

        const RunResult restore =
            Cli({"quarantine", "--machine", machine, "restore", "--all", "--json"});
        ASSERT_EQ(restore.exitCode, 0) << restore.out << restore.err;
        const Json report = ParsedOut(restore);
        EXPECT_EQ(report["conflicts"], 0);
        EXPECT_EQ(report["failed"], 0);
        EXPECT_GT(report["restored"].get<int>(), 50);

        EXPECT_EQ(Differences(exportBefore.out, Cli({"reg", "export", "--machine", machine}).out),
                  "");
        EXPECT_EQ(Differences(treeBefore, DriveTree(drive, skip)), "");
        EXPECT_EQ(ParsedOut(Cli({"quarantine", "--machine", machine, "list",
                                 "--json"}))["cures"][0]["restored"],
                  true);
    }

    TempDir dir;
    std::string image = (dir.path() / "image").string();
    const std::string skip = "Documents and Settings/All Users/Application Data/Veldan";
};

TEST_F(Quarantine, CureThenRestoreGivesBackTheSampleMachine) {
    RoundTrip(image, image + "/drive_c", "");
    // The kept files are gone only when purged.
    const std::string kept = image + "/drive_c/" + skip + "/Quarantine";
    EXPECT_FALSE(fs::is_empty(kept));
    const RunResult purge = Cli({"quarantine", "--machine", image, "purge", "--all"});
    EXPECT_EQ(purge.exitCode, 0) << purge.err;
    EXPECT_TRUE(fs::is_empty(kept));
    EXPECT_EQ(ParsedOut(Cli({"quarantine", "--machine", image, "list", "--json"}))["cures"].size(),
              0u);
}

TEST_F(Quarantine, CureThenRestoreGivesBackAWindows98Machine) {
    // The same machine on the 9x family: Wininit.ini holds the deletions at
    // restart, the quarantine sits in the Windows folder's Application Data.
    std::ifstream in(image + "/machine.ini");
    std::string ini((std::istreambuf_iterator<char>(in)), {});
    ini.replace(ini.find("[machine]"), 9, "[machine]\nos=9x");
    std::ofstream(image + "/machine.ini", std::ios::trunc) << ini;
    RoundTrip(image, image + "/drive_c", "");
}

TEST_F(Quarantine, CureThenRestoreGivesBackAnInstallationThroughItsHives) {
    const std::string xp = (dir.path() / "xp").string();
    ASSERT_EQ(Cli({"machine", "convert", "--from", image, "--to", xp, "--format", "hive"}).exitCode,
              0);
    // The hives are written through the hive backend's commit, with backups.
    const std::string user = "Documents and Settings/Owner/NTUSER.DAT";
    RoundTrip(xp, xp,
              "WINDOWS/system32/config|" + user + "|" + user + ".veldan-backup|" + user +
                  ".veldan-backup-2");
    // The backups of the hives as they were before the cure stay.
    EXPECT_TRUE(fs::exists(xp + "/" + user + ".veldan-backup"));
}

TEST_F(Quarantine, FilesDeletedAtTheRestartComeBackToo) {
    const std::string exportBefore = Cli({"reg", "export", "--machine", image}).out;
    const std::string treeBefore = DriveTree(image + "/drive_c");
    ASSERT_EQ(Cli({"cure", "--machine", image, "--all"}).exitCode, 0);
    const std::string held = image + "/drive_c/WINDOWS/system32/srchmate.dll";
    ASSERT_TRUE(fs::exists(held));  // held by a running program until the restart
    ASSERT_EQ(Cli({"machine", "restart", "--machine", image}).exitCode, 0);
    ASSERT_FALSE(fs::exists(held));

    const RunResult r = Cli({"quarantine", "--machine", image, "restore", "--all"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(held));
    EXPECT_EQ(Differences(exportBefore, Cli({"reg", "export", "--machine", image}).out), "");
    EXPECT_EQ(Differences(treeBefore, DriveTree(image + "/drive_c", skip)), "");
}

TEST_F(Quarantine, ADryRunListsThePlanAndChangesNotAByte) {
    const std::string before = Bytes(image);
    const RunResult plan = Cli({"cure", "--machine", image, "--all", "--dry-run", "--json"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    const Json doc = ParsedOut(plan);
    EXPECT_EQ(doc["dryRun"], true);
    int changes = 0;
    for (const Json& row : doc["rows"]) {
        EXPECT_EQ(row["status"], "");
        for (const Json& c : row["changes"]) {
            EXPECT_TRUE(c.contains("op") && c.contains("type") && c.contains("text"));
            ++changes;
        }
    }
    EXPECT_GT(changes, 50);
    EXPECT_EQ(Differences(before, Bytes(image)), "");

    const RunResult text = Cli({"cure", "--machine", image, "--all", "--dry-run"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("nothing was changed"), std::string::npos);
    EXPECT_NE(text.out.find("delete             FILE     C:\\WINDOWS\\xk4j9q2m.exe"),
              std::string::npos)
        << text.out;
    EXPECT_EQ(Differences(before, Bytes(image)), "");
}

TEST_F(Quarantine, TheCureReportListsEveryChangeAndWhereTheFilesAreKept) {
    const RunResult cure = Cli({"cure", "--machine", image, "--all"});
    ASSERT_EQ(cure.exitCode, 0) << cure.err;
    // Changes of cure-only commands and of the start page step are listed too.
    EXPECT_NE(cure.out.find("set                REGVAL   HKCU\\Software\\Microsoft\\Internet "
                            "Explorer\\Main\\Start Page = about:blank"),
              std::string::npos)
        << cure.out;
    EXPECT_NE(cure.out.find("delete             PROSTR   C:\\WINDOWS\\win.ini [windows] run (was: "
                            "C:\\WINDOWS\\system32\\slsvc.exe)"),
              std::string::npos);
    EXPECT_NE(cure.out.find("terminate          PROCESS"), std::string::npos);
    EXPECT_NE(cure.out.find("Removed items are kept in C:\\Documents and Settings\\All "
                            "Users\\Application Data\\Veldan\\Quarantine\\"),
              std::string::npos);
    // A scan does not look into the quarantine.
    const RunResult scan = Cli({"scan", "--machine", image, "--json"});
    EXPECT_EQ(scan.out.find("Quarantine"), std::string::npos);
}

TEST_F(Quarantine, AChangeMadeSinceTheCureIsAConflictUntilForced) {
    ASSERT_EQ(Cli({"cure", "--machine", image, "--all", "--quarantine", "C:\\Kept"}).exitCode, 0);
    EXPECT_TRUE(fs::is_directory(image + "/drive_c/Kept"));
    std::ofstream(image + "/drive_c/WINDOWS/xk4j9q2m.exe", std::ios::trunc) << "the user's file";
    RunResult r = Cli({"quarantine", "--machine", image, "--quarantine", "C:\\Kept", "restore",
                       "--all", "--json"});
    EXPECT_EQ(r.exitCode, 1);
    Json report = ParsedOut(r);
    EXPECT_EQ(report["conflicts"], 1);
    bool named = false;
    for (const Json& item : report["items"]) {
        if (item["outcome"] == "conflict") named = item["text"] == "C:\\WINDOWS\\xk4j9q2m.exe";
    }
    EXPECT_TRUE(named);
    std::ifstream in(image + "/drive_c/WINDOWS/xk4j9q2m.exe");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's file");

    r = Cli({"quarantine", "--machine", image, "--quarantine", "C:\\Kept", "restore", "--all",
             "--force"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    std::ifstream again(image + "/drive_c/WINDOWS/xk4j9q2m.exe");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(again), {}), "the user's file");
}

TEST_F(Quarantine, BadInputGetsAClearErrorAndChangesNothing) {
    // A quarantine on a read-only folder: the cure does not start.
    fs::create_directories(image + "/drive_c/ReadOnly");
    fs::permissions(image + "/drive_c/ReadOnly", fs::perms::owner_write, fs::perm_options::remove);
    std::string before = Bytes(image);
    RunResult r =
        Cli({"cure", "--machine", image, "--all", "--quarantine", "C:\\ReadOnly\\Quarantine"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot cure: cannot create the quarantine folder"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("nothing was changed"), std::string::npos);
    EXPECT_EQ(Differences(before, Bytes(image)), "");

    ASSERT_EQ(Cli({"cure", "--machine", image, "--all", "--json"}).exitCode, 0);
    const std::string id =
        ParsedOut(Cli({"quarantine", "--machine", image, "list", "--json"}))["cures"][0]["id"]
            .get<std::string>();
    before = Bytes(image);
    r = Cli({"quarantine", "--machine", image, "restore", "--id", "20000101T000000Z-01"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no cure has the id '20000101T000000Z-01'"), std::string::npos);
    r = Cli({"quarantine", "--machine", image, "purge", "--id", "nope"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Cli({"quarantine", "--machine", image, "restore"}).exitCode, 2);
    EXPECT_EQ(Cli({"quarantine", "--machine", image, "restore", "--all", "--id", id}).exitCode, 2);
    EXPECT_EQ(Differences(before, Bytes(image)), "");

    // A damaged journal: refused, nothing put back.
    const std::string journal = HostPathOf(image,
                                           "C:\\Documents and Settings\\All Users\\"
                                           "Application Data\\Veldan\\Quarantine\\" +
                                               id + "\\journal.jsonl");
    ASSERT_TRUE(fs::exists(journal));
    std::ofstream(journal, std::ios::trunc) << "{\"format\": \"something else\"}\n";
    before = Bytes(image);
    r = Cli({"quarantine", "--machine", image, "restore", "--all"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a quarantine journal"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was changed"), std::string::npos);
    EXPECT_EQ(Differences(before, Bytes(image)), "");
    r = Cli({"quarantine", "--machine", image, "list"});
    EXPECT_NE(r.out.find("damaged"), std::string::npos);
}

}  // namespace
}  // namespace veldan::test
