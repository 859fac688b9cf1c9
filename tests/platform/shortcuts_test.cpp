// Shortcut readers, the per-scan shortcut caches and their scans, the folder
// scans and cures, named shortcuts and FavDir, on machine images holding real
// .lnk and .url files.

#include "platform/shortcuts.h"

#include <gtest/gtest.h>

#include <set>

#include "machine/forwarding.h"
#include "platform/folders.h"
#include "support/lnk_writer.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;  // errors, ShellLinks

const std::string kOwner = "C:\\Documents and Settings\\Owner";
const std::string kAll = "C:\\Documents and Settings\\All Users";
const std::string kDesktop = kOwner + "\\Desktop";
const std::string kFav = kOwner + "\\Favorites";
const std::string kCmnFav = kAll + "\\Favorites";

// The image's shortcut files, except that the internet shortcuts named in `broken` do not load.
class BrokenUrls final : public ForwardingShellLinks {
  public:
    using ForwardingShellLinks::ForwardingShellLinks;
    std::set<std::string> broken;
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override {
        if (broken.count(std::string(path))) return ERROR_ACCESS_DENIED;
        return inner().LoadUrlShortcut(path, link);
    }
};

// The test machine with BrokenUrls for its shortcut files.
class LinkMachine final : public ForwardingMachine {
  public:
    explicit LinkMachine(Machine& inner) : ForwardingMachine(inner), links(inner.shellLinks()) {}
    ShellLinks& shellLinks() override { return links; }

    BrokenUrls links;
};

class Shortcuts : public ::testing::Test {
  protected:
    void Lnk(const std::string& path, const std::string& target, const std::string& args = "",
             const std::string& icon = "") {
        test::LnkSpec lnk;
        lnk.target = target;
        lnk.arguments = args;
        lnk.iconLocation = icon;
        rig.image.File(path, test::MakeShellLink(lnk));
    }
    void Url(const std::string& path, const std::string& url, const std::string& icon = "") {
        rig.image.File(path, "[InternetShortcut]\r\nURL=" + url + "\r\nIconFile=" + icon + "\r\n");
    }
    Context& Load() {
        rig.Load();
        machine = std::make_unique<LinkMachine>(*rig.machine);
        ctx = std::make_unique<Context>(*machine, rig.debug);
        test::CreateShellFolders(*machine);
        InitFolderTable(*ctx);
        return *ctx;
    }
    std::vector<std::string> Texts(const ScanItemList& list) {
        std::vector<std::string> out;
        for (const CScanItem& item : list.items()) out.push_back(item.text);
        return out;
    }
    std::vector<std::string> Found() { return Texts(ctx->report().found()); }
    std::vector<std::string> Failed() { return Texts(ctx->report().failed()); }
    bool Exists(const std::string& path) {
        std::uint32_t attributes = 0;
        return ctx->files().GetAttributes(path, attributes) == ERROR_SUCCESS;
    }

    test::PlatformRig rig;
    std::unique_ptr<LinkMachine> machine;
    std::unique_ptr<Context> ctx;
};

using Strings = std::vector<std::string>;

