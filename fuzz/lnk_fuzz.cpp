// Shell links (.lnk) through the image backend's ShellLinks, as the shortcut
// commands load them from drive C:.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/fuzz_machine.h"

using namespace veldan::machine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = veldan::fuzz::PutOnDriveC("fuzz.lnk", data, size);
    ShellLinkData link;
    (void)veldan::fuzz::TheMachine().machine->shellLinks().LoadShellLink(path, link);
    return 0;
}
