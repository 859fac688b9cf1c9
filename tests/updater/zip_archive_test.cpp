// The ZIP reader: opening archives (comments, stubs, damaged records), the
// order of entries, extraction of stored and deflated files and of folders,
// time and attributes, and the refusals that keep a hostile or damaged archive
// from writing outside the target folder, filling the disk or replacing a good
// file with a bad one.

#include "updater/zip_archive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include <zlib.h>

#include "support/temp_dir.h"
#include "support/zip_writer.h"
#include "text/codepage.h"

namespace veldan::updater {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::ZipFileOptions;
using test::ZipWriter;

// Bytes that deflate poorly, so stored and deflated data differ in size.
std::string Noise(std::size_t size, unsigned state) {
    std::string s(size, '\0');
    for (char& c : s) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return s;
}

// Options made by `set` from the defaults.
template <class F>
ZipFileOptions With(F set) {
    ZipFileOptions options;
    set(options);
    return options;
}

std::uint32_t Crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class ZipArchiveTest : public ::testing::Test {
  protected:
    // Writes the archive into the temporary folder and returns its path.
    std::string Save(const std::string& bytes) { return tmp_.Write("a.zip", bytes).string(); }
    // Opens `bytes` as the archive; returns Open's result.
    int OpenBytes(const std::string& bytes) { return zip_.Open(Save(bytes)); }
    std::string Target() const { return (tmp_.path() / "target").string(); }
    std::string Read(const std::string& relative) const { return tmp_.Read("target/" + relative); }
    bool Exists(const std::string& relative) const { return fs::exists(tmp_.path() / relative); }
    mode_t Mode(const std::string& relative) const {
        struct stat st {};
        ::stat((tmp_.path() / relative).c_str(), &st);
        return st.st_mode & 07777;
    }
    // Every path below the temporary folder, relative to it.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(tmp_.path())) {
            names.insert(fs::relative(e.path(), tmp_.path()).string());
        }
        return names;
    }

    TempDir tmp_;
    ZipArchive zip_;
};

// --- Opening ----------------------------------------------------------------

TEST_F(ZipArchiveTest, StoredAndDeflatedEntriesExtractWithTheirContent) {
    const std::string text = "hello, update\r\n";
    const std::string noise = Noise(300000, 7);
    const std::string zeros(1 << 20, '\0');
    ZipWriter w;
    w.AddFile("stored.txt", text, With([&](ZipFileOptions& o) { o.method = 0; }));
    w.AddFile("noise.bin", noise);
    w.AddFile("zeros.bin", zeros);
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(3, zip_.Count());
    EXPECT_EQ("stored.txt", zip_.Entry(0).name);
    EXPECT_EQ(0, zip_.Entry(0).method);
    EXPECT_EQ(8, zip_.Entry(2).method);
    EXPECT_EQ(zeros.size(), zip_.Entry(2).uncompressedSize);
    EXPECT_LT(zip_.Entry(2).compressedSize, 10000u);
    EXPECT_EQ(Crc(noise), zip_.Entry(1).crc32);

    // The default buffer and an odd, tiny one give the same bytes.
    for (int buffer : {ZipArchive::kDefaultBufferSize, 61}) {
        for (int i = 0; i < zip_.Count(); ++i)
            EXPECT_EQ(kZipOk, zip_.ExtractFile(i, Target(), true, buffer));
        EXPECT_EQ(text, Read("stored.txt"));
        EXPECT_EQ(noise, Read("noise.bin"));
        EXPECT_EQ(zeros, Read("zeros.bin"));
    }
    EXPECT_EQ(kZipOk, zip_.lastError());
}

TEST_F(ZipArchiveTest, CommentsUpToTheLongestOpen) {
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{65535}}) {
        ZipWriter w;
        w.AddFile("f.txt", "data");
        const std::string comment = Noise(length, 3);
        w.SetComment(comment);
        ASSERT_EQ(kZipOk, OpenBytes(w.Finish())) << length;
        EXPECT_EQ(comment, zip_.Comment());
        ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target()));
        EXPECT_EQ("data", Read("f.txt"));
    }
}

