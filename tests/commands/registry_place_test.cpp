// The registry place commands run through the dispatcher in scan and cure mode:
// which keys and values each looks at, what it records and what it removes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/registry_place.h"
#include "engine/dispatch.h"
#include "platform/folders.h"
#include "support/platform_rig.h"

namespace veldan::commands {
namespace {

using namespace machine;
using engine::ExecFunc;
using engine::RunScriptLine;
using platform::Context;
using Texts = std::vector<std::string>;

const std::string kIE = "Software\\Microsoft\\Internet Explorer";
const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion";

Texts Of(const platform::ScanItemList& list) {
    Texts out;
    for (const platform::CScanItem& item : list.items()) out.push_back(item.text);
    return out;
}

class RegistryPlaces : public ::testing::Test {
  protected:
    Context& Load(const std::string& regText) {
        rig.image.Reg("10-test.reg", regText);
        Context& ctx = rig.Load();
        platform::InitFolderTable(ctx);
        return ctx;
    }
    bool Exists(HKEY hive, const std::string& key) {
        return rig.raw().OpenKey(hive, key) == ERROR_SUCCESS;
    }
    bool HasValue(HKEY hive, const std::string& key, std::string_view name) {
        RegValue v;
        return rig.raw().QueryValue(hive, key, name, v) == ERROR_SUCCESS;
    }
    Texts Found() { return Of(rig.ctx->report().found()); }
    Texts Failed() { return Of(rig.ctx->report().failed()); }

