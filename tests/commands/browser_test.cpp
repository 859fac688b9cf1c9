// The browser setting commands run through the dispatcher on machine images:
// what each check accepts as the browser's own settings, what it records, and
// what a repair leaves in the registry.

#include <gtest/gtest.h>

#include <optional>

#include "commands/browser.h"
#include "engine/dispatch.h"
#include "platform/folders.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::commands {
namespace {

using namespace machine;
using platform::Context;
using Strings = std::vector<std::string>;

const std::string kMain = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kToolBar = "Software\\Microsoft\\Internet Explorer\\ToolBar";
const std::string kHooks = "Software\\Microsoft\\Internet Explorer\\URLSearchHooks";
const std::string kStyles = "Software\\Microsoft\\Internet Explorer\\Styles";
const std::string kBho =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const std::string kPrefixes = "Software\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";

const std::string kHome6 = "http://www.veldan.test/isapi/redir.dll?prd=ie&pver=6&ar=msnhome";
const std::string kSearch = "http://www.veldan.test/isapi/redir.dll?prd=ie&ar=iesearch";
const std::string kStart =
    "http://www.veldan.test/isapi/"
    "redir.dll?prd={SUB_PRD}&clcid={SUB_CLSID}&pver={SUB_PVER}&ar=home";

// Class identifiers of the toolbar, helper object and hook fixtures.
const std::string kNoServer = "{11111111-1111-1111-1111-111111111111}";
const std::string kGood = "{22222222-2222-2222-2222-222222222222}";
const std::string kGone = "{33333333-3333-3333-3333-333333333333}";
const std::string kPadded = "{44444444-4444-4444-4444-44444444444a}";

// HKCR class registrations: kGood's server exists, kGone's and kPadded's do not.
const char kClasses[] = R"(
[HKEY_CLASSES_ROOT\CLSID\{11111111-1111-1111-1111-111111111111}\InprocServer32]
"ThreadingModel"="Apartment"
[HKEY_CLASSES_ROOT\CLSID\{22222222-2222-2222-2222-222222222222}\InprocServer32]
@=" C:\\Program Files\\Good\\good.dll "
[HKEY_CLASSES_ROOT\CLSID\{33333333-3333-3333-3333-333333333333}\InprocServer32]
@="C:\\Program Files\\Gone\\gone.dll"
[HKEY_CLASSES_ROOT\CLSID\{44444444-4444-4444-4444-44444444444A}\InprocServer32]
@="C:\\Program Files\\Gone\\padded.dll"
[HKEY_CLASSES_ROOT\CLSID\{8E718888-423F-11D2-876E-00A0C9082467}\InprocServer32]
@="C:\\Program Files\\Gone\\radio.dll"
)";

class Browser : public ::testing::Test {
  protected:
    Context& Load(std::string_view reg) {
        rig.image.Reg("50-test.reg", reg);
        rig.image.File("C:\\Program Files\\Good\\good.dll");
        Context& ctx = rig.Load();
        platform::InitFolderTable(ctx);
        return ctx;
    }
    int Run(std::string_view word, bool scan, Strings params = {}) {
        return engine::ExecFunc(*rig.ctx, word, params, scan ? Mode::Scan : Mode::Cure);
    }
    Strings Found() {
        Strings out;
        for (const auto& i : rig.ctx->report().found().items()) out.push_back(i.text);
        return out;
    }
    Strings Failed() {
        Strings out;
        for (const auto& i : rig.ctx->report().failed().items()) out.push_back(i.text);
        return out;
    }
    std::optional<RegValue> Get(HKEY hive, std::string_view key, std::string_view name) {
        RegValue v;
        if (rig.raw().QueryValue(hive, key, name, v) != ERROR_SUCCESS) return std::nullopt;
        return v;
    }
    std::string Str(HKEY hive, std::string_view key, std::string_view name) {
        auto v = Get(hive, key, name);
        return v ? v->AsString() : "<absent>";
    }
    bool HasKey(HKEY hive, std::string_view key) {
        return rig.raw().OpenKey(hive, key) == ERROR_SUCCESS;
    }
    void Set(HKEY hive, std::string_view key, std::string_view name, const RegValue& v) {
        ASSERT_EQ(rig.raw().CreateKey(hive, key), ERROR_SUCCESS);
        ASSERT_EQ(rig.raw().SetValue(hive, key, name, v), ERROR_SUCCESS);
    }
    test::PlatformRig rig;
};