TEST_F(ZipArchiveTest, EndRecordIsFoundAcrossSearchBlockBoundaries) {
    // The record moves across every position near the boundaries of the
    // backwards search's blocks.
    for (std::size_t length = 4060; length < 4110; ++length) {
        ZipWriter w;
        w.AddFile("f.txt", "x");
        w.SetComment(std::string(length, 'c'));
        ASSERT_EQ(kZipOk, OpenBytes(w.Finish())) << length;
        ASSERT_EQ(1, zip_.Count()) << length;
    }
}

TEST_F(ZipArchiveTest, SignatureInsideTheCommentIsPassedOver) {
    ZipWriter w;
    w.AddFile("f.txt", "x");
    w.SetComment(std::string("PK\x05\x06", 4) + "looks like a record but runs past the end");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(1, zip_.Count());
}

TEST_F(ZipArchiveTest, StubInFrontIsMeasuredAndSkipped) {
    ZipWriter w;
    w.AddFile("a.txt", "first");
    w.AddFile("b/c.txt", "second", With([&](ZipFileOptions& o) { o.method = 0; }));
    w.SetStub("MZ" + Noise(998, 11));
    w.SetComment("self-extractor");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(1000u, zip_.BytesInFront());
    ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target()));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(1, Target()));
    EXPECT_EQ("first", Read("a.txt"));
    EXPECT_EQ("second", Read("b/c.txt"));
}

TEST_F(ZipArchiveTest, EntriesAreInTheOrderOfTheirData) {
    ZipWriter w;
    w.AddFile("one", "1");
    w.AddFile("two", "22");
    w.AddFile("three", "333");
    w.SetDirectoryOrder({2, 0, 1});
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(3, zip_.Count());
    EXPECT_EQ("one", zip_.Entry(0).name);
    EXPECT_EQ("two", zip_.Entry(1).name);
    EXPECT_EQ("three", zip_.Entry(2).name);
    ASSERT_EQ(kZipOk, zip_.ExtractFile(2, Target()));
    EXPECT_EQ("333", Read("three"));
}

TEST_F(ZipArchiveTest, InconsistentRecordsAreBadArchives) {
    ZipWriter shared;
    shared.AddFile("a", "1");
    shared.AddFile("b", "2");
    shared.ShareLocalHeader(1, 0);
    EXPECT_EQ(kZipBadArchive, OpenBytes(shared.Finish()));

    ZipWriter moreCounted;
    moreCounted.AddFile("a", "1");
    moreCounted.SetDeclaredEntryCount(2);
    EXPECT_EQ(kZipBadArchive, OpenBytes(moreCounted.Finish()));

    ZipWriter countWithoutDirectory;
    countWithoutDirectory.SetDeclaredEntryCount(1);
    EXPECT_EQ(kZipBadArchive, OpenBytes(countWithoutDirectory.Finish()));

    ZipWriter directoryPastRecord;
    directoryPastRecord.AddFile("a", "1");
    directoryPastRecord.SetDeclaredDirectoryOffset(5000);
    EXPECT_EQ(kZipBadArchive, OpenBytes(directoryPastRecord.Finish()));

    EXPECT_EQ(kZipBadArchive, zip_.lastError());
    EXPECT_FALSE(zip_.IsOpen());
    EXPECT_EQ(0, zip_.Count());
}

TEST_F(ZipArchiveTest, DataCutFromTheMiddleIsABadArchive) {
    ZipWriter w;
    w.AddFile("a.bin", Noise(5000, 1), With([&](ZipFileOptions& o) { o.method = 0; }));
    w.AddFile("b.bin", "tail");
    std::string bytes = w.Finish();
    bytes.erase(100, 1000);
    EXPECT_EQ(kZipBadArchive, OpenBytes(bytes));
}

