// Temporary folders of the Windows tests (MinGW has no mkdtemp).

#include "support/temp_dir_host.h"

#include <atomic>
#include <stdexcept>
#include <string>
#include <system_error>

#include <windows.h>

namespace veldan::test {

std::filesystem::path MakeTempFolder() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path p = base / ("veldan-test-" + std::to_string(GetCurrentProcessId()) +
                                          "-" + std::to_string(++counter));
        std::error_code ec;
        if (std::filesystem::create_directory(p, ec)) return p;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

void MakeRemovable(const std::filesystem::path& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace veldan::test
