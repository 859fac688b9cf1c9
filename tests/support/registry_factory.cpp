#include "support/registry_factory.h"

#include <gtest/gtest.h>

#include "machine/memory_registry.h"
#include "machine/reg_file.h"

namespace veldan::test {

RegistryFactory MemoryRegistryFactory() {
    return [](std::string_view regText, bool nt) -> std::unique_ptr<machine::Registry> {
        auto registry = std::make_unique<machine::MemoryRegistry>(nt);
        machine::RegFileError error;
        if (!machine::ApplyRegFile(regText, "factory.reg", *registry, error)) {
            ADD_FAILURE() << "registry text does not parse: " << error.ToString();
        }
        return registry;
    };
}

}  // namespace veldan::test