TEST_F(ZipArchiveTest, MissingEndRecordIsReported) {
    EXPECT_EQ(kZipNoEndRecord, OpenBytes(""));
    EXPECT_EQ(kZipNoEndRecord, OpenBytes(Noise(200000, 5)));
    ZipWriter w;
    w.AddFile("a.txt", "content");
    std::string bytes = w.Finish();
    EXPECT_EQ(kZipNoEndRecord, OpenBytes(bytes.substr(0, bytes.size() - 22)));
    // The record's signature survives but the record itself is cut.
    EXPECT_EQ(kZipBadArchive, OpenBytes(bytes.substr(0, bytes.size() - 10)));
    EXPECT_EQ(kZipBadArchive, zip_.lastError());
}

TEST_F(ZipArchiveTest, UnreadablePathsAndStateAreReported) {
    const std::string missing = (tmp_.path() / "missing.zip").string();
    EXPECT_EQ(kZipBadArchive, zip_.Open(missing));
    EXPECT_EQ(missing, zip_.path());
    EXPECT_EQ(kZipBadArchive, zip_.Open(tmp_.str()));  // a folder
    EXPECT_EQ(kZipNotOpen, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipNotOpen, zip_.lastError());

    ASSERT_EQ(kZipOk, OpenBytes(ZipWriter().Finish()));  // an empty archive
    EXPECT_EQ(0, zip_.Count());
    EXPECT_EQ(kZipBadIndex, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipBadIndex, zip_.ExtractFile(-1, Target()));
    zip_.Close();
    EXPECT_FALSE(zip_.IsOpen());
    EXPECT_EQ(kZipNotOpen, zip_.ExtractFile(0, Target()));
}

// --- Folders, names, time and attributes --------------------------------------

TEST_F(ZipArchiveTest, FoldersAndSubFoldersAreCreated) {
    ZipWriter w;
    w.AddFolder("x/");
    w.AddFolder("x/y/z");
    w.AddFile("p/q/r.txt", "deep");
    w.AddFile("w\\v\\f.txt", "backslashed");
    w.AddFile("./dot/./g.txt", "dotted");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    for (int i = 0; i < zip_.Count(); ++i) ASSERT_EQ(kZipOk, zip_.ExtractFile(i, Target())) << i;
    EXPECT_TRUE(zip_.Entry(1).IsDirectory());
    EXPECT_TRUE(fs::is_directory(tmp_.path() / "target/x/y/z"));
    EXPECT_EQ("deep", Read("p/q/r.txt"));
    EXPECT_EQ("backslashed", Read("w/v/f.txt"));
    EXPECT_EQ("dotted", Read("dot/g.txt"));
}

TEST_F(ZipArchiveTest, WithoutPathOnlyTheFileNameIsUsed) {
    ZipWriter w;
    w.AddFolder("sub/");
    w.AddFile("sub/inner/file.txt", "flat");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target(), false));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(1, Target(), false));
    EXPECT_EQ("flat", Read("file.txt"));
    EXPECT_FALSE(Exists("target/sub"));
}

TEST_F(ZipArchiveTest, NamesResolveToExistingFoldersIgnoringCase) {
    tmp_.Write("target/Data/old.txt", "old");
    ZipWriter w;
    w.AddFile("DATA\\NEW.txt", "new");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target()));
    EXPECT_EQ("new", Read("Data/NEW.txt"));
    EXPECT_FALSE(Exists("target/DATA"));
}

TEST_F(ZipArchiveTest, Cp949NamesBecomeUtf8) {
    const std::string korean =
        "\xEC\x97\x85\xEB\x8D\xB0\xEC\x9D\xB4\xED\x8A\xB8.txt";  // 업데이트.txt
    ZipWriter w;
    w.AddFile(text::Utf8ToCp949(korean), "cp949");
    w.AddFile("u-" + korean, "utf8", With([](ZipFileOptions& o) { o.utf8Name = true; }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(korean, zip_.Entry(0).name);
    ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target()));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(1, Target()));
    EXPECT_EQ("cp949", Read(korean));
    EXPECT_EQ("utf8", Read("u-" + korean));
}

