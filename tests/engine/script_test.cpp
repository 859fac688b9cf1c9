// The detection script format: class identifiers, normalisation, parameter
// splitting, the events of each line and the database file reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/scramble.h"
#include "engine/script.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::engine {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
const std::string kId = "{11111111-2222-3333-4444-555555555555}";

class ScriptTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::unique_ptr<test::BuiltMachine> machine = test::ImageBuilder(dir).Load();
    text::CaptureDebugSink sink;
    platform::Context ctx{*machine, sink};

    // The parameters of a raw line, or {"<fail>"}.
    Strings Parse(std::string_view raw) {
        std::string line, command;
        Strings params;
        NormalizeLine(raw, line);
        return ParseLine(ctx, line, command, params) ? params : Strings{"<fail>"};
    }
    std::vector<ScriptEvent> Events(std::string_view raw) {
        std::vector<ScriptEvent> events;
        ScriptLineEvents(ctx, raw, events);
        return events;
    }
};

TEST_F(ScriptTest, ClassIdentifiers) {
    EXPECT_TRUE(IsWellFormedClsid(kId));
    EXPECT_TRUE(IsWellFormedClsid("{abcdefgh-ijkl-mnop-qrst-uvwxyzABCDEF}"));  // any letters
    for (const char* bad :
         {"11111111-2222-3333-4444-555555555555", "{11111111-2222-3333-4444-555555555555} ",
          "{111111112-222-3333-4444-555555555555}", "{11111111-2222-3333-4444-5555555555 5}",
          "{11111111-2222-3333-4444-55555555555\xC3\xA9}", ""}) {
        EXPECT_FALSE(IsWellFormedClsid(bad)) << bad;
    }
    EXPECT_EQ(CheckClsid(ctx, kId), 1);
    EXPECT_EQ(CheckClsid(ctx, "{bad}"), 0);
    EXPECT_EQ(sink.Text(), "CLSID... {bad}\n");
}

TEST(Normalize, TrimsRewritesHivesTabsAndEndsInABlank) {
    std::string out;
    ASSERT_TRUE(
        NormalizeLine(" \tx HKEY_CLASSES_ROOT\\a HKEY_CURRENT_USER\\b\tHKEY_LOCAL_MACHINE\\c "
                      "HKEY_USERS\\d HKCR\\e HKCU\\f HKLM\\g HKU\\h hklm\\i\r",
                      out));
    EXPECT_EQ(out, "x HKCR a HKCU b HKLM c HKU d HKCR e HKCU f HKLM g HKU h hklm\\i ");
    // Prefixes back to back, inside words, cut short or in the wrong case.
    ASSERT_TRUE(NormalizeLine("HKHKLM\\a xHKU\\b HKEY_USERS\\HKU\\c HKEY_USERS HKLM HK hkcu\\d HKEY_Users\\e",
                              out));
    EXPECT_EQ(out, "HKHKLM a xHKU b HKU HKU c HKEY_USERS HKLM HK hkcu\\d HKEY_Users\\e ");
    EXPECT_FALSE(NormalizeLine(" \t \r", out));
    EXPECT_EQ(ClassifyLine("#NAME "), LineKind::EntryStart);
    EXPECT_EQ(ClassifyLine(";File x "), LineKind::Command);
    EXPECT_EQ(ClassifyLine("7zip x "), LineKind::Command);
    for (const char* s : {"#VERSION 1 ", "# c ", "^x ", "// c ", "\xED\x95\x9C "}) {
        EXPECT_EQ(ClassifyLine(s), LineKind::NonCommand) << s;
    }
}

TEST_F(ScriptTest, ParameterSplitting) {
    EXPECT_EQ(Parse("Key HKLM\\Software\\Foo"), (Strings{"HKLM", "Software\\Foo"}));
    EXPECT_EQ(Parse("File C:\\Program Files\\x.exe"), Strings{"C:\\Program Files\\x.exe"});
    EXPECT_EQ(Parse("File \"C:\\Program Files\\x.exe\""), Strings{"C:\\Program Files\\x.exe"});
    EXPECT_EQ(Parse("File \"a \"b\" c\""), Strings{"a \"b\" c"});
    EXPECT_EQ(Parse("File\tx.exe"), Strings{"x.exe"});
    EXPECT_EQ(Parse("Value HKLM \"Software\\My Soft\" \"Run Me\""),
              (Strings{"HKLM", "Software\\My Soft", "Run Me"}));
    EXPECT_EQ(Parse("Value HKLM Software\\X \"Run Me"),
              (Strings{"HKLM", "Software\\X"}));  // unterminated
    EXPECT_EQ(Parse("Key HKLM A B"),
              (Strings{"HKLM", "A", "B"}));  // counts are ExecFunc's business
    ctx.folders().WINDIR = "C:\\WINDOWS";
    EXPECT_EQ(Parse("FilesFrom *.dll %WINDIR%\\x"), (Strings{"*.dll", "C:\\WINDOWS\\x"}));
    EXPECT_EQ(Parse("CheckBHO"), Strings{});
    EXPECT_EQ(Parse("CheckBHO ignored words"), Strings{});
    EXPECT_EQ(sink.Text(), "");
}

