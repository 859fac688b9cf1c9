// Internet shortcuts (.url) through the image backend's ShellLinks, as the
// shortcut commands load them from drive C:.

#include <cstddef>
#include <cstdint>

#include "common/fuzz_machine.h"

using namespace veldan::machine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veldan::fuzz::LoadShortcut("fuzz.url", data, size, &ShellLinks::LoadUrlShortcut);
    return 0;
}