TEST_F(ZipArchiveTest, ModificationTimeComesFromTheDosDateAndTime) {
    ZipWriter w;
    w.AddFile("t.txt", "t", With([&](ZipFileOptions& o) {
                  o.year = 2004;
                  o.month = 7;
                  o.day = 9;
                  o.hour = 13;
                  o.minute = 45;
                  o.second = 58;
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(kZipOk, zip_.ExtractFile(0, Target()));
    struct stat st {};
    ASSERT_EQ(0, ::stat((tmp_.path() / "target/t.txt").c_str(), &st));
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(2004, tm.tm_year + 1900);
    EXPECT_EQ(7, tm.tm_mon + 1);
    EXPECT_EQ(9, tm.tm_mday);
    EXPECT_EQ(13, tm.tm_hour);
    EXPECT_EQ(45, tm.tm_min);
    EXPECT_EQ(58, tm.tm_sec);
}

TEST_F(ZipArchiveTest, InvalidDosDateKeepsTheFileButReportsIt) {
    ZipWriter w;
    w.AddFile("t.txt", "kept", With([&](ZipFileOptions& o) {
                  o.dosDate = 0;
                  o.dosTime = 0;
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipAttributesFailed, zip_.ExtractFile(0, Target()));
    EXPECT_EQ("kept", Read("t.txt"));
}

TEST_F(ZipArchiveTest, ReadOnlyAndUnixModesMapToPermissions) {
    tmp_.Write("target/was-ro.txt", "old");
    fs::permissions(tmp_.path() / "target/was-ro.txt", fs::perms::owner_read);
    tmp_.Write("target/program", "old program");
    fs::permissions(tmp_.path() / "target/program", static_cast<fs::perms>(0755));
    ZipWriter w;
    w.AddFile("program", "new program");  // made on DOS: the replaced file's bits stay
    w.AddFile("ro.txt", "r", With([&](ZipFileOptions& o) { o.dosAttributes = 0x21; }));
    w.AddFile("was-ro.txt", "now writable");
    w.AddFile("tool.sh", "#!/bin/sh\n", With([&](ZipFileOptions& o) { o.unixMode = 0100755; }));
    w.AddFile("setuid", "s", With([&](ZipFileOptions& o) { o.unixMode = 0104755; }));
    w.AddFile("unix-ro", "u", With([&](ZipFileOptions& o) {
                  o.dosAttributes = 0x01;
                  o.unixMode = 0100644;
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    for (int i = 0; i < zip_.Count(); ++i) ASSERT_EQ(kZipOk, zip_.ExtractFile(i, Target())) << i;
    EXPECT_EQ(0755, Mode("target/program"));
    EXPECT_EQ(0, Mode("target/ro.txt") & 0222);
    EXPECT_NE(0, Mode("target/was-ro.txt") & S_IWUSR);
    EXPECT_EQ("now writable", Read("was-ro.txt"));
    EXPECT_EQ(0755, Mode("target/tool.sh"));
    EXPECT_EQ(0755, Mode("target/setuid"));
    EXPECT_EQ(0444, Mode("target/unix-ro"));
}

TEST_F(ZipArchiveTest, ExistingFilesAreReplacedAndEmptyEntriesWritten) {
    tmp_.Write("target/app.exe", Noise(4000, 2));
    tmp_.Write("target/empty.txt", "not empty yet");
    ZipWriter w;
    w.AddFile("app.exe", "new program");
    w.AddFile("empty.txt", "");
    w.AddFile("empty-stored.txt", "", With([&](ZipFileOptions& o) { o.method = 0; }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    for (int i = 0; i < zip_.Count(); ++i) ASSERT_EQ(kZipOk, zip_.ExtractFile(i, Target())) << i;
    EXPECT_EQ("new program", Read("app.exe"));
    EXPECT_TRUE(Exists("target/empty.txt"));
    EXPECT_EQ("", Read("empty.txt"));
    EXPECT_TRUE(Exists("target/empty-stored.txt"));
    EXPECT_EQ((std::set<std::string>{"a.zip", "target", "target/app.exe", "target/empty.txt",
                                     "target/empty-stored.txt"}),
              Listing());
}

TEST_F(ZipArchiveTest, AFileInTheWayOfAFolderFails) {
    tmp_.Write("target/sub", "a file");
    ZipWriter w;
    w.AddFile("sub/x.txt", "x");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipWriteFailed, zip_.ExtractFile(0, Target()));
    EXPECT_EQ("a file", Read("sub"));
}

// --- Damaged and hostile entries ------------------------------------------------

TEST_F(ZipArchiveTest, WrongCrcKeepsTheOldFile) {
    tmp_.Write("target/app.exe", "good old program");
    ZipWriter w;
    w.AddFile("app.exe", "broken new program",
              With([&](ZipFileOptions& o) { o.corruptCrc = true; }));
    w.AddFile("stored.exe", "broken too", With([&](ZipFileOptions& o) {
                  o.method = 0;
                  o.corruptCrc = true;
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipBadCrc, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipBadCrc, zip_.lastError());
    EXPECT_EQ(kZipBadCrc, zip_.ExtractFile(1, Target()));
    EXPECT_EQ("good old program", Read("app.exe"));
    EXPECT_EQ((std::set<std::string>{"a.zip", "target", "target/app.exe"}), Listing());
}

TEST_F(ZipArchiveTest, EncryptedAndUnsupportedEntriesAreRefused) {
    ZipWriter w;
    w.AddFile("secret.txt", "plain", With([&](ZipFileOptions& o) { o.encrypted = true; }));
    w.AddFile("bzip.txt", "plain", With([&](ZipFileOptions& o) { o.method = 12; }));
    w.AddFile("ok.txt", "fine");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipEncrypted, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipBadArchive, zip_.ExtractFile(1, Target()));
    EXPECT_FALSE(Exists("target/secret.txt"));
    EXPECT_FALSE(Exists("target/bzip.txt"));
    EXPECT_EQ(kZipOk, zip_.ExtractFile(2, Target()));
}

TEST_F(ZipArchiveTest, HostileNamesAreRefusedAndNothingIsWrittenOutside) {
    const std::string absolute = (tmp_.path() / "outside-abs.txt").string();
    const std::vector<std::string> names = {absolute,
                                            "\\outside.txt",
                                            "\\\\server\\share\\x.txt",
                                            "C:\\x.txt",
                                            "C:x.txt",
                                            "../x.txt",
                                            "..\\x.txt",
                                            "a/../../x.txt",
                                            "a/b/../../../x.txt",
                                            "ok.txt:stream",
                                            std::string("nul\0.txt", 8)};
    ZipWriter w;
    for (const std::string& name : names) w.AddFile(name, "evil");
    w.AddFolder("../evil-folder/");
    w.AddFile("safe.txt", "safe");
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    ASSERT_EQ(static_cast<int>(names.size()) + 2, zip_.Count());
    for (int i = 0; i + 1 < zip_.Count(); ++i) {
        EXPECT_EQ(kZipUnsafeName, zip_.ExtractFile(i, Target())) << zip_.Entry(i).name;
        EXPECT_EQ(kZipUnsafeName, zip_.ExtractFile(i, Target(), false)) << zip_.Entry(i).name;
    }
    EXPECT_EQ((std::set<std::string>{"a.zip"}), Listing());
    // The refusals spoil nothing for the good entries beside them.
    EXPECT_EQ(kZipOk, zip_.ExtractFile(zip_.Count() - 1, Target()));
    EXPECT_EQ((std::set<std::string>{"a.zip", "target", "target/safe.txt"}), Listing());
}

TEST_F(ZipArchiveTest, SizesBeyondTheArchiveAreRefusedBeforeWriting) {
    const std::string small = std::string(2000, 'z');
    ZipWriter w;
    w.AddFile("bomb.bin", small,
              With([&](ZipFileOptions& o) { o.declaredUncompressedSize = 0xF0000000u; }));
    w.AddFile("huge.bin", small,
              With([&](ZipFileOptions& o) { o.declaredCompressedSize = 0x7FFFFFFFu; }));
    w.AddFile("stored.bin", small, With([&](ZipFileOptions& o) {
                  o.method = 0;
                  o.declaredUncompressedSize = 4000;
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipImplausibleSize, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipImplausibleSize, zip_.ExtractFile(1, Target()));
    EXPECT_EQ(kZipBadArchive, zip_.ExtractFile(2, Target()));
    EXPECT_EQ((std::set<std::string>{"a.zip"}), Listing());
}

TEST_F(ZipArchiveTest, NoMoreThanTheDeclaredSizeIsEverWritten) {
    // A megabyte of zeros declared as a thousand bytes, with the CRC of those
    // thousand bytes: the stream goes on where it should end.
    const std::string zeros(1 << 20, '\0');
    ZipWriter w;
    w.AddFile("liar.bin", zeros, With([&](ZipFileOptions& o) {
                  o.declaredUncompressedSize = 1000;
                  o.declaredCrc = Crc(zeros.substr(0, 1000));
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipBadArchive, zip_.ExtractFile(0, Target(), true, 100));
    EXPECT_EQ((std::set<std::string>{"a.zip", "target"}), Listing());
}

TEST_F(ZipArchiveTest, ShortDataIsIncomplete) {
    const std::string body = Noise(3000, 9);
    ZipWriter w;
    // The deflate stream ends before the declared size.
    w.AddFile("short.bin", body,
              With([&](ZipFileOptions& o) { o.declaredUncompressedSize = 3500; }));
    // The deflate stream lacks its end.
    const std::string deflated = ZipWriter::Deflate(body);
    w.AddFile("cut.bin", body, With([&](ZipFileOptions& o) {
                  o.rawData = deflated.substr(0, deflated.size() / 2);
              }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipIncomplete, zip_.ExtractFile(0, Target()));
    EXPECT_EQ(kZipIncomplete, zip_.ExtractFile(1, Target()));
    EXPECT_EQ((std::set<std::string>{"a.zip", "target"}), Listing());
}

TEST_F(ZipArchiveTest, DataRunningIntoTheDirectoryIsABadArchive) {
    ZipWriter w;
    w.AddFile("a.bin", Noise(3000, 4), With([&](ZipFileOptions& o) { o.dropDataBytes = 500; }));
    // The comment makes the archive longer than the declared data, so only the
    // data's position gives it away.
    w.SetComment(std::string(2000, 'c'));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    EXPECT_EQ(kZipBadArchive, zip_.ExtractFile(0, Target()));
    EXPECT_FALSE(Exists("target/a.bin"));
}

TEST_F(ZipArchiveTest, DamagedDeflateDataPassesZlibsError) {
    ZipWriter w;
    // First block: final, with the reserved block type 3.
    w.AddFile("bad.bin", "whatever",
              With([&](ZipFileOptions& o) { o.rawData = std::string("\xFF\xFF\xFF\xFF", 4); }));
    ASSERT_EQ(kZipOk, OpenBytes(w.Finish()));
    const int r = zip_.ExtractFile(0, Target());
    EXPECT_EQ(Z_DATA_ERROR, r);
    EXPECT_TRUE(IsZlibError(r));
    EXPECT_FALSE(Exists("target/bad.bin"));
}

TEST(ZipResultText, EveryCodeHasItsOwnText) {
    std::set<std::string> texts;
    const int codes[] = {
        kZipOk,          kZipBadArchive,       kZipBadCrc,          kZipEncrypted,
        kZipNoEndRecord, kZipUnsafeName,       kZipImplausibleSize, kZipIncomplete,
        kZipWriteFailed, kZipAttributesFailed, kZipNotOpen,         kZipBadIndex,
        Z_DATA_ERROR,    Z_MEM_ERROR,          Z_BUF_ERROR,         Z_STREAM_ERROR};
    for (int code : codes) texts.insert(ZipResultText(code));
    EXPECT_EQ(std::size(codes), texts.size());
    EXPECT_EQ(std::string("zlib: data error"), ZipResultText(Z_DATA_ERROR));
}

}  // namespace
}  // namespace veldan::updater
