// Hive names, single-key operations, enumeration, tree deletion and the
// registry scan and cure operations, on machine images.

#include "platform/registry_ops.h"

#include <gtest/gtest.h>

#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;  // roots, types, errors

class RegistryOps : public ::testing::Test {
  protected:
    // Loads an image of the family with the .reg text.
    Context& Load(std::string_view reg, bool nt = true) {
        if (!nt) rig.image.Ini("[machine]\nos=9x\n");
        rig.image.Reg("a.reg", reg);
        return rig.Load();
    }
    void Put(HKEY root, std::string_view key, std::string_view name, const RegValue& v) {
        ASSERT_EQ(rig.raw().CreateKey(root, key), ERROR_SUCCESS);
        ASSERT_EQ(rig.raw().SetValue(root, key, name, v), ERROR_SUCCESS);
    }
    std::vector<std::string> Texts(const ScanItemList& list) {
        std::vector<std::string> out;
        for (const CScanItem& item : list.items()) out.push_back(item.text);
        return out;
    }
    bool Denied(HKEY root, std::string_view key) {
        KeySecurity s;
        EXPECT_EQ(rig.raw().GetKeySecurity(root, key, s), ERROR_SUCCESS) << key;
        return s.denyDelete;
    }
    test::PlatformRig rig;
};

TEST_F(RegistryOps, HiveNamesConvertOnlyTheFourShortTexts) {
    Context& ctx = Load("");
    HKEY h = 0;
    EXPECT_TRUE(STR2HKEY(ctx, "hkcu", h) && h == HKEY_CURRENT_USER);
    EXPECT_TRUE(STR2HKEY(ctx, "HKLM", h) && h == HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(STR2HKEY(ctx, "Hkcr", h) && h == HKEY_CLASSES_ROOT);
    EXPECT_TRUE(STR2HKEY(ctx, "HKU", h) && h == HKEY_USERS);
    EXPECT_EQ(rig.debug.Text(), "");
    for (const char* bad : {"HKEY_LOCAL_MACHINE", "HKLM\\", "", "HKCC"}) {
        rig.debug.Clear();
        EXPECT_EQ(STR2HKEY(ctx, bad, h), 0) << bad;
        EXPECT_EQ(rig.debug.Text(), std::string("STR2HKEY... ") + bad + "\n");
    }

    std::string out = "stale";
    rig.debug.Clear();
    EXPECT_EQ(HKEY2STR(ctx, HKEY_CURRENT_CONFIG, out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(rig.debug.Text(), "HKEY2STR... -2147483643\n");
    EXPECT_TRUE(HKEY2STR(ctx, HKEY_USERS, out) && out == "HKU");

    EXPECT_TRUE(MakeKeyText(ctx, HKEY_LOCAL_MACHINE, "", out) && out == "HKLM\\");
    EXPECT_TRUE(MakeValueText(ctx, HKEY_LOCAL_MACHINE, "Software\\X", {}, out));
    EXPECT_EQ(out, "HKLM\\Software\\X \"\"");
    EXPECT_TRUE(MakeDataText(ctx, HKEY_CURRENT_USER, "S", "a\"b", {}, out));
    EXPECT_EQ(out, "HKCU\\S \"a\"b\"=\"\"");  // no escaping
    EXPECT_EQ(MakeDataText(ctx, 7, "S", "n", "d", out), 0);
}

TEST_F(RegistryOps, ReadsCountTheBufferInCp949Bytes) {
    Context& ctx = Load("[HKEY_CURRENT_USER\\S]\r\n\"Num\"=dword:0000002a\r\n");
    Put(HKEY_CURRENT_USER, "S", "s259", RegValue::String(std::string(259, 'a')));
    Put(HKEY_CURRENT_USER, "S", "s260", RegValue::String(std::string(260, 'a')));
    std::string hangul129, hangul130;  // 2 CP949 bytes, 3 UTF-8 bytes each
    for (int i = 0; i < 129; ++i) hangul129 += "가";
    hangul130 = hangul129 + "가";
    Put(HKEY_CURRENT_USER, "S", "k129", RegValue::String(hangul129));
    Put(HKEY_CURRENT_USER, "S", "k130", RegValue::String(hangul130));
    Put(HKEY_CURRENT_USER, "S", "exp", RegValue::String("%SystemRoot%\\x", REG_EXPAND_SZ));

    std::string out = "stale";
    EXPECT_TRUE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "s259", out) && out.size() == 259);
    EXPECT_FALSE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "s260", out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "k129", out) && out == hangul129);
    EXPECT_FALSE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "k130", out));
    EXPECT_FALSE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "Num", out));
    EXPECT_TRUE(ReadStringValue(ctx, HKEY_CURRENT_USER, "S", "exp", out));
    EXPECT_EQ(out, "%SystemRoot%\\x");  // as stored

    std::uint32_t n = 0;
    EXPECT_TRUE(ReadDwordValue(ctx, HKEY_CURRENT_USER, "S", "Num", n) && n == 42u);
    EXPECT_FALSE(ReadDwordValue(ctx, HKEY_CURRENT_USER, "S", "exp", n));
}