// ---- start and search pages

const char kStockPages[] = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Main]
"Default_Page_URL"="http://www.veldan.test/isapi/redir.dll?prd=ie&pver=6&ar=msnhome"
"Default_Search_URL"="http://www.veldan.test/isapi/redir.dll?prd=ie&ar=iesearch"
"Local Page"="%SYSTEMROOT%\\System32\\blank.htm"
"Search Page"="http://www.veldan.test/isapi/redir.dll?prd=ie&ar=iesearch"
"Start Page"="http://www.veldan.test/isapi/redir.dll?prd={SUB_PRD}&clcid={SUB_CLSID}&pver={SUB_PVER}&ar=home"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Search]
@=""
"CustomizeSearch"="http://search.veldan.test/{SUB_RFC1766}/srchasst/srchcust.htm"
"SearchAssistant"="http://search.veldan.test/{SUB_RFC1766}/srchasst/srchasst.htm"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\SearchUrl]
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Local Page"="c:\\windows\\SYSTEM32\\BLANK.HTM"
"Search Page"="http://www.veldan.test/isapi/redir.dll?prd=ie&ar=iesearch"
"Start Page"="http://own.choice.test/"
)";

const char kHijackedPages[] = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Main]
"Default_Page_URL"="http://hijack.test/"
"Local Page"=dword:00000001
"Search Page"="http://hijack.test/s"
"Start Page"="http://hijack.test/"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Search]
@="http://hijack.test/bar"
"SearchAssistant"="http://hijack.test/bar"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\SearchUrl]
@="http://hijack.test/?q=%s"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Default_Page_URL"="http://www.veldan.test/isapi/redir.dll?prd=ie&pver=6&ar=msnhome"
"Default_Search_URL"=""
"Local Page"="%SystemRoot%\\system32\\blank.htm"
"Start Page"="http://own.choice.test/"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Search\Sub]
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\SearchUrl]
@="http://hijack.test/u?q=%s"
)";

TEST_F(Browser, StockPagesPassInAnyLetterCase) {
    Load(kStockPages);
    EXPECT_EQ(Run("CheckStartSearchPages", true), 0);
    EXPECT_EQ(Found(), Strings{});
    EXPECT_EQ(rig.debug.Text(), "");
}

TEST_F(Browser, EveryChangedPageIsRecordedInStepOrder) {
    Load(kHijackedPages);
    EXPECT_EQ(Run("CheckStartSearchPages", true), 1);
    const std::string lm = "HKLM\\Software\\Microsoft\\Internet Explorer\\";
    const std::string cu = "HKCU\\Software\\Microsoft\\Internet Explorer\\";
    EXPECT_EQ(Found(), (Strings{
                           lm + "Main \"Default_Page_URL\"=\"http://hijack.test/\"",
                           lm + "Main \"Default_Search_URL\"",
                           lm + "Main \"Local Page\"",
                           lm + "Main \"Search Page\"=\"http://hijack.test/s\"",
                           lm + "Main \"Start Page\"=\"http://hijack.test/\"",
                           lm + "Search \"\"=\"http://hijack.test/bar\"",
                           lm + "Search \"CustomizeSearch\"",
                           lm + "Search \"SearchAssistant\"=\"http://hijack.test/bar\"",
                           lm + "SearchUrl \"\"=\"http://hijack.test/?q=%s\"",
                           cu + "Main \"Default_Page_URL\"=\"" + kHome6 + "\"",
                           cu + "Main \"Default_Search_URL\"=\"\"",
                           cu + "Main \"Local Page\"=\"%SystemRoot%\\system32\\blank.htm\"",
                           cu + "Main \"Search Page\"",
                           cu + "Search",
                           cu + "SearchUrl \"\"=\"http://hijack.test/u?q=%s\"",
                       }));
    EXPECT_EQ(rig.ctx->report().found().At(2).type, platform::REGVAL);  // a DWORD
    EXPECT_EQ(Run("CheckStartSearchPages", true), 0);                   // nothing new
}