TEST_F(ScriptTest, RejectedLinesAndTheirDebugLines) {
    struct Case {
        std::string line, debug;
    } cases[] = {
        {"file x.exe ", "GetParamCount... file\n"},
        {"CheckBHO", "ParseLine... no ws... CheckBHO\n"},
        {"File  ", "ParseLine... # of param... File  \n"},
        {"File \"\" ", "ParseLine... # of param... File \"\" \n"},
        {"Key HKLM \"\" ", "ParseLine... # of param... Key HKLM \"\" \n"},
        {"File %TEMPDIR% ", "ParseLine... # of param... File %TEMPDIR% \n"},  // expands to nothing
        {"File REGSTR(HKLM Software\\Missing Path)\\x.exe ", ""},
        {"FilesFrom *.dll \"REGSTR(HKLM Software\\Missing Path)\" ", ""},
        // Unquoted, a macro in a line of several parameters is cut at its blanks.
        {"FilesFrom *.dll REGSTR(HKLM Software\\X Path) ",
         "ExpandRegStr... ) mismatch...REGSTR(HKLM\n"},
    };
    for (const Case& c : cases) {
        sink.Clear();
        std::string command = "stale";
        Strings params = {"stale"};
        EXPECT_EQ(ParseLine(ctx, c.line, command, params), 0) << c.line;
        EXPECT_TRUE(command.empty() && params.empty()) << c.line;
        EXPECT_EQ(sink.Text(), c.debug);
    }
}

TEST_F(ScriptTest, TypeLinesOpenTheirFamilyEntryFirst) {
    for (auto [line, name] : {std::pair{"DType abc.dll " + kId + " u", "NUNE.abc"},
                              std::pair{"WType w.b.ocx " + kId + " u f", "Elink.w"},
                              std::pair{";MType m " + kId + " u m.exe", "INBEE.m"}}) {
        auto ev = Events(line);
        ASSERT_EQ(ev.size(), 2u) << line;
        EXPECT_EQ(ev[0].kind, ScriptEvent::EntryStart);
        EXPECT_EQ(ev[0].name, name);
        EXPECT_EQ(ev[0].text, "#NAME "s + name);
        EXPECT_TRUE(ev[0].typeLine);
        EXPECT_EQ(ev[1].kind, ScriptEvent::Command);
        EXPECT_EQ(ev[1].params.at(1), kId);
        bool cure = line[0] == ';';
        EXPECT_EQ(ev[1].cureOnly, cure);
        EXPECT_EQ(ev[1].text, line.substr(cure ? 1 : 0) + " ");
    }
    auto ev = Events("SType s.dll " + kId);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::Command);

    ev = Events("DType .dll " + kId + " u");  // no base name
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::EmptyName);
    EXPECT_EQ(ev[0].text, "DType .dll " + kId + " u ");
    EXPECT_TRUE(ev[0].typeLine);

    ev = Events("DTypeX abc.dll");  // the prefix opens the entry even when the word is unknown
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].name, "NUNE.abc");
}

