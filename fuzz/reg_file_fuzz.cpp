// .reg files as the image backend reads them from registry/: any bytes either
// load or are refused with an error; what loads is written back as 5.00 text
// that loads again into the same registry.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "machine/memory_registry.h"
#include "machine/reg_file.h"

using namespace veldan::machine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemoryRegistry registry;
    RegFileError error;
    if (!ApplyRegFile(bytes, "fuzz.reg", registry, error)) {
        (void)error.ToString();
        return 0;
    }
    for (bool readable : {false, true}) {
        RegWriteOptions options;
        options.readableStrings = readable;
        options.sortValues = readable;
        const std::string text = WriteRegText(registry, options);
        MemoryRegistry again;
        RegFileError againError;
        if (!ApplyRegFile(text, "again.reg", again, againError)) std::abort();
        if (WriteRegText(again, options) != text) std::abort();
    }
    std::string tree;
    (void)WriteRegKeyText(registry, veldan::machine::HKEY_LOCAL_MACHINE, "SOFTWARE", {}, tree);
    return 0;
}