TEST_F(Browser, DefaultPageAcceptsTheFourStockPages) {
    Load(kStockPages);
    const std::string lm = "HKLM\\" + kMain;
    const std::pair<std::string, int> cases[] = {
        {"http://WWW.VELDAN.TEST/isapi/redir.dll?prd=ie&pver=5.5&ar=msnhome", 0},
        {"http://home.veldan.test/", 0},
        {"x res://shdoclc.dll/softAdmin.htm", 0},
        {"res://shdoclc.dll/softAdmin.htm", 1},  // the leading blank is part of the page
        {"http://www.veldan.test/isapi/redir.dll?prd=ie&pver=7&ar=msnhome", 1},
    };
    for (const auto& [page, found] : cases) {
        rig.ctx->report().ClearAll();
        Set(HKEY_LOCAL_MACHINE, kMain, "Default_Page_URL", RegValue::String(page));
        EXPECT_EQ(Run("CheckStartSearchPages", true), found) << page;
    }
}

TEST_F(Browser, LocalPageIsTheSystemFoldersBlankPage) {
    rig.image.Ini("[machine]\nos=9x\n");
    Load(kStockPages);
    ASSERT_EQ(rig.ctx->folders().SYSDIR, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(BlankLocalPageEnv(rig.ctx->folders()), "%SystemRoot%\\system\\blank.htm");
    Set(HKEY_CURRENT_USER, kMain, "Local Page", RegValue::String("C:\\WINDOWS\\SYSTEM\\blank.htm"));
    const std::pair<std::string, int> cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\blank.htm", 0},
        {"%systemroot%\\SYSTEM\\Blank.htm", 0},
        {"C:\\WINDOWS\\system32\\blank.htm", 1},
        {"C:\\Hijack\\blank.htm", 1},
    };
    for (const auto& [page, found] : cases) {
        rig.ctx->report().ClearAll();
        Set(HKEY_LOCAL_MACHINE, kMain, "Local Page", RegValue::String(page));
        EXPECT_EQ(Run("CheckStartSearchPages", true), found) << page;
    }
}

TEST_F(Browser, RepairWritesTheStockPagesAndRemovesTheUsersOverrides) {
    Load(kHijackedPages);
    EXPECT_EQ(Run("CheckStartSearchPages", false), 1);
    const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
    const std::string search = "Software\\Microsoft\\Internet Explorer\\Search";
    const std::string searchUrl = "Software\\Microsoft\\Internet Explorer\\SearchUrl";
    EXPECT_EQ(Str(lm, kMain, "Default_Page_URL"), kHome6);
    EXPECT_EQ(Str(lm, kMain, "Default_Search_URL"), kSearch);
    EXPECT_EQ(Str(lm, kMain, "Local Page"), "%SystemRoot%\\system32\\blank.htm");
    EXPECT_EQ(Get(lm, kMain, "Local Page")->type, REG_SZ);
    EXPECT_EQ(Str(lm, kMain, "Search Page"), kSearch);
    EXPECT_EQ(Str(lm, kMain, "Start Page"), kStart);
    EXPECT_EQ(Str(lm, search, ""), "");
    EXPECT_EQ(Str(lm, search, "CustomizeSearch"),
              "http://search.veldan.test/{SUB_RFC1766}/srchasst/srchcust.htm");
    EXPECT_EQ(Str(lm, search, "SearchAssistant"),
              "http://search.veldan.test/{SUB_RFC1766}/srchasst/srchasst.htm");
    EXPECT_EQ(Str(lm, searchUrl, ""), "");
    EXPECT_FALSE(Get(cu, kMain, "Default_Page_URL"));
    EXPECT_FALSE(Get(cu, kMain, "Default_Search_URL"));
    EXPECT_EQ(Str(cu, kMain, "Local Page"), "C:\\WINDOWS\\system32\\blank.htm");
    EXPECT_EQ(Str(cu, kMain, "Search Page"), kSearch);
    EXPECT_EQ(Str(cu, kMain, "Start Page"), "http://own.choice.test/");
    EXPECT_FALSE(HasKey(cu, search));
    EXPECT_EQ(Str(cu, searchUrl, ""), "");
    EXPECT_EQ(Failed(), Strings{});
    EXPECT_EQ(Run("CheckStartSearchPages", true), 0);
}

