// Hive files: the empty hive this system writes, and one hive read, changed and
// written back through hivex with its safety rules (unclean hives refused,
// backups, whole-file replacement).

#include <gtest/gtest.h>
#include <hivex.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host/file_read.h"
#include "machine/hive/hive_file.h"
#include "machine/hive/hive_writer.h"
#include "support/hive_factory.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace veldan::machine::hive {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

std::uint32_t Get32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    host::ReadWholeFile(path, bytes);
    return bytes;
}

std::string NewHive(const TempDir& dir, const std::string& name, EmptyHiveOptions options = {}) {
    const std::string path = (dir.path() / name).string();
    std::string error;
    EXPECT_TRUE(WriteEmptyHive(path, options, error)) << error;
    return path;
}

// ---- The empty hive ----

TEST(EmptyHive, BaseBlockAndBinAreWhatWindowsAndHivexExpect) {
    EmptyHiveOptions options;
    options.rootName = "CMI-CreateHive";
    options.fileName = "SOFTWARE";
    options.minorVersion = 5;
    const std::string b = EmptyHiveBytes(options);
    ASSERT_EQ(b.size(), 0x2000u);
    EXPECT_EQ(b.substr(0, 4), "regf");
    EXPECT_EQ(Get32(b, kPrimarySequenceOffset), Get32(b, kSecondarySequenceOffset));
    EXPECT_EQ(Get32(b, 0x14), 1u);
    EXPECT_EQ(Get32(b, kMinorVersionOffset), 5u);
    EXPECT_EQ(Get32(b, 0x28), 0x1000u);  // one bin
    EXPECT_EQ(text::Utf16LeToUtf8(b.substr(0x30, 16)), "SOFTWARE");
    EXPECT_EQ(Get32(b, kChecksumOffset), BaseBlockChecksum(b));
    EXPECT_EQ(b.substr(0x1000, 4), "hbin");
    // The cells fill the bin exactly: walking them by size ends at its end.
    std::size_t at = 0x1020, cells = 0;
    while (at < 0x2000) {
        std::int32_t size = static_cast<std::int32_t>(Get32(b, at));
        ASSERT_NE(size, 0);
        at += static_cast<std::size_t>(size < 0 ? -size : size);
        ++cells;
    }
    EXPECT_EQ(at, 0x2000u);
    EXPECT_EQ(cells, 3u);  // root key, its security, free space

    TempDir dir;
    const std::string path = NewHive(dir, "hive", options);
    hive_h* h = hivex_open(path.c_str(), 0);
    ASSERT_NE(h, nullptr);
    hive_node_h root = hivex_root(h);
    char* name = hivex_node_name(h, root);
    EXPECT_STREQ(name, "CMI-CreateHive");
    free(name);
    EXPECT_EQ(hivex_node_nr_children(h, root), 0u);
    EXPECT_EQ(hivex_node_nr_values(h, root), 0u);
    hivex_close(h);
}

TEST(EmptyHive, ChecksumNeverTakesTheValuesWindowsReplaces) {
    // A time stamp whose low word cancels the rest of the block would give the
    // checksum 0, which Windows stores as 1 and hivex then rejects.
    EmptyHiveOptions options;
    options.timestamp = 0x01D0000000000000ull;
    const std::string first = EmptyHiveBytes(options);
    options.timestamp ^= Get32(first, kChecksumOffset);
    const std::string b = EmptyHiveBytes(options);
    std::uint32_t sum = Get32(b, kChecksumOffset);
    EXPECT_NE(sum, 0u);
    EXPECT_NE(sum, 0xFFFFFFFFu);
    EXPECT_EQ(sum, BaseBlockChecksum(b));
    EXPECT_NE(Get32(b, 0x0C), static_cast<std::uint32_t>(options.timestamp));
}

