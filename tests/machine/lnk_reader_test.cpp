// The shell link reader: every part of the format, links of every shape the
// shell opens, and damaged or hostile files.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "machine/folder/lnk_reader.h"
#include "support/lnk_parts.h"
#include "text/codepage.h"

namespace veldan::machine::image::lnk {
namespace {

namespace parts = test::lnk;

// The shortcut to "C:\test\a.txt" printed in Microsoft's public description of
// the format (section "Shortcut to a File"), as Windows wrote it: an ID list with
// long names, a LinkInfo, a relative path, a working folder and a tracker block.
std::string PublishedSample() {
    static const char* const kHex =
        "4C0000000114020000000000C0000000000000469B00080020000000D0E9EEF2"
        "1515C901D0E9EEF21515C901D0E9EEF21515C901000000000000000001000000"
        "000000000000000000000000BD0014001F50E04FD020EA3A6910A2D808002B30"
        "309D19002F433A5C000000000000000000000000000000000000004600310000"
        "0000002C3969A31000746573740000320007000400EFBE2C3965A32C3969A326"
        "000000031E00000000F51E000000000000000000007400650073007400000014"
        "0048003200000000002C3969A32000612E74787400340007000400EFBE2C3969"
        "A32C3969A3260000002D6E0000000096010000000000000000000061002E0074"
        "00780074000000140000003C0000001C000000010000001C0000002D00000000"
        "0000003B0000001100000003000000818A7A301000000000433A5C746573745C"
        "612E747874000007002E005C0061002E00740078007400070043003A005C0074"
        "0065007300740060000000030000A0580000000000000063687269732D787073"
        "000000000000004078C79447FAC746B3565C2DC6B6D115EC46CD7B227FDD1194"
        "9900137216874A4078C79447FAC746B3565C2DC6B6D115EC46CD7B227FDD1194"
        "9900137216874A00000000";
    const std::string_view digits(kHex);
    std::string bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

TEST(LnkReaderTest, PublishedSampleReadsWhole) {
    const std::string sample = PublishedSample();
    ASSERT_EQ(sample.size(), 0x1CBu);
    LnkContents link;
    ASSERT_EQ(ReadLnk(sample, link), ERROR_SUCCESS);
    EXPECT_EQ(link.flags, 0x0008009Bu);
    EXPECT_EQ(link.fileAttributes, 0x20u);
    EXPECT_EQ(link.creationTime, 0x01C91515F2EEE9D0u);
    EXPECT_EQ(link.showCommand, 1u);
    EXPECT_TRUE(link.hasIdList);
    EXPECT_EQ(link.idListPath, "C:\\test\\a.txt");
    EXPECT_TRUE(link.hasLinkInfo);
    EXPECT_EQ(link.localPath, "C:\\test\\a.txt");
    EXPECT_EQ(link.relativePath, ".\\a.txt");
    EXPECT_EQ(link.workingDirectory, "C:\\test");
    EXPECT_EQ(link.blocks, std::vector<std::uint32_t>{kTrackerBlock});
}

TEST(LnkReaderTest, HeaderNumbersAndAnsiStringsInCp949) {
    const std::uint32_t flags =
        kHasName | kHasRelativePath | kHasWorkingDir | kHasArguments | kHasIconLocation;
    const std::string bytes = parts::Header(flags, -3, 7, 0x0641) +
                              parts::String("검색 도우미", false) +
                              parts::String("..\\툴바\\a.exe", false) +
                              parts::String("C:\\툴바", false) + parts::String("/설치 /q", false) +
                              parts::String("C:\\툴바\\아이콘.ico", false) + parts::Terminal();
    LnkContents link;
    ASSERT_EQ(ReadLnk(bytes, link), ERROR_SUCCESS);
    EXPECT_EQ(link.iconIndex, -3);
    EXPECT_EQ(link.showCommand, 7u);
    EXPECT_EQ(link.hotKey, 0x0641);
    EXPECT_EQ(link.fileSize, 1234u);
    EXPECT_EQ(link.description, "검색 도우미");
    EXPECT_EQ(link.relativePath, "..\\툴바\\a.exe");
    EXPECT_EQ(link.workingDirectory, "C:\\툴바");
    EXPECT_EQ(link.arguments, "/설치 /q");
    EXPECT_EQ(link.iconLocation, "C:\\툴바\\아이콘.ico");
    EXPECT_FALSE(link.hasIdList);
    EXPECT_FALSE(link.hasLinkInfo);
}

TEST(LnkReaderTest, LinkInfoLocalAnsiUnicodeAndNetwork) {
    LnkContents link;
    // ANSI only: the path in CP949 joined with its common suffix.
    ASSERT_EQ(ReadLnk(parts::Header(kHasLinkInfo) +
                          parts::LocalLinkInfo("C:\\프로그램", "광고\\a.exe", false),
                      link),
              ERROR_SUCCESS);
    EXPECT_EQ(link.localPath, "C:\\프로그램\\광고\\a.exe");
    // The Unicode forms win: CP949 lacks the characters the ANSI form lost.
    ASSERT_EQ(ReadLnk(parts::Header(kHasLinkInfo) + parts::LocalLinkInfo("C:\\们\\x.exe", "", true),
                      link),
              ERROR_SUCCESS);
    EXPECT_EQ(link.localPath, "C:\\们\\x.exe");
    ASSERT_EQ(ReadLnk(parts::Header(kHasLinkInfo) +
                          parts::NetworkLinkInfo("\\\\SERVER\\공유", "Z:", "툴\\b.exe"),
                      link),
              ERROR_SUCCESS);
    EXPECT_EQ(link.localPath, "");
    EXPECT_EQ(link.networkPath, "\\\\SERVER\\공유\\툴\\b.exe");
    EXPECT_EQ(link.deviceName, "Z:");
}

TEST(LnkReaderTest, ExtraBlocksInAnyOrderUnknownOnesPassedOver) {
    const std::string strings = parts::String("args", true);
    const std::string unknown = parts::Block(0xA0000099, "xyzw");
    const std::string bytes =
        parts::Header(kHasArguments | kIsUnicode | kHasExpString | kHasExpIcon) + strings +
        parts::PropertyStoreBlock() + unknown + parts::TrackerBlock("pc-01") +
        parts::EnvironmentBlock(kIconEnvironmentBlock, "%SystemRoot%\\광고.ico", false) +
        parts::EnvironmentBlock(kEnvironmentBlock, "%ProgramFiles%\\광고\\们.exe", true) +
        parts::Terminal() + "trailing bytes after the terminal block";
    LnkContents link;
    ASSERT_EQ(ReadLnk(bytes, link), ERROR_SUCCESS);
    EXPECT_EQ(link.arguments, "args");
    EXPECT_EQ(link.blocks,
              (std::vector<std::uint32_t>{kPropertyStoreBlock, 0xA0000099, kTrackerBlock,
                                          kIconEnvironmentBlock, kEnvironmentBlock}));
    EXPECT_EQ(link.environmentTarget, "%ProgramFiles%\\광고\\们.exe");  // the UTF-16 form
    EXPECT_EQ(link.iconEnvironmentTarget, "%SystemRoot%\\광고.ico");    // the CP949 form
}

TEST(LnkReaderTest, OddOrMissingEndOfExtraDataEndsTheWalk) {
    const std::string head = parts::Header(kHasArguments | kIsUnicode) + parts::String("a", true);
    const std::string env = parts::EnvironmentBlock(kEnvironmentBlock, "%windir%\\x.exe", true);
    const std::string tails[] = {
        "",                                 // no terminal block at the end of the file
        env,                                // a block, then the end of the file
        env + "\x01\x00",                   // a piece of a terminal block
        env + parts::Le32(6) + "\xAA\xBB",  // a block too small for its signature
        env + parts::Le32(0xFFFFFFFF) + parts::Le32(kTrackerBlock),  // a block past the end
        env + env.substr(0, 100),                                    // a truncated second block
    };
    for (const std::string& tail : tails) {
        LnkContents link;
        ASSERT_EQ(ReadLnk(head + tail, link), ERROR_SUCCESS) << tail.size();
        EXPECT_EQ(link.arguments, "a");
        EXPECT_EQ(link.environmentTarget, tail.empty() ? "" : "%windir%\\x.exe");
    }
}

TEST(LnkReaderTest, NotShellLinksAndTruncatedStructuresAreRefused) {
    const std::string header = parts::Header(0);
    std::string wrongSize = header;
    wrongSize[0] = 0x4D;
    std::string wrongClsid = header;
    wrongClsid[5] = 0x15;
    const std::string refused[] = {
        "",
        header.substr(0, 0x4B),
        wrongSize,
        wrongClsid,
        parts::Header(kHasLinkTargetIdList),  // no ID list size
        parts::Header(kHasLinkTargetIdList) + parts::Le16(0xFFFF) + "short",
        parts::Header(kHasLinkInfo) + parts::Le32(0x7FFFFFFF) + parts::Le32(0x1C),
        parts::Header(kHasLinkInfo) + parts::Le32(2),             // smaller than its size field
        parts::Header(kHasName) + parts::Le16(0xFFFF) + "short",  // a string past the end
        parts::Header(kHasName | kIsUnicode) + parts::Le16(3) + "abcde",
        parts::Header(kHasName | kHasArguments) + parts::String("a", false),  // arguments missing
    };
    for (const std::string& bytes : refused) {
        LnkContents link;
        link.arguments = "untouched";
        EXPECT_EQ(ReadLnk(bytes, link), ERROR_INVALID_DATA) << bytes.size();
        EXPECT_EQ(link.arguments, "untouched");
    }
}

TEST(LnkReaderTest, LinkInfoOffsetsOutsideTheStructureNameNothing) {
    // Offsets beyond the LinkInfo, into its header, and a string without a terminator.
    std::string info = parts::LocalLinkInfo("C:\\a.exe", "", true);
    std::string outside = info;
    outside.replace(16, 4, parts::Le32(0xFFFFFFF0));  // LocalBasePathOffset
    outside.replace(28, 4, parts::Le32(0x7FFFFFFF));  // LocalBasePathOffsetUnicode
    std::string unterminated = parts::LocalLinkInfo("C:\\a.exe", "", false);
    unterminated.resize(unterminated.size() - 2);  // drops the terminators of path and suffix
    unterminated.replace(0, 4, parts::Le32(static_cast<std::uint32_t>(unterminated.size())));
    std::string badNetwork = parts::NetworkLinkInfo("\\\\S\\x", "", "");
    badNetwork.replace(0x1C, 4, parts::Le32(0xFFFF));  // CommonNetworkRelativeLinkSize
    for (const std::string& bad : {outside, unterminated, badNetwork}) {
        LnkContents link;
        ASSERT_EQ(ReadLnk(parts::Header(kHasLinkInfo | kHasArguments) + bad +
                              parts::String("kept", false),
                          link),
                  ERROR_SUCCESS);
        EXPECT_TRUE(link.hasLinkInfo);
        EXPECT_EQ(link.localPath, "");
        EXPECT_EQ(link.networkPath, "");
        EXPECT_EQ(link.arguments, "kept");
    }
}

// Every prefix and thousands of damaged copies of a link with every part: each is
// refused or read, none is read past its end (the sanitizer builds catch that).
TEST(LnkReaderTest, EveryPrefixAndRandomDamageReadSafely) {
    const std::string full =
        parts::Header(kHasLinkTargetIdList | kHasLinkInfo | kHasName | kHasWorkingDir |
                      kHasArguments | kIsUnicode | kHasExpString) +
        parts::IdList({parts::MyComputerItem(), parts::DriveItem("C:\\"),
                       parts::FileItem("PROGRA~1", "Program Files", true, 9),
                       parts::FileItem("A.EXE", "a.exe", false, 3)}) +
        parts::LocalLinkInfo("C:\\Program Files\\a.exe", "", true) + parts::String("d", true) +
        parts::String("C:\\", true) + parts::String("-x", true) + parts::TrackerBlock("m") +
        parts::EnvironmentBlock(kEnvironmentBlock, "%x%\\a.exe", true) + parts::Terminal();
    LnkContents whole;
    ASSERT_EQ(ReadLnk(full, whole), ERROR_SUCCESS);
    EXPECT_EQ(whole.idListPath, "C:\\Program Files\\a.exe");
    std::size_t read = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        LnkContents link;
        if (ReadLnk(std::string_view(full).substr(0, n), link) == ERROR_SUCCESS) ++read;
    }
    // Only the prefixes that end inside the extra data are read.
    EXPECT_EQ(read, full.size() - full.find(parts::TrackerBlock("m")));

    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = full;
        for (int k = 0; k < 4; ++k) {
            damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
        }
        LnkContents link;
        if (ReadLnk(damaged, link) == ERROR_SUCCESS) {
            EXPECT_LE(link.arguments.size(), damaged.size());
            EXPECT_LE(link.idListPath.size(), 4 * damaged.size());
        }
    }
}

}  // namespace
}  // namespace veldan::machine::image::lnk
