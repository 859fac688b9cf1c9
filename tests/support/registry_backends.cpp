#include "support/registry_backends.h"

#include "support/hive_factory.h"

namespace veldan::test {

std::vector<NamedRegistryFactory> RegistryContractBackends() {
    return {{"Memory", MemoryRegistryFactory()}, {"Hive", HiveRegistryFactory()}};
}

}  // namespace veldan::test
