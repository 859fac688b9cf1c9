#include <gtest/gtest.h>

#include <thread>

#include "support/temp_dir.h"
#include "text/codepage.h"
#include "text/debug.h"
#include "text/strings.h"

namespace veldan::text {
namespace {

// "악성" (malicious) in both encodings.
constexpr std::string_view kHangulUtf8 = "\xEC\x95\x85\xEC\x84\xB1";
constexpr std::string_view kHangulCp949 = "\xBE\xC7\xBC\xBA";

TEST(Codepage, Cp949AndUtf8RoundTrip) {
    EXPECT_EQ(Cp949ToUtf8(kHangulCp949), kHangulUtf8);
    EXPECT_EQ(Utf8ToCp949(kHangulUtf8), kHangulCp949);
    EXPECT_EQ(Cp949ToUtf8("plain ascii"), "plain ascii");
    std::string mixed = "C:\\" + std::string(kHangulUtf8) + "\\a.exe";
    EXPECT_EQ(Cp949ToUtf8(Utf8ToCp949(mixed)), mixed);
}

TEST(Codepage, BadBytesDoNotStopConversion) {
    // A lone lead byte in the middle: replaced, the rest still converted.
    std::string bad =
        "a\xBE"
        "b" +
        std::string(kHangulCp949);
    std::string out = Cp949ToUtf8(bad);
    EXPECT_EQ(out.front(), 'a');
    EXPECT_NE(out.find(kHangulUtf8), std::string::npos);
    EXPECT_TRUE(IsValidUtf8(out));
    // Characters CP949 lacks become '?'.
    EXPECT_EQ(Utf8ToCp949("\xF0\x9F\x98\x80x"), "?x");
}

TEST(Codepage, Cp949LengthCountsWindowsBytes) {
    EXPECT_EQ(Cp949Length("abc"), 3u);
    EXPECT_EQ(Cp949Length(kHangulUtf8), 4u);
}

TEST(Codepage, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8(kHangulUtf8));
    EXPECT_FALSE(IsValidUtf8(kHangulCp949));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("\xEC\x95"));      // truncated
}

// The check passes ASCII a word at a time: a bad or good sequence must be seen
// wherever it falls against those words, and at the very end.
TEST(Codepage, Utf8ValidationSeesSequencesAtEveryOffsetOfAsciiRuns) {
    for (std::size_t lead = 0; lead <= 17; ++lead) {
        for (std::size_t tail = 0; tail <= 9; ++tail) {
            const std::string before(lead, 'a'), after(tail, 'b');
            SCOPED_TRACE(testing::Message() << lead << " before, " << tail << " after");
            EXPECT_TRUE(IsValidUtf8(before + std::string(kHangulUtf8) + after));
            EXPECT_FALSE(IsValidUtf8(before + std::string(kHangulCp949) + after));
            EXPECT_FALSE(IsValidUtf8(before + "\xC0\xAF" + after));
            EXPECT_FALSE(IsValidUtf8(before + "\xEC\x95"));
            EXPECT_FALSE(IsValidUtf8(before + "\x80" + after));
            EXPECT_TRUE(IsValidUtf8(before + after));
        }
    }
}

TEST(Codepage, DecodeTextPicksTheEncoding) {
    EXPECT_EQ(DecodeText("\xEF\xBB\xBFhi"), "hi");
    EXPECT_EQ(DecodeText(std::string("\xFF\xFEh\0i\0", 6)), "hi");
    EXPECT_EQ(DecodeText(kHangulCp949), kHangulUtf8);
    EXPECT_EQ(DecodeText(kHangulUtf8), kHangulUtf8);
    EXPECT_EQ(Utf16LeToUtf8(Utf8ToUtf16Le(kHangulUtf8)), kHangulUtf8);
    // A surrogate pair survives the round trip.
    EXPECT_EQ(Utf16LeToUtf8(Utf8ToUtf16Le("\xF0\x9F\x98\x80")), "\xF0\x9F\x98\x80");
}

