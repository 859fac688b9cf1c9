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

class RegistryPlaces : public ::testing::Test {
  protected:
    Context& Load(std::string_view regText) {
        rig.image.Reg("10-test.reg", regText);
        Context& ctx = rig.Load();
        platform::InitFolderTable(ctx);
        return ctx;
    }
    bool Exists(HKEY hive, std::string_view key) {
        return rig.raw().OpenKey(hive, key) == ERROR_SUCCESS;
    }
    bool HasValue(HKEY hive, std::string_view key, std::string_view name) {
        RegValue v;
        return rig.raw().QueryValue(hive, key, name, v) == ERROR_SUCCESS;
    }
    static Texts Of(const platform::ScanItemList& list, std::vector<int>* types = nullptr) {
        Texts out;
        for (const platform::CScanItem& item : list.items()) {
            out.push_back(item.text);
            if (types) types->push_back(item.type);
        }
        return out;
    }
    Texts Found(std::vector<int>* types = nullptr) { return Of(rig.ctx->report().found(), types); }
    Texts Failed() { return Of(rig.ctx->report().failed()); }

    test::PlatformRig rig;
};

const std::string kIE = "Software\\Microsoft\\Internet Explorer";
const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion";

// ---- named keys and values

TEST_F(RegistryPlaces, SoftwareKeyLooksInTheMachineUserAndDefaultUserHives) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Evil]\n"
        "[HKEY_CURRENT_USER\\Software\\Evil\\Sub]\n"
        "[HKEY_USERS\\.DEFAULT\\Software\\Evil]\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Evilish]\n");

    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", 1), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\Software\\evil", "HKCU\\Software\\evil",
                              "HKU\\.Default\\Software\\evil"}));
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", 1), 0);  // nothing new

    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", 0), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "Software\\Evil"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Evil"));
    EXPECT_FALSE(Exists(HKEY_USERS, ".DEFAULT\\Software\\Evil"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Evilish"));
    // Absent everywhere now: still done, nothing failed.
    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey evil ", 0), 1);
    EXPECT_TRUE(Failed().empty());
}

TEST_F(RegistryPlaces, ServicesKeyRecordsOnlyTheControlSetThatHasTheService) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\evilsvc]\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\goodsvc]\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003\\Enum\\Root\\LEGACY_EVILSVC]\n");

    EXPECT_EQ(RunScriptLine(ctx, "ServicesKey evilsvc ", 1), 1);
    EXPECT_EQ(RunScriptLine(ctx, "EnumRootKey LEGACY_EVILSVC ", 1), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\SYSTEM\\ControlSet002\\Services\\evilsvc",
                              "HKLM\\System\\ControlSet003\\enum\\root\\LEGACY_EVILSVC"}));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\evilsvc"));

    EXPECT_EQ(RunScriptLine(ctx, "ServicesKey evilsvc ", 0), 1);
    EXPECT_EQ(RunScriptLine(ctx, "EnumRootKey LEGACY_EVILSVC ", 0), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\evilsvc"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet003\\Enum\\Root\\LEGACY_EVILSVC"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\goodsvc"));
}

