#pragma once
// The registry backends the registry contract suite runs against in this build:
// memory and hive files on Linux, memory and the live registry on Windows.

#include <vector>

#include "support/registry_factory.h"

namespace veldan::test {

std::vector<NamedRegistryFactory> RegistryContractBackends();

}  // namespace veldan::test