TEST_F(ScriptTest, NamesCureOnlyLinesAndDirectives) {
    auto ev = Events("#NAME   Some Adware  ");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::EntryStart);
    EXPECT_EQ(ev[0].name, "Some Adware");
    EXPECT_EQ(ev[0].text, "#NAME   Some Adware ");
    ev = Events("#NAME");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::EmptyName);
    EXPECT_FALSE(ev[0].typeLine);

    ev = Events(";  File C:\\x.exe");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_TRUE(ev[0].cureOnly);
    EXPECT_EQ(ev[0].text, "File C:\\x.exe ");
    ev = Events(";#NAME Hidden");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].name, "Hidden");

    ev = Events("#VERSION 2005.03.01");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::Version);
    EXPECT_EQ(ev[0].text, "2005.03.01 ");
    ev = Events("^  " + kId + "  ");
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].kind, ScriptEvent::Exclusion);
    EXPECT_EQ(ev[0].text, kId);

    for (const char* line :
         {";", ";  \t", "# c", "// c", "!x", "\xED\x95\x9C x", "file x", "Key HKLM \"\""}) {
        EXPECT_TRUE(Events(line).empty()) << line;
    }
}

class ScriptReaderTest : public ScriptTest {
  protected:
    std::string plain = (dir.path() / "core/addb.txt").string();
    std::string scrambled = (dir.path() / "data/addb").string();

    std::vector<ScriptEvent> ReadAll() {
        ScriptReader reader(ctx);
        std::vector<ScriptEvent> events;
        ScriptEvent e;
        if (reader.Open(plain, scrambled)) {
            while (reader.Next(e)) events.push_back(e);
        }
        return events;
    }
    void WriteScrambled(const Strings& cp949Lines) {
        std::string out, line;
        for (const auto& l : cp949Lines) out += (Scramble(l, line), line) + "\r\n";
        dir.Write("data/addb", out);
    }
};

TEST_F(ScriptReaderTest, PlainFirstElseScrambledDecodedPerLine) {
    EXPECT_TRUE(ReadAll().empty());
    WriteScrambled({"#NAME \xC7\xD1\xB1\xDB", "\tKey HKLM\\Software\\X", "File b.exe\0junk"s});
    auto ev = ReadAll();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].name, "\xED\x95\x9C\xEA\xB8\x80");  // CP949 inside, UTF-8 out
    EXPECT_EQ(ev[1].params, (Strings{"HKLM", "Software\\X"}));
    EXPECT_EQ(ev[2].params, Strings{"b.exe"});  // a NUL byte ends the line

    dir.Write("core/addb.txt", "#NAME \xC7\xD1\r\nFile a.exe\0Key HKLM X\nCheckBHO"s);
    ev = ReadAll();
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0].name, "\xED\x95\x9C");
    EXPECT_EQ(ev[1].params, Strings{"a.exe"});
    EXPECT_EQ(ev[2].command, "CheckBHO");
}

// The reader makes each line's events in slots it reuses and swaps them out:
// what it gives must be what ScriptLineEvents gives, field by field, whatever
// the events before left in the slots and in the caller's event.
TEST_F(ScriptReaderTest, ReusedEventsMatchTheEventsOfEachLine) {
    const Strings lines = {"Value HKCU\\Software\\Run \"a b\"",
                           "#VERSION",
                           "DType abc.dll " + kId + " u",
                           "Key HKLM \"\"",
                           "File C:\\some\\long\\path\\x.exe",
                           "#NAME Next One",
                           ";  Key HKLM\\Y",
                           "^ " + kId,
                           "ValueByData HKLM Software\\Run x.exe",
                           "#NAME",
                           "CheckBHO",
                           "File y.exe",
                           "// comment",
                           "WType w.b.ocx " + kId + " u f"};
    std::string db;
    std::vector<ScriptEvent> expected;
    for (const auto& line : lines) {
        db += line + "\r\n";
        ScriptLineEvents(ctx, line, expected);
    }
    dir.Write("core/addb.txt", db);
    const auto got = ReadAll();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].kind, expected[i].kind) << i;
        EXPECT_EQ(got[i].text, expected[i].text) << i;
        EXPECT_EQ(got[i].name, expected[i].name) << i;
        EXPECT_EQ(got[i].cureOnly, expected[i].cureOnly) << i;
        EXPECT_EQ(got[i].typeLine, expected[i].typeLine) << i;
        EXPECT_EQ(got[i].command, expected[i].command) << i;
        EXPECT_EQ(got[i].params, expected[i].params) << i;
    }
    // Events without parameters follow one with parameters.
    EXPECT_EQ(expected[0].params.size(), 3u);
    EXPECT_EQ(expected[1].kind, ScriptEvent::Version);
    EXPECT_EQ(expected[2].kind, ScriptEvent::EntryStart);
    EXPECT_TRUE(got[1].params.empty());
    EXPECT_TRUE(got[2].params.empty());
}

}  // namespace
}  // namespace veldan::engine