TEST(HiveBytes, SubKeyListsAreInWindowsOrderWithTheirHashes) {
    HiveTreeKey root;
    root.values = {{"", 1, std::string("r\0\0\0", 4)}};
    for (const char* n : {"_x", "é", "한글", "B", "a"}) {
        root.Child(n).values.push_back(
            {"v", 3, std::string(n == std::string("B") ? 9000 : 2, 'd')});
    }
    root.Child("a").Child("deeper");
    std::string bytes, error;
    ASSERT_TRUE(HiveBytes(root, {}, bytes, error)) << error;
    EXPECT_EQ(Get32(bytes, 0x28) + 0x1000, bytes.size());  // bins end where the file does
    EXPECT_EQ(Get32(bytes, kChecksumOffset), BaseBlockChecksum(bytes));

    // The root's list: "lh", a count, then (offset, hash) pairs sorted by the
    // upper-cased UTF-16 names; a name's hash is h = 37 * h + upper(c).
    const std::size_t nk = 0x1020 + 4;
    const std::size_t lh = 0x1000 + Get32(bytes, nk + 0x1C) + 4;
    ASSERT_EQ(bytes.substr(lh, 2), "lh");
    ASSERT_EQ(Get32(bytes, lh) >> 16, 5u);
    const std::u16string upper[] = {u"A", u"B", u"_X", u"\u00C9", u"\uD55C\uAE00"};
    for (std::size_t i = 0; i < 5; ++i) {
        std::uint32_t hash = 0;
        for (char16_t c : upper[i]) hash = hash * 37 + c;
        EXPECT_EQ(Get32(bytes, lh + 4 + 8 * i + 4), hash) << i;
        // Each entry names a key whose parent is the root.
        const std::size_t child = 0x1000 + Get32(bytes, lh + 4 + 8 * i) + 4;
        EXPECT_EQ(bytes.substr(child, 2), "nk");
        EXPECT_EQ(Get32(bytes, child + 0x10), 0x20u);
    }

    TempDir dir;
    dir.Write("h", bytes);
    hive_h* h = hivex_open((dir.path() / "h").string().c_str(), 0);
    ASSERT_NE(h, nullptr);
    hive_node_h* children = hivex_node_children(h, hivex_root(h));
    std::vector<std::string> names;
    for (hive_node_h* c = children; *c != 0; ++c) {
        char* n = hivex_node_name(h, *c);
        names.push_back(n);
        free(n);
    }
    free(children);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "_x", "é", "한글"}));
    hive_node_h b = hivex_node_get_child(h, hivex_root(h), "b");
    hive_type type{};
    std::size_t len = 0;
    char* data = hivex_value_value(h, hivex_node_get_value(h, b, "v"), &type, &len);
    EXPECT_EQ(std::string(data, len), std::string(9000, 'd'));
    free(data);
    hivex_close(h);
}

// ---- Reading and changing ----

TEST(HiveFile, KeepsSubKeysSortedByUpperCasedNameAndValuesInOrder) {
    TempDir dir;
    std::string error;
    auto f = HiveFile::Open(NewHive(dir, "h"), false, error);
    ASSERT_NE(f, nullptr) << error;
    hive_node_h child = 0, hangul = 0;
    // The list is read once, then kept sorted as keys are added.
    EXPECT_TRUE(f->Children(f->root()).empty());
    for (const char* n : {"_x", "B", "한글", "a"}) {
        ASSERT_EQ(f->AddChild(f->root(), n, child), 0) << n;
        if (std::string(n) == "한글") hangul = child;
    }
    std::vector<std::string> names;
    for (const auto& c : f->Children(f->root())) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "B", "_x", "한글"}));
    EXPECT_EQ(f->FindChild(f->root(), "한글"), hangul);
    EXPECT_EQ(f->FindChild(f->root(), "_X"), f->Children(f->root())[2].node);
    EXPECT_EQ(f->FindChild(f->root(), "c"), 0u);
    EXPECT_EQ(f->AddChild(f->root(), "b", child), EEXIST);
    EXPECT_EQ(f->Parent(hangul), f->root());
    EXPECT_TRUE(f->IsAncestor(f->root(), hangul));
    EXPECT_FALSE(f->IsAncestor(hangul, f->root()));

    std::vector<RawValue> values = {{"z", 1, std::string("a\0\0\0", 4)},
                                    {"", 4, std::string("\x07\0\0\0", 4)},
                                    {"big", 3, std::string(5000, 'q')}};
    ASSERT_EQ(f->WriteValues(f->root(), values), 0);
    std::vector<RawValue> back;
    ASSERT_TRUE(f->ReadValues(f->root(), back));
    EXPECT_EQ(back, values);
    RawValue v;
    ASSERT_TRUE(f->ReadValue(f->root(), "BIG", v));
    EXPECT_EQ(v.bytes.size(), 5000u);
    EXPECT_FALSE(f->ReadValue(f->root(), "none", v));
    EXPECT_TRUE(f->dirty());
}