    test::PlatformRig rig;
};

TEST_F(RegistryPlaces, SoftwareKeyLooksInTheMachineUserAndDefaultUserHives) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Evil]\n[HKEY_CURRENT_USER\\Software\\Evil\\Sub]\n"
        "[HKEY_USERS\\.DEFAULT\\Software\\Evil]\n[HKEY_LOCAL_MACHINE\\Software\\Evilish]\n");

    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\Software\\evil", "HKCU\\Software\\evil",
                              "HKU\\.Default\\Software\\evil"}));
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", Mode::Scan), 0);  // nothing new
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Evil"));
    EXPECT_FALSE(Exists(HKEY_USERS, ".DEFAULT\\Software\\Evil"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Evilish"));
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", Mode::Cure), 1);  // absent counts as removed
    EXPECT_TRUE(Failed().empty());
}

TEST_F(RegistryPlaces, ServicesKeyRecordsOnlyTheControlSetThatHasTheService) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\evilsvc]\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003\\Enum\\Root\\LEGACY_EVILSVC]\n");

    EXPECT_EQ(RunScriptLine(ctx, "ServicesKey evilsvc ", Mode::Scan), 1);
    EXPECT_EQ(RunScriptLine(ctx, "EnumRootKey LEGACY_EVILSVC ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\SYSTEM\\ControlSet002\\Services\\evilsvc",
                              "HKLM\\System\\ControlSet003\\enum\\root\\LEGACY_EVILSVC"}));
    EXPECT_EQ(RunScriptLine(ctx, "ServicesKey evilsvc ", Mode::Cure), 1);
    EXPECT_EQ(RunScriptLine(ctx, "EnumRootKey LEGACY_EVILSVC ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\evilsvc"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet003\\Enum\\Root\\LEGACY_EVILSVC"));
}

// A word with its places planted (and a decoy beside them that is none of them).
struct PlaceCase {
    const char* word;
    const char* param;
    std::string reg;
    Texts found;
    HKEY decoyHive;
    std::string decoyKey;
    const char* decoyValue;  // null: the key itself
};

TEST(RegistryPlaceWords, EachWordTakesItsPlacesAndLeavesTheRest) {
    const std::string ext = kIE + "\\Extensions";
    const std::vector<PlaceCase> cases = {
        {"ExtensionsKey",
         "X",
         "[HKEY_CURRENT_USER\\" + ext + "\\X]\n[HKEY_USERS\\.DEFAULT\\" + ext + "\\X]\n" +
             "[HKEY_LOCAL_MACHINE\\" + ext +
             "\\CmdMapping]\n\"X\"=dword:00002001\n\"Y\"=dword:1\n" + "[HKEY_CURRENT_USER\\" + ext +
             "\\CmdMapping]\n\"X\"=\"8193\"\n",
         {"HKCU\\" + ext + "\\X", "HKU\\.DEFAULT\\" + ext + "\\X",
          "HKLM\\" + ext + "\\CmdMapping \"X\"", "HKCU\\" + ext + "\\CmdMapping \"X\"=\"8193\""},
         HKEY_LOCAL_MACHINE,
         ext + "\\CmdMapping",
         "Y"},
        {"UninstallKey",
         "X",
         "[HKEY_CURRENT_USER\\" + kCV + "\\Uninstall\\X]\n[HKEY_LOCAL_MACHINE\\" + kCV +
             "\\App Management\\ARPCache\\X]\n[HKEY_CURRENT_USER\\" + kCV + "\\Run\\X]\n",
         {"HKCU\\" + kCV + "\\Uninstall\\X", "HKLM\\" + kCV + "\\App Management\\ARPCache\\X"},
         HKEY_CURRENT_USER,
         kCV + "\\Run\\X",
         nullptr},
        {"MenuExtKey",
         "X",
         "[HKEY_LOCAL_MACHINE\\" + kIE + "\\MenuExt\\X]\n[HKEY_CURRENT_USER\\" + kIE +
             "\\MenuExt\\X]\n[HKEY_USERS\\.DEFAULT\\" + kIE + "\\MenuExt\\X]\n",
         {"HKLM\\" + kIE + "\\MenuExt\\X", "HKCU\\" + kIE + "\\MenuExt\\X"},
         HKEY_USERS,
         ".DEFAULT\\" + kIE + "\\MenuExt\\X",
         nullptr},
        {"ToolbarValue",
         "X",
         "[HKEY_LOCAL_MACHINE\\" + kIE + "\\ToolBar]\n\"X\"=\"Evil Bar\"\n[HKEY_CURRENT_USER\\" +
             kIE + "\\ToolBar\\WebBrowser]\n\"X\"=hex:01,02\n[HKEY_CURRENT_USER\\" + kIE +
             "\\ToolBar\\ShellBrowser]\n\"X\"=hex:01\n[HKEY_CURRENT_USER\\" + kIE +
             "\\ToolBar\\Explorer]\n\"X\"=hex:01\n",
         {"HKLM\\" + kIE + "\\ToolBar \"X\"=\"Evil Bar\"",
          "HKCU\\" + kIE + "\\ToolBar\\WebBrowser \"X\"",
          "HKCU\\" + kIE + "\\ToolBar\\ShellBrowser \"X\""},
         HKEY_CURRENT_USER,
         kIE + "\\ToolBar\\Explorer",
         "X"},
        {"MainValue",
         "X",
         "[HKEY_CURRENT_USER\\" + kIE + "\\Main]\n\"X\"=\"http://evil.example/\"\n" +
             "[HKEY_LOCAL_MACHINE\\" + kIE + "]\n\"X\"=\"decoy\"\n",
         {"HKCU\\" + kIE + "\\Main \"X\"=\"http://evil.example/\""},
         HKEY_LOCAL_MACHINE,
         kIE,
         "X"},
        {"IEValue",
         "X",
         "[HKEY_LOCAL_MACHINE\\" + kIE + "]\n\"X\"=\"a\"\n[HKEY_CURRENT_USER\\" + kIE +
             "]\n\"X\"=dword:00000001\n[HKEY_CURRENT_USER\\" + kIE + "\\Main]\n\"X\"=\"decoy\"\n",
         {"HKLM\\" + kIE + " \"X\"=\"a\"", "HKCU\\" + kIE + " \"X\""},
         HKEY_CURRENT_USER,
         kIE + "\\Main",
         "X"},
        {"ModuleUsageKey",
         "C:\\W\\x.dll",
         "[HKEY_LOCAL_MACHINE\\" + kCV + "\\ModuleUsage\\C:/W/x.dll]\n[HKEY_LOCAL_MACHINE\\" + kCV +
             "\\ModuleUsage\\C:/W/y.dll]\n",
         {"HKLM\\" + kCV + "\\ModuleUsage\\C:/W/x.dll"},
         HKEY_LOCAL_MACHINE,
         kCV + "\\ModuleUsage\\C:/W/y.dll",
         nullptr},
        {"SharedDLLsValue",
         "C:\\W\\x.dll",
         "[HKEY_LOCAL_MACHINE\\" + kCV + "\\SharedDLLs]\n\"C:\\\\W\\\\x.dll\"=dword:1\n" +
             "\"C:\\\\W\\\\y.dll\"=dword:1\n",
         {"HKLM\\" + kCV + "\\SharedDLLs \"C:\\W\\x.dll\""},
         HKEY_LOCAL_MACHINE,
         kCV + "\\SharedDLLs",
         "C:\\W\\y.dll"},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.word);
        test::PlatformRig rig;
        rig.image.Reg("10-test.reg", c.reg);
        Context& ctx = rig.Load();
        EXPECT_EQ(ExecFunc(ctx, c.word, {c.param}, Mode::Scan), 1);
        EXPECT_EQ(Of(ctx.report().found()), c.found);
        EXPECT_EQ(ExecFunc(ctx, c.word, {c.param}, Mode::Cure), 1);
        ctx.report().ClearAll();
        EXPECT_EQ(ExecFunc(ctx, c.word, {c.param}, Mode::Scan), 0);  // all gone
        EXPECT_TRUE(Of(ctx.report().failed()).empty());
        RegValue v;
        EXPECT_EQ(c.decoyValue ? rig.raw().QueryValue(c.decoyHive, c.decoyKey, c.decoyValue, v)
                               : rig.raw().OpenKey(c.decoyHive, c.decoyKey),
                  ERROR_SUCCESS);
    }
}