TEST_F(Browser, AFailedPageWriteIsReportedAndTheRepairGoesOn) {
    Load(kHijackedPages);
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "SetValue" && c.name == "Start Page" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(Run("CheckStartSearchPages", false), 1);
    EXPECT_EQ(Failed(), Strings{"HKLM\\" + kMain + " \"Start Page\"=\"" + kStart + "\""});
    EXPECT_EQ(rig.ctx->report().failed().At(0).type, platform::REGDAT);
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kMain, "Start Page"), "http://hijack.test/");
    EXPECT_EQ(Str(HKEY_CURRENT_USER, kMain, "Search Page"), kSearch);  // written after it
}

// ---- URL prefixes

const char kStockPrefixes[] = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\URL\DefaultPrefix]
@="http://"
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\URL\Prefixes]
"www"="http://"
"home"="http://"
"mosaic"="http://"
"ftp"="ftp://"
"gopher"="gopher://"
)";

TEST_F(Browser, CheckPrefixComparesExactly) {
    Load(kStockPrefixes);
    EXPECT_EQ(Run("CheckPrefix", true), 0);
    Set(HKEY_LOCAL_MACHINE, kPrefixes, "www", RegValue::String("HTTP://"));
    ASSERT_EQ(rig.raw().DeleteValue(HKEY_LOCAL_MACHINE, kPrefixes, "gopher"), ERROR_SUCCESS);
    EXPECT_EQ(Run("CheckPrefix", true), 1);
    EXPECT_EQ(Found(), (Strings{"HKLM\\" + kPrefixes + " \"www\"=\"HTTP://\"",
                                "HKLM\\" + kPrefixes + " \"gopher\""}));
    EXPECT_EQ(Run("WWWPrefix", true, {"hijack"}), 0);  // a text must be contained

    EXPECT_EQ(Run("CheckPrefix", false), 1);
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kPrefixes, "www"), "http://");
    EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, kPrefixes, "gopher"), "gopher://");
    rig.ctx->report().ClearAll();
    EXPECT_EQ(Run("CheckPrefix", true), 0);
}

TEST_F(Browser, EachPrefixCommandLooksAtItsOwnPlace) {
    Load(kStockPrefixes);
    const std::string defaultKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
    struct Case {
        const char* word;
        std::string key;
        const char* value;
        const char* standard;
    };
    const Case cases[] = {
        {"DefaultPrefix", defaultKey, "", "http://"},
        {"WWWPrefix", kPrefixes, "www", "http://"},
        {"HomePrefix", kPrefixes, "home", "http://"},
        {"MosaicPrefix", kPrefixes, "mosaic", "http://"},
        {"FTPPrefix", kPrefixes, "ftp", "ftp://"},
        {"GopherPrefix", kPrefixes, "gopher", "gopher://"},
    };
    for (const Case& c : cases) {
        Set(HKEY_LOCAL_MACHINE, c.key, c.value, RegValue::String("http://Hijack.test/?u="));
    }
    for (const Case& c : cases) {
        rig.ctx->report().ClearAll();
        EXPECT_EQ(Run(c.word, true, {"HIJACK.test"}), 1) << c.word;
        EXPECT_EQ(Found(),
                  Strings{"HKLM\\" + c.key + " \"" + c.value + "\"=\"http://Hijack.test/?u=\""})
            << c.word;
        EXPECT_EQ(Run(c.word, false, {"unrelated"}), 1) << c.word;  // written whatever it holds
        EXPECT_EQ(Str(HKEY_LOCAL_MACHINE, c.key, c.value), c.standard) << c.word;
        EXPECT_EQ(Run(c.word, true, {"hijack"}), 0) << c.word;
    }
}