TEST(HiveFile, StringsAreUtf16InTheHive) {
    RawValue raw = ToHiveValue("n", RegValue::String("가a"));
    EXPECT_EQ(raw.bytes, std::string("\x00\xAC"
                                     "a\0\0\0",
                                     6));
    EXPECT_EQ(FromHiveValue(raw), RegValue::String("가a"));
    RawValue multi = ToHiveValue("m", RegValue::MultiString({"x", "y"}));
    EXPECT_EQ(multi.bytes, std::string("x\0\0\0y\0\0\0\0\0", 10));
    RegValue binary{REG_BINARY, std::string("\x01\x02\x03", 3)};
    EXPECT_EQ(ToHiveValue("b", binary).bytes, binary.data);
    // Bytes that are not UTF-16 text go back into the hive unchanged.
    for (const std::string& bytes : {std::string("\xff\xfe\x00\xd8\x41", 5),
                                     std::string("\x41\x00\x42", 3),
                                     std::string("\x00\xdc\x00\xd8", 4)}) {
        RegValue v = FromHiveValue(RawValue{"odd", REG_MULTI_SZ, bytes});
        EXPECT_EQ(ToHiveValue("odd", v).bytes, bytes);
    }
}

TEST(HiveFile, LargeValuesAreRefusedWhereWindowsWouldSplitThem) {
    TempDir dir;
    EmptyHiveOptions xp;
    xp.minorVersion = 5;
    std::string error;
    auto f = HiveFile::Open(NewHive(dir, "xp", xp), false, error);
    ASSERT_NE(f, nullptr) << error;
    std::vector<RawValue> big = {{"v", 3, std::string(kLargestSingleCellValue + 1, 'x')}};
    EXPECT_EQ(f->WriteValues(f->root(), big), EFBIG);
    big[0].bytes.pop_back();
    EXPECT_EQ(f->WriteValues(f->root(), big), 0);
}

// ---- Safety ----

TEST(HiveFile, UncleanHivesOpenOnlyWhenForced) {
    TempDir dir;
    const std::string path = NewHive(dir, "NTUSER.DAT");
    test::SetHiveSequences(path, 8, 7);
    std::string error;
    EXPECT_EQ(HiveFile::Open(path, false, error), nullptr);
    EXPECT_NE(error.find("not cleanly written"), std::string::npos) << error;
    EXPECT_NE(error.find("8 and 7"), std::string::npos) << error;
    EXPECT_NE(error.find("--force"), std::string::npos) << error;
    auto forced = HiveFile::Open(path, true, error);
    ASSERT_NE(forced, nullptr);
    EXPECT_FALSE(forced->header().Clean());

    // A hive whose first bin is damaged: said where, the path named once.
    std::string bytes = ReadFile(NewHive(dir, "damaged"));
    bytes.replace(0x1000, 4, "XXXX");
    const std::string damaged = dir.Write("damaged", bytes).string();
    EXPECT_EQ(HiveFile::Open(damaged, true, error), nullptr);
    EXPECT_EQ(error, damaged + ": damaged at offset 0x1000: no valid hive bin there");
    // One that ends before its header says.
    dir.Write("short", bytes.substr(0, 0x1000));
    EXPECT_EQ(HiveFile::Open((dir.path() / "short").string(), true, error), nullptr);
    EXPECT_NE(error.find("damaged: the header says"), std::string::npos) << error;

    dir.Write("junk", std::string(0x3000, 'x'));
    EXPECT_EQ(HiveFile::Open((dir.path() / "junk").string(), true, error), nullptr);
    EXPECT_NE(error.find("not a registry hive"), std::string::npos);
}

