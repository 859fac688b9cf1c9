#include "support/registry_backends.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "machine/forwarding.h"
#include "machine/reg_file.h"
#include "machine/win32/win32_registry.h"
#include "support/scratch_key_win32.h"

namespace veldan::test {
namespace {

// The live registry below a scratch key of its own, deleted with the object.
class ScratchRegistry final : public machine::ForwardingRegistry {
  public:
    ScratchRegistry(std::string scratch, bool nt)
        : ForwardingRegistry(registry_),
          scratch_(std::move(scratch)),
          registry_(machine::win32::Win32Registry::ScratchRoots(scratch_),
                    nt ? machine::OsFamily::Nt : machine::OsFamily::Win9x) {}
    ~ScratchRegistry() override { DeleteScratchKey(scratch_); }

  private:
    std::string scratch_;
    machine::win32::Win32Registry registry_;
};

}  // namespace

std::vector<NamedRegistryFactory> RegistryContractBackends() {
    RegistryFactory win32 = [](std::string_view regText,
                               bool nt) -> std::unique_ptr<machine::Registry> {
        auto registry = std::make_unique<ScratchRegistry>(NewScratchKey(), nt);
        machine::RegFileError error;
        if (!machine::ApplyRegFile(regText, "factory.reg", *registry, error)) {
            ADD_FAILURE() << "registry text does not parse: " << error.ToString();
        }
        return registry;
    };
    NamedRegistryFactory live{"Win32", win32};
    // Windows itself compares key names with its Unicode case table ("É" is "é").
    live.caseDiffers = "Windows compares key names with Unicode case rules, not ASCII only";
    if (RunningUnderWine()) {
        live.orderDiffers =
            "Wine keeps sub-keys and values sorted by lower-cased name; Windows keeps sub-keys "
            "by upper-cased name and values in the order they were made";
    }
    return {{"Memory", MemoryRegistryFactory()}, live};
}

}  // namespace veldan::test
