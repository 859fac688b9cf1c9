#include "common/fuzz_folder.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace veldan::fuzz {

namespace {

constexpr std::string_view kPrefix = "veldan-fuzz-";

// Removes the folders of fuzz processes that ended without cleaning up (a
// crash, a time-out or running out of memory ends a run with _Exit).
void RemoveOrphans(const std::filesystem::path& temp) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(temp, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kPrefix, 0) != 0) continue;
        const std::string digits = name.substr(kPrefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::strtol(digits.c_str(), nullptr, 10);
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }
}

class Folder {
  public:
    Folder() {
        std::error_code ec;
        const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
        if (ec) std::abort();
        RemoveOrphans(temp);
        path_ = temp / (std::string(kPrefix) + std::to_string(::getpid()));
        std::filesystem::remove_all(path_, ec);
        if (!std::filesystem::create_directory(path_, ec)) std::abort();
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& FuzzFolder() {
    // Destroyed by exit(), which libFuzzer calls when a run ends normally.
    static const Folder folder;
    return folder.path();
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();  // the fuzz folder itself failed: nothing to learn from this input
}

void EmptyFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
}

}  // namespace veldan::fuzz