TEST(Strings, CaseFoldingTouchesAsciiOnly) {
    EXPECT_EQ(LowerAscii("HKLM\\Software"), "hklm\\software");
    EXPECT_EQ(LowerAscii(kHangulUtf8), kHangulUtf8);
    // CP949 trail bytes in the ASCII letter range stay as they are: 0xB0 0x41 is one character.
    EXPECT_EQ(LowerCp949("\xB0\x41"
                         "A"),
              "\xB0\x41"
              "a");
    EXPECT_TRUE(EqualsNoCase("C:\\WINDOWS", "c:\\windows"));
    EXPECT_FALSE(EqualsNoCase("abc", "abd"));
    // Upper-cased ordinal order: "A" (0x41) before "_" (0x5F), unlike lower-cased order.
    EXPECT_GT(CompareUpper("_x", "a"), 0);
    EXPECT_LT(CompareUpper("B", "_"), 0);
}

TEST(Strings, UpperCaseEightBytesAtATimeMatchesByteByByte) {
    // Every byte value at every offset of a word and in the tail, in place and copied.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    for (std::size_t shift = 0; shift < 8; ++shift) {
        const std::string text = std::string(shift, 'q') + all + std::string(shift, 'z');
        std::string expected = text;
        for (char& c : expected) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        }
        EXPECT_EQ(UpperAscii(text), expected) << shift;
        std::string inPlace = text;
        UpperAsciiTo(inPlace, inPlace.data());
        EXPECT_EQ(inPlace, expected) << shift;
    }
    EXPECT_EQ(UpperAscii(std::string(kHangulUtf8) + "abcdefgh`{@["),
              std::string(kHangulUtf8) + "ABCDEFGH`{@[");
}

TEST(Strings, FindNoCaseRespectsCharacterBoundaries) {
    EXPECT_EQ(FindNoCase("C:\\Program Files\\Bad.EXE", "bad.exe"), 17u);
    EXPECT_EQ(FindNoCase("abc", ""), 0u);
    EXPECT_EQ(FindNoCase("abc", "abcd"), std::string_view::npos);
    EXPECT_TRUE(ContainsNoCase(std::string("x") + std::string(kHangulUtf8), kHangulUtf8));
    // The needle's first byte equals a continuation byte inside a character: no match there.
    EXPECT_EQ(FindNoCase("\xEC\x95\x85", "\x95\x85"), std::string_view::npos);
    EXPECT_TRUE(StartsWithNoCase("HKEY_LOCAL_MACHINE\\x", "hkey_local_machine"));
    EXPECT_TRUE(EndsWithNoCase("a.EXE", ".exe"));
}

TEST(Strings, TrimSplitFormat) {
    EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x \n"), "  x");
    EXPECT_EQ(Trim(" \t "), "");
    auto parts = Split("a||b|", '|');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(parts[3], "");
    EXPECT_EQ(Format("HKEY2STR... %d\n", static_cast<int>(0x80000005u)),
              "HKEY2STR... -2147483643\n");
    std::string longText(2000, 'x');
    EXPECT_EQ(Format("%s!", longText.c_str()).size(), 2001u);
}

TEST(Debug, CaptureSinkKeepsExactText) {
    CaptureDebugSink sink;
    sink.Write("ParseLine... # of param... ");
    sink.Write("File\n");
    sink.Write("unterminated");
    EXPECT_EQ(sink.Text(), "ParseLine... # of param... File\nunterminated");
    auto lines = sink.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ParseLine... # of param... File");
    EXPECT_TRUE(sink.Contains("# of param"));
    sink.Clear();
    EXPECT_EQ(sink.Text(), "");
}

TEST(Debug, CaptureSinkTakesWritesFromThreads) {
    CaptureDebugSink sink;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) sink.Write("x\n");
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(sink.Lines().size(), 2000u);
}

TEST(Debug, DefaultSinkFollowsEnvironment) {
    ::unsetenv("VELDAN_DEBUG");
    EXPECT_NE(dynamic_cast<NullDebugSink*>(MakeDefaultDebugSink().get()), nullptr);
    ::setenv("VELDAN_DEBUG", "1", 1);
    EXPECT_NE(dynamic_cast<StderrDebugSink*>(MakeDefaultDebugSink().get()), nullptr);
    ::setenv("VELDAN_DEBUG", "0", 1);
    EXPECT_NE(dynamic_cast<NullDebugSink*>(MakeDefaultDebugSink().get()), nullptr);
    ::unsetenv("VELDAN_DEBUG");
}

}  // namespace
}  // namespace veldan::text
