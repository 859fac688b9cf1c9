// Internet shortcuts (.url) through the image backend's ShellLinks, as the
// shortcut commands load them from drive C:.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "common/fuzz_folder.h"
#include "common/fuzz_machine.h"

using namespace veldan::machine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veldan::fuzz::FuzzMachine& m = veldan::fuzz::TheMachine();
    static const std::filesystem::path file = m.imageFolder / "drive_c" / "fuzz.url";
    veldan::fuzz::WriteBytes(file, std::string_view(reinterpret_cast<const char*>(data), size));
    const ShellLinks& links = m.machine->shellLinks();
    UrlShortcutData link;
    (void)links.LoadUrlShortcut("C:\\fuzz.url", link);
    return 0;
}
