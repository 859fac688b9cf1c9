#pragma once
// Registries for the contract tests of machine::Registry. A factory builds a
// registry of one backend holding what a .reg text describes, so that one suite
// of tests runs unchanged against every backend.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "machine/registry.h"

namespace veldan::test {

// Builds a registry holding the keys and values of `regText` (a .reg file text,
// header included) for the NT family (`nt`) or the 9x family.
using RegistryFactory =
    std::function<std::unique_ptr<machine::Registry>(std::string_view regText, bool nt)>;

// A factory with the backend's name, the parameter of the contract suite.
struct NamedRegistryFactory {
    std::string name;
    RegistryFactory make;
    // Why this backend enumerates in another order than Windows does ("" when
    // it keeps Windows' order), and why it compares non-ASCII key names in
    // another way than the machine layer ("" when it does not): the suite
    // skips those checks for it and says why.
    std::string orderDiffers = {};
    std::string caseDiffers = {};
};

inline std::ostream& operator<<(std::ostream& os, const NamedRegistryFactory& f) {
    return os << f.name;
}

// The in-memory registry (of machine images and the in-memory machine). A text
// that does not parse fails the running test.
RegistryFactory MemoryRegistryFactory();

}  // namespace veldan::test
