// A dry run reads the machine and leaves no trace on it: after `cure --dry-run`
// on a copy of the bundled sample machine, as an image and as an installation
// (its hives read through hivex), every file and folder has the access,
// modification and change times it had before. The access
// times are first set far into the past, so that a file system mounted with
// relatime would update them on any ordinary read.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::quarantine {
namespace {

namespace fs = std::filesystem;

struct Times {
    timespec atime, mtime, ctime;
};

bool Same(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool Stat(const std::string& path, Times& t) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    t = Times{st.st_atim, st.st_mtim, st.st_ctim};
    return true;
}

// 2002-02-02 as the last access, 2003-03-03 as the last write: an access time
// older than the write time is one relatime updates on the next read.
void SetPast(const std::string& path) {
    const timespec t[2] = {{1012608000, 0}, {1046649600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::vector<std::string> Entries(const std::string& root) {
    std::vector<std::string> paths{root};
    for (const auto& e : fs::recursive_directory_iterator(root)) paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Whether this file system records reads at all (a noatime mount does not):
// without that there is nothing to see.
bool RecordsReads(const test::TempDir& dir) {
    const std::string probe = dir.Write("probe.txt", "probe").string();
    SetPast(probe);
    Times before{}, after{};
    if (!Stat(probe, before)) return false;
    std::string read;
    std::getline(std::ifstream(probe), read);
    return read == "probe" && Stat(probe, after) && !Same(before.atime, after.atime);
}

// Sets the times of every entry of machine `machine` into the past, runs a dry
// cure of everything on it and expects every time as it was.
void ExpectDryRunLeavesEveryTime(const std::string& machine) {
    const std::vector<std::string> paths = Entries(machine);
    ASSERT_GT(paths.size(), 20u);
    std::map<std::string, Times> was;
    for (const std::string& p : paths) {
        SetPast(p);
        ASSERT_TRUE(Stat(p, was[p])) << p;
    }

    const test::RunResult r = test::RunProgram(
        "veldan-cli", {"cure", "-m", machine, "--all", "--dry-run", "--json", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_NE(r.out.find("\"dryRun\": true"), std::string::npos) << r.out.substr(0, 300);
    ASSERT_NE(r.out.find("\"op\": \"delete\""), std::string::npos);  // the plan deletes things

    for (const auto& [p, t] : was) {
        Times now{};
        ASSERT_TRUE(Stat(p, now)) << p << " is gone";
        EXPECT_TRUE(Same(now.atime, t.atime)) << "read: " << p;
        EXPECT_TRUE(Same(now.mtime, t.mtime)) << "written: " << p;
        EXPECT_TRUE(Same(now.ctime, t.ctime)) << "changed: " << p;
    }
    EXPECT_EQ(Entries(machine), paths);  // nothing added
}

TEST(DryRunTimes, NoTimeOfAMachineImageChanges) {
    test::TempDir dir;
    if (!RecordsReads(dir)) GTEST_SKIP() << "this file system does not record reads (noatime)";
    const std::string machine = (dir.path() / "sample").string();
    test::CopyTree(test::SourceFolder() + "/examples/machines/sample-xp", machine);
    ExpectDryRunLeavesEveryTime(machine);
}

TEST(DryRunTimes, NoTimeOfAnInstallationChangesHivesIncluded) {
    test::TempDir dir;
    if (!RecordsReads(dir)) GTEST_SKIP() << "this file system does not record reads (noatime)";
    const std::string installation = (dir.path() / "installation").string();
    const test::RunResult made =
        test::RunProgram("veldan-cli", {"machine", "convert", "--from",
                                        test::SourceFolder() + "/examples/machines/sample-xp",
                                        "--to", installation, "--format", "hive"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::vector<std::string> paths = Entries(installation);
    ASSERT_TRUE(std::any_of(paths.begin(), paths.end(), [](const std::string& p) {
        return p.find("/config/") != std::string::npos;
    })) << "no hive files";
    ExpectDryRunLeavesEveryTime(installation);
}

}  // namespace
}  // namespace veldan::quarantine