TEST_F(Shortcuts, ReadersTakeEveryFieldAndCutLongOnesToTheBuffer) {
    test::LnkSpec lnk;
    lnk.target = "C:\\Program Files\\광고\\bar.exe";
    lnk.arguments = std::string(257, 'a') + "가";    // 259 bytes in CP949: fits with its NUL
    lnk.description = std::string(258, 'd') + "가";  // one byte too many: the character goes
    lnk.workingDirectory = "C:\\Program Files\\광고";
    lnk.iconLocation = "C:\\WINDOWS\\bar.ico";
    lnk.iconIndex = -3;
    lnk.hotKey = 0x0641;
    lnk.showCommand = 7;
    rig.image.File(kDesktop + "\\bar.lnk", test::MakeShellLink(lnk));
    const std::string longUrl = "http://ads.example/" + std::string(300, 'u');
    rig.image.File(kFav + "\\ad.url", "[InternetShortcut]\r\nURL=" + longUrl + "\r\nIconFile=" +
                                          std::string(300, 'i') + "\r\nIconIndex=4\r\n" +
                                          "HotKey=1601\r\nShowCommand=3\r\n");
    rig.image.File(kDesktop + "\\junk.lnk", "no shell link");
    Load();

    CShellLink link(*ctx);
    EXPECT_EQ(link.showCommand, 5);
    ASSERT_EQ(link.Load(kDesktop + "\\bar.lnk"), 1);
    EXPECT_EQ(link.target, lnk.target);
    EXPECT_EQ(link.arguments, lnk.arguments);
    EXPECT_EQ(link.description, std::string(258, 'd'));
    EXPECT_EQ(link.workingDirectory, lnk.workingDirectory);
    EXPECT_EQ(link.iconPath, lnk.iconLocation);
    EXPECT_EQ(link.iconIndex, -3);
    EXPECT_EQ(link.hotKey, 0x0641);
    // Wine's IShellLink never reads the show command a link was saved with.
    if (!test::OnWine()) EXPECT_EQ(link.showCommand, 7);

    CUrlShellLink url(*ctx);
    ASSERT_EQ(url.Load(kFav + "\\ad.url"), 1);
    EXPECT_EQ(url.target, longUrl);  // the address is not cut
    EXPECT_EQ(url.iconPath, std::string(259, 'i'));
    EXPECT_EQ(url.iconIndex, 4);
    EXPECT_EQ(url.hotKey, 1601);
    EXPECT_EQ(url.showCommand, 3);
    EXPECT_EQ(url.arguments, "");

    CShellLink failed(*ctx);
    EXPECT_EQ(failed.Load(kDesktop + "\\junk.lnk"), 0);
    EXPECT_EQ(failed.Load(kDesktop + "\\none.lnk"), 0);
    EXPECT_EQ(failed.Load(kDesktop), 0);
    EXPECT_EQ(failed.showCommand, 5);
    EXPECT_EQ(CUrlShellLink(*ctx).Load(kFav), 0);
}

TEST_F(Shortcuts, CachesHoldTheUsualFoldersInOrderAndSkipWhatDoesNotLoad) {
    Url(kFav + "\\fav.url", "http://fav/", "C:\\fav.ico");
    Url(kAll + "\\Desktop\\cmn.url", "http://cmn/");
    Url("C:\\root.url", "http://root/");
    Url(kOwner + "\\SendTo\\sendto.url", "http://sendto/");               // links only
    Url(kOwner + "\\Start Menu\\Programs\\Sub\\sub.url", "http://sub/");  // no sub-folders
    Url(kFav + "\\broken.url", "http://broken/");
    Lnk(kDesktop + "\\b.lnk", "C:\\b.exe", "-b", "C:\\b.ico");
    Lnk(kDesktop + "\\A.lnk", "C:\\a.exe");
    rig.image.Folder(kDesktop + "\\folder.lnk");
    rig.image.File(kDesktop + "\\junk.lnk", "no shell link");
    Lnk(kOwner + "\\Start Menu\\Programs\\Sub\\sub.lnk", "C:\\sub.exe");
    Lnk("C:\\root.lnk", "C:\\root.exe");
    Lnk(kOwner + "\\Start Menu\\Programs\\Startup\\run.lnk", "C:\\run.exe");
    Lnk(kOwner + "\\SendTo\\sendto.lnk", "C:\\sendto.exe");
    Lnk(kOwner + "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\ql.lnk",
        "C:\\ql.exe");
    Load();
    machine->links.broken.insert(kFav + "\\broken.url");
    ctx->urlCache().push_back({"stale", "", ""});

    BuildShortcutCaches(*ctx);
    Strings urls, links;
    for (const auto& r : ctx->urlCache()) urls.push_back(r.path);
    for (const auto& r : ctx->linkCache()) links.push_back(r.path);
    EXPECT_EQ(urls, (Strings{kAll + "\\Desktop\\cmn.url", kFav + "\\fav.url", "C:\\root.url"}));
    EXPECT_EQ(links, (Strings{kDesktop + "\\A.lnk", kDesktop + "\\b.lnk",
                              kOwner + "\\Application Data\\Microsoft\\Internet Explorer\\Quick "
                                       "Launch\\ql.lnk",
                              "C:\\root.lnk", kOwner + "\\Start Menu\\Programs\\Startup\\run.lnk",
                              kOwner + "\\SendTo\\sendto.lnk"}));
    EXPECT_EQ(ctx->urlCache()[1].url, "http://fav/");
    EXPECT_EQ(ctx->urlCache()[1].iconPath, "C:\\fav.ico");
    EXPECT_EQ(ctx->linkCache()[1].target, "C:\\b.exe");
    EXPECT_EQ(ctx->linkCache()[1].arguments, "-b");
    EXPECT_EQ(ctx->linkCache()[1].iconPath, "C:\\b.ico");
    EXPECT_EQ(rig.debug.Text(), "CUrlShellLink::Load... " + kFav + "\\broken.url\n" +
                                    "CShellLink::Load... " + kDesktop + "\\junk.lnk\n");
}