TEST_F(RegistryOps, SingleKeyOperations) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n@=\"def\"\r\n\"v\"=\"1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\T\\A]\r\n[HKEY_LOCAL_MACHINE\\Software\\T\\B]\r\n");
    EXPECT_EQ(CountSubKeys(ctx, HKEY_LOCAL_MACHINE, "Software\\T"), 2);
    EXPECT_EQ(CountValues(ctx, HKEY_LOCAL_MACHINE, "Software\\T"), 2);
    EXPECT_EQ(CountSubKeys(ctx, HKEY_LOCAL_MACHINE, "Software\\T\\A"), 0);
    EXPECT_EQ(CountSubKeys(ctx, HKEY_LOCAL_MACHINE, "Software\\Missing"), -1);
    EXPECT_EQ(CountValues(ctx, HKEY_LOCAL_MACHINE, "Software\\Missing"), -1);
    EXPECT_TRUE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "") && !KeyExists(ctx, HKEY_CURRENT_CONFIG, ""));
    EXPECT_TRUE(ValueExists(ctx, HKEY_LOCAL_MACHINE, "Software\\T", ""));

    EXPECT_EQ(WriteStringValue(ctx, HKEY_CURRENT_USER, "New\\Path", "n", "abc"), 1);
    RegValue v;
    ASSERT_EQ(rig.raw().QueryValue(HKEY_CURRENT_USER, "New\\Path", "n", v), ERROR_SUCCESS);
    EXPECT_EQ(v.type, REG_SZ);
    // Wine reads a string stored without its NUL back with one added; Windows
    // reads it back as stored.
    if (test::OnWine() && v.data == std::string("abc\0", 4)) v.data.pop_back();
    EXPECT_EQ(v.data, "abc");  // exactly 3 bytes, no NUL

    rig.faults().ClearCalls();
    EXPECT_EQ(DeleteValueIfPresent(ctx, HKEY_LOCAL_MACHINE, "Software\\T", "none"), 1);
    EXPECT_EQ(rig.faults().CountCalls("DeleteValue"), 0);
    EXPECT_EQ(DeleteValueIfPresent(ctx, HKEY_LOCAL_MACHINE, "Software\\T", "V"), 1);
    EXPECT_FALSE(ValueExists(ctx, HKEY_LOCAL_MACHINE, "Software\\T", "v"));
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(DeleteValueIfPresent(ctx, HKEY_LOCAL_MACHINE, "Software\\T", ""), 0);

    EXPECT_EQ(DeleteEmptyKey(ctx, HKEY_LOCAL_MACHINE, "Software\\T"), 0);  // has sub-keys
    EXPECT_EQ(DeleteEmptyKey(ctx, HKEY_LOCAL_MACHINE, "Software\\T\\A"), 1);
    EXPECT_FALSE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\T\\A"));
}

