// The folder snapshot of a machine: writes made through the machine are seen by
// the next look-up in a folder already read; changes made behind its back wait
// for a new machine object.

#include "machine/folder/folder_snapshot.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "machine/image/image_machine.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::machine::image {
namespace {

namespace fs = std::filesystem;
using test::ImageBuilder;
using test::TempDir;

TEST(FolderListingTest, FindsExactNamesFirstThenAnyCase) {
    const FolderListing l({"Foo", "foo", "Bar.TXT", "sub"}, {true, false, false, true});
    EXPECT_EQ(l.FindExact("foo"), 1u);
    EXPECT_EQ(l.FindExact("Foo"), 0u);
    EXPECT_EQ(l.FindExact("FOO"), FolderListing::kNone);
    EXPECT_EQ(l.FindAnyCase("FOO"), 0u);  // the first in ordinal order
    EXPECT_EQ(l.FindAnyCase("bar.txt"), 2u);
    EXPECT_EQ(l.FindExact("bar.txt"), FolderListing::kNone);
    EXPECT_EQ(l.FindAnyCase("missing"), FolderListing::kNone);
    EXPECT_TRUE(l.isFolder(0));
    EXPECT_FALSE(l.isFolder(1));
}

TEST(FolderListingTest, ReadsNamesAndTellsFoldersFromFilesAndLinks) {
    TempDir dir;
    dir.Write("d/file.txt", "x");
    fs::create_directories(dir.path() / "d" / "Sub");
    fs::create_directory_symlink(dir.path() / "d" / "Sub", dir.path() / "d" / "link");
    FolderListing l;
    ASSERT_EQ(FolderListing::Read((dir.path() / "d").string(), l), ERROR_SUCCESS);
    ASSERT_EQ(l.names().size(), 3u);
    const std::size_t file = l.FindExact("file.txt"), sub = l.FindExact("Sub"),
                      link = l.FindExact("link");
    ASSERT_NE(file, FolderListing::kNone);
    ASSERT_NE(sub, FolderListing::kNone);
    ASSERT_NE(link, FolderListing::kNone);
    EXPECT_FALSE(l.isFolder(file));
    EXPECT_TRUE(l.isFolder(sub));
    EXPECT_FALSE(l.isFolder(link));
    EXPECT_EQ(FolderListing::Read((dir.path() / "none").string(), l), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FolderListing::Read((dir.path() / "d" / "file.txt").string(), l),
              ERROR_PATH_NOT_FOUND);
}

TEST(FolderSnapshotTest, ForgetDropsTheFolderItsParentAndWhatLiesBelowOnly) {
    FolderSnapshot s;
    for (const char* dir : {"/r", "/r/a", "/r/a/b", "/r/a/b/c", "/r/ab", "/r/x"})
        s.Keep(dir, std::make_shared<FolderListing>(), s.generation());
    ASSERT_EQ(s.size(), 6u);
    s.Forget("/r/a/");
    EXPECT_EQ(s.Find("/r"), nullptr);
    EXPECT_EQ(s.Find("/r/a"), nullptr);
    EXPECT_EQ(s.Find("/r/a/b"), nullptr);
    EXPECT_EQ(s.Find("/r/a/b/c"), nullptr);
    EXPECT_NE(s.Find("/r/ab"), nullptr);
    EXPECT_NE(s.Find("/r/x"), nullptr);
    s.ForgetAll();
    EXPECT_EQ(s.size(), 0u);
}

TEST(FolderSnapshotTest, AListingReadBeforeAChangeIsNotKept) {
    FolderSnapshot s;
    const std::uint64_t before = s.generation();
    s.Forget("/r/a/file");  // a write while the folder was being read
    s.Keep("/r/a", std::make_shared<FolderListing>(), before);
    EXPECT_EQ(s.Find("/r/a"), nullptr);
    s.Keep("/r/a", std::make_shared<FolderListing>(), s.generation());
    EXPECT_NE(s.Find("/r/a"), nullptr);
}

// A machine whose folders were all read once (each look-up below misses in a
// folder already listed), so that only the snapshot can answer.
class SnapshotMachineTest : public ::testing::Test {
  protected:
    SnapshotMachineTest() : b_(dir_) {
        b_.File("C:\\WINDOWS\\old.dll").File("C:\\WINDOWS\\Sub Folder\\inner.txt");
        m_ = b_.Load();
    }
    void SetUp() override {
        ASSERT_NE(m_, nullptr);
        for (const char* path : {"C:\\WINDOWS\\warm.dll", "C:\\WINDOWS\\Sub Folder\\warm.txt",
                                 "C:\\warm.txt"}) {
            ASSERT_FALSE(Exists(path)) << path;
        }
    }
    bool Exists(std::string_view path) {
        std::uint32_t attributes = 0;
        return m_->files().GetAttributes(path, attributes) == ERROR_SUCCESS;
    }
    void SchedulePendingRename(std::string_view from, std::string_view to) {
        // A scheduled deletion makes the Session Manager key; the value is then replaced.
        ASSERT_EQ(m_->files().DeleteAtRestart("C:\\none"), ERROR_SUCCESS);
        RegValue v;
        v.type = REG_MULTI_SZ;
        v.data = "\\??\\" + std::string(from) + '\0' + "\\??\\" + std::string(to) + '\0' + '\0';
        ASSERT_EQ(m_->registry().SetValue(HKEY_LOCAL_MACHINE, folder::kSessionManagerKey,
                                          folder::kPendingRenamesValue, v),
                  ERROR_SUCCESS);
    }