TEST_F(RegistryPlaces, CureTriesEveryPlaceAndReportsTheOnesThatStay) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Evil]\n[HKEY_CURRENT_USER\\Software\\Evil]\n"
        "[HKEY_LOCAL_MACHINE\\" +
        kIE + "\\Main]\n\"Evil\"=\"x\"\n" + "[HKEY_CURRENT_USER\\" + kIE +
        "\\Main]\n\"Evil\"=\"y\"\n");
    rig.faults().hook = [](const test::RegCall& c) {
        const bool deletes = c.op == "DeleteTree" || c.op == "DeleteValue";
        return deletes && c.root == HKEY_LOCAL_MACHINE ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey Evil ", Mode::Cure), 1);
    EXPECT_EQ(RunScriptLine(ctx, "MainValue Evil ", Mode::Cure), 1);
    EXPECT_EQ(Failed(), (Texts{"HKLM\\Software\\Evil", "HKLM\\" + kIE + "\\Main \"Evil\""}));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Evil"));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kIE + "\\Main", "Evil"));
}

TEST_F(RegistryPlaces, NamesOfNothingNeverReachTheBaseKeys) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Kept]\n"
        "[HKEY_LOCAL_MACHINE\\" +
        kIE + "\\Main]\n@=\"default\"\n");
    for (const char* name : {"", "\\", " ", "\\\\ "}) {
        EXPECT_EQ(ExecFunc(ctx, "SoftwareKey", {name}, Mode::Scan), 0) << name;
        EXPECT_EQ(ExecFunc(ctx, "SoftwareKey", {name}, Mode::Cure), 0) << name;
        EXPECT_EQ(ExecFunc(ctx, "ServicesKey", {name}, Mode::Cure), 0) << name;
        EXPECT_EQ(ExecFunc(ctx, "MainValue", {name}, Mode::Cure), 0) << name;
    }
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Kept"));
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kIE + "\\Main", ""));
}

// ---- trusted-site domains

const std::string kDomains = kCV + "\\Internet Settings\\ZoneMap\\Domains";

std::string Domain(const char* root, const char* domain, const char* values) {
    return std::string("[") + root + "\\" + kDomains + "\\" + domain + "]\n" + values;
}

TEST_F(RegistryPlaces, DomainsKeyTakesOnlyTrustedSitesAndCuresBothHives) {
    Context& ctx = Load(Domain("HKEY_LOCAL_MACHINE", "evil.example", "\"*\"=dword:00000002\n") +
                        Domain("HKEY_CURRENT_USER", "evil.example", "\"*\"=dword:00000004\n") +
                        Domain("HKEY_CURRENT_USER", "text.example", "\"*\"=\"2\"\n") +
                        Domain("HKEY_CURRENT_USER", "http.example", "\"http\"=dword:00000002\n"));

    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey evil.example ", Mode::Scan), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\" + kDomains + "\\evil.example"}));
    EXPECT_EQ(DomainsKeyTrusted(ctx, "evil.example"), 1);  // a test: no new record
    EXPECT_EQ(Found().size(), 1u);
    for (const char* other : {"DomainsKey text.example ", "DomainsKey http.example "}) {
        EXPECT_EQ(RunScriptLine(ctx, other, Mode::Scan), 0) << other;
        EXPECT_EQ(RunScriptLine(ctx, other, Mode::Cure), 0) << other;
    }
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kDomains + "\\http.example"));

    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey evil.example ", Mode::Cure), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kDomains + "\\evil.example"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kDomains + "\\evil.example"));
}

// ---- context-menu extensions by data

