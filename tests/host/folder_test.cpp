#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "host/folder_entries.h"
#include "host/folder_sync.h"
#include "host/unique_fd.h"
#include "support/temp_dir.h"

namespace veldan::host {
namespace {

namespace fs = std::filesystem;

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(ForEachEntry, VisitsEveryEntryAndStopsWhenAsked) {
    test::TempDir dir;
    for (const char* name : {"a", "b", "c"}) fs::create_directory(dir.path() / name);
    std::set<std::string> seen;
    const std::error_code ec = ForEachEntry(dir.path(), [&](const fs::directory_entry& e) {
        seen.insert(e.path().filename().string());
        return true;
    });
    EXPECT_FALSE(ec);
    EXPECT_EQ(seen, (std::set<std::string>{"a", "b", "c"}));
    int visits = 0;
    EXPECT_FALSE(
        ForEachEntry(dir.path(), [&](const fs::directory_entry&) { return ++visits < 2; }));
    EXPECT_EQ(visits, 2);
}

TEST(ForEachEntry, ReportsAVanishedOrUnreadableFolderInsteadOfThrowing) {
    test::TempDir dir;
    const fs::path gone = dir.path() / "gone";
    fs::create_directory(gone);
    fs::remove(gone);
    int visits = 0;
    std::error_code ec =
        ForEachEntry(gone, [&](const fs::directory_entry&) { return ++visits, true; });
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(visits, 0);

    const fs::path file = dir.path() / "file";
    { UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)); }
    ec = ForEachEntry(file, [](const fs::directory_entry&) { return true; });
    EXPECT_EQ(ec, std::errc::not_a_directory);

    if (::geteuid() != 0) {
        const fs::path locked = dir.path() / "locked";
        fs::create_directory(locked);
        ::chmod(locked.c_str(), 0);
        ec = ForEachEntry(locked, [](const fs::directory_entry&) { return true; });
        ::chmod(locked.c_str(), 0755);
        EXPECT_EQ(ec, std::errc::permission_denied);
    }
}

TEST(ForEachEntry, FolderRemovedWhileListedEndsWithoutThrowing) {
    test::TempDir dir;
    const fs::path folder = dir.path() / "f";
    fs::create_directory(folder);
    for (int i = 0; i < 50; ++i) fs::create_directory(folder / std::to_string(i));
    int visits = 0;
    const std::error_code ec = ForEachEntry(folder, [&](const fs::directory_entry&) {
        if (visits++ == 0) fs::remove_all(folder);
        return true;
    });
    // The listing either ends early or reports the loss; it never throws.
    EXPECT_GE(visits, 1);
    EXPECT_TRUE(!ec || ec == std::errc::no_such_file_or_directory) << ec.message();
}

TEST(UniqueFd, ClosesOnceAndMovesOwnership) {
    test::TempDir dir;
    int raw = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    {
        UniqueFd a(raw);
        UniqueFd b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), raw);
        UniqueFd c;
        c = std::move(b);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));

    raw = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    UniqueFd d(raw);
    EXPECT_EQ(d.Close(), 0);
    EXPECT_FALSE(IsOpen(raw));
    EXPECT_EQ(d.Close(), 0) << "closing nothing succeeds";
    UniqueFd e(::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int kept = e.Release();
    EXPECT_TRUE(IsOpen(kept));
    ::close(kept);
}

TEST(SyncFolder, FlushesFoldersAndFailsOnMissingOnes) {
    test::TempDir dir;
    EXPECT_TRUE(SyncFolder(dir.str()));
    EXPECT_FALSE(SyncFolder(dir.str() + "/missing"));
    EXPECT_EQ(errno, ENOENT);
    { UniqueFd fd(::open((dir.str() + "/f").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)); }
    EXPECT_TRUE(SyncFile(dir.str() + "/f"));
    EXPECT_FALSE(SyncFolder(dir.str() + "/f")) << "a file is not a folder";
}

}  // namespace
}  // namespace veldan::host
