// The Winsock catalog repair on the catalogs of a real Windows 10 SYSTEM hive,
// whose entries hold values that Windows XP never wrote. The hive comes from the
// shared test data (VELDAN_TESTDATA, else ../shared/testdata beside the source
// tree); without it the test is skipped.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "machine/backends/hive_convert.h"
#include "machine/hive/hive_registry.h"
#include "platform/winsock.h"
#include "support/platform_rig.h"
#include "support/run_program.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

namespace fs = std::filesystem;
using namespace machine;

using Entry = std::vector<std::pair<std::string, RegValue>>;  // values in their order
using Catalog = std::map<std::string, Entry>;

std::string TestData() {
    if (const char* env = std::getenv("VELDAN_TESTDATA")) return env;
    return test::SourceFolder() + "/../shared/testdata";
}

Catalog Read(const Registry& reg, std::string_view entriesKey) {
    Catalog out;
    std::string name;
    for (std::uint32_t i = 0; reg.EnumKey(HKEY_LOCAL_MACHINE, entriesKey, i, name) == ERROR_SUCCESS;
         ++i) {
        const std::string key = std::string(entriesKey) + "\\" + name;
        Entry& entry = out[name];
        std::string valueName;
        RegValue v;
        for (std::uint32_t k = 0;
             reg.EnumValue(HKEY_LOCAL_MACHINE, key, k, valueName, &v) == ERROR_SUCCESS; ++k) {
            entry.emplace_back(valueName, v);
        }
    }
    return out;
}

class RealWinsockCatalog : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path xz = fs::path(TestData()) / "real-hives" / "SYSTEM_WIN_10_1709.xz";
        if (!fs::exists(xz)) GTEST_SKIP() << "no shared test data at " << xz;
        const fs::path hive = rig.dir.path() / "SYSTEM";
        const std::string command = "xz -dc '" + xz.string() + "' > '" + hive.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

        hive::HiveRegistry real;
        std::string error;
        ASSERT_TRUE(real.Mount(HKEY_LOCAL_MACHINE, "SYSTEM", hive.string(), "", true, error))
            << error;
        rig.Load();
        // The hive's catalogs, where a Windows XP image keeps them.
        ASSERT_EQ(hive::CopyRegistryTree(real, HKEY_LOCAL_MACHINE,
                                         "SYSTEM\\ControlSet001\\Services\\WinSock2", rig.raw(),
                                         HKEY_LOCAL_MACHINE,
                                         "SYSTEM\\CurrentControlSet\\Services\\WinSock2"),
                  ERROR_SUCCESS);
        protocols = Read(rig.raw(), kProtocolEntriesKey);
        nameSpaces = Read(rig.raw(), kNameSpaceEntriesKey);
        ASSERT_GT(protocols.size(), 3u);
        ASSERT_GT(nameSpaces.size(), 1u);
    }
    test::PlatformRig rig;
    Catalog protocols, nameSpaces;
};

TEST_F(RealWinsockCatalog, HoldsValuesBesidesThePackedItem) {
    bool later = false;
    for (const auto& [name, entry] : protocols) {
        for (const auto& [value, v] : entry) later = later || value == "ProtocolName";
    }
    EXPECT_TRUE(later);
}

TEST_F(RealWinsockCatalog, ACureThatMatchesNothingChangesNoEntry) {
    EXPECT_EQ(LspFix(*rig.ctx, "no-such-provider.dll", true), 0);
    EXPECT_EQ(Read(rig.raw(), kProtocolEntriesKey), protocols);
    EXPECT_EQ(Read(rig.raw(), kNameSpaceEntriesKey), nameSpaces);
}

TEST_F(RealWinsockCatalog, ACureMovesLaterEntriesDownWithAllTheirValues) {
    // The first entry's provider, named by its own path.
    const std::string firstKey = std::string(kProtocolEntriesKey) + "\\" + protocols.begin()->first;
    RegValue packed;
    ASSERT_EQ(rig.raw().QueryValue(HKEY_LOCAL_MACHINE, firstKey, "PackedCatalogItem", packed),
              ERROR_SUCCESS);
    const std::string path = packed.data.substr(0, packed.data.find('\0'));
    ASSERT_FALSE(path.empty());

    EXPECT_GE(FixProtocolCatalog(*rig.ctx, path, true), 1);
    const Catalog after = Read(rig.raw(), kProtocolEntriesKey);
    // Every entry that did not name that path survives whole, in order.
    std::vector<Entry> kept, now;
    for (const auto& [name, entry] : protocols) {
        bool named = false;
        for (const auto& [value, v] : entry) {
            named = named || (value == "PackedCatalogItem" &&
                              text::ContainsNoCase(v.data.substr(0, v.data.find('\0')), path));
        }
        if (!named) kept.push_back(entry);
    }
    for (const auto& [name, entry] : after) now.push_back(entry);
    EXPECT_EQ(now, kept);
    EXPECT_LT(now.size(), protocols.size());
}

}  // namespace
}  // namespace veldan::platform
