// The file and folder commands run through the dispatcher, in scan and cure
// mode: which folders each family searches, in which order, and what the
// commands leave behind on the machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/dispatch.h"
#include "platform/folders.h"
#include "platform/muicache.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;
using engine::ExecFunc;
using Group = std::vector<std::string>;

struct Entry {
    const char* name;
    std::string FolderTable::*field;
};

#define VELDAN_ENTRY(n)     \
    Entry {                 \
#n, &FolderTable::n \
    }
const Entry kEntries[] = {
    VELDAN_ENTRY(WINDIR),          VELDAN_ENTRY(SYSDIR),         VELDAN_ENTRY(FONTSDIR),
    VELDAN_ENTRY(SENDTODIR),       VELDAN_ENTRY(MYDOCDIR),       VELDAN_ENTRY(FAVDIR),
    VELDAN_ENTRY(CMNFAVDIR),       VELDAN_ENTRY(LINKSDIR),       VELDAN_ENTRY(CMNLINKSDIR),
    VELDAN_ENTRY(DESKTOPDIR),      VELDAN_ENTRY(CMNDESKTOPDIR),  VELDAN_ENTRY(PFDIR),
    VELDAN_ENTRY(CFDIR),           VELDAN_ENTRY(APPDATADIR),     VELDAN_ENTRY(CMNAPPDATADIR),
    VELDAN_ENTRY(LOCALAPPDATADIR), VELDAN_ENTRY(STARTMENUDIR),   VELDAN_ENTRY(CMNSTARTMENUDIR),
    VELDAN_ENTRY(PROGRAMSDIR),     VELDAN_ENTRY(CMNPROGRAMSDIR), VELDAN_ENTRY(TEMPLATEDIR),
    VELDAN_ENTRY(QUICKLAUNCHDIR),  VELDAN_ENTRY(AXCACHEDIR),     VELDAN_ENTRY(TEMPDIR),
    VELDAN_ENTRY(STARTUPDIR),      VELDAN_ENTRY(CMNSTARTUPDIR),  VELDAN_ENTRY(PROFILEDIR),
    VELDAN_ENTRY(SYSTEMDIR),       VELDAN_ENTRY(SYSTEM32DIR),    VELDAN_ENTRY(WINTEMPDIR),
};
#undef VELDAN_ENTRY

const Group kSys = {"SYSDIR", "SYSTEMDIR", "SYSTEM32DIR"};
const Group kTemp = {"TEMPDIR", "WINTEMPDIR"};
const Group kAppData = {"APPDATADIR", "CMNAPPDATADIR", "LOCALAPPDATADIR"};
const Group kDesktop = {"DESKTOPDIR", "CMNDESKTOPDIR"};
const Group kStartup = {"STARTUPDIR", "CMNSTARTUPDIR"};
const Group kPrograms = {"PROGRAMSDIR", "CMNPROGRAMSDIR"};

Group Join(std::initializer_list<Group> parts) {
    Group out;
    for (const Group& g : parts) out.insert(out.end(), g.begin(), g.end());
    return out;
}