TEST_F(RegistryOps, LastErrorLinesAndPaths) {
    rig.image.File("C:\\Program Files\\Long Name\\file.txt");
    Context& ctx = Load("");
    LogLastError(ctx, "OpenProcess", ERROR_ACCESS_DENIED);
    LogLastError(ctx, "SetPrivilege", 1300);
    LogLastError(ctx, "TerminateProcess", 12345);
    EXPECT_EQ(
        rig.debug.Text(),
        "OpenProcess() error... Access is denied.\r\n\n"
        "SetPrivilege() error... Not all privileges referenced are assigned to the caller.\r\n\n"
        "TerminateProcess() error... ");

    std::string shortPath, longPath;
    ASSERT_EQ(ToShortPath(ctx, "C:\\program files\\long name\\FILE.TXT", shortPath), 1);
    EXPECT_EQ(shortPath.find(' '), std::string::npos);
    EXPECT_EQ(ToLongPath(ctx, shortPath, longPath), 1);
    EXPECT_EQ(longPath, "C:\\Program Files\\Long Name\\file.txt");
    EXPECT_EQ(ToLongPath(ctx, "C:\\nothing.txt", longPath), 0);
    EXPECT_EQ(longPath, "");
}

TEST_F(RegistryOps, EnumerationSkipsUnreadableEntriesWithADebugLine) {
    std::string longName(300, 'L');
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\T\\beta]\r\n[HKEY_LOCAL_MACHINE\\Software\\T\\Alpha]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\T\\" +
        longName +
        "]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\T\\gamma]\r\n");
#ifdef _WIN32
    // Windows makes no key whose name is over 255 characters: nothing to skip.
    const std::string skipped;
#else
    const std::string skipped = "RegEnumKey... HKLM\\Software\\T\n";
#endif
    std::vector<std::string> names = {"stale"};
    EXPECT_EQ(EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, "Software\\T", names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(rig.debug.Text(), skipped);

    rig.debug.Clear();
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "EnumKey" && c.index == 0 ? ERROR_GEN_FAILURE : ERROR_SUCCESS;
    };
    EXPECT_EQ(EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, "Software\\T", names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"beta", "gamma"}));
    EXPECT_EQ(rig.debug.Lines().size(), skipped.empty() ? 1u : 2u) << rig.debug.Text();
    EXPECT_EQ(EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, "Software\\T\\gamma", names), 0);
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryOps, FindValuesByDataMatchesStringsOnly) {
    Context& ctx = Load(
        "[HKEY_CURRENT_USER\\S]\r\n\"dw\"=dword:00000001\r\n\"a\"=\"Go EVIL.exe\"\r\n"
        "\"c\"=\"evil\"\r\n\"e\"=\"\"\r\n\"b\"=\"good\"\r\n");
    Put(HKEY_CURRENT_USER, "S", "big", RegValue::String("evil" + std::string(300, 'x')));
    Put(HKEY_CURRENT_USER, "S", "x", RegValue::String("%windir%\\evil", REG_EXPAND_SZ));

    EXPECT_EQ(FindValuesByData(ctx, HKEY_CURRENT_USER, "S", "", false, false), 5);
    EXPECT_EQ(rig.debug.Text(), "SHEnumValue... HKCU\\S\n");  // the long value
    ctx.report().ClearAll();
    EXPECT_EQ(FindValuesByData(ctx, HKEY_CURRENT_USER, "S", "", true, false), 1);
    EXPECT_EQ(Texts(ctx.report().found()), (std::vector<std::string>{"HKCU\\S \"e\"=\"\""}));
    ctx.report().ClearAll();

    EXPECT_EQ(ScanValueByData(ctx, HKEY_CURRENT_USER, "S", "Evil"), 3);
    EXPECT_EQ(Texts(ctx.report().found()),
              (std::vector<std::string>{"HKCU\\S \"a\"=\"Go EVIL.exe\"", "HKCU\\S \"c\"=\"evil\"",
                                        "HKCU\\S \"x\"=\"%windir%\\evil\""}));
    EXPECT_EQ(ctx.report().found().At(0).data, "Go EVIL.exe");
    EXPECT_EQ(ScanKeyByData(ctx, HKEY_CURRENT_USER, "S", "evil"), 0);  // all recorded already
    EXPECT_EQ(ScanValueByExactData(ctx, HKEY_CURRENT_USER, "S", "EVIL"), 0);
    ctx.report().ClearAll();
    EXPECT_EQ(ScanValueByExactData(ctx, HKEY_CURRENT_USER, "S", "EVIL"), 1);
    EXPECT_EQ(ValueDataContains(ctx, HKEY_CURRENT_USER, "S", "a", "go e"), 1);
    EXPECT_EQ(ValueDataContains(ctx, HKEY_CURRENT_USER, "S", "dw", ""), 0);

    // Curing deletes after the enumeration, so neighbours are not skipped; a
    // value that cannot be deleted still counts and is recorded.
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteValue" && c.name == "x" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureValueByData(ctx, HKEY_CURRENT_USER, "S", "evil"), 3);
    EXPECT_FALSE(ValueExists(ctx, HKEY_CURRENT_USER, "S", "a"));
    EXPECT_FALSE(ValueExists(ctx, HKEY_CURRENT_USER, "S", "c"));
    EXPECT_TRUE(ValueExists(ctx, HKEY_CURRENT_USER, "S", "b"));
    EXPECT_EQ(Texts(ctx.report().failed()), (std::vector<std::string>{"HKCU\\S \"x\""}));
    EXPECT_EQ(CureValueByExactData(ctx, HKEY_CURRENT_USER, "S", "GOOD"), 1);
    EXPECT_FALSE(ValueExists(ctx, HKEY_CURRENT_USER, "S", "b"));
}