TEST_F(Shortcuts, CachedScansMatchEachFieldIgnoringCase) {
    Lnk(kDesktop + "\\bar.lnk", "C:\\Program Files\\AdBar\\adbar.exe");
    Lnk(kDesktop + "\\ie.lnk", "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE",
        "http://ADS.example/start", "C:\\ads\\ads.ico");
    Url(kFav + "\\ad.url", "http://ads.EXAMPLE/", "C:\\ads\\fav.ico");
    Url(kFav + "\\ok.url", "http://ok.example/");
    Load();
    EXPECT_EQ(ScanShortcutsByTarget(*ctx, "adbar"), 0);  // caches not built yet
    EXPECT_EQ(ScanInternetShortcuts(*ctx, "ads"), 0);
    BuildShortcutCaches(*ctx);

    EXPECT_EQ(ScanShortcutsByTarget(*ctx, "ADBAR\\AdBar.EXE"), 1);
    EXPECT_EQ(ScanShortcutsByTarget(*ctx, "adbar"), 0);  // already recorded
    EXPECT_EQ(ScanShortcutsByTarget(*ctx, "ads.example"), 0);
    EXPECT_EQ(Found(), Strings{kDesktop + "\\bar.lnk"});

    ctx->report().ClearAll();
    EXPECT_EQ(ScanShortcutsByIcon(*ctx, "ADS.ICO"), 1);
    EXPECT_EQ(ScanInternetShortcutsByIcon(*ctx, "ads.ico"), 0);
    EXPECT_EQ(ScanInternetShortcutsByIcon(*ctx, "FAV.ico"), 1);
    EXPECT_EQ(Found(), (Strings{kDesktop + "\\ie.lnk", kFav + "\\ad.url"}));

    // Addresses of internet shortcuts, then the browser's arguments.
    ctx->report().ClearAll();
    EXPECT_EQ(ScanInternetShortcuts(*ctx, "ads.example"), 1);
    EXPECT_EQ(Found(), (Strings{kFav + "\\ad.url", kDesktop + "\\ie.lnk"}));
    ctx->report().ClearAll();
    EXPECT_EQ(ScanInternetShortcuts(*ctx, "/START"), 1);  // a shell link alone counts
    EXPECT_EQ(ScanShortcutsByArguments(*ctx, "start"), 0);
    EXPECT_EQ(Found(), Strings{kDesktop + "\\ie.lnk"});
}

TEST_F(Shortcuts, LinkFolderScanStopsAtItsFirstNewFindUrlScanRecordsAll) {
    Lnk(kDesktop + "\\a.lnk", "C:\\x.exe", "", "C:\\ads.ico");
    Lnk(kDesktop + "\\b.lnk", "C:\\ADS.exe");
    Lnk(kDesktop + "\\c.lnk", "C:\\ads.exe", "ads");
    rig.image.File(kDesktop + "\\junk.lnk", "no shell link");
    Url(kFav + "\\a.url", "http://ads/");
    Url(kFav + "\\b.url", "http://ADS/");
    Url(kFav + "\\c.url", "http://ok/", "C:\\ads.ico");
    Load();

    EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop, "ads", kFieldTarget), 1);
    EXPECT_EQ(Found(), Strings{kDesktop + "\\b.lnk"});
    EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop, "ads", kFieldTarget), 1);
    EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop, "ads", kFieldTarget), 0);
    EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop, "ads", kFieldIcon), 1);
    EXPECT_EQ(Found(), (Strings{kDesktop + "\\b.lnk", kDesktop + "\\c.lnk", kDesktop + "\\a.lnk"}));
    for (int field : {0, 4}) EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop, "", field), 0);
    EXPECT_EQ(ScanLinksInFolder(*ctx, kDesktop + "\\none", "ads", kFieldTarget), 0);
    // Only the listings that got past b.lnk and c.lnk met the damaged file.
    EXPECT_EQ(rig.debug.Lines(), Strings(3, "CShellLink::Load... " + kDesktop + "\\junk.lnk"));

    EXPECT_EQ(ScanUrlsInFolder(*ctx, kFav, "", kFieldArguments), 0);  // they have none
    EXPECT_EQ(ScanUrlsInFolder(*ctx, kFav, "ads", kFieldTarget), 1);
    EXPECT_EQ(ScanUrlsInFolder(*ctx, kFav, "ads", kFieldTarget), 0);
    EXPECT_EQ(ScanUrlsInFolder(*ctx, kFav, "ads", kFieldIcon), 1);
    ASSERT_EQ(Found().size(), 6u);
    EXPECT_EQ(Found()[3], kFav + "\\a.url");
    EXPECT_EQ(Found()[4], kFav + "\\b.url");
}

