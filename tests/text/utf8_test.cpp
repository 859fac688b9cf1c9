#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"
#include "text/cp949_fit.h"
#include "text/little_endian.h"

namespace veldan::text {
namespace {

const std::string kHangul = "\xED\x95\x9C";  // one character, two bytes in CP949

TEST(Utf8Characters, LengthAndStartNeverSplitACharacter) {
    const std::string s = "a" + kHangul + "\xF0\x9F\x98\x80" + "z";
    EXPECT_EQ(Utf8CharLength(s, 0), 1u);
    EXPECT_EQ(Utf8CharLength(s, 1), 3u);
    EXPECT_EQ(Utf8CharLength(s, 4), 4u);
    EXPECT_EQ(Utf8CharStart(s, 2), 1u);
    EXPECT_EQ(Utf8CharStart(s, 3), 1u);
    EXPECT_EQ(Utf8CharStart(s, 7), 4u);
    EXPECT_EQ(Utf8CharStart(s, 8), 8u);
    EXPECT_EQ(Utf8CharStart(s, 99), s.size());
    // A broken lead byte counts alone, so that the ASCII after it stays whole.
    EXPECT_EQ(Utf8CharLength("\xE0"
                             "ab",
                             0),
              1u);
    EXPECT_EQ(Utf8CharLength("\xC3", 0), 1u);
}

TEST(FitCp949, KeepsWholeCharactersThatFitWithTheTerminator) {
    EXPECT_EQ(FitCp949("abc", 4), "abc");
    EXPECT_EQ(FitCp949("abcd", 4), "abc");
    EXPECT_EQ(FitCp949("abc", 0), "");
    // Hangul takes two bytes: "a" + one syllable needs 3 + NUL.
    const std::string two = "a" + kHangul + kHangul;
    EXPECT_EQ(FitCp949(two, 4), "a" + kHangul);
    EXPECT_EQ(FitCp949(two, 5), "a" + kHangul) << "half a character is never kept";
    EXPECT_EQ(FitCp949(two, 6), two);
    const std::string path(300, 'x');
    const std::string_view fitted = FitCp949(path, 260);
    EXPECT_EQ(fitted.size(), 259u);
    EXPECT_EQ(Cp949Length(fitted) + 1, 260u);
}

TEST(LittleEndian, ReadsLowByteFirst) {
    const char bytes[] = "\x01\x02\x03\x04\x05\x06\x07\x88";
    EXPECT_EQ(LoadLe16(bytes), 0x0201u);
    EXPECT_EQ(LoadLe32(bytes), 0x04030201u);
    EXPECT_EQ(LoadLe64(bytes), 0x8807060504030201ull);
}

}  // namespace
}  // namespace veldan::text
