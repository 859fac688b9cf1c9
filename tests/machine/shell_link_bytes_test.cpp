// The image backend's reading of .lnk bytes Windows never writes, and the
// layout of the links the test writer makes.

#include <gtest/gtest.h>

#include <cstdint>

#include "support/lnk_writer.h"
#include "support/shell_link_backends.h"
#include "text/codepage.h"

namespace veldan::machine {
namespace {

std::uint32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

class ShellLinkBytesTest : public ::testing::Test {
  protected:
    std::string Put(std::string_view relative, std::string_view bytes) {
        return backend_.Put(relative, bytes);
    }
    test::ShellLinksBackend backend_;
    ShellLinks& links_ = backend_.links();
};

TEST_F(ShellLinkBytesTest, WriterLaysOutHeaderAndLinkInfo) {
    test::LnkSpec lnk = test::EveryFieldLink();
    const std::string ansi = test::MakeShellLink(lnk);
    ASSERT_GT(ansi.size(), 0x4Cu + 0x1Cu);
    EXPECT_EQ(Le32(ansi, 0), 0x4Cu);
    EXPECT_EQ(ansi.substr(4, 16),
              std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16));
    // HasLinkInfo, HasName, HasWorkingDir, HasArguments, HasIconLocation, IsUnicode.
    EXPECT_EQ(Le32(ansi, 0x14), 0xF6u);
    EXPECT_EQ(Le32(ansi, 0x4C + 4), 0x1Cu);  // CP949 holds the path: no Unicode copy
    EXPECT_EQ(Le32(ansi, 0x4C + 8), 1u);     // VolumeIDAndLocalBasePath
    const std::uint32_t base = 0x4C + Le32(ansi, 0x4C + 16);
    EXPECT_EQ(ansi.substr(base, text::Utf8ToCp949(lnk.target).size() + 1),
              text::Utf8ToCp949(lnk.target) + '\0');
    EXPECT_EQ(Le32(ansi, 0x4C + Le32(ansi, 0x4C + 12) + 4), 3u);  // DRIVE_FIXED
    // The string data starts right after the LinkInfo with the description's length.
    const std::uint32_t strings = 0x4C + Le32(ansi, 0x4C);
    EXPECT_EQ(static_cast<unsigned char>(ansi[strings]),
              text::Utf8ToUtf16Le(lnk.description).size() / 2);
    EXPECT_EQ(Le32(ansi, ansi.size() - 4), 0u);  // terminal block

    lnk.target = "C:\\们.exe";
    EXPECT_EQ(Le32(test::MakeShellLink(lnk), 0x4C + 4), 0x24u);
}

// A LinkInfo whose size field claims far more than the file holds (about
// 2.5 GB here, found by fuzz_lnk) is refused as damaged.
TEST_F(ShellLinkBytesTest, LinkInfoSizeBeyondTheFile) {
    std::string bytes = test::MakeShellLink(test::EveryFieldLink());
    ASSERT_EQ(Le32(bytes, 0x14) & 1u, 0u);  // no ID list: the LinkInfo follows the header
    for (std::size_t i = 0; i < 4; ++i) bytes[0x4C + i] = '\x97';
    ShellLinkData link;
    link.target = "untouched";
    EXPECT_EQ(links_.LoadShellLink(Put("huge.lnk", bytes), link), ERROR_INVALID_DATA);
    EXPECT_EQ(link.target, "untouched");
}

// The LinkInfo is found after an ID list too: a link with an (empty) ID list
// still loads, and one whose LinkInfo there is one byte too large does not.
TEST_F(ShellLinkBytesTest, LinkInfoAfterAnIdList) {
    const test::LnkSpec wanted = test::EveryFieldLink();
    std::string bytes = test::MakeShellLink(wanted);
    bytes[0x14] = static_cast<char>(bytes[0x14] | 0x01);     // HasLinkTargetIDList
    bytes.insert(0x4C, std::string("\x02\x00\x00\x00", 4));  // size 2: the terminal item
    ShellLinkData link;
    ASSERT_EQ(links_.LoadShellLink(Put("idlist.lnk", bytes), link), ERROR_SUCCESS);
    EXPECT_EQ(link.target, wanted.target);

    const std::size_t linkInfo = 0x4C + 4;
    const std::uint32_t tooLarge = static_cast<std::uint32_t>(bytes.size() - linkInfo + 1);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[linkInfo + i] = static_cast<char>(tooLarge >> (8 * i));
    EXPECT_EQ(links_.LoadShellLink(Put("idlist.lnk", bytes), link), ERROR_INVALID_DATA);
}

}  // namespace
}  // namespace veldan::machine