TEST_F(RegistryOps, DeleteKeyTreeTakesOverProtectedTreesOnNt) {
    rig.image.Ini("[protected]\nkey=HKLM\\Software\\Bad\\Locked\n");
    Context& ctx = Load("[HKEY_LOCAL_MACHINE\\Software\\Bad\\Locked\\Deep]\r\n");
    rig.faults().ClearCalls();
    EXPECT_EQ(DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, "Software\\Missing"), 1);
    EXPECT_EQ(rig.faults().CountCalls("DeleteTree"), 0);

    EXPECT_EQ(DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad"), 1);
    EXPECT_FALSE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad"));
    EXPECT_EQ(ctx.report().failed().Count(), 0);
    EXPECT_EQ(rig.debug.Text(), "");
}

TEST_F(RegistryOps, FailedDeleteKeyTreeRestoresTheTopKeyOnly) {
    rig.image.Ini("[protected]\nkey=HKLM\\Software\\Bad\nkey=HKLM\\Software\\Bad\\Sub\n");
    Context& ctx = Load("[HKEY_LOCAL_MACHINE\\Software\\Bad\\Sub\\Deep]\r\n");
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteTree" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureKey(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad"), 0);
    EXPECT_TRUE(Denied(HKEY_LOCAL_MACHINE, "Software\\Bad"));
    EXPECT_FALSE(Denied(HKEY_LOCAL_MACHINE, "Software\\Bad\\Sub"));
    EXPECT_EQ(rig.debug.Text(), "FAIL.REGKEY HKLM\\Software\\Bad\n");

    // A root is never deleted and its rights are never touched.
    rig.faults().hook = nullptr;
    rig.faults().ClearCalls();
    EXPECT_EQ(DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, ""), 0);
    EXPECT_EQ(rig.faults().CountCalls("SetKeySecurity"), 0);
    EXPECT_TRUE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad\\Sub\\Deep"));
    EXPECT_TRUE(ctx.report().failed().ContainsText("HKLM\\"));
}

TEST_F(RegistryOps, DeleteKeyTreeOn9xCannotOverrideProtection) {
    rig.image.Ini("[machine]\nos=9x\n[protected]\nkey=HKLM\\Software\\Bad\\Locked\n");
    rig.image.Reg("a.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Bad\\Locked]\r\n[HKEY_LOCAL_"
                  "MACHINE\\Software\\Ok\\Sub]\r\n");
    Context& ctx = rig.Load();
    EXPECT_EQ(DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad"), 0);
    EXPECT_TRUE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Bad\\Locked"));
    EXPECT_EQ(Texts(ctx.report().failed()), (std::vector<std::string>{"HKLM\\Software\\Bad"}));
    EXPECT_EQ(DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, "Software\\Ok"), 1);
    EXPECT_FALSE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Ok"));
    EXPECT_EQ(rig.faults().CountCalls("SetKeySecurity"), 0);
}

