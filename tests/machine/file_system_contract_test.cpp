// What every FileSystem backend must do, run against each backend of the build
// (support/file_system_backends.h); then what only the image backend promises
// about host files.

#include <gtest/gtest.h>

#include "machine/file_system.h"
#include "support/file_system_backends.h"
#include "text/strings.h"

#ifndef _WIN32
#include <csignal>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>

#include "host/file_write.h"
#include "support/temp_dir.h"
#endif

namespace veldan::machine {
namespace {

using Strings = std::vector<std::string>;
using test::FileSystemBackends;

template <typename Backend>
class FileSystemContract : public ::testing::Test {
  protected:
    FileSystem& fs() { return backend_.files(); }
    void Put(std::string_view path, std::string_view bytes) {
        ASSERT_EQ(fs().WriteFile(path, bytes), ERROR_SUCCESS) << path;
    }
    void Mkdir(std::string_view path) {
        ASSERT_EQ(fs().CreateDirectory(path), ERROR_SUCCESS) << path;
    }
    std::string Read(std::string_view path) {
        std::string bytes;
        EXPECT_EQ(fs().ReadFile(path, bytes), ERROR_SUCCESS) << path;
        return bytes;
    }
    std::uint32_t Attributes(std::string_view path) {
        std::uint32_t a = 0;
        EXPECT_EQ(fs().GetAttributes(path, a), ERROR_SUCCESS) << path;
        return a;
    }
    Strings Names(std::string_view pattern) {
        std::vector<FindData> entries;
        EXPECT_EQ(fs().FindFiles(pattern, entries), ERROR_SUCCESS) << pattern;
        Strings names;
        for (const FindData& e : entries) names.push_back(e.name);
        return names;
    }