    TempDir dir_;
    ImageBuilder b_;
    std::unique_ptr<ImageMachine> m_;
};

TEST_F(SnapshotMachineTest, FilesWrittenAndDeletedThroughTheMachineAreSeenAtOnce) {
    FileSystem& files = m_->files();
    ASSERT_EQ(files.WriteFile("C:\\WINDOWS\\warm.dll", "new"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists("c:\\windows\\WARM.DLL"));
    std::string shortPath;
    EXPECT_EQ(files.GetShortPathName("C:\\WINDOWS\\Sub Folder\\inner.txt", shortPath),
              ERROR_SUCCESS);
    EXPECT_EQ(shortPath, "C:\\WINDOWS\\SUBFOL~1\\inner.txt");

    ASSERT_EQ(files.DeleteFile("C:\\WINDOWS\\old.dll"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\old.dll"));
    std::string longPath;  // a path look-up alone, without asking the host about the file
    EXPECT_EQ(files.GetLongPathName("C:\\WINDOWS\\old.dll", longPath), ERROR_FILE_NOT_FOUND);
    std::vector<FindData> found;
    ASSERT_EQ(files.FindFiles("C:\\WINDOWS\\*.dll", found), ERROR_SUCCESS);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "warm.dll");

    // A profile file created by a write is there for the next read.
    ASSERT_EQ(m_->profiles().WriteString("S", "k", "v", "C:\\warm.txt"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists("C:\\warm.txt"));
}

TEST_F(SnapshotMachineTest, FoldersCreatedAndRemovedThroughTheMachineAreSeenAtOnce) {
    FileSystem& files = m_->files();
    ASSERT_EQ(files.CreateDirectory("C:\\WINDOWS\\warm.dll"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists("C:\\WINDOWS\\warm.dll\\"));
    ASSERT_EQ(files.WriteFile("C:\\WINDOWS\\warm.dll\\in.txt", "x"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists("C:\\WINDOWS\\WARM.DLL\\IN.TXT"));

    ASSERT_EQ(files.DeleteFile("C:\\WINDOWS\\Sub Folder\\inner.txt"), ERROR_SUCCESS);
    ASSERT_EQ(files.RemoveDirectory("C:\\WINDOWS\\Sub Folder"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Sub Folder"));
    std::string longPath;
    EXPECT_EQ(m_->files().GetLongPathName("C:\\WINDOWS\\Sub Folder", longPath), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(files.WriteFile("C:\\WINDOWS\\Sub Folder\\warm.txt", "x"), ERROR_PATH_NOT_FOUND);
    // A new folder of the same name starts empty.
    ASSERT_EQ(files.CreateDirectory("C:\\WINDOWS\\Sub Folder"), ERROR_SUCCESS);
    EXPECT_TRUE(Exists("C:\\WINDOWS\\Sub Folder"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Sub Folder\\inner.txt"));
}

TEST_F(SnapshotMachineTest, RenamesOfTheRestartAreSeenAtOnce) {
    SchedulePendingRename("C:\\WINDOWS\\old.dll", "C:\\WINDOWS\\warm.dll");
    auto actions = m_->Restart();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_TRUE(actions[0].done) << actions[0].note;
    EXPECT_TRUE(Exists("C:\\WINDOWS\\warm.dll"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\old.dll"));

    SchedulePendingRename("C:\\WINDOWS\\Sub Folder", "C:\\warm.txt");
    actions = m_->Restart();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_TRUE(actions[0].done) << actions[0].note;
    EXPECT_TRUE(Exists("C:\\warm.txt\\inner.txt"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Sub Folder\\inner.txt"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Sub Folder"));
    std::string longPath;
    EXPECT_EQ(m_->files().GetLongPathName("C:\\WINDOWS\\Sub Folder", longPath), ERROR_FILE_NOT_FOUND);
}

TEST_F(SnapshotMachineTest, HostChangesBehindTheMachineWaitForANewMachine) {
    dir_.Write("image/drive_c/WINDOWS/warm.dll", "x");
    fs::remove(b_.Host("C:\\WINDOWS\\old.dll"));
    // The snapshot stands for this object...
    EXPECT_FALSE(Exists("C:\\WINDOWS\\warm.dll"));
    // ...a new one reads the folders again.
    m_ = b_.Load();
    ASSERT_NE(m_, nullptr);
    EXPECT_TRUE(Exists("C:\\WINDOWS\\warm.dll"));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\old.dll"));
}

}  // namespace
}  // namespace veldan::machine::image