TEST_F(RegistryOps, ApplyKeySecurityWalksTheTreeAndSkipsBadEntries) {
    rig.image.Ini(
        "[protected]\nkey=HKLM\\S\\T\nkey=HKLM\\S\\T\\A\nkey=HKLM\\S\\T\\B\nkey="
        "HKLM\\S\\T\\B\\C\n");
    Context& ctx = Load("[HKEY_LOCAL_MACHINE\\S\\T\\A]\r\n[HKEY_LOCAL_MACHINE\\S\\T\\B\\C]\r\n");
    KeySecurity saved;
    EXPECT_EQ(SaveKeySecurity(ctx, HKEY_LOCAL_MACHINE, "S\\T", saved), 1);
    EXPECT_TRUE(saved.denyDelete);
    EXPECT_EQ(SaveKeySecurity(ctx, HKEY_LOCAL_MACHINE, "S\\None", saved), 0);

    EXPECT_EQ(ApplyKeySecurity(ctx, HKEY_LOCAL_MACHINE, "S\\T", KeySecurity::FullControl(), false),
              1);
    EXPECT_FALSE(Denied(HKEY_LOCAL_MACHINE, "S\\T"));
    EXPECT_TRUE(Denied(HKEY_LOCAL_MACHINE, "S\\T\\A"));

    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "EnumKey" && c.subKey == "S\\T" && c.index == 0 ? ERROR_GEN_FAILURE
                                                                       : ERROR_SUCCESS;
    };
    EXPECT_EQ(ApplyKeySecurity(ctx, HKEY_LOCAL_MACHINE, "S\\T", KeySecurity::FullControl(), true),
              1);
    EXPECT_TRUE(Denied(HKEY_LOCAL_MACHINE, "S\\T\\A"));  // its index failed
    EXPECT_FALSE(Denied(HKEY_LOCAL_MACHINE, "S\\T\\B"));
    EXPECT_FALSE(Denied(HKEY_LOCAL_MACHINE, "S\\T\\B\\C"));
    EXPECT_EQ(ApplyKeySecurity(ctx, HKEY_LOCAL_MACHINE, "S\\None", saved, true), 0);
    EXPECT_EQ(ApplyKeySecurity(ctx, HKEY_LOCAL_MACHINE, "", saved, true), 0);
}

TEST_F(RegistryOps, KeyAndValueScansAndCures) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}]\r\n"
        "[HKEY_CURRENT_USER\\S]\r\n\"n\"=dword:00000001\r\n\"s\"=\"Data\"\r\n");
    EXPECT_EQ(ScanKey(ctx, HKEY_CLASSES_ROOT, "CLSID\\{1}"), 1);
    EXPECT_EQ(ScanKey(ctx, HKEY_CLASSES_ROOT, "clsid\\{1}"), 0);  // already recorded
    EXPECT_EQ(ScanKey(ctx, HKEY_CLASSES_ROOT, "CLSID\\{2}"), 0);
    EXPECT_EQ(ScanValue(ctx, HKEY_CURRENT_USER, "S", "n"), 1);
    EXPECT_EQ(ScanValue(ctx, HKEY_CURRENT_USER, "S", "s"), 1);
    EXPECT_EQ(ScanValue(ctx, HKEY_CURRENT_USER, "S", "none"), 0);
    EXPECT_EQ(
        Texts(ctx.report().found()),
        (std::vector<std::string>{"HKCR\\CLSID\\{1}", "HKCU\\S \"n\"", "HKCU\\S \"s\"=\"Data\""}));
    EXPECT_EQ(ctx.report().found().At(0).hive, HKEY_CLASSES_ROOT);
    EXPECT_EQ(ctx.report().found().At(0).keyPath, "CLSID\\{1}");

    EXPECT_EQ(CureValue(ctx, HKEY_CURRENT_USER, "S", "none"), 1);
    EXPECT_EQ(CureValue(ctx, HKEY_CURRENT_USER, "S", "n"), 1);
    EXPECT_EQ(CureKey(ctx, HKEY_CLASSES_ROOT, "CLSID\\{1}"), 1);
    EXPECT_FALSE(KeyExists(ctx, HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{1}"));
    EXPECT_EQ(CureKey(ctx, HKEY_CLASSES_ROOT, "CLSID\\{1}"), 1);  // nothing left to do
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureValue(ctx, HKEY_CURRENT_USER, "S", "s"), 0);
    EXPECT_EQ(Texts(ctx.report().failed()), (std::vector<std::string>{"HKCU\\S \"s\""}));
}