TEST_F(Shortcuts, FolderCuresRemoveMatchesOnlyAndScheduleLockedFiles) {
    const std::string held = kDesktop + "\\held.lnk";
    rig.image.Ini("[machine]\n[process bar]\nimage=C:\\bar\\bar.exe\nholds=" + held + "\n");
    Lnk(kDesktop + "\\ad.lnk", "C:\\ads\\x.exe");
    Lnk(held, "C:\\ads\\y.exe");
    Lnk(kDesktop + "\\ok.lnk", "C:\\ok.exe", "ads");
    Lnk(kDesktop + "\\Sub\\ad.lnk", "C:\\ads\\x.exe");
    rig.image.File(kDesktop + "\\junk.lnk", "no shell link");
    Url(kFav + "\\ad.url", "http://ok/", "C:\\ads.ico");
    Url(kFav + "\\ok.url", "http://ads/");
    Load();

    CureLinksInFolder(*ctx, kDesktop, "ADS\\", kFieldTarget);
    EXPECT_FALSE(Exists(kDesktop + "\\ad.lnk"));
    EXPECT_TRUE(Exists(held));
    EXPECT_TRUE(Exists(kDesktop + "\\ok.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\Sub\\ad.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\junk.lnk"));
    EXPECT_EQ(Failed(), Strings{held});
    EXPECT_EQ(rig.machine->image().PendingDeletes(), std::vector<std::string>{held});
    EXPECT_TRUE(rig.debug.Contains("CShellLink::Load... " + kDesktop + "\\junk.lnk\n"));

    EXPECT_EQ(CureUrlsInFolder(*ctx, kFav, "ads", kFieldIcon), 1);
    EXPECT_FALSE(Exists(kFav + "\\ad.url"));
    EXPECT_TRUE(Exists(kFav + "\\ok.url"));
    EXPECT_EQ(CureUrlsInFolder(*ctx, kFav, "ads", kFieldArguments), 1);  // nothing matches
    EXPECT_EQ(CureLinksInFolder(*ctx, kDesktop + "\\none", "ads", kFieldTarget), 1);
    EXPECT_TRUE(Exists(kFav + "\\ok.url"));
}

TEST_F(Shortcuts, NamedShortcutsAreFilesWithTheirRegistryTraces) {
    Lnk(kDesktop + "\\Ad Bar.lnk", "C:\\bar.exe");
    Url(kDesktop + "\\Ad Bar.url", "http://ads/");
    rig.image.Reg("m.reg",
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\"
                  "C:/Documents and Settings/Owner/Desktop/Ad Bar.lnk]\r\n");
    Load();
    EXPECT_EQ(ScanNamedShortcut(*ctx, kDesktop, "AD BAR"), 1);
    EXPECT_EQ(Found(), (Strings{kDesktop + "\\Ad Bar.lnk",
                                "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\"
                                "C:/Documents and Settings/Owner/Desktop/AD BAR.lnk"}));
    EXPECT_EQ(ScanNamedUrl(*ctx, kDesktop, "Ad Bar"), 1);
    EXPECT_EQ(Found().back(), kDesktop + "\\Ad Bar.url");
    EXPECT_EQ(ScanNamedShortcut(*ctx, kDesktop, "Other"), 0);

    CureNamedShortcut(*ctx, kDesktop, "Ad Bar");
    EXPECT_FALSE(Exists(kDesktop + "\\Ad Bar.lnk"));
    EXPECT_TRUE(Exists(kDesktop + "\\Ad Bar.url"));
    EXPECT_EQ(rig.raw().OpenKey(HKEY_LOCAL_MACHINE,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\"
                                "C:/Documents and Settings/Owner/Desktop/Ad Bar.lnk"),
              ERROR_FILE_NOT_FOUND);
    CureNamedUrl(*ctx, kDesktop, "Ad Bar");
    EXPECT_FALSE(Exists(kDesktop + "\\Ad Bar.url"));
    EXPECT_EQ(Failed(), Strings{});
}

