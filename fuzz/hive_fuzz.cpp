// Hive files through the hive backend: the bytes are a hive file, mounted at
// HKLM\SOFTWARE as an installation's SOFTWARE hive is, and walked (keys,
// values, key information). The first byte chooses:
//   bit 0  open it even when its header says it was not cleanly written
//   bit 1  change it (the first sub-key's tree deleted, a new key and value)
//          and write it back; a hive written back must mount again.
// The rest is the file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/fuzz_folder.h"
#include "machine/hive/hive_registry.h"

using namespace veldan::machine;

namespace {

constexpr int kMaxKeys = 2000;
constexpr int kMaxDepth = 12;

void Walk(const Registry& reg, const std::string& path, int depth, int& budget) {
    if (--budget < 0 || depth > kMaxDepth) return;
    RegKeyInfo info;
    if (reg.QueryInfoKey(HKEY_LOCAL_MACHINE, path, info) != ERROR_SUCCESS) return;
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        RegValue value;
        if (reg.EnumValue(HKEY_LOCAL_MACHINE, path, i, name, &value) != ERROR_SUCCESS) break;
        RegValue again;
        (void)reg.QueryValue(HKEY_LOCAL_MACHINE, path, name, again);
    }
    for (std::uint32_t i = 0; budget > 0; ++i) {
        std::string name;
        if (reg.EnumKey(HKEY_LOCAL_MACHINE, path, i, name) != ERROR_SUCCESS) break;
        Walk(reg, path + "\\" + name, depth + 1, budget);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::filesystem::path folder = veldan::fuzz::FuzzFolder() / "config";
    static const std::string file = (folder / "SOFTWARE").string();
    const bool force = (data[0] & 1) != 0;
    const bool change = (data[0] & 2) != 0;
    veldan::fuzz::EmptyFolder(folder);
    veldan::fuzz::WriteBytes(file,
                             std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    std::string error;
    std::string committed;
    {
        hive::HiveRegistry reg;
        if (!reg.Mount(HKEY_LOCAL_MACHINE, "SOFTWARE", file, "", force, error)) return 0;
        int budget = kMaxKeys;
        Walk(reg, "SOFTWARE", 0, budget);
        if (!change) return 0;

        std::string first;
        if (reg.EnumKey(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, first) == ERROR_SUCCESS) {
            (void)reg.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + first);
        }
        if (reg.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veldan Fuzz") == ERROR_SUCCESS) {
            (void)reg.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veldan Fuzz", "Value",
                               RegValue::String("text"));
        }
        if (!reg.Commit(false, error)) return 0;
        committed = file;
    }
    hive::HiveRegistry again;
    if (!again.Mount(HKEY_LOCAL_MACHINE, "SOFTWARE", committed, "", force, error)) std::abort();
    int budget = kMaxKeys;
    Walk(again, "SOFTWARE", 0, budget);
    return 0;
}
