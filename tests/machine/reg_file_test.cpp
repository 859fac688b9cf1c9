// .reg reading and writing, and what the image registry adds to the Registry
// contract (protection list, root names, the value index).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "machine/memory_registry.h"
#include "machine/reg_file.h"
#include "text/codepage.h"

namespace veldan::machine::image {
namespace {

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";

// Every key, value name, type and data byte in tree order; independent of the
// .reg writer, so that round trips compare for real.
void DumpKey(const MemoryRegistry::Key& key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& v : key.values) {
        out += "  \"" + v.name + "\" " + std::to_string(v.value.type) + ":";
        for (unsigned char c : v.value.data) {
            char buf[4];
            std::snprintf(buf, sizeof buf, " %02x", c);
            out += buf;
        }
        out += "\n";
    }
    for (const auto& [upper, child] : key.children) {
        DumpKey(*child, path + "\\" + child->name, out);
    }
}

std::string Dump(const MemoryRegistry& r) {
    std::string out;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        DumpKey(*r.RootNode(root), std::string(RootShortName(root)), out);
    }
    return out;
}

void Apply(MemoryRegistry& r, std::string_view text) {
    RegFileError error;
    ASSERT_TRUE(ApplyRegFile(text, "test.reg", r, error)) << error.ToString();
}

RegValue Query(const MemoryRegistry& r, HKEY root, std::string_view path, std::string_view name) {
    RegValue v;
    EXPECT_EQ(r.QueryValue(root, path, name, v), ERROR_SUCCESS) << path << " / " << name;
    return v;
}

std::string Utf16File(std::string_view utf8) {
    return "\xFF\xFE" + text::Utf8ToUtf16Le(utf8);
}

std::string Repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// ---- Reading ----

TEST(ReadRegFile, ReadsBothHeadersEveryEncodingAndRootNames) {
    MemoryRegistry r;
    Apply(r,
          "\n\nREGEDIT4\n; comment\n[HKEY_LOCAL_MACHINE\\Software\\Four]\n  ; indented\n"
          "\"a\" = \"1\"  \n");
    Apply(r, Utf16File(kV5 + "[HKCU\\Software\\한글]\r\n\"이름\"=\"값 \\\\ \\\"\"\r\n"));
    Apply(r, "\xEF\xBB\xBF" + kV5 +
                 "[hkey_classes_root\\.txt]\r\n@=\"txtfile\"\r\n[HKU\\\\A\\\\B\\]\r\n"
                 "[HKLM\\K\\with]bracket]\r\n");
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Software\\Four", "a"), RegValue::String("1"));
    EXPECT_EQ(Query(r, HKEY_CURRENT_USER, "Software\\한글", "이름"), RegValue::String("값 \\ \""));
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt", ""),
              RegValue::String("txtfile"));
    EXPECT_EQ(r.OpenKey(HKEY_USERS, "A\\B"), ERROR_SUCCESS);
    std::string name;
    ASSERT_EQ(r.EnumKey(HKEY_LOCAL_MACHINE, "K", 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "with]bracket");
}

TEST(ReadRegFile, Regedit4FilesAreCp949AndSoIsTheirStringHexData) {
    // "한글" in CP949 is C7 D1 B1 DB; the file is not valid UTF-8.
    MemoryRegistry r;
    Apply(r,
          "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\\xC7\xD1\xB1\xDB]\r\n\"\xC7\xD1\"=\"\xB1\xDB\"\r\n"
          "\"Exp\"=hex(2):c7,d1,b1,db,00\r\n\"Multi\"=hex(7):61,00,c7,d1,00,00\r\n"
          "\"Raw\"=hex:c7,d1\r\n");
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "한글", "한"), RegValue::String("글"));
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "한글", "Exp"), RegValue::String("한글", REG_EXPAND_SZ));
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "한글", "Multi"), RegValue::MultiString({"a", "한"}));
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "한글", "Raw"), (RegValue{REG_BINARY, "\xC7\xD1"}));
}