class MenuExtByData : public RegistryPlaces {
  protected:
    const std::string menu = kIE + "\\MenuExt";
    Context& LoadMenu() {
        return Load(
            "[HKEY_LOCAL_MACHINE\\" + menu + "\\Evil &Search]\n" +
            "@=\"res://C:\\\\WINDOWS\\\\EvilMenu.dll/search.htm\"\n\"Contexts\"=dword:10\n" +
            "[HKEY_CURRENT_USER\\" + menu + "\\E&xport]\n@=\"res://EXCEL.EXE/3000\"\n" +
            "[HKEY_CURRENT_USER\\" + menu + "\\Evil &Copy]\n" +
            "@=\"res://evilmenu.dll/copy.htm\"\n\"Extra\"=\"EVILMENU.DLL\"\n");
    }
    const std::string copy = "HKCU\\" + menu + "\\Evil &Copy";
};

TEST_F(MenuExtByData, ScanCountsTheExtensionsCureDeletesValuesThenExtension) {
    Context& ctx = LoadMenu();
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData evilmenu.dll ", Mode::Scan), 2);
    EXPECT_EQ(
        Found(),
        (Texts{
            "HKLM\\" + menu + "\\Evil &Search \"\"=\"res://C:\\WINDOWS\\EvilMenu.dll/search.htm\"",
            copy + " \"\"=\"res://evilmenu.dll/copy.htm\"", copy + " \"Extra\"=\"EVILMENU.DLL\""}));
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData evilmenu.dll ", Mode::Scan), 0);

    rig.faults().ClearCalls();
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData EvilMenu.dll ", Mode::Cure), 2);
    Texts order;
    for (const test::RegCall& c : rig.faults().calls()) {
        if (c.op == "DeleteValue") order.push_back("value " + c.name);
        if (c.op == "DeleteTree") order.push_back("tree " + c.subKey);
    }
    EXPECT_EQ(order, (Texts{"value ", "tree " + menu + "\\Evil &Search", "value ", "value Extra",
                            "tree " + menu + "\\Evil &Copy"}));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, menu + "\\E&xport"));
    EXPECT_TRUE(Failed().empty());
}

TEST_F(MenuExtByData, ValueFailuresGoWithTheirExtensionOrStayWithIt) {
    Context& ctx = LoadMenu();
    bool treeDenied = false;
    rig.faults().hook = [&](const test::RegCall& c) {
        const bool denied = c.op == "DeleteValue" || (c.op == "DeleteTree" && treeDenied);
        return denied && c.root == HKEY_CURRENT_USER ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    treeDenied = true;
    EXPECT_EQ(CureMenuExtKeyByData(ctx, "evilmenu.dll"), 2);
    EXPECT_EQ(Failed(), (Texts{copy + " \"\"", copy + " \"Extra\"", copy}));

    treeDenied = false;  // the extension goes now, and its value failures with it
    EXPECT_EQ(CureMenuExtKeyByData(ctx, "evilmenu.dll"), 1);
    // (The key failure of the first attempt is the key cure's own record.)
    EXPECT_EQ(Failed(), (Texts{copy}));
    EXPECT_NE(rig.debug.Text().find("RollBack... "), std::string::npos);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, menu + "\\Evil &Copy"));
}

// ---- the fixed-place words DeleteHostfile and Adtomi

TEST_F(RegistryPlaces, DeleteHostfileAndAdtomiRunByMode) {
    const std::string hosts = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";
    rig.image.File(hosts, "127.0.0.1 a\r\n");
    rig.image.File("C:\\WINDOWS\\k3j9x2m1.exe", std::string(697344, 'x'));
    Context& ctx = Load("[HKEY_CURRENT_USER\\" + kCV +
                        "\\Run]\n\"k3\"=\"C:\\\\WINDOWS\\\\k3j9x2m1.exe /dk\"\n");
    std::uint32_t attributes = 0;

    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", Mode::Scan), 0);
    EXPECT_EQ(ctx.files().GetAttributes(hosts, attributes), ERROR_SUCCESS);
    EXPECT_EQ(RunScriptLine(ctx, "Adtomi ", Mode::Scan), 1);
    EXPECT_EQ(Found().size(), 2u);

    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", Mode::Cure), 1);
    EXPECT_EQ(ctx.files().GetAttributes(hosts, attributes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", Mode::Cure), 1);  // nothing left: still done
    EXPECT_EQ(RunScriptLine(ctx, "Adtomi ", Mode::Cure), 1);
    EXPECT_EQ(ctx.files().GetAttributes("C:\\WINDOWS\\k3j9x2m1.exe", attributes),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kCV + "\\Run", "k3"));
    EXPECT_TRUE(Failed().empty());
}

}  // namespace
}  // namespace veldan::commands
