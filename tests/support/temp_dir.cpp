#include "support/temp_dir.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "support/temp_dir_host.h"

namespace veldan::test {

TempDir::TempDir() : path_(MakeTempFolder()) {}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only entries made by tests must not keep the folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        MakeRemovable(it->path());
    }
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(std::string_view relative, std::string_view bytes) const {
    std::filesystem::path p = path_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::string TempDir::Read(std::string_view relative) const {
    std::ifstream in(path_ / std::filesystem::path(std::string(relative)), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace veldan::test
