// The image registry is used by a worker thread and the window's thread at
// once (a scan runs while the user ticks kill bits): every call must see a
// whole tree, never one half changed by the other thread.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "machine/memory_registry.h"

namespace veldan::machine::image {
namespace {

TEST(MemoryRegistryThreads, ReadersAndWritersOnTheSameKeysDoNotTearTheTree) {
    MemoryRegistry reg;
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Shared"), ERROR_SUCCESS);
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};

    // The writer adds and removes sub-keys and values as fast as it can, and
    // goes on until the reader has been at the tree at least once (on a busy
    // machine the reader may not start before 20000 rounds are over).
    std::thread writer([&] {
        for (int round = 0; round < 20000 || reads.load() == 0; ++round) {
            const std::string key = "Software\\Shared\\K" + std::to_string(round % 37);
            (void)reg.CreateKey(HKEY_LOCAL_MACHINE, key);
            RegValue v;
            v.type = REG_SZ;
            v.data = std::string("value") + std::to_string(round);
            (void)reg.SetValue(HKEY_LOCAL_MACHINE, key, "v" + std::to_string(round % 5), v);
            if (round % 3 == 0) (void)reg.DeleteTree(HKEY_LOCAL_MACHINE, key);
        }
        stop = true;
    });
    // The reader enumerates keys and values, as a scan does.
    std::thread reader([&] {
        while (!stop) {
            std::string name;
            for (std::uint32_t i = 0;
                 reg.EnumKey(HKEY_LOCAL_MACHINE, "Software\\Shared", i, name) == ERROR_SUCCESS;
                 ++i) {
                const std::string sub = "Software\\Shared\\" + name;
                std::string valueName;
                RegValue value;
                for (std::uint32_t j = 0;
                     reg.EnumValue(HKEY_LOCAL_MACHINE, sub, j, valueName, &value) == ERROR_SUCCESS;
                     ++j) {
                    // A value is always whole: its data was written in one piece.
                    ASSERT_EQ(value.data.rfind("value", 0), 0u);
                }
                ++reads;
            }
        }
    });
    writer.join();
    reader.join();
    EXPECT_GT(reads.load(), 0);
    // What stands at the end is a consistent tree.
    RegKeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(HKEY_LOCAL_MACHINE, "Software\\Shared", info), ERROR_SUCCESS);
    std::uint32_t listed = 0;
    std::string name;
    while (reg.EnumKey(HKEY_LOCAL_MACHINE, "Software\\Shared", listed, name) == ERROR_SUCCESS)
        ++listed;
    EXPECT_EQ(listed, info.subKeys);
}

}  // namespace
}  // namespace veldan::machine::image