TEST_F(RegistryOps, KeyByDataEmptyKeyAndDataChecks) {
    Context& ctx = Load(
        "[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"clean\"\r\n\"b\"=\"ad.dll\"\r\n"
        "[HKEY_CURRENT_USER\\K\\Sub]\r\n[HKEY_CURRENT_USER\\E]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\P]\r\n\"Start Page\"=\"http://bad/\"\r\n\"n\"=dword:1\r\n");
    EXPECT_EQ(CureKeyByData(ctx, HKEY_CURRENT_USER, "K", "nomatch"), 0);
    EXPECT_TRUE(ValueExists(ctx, HKEY_CURRENT_USER, "K", "a"));
    EXPECT_EQ(CureKeyByData(ctx, HKEY_CURRENT_USER, "K", "AD.DLL"), 1);
    EXPECT_FALSE(KeyExists(ctx, HKEY_CURRENT_USER, "K"));

    EXPECT_EQ(CureEmptyKey(ctx, HKEY_CURRENT_USER, "E"), 1);  // values do not count
    EXPECT_FALSE(KeyExists(ctx, HKEY_CURRENT_USER, "E"));
    EXPECT_EQ(CureEmptyKey(ctx, HKEY_CURRENT_USER, "Gone"), 1);
    EXPECT_EQ(ctx.report().failed().Count(), 0);
    ASSERT_EQ(rig.raw().CreateKey(HKEY_CURRENT_USER, "E\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(CureEmptyKey(ctx, HKEY_CURRENT_USER, "E"), 0);
    EXPECT_EQ(Texts(ctx.report().failed()), (std::vector<std::string>{"HKCU\\E"}));

    EXPECT_EQ(ScanValueIfDataContains(ctx, HKEY_CURRENT_USER, "P", "Start Page", "BAD"), 1);
    EXPECT_EQ(ScanValueIfDataContains(ctx, HKEY_CURRENT_USER, "P", "n", ""), 0);
    EXPECT_EQ(ScanValueIfDataLacks(ctx, HKEY_CURRENT_USER, "P", "Start Page", "bad"), 0);
    EXPECT_EQ(ScanValueIfDataLacks(ctx, HKEY_CURRENT_USER, "P", "Missing", "x"), 1);
    EXPECT_EQ(ScanValueIfDataLacks(ctx, HKEY_CURRENT_USER, "P", "n", "x"), 1);
    EXPECT_EQ(Texts(ctx.report().found()),
              (std::vector<std::string>{"HKCU\\P \"Start Page\"=\"http://bad/\"",
                                        "HKCU\\P \"Missing\"", "HKCU\\P \"n\""}));
    EXPECT_EQ(ctx.report().found().At(1).type, REGVAL);

    EXPECT_EQ(CureStringValue(ctx, HKEY_CURRENT_USER, "P", "Start Page", "about:blank"), 1);
    std::string page;
    EXPECT_TRUE(ReadStringValue(ctx, HKEY_CURRENT_USER, "P", "Start Page", page) &&
                page == "about:blank");
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "SetValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureStringValue(ctx, HKEY_CURRENT_USER, "P", "Start Page", "about:blank"), 0);
    EXPECT_TRUE(ctx.report().failed().ContainsText("HKCU\\P \"Start Page\"=\"about:blank\""));
}

}  // namespace
}  // namespace veldan::platform