TEST_F(RegistryPlaces, ExtensionsKeyTakesTheThreeKeysAndTheCommandMappingValues) {
    const std::string ext = kIE + "\\Extensions";
    Context& ctx =
        Load("[HKEY_CURRENT_USER\\" + ext + "\\{EVIL}]\n" + "[HKEY_USERS\\.DEFAULT\\" + ext +
             "\\{EVIL}]\n" + "[HKEY_LOCAL_MACHINE\\" + ext +
             "\\CmdMapping]\n\"{EVIL}\"=dword:00002001\n" + "\"{GOOD}\"=dword:00002002\n" +
             "[HKEY_CURRENT_USER\\" + ext + "\\CmdMapping]\n\"{EVIL}\"=\"8193\"\n");

    std::vector<int> types;
    EXPECT_EQ(RunScriptLine(ctx, "ExtensionsKey {EVIL} ", 1), 1);
    EXPECT_EQ(Found(&types),
              (Texts{"HKCU\\" + ext + "\\{EVIL}", "HKU\\.DEFAULT\\" + ext + "\\{EVIL}",
                     "HKLM\\" + ext + "\\CmdMapping \"{EVIL}\"",
                     "HKCU\\" + ext + "\\CmdMapping \"{EVIL}\"=\"8193\""}));
    EXPECT_EQ(types, (std::vector<int>{platform::REGKEY, platform::REGKEY, platform::REGVAL,
                                       platform::REGDAT}));

    EXPECT_EQ(RunScriptLine(ctx, "ExtensionsKey {EVIL} ", 0), 1);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, ext + "\\{EVIL}"));
    EXPECT_FALSE(Exists(HKEY_USERS, ".DEFAULT\\" + ext + "\\{EVIL}"));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, ext + "\\CmdMapping", "{EVIL}"));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, ext + "\\CmdMapping", "{EVIL}"));
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, ext + "\\CmdMapping", "{GOOD}"));
}

// One word, a line of its places planted and one decoy beside them.
struct PlaceCase {
    const char* word;
    std::string reg;
    Texts found;
    HKEY decoyHive;
    std::string decoyKey;
    const char* decoyValue;  // null: the key itself is the decoy
};

TEST_F(RegistryPlaces, EachWordLooksAtItsOwnPlaces) {
    const std::vector<PlaceCase> cases = {
        {"UninstallKey",
         "[HKEY_CURRENT_USER\\" + kCV + "\\Uninstall\\X]\n[HKEY_LOCAL_MACHINE\\" + kCV +
             "\\App Management\\ARPCache\\X]\n[HKEY_CURRENT_USER\\" + kCV + "\\Run\\X]\n",
         {"HKCU\\" + kCV + "\\Uninstall\\X", "HKLM\\" + kCV + "\\App Management\\ARPCache\\X"},
         HKEY_CURRENT_USER,
         kCV + "\\Run\\X",
         nullptr},
        {"MenuExtKey",
         "[HKEY_LOCAL_MACHINE\\" + kIE + "\\MenuExt\\X]\n[HKEY_CURRENT_USER\\" + kIE +
             "\\MenuExt\\X]\n[HKEY_USERS\\.DEFAULT\\" + kIE + "\\MenuExt\\X]\n",
         {"HKLM\\" + kIE + "\\MenuExt\\X", "HKCU\\" + kIE + "\\MenuExt\\X"},
         HKEY_USERS,
         ".DEFAULT\\" + kIE + "\\MenuExt\\X",
         nullptr},
        {"ToolbarValue",
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
         "[HKEY_CURRENT_USER\\" + kIE +
             "\\Main]\n\"X\"=\"http://evil.example/\"\n[HKEY_LOCAL_MACHINE\\" + kIE +
             "]\n\"X\"=\"decoy\"\n",
         {"HKCU\\" + kIE + "\\Main \"X\"=\"http://evil.example/\""},
         HKEY_LOCAL_MACHINE,
         kIE,
         "X"},
        {"IEValue",
         "[HKEY_LOCAL_MACHINE\\" + kIE + "]\n\"X\"=\"a\"\n[HKEY_CURRENT_USER\\" + kIE +
             "]\n\"X\"=dword:00000001\n[HKEY_CURRENT_USER\\" + kIE + "\\Main]\n\"X\"=\"decoy\"\n",
         {"HKLM\\" + kIE + " \"X\"=\"a\"", "HKCU\\" + kIE + " \"X\""},
         HKEY_CURRENT_USER,
         kIE + "\\Main",
         "X"},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.word);
        test::PlatformRig one;
        one.image.Reg("10-test.reg", c.reg);
        Context& ctx = one.Load();
        EXPECT_EQ(ExecFunc(ctx, c.word, {"X"}, 1), 1);
        EXPECT_EQ(Of(ctx.report().found()), c.found);
        EXPECT_EQ(ExecFunc(ctx, c.word, {"X"}, 0), 1);
        ctx.report().ClearAll();
        EXPECT_EQ(ExecFunc(ctx, c.word, {"X"}, 1), 0);  // all gone
        EXPECT_EQ(Of(ctx.report().failed()), Texts{});
        // The decoy is no place of the word and stays.
        RegValue v;
        EXPECT_EQ(c.decoyValue ? one.raw().QueryValue(c.decoyHive, c.decoyKey, c.decoyValue, v)
                               : one.raw().OpenKey(c.decoyHive, c.decoyKey),
                  ERROR_SUCCESS);
    }
}

