#include "host/ini_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/lines.h"

namespace veldan::host {
namespace {

std::vector<IniItem> ReadAll(std::string_view text, bool& ok, IniError& error) {
    std::vector<IniItem> items;
    ok = ReadStrictIni(
        text, [&](const IniItem& item) { return items.push_back(item), true; }, error);
    return items;
}

TEST(IniTextWindowsRules, ReadsLikeThePrivateProfileFunctions) {
    const IniText ini(
        "loose=ignored\r\n[ Boot ]\r\n; comment\r\nshell = Explorer.exe \r\nflag\r\n"
        "[bad header\r\n[boot]\r\nshell=second\r\n");
    EXPECT_EQ(ini.Find("BOOT", "Shell"), "Explorer.exe");
    EXPECT_FALSE(ini.Find("boot", "flag")) << "a key without '=' is not found";
    EXPECT_FALSE(ini.Find("none", "loose"));
    // A '[' without ']' is a key of the section it stands in.
    const auto entries = ini.Section("boot");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].first, "[bad header");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Boot"}));
}

TEST(IniTextWindowsRules, EditsKeepOtherLinesAndTheirLineEnds) {
    IniText ini("[a]\nx=1\n\n[b]\r\ny=2");
    ini.Set("a", "x", "9");
    ini.Set("b", "z", "3");
    ini.Set("c", "k", "v");
    EXPECT_EQ(ini.Text(), "[a]\nx=9\n\n[b]\r\ny=2\nz=3\n\n[c]\nk=v\n");
    EXPECT_TRUE(ini.DeleteKey("B", "Y"));
    EXPECT_FALSE(ini.DeleteKey("b", "y"));
    EXPECT_TRUE(ini.DeleteSection("a"));
    EXPECT_EQ(ini.Text(), "[b]\r\nz=3\n\n[c]\nk=v\n");
}

TEST(IniStrictMode, HandsOverHeadersAndEntriesWithTheirLines) {
    bool ok = false;
    IniError error;
    const auto items =
        ReadAll("\xEF\xBB\xBF# note\n[machine]\r\n\n os = nt \n; c\nuser=\n", ok, error);
    ASSERT_TRUE(ok) << error.message;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].header);
    EXPECT_EQ(items[0].name, "machine");
    EXPECT_EQ(items[0].line, 2);
    EXPECT_EQ(items[1].name, "os");
    EXPECT_EQ(items[1].value, "nt");
    EXPECT_EQ(items[1].line, 4);
    EXPECT_EQ(items[2].line, 6);
    EXPECT_EQ(items[2].value, "");
}

TEST(IniStrictMode, RejectsMalformedLinesWithTheirNumber) {
    bool ok = true;
    IniError error;
    ReadAll("[machine]\nos=nt\n[process x\n", ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.message, "section header without ']'");

    ok = true;
    ReadAll("[machine]\r\n\r\njust a word\r\n", ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.message, "expected key=value");
}

TEST(IniStrictMode, StopsWhereTheCallerRefuses) {
    IniError error;
    int seen = 0;
    const bool ok = ReadStrictIni(
        "[a]\nk=1\nbroken\n",
        [&](const IniItem& item) {
            ++seen;
            if (!item.header) error = {item.line, "refused"};
            return item.header;
        },
        error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(error.message, "refused") << "the caller's error comes before a later syntax error";
}

TEST(NextLine, SplitsAtLfAndKeepsCrLfAsLineEnd) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    const std::string_view text = "a\r\n\nb\rc\nlast";
    for (text::TextLine line; text::NextLine(text, pos, line);) {
        parts.push_back(std::string(line.text) + "|" + std::string(line.end));
    }
    EXPECT_EQ(parts, (std::vector<std::string>{"a|\r\n", "|\n", "b\rc|\n", "last|"}));
    pos = 0;
    text::TextLine line;
    EXPECT_TRUE(text::NextLine("x\n", pos, line));
    EXPECT_FALSE(text::NextLine("x\n", pos, line)) << "no empty line after the last line end";
}

}  // namespace
}  // namespace veldan::host