// ---- toolbars, helper objects and search hooks

TEST_F(Browser, ToolbarValuesOfUnhealthyClassesAreRecordedAndRemovedEverywhere) {
    Load(std::string(kClasses) + R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\ToolBar]
"{8E718888-423F-11D2-876E-00A0C9082467}"="Radio"
"{11111111-1111-1111-1111-111111111111}"="no server named"
"{33333333-3333-3333-3333-333333333333}"="server gone"
"{22222222-2222-2222-2222-222222222222}"="server present"
"NotAClsid"=""
" {44444444-4444-4444-4444-44444444444a} "="padded"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\ToolBar\WebBrowser]
"{33333333-3333-3333-3333-333333333333}"=hex:01
"{22222222-2222-2222-2222-222222222222}"=hex:01
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\ToolBar\ShellBrowser]
"{33333333-3333-3333-3333-333333333333}"=hex:01
)");
    const std::string lm = "HKLM\\" + kToolBar;
    EXPECT_EQ(Run("CheckToolbar", true), 3);
    const Strings written{lm + " \"" + kGone + "\"=\"server gone\"", lm + " \"NotAClsid\"=\"\"",
                          lm + " \" " + kPadded + " \"=\"padded\""};
    // Wine lists the values in the order of their names.
    EXPECT_EQ(Found(), (test::OnWine() ? Strings{written[2], written[1], written[0]} : written));
    EXPECT_EQ(rig.debug.Text(), "CLSID... NOTACLSID\n");
    EXPECT_EQ(Run("CheckToolbar", true), 0);

    EXPECT_EQ(Run("CheckToolbar", false), 3);
    const HKEY cu = HKEY_CURRENT_USER;
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, kToolBar, kGone));
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, kToolBar, "NotAClsid"));
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, kToolBar, " " + kPadded + " "));
    EXPECT_FALSE(Get(cu, kToolBar + "\\WebBrowser", kGone));
    EXPECT_FALSE(Get(cu, kToolBar + "\\ShellBrowser", kGone));
    EXPECT_TRUE(Get(cu, kToolBar + "\\WebBrowser", kGood));
    for (const std::string& kept :
         {kGood, kNoServer, std::string("{8E718888-423F-11D2-876E-00A0C9082467}")}) {
        EXPECT_TRUE(Get(HKEY_LOCAL_MACHINE, kToolBar, kept)) << kept;
    }
    EXPECT_EQ(Failed(), Strings{});
}

TEST_F(Browser, ServerPathsAreResolvedAsTheLoaderResolvesThem) {
    rig.image.File("C:\\WINDOWS\\system32\\band.dll");
    Context& ctx = Load(kClasses);
    const std::pair<RegValue, bool> cases[] = {
        {RegValue::String("%SystemRoot%\\system32\\band.dll", REG_EXPAND_SZ), true},
        {RegValue::String("%SystemRoot%\\system32\\band.dll", REG_SZ), false},
        {RegValue::String("%SystemDrive%\\%Unknown%\\band.dll", REG_EXPAND_SZ), false},
        {RegValue::String("%windir%\\system32\\gone.dll", REG_EXPAND_SZ), false},
        {RegValue::String("band.dll"), true},
        {RegValue::String("gone.dll"), false},
    };
    for (const auto& [server, healthy] : cases) {
        Set(HKEY_CLASSES_ROOT, "CLSID\\" + kGone + "\\InprocServer32", "", server);
        EXPECT_EQ(IsHealthyClsid(ctx, kGone), healthy) << server.AsString();
    }
    EXPECT_EQ(rig.debug.Text(), "");
}

