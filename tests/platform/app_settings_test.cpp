// The settings file Veldan.ini and the update host it may name.
#include "platform/app_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace veldan::platform {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(AppSettingsTest, MissingFileGivesDefaultsAndTheFirstWriteCreatesIt) {
    test::TempDir dir;
    CAppSettings settings(dir.path().string());
    EXPECT_EQ(settings.ReadString("homepage", "about:blank"), "about:blank");
    ASSERT_EQ(settings.WriteString("homepage", "http://www.veldan.test/"), 1);
    EXPECT_EQ(settings.ReadString("homepage", "about:blank"), "http://www.veldan.test/");
    EXPECT_EQ(ReadAll(settings.path()), "[VELDAN]\r\nhomepage=http://www.veldan.test/\r\n");
}

TEST(AppSettingsTest, WritesChangeOnlyTheirKeyAndReadsIgnoreOtherSections) {
    test::TempDir dir;
    std::ofstream(dir.path() / "Veldan.ini", std::ios::binary)
        << "; kept\n[other]\nhomepage=wrong\n[veldan]\nHomePage = http://a.test/ \nmachine=/m\n";
    CAppSettings settings(dir.path().string());
    EXPECT_EQ(settings.ReadString("homepage", ""), "http://a.test/");
    ASSERT_EQ(settings.WriteString("homepage", "about:blank"), 1);
    EXPECT_EQ(ReadAll(settings.path()),
              "; kept\n[other]\nhomepage=wrong\n[veldan]\nhomepage=about:blank\nmachine=/m\n");
}

TEST(AppSettingsTest, ValuesAreCutAt255BytesOnACharacterBoundary) {
    test::TempDir dir;
    CAppSettings settings(dir.path().string());
    std::string longValue = "a";
    for (int i = 0; i < 100; ++i) longValue += "가";  // three bytes each
    ASSERT_EQ(settings.WriteString("homepage", longValue), 1);
    std::string read = settings.ReadString("homepage", "");
    EXPECT_LE(read.size(), 255u);
    EXPECT_EQ(read.size(), 1u + 84u * 3u);
    EXPECT_EQ(read, longValue.substr(0, read.size()));
}

TEST(AppSettingsTest, AReadOnlyFolderKeepsTheValueUnwritten) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder without write permission is a POSIX notion: Windows keeps no "
                    "such right in the attributes, and its read-only attribute refuses nothing";
#endif
    test::TempDir dir;
    std::string folder = dir.path().string() + "/ro";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
    CAppSettings settings(folder);
    EXPECT_EQ(settings.WriteString("homepage", "x"), 0);
    EXPECT_EQ(settings.ReadString("homepage", "about:blank"), "about:blank");
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
}

TEST(UpdateHostTest, EnvironmentThenSettingsThenTheDefault) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    unsetenv("VELDAN_UPDATE_HOST");
    EXPECT_EQ(UpdateHost(folder), std::string(kDefaultUpdateHost));
    CAppSettings(folder).WriteString("updatehost", " mirror.example.test:8080 ");
    EXPECT_EQ(UpdateHost(folder), "mirror.example.test:8080");
    setenv("VELDAN_UPDATE_HOST", "127.0.0.1:9", 1);
    EXPECT_EQ(UpdateHost(folder), "127.0.0.1:9");
    setenv("VELDAN_UPDATE_HOST", "  ", 1);  // blank counts as unset
    EXPECT_EQ(UpdateHost(folder), "mirror.example.test:8080");
    unsetenv("VELDAN_UPDATE_HOST");
}

}  // namespace
}  // namespace veldan::platform