    Backend backend_;
};

TYPED_TEST_SUITE(FileSystemContract, FileSystemBackends);

TYPED_TEST(FileSystemContract, NamesResolveWithoutRegardToCaseAndTrailingBackslashNamesAFolder) {
    this->Mkdir("C:\\WINDOWS");
    this->Put("C:\\WINDOWS\\Win.ini", "abc");
    EXPECT_EQ(this->Read("c:\\windows\\WIN.INI"), "abc");
    EXPECT_EQ(this->Attributes("C:\\windows\\win.INI"), FILE_ATTRIBUTE_ARCHIVE);
    std::string longPath;
    ASSERT_EQ(this->fs().GetLongPathName("c:\\windows\\win.ini", longPath), ERROR_SUCCESS);
    EXPECT_EQ(longPath, "c:\\WINDOWS\\Win.ini");

    this->Put("c:\\windows\\WIN.INI", "replaced");  // replaces, does not add a second file
    EXPECT_EQ(this->Names("C:\\WINDOWS\\*.ini"), Strings{"Win.ini"});
    std::string bytes = "untouched";
    EXPECT_EQ(this->fs().ReadFile("C:\\WINDOWS\\none.ini", bytes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(bytes, "untouched");

    EXPECT_EQ(this->Attributes("C:\\WINDOWS\\"), FILE_ATTRIBUTE_DIRECTORY);
    const std::pair<const char*, WinError> cases[] = {
        {"C:\\WINDOWS\\win.ini\\", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\win.ini\\x", ERROR_PATH_NOT_FOUND},
        {"C:\\nope\\win.ini", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\nope.ini", ERROR_FILE_NOT_FOUND}};
    for (const auto& [path, err] : cases) {
        std::uint32_t a = 12345;
        EXPECT_EQ(this->fs().GetAttributes(path, a), err) << path;
        EXPECT_EQ(a, 12345u) << path;
    }
}

TYPED_TEST(FileSystemContract, ListsDotsFirstThenUpperCasedOrdinalOrder) {
    this->Mkdir("C:\\d");
    for (const char* name : {"C:\\d\\b.txt", "C:\\d\\_x", "C:\\d\\Zeta", "C:\\d\\A.txt"})
        this->Put(name, "");
    this->Mkdir("C:\\d\\a2");
    // Upper-cased, '_' sorts after the letters; lower-cased it would come first.
    EXPECT_EQ(this->Names("C:\\d\\*"), (Strings{".", "..", "A.txt", "a2", "b.txt", "Zeta", "_x"}));
    EXPECT_EQ(this->Names("C:\\D\\*.TXT"), (Strings{"A.txt", "b.txt"}));
    EXPECT_EQ(this->Names("C:\\*"), Strings{"d"});  // a drive root has no dot entries

    std::vector<FindData> entries;
    ASSERT_EQ(this->fs().FindFiles("C:\\d\\*.*", entries), ERROR_SUCCESS);
    EXPECT_TRUE(entries[0].IsDirectory() && entries[1].IsDirectory());
    EXPECT_EQ(this->fs().FindFiles("C:\\d\\*.none", entries), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(this->fs().FindFiles("C:\\missing\\*", entries), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(entries.size(), 7u);  // untouched by the failures
}

TYPED_TEST(FileSystemContract, WildcardListingStaysInItsFolder) {
    this->Mkdir("C:\\p");
    this->Mkdir("C:\\p\\sub");
    this->Put("C:\\p\\sub\\deep.exe", "1");
    this->Put("C:\\p\\top.exe", "1234");
    EXPECT_EQ(this->Names("C:\\p\\*.exe"), Strings{"top.exe"});
    std::vector<FindData> entries;
    ASSERT_EQ(this->fs().FindFiles("C:\\p\\*", entries), ERROR_SUCCESS);
    Strings files, folders;
    for (const FindData& e : entries) (e.IsDirectory() ? folders : files).push_back(e.name);
    EXPECT_EQ(files, Strings{"top.exe"});
    EXPECT_EQ(entries.back().size, 4u);
    EXPECT_EQ(folders, (Strings{".", "..", "sub"}));
}

TYPED_TEST(FileSystemContract, NamesMatchThroughTheirShortForm) {
    this->Put("C:\\page.html", "");
    this->Put("C:\\readme", "");
    this->Put("C:\\SHORT.TXT", "");
    std::vector<FindData> entries;
    ASSERT_EQ(this->fs().FindFiles("C:\\*.htm", entries), ERROR_SUCCESS);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "page.html");
    const std::string shortName = entries[0].shortName;
    EXPECT_EQ(this->Names("C:\\" + text::LowerAscii(shortName)), Strings{"page.html"});
    EXPECT_EQ(this->Names("C:\\readme.*"), Strings{"readme"});

    ASSERT_EQ(this->fs().FindFiles("C:\\short.txt", entries), ERROR_SUCCESS);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "SHORT.TXT");
    EXPECT_EQ(entries[0].shortName, "");
    std::string shortPath;
    ASSERT_EQ(this->fs().GetShortPathName("c:\\PAGE.html", shortPath), ERROR_SUCCESS);
    EXPECT_EQ(shortPath, "c:\\" + shortName);

    if (const std::string why = TypeParam::Differs(test::FileSystemQuirk::ShortNameForm);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(shortName, "PAGE~1.HTM");
}

TYPED_TEST(FileSystemContract, ReadOnlyFileIsKeptUntilTheAttributeIsCleared) {
    this->Put("C:\\ro.txt", "old");
    ASSERT_EQ(this->fs().SetAttributes("C:\\ro.txt", FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    EXPECT_EQ(this->Attributes("C:\\ro.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(this->fs().DeleteFile("C:\\ro.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->fs().WriteFile("C:\\ro.txt", "new"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->Read("C:\\ro.txt"), "old");

    ASSERT_EQ(this->fs().SetAttributes("C:\\RO.TXT", FILE_ATTRIBUTE_NORMAL), ERROR_SUCCESS);
    EXPECT_EQ(this->Attributes("C:\\ro.txt"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(this->fs().DeleteFile("C:\\ro.txt"), ERROR_SUCCESS);
    std::uint32_t a = 0;
    EXPECT_EQ(this->fs().GetAttributes("C:\\ro.txt", a), ERROR_FILE_NOT_FOUND);
}

TYPED_TEST(FileSystemContract, HeldFileCanBeReadButNotDeletedOrReplaced) {
    this->Put("C:\\app.exe", "MZ");
    this->backend_.Hold("C:\\app.exe");
    EXPECT_EQ(this->fs().DeleteFile("c:\\APP.EXE"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(this->fs().WriteFile("C:\\App.exe", "xx"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(this->Read("C:\\app.exe"), "MZ");
}

TYPED_TEST(FileSystemContract, FolderOperations) {
    auto& fs = this->fs();
    this->Mkdir("C:\\f");
    EXPECT_EQ(fs.CreateDirectory("C:\\F"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(fs.CreateDirectory("C:\\nope\\x"), ERROR_PATH_NOT_FOUND);
    this->Put("C:\\f\\x.txt", "");
    EXPECT_EQ(fs.CreateDirectory("C:\\f\\X.TXT"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(fs.RemoveDirectory("C:\\f"), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(fs.RemoveDirectory("C:\\f\\x.txt"), ERROR_DIRECTORY);
    EXPECT_EQ(fs.DeleteFile("C:\\f"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(fs.DeleteFile("C:\\f\\x.txt"), ERROR_SUCCESS);
    EXPECT_EQ(fs.RemoveDirectory("C:\\f\\"), ERROR_SUCCESS);
    EXPECT_EQ(fs.RemoveDirectory("C:\\f"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fs.RemoveDirectory("C:\\"), ERROR_ACCESS_DENIED);

    if (const std::string why = TypeParam::Differs(test::FileSystemQuirk::ReadOnlyFolders);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    this->Mkdir("C:\\g");
    ASSERT_EQ(fs.SetAttributes("C:\\g", FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    EXPECT_EQ(this->Attributes("C:\\g"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(fs.RemoveDirectory("C:\\g"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(fs.SetAttributes("C:\\g", 0), ERROR_SUCCESS);
    EXPECT_EQ(fs.RemoveDirectory("C:\\g"), ERROR_SUCCESS);
}

TYPED_TEST(FileSystemContract, FailedWriteKeepsTheOldContent) {
    this->Mkdir("C:\\w");
    this->Put("C:\\w\\f.txt", "old");
    EXPECT_EQ(this->fs().WriteFile("C:\\nope\\f.txt", "x"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(this->fs().WriteFile("C:\\w", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->Read("C:\\w\\f.txt"), "old");

    if (const std::string why = TypeParam::Differs(test::FileSystemQuirk::ReadOnlyFolders);
        !why.empty()) {
        GTEST_SKIP() << why;
    }
    ASSERT_EQ(this->fs().SetAttributes("C:\\w", FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    EXPECT_EQ(this->fs().WriteFile("C:\\w\\f.txt", "new"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->fs().WriteFile("C:\\w\\g.txt", "new"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(this->fs().SetAttributes("C:\\w", 0), ERROR_SUCCESS);
    EXPECT_EQ(this->Read("C:\\w\\f.txt"), "old");
    EXPECT_EQ(this->Names("C:\\w\\*"), (Strings{".", "..", "f.txt"}));  // nothing left behind

    this->Put("C:\\w\\f.txt", "new");
    EXPECT_EQ(this->Read("C:\\w\\f.txt"), "new");
}

TYPED_TEST(FileSystemContract, ReaderStreamsTheWholeFile) {
    std::string content;
    for (int i = 0; content.size() < 100000; ++i) content += std::to_string(i) + ",";
    this->Put("C:\\big.bin", content);
    std::uint64_t size = 0;
    ASSERT_EQ(this->fs().GetFileSize("c:\\big.bin", size), ERROR_SUCCESS);
    EXPECT_EQ(size, content.size());
    std::unique_ptr<FileReader> reader;
    ASSERT_EQ(this->fs().OpenRead("C:\\BIG.BIN", reader), ERROR_SUCCESS);
    std::string got;
    char buffer[4096];
    for (long long n; (n = reader->Read(buffer, sizeof buffer)) > 0;) got.append(buffer, n);
    EXPECT_EQ(got, content);
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 0);

    this->Mkdir("C:\\dir");
    std::unique_ptr<FileReader> none;
    EXPECT_EQ(this->fs().OpenRead("C:\\dir", none), ERROR_ACCESS_DENIED);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(this->fs().OpenRead("C:\\missing", none), ERROR_FILE_NOT_FOUND);
}

TYPED_TEST(FileSystemContract, DeleteAtRestartOnlySchedules) {
    this->Put("C:\\bad.dll", "x");
    EXPECT_EQ(this->fs().DeleteAtRestart("C:\\bad.dll"), ERROR_SUCCESS);
    EXPECT_EQ(this->fs().DeleteAtRestart("C:\\not\\there.exe"), ERROR_SUCCESS);
    EXPECT_EQ(this->backend_.scheduled(), (Strings{"C:\\bad.dll", "C:\\not\\there.exe"}));
    EXPECT_EQ(this->Read("C:\\bad.dll"), "x");
}

TYPED_TEST(FileSystemContract, WriterCreatesAppendsAndRefusesWhatWriteFileRefuses) {
    this->Mkdir("C:\\q");
    std::unique_ptr<FileWriter> w;
    ASSERT_EQ(this->fs().OpenWrite("C:\\q\\j.log", WriteMode::CreateAlways, w), ERROR_SUCCESS);
    ASSERT_EQ(w->Write("ab", 2), ERROR_SUCCESS);
    ASSERT_EQ(w->Flush(), ERROR_SUCCESS);
    EXPECT_EQ(this->Read("C:\\q\\j.log"), "ab");  // visible before the writer closes
    ASSERT_EQ(w->Write("cd", 2), ERROR_SUCCESS);
    w.reset();
    ASSERT_EQ(this->fs().OpenWrite("c:\\Q\\J.LOG", WriteMode::Append, w), ERROR_SUCCESS);
    ASSERT_EQ(w->Write("ef", 2), ERROR_SUCCESS);
    w.reset();
    EXPECT_EQ(this->Read("C:\\q\\j.log"), "abcdef");
    EXPECT_EQ(this->Names("C:\\q\\*"), (Strings{".", "..", "j.log"}));  // the same file, not a second
    ASSERT_EQ(this->fs().OpenWrite("C:\\q\\j.log", WriteMode::CreateAlways, w), ERROR_SUCCESS);
    w.reset();
    EXPECT_EQ(this->Read("C:\\q\\j.log"), "");

    ASSERT_EQ(this->fs().SetAttributes("C:\\q\\j.log", FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
    EXPECT_EQ(this->fs().OpenWrite("C:\\q\\j.log", WriteMode::Append, w), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->fs().OpenWrite("C:\\q", WriteMode::Append, w), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->fs().OpenWrite("C:\\none\\x", WriteMode::Append, w), ERROR_PATH_NOT_FOUND);
    this->Put("C:\\q\\held.exe", "h");
    this->backend_.Hold("C:\\q\\held.exe");
    EXPECT_EQ(this->fs().OpenWrite("C:\\q\\held.exe", WriteMode::CreateAlways, w),
              ERROR_SHARING_VIOLATION);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(this->Read("C:\\q\\held.exe"), "h");
}

TYPED_TEST(FileSystemContract, MoveRenamesFilesAndFoldersAndReplacesOnlyWhenAsked) {
    this->Mkdir("C:\\a");
    this->Mkdir("C:\\b");
    this->Put("C:\\a\\one.txt", "1");
    this->Put("C:\\b\\two.txt", "2");
    ASSERT_EQ(this->fs().MoveFile("c:\\A\\ONE.TXT", "C:\\b\\Moved File.txt", false), ERROR_SUCCESS);
    EXPECT_EQ(this->Read("C:\\b\\moved file.txt"), "1");
    EXPECT_EQ(this->Names("C:\\b\\*.txt"), (Strings{"Moved File.txt", "two.txt"}));
    std::uint32_t a = 0;
    EXPECT_EQ(this->fs().GetAttributes("C:\\a\\one.txt", a), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(this->fs().MoveFile("C:\\b\\two.txt", "C:\\b\\Moved File.txt", false),
              ERROR_ALREADY_EXISTS);
    EXPECT_EQ(this->Read("C:\\b\\Moved File.txt"), "1");
    ASSERT_EQ(this->fs().MoveFile("C:\\b\\two.txt", "C:\\b\\Moved File.txt", true), ERROR_SUCCESS);
    EXPECT_EQ(this->Read("C:\\b\\Moved File.txt"), "2");
    EXPECT_EQ(this->Names("C:\\b\\*.txt"), Strings{"Moved File.txt"});

    ASSERT_EQ(this->fs().MoveFile("C:\\b", "C:\\a\\inner", false), ERROR_SUCCESS);
    EXPECT_EQ(this->Read("C:\\a\\inner\\Moved File.txt"), "2");
    EXPECT_EQ(this->fs().MoveFile("C:\\a", "C:\\a\\inner\\loop", false), ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->fs().MoveFile("C:\\gone.txt", "C:\\x.txt", false), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(this->fs().MoveFile("C:\\a\\inner\\Moved File.txt", "C:\\no\\x.txt", false),
              ERROR_PATH_NOT_FOUND);
}

TYPED_TEST(FileSystemContract, FileTimesAreKeptAsSetAndZeroLeavesATime) {
    this->Mkdir("C:\\t");
    this->Put("C:\\t\\f.txt", "x");
    // 2004-08-25 12:00:00 UTC and an hour later, whole seconds.
    const std::uint64_t access = 127377072000000000ull, write = 127377108000000000ull;
    ASSERT_EQ(this->fs().SetFileTime("C:\\t\\f.txt", FileTimes{0, access, write}), ERROR_SUCCESS);
    FileTimes got;
    ASSERT_EQ(this->fs().GetFileTime("C:\\T\\F.TXT", got), ERROR_SUCCESS);
    EXPECT_EQ(got.lastAccess, access);
    EXPECT_EQ(got.lastWrite, write);
    ASSERT_EQ(this->fs().SetFileTime("C:\\t\\f.txt", FileTimes{0, 0, write + 10000000}),
              ERROR_SUCCESS);
    ASSERT_EQ(this->fs().GetFileTime("C:\\t\\f.txt", got), ERROR_SUCCESS);
    EXPECT_EQ(got.lastAccess, access);
    EXPECT_EQ(got.lastWrite, write + 10000000);
    ASSERT_EQ(this->fs().SetFileTime("C:\\t", FileTimes{0, access, write}), ERROR_SUCCESS);
    ASSERT_EQ(this->fs().GetFileTime("C:\\t\\", got), ERROR_SUCCESS);
    EXPECT_EQ(got.lastWrite, write);
    FileTimes untouched{1, 2, 3};
    EXPECT_EQ(this->fs().GetFileTime("C:\\t\\none", untouched), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(untouched, (FileTimes{1, 2, 3}));
}

TYPED_TEST(FileSystemContract, FreeSpaceIsToldForFoldersThatExist) {
    this->Mkdir("C:\\q");
    this->Put("C:\\q\\f.txt", "x");
    for (const char* folder : {"C:\\", "C:\\q", "c:\\Q\\"}) {
        std::uint64_t free = 0;
        EXPECT_EQ(this->fs().GetDiskFreeSpaceEx(folder, free), ERROR_SUCCESS) << folder;
        EXPECT_GT(free, 0u) << folder;
    }
    std::uint64_t untouched = 7;
    EXPECT_EQ(this->fs().GetDiskFreeSpaceEx("C:\\q\\missing", untouched), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(this->fs().GetDiskFreeSpaceEx("C:\\none\\deeper", untouched), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(this->fs().GetDiskFreeSpaceEx("C:\\q\\f.txt", untouched), ERROR_DIRECTORY);
    EXPECT_EQ(untouched, 7u);
}

// A drive in memory made small: what is written counts against its size.
TEST(MemoryFileSystemCapacity, AFullDriveRefusesWritesAndKeepsWhatItHas) {
    memory::MemoryFileSystem fs;
    ASSERT_EQ(fs.CreateDirectory("C:\\d"), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\d\\a.bin", std::string(600, 'a')), ERROR_SUCCESS);
    fs.SetCapacity(1000);
    std::uint64_t free = 0;
    ASSERT_EQ(fs.GetDiskFreeSpaceEx("C:\\d", free), ERROR_SUCCESS);
    EXPECT_EQ(free, 400u);

    // A new file, a replacement and a stream that do not fit fail and change nothing.
    EXPECT_EQ(fs.WriteFile("C:\\d\\b.bin", std::string(401, 'b')), ERROR_DISK_FULL);
    std::uint32_t a = 0;
    EXPECT_EQ(fs.GetAttributes("C:\\d\\b.bin", a), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fs.WriteFile("C:\\d\\a.bin", std::string(1001, 'c')), ERROR_DISK_FULL);
    std::string bytes;
    ASSERT_EQ(fs.ReadFile("C:\\d\\a.bin", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, std::string(600, 'a'));
    // Replacing a file frees its old content first.
    EXPECT_EQ(fs.WriteFile("C:\\d\\a.bin", std::string(1000, 'r')), ERROR_SUCCESS);
    ASSERT_EQ(fs.GetDiskFreeSpaceEx("C:\\", free), ERROR_SUCCESS);
    EXPECT_EQ(free, 0u);
    ASSERT_EQ(fs.DeleteFile("C:\\d\\a.bin"), ERROR_SUCCESS);

    std::unique_ptr<FileWriter> w;
    ASSERT_EQ(fs.OpenWrite("C:\\d\\s.bin", WriteMode::CreateAlways, w), ERROR_SUCCESS);
    const std::string block(300, 's');
    EXPECT_EQ(w->Write(block.data(), block.size()), ERROR_SUCCESS);
    EXPECT_EQ(w->Write(block.data(), block.size()), ERROR_SUCCESS);
    EXPECT_EQ(w->Write(block.data(), block.size()), ERROR_SUCCESS);
    EXPECT_EQ(w->Write(block.data(), block.size()), ERROR_DISK_FULL);  // 1200 > 1000
    EXPECT_EQ(w->Flush(), ERROR_SUCCESS);
    w.reset();
    ASSERT_EQ(fs.ReadFile("C:\\d\\s.bin", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes.size(), 900u);  // what fitted, and nothing of the refused block
    ASSERT_EQ(fs.GetDiskFreeSpaceEx("C:\\d", free), ERROR_SUCCESS);
    EXPECT_EQ(free, 100u);
}

#ifndef _WIN32
namespace fs = std::filesystem;

// Promises of the image backend about its host files.
class ImageFileSystemTest : public ::testing::Test {
  protected:
    std::string Host(const std::string& rel) const { return backend_.root() + "/" + rel; }
    FileSystem& fs() { return backend_.files(); }
    test::ImageBackend backend_;
};

TEST_F(ImageFileSystemTest, WriteThatFailsHalfWayLeavesTheOldFileAndNoTemporary) {
    ASSERT_EQ(fs().WriteFile("C:\\f.txt", "old"), ERROR_SUCCESS);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1024;  // write() fails with EFBIG past this size
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const WinError err = host::WriteFileAtomic(Host("f.txt"), std::string(65536, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(err, ERROR_DISK_FULL);
    std::string bytes;
    ASSERT_EQ(fs().ReadFile("C:\\f.txt", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "old");
    std::vector<FindData> entries;
    ASSERT_EQ(fs().FindFiles("C:\\*", entries), ERROR_SUCCESS);
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(ImageFileSystemTest, ReplacedFileKeepsPermissionsAndFoldersHaveNoSize) {
    ASSERT_EQ(fs().WriteFile("C:\\f.txt", "old"), ERROR_SUCCESS);
    fs::permissions(Host("f.txt"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(fs().WriteFile("C:\\F.TXT", "new"), ERROR_SUCCESS);
    struct stat st {};
    ASSERT_EQ(::stat(Host("f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    std::uint64_t size = 7;
    EXPECT_EQ(fs().GetFileSize("C:\\", size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(size, 7u);
}

TEST_F(ImageFileSystemTest, FreeSpaceIsTheHostFileSystemsForTheCaller) {
    std::uint64_t free = 0;
    ASSERT_EQ(fs().GetDiskFreeSpaceEx("C:\\", free), ERROR_SUCCESS);
    const std::uint64_t host = fs::space(backend_.root()).available;
    // Others write to the same disk meanwhile: the two agree within a margin.
    const std::uint64_t margin = std::uint64_t{256} << 20;
    EXPECT_LE(free, host + margin);
    EXPECT_GE(free + margin, host);
}

TEST_F(ImageFileSystemTest, LinksAreNeverFolders) {
    test::TempDir outside;
    outside.Write("secret/inside.txt", "s");
    const auto target = outside.Write("target.txt", "1234");
    fs::create_symlink(target, Host("file.lnk"));
    fs::create_directory_symlink(outside.path() / "secret", Host("dir.lnk"));

    std::uint64_t size = 0;
    ASSERT_EQ(fs().GetFileSize("C:\\file.lnk", size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    std::uint32_t a = 0;
    ASSERT_EQ(fs().GetAttributes("C:\\dir.lnk", a), ERROR_SUCCESS);
    EXPECT_EQ(a, FILE_ATTRIBUTE_ARCHIVE);
    std::vector<FindData> entries;
    EXPECT_EQ(fs().FindFiles("C:\\dir.lnk\\*", entries), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fs().SetAttributes("C:\\file.lnk", FILE_ATTRIBUTE_READONLY), ERROR_ACCESS_DENIED);
    EXPECT_EQ(fs().DeleteFile("C:\\dir.lnk"), ERROR_SUCCESS);  // the link goes, not the folder
    EXPECT_TRUE(fs::exists(outside.path() / "secret" / "inside.txt"));
}

#endif  // the image backend

}  // namespace
}  // namespace veldan::machine