TEST_F(RegistryPlaces, ModuleUsageKeyAndSharedDllsValueNameTheFilePath) {
    Context& ctx = Load("[HKEY_LOCAL_MACHINE\\" + kCV +
                        "\\ModuleUsage\\C:/WINDOWS/evil.dll]\n[HKEY_LOCAL_MACHINE\\" + kCV +
                        "\\SharedDLLs]\n\"C:\\\\WINDOWS\\\\evil.dll\"=dword:00000001\n");

    EXPECT_EQ(RunScriptLine(ctx, "ModuleUsageKey C:\\WINDOWS\\evil.dll ", 1), 1);
    EXPECT_EQ(RunScriptLine(ctx, "SharedDLLsValue C:\\WINDOWS\\evil.dll ", 1), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\" + kCV + "\\ModuleUsage\\C:/WINDOWS/evil.dll",
                              "HKLM\\" + kCV + "\\SharedDLLs \"C:\\WINDOWS\\evil.dll\""}));
    EXPECT_EQ(RunScriptLine(ctx, "ModuleUsageKey C:\\WINDOWS\\evil.dll ", 0), 1);
    EXPECT_EQ(RunScriptLine(ctx, "SharedDLLsValue C:\\WINDOWS\\evil.dll ", 0), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kCV + "\\ModuleUsage\\C:/WINDOWS/evil.dll"));
    EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kCV + "\\SharedDLLs", "C:\\WINDOWS\\evil.dll"));
}

TEST_F(RegistryPlaces, CureTriesEveryPlaceAndReportsTheOnesThatStay) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Evil]\n[HKEY_CURRENT_USER\\Software\\Evil]\n"
        "[HKEY_LOCAL_MACHINE\\" +
        kIE +
        "\\Main]\n\"Evil\"=\"x\"\n"
        "[HKEY_CURRENT_USER\\" +
        kIE + "\\Main]\n\"Evil\"=\"y\"\n");
    rig.faults().hook = [](const test::RegCall& c) {
        const bool denied =
            c.root == HKEY_LOCAL_MACHINE && (c.op == "DeleteTree" || c.op == "DeleteValue");
        return denied ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };

    EXPECT_EQ(RunScriptLine(ctx, "SoftwareKey Evil ", 0), 1);
    EXPECT_EQ(RunScriptLine(ctx, "MainValue Evil ", 0), 1);
    EXPECT_EQ(Failed(), (Texts{"HKLM\\Software\\Evil", "HKLM\\" + kIE + "\\Main \"Evil\""}));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Evil"));
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kIE + "\\Main", "Evil"));
}

TEST_F(RegistryPlaces, NamesOfNothingNeverReachTheBaseKeys) {
    Context& ctx = Load(
        "[HKEY_LOCAL_MACHINE\\Software\\Kept]\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Kept]\n"
        "[HKEY_LOCAL_MACHINE\\" +
        kIE + "\\Main]\n@=\"default\"\n");

    for (const char* name : {"", "\\", " ", "\\\\ "}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ExecFunc(ctx, "SoftwareKey", {name}, 1), 0);
        EXPECT_EQ(ExecFunc(ctx, "SoftwareKey", {name}, 0), 0);
        EXPECT_EQ(ExecFunc(ctx, "ServicesKey", {name}, 0), 0);
        EXPECT_EQ(ExecFunc(ctx, "MainValue", {name}, 0), 0);
    }
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Kept"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Kept"));
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kIE + "\\Main", ""));
    EXPECT_TRUE(Found().empty());
}