TEST(ReadRegFile, ReadsEveryDataForm) {
    MemoryRegistry r;
    Apply(r, kV5 +
                 "[HKLM\\K]\r\n\"d1\"=dword:1\r\n\"d8\"=DWORD:FFFFFFFE\r\n"
                 "\"bin\"=hex:00,0A,ff\r\n\"none\"=hex(0):\r\n\"raw4\"=hex(4):01,02\r\n"
                 "\"odd\"=hex(12345678):7f\r\n\"s\"=\"C:\\Windows\\\\x\"\r\n\"e\"=\"\"\r\n"
                 "\"sz\"=hex(1):5c,d5,00,00\r\n\"noNul\"=hex(1):41,00\r\n"
                 "\"multi\"=hex(7):61,00,00,00,00,ae,00,00,00,00\r\n"
                 "\"long\"=hex(2):25,00,\\\r\n  5c,d5,\\\n\t 25,00,00,00\r\n"
                 "\"blankNext\"=hex:0a,\\\r\n\r\n\"comma\"=hex:0b,0c,\r\n\"eof\"=hex:ff,\\");
    auto q = [&](std::string_view name) { return Query(r, HKEY_LOCAL_MACHINE, "K", name); };
    EXPECT_EQ(q("d1"), RegValue::Dword(1));
    EXPECT_EQ(q("d8"), RegValue::Dword(0xFFFFFFFEu));
    EXPECT_EQ(q("bin"), (RegValue{REG_BINARY, {"\x00\x0A\xFF", 3}}));
    EXPECT_EQ(q("none"), (RegValue{REG_NONE, ""}));
    EXPECT_EQ(q("raw4"), (RegValue{REG_DWORD, "\x01\x02"}));
    EXPECT_EQ(q("odd"), (RegValue{0x12345678u, "\x7f"}));
    // An unknown escape keeps its backslash, as hand-written paths expect.
    EXPECT_EQ(q("s"), RegValue::String("C:\\Windows\\x"));
    EXPECT_EQ(q("e"), RegValue::String(""));
    // String-typed hex data of 5.00 files is UTF-16LE.
    EXPECT_EQ(q("sz"), RegValue::String("한"));
    EXPECT_EQ(q("noNul"), (RegValue{REG_SZ, "A"}));
    EXPECT_EQ(q("multi"), RegValue::MultiString({"a", "글"}));
    EXPECT_EQ(q("long"), RegValue::String("%한%", REG_EXPAND_SZ));
    EXPECT_EQ(q("blankNext").data, "\x0a");
    EXPECT_EQ(q("comma").data, "\x0b\x0c");
    EXPECT_EQ(q("eof").data, "\xff");
}