TEST_F(Shortcuts, FavDirWorksInTheSubFolderOfBothFavouritesFolders) {
    Url(kFav + "\\Sponsored\\a.url", "http://ADS.example/");
    Url(kFav + "\\Sponsored\\icon.url", "http://ok/", "C:\\ads.example.ico");
    Url(kCmnFav + "\\Sponsored\\b.url", "http://ads.example/b");
    Url(kFav + "\\outside.url", "http://ads.example/");
    Url(kCmnFav + "\\Links\\c.url", "http://ads.example/");
    Load();

    EXPECT_EQ(ScanFavDir(*ctx, "sponsored", "ads.example"), 1);
#ifdef _WIN32
    // GetLongPathName of Windows keeps a long name in the case it was given.
    const std::string sub = "\\sponsored";
#else
    const std::string sub = "\\Sponsored";
#endif
    EXPECT_EQ(Found(), (Strings{kFav + sub + "\\a.url", kCmnFav + sub + "\\b.url"}));
    EXPECT_EQ(ScanFavDir(*ctx, "Sponsored", "ads.example"), 0);
    EXPECT_EQ(ScanFavDir(*ctx, "Links", "ads.example"), 1);  // the common folder alone

    EXPECT_EQ(CureFavDir(*ctx, "Sponsored", "ads.example"), 1);
    EXPECT_FALSE(Exists(kFav + "\\Sponsored\\a.url"));
    EXPECT_TRUE(Exists(kFav + "\\Sponsored\\icon.url"));
    EXPECT_FALSE(Exists(kCmnFav + "\\Sponsored"));  // emptied, then removed
    EXPECT_TRUE(Exists(kFav + "\\outside.url"));
    EXPECT_EQ(Failed(), Strings{kFav + "\\Sponsored"});  // not empty: stays
}

TEST_F(Shortcuts, FavDirNeverRemovesTheFavouritesFolderItself) {
    Url(kFav + "\\a.url", "http://ads/");
    Url(kFav + "\\Deep\\Er\\b.url", "http://ads/");
    Load();
    for (const char* name : {"", ".", "\\", "Deep\\..", "Deep\\..\\..\\Favorites"}) {
        CureFavDir(*ctx, name, "ads");
        EXPECT_TRUE(Exists(kFav)) << name;
        EXPECT_TRUE(Exists(kCmnFav)) << name;
    }
    EXPECT_FALSE(Exists(kFav + "\\a.url"));  // the shortcuts named are still removed
    EXPECT_EQ(CureFavDir(*ctx, "Deep\\.\\Er", "ads"), 1);
    EXPECT_FALSE(Exists(kFav + "\\Deep\\Er"));
    EXPECT_TRUE(Exists(kFav + "\\Deep"));
    EXPECT_EQ(Failed(), Strings{});
}

TEST_F(Shortcuts, FavDirSkipsUnknownFavouritesFoldersAndRepeatsSharedOnes) {
    rig.image.Ini("[machine]\nos=9x\n");
    Url("C:\\WINDOWS\\Favorites\\Sponsored\\a.url", "http://ads/");
    Load();
    ASSERT_EQ(ctx->folders().CMNFAVDIR, ctx->folders().FAVDIR);
    EXPECT_EQ(ScanFavDir(*ctx, "Sponsored", "ads"), 1);
    EXPECT_EQ(Found(), Strings{"C:\\WINDOWS\\Favorites\\Sponsored\\a.url"});
    EXPECT_EQ(CureFavDir(*ctx, "Sponsored", "ads"), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\Favorites\\Sponsored"));
    EXPECT_EQ(Failed(), Strings{});

    ctx->folders().FAVDIR.clear();
    ctx->folders().CMNFAVDIR.clear();
    EXPECT_EQ(ScanFavDir(*ctx, "Sponsored", "ads"), 0);
    EXPECT_EQ(CureFavDir(*ctx, "Sponsored", "ads"), 0);
    EXPECT_EQ(Failed(), Strings{});
}

}  // namespace
}  // namespace veldan::platform