// Every family word with its folders in search order; "ROOT" is drive C:'s root.
const std::map<std::string, Group>& Families() {
    static const std::map<std::string, Group> families = {
        {"FileFromMyDoc", {"MYDOCDIR"}},
        {"FileFromPF", {"PFDIR"}},
        {"FileFromWin", {"WINDIR"}},
        {"FileFromFonts", {"FONTSDIR"}},
        {"FileFromCF", {"CFDIR"}},
        {"FileFromAxCache", {"AXCACHEDIR"}},
        {"FileFromTemp", kTemp},
        {"FileFromProfile", {"PROFILEDIR"}},
        {"FileFromSys", kSys},
        {"FileFromAppData", kAppData},
        {"FileFromDesktop", kDesktop},
        {"FileFromStartup", kStartup},
        {"FileFromFavPath", Join({kDesktop,
                                  {"STARTMENUDIR", "CMNSTARTMENUDIR", "FAVDIR", "CMNFAVDIR"},
                                  {"QUICKLAUNCHDIR", "SENDTODIR"},
                                  kStartup})},
        {"FileFromAll", Join({kSys,
                              {"WINDIR", "AXCACHEDIR", "ROOT"},
                              kTemp,
                              kStartup,
                              kDesktop,
                              {"PROFILEDIR", "PFDIR"},
                              kAppData})},
        {"DirFromWin", {"WINDIR"}},
        {"DirFromSys", kSys},
        {"DirFromPF", {"PFDIR"}},
        {"DirFromCF", {"CFDIR"}},
        {"DirFromAxCache", {"AXCACHEDIR"}},
        {"DirFromTemp", kTemp},
        {"DirFromAppData", kAppData},
        {"DirFromWinAppData", Join({{"WINDIR"}, kAppData})},
        {"DirFromPrograms", kPrograms},
        {"DirFromStartMenu", Join({{"STARTMENUDIR", "CMNSTARTMENUDIR"}, kPrograms})},
        {"DirFromFav", {"FAVDIR", "CMNFAVDIR"}},
        {"DirFromLinks", {"LINKSDIR", "CMNLINKSDIR"}},
        {"DirFromFonts", {"FONTSDIR"}},
        {"DirFromDesktop", kDesktop},
        {"FilesFromWin", {"WINDIR"}},
        {"FilesFromMyDoc", {"MYDOCDIR"}},
        {"FilesFromSys", kSys},
        {"FilesFromStartup", kStartup},
        {"FilesFromAll", Join({kSys, {"WINDIR", "AXCACHEDIR", "ROOT"}, kTemp})},
    };
    return families;
}

class FileCommands : public ::testing::Test {
  protected:
    Context& Load(std::string_view ini = "") {
        if (!ini.empty()) rig.image.Ini(ini);
        return rig.Load();
    }
    // A realistic folder table and the MUICache list, as at scan start.
    Context& LoadInitialised(std::string_view ini = "") {
        Context& ctx = Load(ini);
        InitFolderTable(ctx);
        BuildMuiCacheList(ctx);
        return ctx;
    }
    int Scan(std::string_view word, std::vector<std::string> params) {
        return ExecFunc(*rig.ctx, word, params, Mode::Scan);
    }
    int Cure(std::string_view word, std::vector<std::string> params) {
        return ExecFunc(*rig.ctx, word, params, Mode::Cure);
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const CScanItem& i : rig.ctx->report().found().items()) out.push_back(i.text);
        return out;
    }
    std::vector<std::string> Failed() {
        std::vector<std::string> out;
        for (const CScanItem& i : rig.ctx->report().failed().items()) out.push_back(i.text);
        return out;
    }
    bool Exists(std::string_view path) {
        std::uint32_t a = 0;
        return rig.ctx->files().GetAttributes(path, a) == ERROR_SUCCESS;
    }
    std::size_t Running() { return rig.ctx->machine().processes().List().size(); }
    test::PlatformRig rig;
};

// Every entry of the folder table gets a folder of its own, C:\T\<ENTRY>, so a
// found path tells which entry it was found through.
class FamilyGroups : public FileCommands {
  protected:
    void SetUp() override {
        for (const Entry& e : kEntries) rig.image.Folder(Folder(e.name));
        Load();
        for (const Entry& e : kEntries) rig.ctx->folders().*e.field = Folder(e.name);
    }
    static std::string Folder(std::string_view entry) {
        return entry == "ROOT" ? "C:" : "C:\\T\\" + std::string(entry);
    }
    static std::vector<std::string> AllPlaces() {
        std::vector<std::string> out = {"ROOT"};
        for (const Entry& e : kEntries) out.push_back(e.name);
        return out;
    }
    // The entry a found or probed path lies in.
    static std::string PlaceOf(std::string_view path) {
        if (path.rfind("C:\\T\\", 0) != 0) return "ROOT";
        path.remove_prefix(5);
        return std::string(path.substr(0, path.find('\\')));
    }
    // Puts "probe.dll" (or the folder "probe") into every place.
    void Plant(bool folders) {
        for (const std::string& place : AllPlaces()) {
            const std::string path = Folder(place) + "\\probe" + (folders ? "" : ".dll");
            if (Exists(path)) continue;
            const WinError e = folders ? rig.ctx->files().CreateDirectory(path)
                                       : rig.ctx->files().WriteFile(path, "x");
            ASSERT_EQ(e, ERROR_SUCCESS) << path;
        }
    }
    // The places whose probe is gone.
    Group Removed(bool folders) {
        Group out;
        for (const std::string& place : AllPlaces()) {
            if (!Exists(Folder(place) + "\\probe" + (folders ? "" : ".dll"))) out.push_back(place);
        }
        return out;
    }
    static bool IsDirWord(std::string_view word) { return word.rfind("DirFrom", 0) == 0; }
    static std::string Param(std::string_view word) {
        if (IsDirWord(word)) return "probe";
        return word.rfind("FilesFrom", 0) == 0 ? "probe.*" : "probe.dll";
    }
};