TEST(HiveFile, CommitBacksUpOnceReplacesWholeAndMarksTheHiveClean) {
    TempDir dir;
    const std::string path = NewHive(dir, "SOFTWARE");
    test::SetHiveSequences(path, 4, 3);  // forced open of an unclean hive
    const std::string original = ReadFile(path);
    std::string error;
    auto f = HiveFile::Open(path, true, error);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Commit(true, error));  // nothing changed: nothing written
    EXPECT_FALSE(fs::exists(path + ".veldan-backup"));

    hive_node_h child = 0;
    ASSERT_EQ(f->AddChild(f->root(), "Spy", child), 0);
    ASSERT_TRUE(f->Commit(true, error)) << error;
    EXPECT_EQ(f->backupPath(), path + ".veldan-backup");
    EXPECT_EQ(ReadFile(path + ".veldan-backup"), original);
    EXPECT_FALSE(fs::exists(path + ".veldan-new"));
    HiveHeader header;
    ASSERT_TRUE(ReadHiveHeader(path, header, error));
    EXPECT_TRUE(header.Clean());
    EXPECT_GT(header.primarySequence, 4u);

    // A second change in the same run keeps the first backup.
    ASSERT_EQ(f->DeleteTree(child), 0);
    ASSERT_TRUE(f->Commit(true, error));
    EXPECT_EQ(ReadFile(path + ".veldan-backup"), original);
    EXPECT_FALSE(fs::exists(path + ".veldan-backup-2"));

    // A later run never replaces an earlier backup.
    auto again = HiveFile::Open(path, false, error);
    ASSERT_NE(again, nullptr);
    const std::string beforeSecondRun = ReadFile(path);
    ASSERT_EQ(again->AddChild(again->root(), "Other", child), 0);
    ASSERT_TRUE(again->Commit(true, error));
    EXPECT_EQ(again->backupPath(), path + ".veldan-backup-2");
    EXPECT_EQ(ReadFile(path + ".veldan-backup"), original);
    EXPECT_EQ(ReadFile(path + ".veldan-backup-2"), beforeSecondRun);

    auto reread = HiveFile::Open(path, false, error);
    ASSERT_NE(reread, nullptr);
    EXPECT_NE(reread->FindChild(reread->root(), "other"), 0u);
    EXPECT_EQ(reread->FindChild(reread->root(), "spy"), 0u);
}

TEST(HiveFile, CommitRemovesTheNewFileOfACommitCutShort) {
    TempDir dir;
    const std::string path = NewHive(dir, "DEFAULT");
    const std::string original = ReadFile(path);
    std::string error;
    auto f = HiveFile::Open(path, false, error);
    ASSERT_NE(f, nullptr) << error;
    // Killed after writing the new file, before renaming it: the hive is intact.
    dir.Write("DEFAULT.veldan-new", original.substr(0, 100));
    ASSERT_TRUE(f->Commit(true, error)) << error;
    EXPECT_FALSE(fs::exists(path + ".veldan-new"));
    EXPECT_EQ(ReadFile(path), original);
}

TEST(HiveFile, FailedCommitLeavesTheFileAndKeepsTheChanges) {
    TempDir dir;
    const std::string path = NewHive(dir, "SYSTEM");
    ::chmod(path.c_str(), 0640);
    const std::string original = ReadFile(path);
    std::string error;
    auto f = HiveFile::Open(path, false, error);
    ASSERT_NE(f, nullptr);
    hive_node_h child = 0;
    ASSERT_EQ(f->AddChild(f->root(), "Select", child), 0);

    // The temporary file's place is taken by a folder: writing it fails.
    fs::create_directory(path + ".veldan-new");
    EXPECT_FALSE(f->Commit(false, error));
    EXPECT_NE(error.find(".veldan-new"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_TRUE(f->dirty());

    fs::remove(path + ".veldan-new");
    ASSERT_TRUE(f->Commit(false, error)) << error;
    EXPECT_NE(ReadFile(path), original);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    auto reread = HiveFile::Open(path, false, error);
    ASSERT_NE(reread, nullptr);
    EXPECT_NE(reread->FindChild(reread->root(), "SELECT"), 0u);
}

}  // namespace
}  // namespace veldan::machine::hive
