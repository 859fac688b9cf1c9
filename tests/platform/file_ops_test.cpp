// File and folder primitives on machine images: a file is looked at and removed
// together with its ModuleUsage key, SharedDLLs value and MUICache values.

#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/muicache.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "support/on_windows.h"
#include "support/platform_rig.h"

namespace veldan::platform {
namespace {

using namespace machine;
namespace fs = std::filesystem;

constexpr const char* kModuleUsage =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\";
constexpr const char* kShared = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kMui = "HKCU\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";

// .reg text for the three registry traces of a file.
std::string Traces(std::string_view path) {
    std::string slashed(path), escaped;
    for (char& c : slashed) c = c == '\\' ? '/' : c;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\" +
           slashed +
           "]\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs]\r\n\"" +
           escaped +
           "\"=dword:00000001\r\n"
           "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache]\r\n\"" +
           escaped + "\"=\"Trace\"\r\n";
}

// The found item texts the three traces of `path` give.
std::vector<std::string> TraceTexts(std::string_view path) {
    std::string slashed(path);
    for (char& c : slashed) c = c == '\\' ? '/' : c;
    return {kModuleUsage + slashed, std::string(kShared) + " \"" + std::string(path) + "\"",
            std::string(kMui) + " \"" + std::string(path) + "\"=\"Trace\""};
}

class FileOps : public ::testing::Test {
  protected:
    // Loads the image (with the traces' .reg text) and lists the MUICache.
    Context& Load(std::string_view ini = "", std::string_view reg = "") {
        if (!ini.empty()) rig.image.Ini(ini);
        if (!reg.empty()) rig.image.Reg("traces.reg", reg);
        Context& ctx = rig.Load();
        BuildMuiCacheList(ctx);
        return ctx;
    }
    static std::vector<std::string> Texts(const ScanItemList& list) {
        std::vector<std::string> out;
        for (const CScanItem& i : list.items()) out.push_back(i.text);
        return out;
    }
    std::vector<std::string> Found() { return Texts(rig.ctx->report().found()); }
    std::vector<std::string> Failed() { return Texts(rig.ctx->report().failed()); }
    bool Exists(std::string_view path) {
        std::uint32_t a = 0;
        return rig.ctx->files().GetAttributes(path, a) == ERROR_SUCCESS;
    }
    bool ReadOnly(std::string_view path) {
        std::uint32_t a = 0;
        return rig.ctx->files().GetAttributes(path, a) == ERROR_SUCCESS &&
               (a & FILE_ATTRIBUTE_READONLY) != 0;
    }
    void MakeReadOnly(std::string_view path) {
#ifdef _WIN32
        std::uint32_t a = 0;
        ASSERT_EQ(rig.ctx->files().GetAttributes(path, a), ERROR_SUCCESS);
        ASSERT_EQ(rig.ctx->files().SetAttributes(path, a | FILE_ATTRIBUTE_READONLY), ERROR_SUCCESS);
        return;
#endif
        fs::permissions(rig.image.Host(path),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    std::vector<std::string> Pending() { return rig.machine->image().PendingDeletes(); }
    bool TracesLeft(std::string_view path) {
        std::string slashed(path);
        for (char& c : slashed) c = c == '\\' ? '/' : c;
        Context& ctx = *rig.ctx;
        return KeyExists(ctx, HKEY_LOCAL_MACHINE,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage\\" + slashed) ||
               ValueExists(ctx, HKEY_LOCAL_MACHINE,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", path) ||
               ValueExists(ctx, HKEY_CURRENT_USER, kMuiCacheKey, path);
    }
    test::PlatformRig rig;
};

// ---- parameters and paths

TEST(FileParams, SplitAtTheFirstBarThenTrimmed) {
    FileParam p = SplitFileParam("C:\\Program Files\\a b.dll");
    EXPECT_EQ(p.path, "C:\\Program Files\\a b.dll");
    EXPECT_EQ(p.sizeText, "");
    p = SplitFileParam("C:\\x.dll | 1234 | extra | more ");
    EXPECT_EQ(p.path, "C:\\x.dll ");  // the path is not trimmed
    EXPECT_EQ(p.sizeText, "1234 ");
    EXPECT_EQ(p.extra, "extra | more");
    p = SplitFileParam("C:\\x.dll|  ");
    EXPECT_EQ(p.path, "C:\\x.dll");
    EXPECT_EQ(p.sizeText, "");
    p = SplitFileParam("C:\\x.dll||x");
    EXPECT_EQ(p.sizeText, "");
    EXPECT_EQ(p.extra, "x");
}

TEST(FileParams, CombineAndExtension) {
    EXPECT_EQ(CombinePath("C:\\WINDOWS", "x.dll"), "C:\\WINDOWS\\x.dll");
    EXPECT_EQ(CombinePath("C:\\WINDOWS\\", "\\x.dll"), "C:\\WINDOWS\\x.dll");
    EXPECT_EQ(CombinePath("C:\\", "x.dll"), "C:\\x.dll");
    EXPECT_EQ(CombinePath("C:", "x.dll|12"), "C:\\x.dll|12");
    EXPECT_EQ(CombinePath("", "x.dll"), "x.dll");

    EXPECT_EQ(PathExtension("C:\\dir\\x.EXE"), ".EXE");
    EXPECT_EQ(PathExtension("C:\\x.tar.gz"), ".gz");
    EXPECT_EQ(PathExtension("C:\\a.exe\\file"), "");
    EXPECT_EQ(PathExtension("C:\\a.exe/file"), "");
    EXPECT_EQ(PathExtension("C:\\dir\\x."), ".");
}

// ---- matching and scanning

TEST_F(FileOps, MatchFileComparesTheSizeWhenGiven) {
    rig.image.File("C:\\empty.dll", "").File("C:\\f.dll", std::string(1234, 'x'));
    rig.image.Folder("C:\\dir.dll");
    Context& ctx = Load();
    EXPECT_EQ(MatchFile(ctx, "C:\\empty.dll|0"), 1);
    EXPECT_EQ(MatchFile(ctx, "C:\\f.dll|0"), 0);
    EXPECT_EQ(MatchFile(ctx, "C:\\f.dll|1234"), 1);
    EXPECT_EQ(MatchFile(ctx, "C:\\f.dll|1234|anything|else"), 1);
    EXPECT_EQ(MatchFile(ctx, "C:\\f.dll|1234abc"), 1);  // leading digits
    EXPECT_EQ(MatchFile(ctx, "C:\\f.dll|abc"), 0);      // reads as 0
    EXPECT_EQ(MatchFile(ctx, "C:\\dir.dll"), 0);
    EXPECT_EQ(MatchFile(ctx, "C:\\dir.dll|0"), 0);
    EXPECT_EQ(MatchFile(ctx, "C:\\missing.dll"), 0);
}

TEST_F(FileOps, ScanFileRecordsTheFileAndItsRegistryTraces) {
    const std::string path = "C:\\Program Files\\Bad Co\\bad.dll";
    rig.image.File(path);
    Context& ctx = Load("", Traces(path));
    EXPECT_EQ(ScanFile(ctx, path + "|1"), 1);
    std::vector<std::string> expected = {path};
    for (const std::string& t : TraceTexts(path)) expected.push_back(t);
    EXPECT_EQ(Found(), expected);
    EXPECT_EQ(ctx.report().found().At(0).type, FILE);
    EXPECT_EQ(ctx.report().found().At(2).type, REGVAL);  // SharedDLLs counts are DWORDs

    // Everything again is a duplicate; the short form gives the same long text.
    EXPECT_EQ(ScanFile(ctx, path), 0);
    EXPECT_EQ(ScanFile(ctx, "c:\\progra~1\\badco~1\\BAD.DLL"), 0);
    EXPECT_EQ(Found().size(), 4u);
}

TEST_F(FileOps, ScanFileOnAFolderOrAMissingFileStillFindsTheTraces) {
    rig.image.Folder("C:\\WINDOWS\\odd.dll");
    Context& ctx = Load("", Traces("C:\\WINDOWS\\odd.dll") + Traces("C:\\WINDOWS\\gone.dll"));
    EXPECT_EQ(ScanFile(ctx, "C:\\WINDOWS\\odd.dll"), 1);
    EXPECT_EQ(Found(), TraceTexts("C:\\WINDOWS\\odd.dll"));
    ctx.report().ClearAll();
    EXPECT_EQ(ScanFile(ctx, "C:\\WINDOWS\\gone.dll|10"), 1);
    EXPECT_EQ(Found(), TraceTexts("C:\\WINDOWS\\gone.dll"));
    ctx.report().ClearAll();
    EXPECT_EQ(ScanFile(ctx, "C:\\WINDOWS\\clean.dll"), 0);
    EXPECT_TRUE(Found().empty());
}

TEST_F(FileOps, AParameterWithoutAPathTouchesNothing) {
    // With an empty path the ModuleUsage key would be the whole ModuleUsage tree.
    Context& ctx = Load("", Traces("C:\\WINDOWS\\x.dll"));
    EXPECT_EQ(ScanFile(ctx, "|0"), 0);
    EXPECT_EQ(CureFile(ctx, " |0"), 1);
    EXPECT_TRUE(Found().empty());
    EXPECT_TRUE(Failed().empty());
    EXPECT_TRUE(KeyExists(ctx, HKEY_LOCAL_MACHINE,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage"));
    EXPECT_TRUE(Pending().empty());
}

// ---- removing files

TEST_F(FileOps, CureFileRemovesAReadOnlyFileAndItsTraces) {
    const std::string path = "C:\\WINDOWS\\system32\\ro.dll";
    rig.image.File(path, "12345");
    Context& ctx = Load("", Traces(path));
    MakeReadOnly(path);
    ASSERT_TRUE(ReadOnly(path));
    ReportFile(ctx, kFailed, path);  // an earlier attempt failed
    rig.debug.Clear();

    EXPECT_EQ(CureFile(ctx, path + "|999"), 1);  // the size is not compared
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(TracesLeft(path));
    EXPECT_TRUE(Failed().empty());
    EXPECT_EQ(rig.debug.Text(), "RollBack... FAIL.FILE   " + path + "\n");
    // Gone now: removing it again counts as done.
    EXPECT_EQ(CureFile(ctx, path), 1);
    EXPECT_EQ(CureFile(ctx, "C:\\NoFolder\\none.exe"), 1);
    EXPECT_TRUE(Failed().empty());
    EXPECT_TRUE(Pending().empty());
}

TEST_F(FileOps, CureFileEndsTheProgramBeforeDeletingIt) {
    rig.image.File("C:\\Bad\\bad.exe").File("C:\\Bad\\bad.exe.host");
    Context& ctx = Load(
        "[process bad]\nimage=C:\\Bad\\bad.exe\n"
        "[process host]\nimage=C:\\Bad\\bad.exe.host\n");
    // Not a program by its extension: nothing is ended and the held image stays.
    EXPECT_EQ(CureFile(ctx, "C:\\Bad\\bad.exe.host"), 0);
    EXPECT_EQ(ctx.machine().processes().List().size(), 2u);
    EXPECT_EQ(Failed(), std::vector<std::string>{"C:\\Bad\\bad.exe.host"});
    rig.debug.Clear();

    EXPECT_EQ(CureFile(ctx, "C:\\BAD\\BAD.EXE"), 1);
    EXPECT_FALSE(Exists("C:\\Bad\\bad.exe"));
    // Both images contain the path; both are ended.
    EXPECT_EQ(rig.debug.Text(), "Kill... c:\\bad\\bad.exe\nKill... c:\\bad\\bad.exe.host\n");
    EXPECT_TRUE(ctx.machine().processes().List().empty());
}

TEST_F(FileOps, AProgramThatCannotBeEndedIsScheduledAndReported) {
    rig.image.File("C:\\Bad\\stuck.exe");
    Context& ctx = Load("[process s]\nimage=C:\\Bad\\stuck.exe\nterminable=no\n");
    // The registry traces are absent (done), yet the file is left: not done.
    EXPECT_EQ(CureFile(ctx, "C:\\Bad\\stuck.exe"), 0);
    EXPECT_TRUE(Exists("C:\\Bad\\stuck.exe"));
    EXPECT_EQ(Pending(), std::vector<std::string>{"C:\\Bad\\stuck.exe"});
    EXPECT_EQ(Failed(), std::vector<std::string>{"C:\\Bad\\stuck.exe"});
    EXPECT_NE(rig.debug.Text().find("FAIL.FILE   C:\\Bad\\stuck.exe\n"), std::string::npos);

    rig.machine->image().Restart();
    EXPECT_FALSE(Exists("C:\\Bad\\stuck.exe"));
}

TEST_F(FileOps, AFailedSchedulingIsLoggedAndTheFileStillReported) {
#ifdef _WIN32
    GTEST_SKIP() << "the machine the tests run on is of the NT family: its deletions at restart "
                    "go to the Session Manager, never to a 9x machine's Wininit.ini";
#endif
    // A 9x machine without its Windows folder has no Wininit.ini to write.
    rig.image.File("C:\\Bad\\a.exe");
    Context& ctx = Load("[machine]\nos=9x\n[process a]\nimage=C:\\Bad\\a.exe\nterminable=no\n");
    EXPECT_EQ(DeleteAtRestart(ctx, "C:\\Bad\\a.exe"), 0);
    EXPECT_EQ(
        rig.debug.Text(),
        "WritePrivateProfileStringA() error... The system cannot find the path specified.\r\n\n");
    rig.debug.Clear();
    EXPECT_EQ(CureFile(ctx, "C:\\Bad\\a.exe"), 0);
    EXPECT_EQ(Failed(), std::vector<std::string>{"C:\\Bad\\a.exe"});
    EXPECT_TRUE(Pending().empty());
}

TEST_F(FileOps, CureFileLeavesAFolderOfThatNameAlone) {
    if (test::OnWine()) GTEST_SKIP() << "Wine keeps no read-only attribute on folders";
    rig.image.Folder("C:\\WINDOWS\\odd.dll");
    Context& ctx = Load("", Traces("C:\\WINDOWS\\odd.dll"));
    MakeReadOnly("C:\\WINDOWS\\odd.dll");
    EXPECT_EQ(CureFile(ctx, "C:\\WINDOWS\\odd.dll"), 1);
    EXPECT_TRUE(IsExistingFolder(ctx, "C:\\WINDOWS\\odd.dll"));
    EXPECT_TRUE(ReadOnly("C:\\WINDOWS\\odd.dll"));
    EXPECT_TRUE(Pending().empty());
    EXPECT_TRUE(Failed().empty());
    EXPECT_FALSE(TracesLeft("C:\\WINDOWS\\odd.dll"));  // the traces go all the same
}

TEST_F(FileOps, CureFileReportsTracesItCannotRemove) {
    const std::string path = "C:\\WINDOWS\\x.dll";
    rig.image.File(path);
    Context& ctx = Load("", Traces(path));
    rig.faults().hook = [](const test::RegCall& c) {
        return c.op == "DeleteTree" || c.op == "DeleteValue" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };
    EXPECT_EQ(CureFile(ctx, path), 0);
    EXPECT_FALSE(Exists(path));
    const std::vector<std::string> traces = TraceTexts(path);
    EXPECT_EQ(Failed(), (std::vector<std::string>{traces[0], traces[1],
                                                  std::string(kMui) + " \"" + path + "\""}));
}

// ---- folders

TEST_F(FileOps, CureFolderEndsItsProgramsAndRemovesTheTree) {
    for (const char* f :
         {"C:\\Bad\\a.exe", "C:\\Bad\\b.dll", "C:\\Bad\\readme.txt", "C:\\Bad\\sub\\c.ocx",
          "C:\\Bad\\sub\\deep\\d.ax", "C:\\Bad\\sub\\deep\\e.txt", "C:\\Bad\\ro.ini"})
        rig.image.File(f);
    rig.image.Folder("C:\\Bad\\sub\\empty").File("C:\\Badge\\keep.exe");
    Context& ctx = Load(
        "[process a]\nimage=C:\\Bad\\a.exe\n"
        "[process d]\nimage=C:\\Bad\\sub\\deep\\d.ax\n"
        "[process keep]\nimage=C:\\Badge\\keep.exe\n");
    MakeReadOnly("C:\\Bad\\ro.ini");
    MakeReadOnly("C:\\Bad\\sub\\empty");

    EXPECT_EQ(CureFolder(ctx, "C:\\Bad"), 1);
    EXPECT_FALSE(Exists("C:\\Bad"));
    EXPECT_TRUE(Failed().empty());
    EXPECT_EQ(rig.debug.Text().find("Kill... c:\\bad\\a.exe\nKill... c:\\bad\\sub\\deep\\d.ax\n"),
              0u);
    // A neighbour whose name merely begins alike keeps running.
    EXPECT_TRUE(Exists("C:\\Badge\\keep.exe"));
    EXPECT_EQ(ctx.machine().processes().List().size(), 1u);
    EXPECT_TRUE(Pending().empty());
}

TEST_F(FileOps, CureFolderWithALockedProgramReportsFileAndFolder) {
    rig.image.File("C:\\Bad\\run.exe").File("C:\\Bad\\x.dll").File("C:\\Bad\\sub\\y.txt");
    Context& ctx = Load("[process run]\nimage=C:\\Bad\\run.exe\nterminable=no\n");
    EXPECT_EQ(CureFolder(ctx, "C:\\Bad\\"), 0);
    EXPECT_FALSE(Exists("C:\\Bad\\x.dll"));
    EXPECT_FALSE(Exists("C:\\Bad\\sub"));
    EXPECT_TRUE(Exists("C:\\Bad\\run.exe"));
    EXPECT_EQ(Failed(), (std::vector<std::string>{"C:\\Bad\\run.exe", "C:\\Bad\\"}));
    EXPECT_EQ(ctx.report().failed().At(0).type, FILE);
    EXPECT_EQ(ctx.report().failed().At(1).type, DIR);
    ASSERT_FALSE(Pending().empty());
    for (const std::string& p : Pending()) EXPECT_EQ(p, "C:\\Bad\\run.exe");
}

TEST_F(FileOps, RemoveFolderIfEmptyRemovesOnlyEmptyFolders) {
    rig.image.File("C:\\Full\\x.txt").Folder("C:\\Empty").File("C:\\plain.txt");
    Context& ctx = Load();
    MakeReadOnly("C:\\Empty");
    EXPECT_EQ(RemoveFolderIfEmpty(ctx, "C:\\Full"), 0);
    EXPECT_EQ(Failed(), std::vector<std::string>{"C:\\Full"});
    EXPECT_EQ(RemoveFolderIfEmpty(ctx, "C:\\Empty"), 1);
    EXPECT_FALSE(Exists("C:\\Empty"));
    EXPECT_EQ(RemoveFolderIfEmpty(ctx, "C:\\Missing"), 1);
    // A file of that name is no folder: its attributes stay, nothing is reported.
    MakeReadOnly("C:\\plain.txt");
    EXPECT_EQ(RemoveFolderIfEmpty(ctx, "C:\\plain.txt"), 1);
    EXPECT_TRUE(ReadOnly("C:\\plain.txt"));
    EXPECT_EQ(Failed().size(), 1u);

    // Emptied later, the folder goes and its failure is withdrawn.
    ASSERT_EQ(ctx.files().DeleteFile("C:\\Full\\x.txt"), ERROR_SUCCESS);
    EXPECT_EQ(RemoveFolderIfEmpty(ctx, "C:\\Full"), 1);
    EXPECT_TRUE(Failed().empty());
    EXPECT_TRUE(Pending().empty());  // folders are never scheduled
}

// ---- masks

TEST_F(FileOps, MasksListTheFolderItselfAndSkipFolders) {
    for (const char* f : {"C:\\WINDOWS\\a.tmp", "C:\\WINDOWS\\B.TMP", "C:\\WINDOWS\\c.txt",
                          "C:\\WINDOWS\\x.tmp\\inner.tmp", "C:\\WINDOWS\\sub\\z.tmp"})
        rig.image.File(f);
    Context& ctx = Load();
    EXPECT_EQ(ScanFilesByMask(ctx, "*.tmp", "C:\\WINDOWS"), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{"C:\\WINDOWS\\a.tmp", "C:\\WINDOWS\\B.TMP"}));
    EXPECT_EQ(ScanFilesByMask(ctx, "*.tmp", "C:\\WINDOWS"), 0);
    EXPECT_EQ(ScanFilesByMask(ctx, "*.tmp", "C:\\NoSuchFolder"), 0);

    EXPECT_EQ(CureFilesByMask(ctx, "*.TMP", "C:\\WINDOWS"), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\a.tmp") || Exists("C:\\WINDOWS\\B.TMP"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\x.tmp\\inner.tmp") && Exists("C:\\WINDOWS\\c.txt"));
    EXPECT_EQ(CureFilesByMask(ctx, "*.tmp", "C:\\WINDOWS"), 1);  // nothing left to match
}

TEST_F(FileOps, AMaskNamingASubfolderGivesThatSubfoldersPaths) {
    rig.image.File("C:\\WINDOWS\\sub\\z.tmp").File("C:\\WINDOWS\\z.tmp");
    Context& ctx = Load();
    EXPECT_EQ(ScanFilesByMask(ctx, "sub\\*.tmp", "C:\\WINDOWS"), 1);
    EXPECT_EQ(Found(), std::vector<std::string>{"C:\\WINDOWS\\sub\\z.tmp"});
    EXPECT_EQ(CureFilesByMask(ctx, "sub\\*.tmp", "C:\\WINDOWS"), 1);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\sub\\z.tmp"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\z.tmp"));  // same name, other folder
}

}  // namespace
}  // namespace veldan::platform
