// Reading host files and folders without updating their access times, and the
// in-memory copy for libraries that open files by name.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/folder_entries.h"
#include "host/quiet_open.h"
#include "host/unique_fd.h"
#include "support/temp_dir.h"

namespace veldan::host {
namespace {

namespace fs = std::filesystem;

// Sets the access time of `path` to 2002 and its write time to 2003, so that a
// relatime mount updates the access time on the next ordinary read.
timespec PastAccess(const fs::path& path) {
    const timespec t[2] = {{1012608000, 0}, {1046649600, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_atim;
}

long AccessSeconds(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_atim.tv_sec;
}

class QuietOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_.Write("f.txt", "quiet bytes");
        // Without a file system that records reads there is nothing to compare.
        PastAccess(file_);
        std::string line;
        std::getline(std::ifstream(file_), line);
        if (AccessSeconds(file_) == 1012608000) GTEST_SKIP() << "reads are not recorded (noatime)";
    }
    test::TempDir dir_;
    fs::path file_;
};

TEST_F(QuietOpen, ReadingAFileOrListingAFolderKeepsTheirAccessTimes) {
    const long past = PastAccess(file_).tv_sec;
    {
        UniqueFd fd(OpenQuietly(file_.c_str()));
        ASSERT_TRUE(fd);
        char buffer[32];
        EXPECT_EQ(::read(fd.get(), buffer, sizeof buffer), 11);
        EXPECT_EQ(::write(fd.get(), "x", 1), -1);  // read-only whatever the flags
    }
    EXPECT_EQ(AccessSeconds(file_), past);

    const long folderPast = PastAccess(dir_.path()).tv_sec;
    int seen = 0;
    EXPECT_FALSE(ForEachEntry(dir_.path(), [&](const fs::directory_entry&) { return ++seen, true; }));
    EXPECT_EQ(seen, 1);
    DIR* d = OpenFolderQuietly(dir_.path().c_str());
    ASSERT_NE(d, nullptr);
    while (::readdir(d) != nullptr) {
    }
    ::closedir(d);
    EXPECT_EQ(AccessSeconds(dir_.path()), folderPast);

    errno = 0;
    EXPECT_EQ(OpenQuietly((dir_.path() / "missing").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(OpenFolderQuietly(file_.c_str()), nullptr);
    EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(QuietOpen, TheCopyInMemoryHasTheBytesAndLeavesTheFileAlone) {
    const long past = PastAccess(file_).tv_sec;
    UniqueFd copy(QuietCopy(file_.c_str()));
    ASSERT_TRUE(copy);
    EXPECT_EQ(AccessSeconds(file_), past);
    // Read by name, as a library does.
    const std::string byName = "/proc/self/fd/" + std::to_string(copy.get());
    std::string line;
    std::getline(std::ifstream(byName), line);
    EXPECT_EQ(line, "quiet bytes");
    // Writing to the copy does not reach the file.
    ASSERT_EQ(::pwrite(copy.get(), "LOUD", 4, 0), 4);
    std::getline(std::ifstream(file_), line);
    EXPECT_EQ(line, "quiet bytes");
    EXPECT_EQ(QuietCopy((dir_.path() / "missing").c_str()), -1);
}

}  // namespace
}  // namespace veldan::host
