#include "common/fuzz_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace veldan::fuzz {

namespace {

class Folder {
  public:
    Folder() {
        std::error_code ec;
        std::string pattern =
            (std::filesystem::temp_directory_path(ec) / "veldan-fuzz-XXXXXX").string();
        if (ec || ::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
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
