// Short names the host file system keeps (as ntfs-3g shows NTFS short names)
// win over generated ones; generated names keep out of their way, and a file
// system that keeps none is asked once per folder. The attribute reader is
// injected: real system.* attributes need an NTFS mount.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "machine/folder/host_paths.h"
#include "support/temp_dir.h"

namespace veldan::machine::image {
namespace {

namespace fs = std::filesystem;

// Answers from a table of file names; counts the questions.
struct StoredNames {
    std::map<std::string, std::string> byName;  // file name -> stored name
    int answer = 0;                             // for names not in the table: 0 or -1
    int asked = 0;

    DosNameReader Reader() {
        return [this](const std::string& hostPath, std::string& dosName) {
            ++asked;
            auto it = byName.find(fs::path(hostPath).filename().string());
            if (it == byName.end()) return answer;
            dosName = it->second;
            return 1;
        };
    }
};

class StoredShortNames : public testing::Test {
  protected:
    StoredShortNames() { fs::create_directories(root); }
    void Folder(const std::string& rel) { fs::create_directories(root + "/" + rel); }
    test::TempDir dir;
    std::string root = (dir.path() / "drive_c").string();
    StoredNames stored;
};

TEST_F(StoredShortNames, AStoredNameIsPreferredAndResolves) {
    stored.byName = {{"Program Files", "PROGRA~2"}, {"Program Data", "progra~1"}};
    HostPaths paths(root, stored.Reader());
    Folder("Program Files/Internet Explorer");
    Folder("Program Data");

    EXPECT_EQ(paths.ShortName(root, "Program Files"), "PROGRA~2");
    EXPECT_EQ(paths.ShortName(root, "Program Data"), "PROGRA~1");  // upper-cased
    std::string out;
    ASSERT_EQ(paths.Resolve("C:\\progra~2\\Internet Explorer", out), ERROR_SUCCESS);
    EXPECT_EQ(out, root + "/Program Files/Internet Explorer");
    ASSERT_EQ(paths.ShortPath("C:\\Program Files\\Internet Explorer", out), ERROR_SUCCESS);
    EXPECT_EQ(out, "C:\\PROGRA~2\\INTERN~1");
}

TEST_F(StoredShortNames, GeneratedNamesKeepOutOfTheWayOfStoredOnes) {
    // "Program Apps" sorts first and has no stored name; it must not take
    // PROGRA~1, which the file system gave to "Program Files".
    stored.byName = {{"Program Files", "PROGRA~1"}};
    HostPaths paths(root, stored.Reader());
    Folder("Program Apps");
    Folder("Program Files");

    std::vector<FolderEntry> entries;
    ASSERT_EQ(paths.ListFolder(root, entries), ERROR_SUCCESS);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Program Apps");
    EXPECT_EQ(entries[0].shortName, "PROGRA~2");
    EXPECT_EQ(entries[1].shortName, "PROGRA~1");
}

TEST_F(StoredShortNames, UnusableStoredNamesAreReplacedByGeneratedOnes) {
    stored.byName = {{"Long Name One.txt", "NOT A SHORT NAME.TXT"},
                     {"Long Name Two.txt", "LONGNA~1.TXT"}};  // already given to One
    HostPaths paths(root, stored.Reader());
    dir.Write("drive_c/Long Name One.txt", "1");
    EXPECT_EQ(paths.ShortName(root, "Long Name One.txt"), "LONGNA~1.TXT");
    dir.Write("drive_c/Long Name Two.txt", "2");
    EXPECT_EQ(paths.ShortName(root, "Long Name Two.txt"), "LONGNA~2.TXT");
}

TEST_F(StoredShortNames, AFileSystemWithoutStoredNamesIsAskedOncePerFolder) {
    stored.answer = -1;
    HostPaths paths(root, stored.Reader());
    for (const char* name : {"Alpha Folder", "Beta Folder", "Gamma Folder"}) Folder(name);
    EXPECT_EQ(paths.ShortName(root, "Gamma Folder"), "GAMMAF~1");
    EXPECT_EQ(stored.asked, 1);

    // Files without a stored name (answer 0) are each asked about.
    StoredNames some;
    HostPaths other(root, some.Reader());
    EXPECT_EQ(other.ShortName(root, "Beta Folder"), "BETAFO~1");
    EXPECT_EQ(some.asked, 3);
}

TEST_F(StoredShortNames, TheRealReaderFallsBackOffNtfs) {
    // On a file system that keeps no NTFS names the attribute is missing and the
    // generated names stay.
    dir.Write("drive_c/Some Long Name.txt", "x");
    std::string dos;
    EXPECT_LE(host::ReadNtfsDosName(root + "/Some Long Name.txt", dos), 0);
    HostPaths paths(root);
    EXPECT_EQ(paths.ShortName(root, "Some Long Name.txt"), "SOMELO~1.TXT");
}

}  // namespace
}  // namespace veldan::machine::image
