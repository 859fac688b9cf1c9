#include "support/registry_factory.h"

#include <gtest/gtest.h>

#include "machine/image/image_registry.h"
#include "machine/image/reg_file.h"

namespace veldan::test {

RegistryFactory ImageRegistryFactory() {
    return [](std::string_view regText, bool nt) -> std::unique_ptr<machine::Registry> {
        auto registry = std::make_unique<machine::image::ImageRegistry>(nt);
        machine::image::RegFileError error;
        if (!machine::image::ApplyRegFile(regText, "factory.reg", *registry, error)) {
            ADD_FAILURE() << "registry text does not parse: " << error.ToString();
        }
        return registry;
    };
}

}  // namespace veldan::test