TEST_F(Browser, CheckBHORemovesOnlyHelperObjectsOfUnhealthyClasses) {
    Load(std::string(kClasses) + R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{22222222-2222-2222-2222-222222222222}]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{33333333-3333-3333-3333-333333333333}]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\bogus]
)");
    EXPECT_EQ(engine::RunScriptLine(*rig.ctx, "CheckBHO ", Mode::Scan), 2);
    // Sub-keys come in the order of their upper-cased names.
    EXPECT_EQ(Found(), (Strings{"HKLM\\" + kBho + "\\bogus", "HKLM\\" + kBho + "\\" + kGone}));
    EXPECT_EQ(rig.debug.Text(), "CLSID... bogus\n");
    EXPECT_EQ(Run("CheckBHO", true), 0);
    EXPECT_EQ(Run("CheckBHO", false), 2);
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, kBho + "\\" + kGone));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, kBho + "\\bogus"));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, kBho + "\\" + kGood));
}

TEST_F(Browser, SearchHooksAreRepairedInTheUserHiveFirst) {
    Load(std::string(kClasses) + R"(
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\URLSearchHooks]
"{33333333-3333-3333-3333-333333333333}"=""
"{22222222-2222-2222-2222-222222222222}"=""
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\URLSearchHooks]
"{33333333-3333-3333-3333-333333333333}"=""
)");
    EXPECT_EQ(Run("CheckURLSearchHooks", true), 1);
    EXPECT_EQ(Found(), (Strings{"HKCU\\" + kHooks + " \"" + kGone + "\"=\"\"",
                                "HKLM\\" + kHooks + " \"" + kGone + "\"=\"\""}));
    rig.faults().ClearCalls();
    EXPECT_EQ(Run("CheckURLSearchHooks", false), 1);
    Strings deleted;
    for (const test::RegCall& c : rig.faults().calls()) {
        if (c.op == "DeleteValue") deleted.push_back(c.root == HKEY_CURRENT_USER ? "HKCU" : "HKLM");
    }
    EXPECT_EQ(deleted, (Strings{"HKCU", "HKLM"}));
    EXPECT_FALSE(Get(HKEY_LOCAL_MACHINE, kHooks, kGone));
    EXPECT_TRUE(Get(HKEY_CURRENT_USER, kHooks, kGood));
}

// ---- style sheets

const char kStyleSheets[] = R"(
[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Styles]
"Use My Stylesheet"=dword:00000001
"User Stylesheet"="C:\\WINDOWS\\ads.css"
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Styles]
"Use My Stylesheet"=dword:00000001
"User Stylesheet"="C:\\Documents and Settings\\Owner\\mine.css"
)";

TEST_F(Browser, StyleSheetsAreAllRemovedWhenOneIsNamed) {
    Load(kStyleSheets);
    EXPECT_EQ(Run("CheckUserStyleSheet", true), 1);
    EXPECT_EQ(Found(),
              (Strings{
                  "HKLM\\" + kStyles + " \"Use My Stylesheet\"",
                  "HKCU\\" + kStyles + " \"Use My Stylesheet\"",
                  "HKLM\\" + kStyles + " \"User Stylesheet\"=\"C:\\WINDOWS\\ads.css\"",
                  "HKCU\\" + kStyles +
                      " \"User Stylesheet\"=\"C:\\Documents and Settings\\Owner\\mine.css\"",
              }));
    rig.ctx->report().ClearAll();
    EXPECT_EQ(Run("UserStylesheet", true, {"ADS.CSS"}), 1);
    EXPECT_EQ(Found(),
              Strings{"HKLM\\" + kStyles + " \"User Stylesheet\"=\"C:\\WINDOWS\\ads.css\""});
    EXPECT_EQ(Run("UserStylesheet", false, {"other.css"}), 0);
    EXPECT_TRUE(Get(HKEY_LOCAL_MACHINE, kStyles, "User Stylesheet"));
    EXPECT_EQ(Run("UserStylesheet", false, {"ads.css"}), 1);
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_FALSE(Get(hive, kStyles, "Use My Stylesheet"));
        EXPECT_FALSE(Get(hive, kStyles, "User Stylesheet"));
    }
}

