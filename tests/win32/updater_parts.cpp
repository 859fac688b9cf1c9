// The updater's parts in the Windows build, under Wine: the Ed25519 check on
// the 32-bit target, and the ZIP reader and the installation through the wide
// calls: a program folder with a Korean name, a read-only file replaced, the
// read-only attribute and the time of an entry set, a damaged archive leaving
// the folder as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"
#include "support/zip_writer.h"
#include "updater/ed25519_verify.h"
#include "updater/release_install.h"
#include "updater/rfc8032_vectors.h"
#include "updater/update_files.h"
#include "updater/zip_archive.h"
#include "updater/zip_result.h"

#include <windows.h>

namespace veldan::updater {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

DWORD Attributes(const fs::path& path) {
    return GetFileAttributesW(path.wstring().c_str());
}

// The last write time of `path` in UTC.
SYSTEMTIME WriteTime(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME time{};
    if (GetFileAttributesExW(path.wstring().c_str(), GetFileExInfoStandard, &data)) {
        FileTimeToSystemTime(&data.ftLastWriteTime, &time);
    }
    return time;
}

class UpdaterOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = tmp_.path() / fs::path(u8"업데이트 폴더");
        fs::create_directories(program_);
        archive_ = tmp_.path() / fs::path(u8"받은 파일.zip");
    }
    std::string Utf8(const fs::path& p) const { return Utf8Path(p); }

    test::TempDir tmp_;
    fs::path program_, archive_;
};

TEST_F(UpdaterOnWindows, Rfc8032VectorsVerifyAndChangesFail) {
    for (const test::Rfc8032Case& c : test::kRfc8032) {
        const std::string raw = test::Unhex(c.key);
        Ed25519PublicKey key{};
        for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<unsigned char>(raw[i]);
        const std::string message = test::Unhex(c.message);
        std::string signature = test::Unhex(c.signature);
        EXPECT_TRUE(Ed25519Verify(key, message, signature)) << c.key;
        EXPECT_FALSE(Ed25519Verify(key, message + "!", signature)) << c.key;
        signature[40] = static_cast<char>(signature[40] ^ 0x04);
        EXPECT_FALSE(Ed25519Verify(key, message, signature)) << c.key;
    }
}

TEST_F(UpdaterOnWindows, EntriesLandUnderWideNamesWithAttributeAndTime) {
    test::ZipWriter w;
    w.AddFile("core/new.txt", std::string(5000, 'n'));
    test::ZipFileOptions readOnly;
    readOnly.dosAttributes = 0x21;
    readOnly.method = 0;
    w.AddFile("ro.txt", "fresh");
    w.AddFile("locked.txt", "locked", readOnly);
    test::ZipFileOptions korean;
    korean.utf8Name = true;
    w.AddFile(reinterpret_cast<const char*>(u8"자료/한글.txt"), "hangul", korean);
    WriteBytes(archive_, w.Finish());
    // An old read-only file is replaced like any other. (Wine's MoveFileEx
    // replaces a read-only file where Windows refuses with access denied, so
    // under Wine this passes also without the attribute being cleared first.)
    WriteBytes(program_ / "ro.txt", "old");
    ASSERT_TRUE(
        SetFileAttributesW((program_ / "ro.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY));

    ZipArchive zip;
    ASSERT_EQ(zip.Open(Utf8(archive_)), kZipOk);
    ASSERT_EQ(zip.Count(), 4);
    for (int i = 0; i < zip.Count(); ++i)
        EXPECT_EQ(zip.ExtractFile(i, Utf8(program_)), kZipOk) << i;
    zip.Close();

    EXPECT_EQ(ReadBytes(program_ / "core" / "new.txt"), std::string(5000, 'n'));
    EXPECT_EQ(ReadBytes(program_ / "ro.txt"), "fresh");
    EXPECT_EQ(Attributes(program_ / "ro.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ReadBytes(program_ / "locked.txt"), "locked");
    EXPECT_NE(Attributes(program_ / "locked.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ReadBytes(program_ / fs::path(u8"자료") / fs::path(u8"한글.txt")), "hangul");
    const SYSTEMTIME written = WriteTime(program_ / "core" / "new.txt");
    EXPECT_EQ(written.wYear, 2006);
    EXPECT_EQ(written.wMonth, 3);
    for (const auto& entry : fs::recursive_directory_iterator(program_)) {
        EXPECT_EQ(entry.path().filename().wstring().rfind(L".veldan-part-", 0), std::wstring::npos)
            << entry.path();
    }
}

TEST_F(UpdaterOnWindows, InstallMovesEverythingOrNothing) {
    WriteBytes(program_ / "core" / "addb.txt", "old database");
    ASSERT_TRUE(SetFileAttributesW((program_ / "core" / "addb.txt").wstring().c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    test::ZipWriter good;
    good.AddFile("core/addb.txt", "new database");
    good.AddFile("data/extra.bin", std::string("\0\1\2", 3));
    WriteBytes(archive_, good.Finish());
    InstallFailure failure;
    ASSERT_EQ(InstallRelease(Utf8(archive_), Utf8(program_), 65536, failure, {}), kZipOk);
    EXPECT_EQ(ReadBytes(program_ / "core" / "addb.txt"), "new database");
    EXPECT_EQ(ReadBytes(program_ / "data" / "extra.bin"), std::string("\0\1\2", 3));

    test::ZipWriter damaged;
    damaged.AddFile("core/addb.txt", "newer database");
    test::ZipFileOptions badCrc;
    badCrc.corruptCrc = true;
    damaged.AddFile("data/extra.bin", "changed", badCrc);
    WriteBytes(archive_, damaged.Finish());
    EXPECT_EQ(InstallRelease(Utf8(archive_), Utf8(program_), 65536, failure, {}), kZipBadCrc);
    EXPECT_EQ(failure.entry, "data/extra.bin");
    EXPECT_EQ(ReadBytes(program_ / "core" / "addb.txt"), "new database");
    int left = 0;
    for (const auto& entry : fs::directory_iterator(program_)) {
        left += entry.path().filename().wstring().rfind(L".VLU", 0) == 0;
    }
    EXPECT_EQ(left, 0) << "the staging folder stays behind";
}

}  // namespace
}  // namespace veldan::updater