TEST_F(FamilyGroups, ScanSearchesTheGroupInOrder) {
    Plant(false);
    Plant(true);
    for (const auto& [word, group] : Families()) {
        rig.ctx->report().ClearAll();
        EXPECT_EQ(Scan(word, {Param(word)}), 1) << word;
        Group places;
        for (const std::string& text : Found()) places.push_back(PlaceOf(text));
        EXPECT_EQ(places, group) << word;
    }
    EXPECT_EQ(rig.debug.Text(), "");
}

TEST_F(FamilyGroups, CureWorksOnTheSameGroup) {
    for (const auto& [word, group] : Families()) {
        const bool folders = IsDirWord(word);
        Plant(folders);
        EXPECT_EQ(Cure(word, {Param(word)}), 1) << word;
        Group expected = group;
        std::sort(expected.begin(), expected.end());
        Group removed = Removed(folders);
        std::sort(removed.begin(), removed.end());
        EXPECT_EQ(removed, expected) << word;
    }
    EXPECT_TRUE(Failed().empty());
}

TEST_F(FamilyGroups, FoldersTheTableCouldNotDetermineAreSkipped) {
    rig.ctx->folders().PROFILEDIR.clear();
    rig.ctx->folders().CMNAPPDATADIR.clear();
    Plant(false);
    EXPECT_EQ(Scan("FileFromProfile", {"probe.dll"}), 0);
    EXPECT_EQ(Cure("FileFromProfile", {"probe.dll"}), 0);
    EXPECT_EQ(Scan("FileFromAppData", {"probe.dll"}), 1);
    Group places;
    for (const std::string& text : Found()) places.push_back(PlaceOf(text));
    EXPECT_EQ(places, (Group{"APPDATADIR", "LOCALAPPDATADIR"}));
}

TEST_F(FileCommands, AnEmptyFolderEntryNeverReachesOtherFolders) {
    // Joined to nothing, "probe.exe" would match the program in C:\Other and end it.
    rig.image.File("C:\\Other\\probe.exe").File("C:\\AppData\\probe.exe");
    Context& ctx = Load("[process other]\nimage=C:\\Other\\probe.exe\n");
    ctx.folders().APPDATADIR = "C:\\AppData";
    EXPECT_EQ(Cure("FileFromAppData", {"probe.exe"}), 1);
    EXPECT_FALSE(Exists("C:\\AppData\\probe.exe"));
    EXPECT_EQ(Running(), 1u);
    EXPECT_TRUE(Exists("C:\\Other\\probe.exe"));
}

