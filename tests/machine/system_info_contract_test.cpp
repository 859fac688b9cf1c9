// What a machine tells about itself through the SystemInfo interface: the rules
// that hold on every backend, whatever its particular folders. On Linux the
// configured backend of an NT and a 9x machine; on Windows the live calls.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "machine/file_system.h"
#include "machine/registry.h"
#include "machine/system_info.h"
#include "support/temp_dir.h"
#include "text/strings.h"

#ifdef _WIN32
#include "machine/win32/win32_file_system.h"
#include "machine/win32/win32_registry.h"
#include "machine/win32/win32_services.h"
#else
#include <filesystem>

#include "machine/configured_system_info.h"
#include "machine/folder/host_paths.h"
#include "machine/folder/image_file_system.h"
#include "machine/memory/memory_machine.h"
#include "machine/memory_registry.h"
#endif

namespace veldan::machine {
namespace {

using Version = std::pair<unsigned, unsigned>;  // major, minor

#ifdef _WIN32

// The machine the tests run on.
class LiveBackend {
  public:
    SystemInfo& system() { return system_; }
    FileSystem& files() { return files_; }
    Registry& registry() { return registry_; }
    // A folder of the machine where the test may make folders of its own.
    std::string ScratchFolder() const { return dir_.str(); }
    // The version the Wine prefix is set to (VELDAN_WINE_VERSION); unknown on Windows.
    static std::optional<Version> ExpectedVersion() {
        const char* v = std::getenv("VELDAN_WINE_VERSION");
        if (v == nullptr) return std::nullopt;
        if (std::string_view(v) == "winxp") return Version{5, 1};
        if (std::string_view(v) == "winxp64") return Version{5, 2};
        return std::nullopt;
    }

  private:
    test::TempDir dir_;
    win32::Win32SystemInfo system_;
    win32::Win32Profiles profiles_;
    win32::Win32FileSystem files_{OsFamily::Nt, profiles_};
    win32::Win32Registry registry_{win32::Win32Registry::LiveRoots(), OsFamily::Nt};
};

using SystemInfoBackends = ::testing::Types<LiveBackend>;

#else

// A machine that is not running, of the given family, with an empty drive C:.
template <OsFamily kFamily>
class ConfiguredBackend {
  public:
    SystemInfo& system() { return machine_.system(); }
    FileSystem& files() { return machine_.files(); }
    Registry& registry() { return machine_.registry(); }
    std::string ScratchFolder() const { return "C:\\임시 폴더"; }
    static std::optional<Version> ExpectedVersion() {
        return kFamily == OsFamily::Nt ? Version{5, 1} : Version{4, 10};  // XP, 98
    }

  private:
    static SystemSettings Settings() {
        SystemSettings s;
        s.os = kFamily;
        s.user = "사용자";
        return s;
    }
    memory::MemoryMachine machine_{Settings()};
};

// An NT machine image whose drive C: is an empty host folder.
class ImageDriveBackend {
  public:
    SystemInfo& system() { return system_; }
    FileSystem& files() { return files_; }
    Registry& registry() { return registry_; }
    std::string ScratchFolder() const { return "C:\\임시 폴더"; }
    static std::optional<Version> ExpectedVersion() { return Version{5, 1}; }

  private:
    static std::string MakeDrive(const test::TempDir& dir) {
        std::filesystem::create_directory(dir.path() / "drive_c");
        return (dir.path() / "drive_c").string();
    }

