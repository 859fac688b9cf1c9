#include "host/file_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "host/errno_map.h"
#include "host/file_read.h"
#include "support/temp_dir.h"

namespace veldan::host {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    return bytes;
}

std::size_t Entries(const fs::path& folder) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().empty() ? 0 : 1;
    return n;
}

TEST(WriteFileAtomic, ReplacesContentAndKeepsPermissions) {
    test::TempDir dir;
    const std::string path = dir.str() + "/a.ini";
    ASSERT_EQ(WriteFileAtomic(path, "old"), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(WriteFileAtomic(path, "new content"), ERROR_SUCCESS);
    EXPECT_EQ(Read(path), "new content");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(WriteFileAtomic, RefusesReadOnlyFileAndKeepsItsContent) {
    test::TempDir dir;
    const std::string path = dir.str() + "/locked.txt";
    ASSERT_EQ(WriteFileAtomic(path, "keep me"), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(WriteFileAtomic(path, "lost"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(path), "keep me");
    EXPECT_EQ(Entries(dir.path()), 1u);
}

TEST(WriteFileAtomic, RefusesFolderTargetsAndReadOnlyFolders) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "sub");
    EXPECT_EQ(WriteFileAtomic(dir.str() + "/sub", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(WriteFileAtomic(dir.str() + "/missing/f.txt", "x"), ERROR_PATH_NOT_FOUND);
    const std::string file = dir.str() + "/sub/f.txt";
    ASSERT_EQ(WriteFileAtomic(file, "before"), ERROR_SUCCESS);
    ASSERT_EQ(::chmod((dir.str() + "/sub").c_str(), 0555), 0);
    EXPECT_EQ(WriteFileAtomic(file, "after"), ERROR_ACCESS_DENIED);
    ::chmod((dir.str() + "/sub").c_str(), 0755);
    EXPECT_EQ(Read(file), "before");
}

TEST(WriteFileAtomic, FailedWriteKeepsOldContentAndRemovesTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.str() + "/f.txt";
    ASSERT_EQ(WriteFileAtomic(path, "whole"), ERROR_SUCCESS);
    // A file size limit makes the write of the temporary file fail half way.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const WinError err = WriteFileAtomic(path, std::string(8192, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(err, ERROR_DISK_FULL);
    EXPECT_EQ(Read(path), "whole");
    EXPECT_EQ(Entries(dir.path()), 1u);
    EXPECT_EQ(WriteFileAtomic(path + "/inner", "x"), ERROR_PATH_NOT_FOUND);
}

TEST(WriteNewFile, ExclusiveRefusesAnExistingFileAndNamesTheStep) {
    test::TempDir dir;
    const std::string path = dir.str() + "/n.bin";
    WriteStep step = WriteStep::Close;
    ASSERT_EQ(WriteNewFile(path, std::string("a\0b", 3), NewFile{}, step), 0);
    EXPECT_EQ(Read(path), std::string("a\0b", 3));
    EXPECT_EQ(WriteNewFile(path, "again", NewFile{}, step), EEXIST);
    EXPECT_EQ(step, WriteStep::Create);
    EXPECT_EQ(WriteNewFile(path, "trunc", NewFile{0644, false, false}, step), 0);
    EXPECT_EQ(Read(path), "trunc");
}

TEST(WriteAll, ReportsTheErrnoOfAFullDevice) {
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(WriteAll(fd, "bytes"), ENOSPC);
    ::close(fd);
}

TEST(WinErrorFromErrno, MapsEexistOnceAndFallsBackAsAsked) {
    EXPECT_EQ(WinErrorFromErrno(EEXIST), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WinErrorFromErrno(ENOTEMPTY), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(WinErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinErrorFromErrno(EROFS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(WinErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
    EXPECT_EQ(WinErrorFromErrno(0), ERROR_GEN_FAILURE);
    EXPECT_EQ(WinErrorFromErrno(EPROTO), ERROR_GEN_FAILURE);
    EXPECT_EQ(WinErrorFromErrno(EPROTO, ERROR_CANTWRITE), ERROR_CANTWRITE);
}

TEST(ReadWholeFile, FailsOnMissingFilesAndFolders) {
    test::TempDir dir;
    std::string bytes = "untouched";
    EXPECT_FALSE(ReadWholeFile(dir.str() + "/none", bytes));
    EXPECT_FALSE(ReadWholeFile(dir.str(), bytes));
    EXPECT_EQ(bytes, "untouched");
    const std::string big(200000, 'z');
    ASSERT_EQ(WriteFileAtomic(dir.str() + "/big", big), ERROR_SUCCESS);
    ASSERT_TRUE(ReadWholeFile(dir.str() + "/big", bytes));
    EXPECT_EQ(bytes, big);
}

TEST(ReadTextFile, DecodesCp949AndLeavesTheOutputAloneOnFailure) {
    test::TempDir dir;
    const std::string path = dir.str() + "/cp.txt";
    ASSERT_EQ(WriteFileAtomic(path, "\xC7\xD1"), ERROR_SUCCESS);  // one Hangul syllable in CP949
    std::string out = "untouched";
    ASSERT_TRUE(ReadTextFile(path, out));
    EXPECT_EQ(out, "\xED\x95\x9C");
    EXPECT_FALSE(ReadTextFile(dir.str() + "/missing", out));
    EXPECT_EQ(out, "\xED\x95\x9C");
}

}  // namespace
}  // namespace veldan::host
