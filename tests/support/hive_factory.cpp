#include "support/hive_factory.h"

#include "machine/backends/open_machine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "machine/backends/hive_convert.h"
#include "machine/forwarding.h"
#include "machine/hive/hive_registry.h"
#include "machine/hive/hive_writer.h"
#include "machine/memory_registry.h"
#include "machine/reg_file.h"

namespace veldan::test {
namespace {

using machine::HKEY;

struct HiveFolder {
    explicit HiveFolder(bool nt) : hives(nt) {}
    TempDir dir;
    machine::hive::HiveRegistry hives;
};

// A hive registry together with the folder that holds its files.
class TempHiveRegistry final : private HiveFolder, public machine::ForwardingRegistry {
  public:
    explicit TempHiveRegistry(bool nt) : HiveFolder(nt), ForwardingRegistry(hives) {}
    using HiveFolder::dir;
    using HiveFolder::hives;
};

void WriteAndMount(const machine::Registry& from, HKEY root, const std::string& path,
                   TempHiveRegistry& to, int& counter) {
    const std::string file = (to.dir.path() / ("hive" + std::to_string(++counter))).string();
    std::string error;
    if (!machine::hive::WriteHiveFile(from, root, path, file, {}, error) ||
        !to.hives.Mount(root, path, file, "", false, error)) {
        ADD_FAILURE() << error;
    }
}

}  // namespace

RegistryFactory HiveRegistryFactory() {
    return [](std::string_view regText, bool nt) -> std::unique_ptr<machine::Registry> {
        machine::MemoryRegistry text(nt);
        machine::RegFileError error;
        if (!machine::ApplyRegFile(regText, "factory.reg", text, error)) {
            ADD_FAILURE() << "registry text does not parse: " << error.ToString();
        }
        auto reg = std::make_unique<TempHiveRegistry>(nt);
        int counter = 0;
        WriteAndMount(text, machine::HKEY_CURRENT_USER, "", *reg, counter);
        for (HKEY root : {machine::HKEY_LOCAL_MACHINE, machine::HKEY_USERS}) {
            std::string name;
            for (std::uint32_t i = 0; text.EnumKey(root, "", i, name) == machine::ERROR_SUCCESS;
                 ++i) {
                WriteAndMount(text, root, name, *reg, counter);
            }
        }
        return reg;
    };
}

std::string MakeInstallation(const ImageBuilder& image, const TempDir& dir, std::string_view name) {
    const std::string target = (dir.path() / std::string(name)).string();
    machine::hive::ConvertReport report;
    machine::hive::ConvertError error;
    if (!machine::hive::ConvertImageToInstallation(image.folder(), target, report, error)) {
        ADD_FAILURE() << "cannot convert " << image.folder() << ": " << error.message;
        return {};
    }
    return target;
}

std::unique_ptr<machine::LoadedMachine> LoadMachine(const std::string& folder,
                                                    const machine::LoadOptions& options) {
    machine::MachineError error;
    auto m = machine::OpenMachine(folder, options, error);
    if (!m) ADD_FAILURE() << "cannot load " << folder << ": " << error.ToString();
    return m;
}

void SetHiveSequences(const std::string& hostPath, std::uint32_t primary, std::uint32_t secondary) {
    std::fstream f(hostPath, std::ios::binary | std::ios::in | std::ios::out);
    std::string block(machine::hive::kBaseBlockSize, '\0');
    f.read(block.data(), static_cast<std::streamsize>(block.size()));
    ASSERT_TRUE(f) << hostPath;
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) block[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(machine::hive::kPrimarySequenceOffset, primary);
    put(machine::hive::kSecondarySequenceOffset, secondary);
    put(machine::hive::kChecksumOffset, machine::hive::BaseBlockChecksum(block));
    f.seekp(0);
    f.write(block.data(), static_cast<std::streamsize>(block.size()));
    ASSERT_TRUE(f) << hostPath;
}

}  // namespace veldan::test