TEST(ReadRegFile, DeletionForms) {
    MemoryRegistry r;
    Apply(r, kV5 +
                 "[HKLM\\Gone\\Deep]\r\n[HKLM\\Keep]\r\n\"v\"=\"1\"\r\n\"w\"=\"2\"\r\n@=\"d\"\r\n"
                 "[HKLM\\Spy\\Locked]\r\n");
    ASSERT_EQ(r.Protect(HKEY_LOCAL_MACHINE, "Spy\\Locked"), ERROR_SUCCESS);
    Apply(r, kV5 +
                 "[-HKEY_LOCAL_MACHINE\\Gone]\r\n[-HKEY_LOCAL_MACHINE\\NeverWas]\r\n"
                 "[HKEY_LOCAL_MACHINE\\Keep]\r\n\"V\"=-\r\n@=-\r\n\"missing\"=-\r\n"
                 "[-HKLM\\Spy]\r\n\"ignored\"=\"x\"\r\n");
    EXPECT_EQ(r.OpenKey(HKEY_LOCAL_MACHINE, "Gone"), ERROR_FILE_NOT_FOUND);
    RegKeyInfo info;
    ASSERT_EQ(r.QueryInfoKey(HKEY_LOCAL_MACHINE, "Keep", info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 1u);
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Keep", "w"), RegValue::String("2"));
    // A tree that may not be deleted stays, as with regedit, and values under
    // a deletion section are never written.
    ASSERT_EQ(r.QueryInfoKey(HKEY_LOCAL_MACHINE, "Spy", info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 0u);
}

TEST(ReadRegFile, ReportsTheFirstMalformedLineAndChangesNothing) {
    const std::string h = kV5;                  // lines 1-2
    const std::string k = h + "[HKLM\\K]\r\n";  // line 3
    const struct {
        const char* what;
        std::string text;
        int line;
    } bad[] = {
        {"unknown header", "Windows Registry Editor Version 4.00\r\n", 1},
        {"header not first", "\r\n[HKLM\\K]\r\nREGEDIT4\r\n", 1},
        {"empty file", "", 1},
        {"value before a key", h + "\"a\"=\"b\"\r\n", 3},
        {"unknown root", h + "[HKEY_CURRENT_CONFIG\\X]\r\n", 3},
        {"unknown root to delete", k + "[-HKEY_NOWHERE\\X]\r\n", 4},
        {"missing ]", h + "[HKLM\\K\r\n", 3},
        {"text after ]", h + "[HKLM\\K] x\r\n", 3},
        {"unterminated name", k + "\"abc=1\r\n", 4},
        {"missing =", k + "\"abc\" \"1\"\r\n", 4},
        {"unterminated string", k + "\"a\"=\"abc\\\"\r\n", 4},
        {"text after string", k + "\"a\"=\"x\" y\r\n", 4},
        {"dword too long", k + "\"a\"=dword:123456789\r\n", 4},
        {"dword not hex", k + "\"a\"=dword:12g4\r\n", 4},
        {"dword empty", k + "\"a\"=dword:\r\n", 4},
        {"bad hex byte", k + "\"a\"=hex:00,0g\r\n", 4},
        {"hex byte too long", k + "\"a\"=hex:100\r\n", 4},
        {"empty hex byte", k + "\"a\"=hex:00,,01\r\n", 4},
        {"bad byte on continuation", k + "\"a\"=hex:00,\\\r\n  01,\\\r\n  zz\r\n", 6},
        {"bad hex type", k + "\"a\"=hex(zz):00\r\n", 4},
        {"unclosed hex type", k + "\"a\"=hex(2:00\r\n", 4},
        {"unknown data", k + "\"a\"=str:\"x\"\r\n", 4},
        {"text after -", k + "\"a\"=- x\r\n", 4},
        {"stray line", k + "\r\n\"a\"=\"1\"\r\ngarbage\r\n", 6},
        {"late error", h + "[-HKLM\\K]\r\n[HKLM\\New]\r\n\"a\"=dword:1\r\n\"b\"=dword:x\r\n", 6},
        {"root deleted", k + "[-HKEY_LOCAL_MACHINE]\r\n", 4},
        {"short root deleted", k + "[-HKCU\\]\r\n", 4},
        {"too deep", k + "[HKLM" + Repeat("\\k", 513) + "]\r\n", 4},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        MemoryRegistry r;
        Apply(r, kV5 + "[HKLM\\K]\r\n\"keep\"=\"1\"\r\n[HKCU\\Other]\r\n");
        const std::string before = Dump(r);
        RegFileError error;
        EXPECT_FALSE(ApplyRegFile(b.text, "bad.reg", r, error));
        EXPECT_EQ(error.line, b.line);
        EXPECT_EQ(error.ToString(), "bad.reg:" + std::to_string(b.line) + ": " + error.message);
        EXPECT_FALSE(error.message.empty());
        EXPECT_EQ(Dump(r), before);
    }
    EXPECT_EQ((RegFileError{"y.reg", 0, "unreadable"}).ToString(), "y.reg: unreadable");
}

TEST(ReadRegFile, LargeFilesReadInFull) {
    // 60,000 values in one key and 20,000 keys.
    std::string text = kV5 + "[HKLM\\Big]\r\n";
    for (int i = 0; i < 60000; ++i) text += "\"value" + std::to_string(i) + "\"=dword:1\r\n";
    text += "\"VALUE7\"=dword:7\r\n";  // replaces value7 where it stands
    for (int i = 0; i < 20000; ++i) {
        text +=
            "[HKLM\\Many\\k" + std::to_string(i) + "]\r\n\"v\"=\"" + std::to_string(i) + "\"\r\n";
    }
    MemoryRegistry r;
    Apply(r, text);
    RegKeyInfo info;
    ASSERT_EQ(r.QueryInfoKey(HKEY_LOCAL_MACHINE, "Big", info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 60000u);
    std::string name;
    RegValue v;
    ASSERT_EQ(r.EnumValue(HKEY_LOCAL_MACHINE, "Big", 7, name, &v), ERROR_SUCCESS);
    EXPECT_EQ(name + "=" + std::to_string(v.AsDword()), "value7=7");
    ASSERT_EQ(r.QueryInfoKey(HKEY_LOCAL_MACHINE, "Many", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 20000u);
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Many\\k19999", "v"), RegValue::String("19999"));
}

// ---- Writing ----

TEST(WriteRegText, ExactText) {
    MemoryRegistry r;
    ASSERT_EQ(r.CreateKey(HKEY_CURRENT_USER, "Software\\B"), ERROR_SUCCESS);
    ASSERT_EQ(r.CreateKey(HKEY_CURRENT_USER, "Software\\a"), ERROR_SUCCESS);
    auto set = [&](HKEY root, std::string_view path, std::string_view name, RegValue v) {
        ASSERT_EQ(r.SetValue(root, path, name, v), ERROR_SUCCESS) << name;
    };
    set(HKEY_CURRENT_USER, "Software\\B", "", RegValue::String("def"));
    set(HKEY_CURRENT_USER, "Software\\B", "q\"\\", RegValue::String("a\"b\\c"));
    set(HKEY_CURRENT_USER, "Software\\B", "n", RegValue::Dword(0x1234abcd));
    set(HKEY_CURRENT_USER, "Software\\B", "@", RegValue::String(""));
    set(HKEY_CURRENT_USER, "Software\\B", "noNul", RegValue{REG_SZ, "A"});
    set(HKEY_CURRENT_USER, "Software\\B", "twoNuls", RegValue{REG_SZ, {"A\0\0", 3}});
    set(HKEY_CURRENT_USER, "Software\\B", "lines", RegValue::String("\r\n"));
    set(HKEY_CURRENT_USER, "Software\\B", "short", RegValue{REG_DWORD, "\x01\x02\x03"});
    set(HKEY_CURRENT_USER, "Software\\B", "multi", RegValue::MultiString({"한"}));
    set(HKEY_CURRENT_USER, "Software\\B", "none", RegValue{REG_NONE, ""});
    set(HKEY_LOCAL_MACHINE, "", "RootVal", RegValue{REG_BINARY, "\x01\x02"});
    ASSERT_EQ(r.CreateKey(HKEY_CLASSES_ROOT, ".x"), ERROR_SUCCESS);
    set(HKEY_CLASSES_ROOT, ".x", "", RegValue::String("x", REG_EXPAND_SZ));

    EXPECT_EQ(WriteRegText(r, {}), kV5 +
                                       "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\a]\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\B]\r\n"
                                       "@=\"def\"\r\n"
                                       "\"q\\\"\\\\\"=\"a\\\"b\\\\c\"\r\n"
                                       "\"n\"=dword:1234abcd\r\n"
                                       "\"@\"=\"\"\r\n"
                                       "\"noNul\"=hex(1):41,00\r\n"
                                       "\"twoNuls\"=hex(1):41,00,00,00,00,00\r\n"
                                       "\"lines\"=hex(1):0d,00,0a,00,00,00\r\n"
                                       "\"short\"=hex(4):01,02,03\r\n"
                                       "\"multi\"=hex(7):5c,d5,00,00,00,00\r\n"
                                       "\"none\"=hex(0):\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE]\r\n"
                                       "\"RootVal\"=hex:01,02\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\Classes]\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.x]\r\n"
                                       "@=hex(2):78,00,00,00\r\n\r\n");
    EXPECT_EQ(WriteRegText(MemoryRegistry(), {}), kV5);
}

TEST(WriteRegText, WrapsLongHexListsLikeRegedit) {
    MemoryRegistry r;
    ASSERT_EQ(r.CreateKey(HKEY_USERS, "K"), ERROR_SUCCESS);
    std::string bytes, hex[3];
    for (int b = 0; b < 60; ++b) {
        bytes.push_back(static_cast<char>(b));
        // 23 bytes after the 10-column prefix, then 25 per continuation line.
        std::string& line = hex[b < 23 ? 0 : b < 48 ? 1 : 2];
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", b);
        line += (line.empty() ? "" : ",") + std::string(buf);
    }
    ASSERT_EQ(r.SetValue(HKEY_USERS, "K", "Bin", RegValue{REG_BINARY, bytes}), ERROR_SUCCESS);
    std::string text;
    ASSERT_TRUE(WriteRegKeyText(r, HKEY_USERS, "K", {}, text));
    EXPECT_EQ(text, kV5 + "[HKEY_USERS\\K]\r\n\"Bin\"=hex:" + hex[0] + ",\\\r\n  " + hex[1] +
                        ",\\\r\n  " + hex[2] + "\r\n\r\n");
}

TEST(WriteRegText, KeyTextSortsValuesOnRequestAndNamesKeysAsStored) {
    MemoryRegistry r;
    ASSERT_EQ(r.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{Ab}\\z"), ERROR_SUCCESS);
    ASSERT_EQ(r.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{Ab}\\A"), ERROR_SUCCESS);
    for (std::string_view name : {"b", "_u", "A", "", "C"}) {
        ASSERT_EQ(r.SetValue(HKEY_CLASSES_ROOT, "CLSID\\{AB}", name, RegValue::Dword(1)),
                  ERROR_SUCCESS);
    }
    std::string text = "untouched";
    ASSERT_TRUE(
        WriteRegKeyText(r, HKEY_CLASSES_ROOT, "\\clsid\\{aB}\\", {.sortValues = true}, text));
    const std::string one = "=dword:00000001\r\n";
    EXPECT_EQ(text, kV5 + "[HKEY_CLASSES_ROOT\\CLSID\\{Ab}]\r\n@" + one + "\"A\"" + one + "\"b\"" +
                        one + "\"C\"" + one + "\"_u\"" + one +
                        "\r\n[HKEY_CLASSES_ROOT\\CLSID\\{Ab}\\A]\r\n\r\n"
                        "[HKEY_CLASSES_ROOT\\CLSID\\{Ab}\\z]\r\n\r\n");
    // A root without values has no block of its own.
    ASSERT_TRUE(WriteRegKeyText(r, HKEY_LOCAL_MACHINE, "", {}, text));
    EXPECT_TRUE(text.starts_with(kV5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n")) << text;

    text = "untouched";
    EXPECT_FALSE(WriteRegKeyText(r, HKEY_LOCAL_MACHINE, "Software\\Missing", {}, text));
    EXPECT_FALSE(WriteRegKeyText(r, HKEY_CURRENT_CONFIG, "", {}, text));
    EXPECT_FALSE(WriteRegKeyText(MemoryRegistry(), HKEY_CLASSES_ROOT, "", {}, text));
    EXPECT_EQ(text, "untouched");
}

TEST(WriteRegText, TheLinkToTheSelectedSetIsWrittenOnceUnderTheSetsName) {
    MemoryRegistry r;
    Apply(r, kV5 +
                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000002\r\n"
                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001]\r\n"
                 "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\A]\r\n");
    ASSERT_EQ(r.LinkCurrentControlSet(), "ControlSet002");
    const std::string set = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002";
    std::string text;
    ASSERT_TRUE(WriteRegKeyText(r, HKEY_LOCAL_MACHINE, "system", {}, text));
    EXPECT_EQ(text,
              kV5 +
                  "[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001]\r\n\r\n" +
                  set + "]\r\n\r\n" + set + "\\Services]\r\n\r\n" + set +
                  "\\Services\\A]\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000002\r\n\r\n");
    EXPECT_EQ(WriteRegText(r, {}).find("CurrentControlSet"), std::string::npos);
    // Asked for by its own name, the link is written under it.
    ASSERT_TRUE(
        WriteRegKeyText(r, HKEY_LOCAL_MACHINE, "SYSTEM\\currentcontrolset\\services", {}, text));
    EXPECT_EQ(text, kV5 +
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services]\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\A]\r\n\r\n");

    // Without the set that Select names, CurrentControlSet is a key of its own.
    MemoryRegistry own;
    Apply(own, kV5 +
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000003\r\n"
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\B]\r\n");
    ASSERT_EQ(own.LinkCurrentControlSet(), "");
    EXPECT_NE(WriteRegText(own, {}).find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\B]\r\n"),
              std::string::npos);
}

TEST(WriteRegText, RoundTripRebuildsAnIdenticalRegistry) {
    MemoryRegistry original;
    auto set = [&](HKEY root, std::string_view path, std::string_view name, RegValue v) {
        ASSERT_EQ(original.CreateKey(root, path), ERROR_SUCCESS);
        ASSERT_EQ(original.SetValue(root, path, name, v), ERROR_SUCCESS) << name;
    };
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string k = "Software\\한글 키\\we\"ird]name [x]";
    set(HKEY_CURRENT_USER, k, "quote\"back\\slash", RegValue::String("C:\\a \"b\"\\"));
    set(HKEY_CURRENT_USER, k, "이름", RegValue::String("값"));
    set(HKEY_CURRENT_USER, k, "", RegValue{REG_BINARY, "\x01"});
    set(HKEY_CURRENT_USER, k, "@", RegValue{REG_SZ, "no terminator"});
    set(HKEY_CURRENT_USER, k, "a=b", RegValue::String(""));
    set(HKEY_CURRENT_USER, k, "emptier", RegValue{REG_SZ, ""});
    set(HKEY_CURRENT_USER, k, "nuls", RegValue{REG_SZ, {"a\0b\0", 4}});
    set(HKEY_CURRENT_USER, k, "lines", RegValue::String("l1\r\nl2\n"));
    set(HKEY_CURRENT_USER, k, "expand", RegValue::String("%SystemRoot%\\x", REG_EXPAND_SZ));
    set(HKEY_CURRENT_USER, k, "multi", RegValue::MultiString({"a", "한", "c d", ""}));
    set(HKEY_CURRENT_USER, k, "multiEmpty", RegValue{REG_MULTI_SZ, ""});
    set(HKEY_CURRENT_USER, k, "binary", RegValue{REG_BINARY, all});
    set(HKEY_CURRENT_USER, k, "binEmpty", RegValue{REG_BINARY, ""});
    set(HKEY_CURRENT_USER, k, "dword3", RegValue{REG_DWORD, "\x01\x02\x03"});
    set(HKEY_CURRENT_USER, k, "qword", RegValue{REG_QWORD, all.substr(8, 8)});
    set(HKEY_CURRENT_USER, k, "link", RegValue{REG_LINK, {"\x41\x00", 2}});
    set(HKEY_CURRENT_USER, k, "odd", RegValue{0x12345678u, all.substr(100, 3)});
    set(HKEY_CURRENT_USER, k, std::string(200, 'n'), RegValue{REG_BINARY, all.substr(0, 40)});
    set(HKEY_CURRENT_USER, "Software\\-dash\\ spaced ", "x", RegValue::Dword(0xDEADBEEF));
    set(HKEY_LOCAL_MACHINE, "", "root value", RegValue::String("top"));
    set(HKEY_USERS, ".DEFAULT\\Empty", "Ünïcødé", RegValue::String("✓"));
    ASSERT_EQ(original.CreateKey(HKEY_USERS, ".DEFAULT\\Empty\\Deeper\\;semi"), ERROR_SUCCESS);

    const std::string text = WriteRegText(original, {});
    MemoryRegistry fromUtf8, fromUtf16, fromSorted;
    Apply(fromUtf8, text);
    EXPECT_EQ(Dump(fromUtf8), Dump(original));
    EXPECT_EQ(WriteRegText(fromUtf8, {}), text);
    // Saved as regedit saves it, UTF-16LE with a byte-order mark.
    Apply(fromUtf16, Utf16File(text));
    EXPECT_EQ(Dump(fromUtf16), Dump(original));
    // Sorting changes the value order only.
    Apply(fromSorted, WriteRegText(original, {.sortValues = true}));
    EXPECT_EQ(WriteRegText(fromSorted, {.sortValues = true}),
              WriteRegText(original, {.sortValues = true}));
}

TEST(ReadRegFile, CarriageReturnsAloneEndLinesToo) {
    MemoryRegistry r;
    Apply(r, "REGEDIT4\r\r[HKEY_LOCAL_MACHINE\\Old Mac]\r\"a\"=\"1\"\r\"b\"=hex:01,\\\r  02\r");
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Old Mac", "a").AsString(), "1");
    EXPECT_EQ(Query(r, HKEY_LOCAL_MACHINE, "Old Mac", "b").data, "\x01\x02");
    // The line numbers of errors count those lines as well.
    RegFileError error;
    EXPECT_FALSE(ApplyRegFile("REGEDIT4\r[HKLM\\K]\r\"a\"=?\r", "cr.reg", r, error));
    EXPECT_EQ(error.line, 3);
}

TEST(ReadRegFile, KeysAtTheDepthLimitLoadAndWriteBack) {
    const std::string path = "HKEY_LOCAL_MACHINE" + Repeat("\\k", 512);
    MemoryRegistry r;
    Apply(r, kV5 + "[" + path + "]\r\n\"v\"=dword:1\r\n");
    const std::string text = WriteRegText(r, {});
    EXPECT_NE(text.find("[" + path + "]\r\n\"v\"=dword:00000001"), std::string::npos);
    MemoryRegistry again;
    Apply(again, text);
    EXPECT_EQ(Dump(again), Dump(r));
}

// String data whose bytes are not valid UTF-16 text must come back byte for byte
// from every form the registry passes through.
TEST(ReadRegFile, StringBytesThatAreNotTextKeepTheirExactBytes) {
    const struct {
        const char* name;
        std::uint32_t type;
        std::string hex;
        std::string bytes;
    } cases[] = {
        {"multi", REG_MULTI_SZ, "ff,fe,00,d8,41", std::string("\xff\xfe\x00\xd8\x41", 5)},
        {"expand", REG_EXPAND_SZ, "41,00,42", std::string("\x41\x00\x42", 3)},
        {"sz", REG_SZ, "00,dc,00,d8", std::string("\x00\xdc\x00\xd8", 4)},
    };
    std::string text = kV5 + "[HKLM\\Odd]\r\n";
    for (const auto& c : cases) {
        text += "\"" + std::string(c.name) + "\"=hex(" + std::to_string(c.type) + "):" + c.hex + "\r\n";
    }
    MemoryRegistry r;
    Apply(r, text);
    const std::string written = WriteRegText(r, {});
    MemoryRegistry reloaded;
    Apply(reloaded, written);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(written.find("\"" + std::string(c.name) + "\"=hex(" + std::to_string(c.type) +
                               "):" + c.hex + "\r\n"),
                  std::string::npos)
            << written;
        for (const MemoryRegistry* reg : {&r, &reloaded}) {
            RegValue v = Query(*reg, HKEY_LOCAL_MACHINE, "Odd", c.name);
            EXPECT_EQ(v.type, c.type);
            EXPECT_EQ(v.StoredUtf16(), c.bytes);
        }
    }
    // Once the engine writes new text, the text is what is stored.
    RegValue v = Query(r, HKEY_LOCAL_MACHINE, "Odd", "sz");
    v.data = std::string("ab\0", 3);
    EXPECT_EQ(v.StoredUtf16(), std::string("a\0b\0\0\0", 6));
    // Valid text keeps no second copy.
    EXPECT_TRUE(RegValue::FromUtf16(REG_SZ, std::string("a\0\0\0", 4)).utf16.empty());
}

// ---- What the image registry adds ----

TEST(WriteRegText, ReadableStringsShowTextWrittenWithoutItsTerminator) {
    MemoryRegistry reg;
    ASSERT_EQ(reg.CreateKey(HKEY_CURRENT_USER, "Software\\X"), ERROR_SUCCESS);
    // Programs that pass the text's length store REG_SZ data without a NUL.
    ASSERT_EQ(reg.SetValue(HKEY_CURRENT_USER, "Software\\X", "Start Page", RegValue{REG_SZ, "about:blank"}),
              ERROR_SUCCESS);
    std::string exact, readable;
    ASSERT_TRUE(WriteRegKeyText(reg, HKEY_CURRENT_USER, "Software\\X", RegWriteOptions{}, exact));
    RegWriteOptions options;
    options.readableStrings = true;
    ASSERT_TRUE(WriteRegKeyText(reg, HKEY_CURRENT_USER, "Software\\X", options, readable));
    EXPECT_NE(exact.find("\"Start Page\"=hex(1):61,00,62,00"), std::string::npos) << exact;
    EXPECT_NE(readable.find("\"Start Page\"=\"about:blank\"\r\n"), std::string::npos) << readable;
}

TEST(MemoryRegistry, ProtectWorksOnEveryFamilyAndListsKeysInTreeOrder) {
    MemoryRegistry r(/*hasSecurity=*/false);
    Apply(r,
          kV5 +
              "[HKU\\S-1\\Software\\Z]\r\n[HKLM\\SOFTWARE\\Spy\\b]\r\n[HKLM\\SOFTWARE\\Spy\\A]\r\n"
              "[HKLM\\SOFTWARE\\Classes\\CLSID\\{1}]\r\n[HKCU\\Software\\Spy]\r\n");
    for (auto [root, path] : {std::pair{HKEY_USERS, "s-1\\software\\z"},
                              {HKEY_LOCAL_MACHINE, "Software\\Spy\\B"},
                              {HKEY_LOCAL_MACHINE, "Software\\Spy"},
                              {HKEY_LOCAL_MACHINE, "Software\\Spy\\A"},
                              {HKEY_CLASSES_ROOT, "clsid\\{1}"},
                              {HKEY_CURRENT_USER, "Software\\Spy"}}) {
        ASSERT_EQ(r.Protect(root, path), ERROR_SUCCESS) << path;
    }
    EXPECT_EQ(r.Protect(HKEY_CURRENT_USER, "Software\\Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r.Protect(HKEY_CURRENT_CONFIG, "Software"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(r.ProtectedKeys(), (std::vector<std::string>{
                                     "HKCU\\Software\\Spy", "HKLM\\SOFTWARE\\Classes\\CLSID\\{1}",
                                     "HKLM\\SOFTWARE\\Spy", "HKLM\\SOFTWARE\\Spy\\A",
                                     "HKLM\\SOFTWARE\\Spy\\b", "HKU\\S-1\\Software\\Z"}));
    // 9x cannot take the rights over, so the tree stays.
    EXPECT_EQ(r.DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Spy"), ERROR_ACCESS_DENIED);

    r.Clear();
    EXPECT_TRUE(r.ProtectedKeys().empty());
    EXPECT_EQ(WriteRegText(r, {}), kV5);
}

TEST(MemoryRegistry, ValueIndexFollowsDeletesAndReplacements) {
    MemoryRegistry r;
    ASSERT_EQ(r.CreateKey(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(r.SetValue(HKEY_CURRENT_USER, "K", "v" + std::to_string(i), RegValue::Dword(i)),
                  ERROR_SUCCESS);
    }
    // Deleting at the front and in the middle shifts every later value.
    for (std::string name : {"V0", "v1500", "V2999", "v1"}) {
        ASSERT_EQ(r.DeleteValue(HKEY_CURRENT_USER, "K", name), ERROR_SUCCESS);
    }
    ASSERT_EQ(r.SetValue(HKEY_CURRENT_USER, "K", "V2000", RegValue::String("x")), ERROR_SUCCESS);
    ASSERT_EQ(r.SetValue(HKEY_CURRENT_USER, "K", "v1", RegValue::Dword(1)), ERROR_SUCCESS);
    for (int i = 2; i < 2999; ++i) {
        if (i == 1500) continue;
        EXPECT_EQ(Query(r, HKEY_CURRENT_USER, "K", "v" + std::to_string(i)),
                  i == 2000 ? RegValue::String("x") : RegValue::Dword(i));
    }
    std::string name;
    for (auto [index, expected] : {std::pair{0u, "v2"}, {1498u, "v1501"}, {2996u, "v1"}}) {
        ASSERT_EQ(r.EnumValue(HKEY_CURRENT_USER, "K", index, name, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(name, expected);
    }
    EXPECT_EQ(r.EnumValue(HKEY_CURRENT_USER, "K", 2997, name, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST(MemoryRegistry, RootNamesAndKeyPaths) {
    for (auto [name, root] : {std::pair{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                              {"hkcr", HKEY_CLASSES_ROOT},
                              {"Hkey_Current_User", HKEY_CURRENT_USER},
                              {"HKCU", HKEY_CURRENT_USER},
                              {"HKLM", HKEY_LOCAL_MACHINE},
                              {"hkey_users", HKEY_USERS},
                              {"HKU", HKEY_USERS},
                              {"HKEY_CURRENT_CONFIG", HKEY{0}},
                              {"HKLM ", HKEY{0}},
                              {"", HKEY{0}}}) {
        EXPECT_EQ(RootFromName(name), root) << name;
    }
    EXPECT_EQ(RootLongName(HKEY_USERS), "HKEY_USERS");
    EXPECT_EQ(RootShortName(HKEY_CLASSES_ROOT), "HKCR");
    EXPECT_EQ(RootLongName(HKEY_CURRENT_CONFIG), "");

    HKEY root = 0;
    std::string sub = "old";
    ASSERT_TRUE(SplitKeyPath("HKLM\\Software\\X", root, sub));
    EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(sub, "Software\\X");
    ASSERT_TRUE(SplitKeyPath("hkey_current_user", root, sub));
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(sub, "");
    root = 0;
    sub = "old";
    EXPECT_FALSE(SplitKeyPath("HKEY_CURRENT_CONFIG\\Software", root, sub));
    EXPECT_FALSE(SplitKeyPath("Software\\HKLM", root, sub));
    EXPECT_EQ(root, 0u);
    EXPECT_EQ(sub, "old");
}

}  // namespace
}  // namespace veldan::machine::image