// ---- trusted-site domains

const std::string kDomains = kCV + "\\Internet Settings\\ZoneMap\\Domains";

std::string Domain(std::string_view root, std::string_view domain, std::string_view values) {
    return "[" + std::string(root) + "\\" + kDomains + "\\" + std::string(domain) + "]\n" +
           std::string(values);
}

TEST_F(RegistryPlaces, DomainsKeyFindsOnlyTrustedSiteEntries) {
    Context& ctx = Load(Domain("HKEY_LOCAL_MACHINE", "evil.example", "\"*\"=dword:00000002\n") +
                        Domain("HKEY_CURRENT_USER", "evil.example", "\"*\"=dword:00000004\n") +
                        Domain("HKEY_CURRENT_USER", "text.example", "\"*\"=\"2\"\n") +
                        Domain("HKEY_CURRENT_USER", "http.example", "\"http\"=dword:00000002\n"));

    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey evil.example ", 1), 1);
    EXPECT_EQ(Found(), (Texts{"HKLM\\" + kDomains + "\\evil.example"}));
    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey text.example ", 1), 0);
    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey http.example ", 1), 0);
    // Without reporting: only the test.
    EXPECT_EQ(ScanDomainsKey(ctx, "evil.example", 0), 1);
    EXPECT_EQ(Found().size(), 1u);
}

TEST_F(RegistryPlaces, DomainsKeyCureRemovesTheDomainFromBothHivesWhenEitherTrustsIt) {
    Context& ctx = Load(Domain("HKEY_LOCAL_MACHINE", "evil.example", "\"*\"=dword:00000002\n") +
                        Domain("HKEY_CURRENT_USER", "evil.example", "\"*\"=dword:00000001\n") +
                        Domain("HKEY_CURRENT_USER", "bad.example", "\"*\"=dword:00000004\n"));

    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey bad.example ", 0), 0);
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kDomains + "\\bad.example"));
    EXPECT_EQ(RunScriptLine(ctx, "DomainsKey evil.example ", 0), 1);
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kDomains + "\\evil.example"));
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kDomains + "\\evil.example"));
    EXPECT_TRUE(Found().empty());
}

// ---- context-menu extensions by data

class MenuExtByData : public RegistryPlaces {
  protected:
    const std::string menu = kIE + "\\MenuExt";
    Context& LoadMenu() {
        return Load(
            "[HKEY_LOCAL_MACHINE\\" + menu + "\\Evil &Search]\n" +
            "@=\"res://C:\\\\WINDOWS\\\\EvilMenu.dll/search.htm\"\n" +
            "\"Contexts\"=dword:00000010\n" + "[HKEY_CURRENT_USER\\" + menu +
            "\\E&xport]\n@=\"res://EXCEL.EXE/3000\"\n" + "[HKEY_CURRENT_USER\\" + menu +
            "\\Evil &Copy]\n" +
            "@=\"res://C:\\\\WINDOWS\\\\evilmenu.dll/copy.htm\"\n\"Extra\"=\"EVILMENU.DLL\"\n");
    }
};