    test::TempDir dir_;
    image::HostPaths paths_{MakeDrive(dir_)};
    image::ImageFileSystem files_{paths_, [](const std::string&) { return false; },
                                  [](std::string_view) { return ERROR_SUCCESS; }};
    MemoryRegistry registry_;
    ConfiguredSystemInfo system_{SystemSettings{}, registry_, files_};
};

using NtBackend = ConfiguredBackend<OsFamily::Nt>;
using NineXBackend = ConfiguredBackend<OsFamily::Win9x>;
using SystemInfoBackends = ::testing::Types<NtBackend, NineXBackend, ImageDriveBackend>;

#endif

// "X:\..." with a drive letter.
bool HasDrive(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;
    const char letter = static_cast<char>(path[0] & ~0x20);  // upper case
    return letter >= 'A' && letter <= 'Z';
}

// True when `inner` is `outer` or lies below it.
bool LiesIn(const std::string& inner, const std::string& outer) {
    return text::EqualsNoCase(inner, outer) ||
           (text::StartsWithNoCase(inner, outer) && inner.size() > outer.size() &&
            inner[outer.size()] == '\\');
}

// The special folders the engine asks for.
constexpr int kEngineFolders[] = {
    CSIDL_PROGRAMS,
    CSIDL_PERSONAL,
    CSIDL_FAVORITES,
    CSIDL_STARTUP,
    CSIDL_SENDTO,
    CSIDL_STARTMENU,
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_FONTS,
    CSIDL_TEMPLATES,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
    CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_PROGRAMS,
    CSIDL_COMMON_STARTUP,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_COMMON_FAVORITES,
    CSIDL_COMMON_APPDATA,
    CSIDL_PROFILE,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILES_COMMON,
};

// Those the 9x family has too; the others are NT's alone.
bool NineXHas(int csidl) {
    switch (csidl) {
        case CSIDL_LOCAL_APPDATA:
        case CSIDL_COMMON_STARTMENU:
        case CSIDL_COMMON_PROGRAMS:
        case CSIDL_COMMON_STARTUP:
        case CSIDL_COMMON_DESKTOPDIRECTORY:
        case CSIDL_COMMON_FAVORITES:
        case CSIDL_COMMON_APPDATA:
        case CSIDL_PROFILE:
            return false;
        default:
            return true;
    }
}

template <typename Backend>
class SystemInfoTest : public ::testing::Test {
  protected:
    bool Nt() { return info_.Family() == OsFamily::Nt; }
    std::string Folder(int csidl) {
        std::string path;
        EXPECT_EQ(info_.GetSpecialFolderPath(csidl, false, path), ERROR_SUCCESS) << csidl;
        return path;
    }
    bool IsFolder(const std::string& path) {
        std::uint32_t attributes = 0;
        return backend_.files().GetAttributes(path, attributes) == ERROR_SUCCESS &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    Backend backend_;
    SystemInfo& info_ = backend_.system();
};

TYPED_TEST_SUITE(SystemInfoTest, SystemInfoBackends);

TYPED_TEST(SystemInfoTest, FamilyAndVersionAgree) {
    const std::uint32_t v = this->info_.Version();
    const Version got{v & 0xFFu, (v >> 8) & 0xFFu};
    EXPECT_EQ((v & 0x80000000u) == 0, this->Nt()) << std::hex << v;
    if (const auto expected = TypeParam::ExpectedVersion()) {
        EXPECT_EQ(got, *expected) << std::hex << v;
    }
    EXPECT_GE(got.first, 4u);
}

TYPED_TEST(SystemInfoTest, WindowsSystemAndTemporaryFolders) {
    const std::string windir = this->info_.WindowsDirectory();
    ASSERT_TRUE(HasDrive(windir)) << windir;
    EXPECT_NE(windir.back(), '\\');
    const std::string system = this->info_.SystemDirectory();
    EXPECT_TRUE(text::EqualsNoCase(system, windir + (this->Nt() ? "\\system32" : "\\SYSTEM")))
        << system;

    const std::string temp = this->info_.TempPath();
    ASSERT_TRUE(HasDrive(temp)) << temp;
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_NE(temp.substr(temp.size() - 2), "\\\\");
}

TYPED_TEST(SystemInfoTest, EnvironmentAgreesWithTheCalls) {
    SystemInfo& info = this->info_;
    const std::string windir = info.WindowsDirectory();
    EXPECT_TRUE(text::EqualsNoCase(info.ExpandEnvironment("%windir%"), windir));
    EXPECT_TRUE(
        text::EqualsNoCase(info.ExpandEnvironment("%SystemRoot%\\x.dll"), windir + "\\x.dll"));
    EXPECT_TRUE(text::EqualsNoCase(info.ExpandEnvironment("%TEMP%") + "\\", info.TempPath()));
    EXPECT_TRUE(
        text::EqualsNoCase(info.ExpandEnvironment("[%USERNAME%]"), "[" + info.UserName() + "]"));
    EXPECT_EQ(info.ExpandEnvironment("a %NO_SUCH_VELDAN_NAME% b 100%"),
              "a %NO_SUCH_VELDAN_NAME% b 100%");

    const std::string user = info.UserName();
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user.find('\\'), std::string::npos) << user;
}

TYPED_TEST(SystemInfoTest, SpecialFoldersOfTheFamily) {
    for (int csidl : kEngineFolders) {
        SCOPED_TRACE(csidl);
        std::string path = "untouched";
        const WinError err = this->info_.GetSpecialFolderPath(csidl, false, path);
        if (!this->Nt() && !NineXHas(csidl)) {
            EXPECT_EQ(err, ERROR_FILE_NOT_FOUND);
            EXPECT_EQ(path, "untouched");
            continue;
        }
        ASSERT_EQ(err, ERROR_SUCCESS);
        EXPECT_TRUE(HasDrive(path)) << path;
        EXPECT_NE(path.back(), '\\') << path;
    }
    std::string path = "untouched";
    EXPECT_EQ(this->info_.GetSpecialFolderPath(0x7E, false, path), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(path, "untouched");
}

// Where the folders lie in one another as the shell lays them out.
TYPED_TEST(SystemInfoTest, SpecialFoldersNest) {
    EXPECT_TRUE(LiesIn(this->Folder(CSIDL_STARTUP), this->Folder(CSIDL_PROGRAMS)));
    EXPECT_TRUE(LiesIn(this->Folder(CSIDL_PROGRAMS), this->Folder(CSIDL_STARTMENU)));
    EXPECT_TRUE(LiesIn(this->Folder(CSIDL_FONTS), this->info_.WindowsDirectory()));
    EXPECT_TRUE(
        LiesIn(this->Folder(CSIDL_PROGRAM_FILES_COMMON), this->Folder(CSIDL_PROGRAM_FILES)));
    if (!this->Nt()) return;
    EXPECT_TRUE(LiesIn(this->Folder(CSIDL_COMMON_STARTUP), this->Folder(CSIDL_COMMON_PROGRAMS)));
    EXPECT_TRUE(LiesIn(this->Folder(CSIDL_COMMON_PROGRAMS), this->Folder(CSIDL_COMMON_STARTMENU)));
    const std::string profile = this->Folder(CSIDL_PROFILE);
    for (int csidl :
         {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU}) {
        EXPECT_TRUE(LiesIn(this->Folder(csidl), profile)) << csidl;
    }
}

TYPED_TEST(SystemInfoTest, FoldersAskedWithCreateExist) {
    for (int csidl : kEngineFolders) {
        if (!this->Nt() && !NineXHas(csidl)) continue;
        SCOPED_TRACE(csidl);
        std::string path;
        ASSERT_EQ(this->info_.GetSpecialFolderPath(csidl, true, path), ERROR_SUCCESS);
        EXPECT_TRUE(this->IsFolder(path)) << path;
    }
}

// The folder "User Shell Folders" names for the user, for as long as a test holds it.
class RedirectedFolder {
  public:
    RedirectedFolder(Registry& registry, std::string_view name, const std::string& path)
        : registry_(registry), name_(name) {
        had_ = registry_.QueryValue(HKEY_CURRENT_USER, kKey, name_, old_) == ERROR_SUCCESS;
        EXPECT_EQ(registry_.CreateKey(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
        EXPECT_EQ(registry_.SetValue(HKEY_CURRENT_USER, kKey, name_,
                                     RegValue::String(path, REG_EXPAND_SZ)),
                  ERROR_SUCCESS);
    }
    ~RedirectedFolder() {
        const WinError err = had_ ? registry_.SetValue(HKEY_CURRENT_USER, kKey, name_, old_)
                                  : registry_.DeleteValue(HKEY_CURRENT_USER, kKey, name_);
        EXPECT_EQ(err, ERROR_SUCCESS);
    }

  private:
    static constexpr std::string_view kKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    Registry& registry_;
    std::string name_;
    bool had_ = false;
    RegValue old_;
};

// A folder the registry names that does not exist yet is reported all the
// same; asked with create, it is made with the folders above it.
TYPED_TEST(SystemInfoTest, RegistryNamesAMissingFolder) {
    const std::string wanted = this->backend_.ScratchFolder() + "\\새 서식\\Templates";
    RedirectedFolder redirect(this->backend_.registry(), "Templates", wanted);
    std::string path;
    ASSERT_EQ(this->info_.GetSpecialFolderPath(CSIDL_TEMPLATES, false, path), ERROR_SUCCESS);
    EXPECT_TRUE(text::EqualsNoCase(path, wanted)) << path;
    EXPECT_FALSE(this->IsFolder(wanted));

    path.clear();
    ASSERT_EQ(this->info_.GetSpecialFolderPath(CSIDL_TEMPLATES, true, path), ERROR_SUCCESS);
    EXPECT_TRUE(text::EqualsNoCase(path, wanted)) << path;
    EXPECT_TRUE(this->IsFolder(wanted));
}

}  // namespace
}  // namespace veldan::machine
