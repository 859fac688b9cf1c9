// ZIP archives through the updater's installation step: the bytes are the
// release archive, installed over a program folder in the fuzz folder (every
// entry extracted into a staging folder, then moved). Whatever the archive,
// nothing may land outside the program folder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "common/fuzz_folder.h"
#include "updater/release_install.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = veldan::fuzz::FuzzFolder() / "zip";
    static const fs::path archive = root / "bin.zip";
    static const fs::path program = root / "program";
    veldan::fuzz::EmptyFolder(root);
    veldan::fuzz::EmptyFolder(program);
    veldan::fuzz::WriteBytes(archive, std::string_view(reinterpret_cast<const char*>(data), size));

    veldan::updater::InstallFailure failure;
    // A small buffer so that entries span several writes.
    (void)veldan::updater::InstallRelease(archive.string(), program.string(), 512, failure);

    // Only the archive and the program folder may be in the root.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        if (entry.path() != archive && entry.path() != program) std::abort();
    }
    return 0;
}