TEST_F(MenuExtByData, ScanCountsTheExtensionsCureDeletesThem) {
    Context& ctx = LoadMenu();
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData evilmenu.dll ", 1), 2);
    EXPECT_EQ(
        Found(),
        (Texts{
            "HKLM\\" + menu + "\\Evil &Search \"\"=\"res://C:\\WINDOWS\\EvilMenu.dll/search.htm\"",
            "HKCU\\" + menu + "\\Evil &Copy \"\"=\"res://C:\\WINDOWS\\evilmenu.dll/copy.htm\"",
            "HKCU\\" + menu + "\\Evil &Copy \"Extra\"=\"EVILMENU.DLL\""}));
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData evilmenu.dll ", 1), 0);

    rig.faults().ClearCalls();
    EXPECT_EQ(RunScriptLine(ctx, "MenuExtKeyByData EvilMenu.dll ", 0), 2);
    Texts order;  // values first, then their extension
    for (const test::RegCall& c : rig.faults().calls()) {
        if (c.op == "DeleteValue") order.push_back("value " + c.name);
        if (c.op == "DeleteTree") order.push_back("tree " + c.subKey);
    }
    EXPECT_EQ(order, (Texts{"value ", "tree " + menu + "\\Evil &Search", "value ", "value Extra",
                            "tree " + menu + "\\Evil &Copy"}));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, menu + "\\E&xport"));
    EXPECT_TRUE(Failed().empty());
}

TEST_F(MenuExtByData, ValueFailuresAreWithdrawnWhenTheExtensionGoes) {
    Context& ctx = LoadMenu();
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureMenuExtKeyByData(ctx, "evilmenu.dll"), 2);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, menu + "\\Evil &Copy"));
    EXPECT_TRUE(Failed().empty());
    EXPECT_NE(rig.debug.Text().find("RollBack... "), std::string::npos);
}

TEST_F(MenuExtByData, FailuresStayWhenTheExtensionStays) {
    Context& ctx = LoadMenu();
    rig.faults().hook = [this](const test::RegCall& c) {
        const bool copy = c.root == HKEY_CURRENT_USER && c.subKey == menu + "\\Evil &Copy";
        return copy && (c.op == "DeleteValue" || c.op == "DeleteTree") ? ERROR_ACCESS_DENIED
                                                                       : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureMenuExtKeyByData(ctx, "evilmenu.dll"), 2);
    EXPECT_EQ(Failed(), (Texts{"HKCU\\" + menu + "\\Evil &Copy \"\"",
                               "HKCU\\" + menu + "\\Evil &Copy \"Extra\"",
                               "HKCU\\" + menu + "\\Evil &Copy"}));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, menu + "\\Evil &Search"));
}

// ---- the fixed-place words of the same table (DeleteHostfile, Adtomi)

TEST_F(RegistryPlaces, DeleteHostfileAndAdtomiRunByMode) {
    rig.image.File("C:\\WINDOWS\\system32\\drivers\\etc\\hosts", "127.0.0.1 a\r\n");
    rig.image.File("C:\\WINDOWS\\k3j9x2m1.exe", std::string(697344, 'x'));
    Context& ctx = Load("[HKEY_CURRENT_USER\\" + kCV + "\\Run]\n" +
                        "\"k3\"=\"C:\\\\WINDOWS\\\\k3j9x2m1.exe /dk\"\n");
    std::uint32_t attributes = 0;
    const std::string hosts = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";

    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", 1), 0);
    EXPECT_EQ(ctx.files().GetAttributes(hosts, attributes), ERROR_SUCCESS);
    EXPECT_EQ(RunScriptLine(ctx, "Adtomi ", 1), 1);
    EXPECT_EQ(Found().size(), 2u);

    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", 0), 1);
    EXPECT_EQ(ctx.files().GetAttributes(hosts, attributes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RunScriptLine(ctx, "DeleteHostfile ", 0), 1);  // nothing left: still done
    EXPECT_EQ(RunScriptLine(ctx, "Adtomi ", 0), 1);
    EXPECT_EQ(ctx.files().GetAttributes("C:\\WINDOWS\\k3j9x2m1.exe", attributes),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, kCV + "\\Run", "k3"));
    EXPECT_TRUE(Failed().empty());
}

}  // namespace
}  // namespace veldan::commands