// ---- protocol handlers and MIME filters

TEST_F(Browser, AChangedAboutHandlerCountsWithoutAnItem) {
    const std::string about = "PROTOCOLS\\Handler\\about";
    Load(R"(
[HKEY_CLASSES_ROOT\PROTOCOLS\Handler\about]
"CLSID"="{3050f406-98b5-11cf-bb82-00aa00bdce0b}"
)");
    EXPECT_EQ(Run("CheckProtocolAbout", true), 0);
    Set(HKEY_CLASSES_ROOT, about, "CLSID",
        RegValue::String("{33333333-3333-3333-3333-333333333333}"));
    EXPECT_EQ(Run("CheckProtocolAbout", true), 1);
    EXPECT_EQ(Found(), Strings{});
    EXPECT_EQ(Run("CheckProtocolAbout", false), 1);
    EXPECT_EQ(Str(HKEY_CLASSES_ROOT, about, "CLSID"), "{3050F406-98B5-11CF-BB82-00AA00BDCE0B}");
    EXPECT_EQ(Run("CheckProtocolAbout", true), 0);
}

TEST_F(Browser, AMimeFilterIsRemovedWithTheClassItNames) {
    const std::string filter = "PROTOCOLS\\Filter\\text/html";
    rig.image.File("C:\\WINDOWS\\system32\\filter.dll");
    Load(R"(
[HKEY_CLASSES_ROOT\PROTOCOLS\Filter\text/html]
"CLSID"="{77777777-7777-7777-7777-777777777777}"
[HKEY_CLASSES_ROOT\CLSID\{77777777-7777-7777-7777-777777777777}\InprocServer32]
@="C:\\WINDOWS\\system32\\filter.dll"
)");
    const std::string clsid = "{77777777-7777-7777-7777-777777777777}";
    EXPECT_EQ(Run("CheckProtocolTextHtml", true), 1);
    const Strings found = Found();
    ASSERT_GE(found.size(), 4u);
    EXPECT_EQ(Strings(found.begin(), found.begin() + 4),
              (Strings{"HKCR\\" + filter, "HKCR\\" + filter + " \"CLSID\"=\"" + clsid + "\"",
                       "HKCR\\CLSID\\" + clsid, "C:\\WINDOWS\\system32\\filter.dll"}));
    EXPECT_EQ(Run("CheckProtocolTextHtml", true), 0);  // already recorded

    EXPECT_EQ(Run("CheckProtocolTextHtml", false), 1);
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, filter));
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
    std::uint32_t attributes = 0;
    EXPECT_NE(rig.ctx->files().GetAttributes("C:\\WINDOWS\\system32\\filter.dll", attributes),
              ERROR_SUCCESS);
    EXPECT_EQ(Failed(), Strings{});
}

TEST_F(Browser, MimeFilterChecksWithoutAClass) {
    Load(R"(
[HKEY_CLASSES_ROOT\PROTOCOLS\Filter\text/html]
"Note"="no class"
)");
    EXPECT_EQ(Run("CheckProtocolTextHtml", true), 0);  // the key alone does not count
    EXPECT_EQ(Found(), Strings{"HKCR\\PROTOCOLS\\Filter\\text/html"});
    EXPECT_EQ(Run("CheckProtocolTextPlain", true), 0);
    rig.faults().ClearCalls();
    EXPECT_EQ(Run("CheckProtocolTextPlain", false), 0);
    EXPECT_EQ(rig.faults().CountCalls("DeleteTree") + rig.faults().CountCalls("SetValue") +
                  rig.faults().CountCalls("DeleteValue") + rig.faults().CountCalls("CreateKey"),
              0);
    EXPECT_EQ(Run("CheckProtocolTextHtml", false), 1);
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "PROTOCOLS\\Filter\\text/html"));
}

}  // namespace
}  // namespace veldan::commands