TEST_F(FileCommands, FileFromSysRecordsOneItemWhereTheFoldersCoincide) {
    rig.image.File("C:\\WINDOWS\\system32\\bad.dll");
    LoadInitialised();
    ASSERT_EQ(rig.ctx->folders().SYSDIR, rig.ctx->folders().SYSTEM32DIR);
    EXPECT_EQ(Scan("FileFromSys", {"bad.dll"}), 1);
    EXPECT_EQ(Found(), std::vector<std::string>{"C:\\WINDOWS\\system32\\bad.dll"});
    EXPECT_EQ(Cure("FileFromSys", {"bad.dll"}), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\system32\\bad.dll"));
    EXPECT_TRUE(Failed().empty());
}

TEST_F(FileCommands, FileFamiliesTakeASize) {
    rig.image.File("C:\\WINDOWS\\x.dll", "abc");
    LoadInitialised();
    EXPECT_EQ(Scan("FileFromWin", {"x.dll|4"}), 0);
    EXPECT_EQ(Scan("FileFromWin", {"x.dll | 3 | note"}), 1);
    // The path before the bar keeps its blank. The file system drops it when it
    // looks for the file; the image gives the long form with the names on its
    // disk, where Windows keeps a path that holds no short name as it was given.
    EXPECT_EQ(Found(), std::vector<std::string>{test::OnWindows() ? "C:\\WINDOWS\\x.dll "
                                                                  : "C:\\WINDOWS\\x.dll"});
    EXPECT_EQ(Cure("FileFromWin", {"x.dll|4"}), 1);  // removed whatever its size
    EXPECT_FALSE(Exists("C:\\WINDOWS\\x.dll"));
}

TEST_F(FileCommands, ProcessEndsProgramsOnlyWhenCuring) {
    rig.image.File("C:\\Bad\\bad.exe");
    Load("[process bad]\nimage=C:\\Bad\\bad.exe\n");
    EXPECT_EQ(Scan("Process", {"bad.exe"}), 0);
    EXPECT_EQ(Running(), 1u);
    EXPECT_EQ(Cure("Process", {"BAD.EXE"}), 1);
    EXPECT_EQ(Running(), 0u);
    EXPECT_EQ(dynamic_cast<ManualClock&>(rig.ctx->clock()).sleeps(), 1);
}

TEST_F(FileCommands, EmptyDirOnlyRemovesAnEmptyFolderWhenCuring) {
    rig.image.Folder("C:\\Empty").File("C:\\Full\\x.txt");
    Load();
    EXPECT_EQ(Scan("EmptyDir", {"C:\\Empty"}), 0);
    EXPECT_TRUE(Exists("C:\\Empty"));
    EXPECT_TRUE(Found().empty());
    EXPECT_EQ(Cure("EmptyDir", {"C:\\Empty"}), 1);
    EXPECT_FALSE(Exists("C:\\Empty"));
    EXPECT_EQ(Cure("EmptyDir", {"C:\\Full"}), 0);
    EXPECT_TRUE(Exists("C:\\Full\\x.txt"));
    EXPECT_EQ(Failed(), std::vector<std::string>{"C:\\Full"});
}

TEST_F(FileCommands, FileDirAndFilesFrom) {
    const std::string exe = "C:\\Program Files\\Bad Bar\\bar.exe";
    rig.image.File(exe).File("C:\\Program Files\\Bad Bar\\res\\skin.bmp");
    rig.image.File("C:\\WINDOWS\\a.tmp").File("C:\\WINDOWS\\Temp\\b.tmp");
    LoadInitialised("[process bar]\nimage=C:\\Program Files\\Bad Bar\\bar.exe\n");
    EXPECT_EQ(Scan("File", {exe}), 1);
    // Wine makes short names of its own (a hash after the tilde): the folder is
    // named by the short form the machine gives.
    std::string shortDir = "C:\\PROGRA~1\\BADBAR~1";
    if (test::OnWine()) {
        ASSERT_EQ(rig.ctx->files().GetShortPathName("C:\\Program Files\\Bad Bar", shortDir),
                  ERROR_SUCCESS);
        EXPECT_EQ(shortDir.find(' '), std::string::npos) << shortDir;
    }
    EXPECT_EQ(Scan("Dir", {shortDir}), 1);
    EXPECT_EQ(Scan("FilesFrom", {"*.TMP", "C:\\WINDOWS"}), 1);
    EXPECT_EQ(Found(),
              (std::vector<std::string>{exe, "C:\\Program Files\\Bad Bar", "C:\\WINDOWS\\a.tmp"}));
    EXPECT_EQ(Running(), 1u);  // a scan ends nothing

    EXPECT_EQ(Cure("Dir", {"C:\\Program Files\\Bad Bar"}), 1);
    EXPECT_FALSE(Exists("C:\\Program Files\\Bad Bar"));
    EXPECT_EQ(Running(), 0u);
    EXPECT_EQ(rig.debug.Text(), "Kill... c:\\program files\\bad bar\\bar.exe\n");
    EXPECT_EQ(Cure("FilesFrom", {"*.tmp", "C:\\WINDOWS"}), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\a.tmp"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\Temp\\b.tmp"));
    EXPECT_TRUE(Failed().empty());
}

}  // namespace
}  // namespace veldan::platform
