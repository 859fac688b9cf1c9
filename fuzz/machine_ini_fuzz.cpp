// machine.ini of a machine image: any text either parses or is refused at a
// line; what parses is written back as text that parses to the same settings.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "machine/folder/machine_ini.h"

using namespace veldan::machine::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    MachineIni ini;
    IniError error;
    if (!ParseMachineIni(text, ini, error)) return 0;
    const std::string written = WriteMachineIni(ini);
    MachineIni again;
    IniError againError;
    if (!ParseMachineIni(written, again, againError)) std::abort();
    if (WriteMachineIni(again) != written) std::abort();
    return 0;
}
